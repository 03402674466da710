// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: the program's one window. It owns the settings, the scenario record, the experiment
// frame, the connected sensor and the 16 channel sequences, and runs the connection procedure,
// the live display, scenario switching, export and printing. User-interface thread only: worker
// threads reach it through application messages (aeMain) and the device's packet queue.
//
// Everything that would open a modal dialog goes through a virtual Ask*/Run* hook, so tests
// subclass the window and answer without a dialog.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "foundation/Messagebox.h"
#include "measurement/Samples.h"

class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QTextDocument;
class QTimer;
class QToolBar;
class QVBoxLayout;
class TChart;
class TComponentUSB;
class TTablePage;
class TfrExperiment;
class tDevice;
class tExperiment;
class tLesson;
class tAutosave;
class tLessonWriter;
class tSensorSearch;
class tSettings;

// The catalogue dialog as the window uses it; tests replace it with one that picks a folder.
// Documents for a new frame, read aside before it is built; a null one comes from the scenario's
// folder (or is the placeholder).
struct tFrameDocuments {
    std::unique_ptr<QTextDocument> Description;
    std::unique_ptr<QTextDocument> Report;
    // An opened lesson brings its documents' RTF along: the new lesson need not write them.
    bool FromLesson = false;
};

class tScenarioChooser {
  public:
    virtual ~tScenarioChooser() = default;
    // Shows the catalogue modally; true when the user confirmed a scenario.
    virtual bool Execute() = 0;
    // Fills `record` from the confirmed scenario (reports its own load errors). False when the
    // scenario was refused as a whole and the record is untouched: the window then stays as it was.
    virtual bool LoadScenario(tExperiment* record) = 0;
};

class TfmMain : public QMainWindow {
    Q_OBJECT
  public:
    // programDir holds rovelin.cfg and data/; empty = the executable's folder.
    // Raises tFileOpenError (message 1004) when rovelin.cfg is missing.
    explicit TfmMain(const QString& programDir = QString(), QWidget* parent = nullptr);
    ~TfmMain() override;

    // ---- actions (alMain) ----
    QAction* acFileExit;
    QAction* acHelpAbout;
    QAction* acViewToolBar;
    QAction* acViewStatusBar;
    QAction* acExperimentConnect;
    QAction* acExperimentChoose;
    QAction* acExperimentStart;
    QAction* acExperimentStop;
    QAction* acExperimentMarkPoint;
    QAction* acFileExport;
    QAction* acFilePrint;
    QAction* acFilePrintSetup;
    QAction* acFilePageSetup;
    QAction* acFileAddImage;
    QAction* acFilePreview;  // print preview of the shown tab
    QAction* acFileSavePdf;  // the shown tab as a PDF file, through the print path
    QAction* acFileOpenLesson;
    QAction* acFileSaveLesson;
    QAction* acFileSaveLessonAs;
    QAction* acExperimentRuns;
    QList<QAction*> Actions() const;

    // ---- components ----
    QWidget* pnToolBar;
    QToolBar* tlbMain;
    QToolBar* tlbExit;
    QLabel* lb;  // live value / marker read-out right after tlbMain
    QStatusBar* stbMain;
    QLabel* stbHint;     // first panel: action hints
    QLabel* stbSilence;  // before the elapsed time, shown only while the sensor of a run is silent
    QLabel* stbElapsed;  // second from the end: elapsed measurement time
    QLabel* stbClock;    // last: the clock
    QTimer* tmTime;
    QTimer* tmMeasure;
    TComponentUSB* usb;
    QObject* aeMain;  // application-message filter on qApp

    // Re-evaluates every enabling rule (run whenever the event loop goes idle).
    void UpdateActions();
    // Runs `action`'s handler when its rule, evaluated now, enables it. Errors propagate.
    void Execute(QAction* action);
    // Shows or hides the value label (it stays hidden with the tool bar panel).
    void SetValueLabelVisible(bool visible);
    bool IsValueLabelShown() const;
    // The status bar sizing rule: widths of the elapsed and clock panels for the bar's font.
    static int ClockPanelWidth(const QFont& font);
    static int ElapsedPanelWidth(const QFont& font);
    void LayoutStatusBar();
    // The clock tick (tmTime): the locale's long time format, without a zone name.
    void ShowClock();

    // ---- handlers ----
    void acFileExitExecute();
    void acViewToolBarExecute();
    void acViewStatusBarExecute();
    void acExperimentConnectExecute();
    void acExperimentChooseExecute();
    void acExperimentStartExecute();
    void acExperimentStopExecute();
    void acExperimentMarkPointExecute();
    void acFileExportExecute();
    void acFilePrintExecute();
    void acFilePrintSetupExecute();
    void acFilePageSetupExecute();
    void acFileAddImageExecute();
    void acFilePreviewExecute();
    void acFileSavePdfExecute();
    // The shown tab on `printer` as Print prints it (nothing without a frame).
    void PrintShownTab(QPrinter& printer);
    // ---- the lesson file (Mainfm_lesson.cpp) ----
    void acFileOpenLessonExecute();
    void acFileSaveLessonExecute();
    void acFileSaveLessonAsExecute();
    void acExperimentRunsExecute();
    // Opens a lesson file (a second start or the command line hands one over). False when it was
    // not opened: cancelled, or an error box was shown and the window is as it was.
    Q_INVOKABLE bool OpenLessonFile(const QString& path);
    // At start: offers the autosave a run that did not end normally left behind.
    Q_INVOKABLE void OfferRecovery();
    // Saves the lesson to `path` (empty: the lesson's own file, or ask for one); false when it was
    // not saved (cancelled, or an error box was shown).
    bool SaveLesson(const QString& path = QString());
    // Unsaved work: asks save / don't save / cancel. True when the caller may go on.
    bool ConfirmLessonSaved();
    bool LessonUnsaved() const;
    QString LessonPath() const { return FLessonPath; }
    QStringList RecentLessons() const { return FRecentLessons; }
    tAutosave* Autosave() const { return FAutosave.get(); }
    // The caption: product, scenario, lesson file, and a mark while there are unsaved changes.
    void UpdateTitle();

    // One tick of tmMeasure: packet intake, points, elapsed time, value label, axes.
    void tmMeasureTimer();
    void Disconnect();
    void CreateExperimentFrame(tFrameDocuments documents = {});
    // Handles one application message; false when it is not the window's (passes on).
    bool HandleAppMessage(uint32_t code, intptr_t wParam, intptr_t lParam);

    // ---- session end ----
    // The session may end: no exit question from now on.
    void QuerySessionEnd();
    // The session ends (close the window) or goes on after all (ask again on close).
    void EndSession(bool ending);

    // ---- state, for the frame, the tests and the actions ----
    tSettings* Settings() const { return FSettings.get(); }
    tExperiment* Experiment() const { return FExperiment.get(); }
    TfrExperiment* Frame() const { return FFrame; }
    // The open scenario's runs and the runs its chart shows; null before a scenario is chosen.
    tLesson* Lesson() const { return FLesson.get(); }
    tDevice* Device() const { return FDevice.get(); }
    bool IsMeasuring() const;
    const tChannelValues& Channels() const { return FChannels; }
    int CurrentSeries() const { return FCurrentSeries; }
    QString ProgramDir() const { return FProgramDir; }
    QPrinter& Printer() { return *FPrinter; }
    // Hands a device to the window as if the connection procedure had found it (tests, demo).
    void AdoptDevice(std::unique_ptr<tDevice> device);

    // ---- dialogs, replaceable in tests ----
    virtual std::unique_ptr<tScenarioChooser> CreateChooser(const QString& catalogueRoot);
    // The sensor search of one connection procedure.
    virtual std::unique_ptr<tSensorSearch> CreateSensorSearch();
    // Whether the FTDI library could be loaded (the driver hint of the connection procedure).
    virtual bool FtdiLibraryLoaded() const;
    // sdBMPFile / sdRTFFile: the chosen path, empty when cancelled.
    virtual QString AskBitmapFile();
    virtual QString AskRtfFile();
    // odImage: the chosen picture, empty when cancelled.
    virtual QString AskImageFile();
    // pd: the printer to print on (the window's own), null when cancelled.
    virtual QPrinter* AskPrinter();
    // Whether the system has any printer at all (Print explains the PDF way out when not).
    virtual bool PrinterInstalled() const;
    // The PDF file to write, empty when cancelled.
    virtual QString AskPdfFile();
    // Shows the print preview of `printer`, which `paint` fills (again on every page setup change).
    virtual void RunPrintPreview(QPrinter& printer, const std::function<void(QPrinter&)>& paint);
    virtual void RunPrintSetup();
    virtual void RunPageSetup();
    // The lesson file dialogs: the chosen path, empty when cancelled.
    virtual QString AskLessonOpenFile();
    virtual QString AskLessonSaveFile();
    // "Сохранить изменения в уроке?" with Save / Don't save / Cancel.
    virtual tSaveChoice AskSaveChanges();
    // The list of runs: which run (index, -1 = none) each series shows; false when cancelled.
    virtual bool AskSeriesRuns(int& first, int& second);
    // The high-resolution counter (ticks) and its frequency; tests inject a clock.
    virtual int64_t CounterNow() const;

    // ---- reading the results (Mainfm_table.cpp) ----
    QAction* acViewShowAll;
    QAction* acViewProjector;
    QAction* acExperimentInsertChart;
    void acViewShowAllExecute();
    void acViewProjectorExecute();
    void acExperimentInsertChartExecute();
    // sdCSVFile: the chosen path, empty when cancelled.
    virtual QString AskCsvFile();
    // The «Таблица» tab of the open frame (tab index 3), null without a frame.
    TTablePage* TablePage() const;
    // The statistics between the markers of the current series, empty without markers.
    QString StatisticsText() const;
    QLabel* StatisticsLabel() const;

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateLessonActions();
    void AddLessonMenuItems(QMenu* file);
    void UpdateLessonActions();
    void FillRecentMenu();
    void RememberRecent(const QString& path);
    // Frame to lesson: markers, the edited report, the series of the last run.
    void SyncLessonFromFrame();
    // Lesson to frame after opening: markers and the series (the documents came with the frame).
    void ShowLessonInFrame();
    // A new scenario's lesson starts clean: scenario entries, description and report (unless
    // `withDocuments` is false: an opened lesson replaces them at once), no file.
    void StartLesson(bool withDocuments = true);
    bool OpenLesson(const QString& path, bool recovered);
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    QAction* NewAction(const char* name, const QString& category, const QString& caption, const QString& hint,
                       int icon, void (TfmMain::*handler)());
    void Bind(QAction* action, void (TfmMain::*handler)());
    void ShowElapsed();
    void AddPoints();
    // Shows how long the running sensor has sent no value, once that is long enough to mean it.
    void ShowSilence(bool valuesCame);
    // A failure message of the measurement: the first of a run stops it with `text` in a box.
    void ReportRunFault(const QString& text);
    // A file of the scenario's folder read aside; null when it cannot be (no message box: the
    // frame shows the placeholder, the log says why).
    static std::unique_ptr<QTextDocument> ReadScenarioDocument(const QString& path);
    static void ShowDocument(class TRichView* view, std::unique_ptr<QTextDocument> document,
                             const QString& fallback);
    QString AskSaveFile(const QString& suffix, const QStringList& filters);
    // The file name a save dialog proposes: the scenario's name and today's date.
    QString ProposedName(const QString& suffix) const;
    void CreateReadingActions();
    void UpdateReadingActions();
    // Adds the table tab, the statistics panel, the report's tool bar and the chart's tooltips and
    // legend to a new frame.
    void AttachReading();
    void UpdateLegend();
    void UpdateStatistics();
    void ExportTable();
    tLesson* ShownLesson() const;

    QString FProgramDir;
    std::unique_ptr<tSettings> FSettings;
    std::unique_ptr<tExperiment> FExperiment;
    TfrExperiment* FFrame = nullptr;  // a child of the window
    // One per open scenario, replaced with the frame; the frame's charts show its runs.
    std::unique_ptr<tLesson> FLesson;
    std::unique_ptr<tDevice> FDevice;
    tChannelValues FChannels;
    int32_t FCurrentChannel = 0;
    int32_t FCurrentSeries = 0;
    int64_t FStartCount = 0;
    int64_t FLastValueCount = 0;     // counter reading of the run's last received value (or start)
    bool FRunFaultReported = false;  // the current run has shown its failure box
    int64_t FCountFrequency = 1;
    QDateTime FRunStarted;  // when the shown run was started (printed above the chart)

    QVBoxLayout* FClientLayout = nullptr;
    std::unique_ptr<QPrinter> FPrinter;
    QHash<QAction*, void (TfmMain::*)()> FHandlers;
    bool FAskOnClose = true;
    bool FFtdiReminderShown = false;  // the FTDI driver reminder comes once per program run

    // ---- the lesson file ----
    QString FLessonPath;  // the file the lesson was opened from or saved to, empty = none yet
    std::unique_ptr<tLessonWriter> FLessonWriter;
    std::unique_ptr<tAutosave> FAutosave;
    bool FReportEdited = false;
    bool FKeepAutosave = false;  // the session ends: the autosave stays for the next start
    QStringList FRecentLessons;
    QMenu* FRecentMenu = nullptr;
    QList<QAction*> FRecentActions;
    QPointer<TTablePage> FTablePage;
    QPointer<QLabel> FStatistics;
};
