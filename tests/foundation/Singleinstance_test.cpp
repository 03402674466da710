// SPDX-License-Identifier: GPL-3.0-or-later
// The single-instance rule between real processes: this test binary started again with a helper
// argument plays the second (or the crashed first) program start.
#include "platform/Singleinstance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <cstring>

#include "foundation/Exceptions.h"
#include "foundation/Stringtable.h"

namespace {
const QString kKey = QStringLiteral("{C4BC8DBF-CE0B-4714-985D-2AEEC4B4F6D6}");
const int kGenerousMs = 20000;

enum tHelperResult { HelperActivated = 0, HelperBecamePrimary = 3, HelperNotAnswered = 4 };
}  // namespace

// Helper runs: --si-activate <dir> behaves like a second program start; --si-hold <dir> takes the
// lock, reports "held" and waits to be killed, like a run that later crashes.
int RunSingleInstanceHelper(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--si-open") == 0) {
        // A second start with a file to open: --si-open <dir> <path>.
        tSingleInstance instance(kKey, QString::fromLocal8Bit(argv[2]));
        if (instance.TryBecomePrimary()) return HelperBecamePrimary;
        return instance.OpenInPrimary(QString::fromUtf8(argv[3]), kGenerousMs) ? HelperActivated
                                                                               : HelperNotAnswered;
    }
    if (argc != 3) return -1;
    const QString dir = QString::fromLocal8Bit(argv[2]);
    if (std::strcmp(argv[1], "--si-activate") == 0) {
        tSingleInstance instance(kKey, dir);
        if (instance.TryBecomePrimary()) return HelperBecamePrimary;
        return instance.ActivatePrimary(kGenerousMs) ? HelperActivated : HelperNotAnswered;
    }
    if (std::strcmp(argv[1], "--si-hold") == 0) {
        tSingleInstance instance(kKey, dir);
        if (!instance.TryBecomePrimary()) return 1;
        std::printf("held\n");
        std::fflush(stdout);
        for (;;) QThread::sleep(1);
    }
    return -1;
}

namespace {
// Runs the event loop (so the primary can answer) until `process` ends.
bool PumpUntilFinished(QProcess& process) {
    const QDeadlineTimer deadline(kGenerousMs);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        process.waitForFinished(20);
    }
    QCoreApplication::processEvents();
    return process.state() == QProcess::NotRunning;
}

void StartHelper(QProcess& process, const char* mode, const QString& dir) {
    process.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(mode), dir});
    ASSERT_TRUE(process.waitForStarted(kGenerousMs));
}

// ---- hand-over between two starts ----------------------------------------------------------

TEST(SingleInstance, SecondStartRaisesTheFirstAndEnds) {
    QTemporaryDir dir;
    tSingleInstance first(kKey, dir.path());
    ASSERT_TRUE(first.TryBecomePrimary());
    QSignalSpy raised(&first, &tSingleInstance::ActivateRequested);

    QProcess second;
    StartHelper(second, "--si-activate", dir.path());
    ASSERT_TRUE(PumpUntilFinished(second));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), HelperActivated);
    EXPECT_EQ(raised.count(), 1);
}

TEST(SingleInstance, SecondStartWithAFileHandsThePathToTheFirst) {
    QTemporaryDir dir;
    tSingleInstance first(kKey, dir.path());
    ASSERT_TRUE(first.TryBecomePrimary());
    QSignalSpy raised(&first, &tSingleInstance::ActivateRequested);
    QSignalSpy opened(&first, &tSingleInstance::OpenRequested);

    // Spaces, Cyrillic and a line break in the name all arrive unchanged.
    const QString path = dir.filePath(QStringLiteral("урок 3 «свет»\nновый.rovelin"));
    QProcess second;
    second.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--si-open"), dir.path(), path});
    ASSERT_TRUE(second.waitForStarted(kGenerousMs));
    ASSERT_TRUE(PumpUntilFinished(second));
    EXPECT_EQ(second.exitCode(), HelperActivated);
    EXPECT_EQ(raised.count(), 1);
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).toString(), path);
}

TEST(SingleInstance, CrashedOwnerLockIsTakenOver) {
    QTemporaryDir dir;
    QProcess crashed;
    StartHelper(crashed, "--si-hold", dir.path());
    ASSERT_TRUE(crashed.waitForReadyRead(kGenerousMs));
    ASSERT_EQ(crashed.readLine().trimmed(), QByteArray("held"));

    tSingleInstance me(kKey, dir.path());
    EXPECT_FALSE(me.TryBecomePrimary()) << "the lock of a running owner is respected";

    crashed.kill();  // SIGKILL: lock and socket files stay behind
    ASSERT_TRUE(crashed.waitForFinished(kGenerousMs));
    ASSERT_TRUE(QFile::exists(me.LockPath()));
    ASSERT_TRUE(me.TryBecomePrimary());

    // The left-over socket was replaced: a later second start still reaches us.
    QSignalSpy raised(&me, &tSingleInstance::ActivateRequested);
    QProcess second;
    StartHelper(second, "--si-activate", dir.path());
    ASSERT_TRUE(PumpUntilFinished(second));
    EXPECT_EQ(second.exitCode(), HelperActivated);
    EXPECT_EQ(raised.count(), 1);
}

// ---- within one process --------------------------------------------------------------------

TEST(SingleInstance, ReleaseLetsTheNextStartBecomePrimary) {
    QTemporaryDir dir;
    tSingleInstance first(kKey, dir.path());
    tSingleInstance second(kKey, dir.path());
    ASSERT_TRUE(first.TryBecomePrimary());
    EXPECT_TRUE(first.TryBecomePrimary()) << "asking again keeps the role";
    EXPECT_FALSE(second.TryBecomePrimary());
    first.Release();
    EXPECT_FALSE(first.IsPrimary());
    EXPECT_TRUE(second.TryBecomePrimary());
}

TEST(SingleInstance, ActivateWithoutRunningInstanceFails) {
    QTemporaryDir dir;
    tSingleInstance lonely(kKey, dir.path());
    EXPECT_FALSE(lonely.ActivatePrimary(200));
}

TEST(SingleInstance, ForeignBytesOnTheSocketAreDropped) {
    QTemporaryDir dir;
    tSingleInstance first(kKey, dir.path());
    ASSERT_TRUE(first.TryBecomePrimary());
    QSignalSpy raised(&first, &tSingleInstance::ActivateRequested);
    QLocalSocket intruder;
    intruder.connectToServer(first.ServerName());
    ASSERT_TRUE(intruder.waitForConnected(kGenerousMs));
    intruder.write(QByteArray(4096, 'x'));
    intruder.flush();
    const QDeadlineTimer deadline(kGenerousMs);
    while (intruder.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (intruder.state() == QLocalSocket::ConnectedState) intruder.waitForDisconnected(20);
    }
    EXPECT_EQ(intruder.state(), QLocalSocket::UnconnectedState);
    EXPECT_EQ(raised.count(), 0);
}

TEST(SingleInstance, UnusableFolderRaisesSynchronisationError) {
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath(QStringLiteral("file"));
    QFile file(notAFolder);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    tSingleInstance instance(kKey, notAFolder);
    try {
        instance.TryBecomePrimary();
        FAIL() << "no error raised";
    } catch (const tException& e) {
        EXPECT_TRUE(e.Message().startsWith(LoadStr(msg::SystemError) + LoadStr(msg::CannotCreateSync)));
    }
}

// ---- the user's own folder ------------------------------------------------------------------

mode_t ModeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(SingleInstanceFolder, OnlyAPrivateFolderOfTheUserHoldsTheLock) {
    QTemporaryDir dir;
    const QString runtime = dir.filePath(QStringLiteral("run"));
    const QString state = dir.filePath(QStringLiteral("state"));
    const QString instance = state + QStringLiteral("/rovelin/instance-класс-3");
    ASSERT_TRUE(QDir().mkpath(runtime));
    const uid_t me = ::geteuid();

    // The session's runtime folder, private and ours: the place.
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    QString problem;
    EXPECT_EQ(tSingleInstance::UserFolder(runtime, state, QStringLiteral("класс-3"), me, &problem), runtime);

    // Open to others (anyone could put a lock there first), missing or relative: the private
    // folder in the state folder is made instead, and only the user may enter it.
    ::chmod(QFile::encodeName(runtime).constData(), 0777);
    for (const QString& candidate : {runtime, QString(), QStringLiteral("run")}) {
        EXPECT_EQ(tSingleInstance::UserFolder(candidate, state, QStringLiteral("класс-3"), me, &problem),
                  instance);
        EXPECT_EQ(ModeOf(instance), mode_t(0700));
    }
    // Ours but left open: closed again.
    ::chmod(QFile::encodeName(instance).constData(), 0755);
    EXPECT_EQ(tSingleInstance::UserFolder(QString(), state, QStringLiteral("класс-3"), me, &problem),
              instance);
    EXPECT_EQ(ModeOf(instance), mode_t(0700));

    // Another computer sharing the home over the network gets a folder of its own.
    EXPECT_EQ(tSingleInstance::UserFolder(QString(), state, QStringLiteral("класс-4"), me, &problem),
              state + QStringLiteral("/rovelin/instance-класс-4"));
}

TEST(SingleInstanceFolder, AFolderOfAnotherUserIsNeverUsed) {
    QTemporaryDir dir;
    const QString foreign = dir.filePath(QStringLiteral("runtime-pupil"));
    const QString state = dir.filePath(QStringLiteral("state"));
    ASSERT_TRUE(QDir().mkpath(foreign));
    ::chmod(QFile::encodeName(foreign).constData(), 0700);
    QString problem;
    if (::geteuid() == 0) {
        // Root can make the folder really belong to someone else (nobody).
        ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
        EXPECT_TRUE(tSingleInstance::PrivateFolderProblem(foreign, 0)
                        .contains(QStringLiteral("другому пользователю")));
        EXPECT_EQ(tSingleInstance::UserFolder(foreign, state, QStringLiteral("pc"), 0, &problem),
                  state + QStringLiteral("/rovelin/instance-pc"));
    }
    // For any user: seen as another user's, both the runtime folder and the state folder are
    // refused, and nothing shared takes their place.
    const uid_t other = ::geteuid() + 1;
    EXPECT_TRUE(tSingleInstance::UserFolder(foreign, state, QStringLiteral("pc"), other, &problem).isEmpty());
    EXPECT_TRUE(problem.contains(state + QStringLiteral("/rovelin/instance-pc"))) << problem.toStdString();
    EXPECT_TRUE(problem.contains(QStringLiteral("другому пользователю"))) << problem.toStdString();
}

TEST(SingleInstanceFolder, ALinkInPlaceOfTheFolderStopsTheStartWithTheReason) {
    QTemporaryDir dir;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), state = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_RUNTIME_DIR", "");
    qputenv("XDG_STATE_HOME", dir.path().toLocal8Bit());
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("rovelin"))));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("elsewhere"))));
    const QString link =
        dir.filePath(QStringLiteral("rovelin/instance-") + QSysInfo::machineHostName().left(16));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("elsewhere")), link));
    tSingleInstance instance(kKey);
    qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("XDG_STATE_HOME", state);
    try {
        instance.TryBecomePrimary();
        FAIL() << "no error raised";
    } catch (const tException& e) {
        EXPECT_TRUE(e.Message().startsWith(LoadStr(msg::SystemError) + LoadStr(msg::CannotCreateSync)));
        EXPECT_TRUE(e.Message().contains(QStringLiteral("ссылка"))) << e.Message().toStdString();
    }
    EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("elsewhere"))).isEmpty());
}

TEST(SingleInstanceFolder, TheProgramsLockIsInTheUsersFolder) {
    QTemporaryDir dir;
    const QString open = dir.filePath(QStringLiteral("open"));
    ASSERT_TRUE(QDir().mkpath(open));
    ::chmod(QFile::encodeName(open).constData(), 0777);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), state = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_RUNTIME_DIR", open.toLocal8Bit());
    qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("state")).toLocal8Bit());
    tSingleInstance instance(kKey);
    qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("XDG_STATE_HOME", state);
    EXPECT_TRUE(instance.LockPath().startsWith(dir.filePath(QStringLiteral("state/rovelin/instance-"))))
        << instance.LockPath().toStdString();
    ASSERT_TRUE(instance.TryBecomePrimary());
    EXPECT_TRUE(QFile::exists(instance.LockPath()));
    EXPECT_TRUE(QDir(open).isEmpty());
}

TEST(SingleInstance, DefaultKeyIsTheProgramGuid) {
    EXPECT_EQ(tSingleInstance::DefaultKey(), kKey);
}
}  // namespace
