// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Program.h"

#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QWidget>

#include "app/Mainfm.h"
#include "devices/Portopeners.h"
#include "foundation/Commandline.h"
#include "foundation/Exceptions.h"
#include "foundation/Guard.h"
#include "foundation/Language.h"
#include "foundation/Logfile.h"
#include "foundation/Messagebox.h"
#include "foundation/Schoolsettings.h"
#include "foundation/Stringtable.h"
#include "foundation/Userfolders.h"
#include "platform/Singleinstance.h"
#include "sim/Simports.h"

tApplication::tApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool tApplication::notify(QObject* receiver, QEvent* event) {
    struct {
        QObject* receiver;
        QEvent* event;
        bool result = false;
    } delivery{receiver, event};
    auto* self = this;
    RunGuarded([&delivery, self] {
        delivery.result = self->QApplication::notify(delivery.receiver, delivery.event);
    });
    return delivery.result;
}

QString ProgramVersion() {
    return QStringLiteral(ROVELIN_VERSION);
}

QString DesktopId() {
    return QStringLiteral(ROVELIN_APP_ID);
}

void SetProgramIdentity(QGuiApplication& app) {
    // Qt on X11 takes the class of WM_CLASS from the application name; Wayland takes the app id
    // from the desktop file name. No display name: Qt would add it to every window title.
    app.setApplicationName(DesktopId());
    app.setApplicationVersion(ProgramVersion());
    QGuiApplication::setDesktopFileName(DesktopId());
}

QString CommandLineAnswer(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--version") || IsSwitch(argument, QStringLiteral("VERSION")))
            return QStringLiteral("rovelin %1\n").arg(ProgramVersion());
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h") ||
            argument == QLatin1String("/?") || IsSwitch(argument, QStringLiteral("HELP")))
            return QCoreApplication::translate(
                       "Program",
                       "Использование: rovelin [ключ...] [урок.rovelin]\n"
                       "%1 — цифровая лаборатория с датчиками USB для уроков.\n"
                       "\n"
                       "Ключ — это / или - и слово, в любом регистре:\n"
                       "  /LOG           вести журнал rovelin.log (рядом с программой; у установленной\n"
                       "                 программы — в ~/.local/state/rovelin/)\n"
                       "  /LOG_MEASURE   вместе с /LOG: записывать в журнал каждый цикл измерения\n"
                       "  /DEMO          демонстрационный режим: датчики-имитаторы вместо настоящих\n"
                       "  урок.rovelin   открыть файл урока (в уже запущенной программе, если она есть)\n"
                       "  --help         показать эту справку и выйти\n"
                       "  --version      показать версию и выйти\n"
                       "\n"
                       "Подробнее: man rovelin\n")
                .arg(ProductTitle());
    }
    return QString();
}

QString NoDisplayText(const QStringList& arguments) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (!qEnvironmentVariableIsEmpty(name)) return QString();
    if (arguments.contains(QStringLiteral("-platform")) || arguments.contains(QStringLiteral("--platform")))
        return QString();
    return QCoreApplication::translate(
        "Program",
        "rovelin: нет экрана для окна программы (не заданы DISPLAY и WAYLAND_DISPLAY).\n"
        "Запустите программу в сеансе рабочего стола или на виртуальном экране:\n"
        "  xvfb-run -a -s \"-screen 0 1280x800x24\" rovelin /DEMO\n");
}

namespace {
void DropLog() {
    delete gLogFile;
    gLogFile = nullptr;
}

// The log lives beside the program, where a portable folder or a build keeps it. An installed
// program's folder belongs to the package manager, which would leave a log there behind on
// removal: the user's state folder takes the log then, also for root. The same happens when the
// program folder refuses the log, rather than the program refusing to start.
tLogFile* OpenProgramLog(const QString& programDir, bool installed) {
    const QString folder = ProgramStateFolder();
    const QString inState = folder + QStringLiteral("/rovelin.log");
    if (installed) {
        // Only with the switch: without it nothing may be created, not even the folder.
        if (HasSwitch(QStringLiteral("LOG"))) QDir().mkpath(folder);
        return new tLogFile(inState);
    }
    try {
        return new tLogFile(programDir + QStringLiteral("/rovelin.log"));
    } catch (const tException& beside) {
        if (!QDir().mkpath(folder)) throw;
        try {
            return new tLogFile(inState);
        } catch (const tException&) {
            throw beside;  // the first reason is the one the administrator can act on
        }
    }
}

// Which school settings this start found, and what in them it did not understand: an
// administrator reads that in the log rather than guessing why a folder is not used.
void LogSchoolSettings() {
    if (!LogIsOn()) return;
    const tSchoolSettings school = tSchoolSettings::Load();
    // untranslated: a line of the log
    if (!school.SchoolFile().isEmpty()) LogAdd(QStringLiteral("Настройки школы: ") + school.SchoolFile());
    for (const QString& problem : school.Problems())
        // untranslated: a line of the log
        LogAdd(QStringLiteral("Настройки школы не поняты: ") + problem);
}

// Log, window, event loop. Errors are logged here and passed on to RunProgram, which shows them.
void RunLoggedPart(tSingleInstance& instance, tProgramOptions& options, const QString& lessonPath) {
    try {
        gLogFile = OpenProgramLog(options.ProgramDir,
                                  IsInstalledProgramFolder(options.ProgramDir, options.SystemPrefixes));
        LogAdd(LoadStr(msg::ProgramStart));
        LogSchoolSettings();
        std::unique_ptr<QWidget> window = options.CreateMainWindow(options.ProgramDir);
        QWidget* shown = window.get();
        QObject::connect(&instance, &tSingleInstance::ActivateRequested, shown, [shown] {
            // A second start asked for us: bring the window back from the task bar and to the front.
            if (shown->isMinimized()) shown->setWindowState(shown->windowState() & ~Qt::WindowMinimized);
            shown->show();
            shown->raise();
            shown->activateWindow();
        });
        // A lesson handed over by a second start opens once the hand-over is answered.
        QObject::connect(&instance, &tSingleInstance::OpenRequested, shown, [shown](const QString& path) {
            QMetaObject::invokeMethod(shown, "OpenLessonFile", Qt::QueuedConnection, Q_ARG(QString, path));
        });
        // Once the window is up: first the work a crash left behind, then the lesson asked for.
        QMetaObject::invokeMethod(shown, "OfferRecovery", Qt::QueuedConnection);
        if (!lessonPath.isEmpty())
            QMetaObject::invokeMethod(shown, "OpenLessonFile", Qt::QueuedConnection,
                                      Q_ARG(QString, lessonPath));
        // Without a window manager "maximised" means nothing; the screen's work area then stands in.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            window->setGeometry(screen->availableGeometry());
        window->showMaximized();
        options.RunLoop();
        window.reset();
        LogAdd(LoadStr(msg::ProgramStop) + QStringLiteral("\r\n"));
        DropLog();
    } catch (const tAbort&) {
        DropLog();
        throw;
    } catch (const tException& e) {
        LogAdd(e.Message() + QStringLiteral("\r\n"));
        DropLog();
        throw;
    } catch (const std::exception& e) {
        LogAdd(QString::fromLocal8Bit(e.what()) + QStringLiteral("\r\n"));
        DropLog();
        throw;
    } catch (...) {
        DropLog();
        throw;
    }
}
}  // namespace

bool IsInstalledProgramFolder(const QString& programDir, const QStringList& systemPrefixes) {
    QString path = QFileInfo(programDir).canonicalFilePath();
    if (path.isEmpty()) path = QDir::cleanPath(QDir(programDir).absolutePath());
    for (const QString& prefix : systemPrefixes) {
        const QString clean = QDir::cleanPath(prefix);
        if (path == clean || path.startsWith(clean + u'/')) return true;
    }
    return false;
}

QString LessonArgument(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument.isEmpty()) continue;
        // A switch is '-' or '/' and one word; a path has more to it, or names an existing file.
        const bool switchLike = (argument[0] == u'-' || argument[0] == u'/') && argument.count(u'/') <= 1 &&
                                !argument.contains(u'.');
        if (switchLike) continue;
        const QFileInfo info(argument);
        if (info.suffix().compare(QLatin1String("rovelin"), Qt::CaseInsensitive) == 0 || info.isFile())
            return info.absoluteFilePath();
    }
    return QString();
}

int RunProgram(QApplication& app, const QStringList& arguments, tProgramOptions options) {
    try {
        // The program's title is the main window's caption alone. No application display name:
        // Qt on Linux would append it to every window title, the message boxes' too, and the
        // caption would name the program twice.
        SetProgramIdentity(app);
        InstallInterfaceLanguage(app, SystemLanguage());
        SetCommandLine(arguments);
        if (HasSwitch(QStringLiteral("DEMO"))) {
            // Without hardware: one simulated sensor per catalogue model joins the serial search.
            SetSimulatedCommOpener(OpenSimulatedCommPort);
            SetSimulatedHidOpener(OpenSimulatedHidPort);
            SetExtraSerialCandidates(DemoSerialCandidates());
        }
        if (options.ProgramDir.isEmpty()) options.ProgramDir = QCoreApplication::applicationDirPath();
        if (!options.CreateMainWindow)
            options.CreateMainWindow = [](const QString& dir) { return std::make_unique<TfmMain>(dir); };
        if (!options.RunLoop) options.RunLoop = [] { return QApplication::exec(); };

        tSingleInstance instance(options.InstanceKey.isEmpty() ? tSingleInstance::DefaultKey()
                                                               : options.InstanceKey);
        const QString lessonPath = LessonArgument(arguments);
        if (!instance.TryBecomePrimary()) {
            // Another copy runs: hand over to it (with the lesson to open) and leave without a
            // window or a log line.
            if (lessonPath.isEmpty())
                instance.ActivatePrimary();
            else
                instance.OpenInPrimary(lessonPath);
            return 0;
        }
        RunLoggedPart(instance, options, lessonPath);
    } catch (const tAbort&) {
        // silent by definition
    } catch (const tException& e) {
        ShowError(e.Message());
    } catch (...) {
        ShowError(QStringLiteral("Non-VCL Exception"));
    }
    return 0;
}
