// SPDX-License-Identifier: GPL-3.0-or-later
// The chart and the rich-text view are widgets: the suite runs inside one QApplication.
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/Userfolders.h"

int main(int argc, char** argv) {
    // Test discovery starts the program without the test environment: stay headless there too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    rovelin_test::tUserFolders folders;  // the dialogs' lesson folder comes from no real settings
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
