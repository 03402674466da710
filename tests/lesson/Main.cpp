// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry: a QCoreApplication for timers and queued signals. The binary also serves as the child
// programs of the kill-and-restore tests (Autosave_test.cpp, Children.cpp).
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "tests/support/Userfolders.h"

int RunAutosaveChild(int argc, char** argv);       // Autosave_test.cpp; -1 = not a child run
int RunLessonChild(int argc, char** argv);         // Children.cpp; -1 = not a child run
int MakeVersionOneFixture(int argc, char** argv);  // Upgrade_test.cpp

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const rovelin_test::tUserFolders folders;  // state and settings of this run only
    for (auto* run : {RunAutosaveChild, RunLessonChild, MakeVersionOneFixture}) {
        const int child = run(argc, argv);
        if (child >= 0) return child;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
