// SPDX-License-Identifier: GPL-3.0-or-later
// The lesson under hostile conditions, each case a test of its own that runs alone (they measure
// time or mount a file system): a kill -9 in the middle of a 1 kHz run loses at most two seconds
// of points; on a full disk a save fails and says so, the lesson on disk stays whole, and the next
// save succeeds as soon as the new points fit, the autosave's note going with it; a file system
// that turns read-only gives the same Russian reason every time.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

#include "lesson/Autosave.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "tests/lesson/Sample.h"
#include "tests/support/Smalldisk.h"
#include "tests/support/Userfolders.h"
#include "tests/support/Wait.h"

int RunLessonChild(int argc, char** argv);  // Children.cpp; -1 = not a child run
double RealtimeValue(qsizetype i);          // Children.cpp

namespace {

using rovelin_test::tSmallDisk;

// A sensor's values with three decimals, as the point builder makes them.
void AppendPoints(tLesson& lesson, tRun* run, qsizetype count) {
    const qsizetype from = run->Count();
    for (qsizetype i = from; i < from + count; ++i)
        run->Append(std::round((20 + 5 * std::sin(i * 0.01)) * 1000) / 1000);
    lesson.NotifyAppended(run, from, count);
}

qsizetype StoredPoints(const QString& path) {
    tLesson back;
    ReadLesson(path, back);
    return back.RunCount() ? back.Run(0)->Count() : -1;
}

}  // namespace

TEST(tHostile, AKillDuringAOneKilohertzRunLosesAtMostTwoSeconds) {
    QTemporaryDir dir;
    // Ten kills at moments from a fixed seed, each 1.2 to 3.2 s into the run; the loss is the time
    // between the kill and the last point the autosave holds.
    QRandomGenerator random(29);
    std::vector<double> losses;
    for (int kill = 0; kill < 10; ++kill) {
        const QString folder = dir.filePath(QStringLiteral("kill%1").arg(kill));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--realtime-run"), folder});
        ASSERT_TRUE(child.waitForReadyRead(20000));
        const QByteArray ready = child.readLine().trimmed();
        ASSERT_TRUE(ready.startsWith("ready ")) << ready.toStdString();
        const qint64 started = ready.mid(6).toLongLong();
        rovelin_test::Pump(1200 + int(random.bounded(2000)));
        const qint64 killedAt = QDateTime::currentMSecsSinceEpoch();
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(10000));

        const QString left = tAutosave::Leftover(folder);
        ASSERT_FALSE(left.isEmpty()) << "kill " << kill;
        tLesson back;
        ReadLesson(left, back);
        ASSERT_EQ(back.RunCount(), 1);
        const tRun* run = back.Run(0);
        for (qsizetype i = 0; i < run->Count(); i += 97) ASSERT_EQ(run->Y(i), RealtimeValue(i)) << i;
        // Nothing kept of the run: all of it is lost.
        const qint64 lastPoint =
            run->Count() > 0 ? run->Started.toMSecsSinceEpoch() + (run->Count() - 1) : started;
        losses.push_back((killedAt - lastPoint) / 1000.0);
        EXPECT_LE(losses.back(), 2.0) << "kill " << kill;
        std::printf("kill %d: %.3f s\n", kill, losses.back());
    }
    const double worst = *std::max_element(losses.begin(), losses.end());
    const double mean = std::accumulate(losses.begin(), losses.end(), 0.0) / double(losses.size());
    std::printf("kill -9 at 1 kHz, 10 kills: loss mean %.2f s, worst %.2f s\n", mean, worst);
}

TEST(tHostile, AFullDiskFailsTheSaveAndTheNextSaveGoesThroughAsSoonAsTheNewPointsFit) {
    QTemporaryDir dir;
    tSmallDisk disk(dir.path(), "4m");
    if (!disk) GTEST_SKIP() << disk.Why();
    const QString path = dir.filePath(QStringLiteral("урок.rovelin"));
    tLesson lesson;
    tRun* run = lesson.AddRun(0.001);
    AppendPoints(lesson, run, 60000);
    tLessonWriter writer(path);
    writer.Save(lesson);
    tAutosave autosave(dir.filePath(QStringLiteral("state")));
    autosave.Watch(&lesson);
    autosave.SaveNow();
    autosave.Flush();
    const QStringList firstChunk = Query(path, "SELECT rowid FROM chunk WHERE first = 0");

    // Something else fills the disk to the last byte.
    QFile filler(dir.filePath(QStringLiteral("filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(64 * 1024, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();

    // The run goes on; Ctrl+S and the autosave fail, saying why, and the file stays as it was.
    AppendPoints(lesson, run, 10000);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            writer.Save(lesson);
            ADD_FAILURE() << "saved on a full disk";
        } catch (const tLessonFileError& e) {
            EXPECT_EQ(e.Fault(), tLessonFault::CannotWrite);
            EXPECT_EQ(e.Reason(), QStringLiteral("на диске нет места")) << e.Reason().toStdString();
        }
    }
    autosave.SaveNow();
    autosave.Flush();
    EXPECT_EQ(autosave.Note(), QStringLiteral("Автосохранение не удалось: на диске нет места"));
    EXPECT_EQ(StoredPoints(path), 60000);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".part")));

    // Some room comes back: not enough for the whole lesson again, enough for the new points.
    ASSERT_TRUE(filler.resize(filler.size() - 400 * 1024));
    ASSERT_LT(disk.Free(), QFileInfo(path).size());
    writer.Save(lesson);
    EXPECT_EQ(StoredPoints(path), 70000);
    EXPECT_EQ(Query(path, "SELECT rowid FROM chunk WHERE first = 0"), firstChunk);
    autosave.SaveNow();
    autosave.Flush();
    EXPECT_TRUE(autosave.Note().isEmpty()) << autosave.Note().toStdString();
    EXPECT_EQ(StoredPoints(autosave.Path()), 70000);

    // The file system turns read-only (a disk error, a stick's switch): the same reason each time.
    ASSERT_TRUE(disk.MakeReadOnly());
    AppendPoints(lesson, run, 10);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            writer.Save(lesson);
            ADD_FAILURE() << "saved on a read-only file system";
        } catch (const tLessonFileError& e) {
            EXPECT_EQ(e.Reason(), QStringLiteral("диск доступен только для чтения"))
                << e.Reason().toStdString();
        }
    }
    EXPECT_EQ(StoredPoints(path), 70000);
    autosave.Watch(nullptr);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const rovelin_test::tUserFolders folders;  // state and settings of this run only
    const int child = RunLessonChild(argc, argv);
    if (child >= 0) return child;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
