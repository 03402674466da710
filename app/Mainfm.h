// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: the program's one window, a facade over the measurement session (tSession). The window
// keeps the actions and their rules, the menus, tool bars and status bar, the experiment frame, the
// dialogs and the boxes; the session owns the settings, the scenario, the sensor, the runs and the
// lesson file, and tells the window what happened through its signals. User-interface thread only:
// worker threads reach it through application messages (aeMain) and the session's tick.
//
// Everything that would open a modal dialog goes through a virtual Ask*/Run* hook (some of them
// are the session's questions, tSessionHost), so tests subclass the window and answer without one.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/Mainactions.h"
#include "app/Statusbar.h"
#include "session/Session.h"

class QLabel;
class QMenu;
class QPrinter;
class QTextDocument;
class QTimer;
class QToolBar;
class QVBoxLayout;
class TComponentUSB;
class TRichView;
class TTablePage;
class TfrExperiment;
class tAnalysisActions;
class TfrStart;
class tHelp;
class tHandInAction;
class tPaper;
class tResultReading;
class tSearchProgress;
class tStartPage;
struct tCatalogueEntry;
class tWindowAccessibility;

// Documents for a new frame, read aside before it is built; a null one comes from the scenario's
// folder (or is the placeholder).
struct tFrameDocuments {
    std::unique_ptr<QTextDocument> Description;
    std::unique_ptr<QTextDocument> Report;
    // An opened lesson brings its documents' RTF along: the new lesson need not write them.
    bool FromLesson = false;
    // A lesson's document whose reading was cancelled, as its bytes (null: read): the view shows a
    // read-only placeholder, and the lesson and an export of the tab keep these bytes as they are.
    QByteArray DescriptionUnread;
    QByteArray ReportUnread;
};

// The catalogue dialog as the window uses it; tests replace it with one that picks a folder.
class tScenarioChooser {
  public:
    virtual ~tScenarioChooser() = default;
    // Shows the catalogue modally; true when the user confirmed a scenario.
    virtual bool Execute() = 0;
    // Opens the catalogue at the scenario in `folder` (the open one) before it is shown.
    virtual void OpenAt(const QString& /*folder*/) {}
    // Fills `record` from the confirmed scenario (reports its own load errors). False when the
    // scenario was refused as a whole and the record is untouched: the window then stays as it was.
    virtual bool LoadScenario(tExperiment* record) = 0;
};

class TfmMain : public QMainWindow, public tMainActions, public tSessionHost {
    Q_OBJECT
  public:
    // programDir holds rovelin.cfg and data/; empty = the executable's folder.
    // Raises tFileOpenError (message 1004) when rovelin.cfg is missing.
    explicit TfmMain(const QString& programDir = QString(), QWidget* parent = nullptr);
    ~TfmMain() override;

    // ---- components ----
    QWidget* pnToolBar;
    QToolBar* tlbMain;
    QToolBar* tlbExit;
    QLabel* lbValue;  // "lb": the live value / marker read-out right after tlbMain
    // The status bar and its panels (app/Statusbar.h).
    TMainStatusBar* stbMain;
    QLabel* stbHint;
    QLabel* stbSilence;
    QLabel* stbElapsed;
    QLabel* stbClock;
    QTimer* tmTime;
    QTimer* tmMeasure;               // the session's tick
    TComponentUSB* usbNotification;  // "usb": USB devices arriving and leaving
    QObject* aeMain;                 // application-message filter on qApp

    // Re-evaluates every enabling rule (run whenever the event loop goes idle).
    void UpdateActions();
    // Runs `action`'s handler when its rule, evaluated now, enables it. Errors propagate.
    void Execute(QAction* action);
    // Shows or hides the value label (it stays hidden with the tool bar panel).
    void SetValueLabelVisible(bool visible);
    bool IsValueLabelShown() const;

    // ---- handlers (the others are bound in BindActions) ----
    void acExperimentConnectExecute();
    void acExperimentChooseExecute();
    void acExperimentStartExecute();
    void acExperimentStopExecute();
    void acExperimentMarkPointExecute();
    void acFileExportExecute();
    void acFilePrintExecute();
    void acFilePageSetupExecute();
    void acFileAddImageExecute();
    void acFileSavePdfExecute();
    void acExperimentRunsExecute();
    // Opens a scenario of the catalogue as the chooser's OK does (the start page's tiles).
    void OpenScenario(const tCatalogueEntry& entry);
    // The shown tab on `printer` as Print prints it (nothing without a frame).
    void PrintShownTab(QPrinter& printer);

    // ---- the lesson file (Mainfm_lesson.cpp) ----
    // Opens a lesson file (a second start or the command line hands one over). False when it was
    // not opened: cancelled, or an error box was shown and the window is as it was.
    Q_INVOKABLE bool OpenLessonFile(const QString& path);
    // At start: offers the autosave a run that did not end normally left behind.
    Q_INVOKABLE void OfferRecovery();
    // Saves the lesson to `path` (empty: the lesson's own file, or ask for one) and waits for the
    // write; false when it was not saved (cancelled, or an error box was shown). Ctrl+S and
    // «Сохранить как» do not wait: they start the save and the window goes on.
    bool SaveLesson(const QString& path = QString()) { return FSession->Save(path); }
    // Unsaved work: asks save / don't save / cancel. True when the caller may go on.
    bool ConfirmLessonSaved() { return FSession->ConfirmSaved(); }
    bool LessonUnsaved() const { return FSession->Unsaved(); }
    QString LessonPath() const { return FSession->LessonPath(); }
    QStringList RecentLessons() const { return FSession->RecentLessons(); }
    tAutosave* Autosave() const { return FSession->Autosave(); }
    // The caption: product, scenario, lesson file, and a mark while there are unsaved changes.
    void UpdateTitle();

    void CreateExperimentFrame(tFrameDocuments documents = {});
    // Handles one application message; false when it is not the window's (passes on).
    bool HandleAppMessage(uint32_t code, intptr_t wParam, intptr_t lParam);

    // ---- session end ----
    // The session may end: no exit question from now on.
    void QuerySessionEnd();
    // The session ends (close the window) or goes on after all (ask again on close).
    void EndSession(bool ending);

    // ---- state, for the frame, the tests and the actions ----
    tSession& Session() const { return *FSession; }
    tSettings* Settings() const { return FSession->Settings(); }
    tExperiment* Experiment() const { return FSession->Experiment(); }
    TfrExperiment* Frame() const { return FFrame; }
    // The open scenario's runs and the runs its chart shows; null before a scenario is chosen.
    tLesson* Lesson() const { return FSession->Lesson(); }
    tDevice* Device() const { return FSession->Device(); }
    bool IsMeasuring() const { return FSession->IsMeasuring(); }
    const tChannelValues& Channels() const { return FSession->Channels(); }
    int CurrentSeries() const { return FSession->CurrentSeries(); }
    QString ProgramDir() const { return FSession->ProgramDir(); }
    QPrinter& Printer() { return *FPrinter; }
    // The «Таблица» tab of the open frame (tab index 3), null without a frame.
    TTablePage* TablePage() const;
    // The statistics between the markers of the current series, empty without markers.
    QString StatisticsText() const;
    QLabel* StatisticsLabel() const;
    // Fits, slopes, areas and the prediction on the chart.
    tAnalysisActions& Analysis() const { return *FAnalysis; }
    // The start page while no scenario is open, else null; the help (guide, particulars).
    TfrStart* StartPage() const;
    tHelp& Help() const { return *FHelp; }
    // Names, target sizes and chart descriptions for assistive technology (app/Accessibility.h).
    tWindowAccessibility* Accessibility() const { return FAccessibility; }

    // ---- dialogs, replaceable in tests (the session's questions among them) ----
    virtual std::unique_ptr<tScenarioChooser> CreateChooser(const QString& catalogueRoot);
    std::unique_ptr<tSensorSearch> CreateSensorSearch() override;
    bool FtdiLibraryLoaded() const override;
    // sdBMPFile / sdRTFFile / sdCSVFile: the chosen path, empty when cancelled.
    virtual QString AskBitmapFile();
    virtual QString AskRtfFile();
    virtual QString AskCsvFile();
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
    // The page setup dialog on the window's printer; true when the user confirmed a setup.
    virtual bool RunPageSetup();
    // The lesson file dialogs: the chosen path, empty when cancelled.
    virtual QString AskLessonOpenFile();
    QString AskLessonSaveFile() override;
    // "Урок не сохранён. Сохранить изменения?" with Save / Don't save / Cancel.
    tSaveChoice AskSaveChanges() override;
    // The list of runs: which run (index, -1 = none) each series shows; false when cancelled.
    virtual bool AskSeriesRuns(int& first, int& second);
    int64_t CounterNow() const override;

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // ---- the session's other questions ----
    void Searching(const QString& sensorName) override;
    void SearchDone() override;
    void Warn(const QString& text) override;
    QString TakePointLabel() override;
    QByteArray EditedReport() override;
    void LessonFileFailed(const tLessonFileError& error) override;
    bool LessonSaveFailed(const tLessonFileError& error) override;

  private:
    void BindActions();
    void CreateMenus();
    void CreateToolBars();
    void ConnectSession();
    void FillRecentMenu();
    bool OpenLesson(const QString& path, bool recovered);
    void ShowOpenedLesson(tOpenedLesson& opened);
    // Loads a scenario aside with `load` (which shows why one is refused), asks one question at
    // most, then makes it the open one: connected, its frame built, the caption set.
    void SwitchScenario(const std::function<bool(tExperiment*)>& load);
    // Before the open lesson goes: with unsaved work only save / don't save / cancel, else the
    // given yes/no question. True when the caller may go on.
    bool ConfirmLeaving(const QString& question, QMessageBox::Icon icon, bool defaultYes);
    // The read-out of the first chart with markers in the value label, as after a marker moved (an
    // opened lesson brings its markers), and the statistics between them.
    void ShowMarkerReadout();
    // One tick of the run as the window shows it: elapsed time, silence, value label, axes.
    void ShowTick();
    // A file of the scenario's folder read aside; null when it cannot be (no message box: the
    // frame shows the placeholder, the log says why).
    static std::unique_ptr<QTextDocument> ReadScenarioDocument(const QString& path);
    static void ShowDocument(TRichView* view, std::unique_ptr<QTextDocument> document,
                             const QString& fallback);
    // A save dialog for `suffix` files in the last-used folder, proposing `proposed` (by default
    // the scenario's name and today's date).
    QString AskSaveFile(const QString& suffix, const QString& proposed = QString());

    std::unique_ptr<tSession> FSession;
    TfrExperiment* FFrame = nullptr;  // a child of the window
    QVBoxLayout* FClientLayout = nullptr;
    std::unique_ptr<QPrinter> FPrinter;
    QHash<QAction*, std::function<void()>> FHandlers;
    bool FAskOnClose = true;
    QList<QAction*> FRecentActions;  // the separator before them, then one per recent lesson
    std::unique_ptr<tResultReading> FReading;
    std::unique_ptr<tAnalysisActions> FAnalysis;
    std::unique_ptr<tPaper> FPaper;
    std::unique_ptr<tHandInAction> FHandIn;
    std::unique_ptr<tSearchProgress> FSearchProgress;  // while a connection procedure runs
    tHelp* FHelp = nullptr;                            // a child of the window
    tStartPage* FStart = nullptr;                      // a child of the window
    tWindowAccessibility* FAccessibility = nullptr;    // a child of the window
};
