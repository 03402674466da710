// SPDX-License-Identifier: GPL-3.0-or-later
// rovelin_kernel_guest: the rig's tests, run inside the guest (tests/kernel/Rig.h).
//   rovelin_kernel_guest --control <tty> [GoogleTest options]   runs the tests
//   rovelin_kernel_guest --hold <node>                          holds a serial port open for
//                                                               another test until stdin closes
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "app/Program.h"
#include "platform/Termiosport.h"
#include "tests/kernel/Guestsupport.h"
#include "tests/support/Userfolders.h"

namespace {

int HoldPort(const char* node) {
    QString error;
    std::unique_ptr<tCommPort> port = OpenTermiosPort(QString::fromLocal8Bit(node), error);
    if (!port) {
        std::fprintf(stderr, "cannot hold %s: %s\n", node, error.toLocal8Bit().constData());
        return 1;
    }
    std::printf("HELD\n");
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hold") == 0) return HoldPort(argv[2]);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    tApplication app(argc, argv);
    // Autosaves, recent lessons and settings are this run's own, as in the window's own tests.
    rovelin_test::tUserFolders folders;
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--control") == 0 &&
            !rig::Control().Open(QString::fromLocal8Bit(argv[i + 1]))) {
            std::fprintf(stderr, "cannot open the control line %s\n", argv[i + 1]);
            return 1;
        }
    }
    return RUN_ALL_TESTS();
}
