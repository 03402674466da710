// SPDX-License-Identifier: GPL-3.0-or-later
// Saving never destroys a lesson: a file another program is writing, a read-only file, another
// user's file, a file replaced or changed since it was read are never replaced or added to, each
// refusal says why in the user's words, and once the obstacle is gone the next save adds just what
// is new. A save cut off earlier leaves nothing behind once the lesson is opened or saved again.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "lesson/Fileplace.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "tests/lesson/Sample.h"

namespace {

struct tLessonSafety : ::testing::Test {
    QTemporaryDir dir;
    QString Path(const QString& name = QStringLiteral("урок.rovelin")) const { return dir.filePath(name); }
    tLesson lesson;
    tLessonWriter writer;
    void SetUp() override {
        FillLesson(lesson);
        writer.SetPath(Path());
        writer.Save(lesson);
    }
    // Rowids of the first chunks: an appending save leaves them, a whole save makes them anew.
    QStringList FirstChunks() const {
        return Query(Path(), "SELECT rowid || '/' || run_id FROM chunk WHERE first = 0 ORDER BY run_id");
    }
    // The file reads back as exactly `expected`.
    void ExpectFileHolds(const tLesson& expected) const {
        tLesson back;
        ReadLesson(Path(), back);
        ExpectSameLesson(expected, back);
        EXPECT_EQ(Query(Path(), "PRAGMA integrity_check"), QStringList{QStringLiteral("ok")});
    }
};

}  // namespace

// ---- another program writes ----

TEST_F(tLessonSafety, AnotherProgramsWriteTransactionIsWaitedOutNotRenamedOver) {
    QProcess other;
    other.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold-write"), Path()});
    ASSERT_TRUE(other.waitForReadyRead(10000));
    ASSERT_EQ(other.readLine().trimmed(), QByteArray("held"));

    // The pupil presses Ctrl+S twice, and once more after «Сохранить как» to the same name (a
    // whole save): every time the file is left to the other program.
    lesson.Run(0)->Append(1.5);
    QString message;
    EXPECT_EQ(SaveFault(writer, lesson, &message), tLessonFault::Locked);
    EXPECT_TRUE(message.contains(QStringLiteral("занят другой программой"))) << message.toStdString();
    EXPECT_EQ(SaveFault(writer, lesson), tLessonFault::Locked);
    tLessonWriter saveAs(Path());
    EXPECT_EQ(SaveFault(saveAs, lesson), tLessonFault::Locked);
    EXPECT_EQ(SaveFault(saveAs, lesson), tLessonFault::Locked);

    // The other program's commit goes through, and the lesson is whole.
    other.write("commit\n");
    ASSERT_TRUE(other.waitForFinished(10000));
    EXPECT_EQ(other.exitCode(), 0) << other.readAll().toStdString();
    EXPECT_EQ(Query(Path(), "SELECT value FROM lesson WHERE key = 'note'"),
              QStringList{QStringLiteral("учитель")});

    // The next Ctrl+S adds what is new to the same file.
    const QStringList chunks = FirstChunks();
    writer.Save(lesson);
    EXPECT_EQ(FirstChunks(), chunks);
    ExpectFileHolds(lesson);
    EXPECT_EQ(Query(Path(), "SELECT value FROM lesson WHERE key = 'note'"),
              QStringList{QStringLiteral("учитель")});
}

TEST_F(tLessonSafety, AFileOpenForWritingByAnotherProcessIsNotReplaced) {
    // A backup tool or an editor holds the file open for writing (not an SQLite lock).
    QProcess holder;
    holder.start(QStringLiteral("sh"),
                 {QStringLiteral("-c"), QStringLiteral("exec 3>>\"$0\"; echo open; read x"), Path()});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    EXPECT_TRUE(fileplace::OpenForWritingElsewhere(Path()));
    tLessonWriter saveAs(Path());
    EXPECT_EQ(SaveFault(saveAs, lesson), tLessonFault::Locked);
    holder.write("\n");
    ASSERT_TRUE(holder.waitForFinished(10000));
    EXPECT_FALSE(fileplace::OpenForWritingElsewhere(Path()));
    saveAs.Save(lesson);
    ExpectFileHolds(lesson);
}

// ---- files that must not be written ----

TEST_F(tLessonSafety, AReadOnlyFileIsNeverReplacedOrAddedTo) {
    ASSERT_TRUE(QFile::setPermissions(Path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    const QByteArray before = FileBytes(Path());
    lesson.Run(0)->Append(2);
    QString message;
    try {
        writer.Save(lesson);
        ADD_FAILURE() << "saved into a read-only file";
    } catch (const tLessonFileError& e) {
        EXPECT_EQ(e.Fault(), tLessonFault::ReadOnly);
        EXPECT_TRUE(e.SaveAsHelps());
        EXPECT_TRUE(e.Message().contains(QStringLiteral("только для чтения"))) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("Сохранить как")));
    }
    EXPECT_EQ(SaveFault(writer, lesson), tLessonFault::ReadOnly);
    tLessonWriter saveAs(Path());
    EXPECT_EQ(SaveFault(saveAs, lesson), tLessonFault::ReadOnly);
    EXPECT_EQ(SaveFault(saveAs, lesson), tLessonFault::ReadOnly);
    EXPECT_EQ(FileBytes(Path()), before);
    EXPECT_FALSE(QFile::exists(Path() + QStringLiteral(".part")));

    // It still opens; once it may be written again, the next save adds to it.
    ASSERT_TRUE(QFile::setPermissions(Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const QStringList chunks = FirstChunks();
    writer.Save(lesson);
    EXPECT_EQ(FirstChunks(), chunks);
    ExpectFileHolds(lesson);
}

TEST_F(tLessonSafety, AnotherUsersFileIsNeverReplaced) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs the superuser";
    ASSERT_EQ(::chown(QFile::encodeName(Path()).constData(), 65534, 65534), 0);
    const QByteArray before = FileBytes(Path());
    lesson.Run(0)->Append(3);
    QString message;
    EXPECT_EQ(SaveFault(writer, lesson, &message), tLessonFault::OtherOwner);
    EXPECT_TRUE(message.contains(QStringLiteral("другому пользователю"))) << message.toStdString();
    tLessonWriter saveAs(Path());
    EXPECT_EQ(SaveFault(saveAs, lesson), tLessonFault::OtherOwner);
    EXPECT_EQ(FileBytes(Path()), before);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(Path()).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
}

// ---- a file that is no longer the one read or saved ----

TEST_F(tLessonSafety, AnotherLessonPutInPlaceIsNeverAddedTo) {
    // Another lesson, saved elsewhere, is renamed over ours (a file manager, a sync tool).
    tLesson other;
    tRun* run = other.AddRun(1.0);
    for (int i = 0; i < 10; ++i) run->Append(i);
    tLessonWriter(Path(QStringLiteral("другой.rovelin"))).Save(other);
    ASSERT_EQ(std::rename(QFile::encodeName(Path(QStringLiteral("другой.rovelin"))).constData(),
                          QFile::encodeName(Path()).constData()),
              0);
    const QByteArray theirs = FileBytes(Path());

    lesson.Run(0)->Append(4);
    QString message;
    EXPECT_EQ(SaveFault(writer, lesson, &message), tLessonFault::Replaced);
    EXPECT_TRUE(message.contains(QStringLiteral("другой файл"))) << message.toStdString();
    EXPECT_EQ(SaveFault(writer, lesson), tLessonFault::Replaced);  // and again: never a rebuild over it
    EXPECT_EQ(FileBytes(Path()), theirs);
    ExpectFileHolds(other);

    // «Сохранить как» elsewhere keeps the pupil's whole lesson.
    tLessonWriter saveAs(Path(QStringLiteral("мой.rovelin")));
    saveAs.Save(lesson);
    tLesson mine;
    ReadLesson(Path(QStringLiteral("мой.rovelin")), mine);
    ExpectSameLesson(lesson, mine);
}

TEST_F(tLessonSafety, AnotherLessonCopiedIntoTheSameFileIsNeverAddedTo) {
    // `cp` writes into the existing file: same inode, other content.
    tLesson other;
    other.AddRun(1.0)->Append(7);
    tLessonWriter(Path(QStringLiteral("другой.rovelin"))).Save(other);
    {
        QFile target(Path());
        ASSERT_TRUE(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
        target.write(FileBytes(Path(QStringLiteral("другой.rovelin"))));
    }
    lesson.Run(0)->Append(5);
    EXPECT_EQ(SaveFault(writer, lesson), tLessonFault::Replaced);
    ExpectFileHolds(other);

    // A text file in its place is no lesson to add to either.
    {
        QFile target(Path());
        ASSERT_TRUE(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
        target.write(QByteArray(8192, 'x'));
    }
    EXPECT_EQ(SaveFault(writer, lesson), tLessonFault::Replaced);
    EXPECT_EQ(FileBytes(Path()), QByteArray(8192, 'x'));
}

TEST_F(tLessonSafety, ALessonChangedByAnotherCopyIsNeverAddedTo) {
    // A second seat opens the same lesson, measures on and saves.
    tLesson seat;
    tLessonWriter seatWriter;
    ReadLesson(Path(), seat, &seatWriter);
    seat.Run(0)->Append(100);
    seat.Run(0)->Append(101);
    seatWriter.Save(seat);

    // Ours then adds points of its own: they would land after the other seat's as if they were ours.
    lesson.Run(0)->Append(6);
    QString message;
    EXPECT_EQ(SaveFault(writer, lesson, &message), tLessonFault::ChangedOutside);
    EXPECT_TRUE(message.contains(QStringLiteral("изменён другой программой"))) << message.toStdString();
    ExpectFileHolds(seat);

    // A teacher's note alone (the report edited in another copy) counts as well.
    tLesson third;
    tLessonWriter thirdWriter;
    ReadLesson(Path(), third, &thirdWriter);
    seat.SetDocument(tLesson::Report, QByteArray("{\\rtf1 seat}"));
    seatWriter.Save(seat);
    third.SetDocument(tLesson::Description, QByteArray("{\\rtf1 third}"));
    EXPECT_EQ(SaveFault(thirdWriter, third), tLessonFault::ChangedOutside);
    ExpectFileHolds(seat);
}

TEST_F(tLessonSafety, ALessonDeletedSinceItWasSavedIsWrittenWholeAgain) {
    ASSERT_TRUE(QFile::remove(Path()));
    lesson.Run(1)->Append(8);
    writer.Save(lesson);
    ExpectFileHolds(lesson);
}

// ---- what a cut-off save leaves ----

TEST_F(tLessonSafety, ALeftoverPartIsRemovedWhenTheLessonIsOpenedOrSaved) {
    const QString part = Path() + QStringLiteral(".part");
    auto leave = [&] {
        QFile file(part);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100000, 'p'));
    };
    leave();
    tLesson back;
    ReadLesson(Path(), back);
    EXPECT_FALSE(QFile::exists(part));

    leave();
    lesson.Run(0)->Append(9);
    writer.Save(lesson);  // appending
    EXPECT_FALSE(QFile::exists(part));

    leave();
    tLessonWriter(Path()).Save(lesson);  // whole
    EXPECT_FALSE(QFile::exists(part));
    EXPECT_FALSE(QFile::exists(tLessonLock::PathFor(Path())));
    ExpectFileHolds(lesson);
}

// ---- the lock every copy of the program takes ----

TEST_F(tLessonSafety, ALockOfALiveCopyIsHonouredAndOneOfADeadCopyIsNot) {
    const QString lockPath = tLessonLock::PathFor(Path());
    auto writeLock = [&](const QByteArray& text) {
        QFile file(lockPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    };
    // A live copy on this computer: this test itself, as another seat would write it.
    tLessonLock live(Path());
    ASSERT_TRUE(live.Acquire(0));
    lesson.Run(0)->Append(10);
    QString message;
    EXPECT_EQ(SaveFault(writer, lesson, &message), tLessonFault::HeldBySeat);
    EXPECT_TRUE(message.contains(QStringLiteral("другая копия программы"))) << message.toStdString();
    live.Release();
    EXPECT_FALSE(QFile::exists(lockPath));

    // A copy that died (kill -9, power cut) on this computer: its process is gone.
    QProcess gone;
    gone.start(QStringLiteral("true"));
    ASSERT_TRUE(gone.waitForFinished(10000));
    const QByteArray boot = [] {
        QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    }();
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    writeLock("host=" + QByteArray(host) + "\nuser=ученик\npid=" + QByteArray::number(gone.processId()) +
              "\nboot=" + boot + "\nstarted=1\n");
    const QStringList chunks = FirstChunks();
    writer.Save(lesson);
    EXPECT_EQ(FirstChunks(), chunks);
    EXPECT_FALSE(QFile::exists(lockPath));

    // A live process id, but not the process that took the lock (the id was given out again).
    writeLock("host=" + QByteArray(host) + "\nuser=ученик\npid=1\nboot=" + boot + "\nstarted=999999999\n");
    lesson.Run(0)->Append(11);
    writer.Save(lesson);

    // Another computer's fresh lock is honoured, an old one is not.
    writeLock("host=другой-компьютер\nuser=ученик\npid=1234\nboot=x\nstarted=1\n");
    tLessonLock probe(Path());
    EXPECT_FALSE(probe.Acquire(100));
    EXPECT_EQ(probe.Holder(), QStringLiteral("ученик на компьютере другой-компьютер"));
    QFile old(lockPath);
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTime().addSecs(-tLessonLock::StaleSeconds - 60),
                                QFileDevice::FileModificationTime));
    old.close();
    lesson.Run(0)->Append(12);
    writer.Save(lesson);
    ExpectFileHolds(lesson);
}

// ---- network folders ----

TEST_F(tLessonSafety, TheCarefulWayOfNetworkFoldersWritesTheSameLesson) {
    EXPECT_FALSE(fileplace::OnNetwork(Path()));  // a local test folder
    tLessonWriter network(Path(QStringLiteral("сеть.rovelin")));
    network.ForceNetwork(true);
    network.Save(lesson);  // built on this computer, copied beside the target, renamed
    lesson.Run(0)->Append(13);
    network.Save(lesson);  // appended with a rollback journal
    tLesson back;
    ReadLesson(Path(QStringLiteral("сеть.rovelin")), back);
    ExpectSameLesson(lesson, back);
    EXPECT_EQ(Query(Path(QStringLiteral("сеть.rovelin")), "PRAGMA journal_mode"),
              QStringList{QStringLiteral("delete")});
    const QStringList left =
        QDir(fileplace::LocalFolder())
            .entryList({QStringLiteral("lesson-%1-*").arg(QCoreApplication::applicationPid())});
    EXPECT_TRUE(left.isEmpty()) << left.join(u' ').toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);  // урок, сеть: no lock, no part left
}
