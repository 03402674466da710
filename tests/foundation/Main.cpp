// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry: a QCoreApplication for posted events, sockets and signal waits. The binary also
// serves as the second program start in the single-instance tests (see Singleinstance_test.cpp).
#include <gtest/gtest.h>

#include <QCoreApplication>

int RunSingleInstanceHelper(int argc, char** argv);  // Singleinstance_test.cpp; -1 = not a helper run

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    const int helper = RunSingleInstanceHelper(argc, argv);
    if (helper >= 0) return helper;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
