// SPDX-License-Identifier: GPL-3.0-or-later
// The single-instance rule between real processes: this test binary started again with a helper
// argument plays the second (or the crashed first) program start.
#include "platform/Singleinstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
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

TEST(SingleInstance, DefaultKeyIsTheProgramGuid) {
    EXPECT_EQ(tSingleInstance::DefaultKey(), kKey);
}
}  // namespace
