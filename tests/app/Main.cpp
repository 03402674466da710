// SPDX-License-Identifier: GPL-3.0-or-later
// The test program's entry: one offscreen application object for every suite.
#include <gtest/gtest.h>

#include "app/Program.h"
#include "tests/support/Userfolders.h"

int RunSecondStartHelper(QApplication& app, int argc, char** argv);  // Lesson_test.cpp; -1 = no helper

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    tApplication app(argc, argv);
    // A second start run by a test shares that test's folders (its lock is found there).
    if (const int helper = RunSecondStartHelper(app, argc, argv); helper >= 0) return helper;
    // Autosaves, the list of recent lessons and the settings are this run's, never the user's own.
    rovelin_test::tUserFolders folders;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
