// SPDX-License-Identifier: GPL-3.0-or-later
// The program run: start and stop lines, the missing settings file, the second start.
#include "app/Program.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <QWidget>

#include "Apptest.h"
#include "foundation/Commandline.h"
#include "foundation/Exceptions.h"
#include "foundation/Functions.h"
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
    QTemporaryDir state;
    const QByteArray oldState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    // A folder in the log's place cannot be opened for writing, not even by root.
    ASSERT_TRUE(QDir(folder.Path()).mkdir(QStringLiteral("rovelin.log")));
    tProgramOptions options;
    options.ProgramDir = folder.Path();
    options.InstanceKey = UniqueKey();
    options.RunLoop = [] { return 0; };
    RunProgram(*qApp, {QStringLiteral("/LOG")}, options);
    QFile moved(state.path() + QStringLiteral("/rovelin/rovelin.log"));
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(moved.readAll());
    EXPECT_TRUE(log.contains(QStringLiteral(" Запуск программы.")));
    EXPECT_TRUE(log.contains(QStringLiteral(" Остановка программы.")));
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();

    // When the state folder refuses too, the error names the program folder's log.
    QFile::remove(moved.fileName());
    ASSERT_TRUE(QDir(state.path() + QStringLiteral("/rovelin")).mkdir(QStringLiteral("rovelin.log")));
    options.InstanceKey = UniqueKey();
    RunProgram(*qApp, {QStringLiteral("/LOG")}, options);
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_TRUE(boxes.Seen[0].text.contains(folder.Path() + QStringLiteral("/rovelin.log")));
    if (oldState.isNull())
        qunsetenv("XDG_STATE_HOME");
    else
        qputenv("XDG_STATE_HOME", oldState);
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
    if (!InstallRussianTranslation(*qApp)) GTEST_SKIP() << "qtbase_ru.qm is not installed";
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
