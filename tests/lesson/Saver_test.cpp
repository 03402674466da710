// SPDX-License-Identifier: GPL-3.0-or-later
// Saving off the lesson's thread: the saver copies what is new, returns at once, and tells how the
// write went on the lesson's thread; one write at a time; a failed write is retried as an
// increment once the file may be written again.
#include "lesson/Saver.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "lesson/Lesson.h"
#include "tests/lesson/Sample.h"
#include "tests/support/Wait.h"

namespace {
struct tLessonSaverTest : ::testing::Test {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("урок.rovelin"));
    tLesson lesson;
    tLessonSaver saver;
    void SetUp() override {
        FillLesson(lesson);
        saver.Writer().SetPath(path);
    }
};
}  // namespace

TEST_F(tLessonSaverTest, SavesOffTheThreadAndTellsHowItWent) {
    QList<bool> saved;
    QList<tLessonFault> failed;
    QString reason;
    QObject::connect(&saver, &tLessonSaver::Saved, [&](bool whole) { saved << whole; });
    QObject::connect(&saver, &tLessonSaver::Failed,
                     [&](tLessonFault fault, const QString&, const QString& why) {
                         failed << fault;
                         reason = why;
                     });

    EXPECT_EQ(saver.Save(lesson), tLessonSaver::tStart::Started);
    EXPECT_TRUE(saver.Busy());
    EXPECT_EQ(saver.Save(lesson), tLessonSaver::tStart::Busy);  // never two writes at once
    ASSERT_EVENTUALLY(saved.size() == 1);
    EXPECT_TRUE(saved[0]);  // the first write builds the file
    EXPECT_FALSE(saver.Busy());
    EXPECT_FALSE(saver.Writer().HasChanges(lesson));
    EXPECT_EQ(saver.Save(lesson), tLessonSaver::tStart::NothingNew);
    tLesson back;
    ReadLesson(path, back);
    ExpectSameLesson(lesson, back);

    // A read-only file: Failed with its own fault; the lesson keeps its unsaved points.
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner));
    lesson.Run(0)->Append(1);
    EXPECT_EQ(saver.Save(lesson), tLessonSaver::tStart::Started);
    EXPECT_FALSE(saver.Wait());
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed[0], tLessonFault::ReadOnly);
    EXPECT_EQ(reason, QStringLiteral("файл доступен только для чтения"));
    EXPECT_TRUE(saver.Writer().HasChanges(lesson));

    // Writable again: the next save adds the point to the same file.
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    lesson.Run(0)->Append(2);
    EXPECT_EQ(saver.Save(lesson), tLessonSaver::tStart::Started);
    EXPECT_TRUE(saver.Wait());
    ASSERT_EQ(saved.size(), 2);
    EXPECT_FALSE(saved[1]);
    tLesson again;
    ReadLesson(path, again);
    ExpectSameLesson(lesson, again);
}

TEST_F(tLessonSaverTest, AFailedSaveAsLeavesTheLessonWithItsFile) {
    ASSERT_EQ(saver.Save(lesson), tLessonSaver::tStart::Started);
    ASSERT_TRUE(saver.Wait());
    QList<bool> saved;
    QObject::connect(&saver, &tLessonSaver::Saved, [&](bool whole) { saved << whole; });

    // «Сохранить как» into a folder that is not there fails; Ctrl+S then goes on with the old file.
    lesson.Run(0)->Append(1);
    ASSERT_EQ(saver.SaveAs(lesson, dir.filePath(QStringLiteral("нет/урок.rovelin"))),
              tLessonSaver::tStart::Started);
    EXPECT_FALSE(saver.Wait());
    EXPECT_EQ(saver.Writer().Path(), path);
    ASSERT_EQ(saver.Save(lesson), tLessonSaver::tStart::Started);
    EXPECT_TRUE(saver.Wait());
    EXPECT_EQ(saved, QList<bool>{false});  // an increment to the old file

    // A «Сохранить как» that succeeds makes the new file the lesson's.
    const QString other = dir.filePath(QStringLiteral("копия.rovelin"));
    ASSERT_EQ(saver.SaveAs(lesson, other), tLessonSaver::tStart::Started);
    EXPECT_TRUE(saver.Wait());
    EXPECT_EQ(saver.Writer().Path(), other);
    lesson.Run(0)->Append(2);
    ASSERT_EQ(saver.Save(lesson), tLessonSaver::tStart::Started);
    EXPECT_TRUE(saver.Wait());
    EXPECT_EQ(saved, (QList<bool>{false, true, false}));
    tLesson back;
    ReadLesson(other, back);
    ExpectSameLesson(lesson, back);
    tLesson old;
    ReadLesson(path, old);
    EXPECT_EQ(old.Run(0)->Count(), lesson.Run(0)->Count() - 1);
}
