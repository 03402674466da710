// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: the application object and the program run (Program.cpp).
#include <cstdio>

#include "app/Program.h"

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    // --help and --version answer on the terminal: no display, no second-start hand-over.
    if (const QString answer = CommandLineAnswer(arguments); !answer.isEmpty()) {
        std::fputs(answer.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (const QString text = NoDisplayText(arguments); !text.isEmpty()) {
        std::fputs(text.toLocal8Bit().constData(), stderr);
        return 1;
    }
    tApplication app(argc, argv);
    return RunProgram(app, QCoreApplication::arguments().mid(1));
}
