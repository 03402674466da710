// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: construction, actions and their rules, menus, tool bars, status bar, clock, exit and
// session end, application messages. The experiment work lives in Mainfm_*.cpp.
#include "app/Mainfm.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QPrinter>
#include <QSessionManager>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/Icons.h"
#include "app/Program.h"
#include "devices/Componentusb.h"
#include "devices/Device.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "foundation/Appmessage.h"
#include "foundation/Exceptions.h"
#include "foundation/Guard.h"
#include "foundation/Logfile.h"
#include "foundation/Messagebox.h"
#include "foundation/Settings.h"
#include "foundation/Stringtable.h"
#include "lesson/Autosave.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "platform/Affinity.h"
#include "platform/Clock.h"

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

const QString kSensorRemovedText = QStringLiteral(
    "Внимание! Измерения были остановлены.\r\nДатчик , был отключен в процессе проведения измерений.");
}  // namespace

TfmMain::TfmMain(const QString& programDir, QWidget* parent)
    : QMainWindow(parent),
      FProgramDir(programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir) {
    setObjectName(QStringLiteral("fmMain"));
    CreateActions();
    CreateMenus();

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    FClientLayout = new QVBoxLayout(client);
    FClientLayout->setContentsMargins(0, 0, 0, 0);
    FClientLayout->setSpacing(0);
    setCentralWidget(client);
    CreateToolBars();
    CreateReadingActions();
    FClientLayout->addWidget(pnToolBar);
    FClientLayout->addStretch(1);
    CreateStatusBar();

    tmTime = new QTimer(this);
    tmTime->setObjectName(QStringLiteral("tmTime"));
    tmTime->setInterval(1000);
    connect(tmTime, &QTimer::timeout, this, [this] { RunGuarded([this] { ShowClock(); }); });
    tmTime->start();
    tmMeasure = new QTimer(this);
    tmMeasure->setObjectName(QStringLiteral("tmMeasure"));
    tmMeasure->setInterval(100);
    connect(tmMeasure, &QTimer::timeout, this, [this] { RunGuarded([this] { tmMeasureTimer(); }); });

    // Arrival and removal are only noticed; the user reconnects with acExperimentConnect.
    usb = new TComponentUSB(this);
    usb->setObjectName(QStringLiteral("usb"));
    usb->OnUSBArrival = [](QObject*) {};
    usb->OnUSBRemove = [](QObject*) {};
    usb->OnDevNodeChanged = [](QObject*) {};

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

    // The autosave writer is a thread of its own that must not share the first processor: a new
    // thread inherits its creator's processors, so it starts before this thread is pinned.
    FAutosave = std::make_unique<tAutosave>();
    // Counter readings of this thread and the measurement thread are compared, so both run on CPU 0.
    PinCurrentThreadToFirstProcessor();
    FCountFrequency = HighResFrequency();
    setWindowIcon(ApplicationIcon());
    setWindowTitle(ProductTitle());
    ShowClock();
    UpdateActions();

    FSettings = std::make_unique<tSettings>();
    FSettings->Load(FProgramDir + QStringLiteral("/rovelin.cfg"));

    FAutosave->BeforeSave = [this] { SyncLessonFromFrame(); };
    connect(FAutosave.get(), &tAutosave::Failed, this,
            [](const QString& message) { LogAdd(QStringLiteral("Автосохранение: ") + message); });
}

TfmMain::~TfmMain() {
    qApp->removeEventFilter(aeMain);
    tmMeasure->stop();
    tmTime->stop();
    // A running measurement is stopped (joined, stop command sent) before the window it reports to
    // goes away; an idle sensor is only closed, it has nothing to stop.
    if (FDevice) {
        try {
            if (FDevice->IsMeasuring()) FDevice->Stop();
        } catch (...) {
        }
        FDevice.reset();
    }
    if (!FKeepAutosave) FAutosave->Discard();
    FAutosave.reset();
    FExperiment.reset();
    FSettings.reset();
}

// ---------------------------------------------------------------------------------------------
// actions

QAction* TfmMain::NewAction(const char* name, const QString& category, const QString& caption,
                            const QString& hint, int icon, void (TfmMain::*handler)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setProperty("category", category);
    action->setStatusTip(hint);
    action->setToolTip(hint);
    if (icon >= 0) action->setIcon(MainIcon(icon));
    if (handler) Bind(action, handler);
    return action;
}

void TfmMain::Bind(QAction* action, void (TfmMain::*handler)()) {
    FHandlers.insert(action, handler);
    connect(action, &QAction::triggered, this,
            [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
}

void TfmMain::CreateActions() {
    CreateLessonActions();
    const QString file = QStringLiteral("File"), help = QStringLiteral("Help"), view = QStringLiteral("View"),
                  experiment = QStringLiteral("Experiment");
    acFileExit = NewAction("acFileExit", file, QStringLiteral("&Выход..."),
                           QStringLiteral("Выйти из программы"), icExit, &TfmMain::acFileExitExecute);
    // Alt+Ч is the same key as Alt+X on a Russian layout.
    acFileExit->setShortcuts(
        {QKeySequence(Qt::ALT | Qt::Key_X), QKeySequence(Qt::ALT | QChar(u'Ч').unicode())});
    acHelpAbout = NewAction("acHelpAbout", help, QStringLiteral("&О программе..."),
                            QStringLiteral("Вывести информацию о программе, разработчике и авторских правах"),
                            icAbout, nullptr);
    acHelpAbout->setEnabled(false);
    acViewToolBar = NewAction("acViewToolBar", view, QStringLiteral("&Панель инструментов"),
                              QStringLiteral("Показать/спрятать панель инструментов"), -1,
                              &TfmMain::acViewToolBarExecute);
    acViewToolBar->setCheckable(true);
    acViewToolBar->setChecked(true);
    acViewStatusBar =
        NewAction("acViewStatusBar", view, QStringLiteral("&Строка состояния"),
                  QStringLiteral("Позазать/спрятать строку состояния"), -1, &TfmMain::acViewStatusBarExecute);
    acViewStatusBar->setCheckable(true);
    acViewStatusBar->setChecked(true);
    acExperimentConnect = NewAction("acExperimentConnect", experiment, QStringLiteral("&Подключение"),
                                    QStringLiteral("Найти датчики и подключиться к ним"), icConnect,
                                    &TfmMain::acExperimentConnectExecute);
    acExperimentConnect->setCheckable(true);
    acExperimentChoose = NewAction("acExperimentChoose", experiment, QStringLiteral("&Выбор эксперимента..."),
                                   QStringLiteral("Выбрать сценарий для проведения эксперимента"), icChoose,
                                   &TfmMain::acExperimentChooseExecute);
    acExperimentStart =
        NewAction("acExperimentStart", experiment, QStringLiteral("&Пуск"),
                  QStringLiteral("Запустить измерения"), icStart, &TfmMain::acExperimentStartExecute);
    acExperimentStop =
        NewAction("acExperimentStop", experiment, QStringLiteral("&Стоп"),
                  QStringLiteral("Остановить измерения"), icStop, &TfmMain::acExperimentStopExecute);
    acExperimentMarkPoint = NewAction(
        "acExperimentMarkPoint", experiment, QStringLiteral("&Отметить точку...."),
        QStringLiteral("Отметить точку на графике"), icMark, &TfmMain::acExperimentMarkPointExecute);
    acExperimentMarkPoint->setCheckable(true);
    acFileExport = NewAction("acFileExport", file, QStringLiteral("&Экспорт..."),
                             QStringLiteral("Экспортировать данные во внешний файл"), icExport,
                             &TfmMain::acFileExportExecute);
    acFilePrint = NewAction("acFilePrint", file, QStringLiteral("&Печать..."),
                            QStringLiteral("Напечатать содержимое текущей вкладки"), icPrint,
                            &TfmMain::acFilePrintExecute);
    acFilePrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    acFilePrintSetup =
        NewAction("acFilePrintSetup", file, QStringLiteral("Параметры печати..."),
                  QStringLiteral("Изменить настройки печати"), -1, &TfmMain::acFilePrintSetupExecute);
    acFilePageSetup =
        NewAction("acFilePageSetup", file, QStringLiteral("Параметры страницы..."),
                  QStringLiteral("Изменить настройки страницы"), -1, &TfmMain::acFilePageSetupExecute);
    acFileAddImage = NewAction("acFileAddImage", file, QStringLiteral("&Добавить изображение..."),
                               QStringLiteral("&Добавить изображение из файла"), icAddImage,
                               &TfmMain::acFileAddImageExecute);
    acFilePreview = NewAction("acFilePreview", file, QStringLiteral("Предварительный просмотр..."),
                              QStringLiteral("Показать, как будет напечатана текущая вкладка"), -1,
                              &TfmMain::acFilePreviewExecute);
    acFileSavePdf = NewAction("acFileSavePdf", file, QStringLiteral("Сохранить в PDF..."),
                              QStringLiteral("Сохранить текущую вкладку в файл PDF, как при печати"), -1,
                              &TfmMain::acFileSavePdfExecute);
    // Shortcuts work while the window (or any of its children) has the focus, menus closed or not.
    for (QAction* action : Actions()) addAction(action);
}

QList<QAction*> TfmMain::Actions() const {
    return {
        acFileExit,         acHelpAbout,       acViewToolBar,    acViewStatusBar,       acExperimentConnect,
        acExperimentChoose, acExperimentStart, acExperimentStop, acExperimentMarkPoint, acFileExport,
        acFilePrint,        acFilePrintSetup,  acFilePageSetup,  acFileAddImage,        acFilePreview,
        acFileSavePdf,      acFileOpenLesson,  acFileSaveLesson, acFileSaveLessonAs,    acExperimentRuns};
}

bool TfmMain::IsMeasuring() const {
    return tmMeasure->isActive();
}

void TfmMain::UpdateActions() {
    const bool connected = FDevice != nullptr;
    const bool measuring = IsMeasuring();
    acExperimentStart->setEnabled(connected && !measuring);
    acFileExport->setEnabled(connected && !measuring);
    acExperimentStop->setEnabled(connected && measuring);
    acExperimentMarkPoint->setEnabled(connected && measuring);
    acFileAddImage->setEnabled(FFrame != nullptr && FFrame->ShownTabIndex() == 2);
    acFilePreview->setEnabled(FFrame != nullptr);
    acFileSavePdf->setEnabled(FFrame != nullptr && !measuring);
    // The checked action also shows its tool button pressed.
    acExperimentConnect->setChecked(connected);
    acHelpAbout->setEnabled(false);
    UpdateLessonActions();
    UpdateReadingActions();
}

void TfmMain::Execute(QAction* action) {
    UpdateActions();
    if (!action->isEnabled()) return;
    const auto handler = FHandlers.value(action);
    if (handler) (this->*handler)();
}

// ---------------------------------------------------------------------------------------------
// menus and tool bars

void TfmMain::CreateMenus() {
    QMenuBar* mmMain = menuBar();
    mmMain->setObjectName(QStringLiteral("mmMain"));
    QMenu* file = mmMain->addMenu(QStringLiteral("&Файл"));
    file->setObjectName(QStringLiteral("miFile"));
    AddLessonMenuItems(file);
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
    QMenu* view = mmMain->addMenu(QStringLiteral("&Вид"));
    view->setObjectName(QStringLiteral("miView"));
    view->addAction(acViewToolBar);
    view->addAction(acViewStatusBar);
    view->addSeparator();
    QMenu* experiment = mmMain->addMenu(QStringLiteral("&Эксперимент"));
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
    QMenu* help = mmMain->addMenu(QStringLiteral("&?"));
    help->setObjectName(QStringLiteral("miHelp"));
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

    // The label follows the buttons in the panel rather than inside the tool bar: a tool bar moves
    // what does not fit into its overflow menu, and the live value must never disappear there.
    lb = new QLabel(pnToolBar);
    lb->setObjectName(QStringLiteral("lb"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(17);
    font.setBold(true);
    lb->setFont(font);
    lb->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lb->setContentsMargins(8, 0, 8, 0);
    lb->hide();

    addButton(tlbExit, acFileExit);
    row->addWidget(tlbMain, 0);
    row->addWidget(lb, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(tlbExit, 0, Qt::AlignRight);
}

void TfmMain::SetValueLabelVisible(bool visible) {
    lb->setVisible(visible);
}

bool TfmMain::IsValueLabelShown() const {
    return !lb->isHidden();
}

// ---------------------------------------------------------------------------------------------
// status bar and clock

void TfmMain::CreateStatusBar() {
    stbMain = statusBar();
    stbMain->setObjectName(QStringLiteral("stbMain"));
    stbMain->setSizeGripEnabled(false);
    auto panel = [this](const char* name, Qt::Alignment alignment) {
        auto* label = new QLabel(stbMain);
        label->setObjectName(QString::fromLatin1(name));
        label->setAlignment(alignment | Qt::AlignVCenter);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return label;
    };
    stbHint = panel("stbHint", Qt::AlignLeft);
    stbHint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    stbSilence = panel("stbSilence", Qt::AlignHCenter);
    stbSilence->hide();
    stbElapsed = panel("stbElapsed", Qt::AlignHCenter);
    stbClock = panel("stbClock", Qt::AlignHCenter);
    stbMain->addWidget(stbHint, 1);
    stbMain->addPermanentWidget(stbSilence);
    stbMain->addPermanentWidget(stbElapsed);
    stbMain->addPermanentWidget(stbClock);
    stbMain->installEventFilter(this);
    LayoutStatusBar();
}

int TfmMain::ClockPanelWidth(const QFont& font) {
    return static_cast<int>(
        std::trunc(QFontMetrics(font).horizontalAdvance(QStringLiteral(" 88:88:88 ")) * 1.5));
}

int TfmMain::ElapsedPanelWidth(const QFont& font) {
    return static_cast<int>(
        std::trunc(QFontMetrics(font).horizontalAdvance(QStringLiteral(" 888:88.88 ")) * 1.5));
}

void TfmMain::LayoutStatusBar() {
    const int clock = ClockPanelWidth(stbMain->font());
    const int elapsed = ElapsedPanelWidth(stbMain->font());
    stbClock->setFixedWidth(clock);
    stbElapsed->setFixedWidth(elapsed);
    // The hint panel takes what is left; the layout's own margins come off it.
    stbHint->setMinimumWidth(0);
}

void TfmMain::ShowClock() {
    // The long format of a Qt locale ends in a zone name, which the panel has no room for.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t')).replace(QStringLiteral("  "), QStringLiteral(" "));
    stbClock->setText(QLocale::system().toString(QTime::currentTime(), format.trimmed()));
}

bool TfmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == stbMain && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange))
        LayoutStatusBar();
    return QMainWindow::eventFilter(watched, event);
}

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

void TfmMain::acViewToolBarExecute() {
    pnToolBar->setVisible(acViewToolBar->isChecked());
}

void TfmMain::acViewStatusBarExecute() {
    stbMain->setVisible(acViewStatusBar->isChecked());
}

void TfmMain::acFileExitExecute() {
    close();
}

void TfmMain::closeEvent(QCloseEvent* event) {
    // Unsaved work is offered for saving before the exit question.
    if (FAskOnClose &&
        (!ConfirmLessonSaved() || !AskYesNo(LoadStr(msg::ExitQuestion), QMessageBox::Question, false))) {
        event->ignore();
        return;
    }
    // Leaving stops a run and lets the sensor go, so no thread outlives the window's timers.
    RunGuarded([this] { Disconnect(); });
    tmTime->stop();
    if (FAskOnClose) {
        FAutosave->Discard();  // a normal end: nothing to restore next time
    } else {
        // The session ends without asking: the autosave keeps the work for the next start.
        FAutosave->SaveNow();
        FAutosave->Flush();
        FKeepAutosave = true;
    }
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
    switch (code) {
        case WM_DEVICE_WRITE_ERROR:
            ReportRunFault(LoadStr(msg::WriteError));
            return true;
        case WM_DEVICE_READ_ERROR:
            ReportRunFault(LoadStr(msg::ReadError));
            return true;
        case WM_MARKER_CHANGED:
            if (FFrame && FExperiment)
                lb->setText(FFrame->GetMarkerText(FExperiment->FormatX, FExperiment->FormatY,
                                                  reinterpret_cast<TChart*>(wParam)));
            UpdateStatistics();
            return true;
        case WM_SENSOR_REMOVED:
            ReportRunFault(kSensorRemovedText);
            return true;
        default:
            return false;
    }
}

void TfmMain::AdoptDevice(std::unique_ptr<tDevice> device) {
    Disconnect();
    FDevice = std::move(device);
    UpdateActions();
}

int64_t TfmMain::CounterNow() const {
    return HighResCounter();
}
