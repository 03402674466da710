// SPDX-License-Identifier: GPL-3.0-or-later
// Lesson files of older programs: the version-1 file kept in tests/data opens with everything in it;
// an upgrade runs one step per version, each in its own transaction with the version it reached,
// keeps a copy of the file as it was, refuses a step that makes no progress or fails (the file
// stays at the last version reached, never «повреждён»), and a read-only old file opens upgraded
// in memory with a word saying so.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <stdexcept>

#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "tests/lesson/Sample.h"

// The lesson of tests/data/lesson/version1.rovelin.
void FixtureLesson(tLesson& lesson) {
    lesson.SetScenario(QStringLiteral("Маятник"), QStringLiteral("2. Движение/Маятник/"),
                       {{QStringLiteral("SensorName"), QStringLiteral("D200")},
                        {QStringLiteral("CaptionY"), QStringLiteral("x, см")}});
    tRun* run = lesson.AddRun(0.02);
    run->Started = QDateTime(QDate(2026, 9, 1), QTime(8, 30, 0, 125), Qt::UTC);
    run->SensorName = QStringLiteral("D200");
    for (int i = 0; i < 250; ++i) run->Append(i * 0.5 - 3, i == 10 ? QStringLiteral("толчок") : QString());
    tRun* typed = lesson.AddRun(1.0);
    typed->AppendXY(0.25, 1.5);
    typed->AppendXY(4, -2);
    lesson.SetSeriesRun(0, run);
    lesson.SetSeriesRun(1, typed);
    lesson.SetCurrentSeries(1);
    lesson.SetMarkers(0, {5, 200});
    lesson.SetDocument(tLesson::Description, QByteArray("{\\rtf1 Маятник}"));
    lesson.SetDocument(tLesson::Report, QByteArray("{\\rtf1 Отчёт}"));
    lesson.Created = QDateTime(QDate(2026, 9, 1), QTime(8, 29), Qt::UTC);
}

namespace {

const QString kFixture = QStringLiteral(ROVELIN_TEST_DATA "/lesson/version1.rovelin");

// A version after the program's own: its steps, then `step`.
constexpr int kNext = lessonfile::SchemaVersion + 1;
std::vector<lessonfile::tUpgradeStep> StepsAnd(lessonfile::tUpgradeStep step) {
    std::vector<lessonfile::tUpgradeStep> steps = lessonfile::UpgradeSteps();
    steps.push_back(step);
    return steps;
}
// Adds a table and reaches the next version.
int AddNotes(sqlite3* db) {
    int version = 0;
    sqlite3_exec(
        db, "PRAGMA user_version",
        [](void* out, int, char** values, char**) {
            *static_cast<int*>(out) = std::atoi(values[0]);
            return 0;
        },
        &version, nullptr);
    return sqlite3_exec(db, "CREATE TABLE note (text TEXT)", nullptr, nullptr, nullptr) == SQLITE_OK
               ? version + 1
               : 0;
}
int Stalls(sqlite3*) {
    return 1;
}
int BreaksHalfWay(sqlite3* db) {
    sqlite3_exec(db, "CREATE TABLE half (a)", nullptr, nullptr, nullptr);
    throw std::runtime_error("disk went away");
}

struct tUpgrade : ::testing::Test {
    QTemporaryDir dir;
    QString Path(const QString& name = QStringLiteral("урок.rovelin")) const { return dir.filePath(name); }
    // A version-1 lesson (written before the test's newer schema exists).
    void SetUp() override { ASSERT_TRUE(QFile::copy(kFixture, Path())); }
    // Opens the test's file, which must hold the fixture's lesson.
    void OpenFixture(tLesson& back, tLessonWriter& writer, tLessonReadNote& note) const {
        ReadLesson(Path(), back, &writer, nullptr, &note);
        tLesson expected;
        FixtureLesson(expected);
        ExpectSameLesson(expected, back);
    }
    static int Version(const QString& path) { return Query(path, "PRAGMA user_version").value(0).toInt(); }
    static tLessonFault ReadFault(const QString& path, QString* message) {
        tLesson into;
        try {
            ReadLesson(path, into);
        } catch (const tLessonFileError& e) {
            *message = e.Message();
            return e.Fault();
        }
        ADD_FAILURE() << "read without an error";
        return tLessonFault::Damaged;
    }
};

}  // namespace

TEST_F(tUpgrade, TheVersionOneFileOpensWithEverythingInIt) {
    tLesson expected;
    FixtureLesson(expected);
    tLesson back;
    tLessonWriter writer;
    tLessonReadNote note;
    ReadLesson(Path(), back, &writer, nullptr, &note);
    ExpectSameLesson(expected, back);
    EXPECT_EQ(back.Created, expected.Created);
    EXPECT_TRUE(note.Text.isEmpty());
    EXPECT_EQ(Version(Path()), lessonfile::SchemaVersion);
    if (lessonfile::SchemaVersion > 1) {
        EXPECT_TRUE(note.Upgraded);
        EXPECT_EQ(FileBytes(note.UpgradeCopy), FileBytes(kFixture));
    }
    // Version 2's tables are there and empty; its runs keep no heart rates (they are derived).
    for (const char* sql :
         {"SELECT count(*) FROM fit", "SELECT count(*) FROM slope", "SELECT count(*) FROM area",
          "SELECT count(*) FROM prediction", "SELECT count(*) FROM heart_rate"})
        EXPECT_EQ(Query(Path(), sql), QStringList{QStringLiteral("0")}) << sql;
    EXPECT_EQ(back.HeartRates(back.Run(0)), nullptr);
    EXPECT_EQ(Query(Path(), "PRAGMA integrity_check"), QStringList{QStringLiteral("ok")});
    // Work goes on in it, fits and all.
    back.Run(0)->Append(99);
    tLessonAnalyses analyses;
    tFitRecord line;
    line.Model = QStringLiteral("linear");
    line.Run = 0;
    line.Last = 249;
    line.Names = {QStringLiteral("a"), QStringLiteral("b")};
    line.Values = {-3, 25};
    line.Sigmas = {0, 0};
    line.Points = 250;
    analyses.Fits = {line};
    analyses.Areas = {tAreaRecord{1, 0, 1}};
    back.SetAnalyses(analyses);
    writer.Save(back);
    EXPECT_EQ(Query(Path(), "SELECT model || ' ' || estimates FROM fit"),
              QStringList{QStringLiteral("linear [-3,25]")});
    tLesson again;
    ReadLesson(Path(), again);
    ExpectSameLesson(back, again);
}

TEST_F(tUpgrade, AnOlderFileIsUpgradedInPlaceAfterACopyIsKept) {
    const QByteArray before = FileBytes(Path());
    lessonfile::tSchemaForTests schema(kNext, StepsAnd(AddNotes));
    tLesson back;
    tLessonWriter writer;
    tLessonReadNote note;
    OpenFixture(back, writer, note);
    EXPECT_TRUE(note.Upgraded);
    EXPECT_TRUE(note.Text.isEmpty());
    EXPECT_EQ(Version(Path()), kNext);
    EXPECT_EQ(Query(Path(), "SELECT count(*) FROM note"), QStringList{QStringLiteral("0")});
    EXPECT_EQ(note.UpgradeCopy, Path(QStringLiteral("урок.v1.rovelin")));
    EXPECT_EQ(FileBytes(note.UpgradeCopy), before);

    // The upgraded file takes new points like any other; a second upgrade keeps the first copy.
    back.Run(1)->AppendXY(9, 9);
    writer.Save(back);
    tLesson again;
    ReadLesson(Path(), again);
    ExpectSameLesson(back, again);
    EXPECT_EQ(lessonfile::UpgradeCopyPath(Path(), 1, dir.path()), Path(QStringLiteral("урок.v1-2.rovelin")));
}

TEST_F(tUpgrade, AStepThatMakesNoProgressOrFailsIsRefusedAndTheFileStaysWhole) {
    const QByteArray before = FileBytes(Path());
    QString message;
    {
        lessonfile::tSchemaForTests schema(2, {Stalls});
        EXPECT_EQ(ReadFault(Path(), &message), tLessonFault::CannotUpgrade);
        EXPECT_FALSE(message.contains(QStringLiteral("повреждён"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("прежней версией"))) << message.toStdString();
    }
    EXPECT_EQ(Version(Path()), 1);
    {
        lessonfile::tSchemaForTests schema(3, {AddNotes, BreaksHalfWay});
        EXPECT_EQ(ReadFault(Path(), &message), tLessonFault::CannotUpgrade);
        EXPECT_TRUE(message.contains(QStringLiteral("disk went away"))) << message.toStdString();
        // The first step stays done, the broken one left nothing behind.
        EXPECT_EQ(Version(Path()), 2);
        EXPECT_EQ(Query(Path(), "SELECT count(*) FROM note"), QStringList{QStringLiteral("0")});
        EXPECT_EQ(Query(Path(), "SELECT name FROM sqlite_master WHERE name = 'half'"), QStringList{});
        EXPECT_EQ(Query(Path(), "PRAGMA integrity_check"), QStringList{QStringLiteral("ok")});
    }
    // The copies of the file as it was are there, and still open in a program that knows version 1.
    lessonfile::tSchemaForTests first(1, {});
    tLesson back;
    ReadLesson(Path(QStringLiteral("урок.v1.rovelin")), back);
    tLesson expected;
    FixtureLesson(expected);
    ExpectSameLesson(expected, back);
    EXPECT_EQ(FileBytes(Path(QStringLiteral("урок.v1.rovelin"))), before);
}

TEST_F(tUpgrade, AReadOnlyOlderFileOpensUpgradedInMemoryAndSaysSo) {
    ASSERT_TRUE(QFile::setPermissions(Path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    const QByteArray before = FileBytes(Path());
    lessonfile::tSchemaForTests schema(kNext, StepsAnd(AddNotes));
    tLesson back;
    tLessonWriter writer;
    tLessonReadNote note;
    OpenFixture(back, writer, note);
    EXPECT_TRUE(note.Upgraded);
    EXPECT_TRUE(note.Text.contains(QStringLiteral("только для чтения"))) << note.Text.toStdString();
    EXPECT_TRUE(note.Text.contains(QStringLiteral("Сохранить как"))) << note.Text.toStdString();
    EXPECT_EQ(FileBytes(Path()), before);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("урок.v1.rovelin"))));
    // Saving it there is refused as read-only; «Сохранить как» writes the new version.
    back.Run(0)->Append(1);
    EXPECT_EQ(SaveFault(writer, back), tLessonFault::ReadOnly);
    tLessonWriter(Path(QStringLiteral("новый.rovelin"))).Save(back);
    EXPECT_EQ(Version(Path(QStringLiteral("новый.rovelin"))), kNext);
}

TEST_F(tUpgrade, TheCopyGoesToTheFallbackFolderWhenTheFolderIsNotWritable) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    const QString state = dir.filePath(QStringLiteral("state"));
    const QString folder = dir.filePath(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QDir().mkpath(state));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(lessonfile::UpgradeCopyPath(folder + QStringLiteral("/урок.rovelin"), 1, state),
              state + QStringLiteral("/урок.v1.rovelin"));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// Makes tests/data/lesson/version1.rovelin with the program as it is (run once, when the schema
// version was 1; kept as bytes since).
int MakeVersionOneFixture(int argc, char** argv) {
    if (argc < 3 || QByteArray(argv[1]) != "--make-version1-fixture") return -1;
    tLesson lesson;
    FixtureLesson(lesson);
    tLessonWriter(QString::fromLocal8Bit(argv[2])).Save(lesson);
    return 0;
}
