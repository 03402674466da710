// SPDX-License-Identifier: GPL-3.0-or-later
// The program's icon artwork rendered to a square image: used for the window icon and, by the
// build, for the installed PNG icons, so both are the same pixels.
#pragma once

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

inline QImage RenderArtwork(QSvgRenderer& artwork, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    artwork.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return image;
}
