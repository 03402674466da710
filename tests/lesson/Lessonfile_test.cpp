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

namespace {

// A lesson as a pupil leaves it: two runs of a sensor (one labelled), a typed irregular run, the
// second series showing the first run, markers on two charts, both documents.
void FillLesson(tLesson& lesson) {
    lesson.SetScenario(QStringLiteral("Остывание горячей воды"),
                       QStringLiteral("1. Тепло и температура/Остывание горячей воды/"),
                       {{QStringLiteral("SensorName"), QStringLiteral("T100")},
                        {QStringLiteral("CaptionY"), QStringLiteral("t, °C")},
                        {QStringLiteral("MaxY"), QStringLiteral("100")}});
    tRun* first = lesson.AddRun(0.1);
    first->Started = QDateTime(QDate(2026, 3, 4), QTime(9, 15, 30, 250));
    first->SensorName = QStringLiteral("T100");
    for (int i = 0; i < 20000; ++i) first->Append(80.0 * std::exp(-i / 5000.0) + 0.1 * i / 3.0);
    first->SetLabel(10, QStringLiteral("чайник выключен"));
    first->SetLabel(19999, QStringLiteral("конец"));
    tRun* second = lesson.AddRun(0.05);
    second->Started = QDateTime(QDate(2026, 3, 4), QTime(9, 40));
    second->SensorName = QStringLiteral("T100");
    second->Append(21.5);
    second->Append(std::nan(""));  // a gap survives as a gap
    second->Append(-0.000123456789012345);
    tRun* typed = lesson.AddRun(1.0);
    typed->AppendXY(0.5, 3, QStringLiteral("утро"));
    typed->AppendXY(2.25, 4);
    typed->AppendXY(7, 1e300);
    lesson.SetSeriesRun(0, second);
    lesson.SetSeriesRun(1, first);
    lesson.SetCurrentSeries(0);
    lesson.SetMarkers(0, {12, 345});
    lesson.SetMarkers(1, {7, -1});
    lesson.SetDocument(tLesson::Description, QByteArray("{\\rtf1 descr}"));
    // A report with a picture: arbitrary bytes, zero bytes included, must come back unchanged.
    QByteArray report("{\\rtf1\\ansi {\\pict\\pngblip ");
    for (int i = 0; i < 5000; ++i) report.append(char(i * 7));
    report.append("}}");
    lesson.SetDocument(tLesson::Report, report);
}

void ExpectSameRun(const tRun& a, const tRun& b) {
    ASSERT_EQ(a.Count(), b.Count());
    EXPECT_EQ(a.Evenly(), b.Evenly());
    EXPECT_EQ(a.Step(), b.Step());
    EXPECT_EQ(a.Started, b.Started);
    EXPECT_EQ(a.SensorName, b.SensorName);
    EXPECT_EQ(a.Labels(), b.Labels());
    for (qsizetype i = 0; i < a.Count(); ++i) {
        if (std::isnan(a.Y(i))) {
            EXPECT_TRUE(std::isnan(b.Y(i))) << i;
        } else {
            ASSERT_EQ(a.Y(i), b.Y(i)) << "point " << i;  // exact, not nearly
        }
        ASSERT_EQ(a.X(i), b.X(i)) << "point " << i;
    }
}

void ExpectSameLesson(const tLesson& a, const tLesson& b) {
    EXPECT_EQ(a.ScenarioName(), b.ScenarioName());
    EXPECT_EQ(a.ScenarioFolder(), b.ScenarioFolder());
    EXPECT_EQ(a.ScenarioEntries(), b.ScenarioEntries());
    EXPECT_EQ(a.Document(tLesson::Description), b.Document(tLesson::Description));
    EXPECT_EQ(a.Document(tLesson::Report), b.Document(tLesson::Report));
    EXPECT_EQ(a.CurrentSeries(), b.CurrentSeries());
    for (int chart = 0; chart < 2; ++chart) EXPECT_EQ(a.Markers(chart), b.Markers(chart)) << chart;
    ASSERT_EQ(a.RunCount(), b.RunCount());
    for (int i = 0; i < a.RunCount(); ++i) ExpectSameRun(*a.Run(i), *b.Run(i));
    for (int slot = 0; slot < tLesson::SeriesSlots; ++slot)
        EXPECT_EQ(a.IndexOf(a.SeriesRun(slot)), b.IndexOf(b.SeriesRun(slot))) << slot;
}

// Runs one query on the file as any SQLite tool would and returns the first column of each row.
QStringList Query(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    QStringList rows;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        else
            rows << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

void Exec(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

tLessonFault FaultOf(const QString& path, tLesson& into) {
    try {
        ReadLesson(path, into);
    } catch (const tLessonFileError& e) {
        EXPECT_FALSE(e.Message().isEmpty());
        return e.Fault();
    }
    ADD_FAILURE() << "read without an error: " << path.toStdString();
    return tLessonFault::CannotOpen;
}

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

    // The failed save made the writer forget the file; the next save rebuilds it whole.
    EXPECT_FALSE(writer.Knows());
    writer.Save(lesson);
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
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    lesson.Run(0)->Append(1);
    EXPECT_THROW(writer.Save(lesson), tLessonFileError);  // the journal cannot be made
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    tLesson back;
    ReadLesson(folder + QStringLiteral("/урок.rovelin"), back);
    EXPECT_EQ(back.Run(0)->Count(), lesson.Run(0)->Count() - 1);
}
