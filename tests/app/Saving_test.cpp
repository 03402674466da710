// SPDX-License-Identifier: GPL-3.0-or-later
// Saving the lesson from the window when the file or the disk refuses: another program's write
// transaction, a read-only file, a file replaced behind the program's back, a full disk. Each time
// the box says why in Russian and offers «Сохранить как...», the file keeps what it held (read
// back), the lesson stays unsaved and the autosave keeps it; the next save goes through once the
// file can be written. Ctrl+S returns before the file is written, and the exit waits for it. A
// failing autosave stays in the status bar until a write succeeds.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTextDocument>

#include "Apptest.h"
#include "components/Richview.h"
#include "components/Rtf.h"
#include "experiments/Experimentfr.h"
#include "foundation/Stringtable.h"
#include "lesson/Autosave.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "tests/lesson/Sample.h"
#include "tests/support/Smalldisk.h"
#include "tests/support/Wait.h"

namespace {
const QString kSaveAs = QStringLiteral("Сохранить как...");

QString Quoted(const QString& path) {
    return QStringLiteral("«") + QDir::toNativeSeparators(path) + QStringLiteral("»");
}

// The sqlite3 shell as a teacher's tool: it starts a write transaction on a lesson and keeps it
// open until Commit.
class tSqliteShell {
  public:
    explicit tSqliteShell(const QString& path) : FPath(path) {}
    ~tSqliteShell() {
        FShell.kill();
        FShell.waitForFinished(5000);
    }
    // True once the transaction holds the file (a writer of our own is refused).
    bool Hold(const QByteArray& sql) {
        FShell.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), FPath});
        if (!FShell.waitForStarted(10000)) return false;
        FShell.write("BEGIN IMMEDIATE;\n" + sql + "\n");
        return rovelin_test::WaitUntil([this] { return Held(); }, 10000);
    }
    // Commits and ends; true when the commit went through.
    bool Commit() {
        FShell.write("COMMIT;\n");
        FShell.closeWriteChannel();
        return FShell.waitForFinished(10000) && FShell.exitCode() == 0 &&
               FShell.readAllStandardError().isEmpty();
    }

  private:
    bool Held() const {
        sqlite3* db = nullptr;
        bool held = false;
        if (sqlite3_open(QFile::encodeName(FPath).constData(), &db) == SQLITE_OK) {
            held = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_BUSY;
            if (!held) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        sqlite3_close(db);
        return held;
    }
    QString FPath;
    QProcess FShell;
};

// The user's state folder (autosave, recent lessons) somewhere else while it lives.
class tStateHome {
  public:
    explicit tStateHome(const QString& path) : FOld(qgetenv("XDG_STATE_HOME")) {
        qputenv("XDG_STATE_HOME", QFile::encodeName(path));
    }
    ~tStateHome() { qputenv("XDG_STATE_HOME", FOld); }

  private:
    QByteArray FOld;
};

struct tSavingWindow : tLessonFixture {
    QString Scenario(const QString& sensor = QStringLiteral("NO")) {
        return folder.AddScenario(QStringLiteral("Тепло"), ScenarioLines(sensor, 20000), QByteArray(),
                                  SimpleRtf(QStringLiteral("Report")));
    }
    static void Type(tTestMain& w, const QString& text) { w.Frame()->ReportView()->insertPlainText(text); }
    // «Сохранить как...» into `path`, written.
    static void SaveAs(tTestMain& w, const QString& path) {
        w.NextLessonPath = path;
        w.Execute(w.acFileSaveLessonAs);
        ASSERT_EVENTUALLY(w.LessonPath() == path && !w.LessonUnsaved(), 20000);
    }
    // The report's text as the file holds it.
    static QString ReportIn(const QString& path) {
        tLesson back;
        ReadLesson(path, back);
        QTextDocument report;
        ReadRtf(back.Document(tLesson::Report), report);
        return report.toPlainText();
    }
    // The box of a save that failed, with the way out.
    void ExpectFailureBox(size_t index, const QString& text) {
        ASSERT_EVENTUALLY(boxes.Seen.size() > index, 20000);
        EXPECT_EQ(boxes.Seen[index].kind, tBoxRequest::Error);
        EXPECT_EQ(boxes.Seen[index].text, text);
        EXPECT_EQ(boxes.Seen[index].offer, kSaveAs);
    }
    static QString AutosaveReport() {
        const QString left = tAutosave::Leftover(tAutosave::LocalFolder());
        return left.isEmpty() ? QString() : ReportIn(left);
    }
};
}  // namespace

TEST_F(tSavingWindow, AnotherProgramsWriteTransactionRefusesCtrlSAndBothKeepTheirWork) {
    tTestMain w(folder);
    w.Choose(Scenario());
    Type(w, QStringLiteral("первое"));
    ASSERT_NO_FATAL_FAILURE(SaveAs(w, LessonPath()));
    Type(w, QStringLiteral(" второе"));

    tSqliteShell teacher(LessonPath());
    ASSERT_TRUE(teacher.Hold("INSERT OR REPLACE INTO lesson(key, value) VALUES ('note', 'учитель');"));
    // Ctrl+S twice, «Отмена» both times: the file is left to the other program.
    boxes.Seen.clear();
    boxes.Default = false;
    const QString locked =
        QStringLiteral("Файл урока %1 занят другой программой.\r\nЗакройте её и повторите попытку.")
            .arg(Quoted(LessonPath()));
    for (size_t attempt = 0; attempt < 2; ++attempt) {
        w.Execute(w.acFileSaveLesson);
        ASSERT_NO_FATAL_FAILURE(ExpectFailureBox(attempt, locked));
        EXPECT_TRUE(w.LessonUnsaved());
        EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral(" *")));
    }
    w.Autosave()->SaveNow();
    w.Autosave()->Flush();
    EXPECT_TRUE(AutosaveReport().contains(QStringLiteral("второе")));

    // The other program's commit goes through; the file holds its note and the lesson as saved.
    EXPECT_TRUE(teacher.Commit());
    EXPECT_EQ(Query(LessonPath(), "SELECT value FROM lesson WHERE key = 'note'"),
              QStringList{QStringLiteral("учитель")});
    EXPECT_TRUE(ReportIn(LessonPath()).startsWith(QStringLiteral("первоеReport")));

    // Now Ctrl+S goes through, without a box, and the note stays.
    w.Execute(w.acFileSaveLesson);
    EXPECT_EVENTUALLY(!w.LessonUnsaved(), 20000);
    EXPECT_EQ(boxes.Seen.size(), 2u);
    EXPECT_TRUE(ReportIn(LessonPath()).startsWith(QStringLiteral("первое второеReport")));
    EXPECT_EQ(Query(LessonPath(), "SELECT value FROM lesson WHERE key = 'note'"),
              QStringList{QStringLiteral("учитель")});
    EXPECT_FALSE(w.windowTitle().endsWith(QStringLiteral(" *")));
}

TEST_F(tSavingWindow, AReadOnlyLessonStaysAsItWasAndSaveAsInTheBoxTakesTheWorkElsewhere) {
    tTestMain w(folder);
    w.Choose(Scenario());
    Type(w, QStringLiteral("первое"));
    ASSERT_NO_FATAL_FAILURE(SaveAs(w, LessonPath()));
    Type(w, QStringLiteral(" второе"));
    ASSERT_TRUE(QFile::setPermissions(LessonPath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    const QByteArray before = FileBytes(LessonPath());

    const QString readOnly = QStringLiteral(
                                 "Файл урока %1 доступен только для чтения, урок в него не записан.\r\n"
                                 "Сохраните урок под другим именем («Сохранить как...»).")
                                 .arg(Quoted(LessonPath()));
    boxes.Seen.clear();
    boxes.Answers = {false};
    w.Execute(w.acFileSaveLesson);
    ASSERT_NO_FATAL_FAILURE(ExpectFailureBox(0, readOnly));
    EXPECT_TRUE(w.LessonUnsaved());

    // The second time the pupil takes the way out: the lesson goes to another file.
    const QString other = LessonPath(QStringLiteral("копия.rovelin"));
    w.NextLessonPath = other;
    boxes.Answers = {true};
    w.Execute(w.acFileSaveLesson);
    ASSERT_NO_FATAL_FAILURE(ExpectFailureBox(1, readOnly));
    ASSERT_EVENTUALLY(w.LessonPath() == other && !w.LessonUnsaved(), 20000);
    EXPECT_EQ(boxes.Seen.size(), 2u);
    EXPECT_EQ(FileBytes(LessonPath()), before);
    EXPECT_TRUE(ReportIn(other).startsWith(QStringLiteral("первое второеReport")));
    EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral(" - копия.rovelin")));
    EXPECT_EQ(w.RecentLessons().value(0), other);
}

TEST_F(tSavingWindow, AFileReplacedBehindTheProgramsBackIsNeverAddedToAndTheExitKeepsTheWork) {
    tTestMain w(folder);
    w.Choose(Scenario());
    Type(w, QStringLiteral("первое"));
    ASSERT_NO_FATAL_FAILURE(SaveAs(w, LessonPath()));
    Type(w, QStringLiteral(" второе"));

    // Another lesson, with a run of its own, is moved into its place.
    tLesson another;
    tRun* run = another.AddRun(0.1);
    for (int i = 0; i < 500; ++i) run->Append(i * 0.25);
    another.SetDocument(tLesson::Report, SimpleRtf(QStringLiteral("another")));
    tLessonWriter(LessonPath(QStringLiteral("чужой.rovelin"))).Save(another);
    ASSERT_TRUE(QFile::remove(LessonPath()));
    ASSERT_TRUE(QFile::rename(LessonPath(QStringLiteral("чужой.rovelin")), LessonPath()));
    const QByteArray before = FileBytes(LessonPath());

    boxes.Seen.clear();
    boxes.Default = false;
    const QString replaced =
        QStringLiteral(
            "На месте файла урока %1 теперь другой файл (его заменили после того, как урок был открыт или "
            "сохранён), урок в него не записан.\r\nСохраните урок под другим именем («Сохранить как...»).")
            .arg(Quoted(LessonPath()));
    w.Execute(w.acFileSaveLesson);
    ASSERT_NO_FATAL_FAILURE(ExpectFailureBox(0, replaced));
    EXPECT_TRUE(w.LessonUnsaved());
    EXPECT_EQ(FileBytes(LessonPath()), before);
    tLesson back;
    ReadLesson(LessonPath(), back);
    ASSERT_EQ(back.RunCount(), 1);
    EXPECT_EQ(back.Run(0)->Count(), 500);
    EXPECT_EQ(back.Run(0)->Y(499), 499 * 0.25);

    // Leaving with «Сохранить»: the save fails again, so the window stays and the autosave with it.
    w.SaveAnswer = tSaveChoice::Save;
    EXPECT_FALSE(w.close());
    ASSERT_NO_FATAL_FAILURE(ExpectFailureBox(1, replaced));
    EXPECT_EQ(boxes.Seen.size(), 2u);  // no exit question
    EXPECT_EQ(FileBytes(LessonPath()), before);
    w.Autosave()->SaveNow();
    w.Autosave()->Flush();
    EXPECT_TRUE(AutosaveReport().contains(QStringLiteral("второе")));
}

TEST_F(tSavingWindow, CtrlSGoesOnWithoutWaitingAndTheExitWaitsForTheFile) {
    tTestMain w(folder);
    w.Choose(Scenario());
    Type(w, QStringLiteral("первое"));
    ASSERT_NO_FATAL_FAILURE(SaveAs(w, LessonPath()));

    // Two Ctrl+S in a row, the second while the first is being written, then the exit at once.
    Type(w, QStringLiteral(" второе"));
    w.Execute(w.acFileSaveLesson);
    Type(w, QStringLiteral(" третье"));
    w.Execute(w.acFileSaveLesson);
    boxes.Seen.clear();
    boxes.Default = true;
    EXPECT_TRUE(w.close());
    // Both were written before the exit question; nothing was unsaved, so no save question.
    EXPECT_EQ(w.SaveQuestions, 0);
    EXPECT_EQ(boxes.Texts(), QStringList{LoadStr(msg::ExitQuestion)});
    EXPECT_TRUE(ReportIn(LessonPath()).startsWith(QStringLiteral("первое второе третьеReport")));
    EXPECT_TRUE(tAutosave::Leftover(tAutosave::LocalFolder()).isEmpty());
}

TEST_F(tSavingWindow, TheAutosavesFailureStaysInTheStatusBarUntilAWriteSucceeds) {
    // The state folder cannot be made: a file has its name.
    QTemporaryDir home;
    const QString blocker = home.filePath(QStringLiteral("rovelin"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    tStateHome state(home.path());
    tTestMain w(folder);
    w.Choose(Scenario(QStringLiteral("T100")));
    QLabel* note = w.stbMain->findChild<QLabel*>(QStringLiteral("stbNote"));
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isHidden());

    w.Execute(w.acExperimentStart);
    ASSERT_TRUE(w.IsMeasuring());
    EXPECT_EVENTUALLY(!note->isHidden(), 20000);
    EXPECT_TRUE(note->text().startsWith(QStringLiteral("Автосохранение не удалось: ")))
        << note->text().toStdString();

    // The folder can be made again: the next write goes through and the note goes.
    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_EVENTUALLY(note->isHidden(), 20000);
    w.Execute(w.acExperimentStop);
    w.Autosave()->Flush();
    tLesson kept;
    ReadLesson(tAutosave::FileIn(blocker), kept);
    ASSERT_EQ(kept.RunCount(), 1);
    EXPECT_EQ(kept.Run(0)->Count(), w.Lesson()->Run(0)->Count());
}

TEST_F(tSavingWindow, OnAFullDiskCtrlSSaysWhyAndGoesThroughOnceTheNewPointsFit) {
    QTemporaryDir dir;
    rovelin_test::tSmallDisk disk(dir.path(), "4m");
    if (!disk) GTEST_SKIP() << disk.Why();
    // The lesson and the autosave both on the small disk; the window's writing threads start after
    // the mount, so they see it.
    tStateHome state(dir.filePath(QStringLiteral("state")));
    tTestMain w(folder);
    w.Choose(Scenario(QStringLiteral("T100")));
    const QString path = dir.filePath(QStringLiteral("урок.rovelin"));
    tRun* first = nullptr;
    {
        w.Execute(w.acExperimentStart);
        first = w.Lesson()->SeriesRun(w.CurrentSeries());
        ASSERT_EVENTUALLY(first->Count() >= 10, 20000);
        w.Execute(w.acExperimentStop);
    }
    ASSERT_NO_FATAL_FAILURE(SaveAs(w, path));
    const qsizetype saved = first->Count();

    // Something else fills the disk to the last byte; a second run goes on.
    QFile filler(dir.filePath(QStringLiteral("filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(64 * 1024, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    w.Execute(w.acExperimentStart);
    QLabel* note = w.stbMain->findChild<QLabel*>(QStringLiteral("stbNote"));
    EXPECT_EVENTUALLY(note->text() == QStringLiteral("Автосохранение не удалось: на диске нет места"), 20000)
        << note->text().toStdString();
    EXPECT_FALSE(note->isHidden());
    tRun* second = w.Lesson()->SeriesRun(w.CurrentSeries());
    ASSERT_EVENTUALLY(second->Count() >= 10, 20000);
    w.Execute(w.acExperimentStop);

    boxes.Seen.clear();
    boxes.Default = false;
    w.Execute(w.acFileSaveLesson);
    ASSERT_NO_FATAL_FAILURE(ExpectFailureBox(
        0, QStringLiteral("Невозможно сохранить урок в файл %1.\r\nСистема сообщает: на диске нет места")
               .arg(Quoted(path))));
    EXPECT_TRUE(w.LessonUnsaved());
    tLesson back;
    ReadLesson(path, back);
    ASSERT_EQ(back.RunCount(), 1);
    EXPECT_EQ(back.Run(0)->Count(), saved);

    // Some room comes back: Ctrl+S adds the new run, and the autosave's note goes.
    ASSERT_TRUE(filler.resize(filler.size() - 400 * 1024));
    w.Execute(w.acFileSaveLesson);
    ASSERT_EVENTUALLY(!w.LessonUnsaved(), 20000);
    EXPECT_EQ(boxes.Seen.size(), 1u);
    tLesson after;
    ReadLesson(path, after);
    ASSERT_EQ(after.RunCount(), 2);
    EXPECT_EQ(after.Run(0)->Count(), saved);
    EXPECT_EQ(after.Run(1)->Count(), second->Count());
    EXPECT_EVENTUALLY(note->isHidden(), 20000);
}
