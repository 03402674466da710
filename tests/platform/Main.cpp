// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry: a QCoreApplication (socket notifiers, local-8-bit texts), then GoogleTest.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
