// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: construction, actions and their rules, menus, tool bars, status bar, clock, exit and
// session end, application messages, and the session's signals. The experiment work lives in
// Mainfm_*.cpp, its substance in the session.
#include "app/Mainfm.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPrinter>
#include <QSessionManager>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Accessibility.h"
#include "app/Analysisactions.h"
#include "app/Handinaction.h"
#include "app/Help.h"
#include "app/Icons.h"
#include "app/Paper.h"
#include "app/Reading.h"
#include "app/Searchprogress.h"
#include "app/Startpage.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "devices/Componentusb.h"
#include "devices/Device.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Sensormodels.h"
#include "foundation/Appmessage.h"
#include "foundation/Guard.h"
#include "foundation/Messagebox.h"
#include "foundation/Stringtable.h"
#include "lesson/Autosave.h"
#include "platform/Affinity.h"

namespace {
// aeMain: sees every application message posted to qApp before anyone else does.
class tAppEvents : public QObject {
  public:
    explicit tAppEvents(TfmMain* owner) : QObject(owner), FOwner(owner) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != tAppMessageEvent::EventType() || watched != QCoreApplication::instance())
            return false;
        const auto* message = static_cast<tAppMessageEvent*>(event);
        bool handled = false;
        RunGuarded(
            [&] { handled = FOwner->HandleAppMessage(message->Code, message->WParam, message->LParam); });
        return handled;
    }

  private:
    TfmMain* FOwner;
};
}  // namespace

TfmMain::TfmMain(const QString& programDir, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("fmMain"));
    // The autosave writer is a thread of the session's that must not share the first processor: a
    // new thread inherits its creator's processors, so the session comes before this thread is pinned.
    FSession = std::make_unique<tSession>(
        *this, programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir);
    FReading = std::make_unique<tResultReading>(*this);
    FHelp = new tHelp(*this);
    FPaper = std::make_unique<tPaper>(*this, *FReading);
    FHandIn = std::make_unique<tHandInAction>(*this, *FPaper, *FReading);
    CreateActions(this);
    FAnalysis = std::make_unique<tAnalysisActions>(*this, *FReading, this);
    BindActions();
    CreateMenus();

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    FClientLayout = new QVBoxLayout(client);
    FClientLayout->setContentsMargins(0, 0, 0, 0);
    FClientLayout->setSpacing(0);
    setCentralWidget(client);
    CreateToolBars();
    FClientLayout->addWidget(pnToolBar);
    FStart = new tStartPage(*this, *FHelp, FClientLayout);
    auto* bar = new TMainStatusBar(this);
    setStatusBar(bar);
    stbMain = bar;
    stbHint = bar->Hint;
    stbSilence = bar->Silence;
    stbElapsed = bar->Elapsed;
    stbClock = bar->Clock;
    tmTime = bar->ClockTimer;
    tmMeasure = FSession->MeasureTimer();
    ConnectSession();
    FAccessibility = new tWindowAccessibility(this);

    // Arrival is only noticed; the user reconnects with acExperimentConnect. The removal of the
    // connected sensor ends its run at once.
    usbNotification = new TComponentUSB(this);
    usbNotification->setObjectName(QStringLiteral("usb"));
    usbNotification->OnUSBArrival = [](QObject*) {};
    usbNotification->OnUSBRemove = [this](QObject*) { FSession->UsbDeviceRemoved(); };
    usbNotification->OnDevNodeChanged = [](QObject*) {};

    aeMain = new tAppEvents(this);
    aeMain->setObjectName(QStringLiteral("aeMain"));
    qApp->installEventFilter(aeMain);

    // The enabling rules run whenever the event loop has nothing else to do.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TfmMain::UpdateActions);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { QuerySessionEnd(); });
    connect(qApp, &QGuiApplication::saveStateRequest, this, [this](QSessionManager&) { QuerySessionEnd(); });
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (!FAskOnClose) EndSession(true);
    });

    FPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    FPaper->LoadPageSetup();
    // Counter readings of this thread and the measurement thread are compared, so both run on CPU 0.
    PinCurrentThreadToFirstProcessor();
    setWindowIcon(ApplicationIcon());
    setWindowTitle(ProductTitle());
    UpdateActions();
    FSession->LoadSettings();
}

TfmMain::~TfmMain() {
    qApp->removeEventFilter(aeMain);
    tmTime->stop();
    // The frame and its views go before the session's lesson they show.
    delete FFrame;
    FFrame = nullptr;
    FAnalysis.reset();
    FHandIn.reset();
    FPaper.reset();
    FReading.reset();
    FSession.reset();
}

// ---------------------------------------------------------------------------------------------
// the session's signals

void TfmMain::ConnectSession() {
    tSession* session = FSession.get();
    connect(session, &tSession::DeviceChanged, this, [this] {
        stbMain->ShowSensor(Device() ? Device()->GetName() : QString(),
                            Device() ? Device()->PortPath() : QString());
        UpdateActions();
    });
    connect(session, &tSession::RunStopped, this, [this] {
        if (FFrame) FFrame->StopMeasurement();
        stbSilence->hide();
        UpdateActions();
    });
    connect(session, &tSession::PointsAdded, this, [this](tRun* run, qsizetype from, qsizetype) {
        // The first value of a run sits at the scenario's YOffset of the axis height.
        const tExperiment* e = Experiment();
        double lo = 0, hi = 0;
        if (from == 0 && FFrame && e && FirstPointAxis(run->Y(0), e->YOffset, e->MinY, e->MaxY, lo, hi))
            FFrame->Chart()->LeftAxis().SetRange(lo, hi);
    });
    connect(session, &tSession::Ticked, this, &TfmMain::ShowTick);
    connect(session, &tSession::Fault, this, [](const QString& text) { ShowWarning(text); });
    connect(session, &tSession::LessonChanged, this, [this] {
        FillRecentMenu();
        FStart->RecentChanged();
        UpdateTitle();
    });
    connect(session, &tSession::LessonSaved, this, [this](const QString& path) {
        FillRecentMenu();
        FStart->RecentChanged();
        UpdateTitle();
        FPaper->Wrote(tr("Урок сохранён"), path);
    });
    connect(session, &tSession::UnsavedChanged, this, &TfmMain::UpdateTitle);
    connect(session->Autosave(), &tAutosave::NoteChanged, stbMain, &TMainStatusBar::ShowNote);
}

// ---------------------------------------------------------------------------------------------
// actions

void TfmMain::BindActions() {
    const std::pair<QAction*, std::function<void()>> handlers[] = {
        {acFileExit, [this] { close(); }},
        {acViewToolBar, [this] { pnToolBar->setVisible(acViewToolBar->isChecked()); }},
        {acViewStatusBar, [this] { stbMain->setVisible(acViewStatusBar->isChecked()); }},
        {acExperimentConnect, [this] { acExperimentConnectExecute(); }},
        {acExperimentChoose, [this] { acExperimentChooseExecute(); }},
        {acExperimentStart, [this] { acExperimentStartExecute(); }},
        {acExperimentStop, [this] { acExperimentStopExecute(); }},
        {acExperimentMarkPoint, [this] { acExperimentMarkPointExecute(); }},
        {acFileExport, [this] { acFileExportExecute(); }},
        {acFilePrint, [this] { acFilePrintExecute(); }},
        {acFilePrintSetup, [this] { RunPrintSetup(); }},
        {acFilePageSetup, [this] { acFilePageSetupExecute(); }},
        {acFileAddImage, [this] { acFileAddImageExecute(); }},
        {acFilePreview, [this] { RunPrintPreview(*FPrinter, [this](QPrinter& to) { PrintShownTab(to); }); }},
        {acFileSavePdf, [this] { acFileSavePdfExecute(); }},
        {acFileOpenLesson, [this] { OpenLessonFile(AskLessonOpenFile()); }},
        {acFileSaveLesson, [this] { FSession->StartSave(); }},
        {acFileSaveLessonAs,
         [this] {
             if (const QString path = AskLessonSaveFile(); !path.isEmpty()) FSession->StartSave(path);
         }},
        {acExperimentRuns, [this] { acExperimentRunsExecute(); }},
        {acViewShowAll, [this] { FReading->ShowAll(); }},
        {acViewProjector, [this] { FReading->SetProjector(this, acViewProjector->isChecked()); }},
        {acViewPulseTaller, [this] { FReading->GrowPulseChart(1); }},
        {acViewPulseShorter, [this] { FReading->GrowPulseChart(-1); }},
        {acExperimentInsertChart, [this] { FReading->InsertChart(FPrinter->pageLayout()); }},
        {acExperimentFit, [this] { FAnalysis->Fit(); }},
        {acExperimentSlope, [this] { FAnalysis->Slope(); }},
        {acExperimentArea, [this] { FAnalysis->Area(); }},
        {acExperimentDrawPrediction, [this] { FAnalysis->TogglePrediction(); }},
        {acExperimentTypePrediction, [this] { FAnalysis->TypePrediction(); }},
        {acHelpGuide, [this] { FHelp->ShowGuideHere(); }},
        {acHelpInfo, [this] { FHelp->ShowInfo(); }},
        {acFileHandIn, [this] { FHandIn->Execute(); }},
    };
    for (const auto& [action, handler] : handlers) {
        FHandlers.insert(action, handler);
        connect(action, &QAction::triggered, this, [handler] { RunGuarded(handler); });
    }
    // Shortcuts work while the window (or any of its children) has the focus, menus closed or not.
    for (QAction* action : Actions()) addAction(action);
}

void TfmMain::UpdateActions() {
    const bool connected = Device() != nullptr;
    const bool measuring = IsMeasuring();
    acExperimentStart->setEnabled(connected && !measuring);
    acFileExport->setEnabled(connected && !measuring);
    acExperimentStop->setEnabled(connected && measuring);
    acExperimentMarkPoint->setEnabled(connected && measuring);
    // A report that was not read (its reading cancelled) stays as the lesson holds it.
    acFileAddImage->setEnabled(FFrame != nullptr && FFrame->ShownTabIndex() == 2 &&
                               !FFrame->ReportView()->isReadOnly());
    acFilePreview->setEnabled(FFrame != nullptr);
    acFileSavePdf->setEnabled(FFrame != nullptr && !measuring);
    // The checked action also shows its tool button pressed.
    acExperimentConnect->setChecked(connected);
    acHelpAbout->setEnabled(false);
    // Saving needs only an open scenario: with or without a sensor, also while measuring.
    const bool open = Experiment() && FFrame && Lesson();
    acFileSaveLesson->setEnabled(open);
    acFileSaveLessonAs->setEnabled(open);
    acExperimentRuns->setEnabled(open && !measuring && Lesson()->RunCount() > 0);
    FPaper->UpdateActions(measuring);
    FHandIn->UpdateActions(measuring);
    FReading->UpdateActions(measuring);
    FAnalysis->UpdateActions(measuring);
}

void TfmMain::Execute(QAction* action) {
    UpdateActions();
    if (!action->isEnabled()) return;
    if (const auto handler = FHandlers.value(action)) handler();
}

// ---------------------------------------------------------------------------------------------
// menus and tool bars

void TfmMain::CreateMenus() {
    QMenuBar* mmMain = menuBar();
    mmMain->setObjectName(QStringLiteral("mmMain"));
    QMenu* file = mmMain->addMenu(tr("&Файл"));
    file->setObjectName(QStringLiteral("miFile"));
    file->addAction(acFileOpenLesson);
    file->addAction(acFileSaveLesson);
    file->addAction(acFileSaveLessonAs);
    file->addAction(acFileHandIn);
    // The last five lessons, hidden until there are any (FillRecentMenu).
    FRecentActions << file->addSeparator();
    for (int i = 0; i < 5; ++i) {
        auto* action = file->addAction(QString());
        action->setObjectName(QStringLiteral("acFileRecent%1").arg(i + 1));
        connect(action, &QAction::triggered, this, [this, i] {
            if (i < RecentLessons().size()) OpenLessonFile(RecentLessons()[i]);
        });
        FRecentActions << action;
    }
    file->addSeparator();
    FillRecentMenu();
    file->addAction(acFileExport);
    file->addAction(acFileSavePdf);
    file->addSeparator();
    file->addAction(acFileAddImage);
    file->addSeparator();
    file->addAction(acFilePrintSetup);
    file->addAction(acFilePageSetup);
    file->addAction(acFilePreview);
    file->addAction(acFilePrint);
    file->addSeparator();
    file->addAction(acFileExit);
    QMenu* view = mmMain->addMenu(tr("&Вид"));
    view->setObjectName(QStringLiteral("miView"));
    view->addAction(acViewToolBar);
    view->addAction(acViewStatusBar);
    view->addSeparator();
    view->addAction(acViewShowAll);
    view->addAction(acViewProjector);
    view->addSeparator();
    view->addAction(acViewPulseTaller);
    view->addAction(acViewPulseShorter);
    QMenu* experiment = mmMain->addMenu(tr("&Эксперимент"));
    experiment->setObjectName(QStringLiteral("miExperiment"));
    experiment->addAction(acExperimentConnect);
    experiment->addSeparator();
    experiment->addAction(acExperimentChoose);
    experiment->addSeparator();
    experiment->addAction(acExperimentStart);
    experiment->addAction(acExperimentStop);
    experiment->addAction(acExperimentMarkPoint);
    experiment->addSeparator();
    experiment->addAction(acExperimentRuns);
    experiment->addSeparator();
    experiment->addAction(acExperimentInsertChart);
    experiment->addSeparator();
    experiment->addAction(acExperimentFit);
    experiment->addAction(acExperimentSlope);
    experiment->addAction(acExperimentArea);
    experiment->addAction(acExperimentDrawPrediction);
    experiment->addAction(acExperimentTypePrediction);
    experiment->addMenu(FAnalysis->RemoveMenu());
    QMenu* help = mmMain->addMenu(QStringLiteral("&?"));
    help->setObjectName(QStringLiteral("miHelp"));
    help->addAction(acHelpGuide);
    help->addAction(acHelpInfo);
    help->addSeparator();
    help->addAction(acHelpAbout);
}

void TfmMain::CreateToolBars() {
    pnToolBar = new QWidget(this);
    pnToolBar->setObjectName(QStringLiteral("pnToolBar"));
    auto* row = new QHBoxLayout(pnToolBar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto setUp = [](QToolBar* bar, const char* name) {
        bar->setObjectName(QString::fromLatin1(name));
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setIconSize(QSize(24, 24));
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        // Separators are 8-pixel gaps, as the bars of the layout say.
        bar->setStyleSheet(
            QStringLiteral("QToolBar { border: none; spacing: 0px; }"
                           "QToolBar::separator { width: 8px; }"));
    };
    tlbMain = new QToolBar(pnToolBar);
    setUp(tlbMain, "tlbMain");
    tlbExit = new QToolBar(pnToolBar);
    setUp(tlbExit, "tlbExit");

    auto addButton = [](QToolBar* bar, QAction* action) {
        bar->addAction(action);
        if (QWidget* button = bar->widgetForAction(action)) {
            button->setFixedSize(31, 30);
            button->setObjectName(QStringLiteral("tb") + action->objectName().mid(2));
        }
    };
    addButton(tlbMain, acExperimentChoose);
    tlbMain->addSeparator();
    addButton(tlbMain, acExperimentConnect);
    tlbMain->addSeparator();
    addButton(tlbMain, acHelpAbout);
    tlbMain->addSeparator();
    addButton(tlbMain, acExperimentStart);
    addButton(tlbMain, acExperimentStop);
    addButton(tlbMain, acExperimentMarkPoint);
    tlbMain->addSeparator();
    addButton(tlbMain, acFileExport);
    addButton(tlbMain, acFilePrint);
    tlbMain->addSeparator();
    addButton(tlbMain, acFileAddImage);
    tlbMain->addSeparator();
    tlbMain->addAction(acViewShowAll);
    if (QWidget* button = tlbMain->widgetForAction(acViewShowAll)) {
        button->setObjectName(QStringLiteral("tbViewShowAll"));
        if (auto* tool = qobject_cast<QToolButton*>(button)) tool->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }

    // The label follows the buttons in the panel rather than inside the tool bar: a tool bar moves
    // what does not fit into its overflow menu, and the live value must never disappear there.
    lbValue = new QLabel(pnToolBar);
    lbValue->setObjectName(QStringLiteral("lb"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(17);
    font.setBold(true);
    lbValue->setFont(font);
    lbValue->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lbValue->setContentsMargins(8, 0, 8, 0);
    lbValue->hide();

    addButton(tlbExit, acFileExit);
    row->addWidget(tlbMain, 0);
    row->addWidget(lbValue, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(tlbExit, 0, Qt::AlignRight);
}

void TfmMain::SetValueLabelVisible(bool visible) {
    lbValue->setVisible(visible);
}

bool TfmMain::IsValueLabelShown() const {
    return !lbValue->isHidden();
}

// ---------------------------------------------------------------------------------------------
// status bar

bool TfmMain::event(QEvent* event) {
    // Hints go into the first status panel, not over the whole bar.
    if (event->type() == QEvent::StatusTip) {
        stbHint->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------------------------
// view, exit, session end

TTablePage* TfmMain::TablePage() const {
    return FReading->TablePage();
}

QString TfmMain::StatisticsText() const {
    return FReading->StatisticsText();
}

QLabel* TfmMain::StatisticsLabel() const {
    return FReading->StatisticsLabel();
}

TfrStart* TfmMain::StartPage() const {
    return FStart->Page();
}

void TfmMain::closeEvent(QCloseEvent* event) {
    if (FAskOnClose && !ConfirmLeaving(LoadStr(msg::ExitQuestion), QMessageBox::Question, false)) {
        event->ignore();
        return;
    }
    // Leaving stops a run and lets the sensor go, so no thread outlives the window's timers.
    RunGuarded([this] { FSession->Disconnect(); });
    tmTime->stop();
    if (FAskOnClose)
        FSession->DiscardAutosave();  // a normal end: nothing to restore next time
    else
        FSession->KeepAutosave();  // the desktop session ends without asking: kept for the next start
    event->accept();
}

void TfmMain::QuerySessionEnd() {
    FAskOnClose = false;
}

void TfmMain::EndSession(bool ending) {
    if (ending)
        close();
    else
        FAskOnClose = true;
}

// ---------------------------------------------------------------------------------------------
// application messages

bool TfmMain::HandleAppMessage(uint32_t code, intptr_t wParam, intptr_t) {
    if (FSession->HandleDeviceMessage(code)) return true;
    if (code != WM_MARKER_CHANGED) return false;
    if (FFrame && Experiment())
        lbValue->setText(FFrame->GetMarkerText(Experiment()->FormatX, Experiment()->FormatY,
                                               reinterpret_cast<TChart*>(wParam)));
    FReading->UpdateStatistics();
    return true;
}

void TfmMain::ShowMarkerReadout() {
    const tExperiment* e = Experiment();
    if (!FFrame || !e) return;
    for (TChart* chart : FFrame->Charts()) {
        const QString text = FFrame->GetMarkerText(e->FormatX, e->FormatY, chart);
        if (text.isEmpty()) continue;
        lbValue->setText(text);
        // Where a run shows the label, the read-out shows as it did after the run.
        if (SensorModelFor(e->SensorName).ShowsLiveValue) SetValueLabelVisible(true);
        break;
    }
    FReading->UpdateStatistics();
}

int64_t TfmMain::CounterNow() const {
    return tSessionHost::CounterNow();
}
