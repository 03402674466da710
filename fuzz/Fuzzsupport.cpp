// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/Fuzzsupport.h"

#include <QGuiApplication>

namespace rovelin_fuzz {
void EnsureGuiApplication() {
    if (QCoreApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "rovelin-fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}
}  // namespace rovelin_fuzz
