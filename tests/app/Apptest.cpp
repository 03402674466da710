// SPDX-License-Identifier: GPL-3.0-or-later
#include "Apptest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>

#include "devices/Portopeners.h"
#include "experiments/Experiment.h"
#include "foundation/Settings.h"
#include "lesson/Lesson.h"
#include "sim/Simports.h"
#include "tests/support/Wait.h"

tProgramFolder::tProgramFolder(const QStringList& cfgLines) {
    QDir(FDir.path()).mkpath(QStringLiteral("data"));
    if (cfgLines.isEmpty()) return;
    QFile cfg(FDir.path() + QStringLiteral("/rovelin.cfg"));
    cfg.open(QIODevice::WriteOnly);
    cfg.write(cfgLines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
}

QStringList tProgramFolder::DefaultCfg() {
    return {QStringLiteral("UseFTDI=0"), QStringLiteral("UseCDC=1"), QStringLiteral("UseHID=0"),
            QStringLiteral("Timeout=2000")};
}

QString tProgramFolder::AddScenario(const QString& name, const QStringList& lines, const QByteArray& descrRtf,
                                    const QByteArray& reportRtf) {
    const QString folder = Data() + name + QLatin1Char('/');
    QDir().mkpath(folder);
    auto write = [&](const QString& file, const QByteArray& bytes) {
        QFile f(folder + file);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    };
    write(QStringLiteral("experiment.txt"), lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    if (!descrRtf.isEmpty()) write(QStringLiteral("descr.rtf"), descrRtf);
    if (!reportRtf.isEmpty()) write(QStringLiteral("report.rtf"), reportRtf);
    return name + QLatin1Char('/');
}

tBoxRecorder::tBoxRecorder() {
    SetMessageBoxResponderForTests([this](const tBoxRequest& request) {
        Seen.push_back(request);
        if (request.kind == tBoxRequest::Input && WhileInput) WhileInput();
        bool answer = Default;
        if (!Answers.empty()) {
            answer = Answers.front();
            Answers.pop_front();
        }
        return tBoxAnswer{answer, Input};
    });
}

tBoxRecorder::~tBoxRecorder() {
    SetMessageBoxResponderForTests({});
}

QStringList tBoxRecorder::Texts() const {
    QStringList texts;
    for (const tBoxRequest& r : Seen) texts.append(r.text);
    return texts;
}

FT_STATUS tFakeCandidates::FtdiCreateDeviceInfoList(FT_DWORD& count) {
    count = 0;
    return FT_OK;
}

FT_STATUS tFakeCandidates::FtdiGetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE*, FT_DWORD& count) {
    count = 0;
    return FT_OK;
}

namespace {
class tPathChooser : public tScenarioChooser {
  public:
    tPathChooser(QString root, QString relative, bool accept)
        : FRoot(std::move(root)), FRelative(std::move(relative)), FAccept(accept) {}
    bool Execute() override { return FAccept; }
    bool LoadScenario(tExperiment* record) override {
        return ::LoadScenario(QDir(FRoot + FRelative).dirName(), FRelative, FRoot, record);
    }

  private:
    QString FRoot, FRelative;
    bool FAccept;
};
}  // namespace

tTestMain::tTestMain(const tProgramFolder& folder) : TfmMain(folder.Path()) {
    Candidates.Serial = {QStringLiteral("sim:T100")};
}

tTestMain::~tTestMain() = default;

void tTestMain::Choose(const QString& relative, bool accept) {
    FChoice = relative;
    FAccept = accept;
    acExperimentChooseExecute();
}

std::unique_ptr<tScenarioChooser> tTestMain::CreateChooser(const QString& catalogueRoot) {
    if (RealDialogs) return TfmMain::CreateChooser(catalogueRoot);
    return std::make_unique<tPathChooser>(ChooserRoot.isEmpty() ? catalogueRoot : ChooserRoot, FChoice,
                                          FAccept);
}

bool tTestMain::RunPageSetup() {
    if (!PageSetupAnswer) return false;
    Printer().setPageLayout(*PageSetupAnswer);
    return true;
}

void tTestMain::RunPrintPreview(QPrinter& printer, const std::function<void(QPrinter&)>& paint) {
    if (PreviewPdf.isEmpty()) return;
    // The preview's pages are those of `printer`: the same page setup, drawn into a file.
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setPageLayout(printer.pageLayout());
    pdf.setOutputFileName(PreviewPdf);
    paint(pdf);
}

std::unique_ptr<tSensorSearch> tTestMain::CreateSensorSearch() {
    ++Searches;
    auto search = std::make_unique<tSensorSearch>(Settings(), &Candidates);
    search->SetCandidatePauseMs(0);
    return search;
}

QPrinter* tTestMain::AskPrinter() {
    ++PrintDialogs;
    return TestPrinter.get();
}

int64_t tTestMain::CounterNow() const {
    return FakeCounter >= 0 ? FakeCounter : TfmMain::CounterNow();
}

QStringList ScenarioLines(const QString& sensor, int freq, int average, int seriesCount) {
    return {QStringLiteral("SensorName=") + sensor,
            QStringLiteral("Freq=%1").arg(freq),
            QStringLiteral("Average=%1").arg(average),
            QStringLiteral("CaptionX=Время, с"),
            QStringLiteral("CaptionY=Температура"),
            QStringLiteral("MinX=0"),
            QStringLiteral("MaxX=10"),
            QStringLiteral("IncX=1"),
            QStringLiteral("MinY=-50"),
            QStringLiteral("MaxY=150"),
            QStringLiteral("IncY=10"),
            QStringLiteral("FormatY=0.0"),
            QStringLiteral("SeriesCount=%1").arg(seriesCount)};
}

int CountPictures(const QTextDocument& document) {
    int pictures = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) ++pictures;
    return pictures;
}

std::unique_ptr<tTestMain> MeasuredT100Window(tProgramFolder& folder, int points) {
    auto w = std::make_unique<tTestMain>(folder);
    w->resize(900, 700);
    w->show();
    w->Choose(folder.AddScenario(QStringLiteral("Остывание"), ScenarioLines(QStringLiteral("T100"), 20000),
                                 SimpleRtf(QStringLiteral("Description")),
                                 SimpleRtf(QStringLiteral("Report"))));
    if (!w->Device()) return w;
    w->Execute(w->acExperimentStart);
    tRun* run = w->Lesson()->SeriesRun(w->CurrentSeries());
    rovelin_test::WaitUntil([run, points] { return run->Count() >= points; }, 20000);
    w->Execute(w->acExperimentStop);
    return w;
}

QByteArray SimpleRtf(const QString& text) {
    return "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 " + text.toLatin1() +
           "\\par}";
}

QByteArray SlowToReadRtf() {
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
    for (int i = 0; i < 400000; ++i) rtf += "line " + QByteArray::number(i) + "\\par ";
    return rtf + '}';
}

tCancelWaitBox::tCancelWaitBox() {
    FTimer.setInterval(10);
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QProgressDialog*>(top); box && box->isVisible())
                for (QPushButton* button : box->findChildren<QPushButton*>())
                    if (button->text() == QStringLiteral("Отмена")) {
                        button->click();
                        FTimer.stop();
                        FPressed = true;
                    }
    });
    FTimer.start();
}

tSimulatorOn::tSimulatorOn() {
    tSimRegistry::Instance().Clear();
    SetSimulatedCommOpener(OpenSimulatedCommPort);
    SetSimulatedHidOpener(OpenSimulatedHidPort);
}

tSimulatorOn::~tSimulatorOn() {
    SetSimulatedCommOpener({});
    SetSimulatedHidOpener({});
    tSimRegistry::Instance().Clear();
}
