// SPDX-License-Identifier: GPL-3.0-or-later
// The lesson file: what goes in comes back out (runs, labels, series, markers, documents, the
// scenario), later saves only add what is new, and bad files and unwritable targets give a clear
// error while the lesson in memory and the file on disk stay as they were.
#include "lesson/Lessonfile.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>

#include "lesson/Lesson.h"
#include "tests/lesson/Sample.h"

namespace {

struct tLessonFile : ::testing::Test {
    QTemporaryDir dir;
    QString Path(const QString& name = QStringLiteral("урок.rovelin")) const { return dir.filePath(name); }
};

}  // namespace

// ---- round trips ----

TEST_F(tLessonFile, EverythingComesBackExactlyAndUnmodified) {
    tLesson lesson;
    FillLesson(lesson);
    tLessonWriter writer(Path());
    writer.Save(lesson);
    EXPECT_TRUE(lesson.Created.isValid());

    tLesson back;
    QMap<QString, QString> meta;
    ReadLesson(Path(), back, nullptr, &meta);
    ExpectSameLesson(lesson, back);
    EXPECT_FALSE(back.Modified());
    EXPECT_EQ(back.Created.toSecsSinceEpoch(), lesson.Created.toSecsSinceEpoch());
    EXPECT_EQ(meta.value(QStringLiteral("scenario_name")), QStringLiteral("Остывание горячей воды"));
    EXPECT_FALSE(QFile::exists(Path() + QStringLiteral(".part")));
}

TEST_F(tLessonFile, AnySqliteToolReadsTheRunsThroughThePointView) {
    tLesson lesson;
    FillLesson(lesson);
    tLessonWriter(Path()).Save(lesson);
    EXPECT_EQ(Query(Path(), "SELECT count(*) FROM run"), QStringList{QStringLiteral("3")});
    EXPECT_EQ(Query(Path(), "SELECT value FROM point WHERE run = 1 AND idx = 0"),
              QStringList{QString::number(lesson.Run(0)->Y(0), 'g', 17)});
    EXPECT_EQ(Query(Path(), "SELECT t FROM point WHERE run = 1 AND idx = 20"),
              QStringList{QStringLiteral("2.0")});
    EXPECT_EQ(Query(Path(), "SELECT t || ';' || value FROM point WHERE run = 3 ORDER BY idx"),
              (QStringList{QStringLiteral("0.5;3"), QStringLiteral("2.25;4"), QStringLiteral("7;1.0e+300")}));
    EXPECT_EQ(Query(Path(), "SELECT text FROM label WHERE run_id = 1 ORDER BY idx"),
              (QStringList{QStringLiteral("чайник выключен"), QStringLiteral("конец")}));
    EXPECT_EQ(Query(Path(), "PRAGMA integrity_check"), QStringList{QStringLiteral("ok")});
}

TEST_F(tLessonFile, FitsSlopesAreasPredictionAndHeartRatesAreRowsAnySqliteToolReads) {
    tLesson lesson;
    FillLesson(lesson);
    tLessonWriter(Path()).Save(lesson);
    EXPECT_EQ(Query(Path(), "PRAGMA user_version"), QStringList{QStringLiteral("2")});
    EXPECT_EQ(Query(Path(),
                    "SELECT run_id || ' ' || model || ' ' || first || '-' || last || ' ' || origin "
                    "FROM fit ORDER BY id"),
              (QStringList{QStringLiteral("1 approach 100-19999 10.0"),
                           QStringLiteral("1 logistic 100-19999 10.0")}));
    EXPECT_EQ(Query(Path(),
                    "SELECT json_extract(names, '$[2]') || '=' || json_extract(estimates, '$[2]') "
                    "FROM fit WHERE model = 'approach'"),
              QStringList{QStringLiteral("τ=0.333333333333333")});
    EXPECT_EQ(Query(Path(), "SELECT formula FROM fit WHERE r2 IS NULL"),
              QStringList{QStringLiteral("K / (1 + e^(-r·(t - t0)))")});
    EXPECT_EQ(Query(Path(), "SELECT run_id || ' ' || idx || ' ' || width FROM slope"),
              QStringList{QStringLiteral("1 400 2.5")});
    EXPECT_EQ(Query(Path(), "SELECT run_id || ' ' || first || ' ' || second FROM area"),
              QStringList{QStringLiteral("3 2 0")});
    EXPECT_EQ(Query(Path(), "SELECT t || ';' || value FROM prediction ORDER BY pos"),
              (QStringList{QStringLiteral("0.0;80.0"), QStringLiteral("60.5;61.25"),
                           QStringLiteral("600.0;30.0")}));
    EXPECT_EQ(Query(Path(),
                    "SELECT run_id || ' ' || json_array_length(t) || ' ' || json_extract(bpm, '$[1]') "
                    "FROM heart_rate"),
              QStringList{QStringLiteral("2 2 70.5")});

    // Changed analyses are rewritten in the next, appending save.
    tLessonWriter writer;
    tLesson back;
    ReadLesson(Path(), back, &writer);
    tLessonAnalyses analyses = back.Analyses();
    analyses.Fits.removeFirst();
    analyses.Slopes.append(tSlopeRecord{1, 2, 0.2});
    back.SetAnalyses(analyses);
    back.AddHeartRate(back.Run(1), QPointF(2.5, 69));
    back.Run(0)->Append(1);
    writer.Save(back);
    EXPECT_EQ(Query(Path(), "SELECT model FROM fit"), QStringList{QStringLiteral("logistic")});
    EXPECT_EQ(Query(Path(), "SELECT count(*) FROM slope"), QStringList{QStringLiteral("2")});
    tLesson again;
    ReadLesson(Path(), again);
    ExpectSameLesson(back, again);
    EXPECT_EQ(again.HeartRates(again.Run(0)), nullptr);  // none kept: the wave's are derived
}

TEST_F(tLessonFile, LaterSavesAppendNewPointsAndRewriteOnlyWhatWasEdited) {
    tLesson lesson;
    FillLesson(lesson);
    tLessonWriter writer(Path());
    writer.Save(lesson);
    const QStringList firstChunks = Query(Path(), "SELECT rowid || ':' || first FROM chunk WHERE run_id = 1");
    ASSERT_EQ(firstChunks.size(), 3);  // 20000 points in chunks of 8192

    // A run goes on: the old chunks stay as they are, one new chunk is added.
    tRun* run = lesson.Run(0);
    for (int i = 0; i < 100; ++i) run->Append(i, i == 50 ? QStringLiteral("новая метка") : QString());
    writer.Save(lesson);
    const QStringList after = Query(Path(), "SELECT rowid || ':' || first FROM chunk WHERE run_id = 1");
    EXPECT_EQ(after.mid(0, 3), firstChunks);
    EXPECT_EQ(after.size(), 4);

    // Nothing new: nothing to write.
    EXPECT_FALSE(writer.HasChanges(lesson));
    EXPECT_EQ(writer.Take(lesson), nullptr);

    // An edited point and a relabelled old point, a new run shown in a series, a new report.
    run->SetPoint(5, 0, -1.5);
    lesson.Run(2)->SetLabel(1, QStringLiteral("вечер"));
    tRun* third = lesson.AddRun(0.2);
    third->Append(1);
    lesson.SetSeriesRun(1, third);
    lesson.SetMarkers(0, {1, 2});
    lesson.SetDocument(tLesson::Report, QByteArray("{\\rtf1 новый отчёт}"));
    writer.Save(lesson);

    tLesson back;
    ReadLesson(Path(), back);
    ExpectSameLesson(lesson, back);

    // A lesson read from a file goes on from there: the writer knows what the file holds.
    tLessonWriter again;
    tLesson reopened;
    ReadLesson(Path(), reopened, &again);
    EXPECT_FALSE(again.HasChanges(reopened));
    reopened.Run(3)->Append(2);
    again.Save(reopened);
    tLesson third_read;
    ReadLesson(Path(), third_read);
    ExpectSameLesson(reopened, third_read);
}

// ---- bad files ----

TEST_F(tLessonFile, BadFilesAreRefusedAndLeaveTheLessonAlone) {
    tLesson good;
    FillLesson(good);
    tLessonWriter(Path()).Save(good);

    tLesson target;  // what the window shows stays as it is
    tRun* shown = target.AddRun(0.1);
    shown->Append(42);
    target.SetModified(false);
    auto expectUntouched = [&] {
        EXPECT_EQ(target.RunCount(), 1);
        EXPECT_EQ(target.Run(0)->Y(0), 42);
        EXPECT_FALSE(target.Modified());
    };

    // Not SQLite at all.
    QFile text(Path(QStringLiteral("text.rovelin")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("Это не урок, а просто текст.\n");
    text.close();
    EXPECT_EQ(FaultOf(text.fileName(), target), tLessonFault::NotLesson);
    expectUntouched();

    // SQLite, but another program's database.
    const QString other = Path(QStringLiteral("other.rovelin"));
    Exec(other, "CREATE TABLE t(a); INSERT INTO t VALUES (1);");
    EXPECT_EQ(FaultOf(other, target), tLessonFault::NotLesson);
    expectUntouched();

    // Written by a newer program.
    const QString newer = Path(QStringLiteral("newer.rovelin"));
    QFile::copy(Path(), newer);
    Exec(newer, "PRAGMA user_version = 99;");
    EXPECT_EQ(FaultOf(newer, target), tLessonFault::Newer);
    expectUntouched();

    // Cut off in the middle (a copy to a stick pulled out too early).
    const QString cut = Path(QStringLiteral("cut.rovelin"));
    QFile::copy(Path(), cut);
    QFile::resize(cut, QFileInfo(cut).size() / 2);
    EXPECT_EQ(FaultOf(cut, target), tLessonFault::Damaged);
    expectUntouched();

    // A chunk that lost its points: the run no longer adds up.
    const QString gap = Path(QStringLiteral("gap.rovelin"));
    QFile::copy(Path(), gap);
    Exec(gap, "DELETE FROM chunk WHERE run_id = 1 AND first = 8192;");
    EXPECT_EQ(FaultOf(gap, target), tLessonFault::Damaged);
    expectUntouched();

    // Garbage in a page in the middle of the file.
    const QString scrambled = Path(QStringLiteral("scrambled.rovelin"));
    QFile::copy(Path(), scrambled);
    {
        QFile f(scrambled);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(4096 * 3);
        f.write(QByteArray(4096, '\xA5'));
    }
    const tLessonFault fault = FaultOf(scrambled, target);
    EXPECT_TRUE(fault == tLessonFault::Damaged || fault == tLessonFault::NotLesson);
    expectUntouched();

    // Missing.
    EXPECT_EQ(FaultOf(Path(QStringLiteral("missing.rovelin")), target), tLessonFault::CannotOpen);
    expectUntouched();
}

TEST_F(tLessonFile, ALessonLockedByAnotherProgramSaysSo) {
    tLesson lesson;
    FillLesson(lesson);
    tLessonWriter writer(Path());
    writer.Save(lesson);

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(Path()).constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    tLesson target;
    EXPECT_EQ(FaultOf(Path(), target), tLessonFault::Locked);
    EXPECT_EQ(target.RunCount(), 0);

    lesson.Run(0)->Append(1);
    try {
        writer.Save(lesson);
        ADD_FAILURE() << "saved into a locked file";
    } catch (const tLessonFileError& e) {
        EXPECT_EQ(e.Fault(), tLessonFault::Locked);
    }
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    // The file is as it was: the next save adds the new point (and the failed part) to it.
    EXPECT_TRUE(writer.Knows());
    const QStringList chunks = Query(Path(), "SELECT rowid FROM chunk WHERE run_id = 1 AND first = 0");
    writer.Save(lesson);
    EXPECT_EQ(Query(Path(), "SELECT rowid FROM chunk WHERE run_id = 1 AND first = 0"), chunks);
    tLesson back;
    ReadLesson(Path(), back);
    ExpectSameLesson(lesson, back);
}

// ---- unwritable targets ----

TEST_F(tLessonFile, AFailedSaveKeepsThePreviousFile) {
    tLesson lesson;
    FillLesson(lesson);
    tLessonWriter writer(Path());
    writer.Save(lesson);
    const QByteArray before = [&] {
        QFile f(Path());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    // The temporary file cannot be made (a folder is in its way): the lesson on disk is untouched.
    ASSERT_TRUE(QDir().mkpath(Path() + QStringLiteral(".part")));
    writer.Forget();
    lesson.Run(0)->Append(7);
    try {
        writer.Save(lesson);
        ADD_FAILURE() << "saved although the temporary file could not be made";
    } catch (const tLessonFileError& e) {
        EXPECT_EQ(e.Fault(), tLessonFault::CannotWrite);
        EXPECT_TRUE(e.Message().contains(QStringLiteral("урок.rovelin"))) << e.Message().toStdString();
    }
    QFile f(Path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);

    // A folder that is a file: nothing can be written below it.
    QFile blocker(Path(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    tLessonWriter nowhere(Path(QStringLiteral("blocker/урок.rovelin")));
    EXPECT_THROW(nowhere.Save(lesson), tLessonFileError);
}

TEST_F(tLessonFile, AReadOnlyFolderGivesAClearErrorAndKeepsTheFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    tLesson lesson;
    FillLesson(lesson);
    const QString folder = dir.filePath(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkpath(folder));
    tLessonWriter writer(folder + QStringLiteral("/урок.rovelin"));
    writer.Save(lesson);
    tLessonWriter whole(folder + QStringLiteral("/урок.rovelin"));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    lesson.Run(0)->Append(1);
    // The journal cannot be made: the same reason in the user's words every time, never SQLite's.
    for (tLessonWriter* saving : {&writer, &writer, &whole}) {
        QString message;
        EXPECT_EQ(SaveFault(*saving, lesson, &message), tLessonFault::CannotWrite);
        EXPECT_TRUE(message.contains(QStringLiteral("недоступна для записи"))) << message.toStdString();
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    tLesson back;
    ReadLesson(folder + QStringLiteral("/урок.rovelin"), back);
    EXPECT_EQ(back.Run(0)->Count(), lesson.Run(0)->Count() - 1);
}
