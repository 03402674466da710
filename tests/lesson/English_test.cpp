// SPDX-License-Identifier: GPL-3.0-or-later
// With the English interface a lesson file's refusals, a failed autosave and a refused hand-in are
// told in English; what the file stores is the same in either language, so a lesson saved on an
// English desk opens unchanged on a Russian one.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>

#include "foundation/Language.h"
#include "lesson/Autosave.h"
#include "lesson/Handin.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "tests/lesson/Sample.h"
#include "tests/support/Language.h"
#include "tests/support/Wait.h"

namespace {

using rovelin_test::HasCyrillic;

struct InEnglish : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::English));
    }
    void TearDown() override { InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::Russian); }
    QString Path(const QString& name) const { return dir.filePath(name); }

    // The error a read raises, or an empty one when the file was read.
    static tLessonFileError ReadError(const QString& path) {
        tLesson into;
        try {
            ReadLesson(path, into);
        } catch (const tLessonFileError& e) {
            return e;
        }
        ADD_FAILURE() << "read without an error: " << path.toStdString();
        return tLessonFileError(tLessonFault::CannotOpen, QString());
    }

    // Every row of every table as any SQLite tool reads it, bytes for bytes; the lesson table
    // without what differs between two saves (when and which lesson).
    static QStringList Contents(const QString& path) {
        QStringList rows;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
            SQLITE_OK)
            return rows;
        QStringList tables;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", -1, &st,
                           nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        for (const QString& table : tables) {
            const QByteArray sql = table == QStringLiteral("lesson")
                                       ? QByteArray(
                                             "SELECT * FROM lesson WHERE key NOT IN "
                                             "('created', 'changed', 'lesson_id') ORDER BY key")
                                       : "SELECT * FROM " + table.toUtf8() + " ORDER BY 1";
            sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW) {
                QByteArray row = table.toUtf8() + ':';
                for (int c = 0; c < sqlite3_column_count(st); ++c) {
                    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(st, c));
                    row += QByteArray(bytes, sqlite3_column_bytes(st, c)).toHex() + '|';
                }
                rows << QString::fromLatin1(row);
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return rows;
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(InEnglish, RefusedLessonFilesSayWhyInEnglish) {
    tLesson lesson;
    FillLesson(lesson);
    const QString good = Path(QStringLiteral("lesson.rovelin"));
    tLessonWriter(good).Save(lesson);

    const QString newer = Path(QStringLiteral("newer.rovelin"));
    QFile::copy(good, newer);
    Exec(newer, "PRAGMA user_version = 99;");
    const tLessonFileError later = ReadError(newer);
    EXPECT_EQ(later.Fault(), tLessonFault::Newer);
    EXPECT_EQ(later.Message(),
              QStringLiteral("The lesson file “%1” was saved by a newer version of the program.\r\n"
                             "To open it, update the program.")
                  .arg(QDir::toNativeSeparators(newer)));
    EXPECT_EQ(later.Reason(), QStringLiteral("the file was saved by a newer version of the program"));

    const QString cut = Path(QStringLiteral("cut.rovelin"));
    QFile::copy(good, cut);
    QFile::resize(cut, QFileInfo(cut).size() / 2);
    const tLessonFileError damaged = ReadError(cut);
    EXPECT_EQ(damaged.Fault(), tLessonFault::Damaged);
    EXPECT_TRUE(damaged.Message().startsWith(
        QStringLiteral("The lesson file “%1” is damaged or was not written completely and cannot be opened.")
            .arg(QDir::toNativeSeparators(cut))))
        << damaged.Message().toStdString();
    EXPECT_FALSE(HasCyrillic(damaged.Message() + damaged.Reason())) << damaged.Message().toStdString();

    QFile text(Path(QStringLiteral("text.rovelin")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("Just some text.\n");
    text.close();
    const tLessonFileError notLesson = ReadError(text.fileName());
    EXPECT_EQ(notLesson.Fault(), tLessonFault::NotLesson);
    EXPECT_FALSE(HasCyrillic(notLesson.Message() + notLesson.Reason())) << notLesson.Message().toStdString();

    // A save into a folder that is not there: the program's message and the system's reason.
    tLessonWriter nowhere(Path(QStringLiteral("gone/lesson.rovelin")));
    QString message;
    EXPECT_EQ(SaveFault(nowhere, lesson, &message), tLessonFault::CannotWrite);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot save the lesson to the file “")))
        << message.toStdString();
    EXPECT_TRUE(message.endsWith(QStringLiteral("\r\nThe system says: the file or folder was not found")))
        << message.toStdString();
}

TEST_F(InEnglish, ALessonSavedInEnglishStoresWhatARussianSaveStoresAndOpensUnchangedInRussian) {
    tLesson lesson;
    FillLesson(lesson);
    const QString english = Path(QStringLiteral("english.rovelin"));
    tLessonWriter(english).Save(lesson);

    InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::Russian);
    tLesson again;
    FillLesson(again);
    const QString russian = Path(QStringLiteral("russian.rovelin"));
    tLessonWriter(russian).Save(again);
    tLesson back;
    ReadLesson(english, back);
    ExpectSameLesson(lesson, back);

    const QStringList stored = Contents(english);
    EXPECT_GT(stored.size(), 20);
    EXPECT_EQ(stored, Contents(russian));
    // The fits keep their models' keys, not names in either language.
    EXPECT_EQ(Query(english, "SELECT model FROM fit ORDER BY rowid"),
              (QStringList{QStringLiteral("approach"), QStringLiteral("logistic")}));
}

TEST_F(InEnglish, AFailedAutosaveAndARefusedHandInAreEnglish) {
    tLesson lesson;
    lesson.AddRun(0.1)->Append(1);
    // A file stands where the autosave folder should be made.
    const QString folder = Path(QStringLiteral("state/autosave"));
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("state"))));
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    tAutosave autosave(folder);
    QStringList failures;
    QObject::connect(&autosave, &tAutosave::Failed, [&](const QString& message) { failures << message; });
    autosave.Watch(&lesson);
    autosave.SaveNow();
    autosave.Flush();
    EXPECT_EVENTUALLY(failures.size() == 1);
    EXPECT_TRUE(autosave.Note().startsWith(QStringLiteral("Autosave failed: ")))
        << autosave.Note().toStdString();
    EXPECT_FALSE(HasCyrillic(autosave.Note())) << autosave.Note().toStdString();
    ASSERT_FALSE(failures.isEmpty());
    EXPECT_FALSE(HasCyrillic(failures[0])) << failures[0].toStdString();

    const QDateTime when(QDate(2026, 12, 9), QTime(10, 45));
    const QList<tHandInPart> parts{HandInBytes(QStringLiteral("csv"), QByteArray("t;T\r\n0;80\r\n"))};
    EXPECT_EQ(
        HandIn(Path(QStringLiteral("class")), QString(), QStringLiteral("Cooling water"), when, parts).Reason,
        QStringLiteral("The pupil's surname and first name are missing."));
    const QString missing = Path(QStringLiteral("class 5A"));
    EXPECT_EQ(
        HandIn(missing, QStringLiteral("Mary Smith"), QStringLiteral("Cooling water"), when, parts).Reason,
        QStringLiteral("The hand-in folder “%1” cannot be used: there is no such folder (is the network "
                       "folder not connected?)")
            .arg(QDir::toNativeSeparators(missing)));
}
