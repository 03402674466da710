// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: the application object and the program run (Program.cpp).
#include <QCoreApplication>
#include <cstdio>

#include "app/Program.h"
#include "foundation/Language.h"

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    // --help and --version answer on the terminal: no display, no second-start hand-over.
    // Both answers speak the system's language: a display-less application carries the translation.
    if (!CommandLineAnswer(arguments).isEmpty()) {
        QCoreApplication terminal(argc, argv);
        InstallInterfaceLanguage(terminal, SystemLanguage());
        std::fputs(CommandLineAnswer(arguments).toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!NoDisplayText(arguments).isEmpty()) {
        QCoreApplication terminal(argc, argv);
        InstallInterfaceLanguage(terminal, SystemLanguage());
        std::fputs(NoDisplayText(arguments).toLocal8Bit().constData(), stderr);
        return 1;
    }
    tApplication app(argc, argv);
    return RunProgram(app, QCoreApplication::arguments().mid(1));
}
