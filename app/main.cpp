// Program entry: the application object and the program run (Program.cpp).
#include "app/Program.h"

int main(int argc, char** argv) {
    tApplication app(argc, argv);
    return RunProgram(app, QCoreApplication::arguments().mid(1));
}
