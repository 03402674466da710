// TfmMain: the sensor connection procedure. The enumeration and detection of candidates live in
// tSensorSearch (devices/); the window decides the order of the transports and what the user sees.
#include <QAction>
#include <QGuiApplication>

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

    // Steps after the searches run whatever happens in them; an error then goes on to the guard.
    auto finish = [this] {
        acExperimentConnect->setChecked(FDevice != nullptr);
        if (FDevice)
            FDevice->SetFrequency(0, FExperiment->Freq);
        else
            ShowWarning(kNoSensorText);
    };
    try {
        std::unique_ptr<tSensorSearch> search = CreateSensorSearch();
        if (SettingInt(FSettings.get(), setting::UseFTDI) != 0) {
            try {
                tBusyCursor busy;
                FDevice = search->FindFTDISensor(sensorName);
            } catch (...) {
                if (!FDevice && !FtdiLibraryLoaded()) ShowWarning(kFtdiDriverText);
                throw;
            }
            if (!FDevice && !FtdiLibraryLoaded()) ShowWarning(kFtdiDriverText);
        }
        tBusyCursor busy;
        // The demo sensors are serial candidates and are searched whatever UseCDC says.
        const bool useCdc =
            SettingInt(FSettings.get(), setting::UseCDC) != 0 || !ExtraSerialCandidates().isEmpty();
        if (!FDevice && useCdc) FDevice = search->FindCOMSensor(sensorName);
        if (!FDevice && SettingInt(FSettings.get(), setting::UseHID) != 0)
            FDevice = search->FindHIDSensor(sensorName);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}
