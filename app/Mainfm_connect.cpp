// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: the sensor connection procedure. The enumeration and detection of candidates live in
// tSensorSearch (devices/); the window decides the order of the transports and what the user sees:
// a small progress box while the detectors work, and after "not found" what was looked for, what
// was found and what to check.
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QVBoxLayout>

#include "app/Mainfm.h"
#include "devices/Device.h"
#include "devices/Ftdilibrary.h"
#include "devices/Portopeners.h"
#include "devices/Sensorsearch.h"
#include "experiments/Experiment.h"
#include "foundation/Messagebox.h"
#include "foundation/Settingkeys.h"
#include "foundation/Settings.h"
#include "foundation/Stringtable.h"
#include "sim/Simports.h"

namespace {
const QString kFtdiDriverText = QStringLiteral(
    "Была предпринята попытка работы с датчиками через интерфейс FTDI, при этом драйверы установлены не "
    "были.\r\nПодключите датчик к ПК, дождитесь установки драйвера и повторите попытку.");
const QString kNoSensorText = QStringLiteral("Не найден датчик для проведения эксперимента.");

// The searches hold the window for seconds (every port opened waits "Timeout" ms): the cursor
// says so, and is back before any box of the procedure appears.
struct tBusyCursor {
    tBusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~tBusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    tBusyCursor(const tBusyCursor&) = delete;
    tBusyCursor& operator=(const tBusyCursor&) = delete;
};

// A box the user cannot close: it goes when the search is over.
class TfmSearchProgress : public QDialog {
  public:
    using QDialog::QDialog;
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

// The small modal box shown while the window waits for the detectors: the sensor's name and the
// seconds gone by. Being modal it keeps clicks and keys off the window; the wait hook lets only
// painting and timers through (user input waits until the search is over, as before), so the
// window under it never shows the image of a box that has closed.
class tSearchProgress {
  public:
    tSearchProgress(QWidget* owner, const QString& sensorName) : FOwner(owner) {
        FBox = new TfmSearchProgress(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        FBox->setObjectName(QStringLiteral("fmSearchProgress"));
        FBox->setWindowTitle(QStringLiteral("Подключение"));
        FBox->setWindowModality(Qt::ApplicationModal);
        auto* layout = new QVBoxLayout(FBox);
        auto* name = new QLabel(QStringLiteral("Поиск датчика %1...").arg(sensorName), FBox);
        name->setObjectName(QStringLiteral("lbSearching"));
        FSeconds = new QLabel(FBox);
        FSeconds->setObjectName(QStringLiteral("lbSeconds"));
        layout->addWidget(name);
        layout->addWidget(FSeconds);
        // Wide enough for the title and the longest sensor name without a cut.
        FBox->setMinimumWidth(std::max(FBox->fontMetrics().horizontalAdvance(FBox->windowTitle()) + 160,
                                       name->sizeHint().width() + 80));
        FClock.start();
        ShowSeconds();
    }
    ~tSearchProgress() { delete FBox; }
    tSearchProgress(const tSearchProgress&) = delete;
    tSearchProgress& operator=(const tSearchProgress&) = delete;

    // Before a search: the box comes up over a freshly painted window.
    void Show() {
        ShowSeconds();
        if (!FBox->isVisible()) {
            FBox->adjustSize();
            FBox->move(FOwner->geometry().center() - FBox->rect().center());
            FBox->show();
        }
        FOwner->repaint();  // paints over whatever an earlier box left on the screen
        Pump();
    }
    // Before any message box of the procedure.
    void Hide() {
        FBox->hide();
        FOwner->repaint();
        Pump();
    }
    // The wait hook: about every 50 ms while the detectors work.
    void Tick() {
        ShowSeconds();
        Pump();
    }

  private:
    void ShowSeconds() {
        const qint64 seconds = FClock.elapsed() / 1000;
        if (seconds == FShownSeconds) return;
        FShownSeconds = seconds;
        FSeconds->setText(QStringLiteral("Прошло %1 с").arg(seconds));
    }
    static void Pump() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

    QWidget* FOwner;
    TfmSearchProgress* FBox;
    QLabel* FSeconds;
    QElapsedTimer FClock;
    qint64 FShownSeconds = -1;
};
}  // namespace

std::unique_ptr<tSensorSearch> TfmMain::CreateSensorSearch() {
    return std::make_unique<tSensorSearch>(FSettings.get());
}

bool TfmMain::FtdiLibraryLoaded() const {
    return tFTDILibrary::Instance().IsLoaded();
}

void TfmMain::Disconnect() {
    Execute(acExperimentStop);
    FDevice.reset();
    UpdateActions();
}

void TfmMain::acExperimentConnectExecute() {
    // There is no separate disconnect command: connecting again first lets the sensor go.
    if (FDevice) Disconnect();
    if (!FExperiment) {
        ShowWarning(LoadStr(msg::ChooseExperimentFirst));
        UpdateActions();
        return;
    }
    const QString sensorName = FExperiment->SensorName;
    if (sensorName.toUpper() == QStringLiteral("NO")) {
        UpdateActions();
        return;
    }

    // Only the simulated sensors of the demo mode hear what the scenario wants them to play.
    tSimRegistry::Instance().SetScene(sensorName, FExperiment->Demo);
    std::unique_ptr<tSensorSearch> search = CreateSensorSearch();
    tSearchProgress progress(this, sensorName);
    search->SetWaitHook([&progress] { progress.Tick(); });
    // The driver reminder is said once per run: a teacher who has read it needs it no more.
    auto remindFtdi = [this, &progress] {
        if (FDevice || FtdiLibraryLoaded() || FFtdiReminderShown) return;
        FFtdiReminderShown = true;
        progress.Hide();
        ShowWarning(kFtdiDriverText);
    };
    // Steps after the searches run whatever happens in them; an error then goes on to the guard.
    auto finish = [&] {
        progress.Hide();
        acExperimentConnect->setChecked(FDevice != nullptr);
        if (FDevice)
            FDevice->SetFrequency(0, FExperiment->Freq);
        else
            ShowWarning(kNoSensorText + QStringLiteral("\r\n\r\n") +
                        tSensorSearch::NotFoundAdvice(sensorName, search->Findings()));
    };
    try {
        if (SettingInt(FSettings.get(), setting::UseFTDI) != 0) {
            try {
                tBusyCursor busy;
                progress.Show();
                FDevice = search->FindFTDISensor(sensorName);
            } catch (...) {
                remindFtdi();
                throw;
            }
            remindFtdi();
        }
        tBusyCursor busy;
        // The demo sensors are serial candidates and are searched whatever UseCDC says.
        const bool useCdc =
            SettingInt(FSettings.get(), setting::UseCDC) != 0 || !ExtraSerialCandidates().isEmpty();
        const bool useHid = SettingInt(FSettings.get(), setting::UseHID) != 0;
        if (!FDevice && (useCdc || useHid)) progress.Show();
        if (!FDevice && useCdc) FDevice = search->FindCOMSensor(sensorName);
        if (!FDevice && useHid) FDevice = search->FindHIDSensor(sensorName);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}
