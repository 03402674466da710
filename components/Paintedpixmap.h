// The program's pictures are drawn in code, so no image files ship with it: one transparent,
// antialiased square pixmap, painted by a callback in its own coordinates.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPixmap>

// `paint` draws on a `size` × `size` canvas scaled by `scale` (1 = pixels).
template <class tPaint>
QPixmap PaintedPixmap(int size, tPaint&& paint, qreal scale = 1.0) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    paint(painter);
    painter.end();
    return QPixmap::fromImage(image);
}
