// SPDX-License-Identifier: GPL-3.0-or-later
// The program run: start and stop lines, the missing settings file, the second start.
#include "app/Program.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <QWidget>

#include "Apptest.h"
#include "foundation/Commandline.h"
#include "foundation/Exceptions.h"
#include "foundation/Functions.h"
#include "foundation/Language.h"
#include "foundation/Stringtable.h"
#include "platform/Singleinstance.h"

namespace {
QString UniqueKey() {
    return QStringLiteral("rovelin-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString ReadLog(const tProgramFolder& folder) {
    QFile log(folder.Path() + QStringLiteral("/rovelin.log"));
    if (!log.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(log.readAll());
}

struct tCommandLineReset {
    ~tCommandLineReset() { SetCommandLine({}); }
};

// A run of the program in `folder` under a key of its own, whose event loop ends at once.
tProgramOptions QuickRun(const tProgramFolder& folder) {
    tProgramOptions options;
    options.ProgramDir = folder.Path();
    options.InstanceKey = UniqueKey();
    options.RunLoop = [] { return 0; };
    return options;
}

// $XDG_STATE_HOME pointed at a fresh folder for one test.
class tStateFolder {
  public:
    tStateFolder() : FOld(qgetenv("XDG_STATE_HOME")) { Use(FDir.path()); }
    ~tStateFolder() { qputenv("XDG_STATE_HOME", FOld); }
    QString Path() const { return FDir.path(); }
    static void Use(const QString& path) { qputenv("XDG_STATE_HOME", path.toLocal8Bit()); }

  private:
    QByteArray FOld;
    QTemporaryDir FDir;
};
}  // namespace

TEST(ProgramRun, LogsStartAndStopAroundTheWindow) {
    tCommandLineReset reset;
    tBoxRecorder boxes;
    tProgramFolder folder;
    bool shownMaximized = false;
    tProgramOptions options;
    options.ProgramDir = folder.Path();
    options.InstanceKey = UniqueKey();
    QWidget* window = nullptr;
    options.CreateMainWindow = [&](const QString& dir) -> std::unique_ptr<QWidget> {
        auto w = std::make_unique<TfmMain>(dir);
        window = w.get();
        return w;
    };
    options.RunLoop = [&] {
        shownMaximized = window->isMaximized() || (window->windowState() & Qt::WindowMaximized);
        return 0;
    };
    EXPECT_EQ(RunProgram(*qApp, {QStringLiteral("/log")}, options), 0);
    EXPECT_TRUE(shownMaximized);
    EXPECT_TRUE(boxes.Seen.empty());
    EXPECT_EQ(gLogFile, nullptr);
    const QString log = ReadLog(folder);
    const int start = log.indexOf(QStringLiteral(" Запуск программы.\r\n"));
    const int stop = log.indexOf(QStringLiteral(" Остановка программы.\r\n\r\n"));
    EXPECT_GE(start, 0) << log.toStdString();
    EXPECT_GT(stop, start) << log.toStdString();
}

TEST(ProgramRun, LogMovesToTheUsersStateFolderWhenTheProgramFolderRefusesIt) {
    tCommandLineReset reset;
    tBoxRecorder boxes;
    tProgramFolder folder;
    tStateFolder state;
    // A folder in the log's place cannot be opened for writing, not even by root.
    ASSERT_TRUE(QDir(folder.Path()).mkdir(QStringLiteral("rovelin.log")));
    tProgramOptions options;
    options.ProgramDir = folder.Path();
    options.InstanceKey = UniqueKey();
    options.RunLoop = [] { return 0; };
    RunProgram(*qApp, {QStringLiteral("/LOG")}, options);
    QFile moved(state.Path() + QStringLiteral("/rovelin/rovelin.log"));
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(moved.readAll());
    EXPECT_TRUE(log.contains(QStringLiteral(" Запуск программы.")));
    EXPECT_TRUE(log.contains(QStringLiteral(" Остановка программы.")));
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();

    // When the state folder refuses too, the error names the program folder's log.
    QFile::remove(moved.fileName());
    ASSERT_TRUE(QDir(state.Path() + QStringLiteral("/rovelin")).mkdir(QStringLiteral("rovelin.log")));
    options.InstanceKey = UniqueKey();
    RunProgram(*qApp, {QStringLiteral("/LOG")}, options);
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_TRUE(boxes.Seen[0].text.contains(folder.Path() + QStringLiteral("/rovelin.log")));
}

TEST(ProgramRun, AnInstalledProgramLogsIntoTheUsersStateFolderOnly) {
    tCommandLineReset reset;
    tBoxRecorder boxes;
    tProgramFolder folder;
    tStateFolder state;
    // The folder is writable (root may write anywhere), but it counts as the system's.
    tProgramOptions options = QuickRun(folder);
    options.SystemPrefixes = {QFileInfo(folder.Path()).canonicalPath()};
    RunProgram(*qApp, {QStringLiteral("/LOG")}, options);
    EXPECT_FALSE(QFile::exists(folder.Path() + QStringLiteral("/rovelin.log")));
    QFile log(state.Path() + QStringLiteral("/rovelin/rovelin.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(log.readAll()).contains(QStringLiteral(" Запуск программы.")));
    log.close();
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("rovelin.cfg")});

    // Without the switch nothing is made, not even the state folder.
    QTemporaryDir fresh;
    tStateFolder::Use(fresh.path());
    options.InstanceKey = UniqueKey();
    RunProgram(*qApp, {}, options);
    EXPECT_FALSE(QFile::exists(fresh.path() + QStringLiteral("/rovelin/rovelin.log")));
}

TEST(ProgramRun, InstalledMeansBelowASystemPrefixAfterFollowingLinks) {
    const QStringList system = {QStringLiteral("/usr")};
    EXPECT_TRUE(IsInstalledProgramFolder(QStringLiteral("/usr/lib/rovelin"), system));
    EXPECT_TRUE(IsInstalledProgramFolder(QStringLiteral("/usr/local/lib/rovelin"), system));
    EXPECT_TRUE(IsInstalledProgramFolder(QStringLiteral("/usr"), system));
    EXPECT_FALSE(IsInstalledProgramFolder(QStringLiteral("/usrx/lib/rovelin"), system));
    EXPECT_FALSE(IsInstalledProgramFolder(QStringLiteral("/opt/rovelin"), system));
    // A portable folder reached through a link into the system's tree is the system's.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("portable"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr/bin"), link));
    EXPECT_TRUE(IsInstalledProgramFolder(link, system));
    EXPECT_FALSE(IsInstalledProgramFolder(dir.path(), system));
}

TEST(ProgramRun, TheWindowClassIsTheDesktopEntrysId) {
    tCommandLineReset reset;
    tBoxRecorder boxes;
    tProgramFolder folder;
    tProgramOptions options = QuickRun(folder);
    QString name, desktop;
    options.RunLoop = [&] {
        name = QCoreApplication::applicationName();
        desktop = QGuiApplication::desktopFileName();
        return 0;
    };
    RunProgram(*qApp, {}, options);
    // The installed desktop entry is <id>.desktop: the window's class names the same id.
    EXPECT_EQ(name, QStringLiteral("ru.rovelin.rovelin"));
    EXPECT_EQ(desktop, QStringLiteral("ru.rovelin.rovelin"));
}

TEST(ProgramRun, HelpAndVersionAnswerOnTheTerminalWithoutADisplay) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    QTemporaryDir home;
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_STATE_HOME"), home.path() + QStringLiteral("/state"));
    auto run = [&](const QStringList& arguments, int& code) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(ROVELIN_PROGRAM), arguments);
        EXPECT_TRUE(program.waitForFinished(60000));
        code = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        return QString::fromLocal8Bit(program.readAllStandardOutput());
    };
    int code = -1;
    for (const QString& help :
         {QStringLiteral("--help"), QStringLiteral("-h"), QStringLiteral("/?"), QStringLiteral("/HELP")}) {
        const QString usage = run({QStringLiteral("/DEMO"), help}, code);
        EXPECT_EQ(code, 0) << help.toStdString();
        for (const QString& word :
             {QStringLiteral("rovelin [ключ...] [урок.rovelin]"), QStringLiteral("/LOG "),
              QStringLiteral("/LOG_MEASURE"), QStringLiteral("/DEMO"), QStringLiteral("--version")})
            EXPECT_TRUE(usage.contains(word)) << help.toStdString() << ": " << usage.toStdString();
    }
    for (const QString& version : {QStringLiteral("--version"), QStringLiteral("-VERSION")}) {
        EXPECT_EQ(run({version}, code), QStringLiteral("rovelin %1\n").arg(ProgramVersion()));
        EXPECT_EQ(code, 0);
    }
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(ProgramVersion()).hasMatch());
    // Neither answer made a lock, a log or a state folder: nothing ran but the answer.
    EXPECT_FALSE(QFile::exists(home.path() + QStringLiteral("/state")));
    // Anything else still needs the display, as before.
    EXPECT_TRUE(run({QStringLiteral("/LOG")}, code).isEmpty());
    EXPECT_EQ(code, 1);
}

TEST(ProgramRun, MissingSettingsShowTheErrorAndLogNoStop) {
    tCommandLineReset reset;
    tBoxRecorder boxes;
    tProgramFolder folder(QStringList{});  // no rovelin.cfg
    tProgramOptions options;
    options.ProgramDir = folder.Path();
    options.InstanceKey = UniqueKey();
    bool looped = false;
    options.RunLoop = [&] {
        looped = true;
        return 0;
    };
    EXPECT_EQ(RunProgram(*qApp, {QStringLiteral("-LOG")}, options), 0);
    EXPECT_FALSE(looped);
    const QString expected = FormatStr(msg::SettingsNotFound, folder.Path() + QStringLiteral("/rovelin.cfg"));
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Error);
    EXPECT_EQ(boxes.Seen[0].title, QStringLiteral("Ошибка"));
    EXPECT_EQ(boxes.Seen[0].text, expected);
    const QString log = ReadLog(folder);
    EXPECT_TRUE(log.contains(QStringLiteral("Запуск программы.")));
    EXPECT_TRUE(log.contains(expected + QStringLiteral("\r\n\r\n")));
    EXPECT_FALSE(log.contains(QStringLiteral("Остановка программы.")));
    EXPECT_EQ(gLogFile, nullptr);
}

TEST(ProgramRun, OversizedSettingsAreRefusedBeforeTheWindow) {
    tCommandLineReset reset;
    tBoxRecorder boxes;
    QStringList lines = tProgramFolder::DefaultCfg();
    lines << QString(ParameterFileLimit, u';');
    const tProgramFolder folder(lines);
    tProgramOptions options{
        .ProgramDir = folder.Path(), .InstanceKey = UniqueKey(), .CreateMainWindow = {}, .RunLoop = [] {
            ADD_FAILURE() << "the window came up";
            return 0;
        }};
    EXPECT_EQ(RunProgram(*qApp, {}, options), 0);
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Error);
    EXPECT_TRUE(boxes.Seen[0].text.startsWith(
        QStringLiteral("Файл '%1' слишком большой (").arg(folder.Path() + QStringLiteral("/rovelin.cfg"))));
    EXPECT_TRUE(boxes.Seen[0].text.endsWith(QStringLiteral("Допускается не более 1 МБ.")));
}

TEST(ProgramRun, ErrorKindsAtTheEntry) {
    tCommandLineReset reset;
    tProgramFolder folder;
    const struct {
        std::function<void()> raise;
        std::vector<QString> shown;
    } cases[] = {
        {[] { throw tAbort(); }, {}},
        {[] { throw tException(QStringLiteral("сбой")); }, {QStringLiteral("сбой")}},
        {[] { throw 42; }, {QStringLiteral("Non-VCL Exception")}},
    };
    for (const auto& c : cases) {
        tBoxRecorder boxes;
        tProgramOptions options;
        options.ProgramDir = folder.Path();
        options.InstanceKey = UniqueKey();
        options.CreateMainWindow = [&](const QString&) -> std::unique_ptr<QWidget> {
            c.raise();
            return nullptr;
        };
        EXPECT_EQ(RunProgram(*qApp, {}, options), 0);
        std::vector<QString> shown;
        for (const auto& r : boxes.Seen) shown.push_back(r.text);
        EXPECT_EQ(shown, c.shown);
    }
}

TEST(ProgramRun, SecondStartHandsOverAndLeavesTheLogAlone) {
    tCommandLineReset reset;
    tBoxRecorder boxes;
    tProgramFolder folder;
    const QString key = UniqueKey();
    tSingleInstance first(key);
    ASSERT_TRUE(first.TryBecomePrimary());
    tProgramOptions options;
    options.ProgramDir = folder.Path();
    options.InstanceKey = key;
    bool created = false;
    options.CreateMainWindow = [&](const QString&) -> std::unique_ptr<QWidget> {
        created = true;
        return std::make_unique<QWidget>();
    };
    options.RunLoop = [] { return 0; };
    // The running instance answers only from its event loop, so the hand-over waits out its
    // time-out here; what matters is that the second start ends without a window or a log.
    EXPECT_EQ(RunProgram(*qApp, {QStringLiteral("/LOG")}, options), 0);
    EXPECT_FALSE(created);
    EXPECT_FALSE(QFile::exists(folder.Path() + QStringLiteral("/rovelin.log")));
    EXPECT_TRUE(boxes.Seen.empty());
}

TEST(ProgramRun, GuardedDeliveryKeepsTheLoopAlive) {
    tBoxRecorder boxes;
    QObject target;
    QObject::connect(&target, &QObject::objectNameChanged,
                     [] { throw tException(QStringLiteral("в обработчике")); });
    QTimer::singleShot(0, &target, [&] { target.setObjectName(QStringLiteral("x")); });
    QTest::qWait(50);
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_EQ(boxes.Seen[0].text, QStringLiteral("в обработчике"));
}

TEST(ProgramRun, RussianButtonTexts) {
    if (!InstallInterfaceLanguage(*qApp, tLanguage::Russian)) GTEST_SKIP() << "qtbase_ru.qm is not installed";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
}

TEST(ProgramRun, NoDisplayIsSaidBeforeQtGivesUp) {
    const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    QByteArray saved[3];
    for (int i = 0; i < 3; ++i) {
        saved[i] = qgetenv(names[i]);
        qunsetenv(names[i]);
    }
    const QString text = NoDisplayText({QStringLiteral("/DEMO")});
    EXPECT_TRUE(text.contains(QStringLiteral("xvfb-run"))) << text.toStdString();
    EXPECT_TRUE(NoDisplayText({QStringLiteral("-platform"), QStringLiteral("offscreen")}).isEmpty());
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_TRUE(NoDisplayText({}).isEmpty());
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", ":0");
    EXPECT_TRUE(NoDisplayText({}).isEmpty());
    for (int i = 0; i < 3; ++i) {
        if (saved[i].isNull())
            qunsetenv(names[i]);
        else
            qputenv(names[i], saved[i]);
    }
}
