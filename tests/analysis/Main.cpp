// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry: a core application (the model needs an event loop object, no windows), then GoogleTest.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
