// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry: one QApplication for the widget tests (offscreen), then GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/Userfolders.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    rovelin_test::tUserFolders folders;  // no school settings but a test's own
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
