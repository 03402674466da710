// SPDX-License-Identifier: GPL-3.0-or-later
// The test program's entry: one offscreen application object for every suite.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/Program.h"

int RunSecondStartHelper(QApplication& app, int argc, char** argv);  // Lesson_test.cpp; -1 = no helper

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    tApplication app(argc, argv);
    // A second start run by a test shares that test's folders (its lock is found there).
    if (const int helper = RunSecondStartHelper(app, argc, argv); helper >= 0) return helper;
    // Autosaves and the list of recent lessons go to a folder of this run, never the user's own.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
