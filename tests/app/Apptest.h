// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the main-window tests: a program folder with rovelin.cfg, a scenario catalogue,
// a message-box recorder, a log that keeps its lines, and TfmMain with every dialog answered.
#pragma once

#include <gtest/gtest.h>

#include <QPageLayout>
#include <QPrinter>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/Mainfm.h"
#include "devices/Sensorsearch.h"
#include "foundation/Logfile.h"
#include "foundation/Messagebox.h"
#include "tests/support/Log.h"

// A program folder: rovelin.cfg with the given lines (CR LF), data/ for the catalogue.
class tProgramFolder {
  public:
    explicit tProgramFolder(const QStringList& cfgLines = DefaultCfg());
    static QStringList DefaultCfg();  // serial search of simulated sensors only, no FTDI, no HID
    QString Path() const { return FDir.path(); }
    QString Data() const { return FDir.path() + QStringLiteral("/data/"); }
    // Writes data/<name>/experiment.txt (and descr.rtf / report.rtf when given); returns the
    // folder relative to data/, ending with '/'.
    QString AddScenario(const QString& name, const QStringList& lines,
                        const QByteArray& descrRtf = QByteArray(),
                        const QByteArray& reportRtf = QByteArray());

  private:
    QTemporaryDir FDir;
};

// Records every box and answers from a queue (then with `Default`).
class tBoxRecorder {
  public:
    tBoxRecorder();
    ~tBoxRecorder();
    std::vector<tBoxRequest> Seen;
    std::deque<bool> Answers;
    bool Default = true;
    QString Input;
    // Runs while an input box is "open" (before it answers).
    std::function<void()> WhileInput;
    QStringList Texts() const;
};

// The system as the tests want it: serial ports are the listed "sim:" names, nothing else.
class tFakeCandidates : public tCandidateSource {
  public:
    QStringList Serial;
    bool Ftdi = false;
    std::function<void()> WhileListing;  // runs inside every serial search
    QStringList SerialPorts() override {
        if (WhileListing) WhileListing();
        return Serial;
    }
    bool FtdiLoaded() override { return Ftdi; }
    FT_STATUS FtdiCreateDeviceInfoList(FT_DWORD& count) override;
    FT_STATUS FtdiGetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, FT_DWORD& count) override;
    QStringList HidInterfaces() override { return {}; }
};

class tTestMain : public TfmMain {
  public:
    explicit tTestMain(const tProgramFolder& folder);
    ~tTestMain() override;

    // Picks data/<relative> through the chooser hook; `accept` false = the dialog is cancelled.
    void Choose(const QString& relative, bool accept = true);

    tFakeCandidates Candidates;
    int Searches = 0;
    bool FtdiLoadedAnswer = true;
    QString NextSavePath;
    QString NextImagePath;
    std::unique_ptr<QPrinter> TestPrinter;  // null = the print dialog is cancelled
    int PrintDialogs = 0;
    bool HasPrinter = true;
    int64_t FakeCounter = -1;  // >= 0: the counter reads this

    std::unique_ptr<tScenarioChooser> CreateChooser(const QString& catalogueRoot) override;
    std::unique_ptr<tSensorSearch> CreateSensorSearch() override;
    bool FtdiLibraryLoaded() const override { return FtdiLoadedAnswer; }
    QString AskBitmapFile() override { return NextSavePath; }
    QString AskRtfFile() override { return NextSavePath; }
    QString AskCsvFile() override { return NextSavePath; }
    QString AskImageFile() override { return NextImagePath; }
    QString AskPdfFile() override { return RealPdfDialog ? TfmMain::AskPdfFile() : NextSavePath; }
    bool RealPdfDialog = false;  // the window's own PDF dialog instead of NextSavePath
    bool PrinterInstalled() const override { return HasPrinter; }
    // The lesson file dialogs and the question about unsaved work (Don't save unless told).
    QString NextLessonPath;
    tSaveChoice SaveAnswer = tSaveChoice::Discard;
    int SaveQuestions = 0;
    QString AskLessonOpenFile() override { return NextLessonPath; }
    QString AskLessonSaveFile() override { return NextLessonPath; }
    bool RealSaveQuestion = false;  // the window's own box instead of SaveAnswer
    tSaveChoice AskSaveChanges() override {
        ++SaveQuestions;
        return RealSaveQuestion ? TfmMain::AskSaveChanges() : SaveAnswer;
    }
    // The list of runs: the runs the two series get; below -1 = the dialog is cancelled.
    int SeriesAnswer[2] = {-2, -2};
    // The chooser and the list of runs as the program shows them (a test closes them itself).
    bool RealDialogs = false;
    bool AskSeriesRuns(int& first, int& second) override {
        if (RealDialogs) return TfmMain::AskSeriesRuns(first, second);
        if (SeriesAnswer[0] < -1) return false;
        first = SeriesAnswer[0];
        second = SeriesAnswer[1];
        return true;
    }
    QPrinter* AskPrinter() override;
    void RunPrintSetup() override {}
    // The page setup dialog confirms this setup on the window's printer; none: it is cancelled.
    std::optional<QPageLayout> PageSetupAnswer;
    bool RunPageSetup() override;
    // The print preview renders what it would show into this PDF (nothing when empty).
    QString PreviewPdf;
    void RunPrintPreview(QPrinter& printer, const std::function<void(QPrinter&)>& paint) override;
    // The catalogue the chooser hook picks from (empty: the program's own).
    QString ChooserRoot;
    int64_t CounterNow() const override;

  private:
    QString FChoice;
    bool FAccept = true;
};

// experiment.txt lines of a simulated-sensor scenario.
QStringList ScenarioLines(const QString& sensor, int freq = 100000, int average = 1, int seriesCount = 1);
// The pictures in a document.
int CountPictures(const QTextDocument& document);
// A shown window with the simulated thermometer's scenario «Остывание» (description "Description",
// report "Report") and a stopped run of at least `points` points (none when no sensor was found).
std::unique_ptr<tTestMain> MeasuredT100Window(tProgramFolder& folder, int points);
// A minimal RTF document holding `text`.
QByteArray SimpleRtf(const QString& text);
// A report big enough that reading it keeps the wait box up for seconds.
QByteArray SlowToReadRtf();
// Presses «Отмена» in the document wait box as soon as one shows, once, from construction on.
class tCancelWaitBox {
  public:
    tCancelWaitBox();
    bool Pressed() const { return FPressed; }

  private:
    QTimer FTimer;
    bool FPressed = false;
};
// Installs the simulator behind "sim:" paths for the test's lifetime.
class tSimulatorOn {
  public:
    tSimulatorOn();
    ~tSimulatorOn();
};

// A test with the simulator, the boxes answered, a program folder and a folder for lesson files.
struct tLessonFixture : ::testing::Test {
    tSimulatorOn sim;
    tBoxRecorder boxes;
    tProgramFolder folder;
    QTemporaryDir out;
    QString LessonPath(const QString& name = QStringLiteral("урок.rovelin")) const {
        return out.filePath(name);
    }
};
