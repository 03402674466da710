// SPDX-License-Identifier: GPL-3.0-or-later
// Build tool: renders the program's SVG icon to the hicolor theme's PNG sizes.
// rovelin_rendericon <svg> <output folder> <icon name> <size>... writes <folder>/<N>x<N>/<name>.png.
#include <QDir>
#include <QGuiApplication>
#include <QSvgRenderer>
#include <cstdio>

#include "app/Artwork.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 5) {
        std::fputs("usage: rovelin_rendericon <svg> <output folder> <icon name> <size>...\n", stderr);
        return 2;
    }
    QSvgRenderer artwork(args[1]);
    if (!artwork.isValid()) {
        std::fprintf(stderr, "rovelin_rendericon: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    for (const QString& text : args.mid(4)) {
        bool ok = false;
        const int size = text.toInt(&ok);
        const QString folder = args[2] + QStringLiteral("/%1x%1").arg(size);
        if (!ok || size <= 0 || !QDir().mkpath(folder) ||
            !RenderArtwork(artwork, size)
                 .save(folder + QLatin1Char('/') + args[3] + QStringLiteral(".png"))) {
            std::fprintf(stderr, "rovelin_rendericon: cannot write the %s px icon\n", qPrintable(text));
            return 1;
        }
    }
    return 0;
}
