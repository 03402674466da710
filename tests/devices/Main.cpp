// SPDX-License-Identifier: GPL-3.0-or-later
// The device tests run without a display; message boxes are answered, never shown.
#include <gtest/gtest.h>

#include <QApplication>

#include "devices/Devicetimings.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
