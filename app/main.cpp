// Program entry: the application object and the program run (Program.cpp).
#include "app/Program.h"

#include <cstdio>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    if (const QString text = NoDisplayText(arguments); !text.isEmpty()) {
        std::fputs(text.toLocal8Bit().constData(), stderr);
        return 1;
    }
    tApplication app(argc, argv);
    return RunProgram(app, QCoreApplication::arguments().mid(1));
}
