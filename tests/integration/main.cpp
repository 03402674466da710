// SPDX-License-Identifier: GPL-3.0-or-later
// The integration tests run with a QApplication (offscreen), as the program does.
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/Userfolders.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // Autosaves, the list of recent lessons and the settings are this run's, never the user's own.
    rovelin_test::tUserFolders folders;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
