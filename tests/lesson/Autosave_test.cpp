// SPDX-License-Identifier: GPL-3.0-or-later
// Autosave and recovery: the copy lands in the state folder, follows the lesson (points every
// second), says when it fails until it works again, is removed on a normal end, and a child process
// killed in the middle of a run leaves a file that restores every point and report edit written
// before its last finished autosave and passes integrity_check (Hostile_test.cpp measures the loss).
#include "lesson/Autosave.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>

#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "tests/support/Wait.h"

namespace {
// The value of point i of the child's run: a test recognises any prefix of it.
double ChildValue(qsizetype i) {
    return std::sin(i * 0.01) * 50 + i * 1e-3;
}
}  // namespace

// The child: a run at 1 kHz appended every 100 ms (as the live display does), the report edited
// every 100 points, autosave every 300 ms. After each finished autosave it prints "saved <points>".
int RunAutosaveChild(int argc, char** argv) {
    if (argc < 3 || QByteArray(argv[1]) != "--autosave-child") return -1;
    tLesson lesson;
    tRun* run = lesson.AddRun(0.001);
    lesson.SetSeriesRun(0, run);
    tAutosave autosave(QString::fromLocal8Bit(argv[2]));
    autosave.SetIntervalMs(300);
    autosave.Watch(&lesson);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        for (int i = 0; i < 100; ++i) run->Append(ChildValue(run->Count()));
        lesson.SetDocument(tLesson::Report, QByteArray("report ") + QByteArray::number(run->Count()));
        lesson.NotifyAppended(run, run->Count() - 100, 100);
    });
    tick.start(100);
    // Reports what the last finished write holds: the count taken, then flushed.
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        const qsizetype count = run->Count();
        autosave.SaveNow();
        autosave.Flush();
        std::printf("saved %lld\n", static_cast<long long>(count));
        std::fflush(stdout);
    });
    report.start(1000);
    return QCoreApplication::exec();
}

namespace {
struct tAutosaveTest : ::testing::Test {
    QTemporaryDir dir;
    QString Folder() const { return dir.filePath(QStringLiteral("state/rovelin")); }
};
}  // namespace

TEST_F(tAutosaveTest, KeepsTheLessonInTheStateFolderAndRemovesItOnANormalEnd) {
    qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("xdg")).toLocal8Bit());
    EXPECT_EQ(tAutosave::DefaultFolder(), dir.filePath(QStringLiteral("xdg/rovelin")));
    qunsetenv("XDG_STATE_HOME");
    EXPECT_EQ(tAutosave::DefaultFolder(), QDir::homePath() + QStringLiteral("/.local/state/rovelin"));

    tLesson lesson;
    tRun* run = lesson.AddRun(0.1);
    for (int i = 0; i < 50; ++i) run->Append(i);
    tAutosave autosave(Folder());
    autosave.Watch(&lesson, QStringLiteral("/где-то/урок.rovelin"));
    EXPECT_TRUE(tAutosave::Leftover(Folder()).isEmpty());
    int before = 0;
    autosave.BeforeSave = [&] { ++before; };
    autosave.SaveNow();
    autosave.Flush();
    EXPECT_EQ(before, 1);
    ASSERT_EQ(tAutosave::Leftover(Folder()), tAutosave::FileIn(Folder()));

    run->Append(50);
    autosave.SaveNow();
    autosave.Flush();
    tLesson back;
    QMap<QString, QString> meta;
    ReadLesson(tAutosave::Leftover(Folder()), back, nullptr, &meta);
    ASSERT_EQ(back.RunCount(), 1);
    EXPECT_EQ(back.Run(0)->Count(), 51);
    EXPECT_EQ(meta.value(QStringLiteral("origin")), QStringLiteral("/где-то/урок.rovelin"));

    autosave.Discard();
    EXPECT_TRUE(tAutosave::Leftover(Folder()).isEmpty());
    EXPECT_TRUE(QDir(Folder()).entryList(QDir::Files).isEmpty());
}

TEST_F(tAutosaveTest, AFailedWriteIsShownUntilTheNextOneSucceeds) {
    tLesson lesson;
    lesson.AddRun(0.1)->Append(1);
    // The state folder's place is taken by a file: nothing can be written.
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("state"))));
    QFile blocker(Folder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    tAutosave autosave(Folder());
    QStringList failures;
    QStringList notes;
    QObject::connect(&autosave, &tAutosave::Failed, [&](const QString& message) { failures << message; });
    QObject::connect(&autosave, &tAutosave::NoteChanged, [&](const QString& note) { notes << note; });
    autosave.Watch(&lesson);
    autosave.SaveNow();
    autosave.Flush();
    EXPECT_EVENTUALLY(failures.size() == 1);
    EXPECT_TRUE(autosave.Note().startsWith(QStringLiteral("Автосохранение не удалось: ")))
        << autosave.Note().toStdString();
    lesson.Run(0)->Append(2);
    autosave.SaveNow();
    autosave.Flush();
    EXPECT_EVENTUALLY(failures.size() == 2);
    EXPECT_EQ(notes.size(), 1);  // the note stays while writes keep failing

    QFile::remove(Folder());
    lesson.Run(0)->Append(3);
    autosave.SaveNow();
    autosave.Flush();
    EXPECT_EVENTUALLY(autosave.Note().isEmpty());
    EXPECT_EQ(notes.size(), 2);
    EXPECT_TRUE(notes.last().isEmpty());
    tLesson back;
    ReadLesson(tAutosave::FileIn(Folder()), back);
    ASSERT_EQ(back.RunCount(), 1);
    EXPECT_EQ(back.Run(0)->Count(), 3);
}

TEST_F(tAutosaveTest, PointsAreKeptEverySecondAndOtherChangesEveryFewSeconds) {
    tLesson lesson;
    tRun* run = lesson.AddRun(0.001);
    tAutosave autosave(Folder());
    EXPECT_EQ(autosave.RunIntervalMs(), 1000);
    EXPECT_EQ(autosave.IntervalMs(), 5000);
    autosave.SetIntervalMs(600000);  // other changes: not within this test
    autosave.SetRunIntervalMs(200);
    autosave.Watch(&lesson);
    autosave.SaveNow();
    autosave.Flush();
    auto stored = [&] {
        tLesson back;
        ReadLesson(tAutosave::FileIn(Folder()), back);
        return back.Run(0)->Count();
    };
    ASSERT_EQ(stored(), 0);

    // Points arrive: they are kept without waiting for the long interval.
    for (int i = 0; i < 500; ++i) run->Append(i);
    lesson.NotifyAppended(run, 0, 500);
    EXPECT_EVENTUALLY(stored() == 500);

    // A report edit alone waits for the long interval.
    lesson.SetDocument(tLesson::Report, QByteArray("{\\rtf1 edit}"));
    rovelin_test::Pump(1000);
    tLesson back;
    ReadLesson(tAutosave::FileIn(Folder()), back);
    EXPECT_TRUE(back.Document(tLesson::Report).isEmpty());
}

TEST_F(tAutosaveTest, AKilledRunRestoresEverythingOfItsLastFinishedAutosave) {
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--autosave-child"), Folder()});
    ASSERT_TRUE(child.waitForStarted(10000));
    QByteArray out;
    qsizetype saved = 0;
    int reports = 0;
    // Let it run through a few autosaves, then kill it mid-run (SIGKILL: no clean-up at all).
    ASSERT_EVENTUALLY(([&] {
                          out += child.readAllStandardOutput();
                          reports = static_cast<int>(out.count("saved "));
                          return reports >= 3;
                      }()),
                      60000);
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(10000));
    out += child.readAllStandardOutput();
    const QList<QByteArray> lines = out.trimmed().split('\n');
    for (const QByteArray& line : lines)
        if (line.startsWith("saved ")) saved = line.mid(6).toLongLong();
    ASSERT_GT(saved, 0);

    const QString left = tAutosave::Leftover(Folder());
    ASSERT_FALSE(left.isEmpty());
    tLesson back;
    ReadLesson(left, back);
    ASSERT_EQ(back.RunCount(), 1);
    const tRun* run = back.Run(0);
    EXPECT_GE(run->Count(), saved);
    for (qsizetype i = 0; i < run->Count(); ++i) ASSERT_EQ(run->Y(i), ChildValue(i)) << i;
    const QByteArray report = back.Document(tLesson::Report);
    ASSERT_TRUE(report.startsWith("report "));
    EXPECT_GE(report.mid(7).toLongLong(), saved);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(left).constData(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
    sqlite3_finalize(st);
    sqlite3_close(db);
}
