// SPDX-License-Identifier: GPL-3.0-or-later
// Where the file dialogs open: the folder chosen last, before that the school's lesson folder.
#include "components/Dialogfolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

TEST(DialogFolder, TheSchoolsLessonFolderFirstThenTheFolderChosenLast) {
    QTemporaryDir dir;
    const QString school = qEnvironmentVariable("XDG_CONFIG_DIRS") + QStringLiteral("/rovelin/school.conf");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(school).absolutePath()));
    QFile file(school);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("LessonFolder = %1/уроки/5А\n").arg(dir.path()).toUtf8());
    file.close();
    // A pupil's first dialog: the lesson folder, made for it.
    EXPECT_EQ(DialogFolder(), dir.path() + QStringLiteral("/уроки/5А"));
    EXPECT_TRUE(QFileInfo(dir.path() + QStringLiteral("/уроки/5А")).isDir());
    RememberDialogFolder(dir.path() + QStringLiteral("/мои/график.bmp"));
    EXPECT_EQ(DialogFolder(), dir.path() + QStringLiteral("/уроки/5А")) << "that folder is not there";
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/мои")));
    EXPECT_EQ(DialogFolder(), dir.path() + QStringLiteral("/мои"));
    QFile::remove(school);
}
