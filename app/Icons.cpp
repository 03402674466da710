// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Icons.h"

#include <QPainter>
#include <QPainterPath>

#include "app/Artwork.h"
#include "components/Paintedpixmap.h"

namespace {
constexpr int kSize = 24;

QPen Outline(const QColor& color, qreal width = 1.5) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void DrawExit(QPainter& p) {
    // A door with an arrow leaving it.
    p.setPen(Outline(QColor(90, 60, 30)));
    p.setBrush(QColor(200, 150, 90));
    p.drawRect(QRectF(3.5, 2.5, 10, 19));
    p.setBrush(QColor(90, 60, 30));
    p.drawEllipse(QPointF(11, 12.5), 1, 1);
    p.setPen(Outline(QColor(200, 30, 30), 2.5));
    p.drawLine(QPointF(12, 12), QPointF(21, 12));
    p.drawLine(QPointF(17.5, 8.5), QPointF(21, 12));
    p.drawLine(QPointF(17.5, 15.5), QPointF(21, 12));
}

void DrawAbout(QPainter& p) {
    p.setPen(Outline(QColor(20, 70, 160)));
    p.setBrush(QColor(70, 130, 220));
    p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 7.5), 1.8, 1.8);
    p.drawRoundedRect(QRectF(10.3, 10.5, 3.4, 8.5), 1, 1);
}

void DrawConnect(QPainter& p) {
    // A plug meeting its socket.
    p.setPen(Outline(QColor(40, 40, 40)));
    p.setBrush(QColor(120, 120, 130));
    p.drawRoundedRect(QRectF(2.5, 8.5, 8, 7), 1.5, 1.5);
    p.setBrush(QColor(230, 180, 40));
    p.drawRect(QRectF(10.5, 9.5, 3, 1.8));
    p.drawRect(QRectF(10.5, 12.7, 3, 1.8));
    p.setBrush(QColor(60, 150, 60));
    p.drawRoundedRect(QRectF(14.5, 7.5, 7, 9), 1.5, 1.5);
    p.setPen(Outline(QColor(40, 40, 40), 2));
    p.drawLine(QPointF(2.5, 12), QPointF(0.5, 12));
    p.drawLine(QPointF(21.5, 12), QPointF(23.5, 12));
}

void DrawChoose(QPainter& p) {
    // An open folder with a flask.
    p.setPen(Outline(QColor(150, 110, 20)));
    p.setBrush(QColor(245, 205, 90));
    QPainterPath folder;
    folder.moveTo(2.5, 6.5);
    folder.lineTo(9, 6.5);
    folder.lineTo(11, 8.5);
    folder.lineTo(21.5, 8.5);
    folder.lineTo(21.5, 20.5);
    folder.lineTo(2.5, 20.5);
    folder.closeSubpath();
    p.drawPath(folder);
    p.setPen(Outline(QColor(30, 90, 160)));
    p.setBrush(QColor(120, 200, 240));
    QPainterPath flask;
    flask.moveTo(10.5, 3.5);
    flask.lineTo(13.5, 3.5);
    flask.lineTo(13.5, 9);
    flask.lineTo(17.5, 17.5);
    flask.lineTo(6.5, 17.5);
    flask.lineTo(10.5, 9);
    flask.closeSubpath();
    p.drawPath(flask);
}

void DrawStop(QPainter& p) {
    p.setPen(Outline(QColor(120, 10, 10)));
    p.setBrush(QColor(220, 40, 40));
    p.drawRoundedRect(QRectF(4.5, 4.5, 15, 15), 2, 2);
}

void DrawStart(QPainter& p) {
    p.setPen(Outline(QColor(20, 100, 20)));
    p.setBrush(QColor(60, 190, 60));
    const QPointF triangle[] = {{6.5, 3.5}, {20.5, 12}, {6.5, 20.5}};
    p.drawPolygon(triangle, 3);
}

void DrawMark(QPainter& p) {
    // A curve with a flag on one of its points.
    p.setPen(Outline(QColor(200, 30, 30), 2));
    p.setBrush(Qt::NoBrush);
    QPainterPath curve;
    curve.moveTo(1.5, 20);
    curve.cubicTo(7, 19, 9, 14, 12, 14);
    curve.cubicTo(16, 14, 18, 19, 22.5, 18);
    p.drawPath(curve);
    p.setPen(Outline(QColor(40, 40, 40)));
    p.drawLine(QPointF(12, 14), QPointF(12, 2.5));
    p.setBrush(QColor(250, 200, 0));
    const QPointF flag[] = {{12, 2.5}, {20, 5.5}, {12, 8.5}};
    p.drawPolygon(flag, 3);
}

void DrawExport(QPainter& p) {
    // A page with an arrow pointing out of it.
    p.setPen(Outline(QColor(80, 80, 80)));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 2.5, 12, 17));
    p.setPen(Outline(QColor(150, 150, 150), 1));
    for (qreal y = 6.5; y < 17; y += 3) p.drawLine(QPointF(6, y), QPointF(13, y));
    p.setPen(Outline(QColor(20, 110, 200), 2.5));
    p.drawLine(QPointF(11, 15), QPointF(21, 15));
    p.drawLine(QPointF(17.5, 11.5), QPointF(21, 15));
    p.drawLine(QPointF(17.5, 18.5), QPointF(21, 15));
}

void DrawPrint(QPainter& p) {
    p.setPen(Outline(QColor(70, 70, 70)));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 2.5, 11, 7));
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(QRectF(2.5, 8.5, 19, 9), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 14.5, 11, 7));
    p.setPen(Outline(QColor(60, 170, 60), 1));
    p.drawPoint(QPointF(19, 11));
}

void DrawAddImage(QPainter& p) {
    // A picture (sun over hills) with a plus.
    p.setPen(Outline(QColor(70, 70, 70)));
    p.setBrush(QColor(170, 215, 250));
    p.drawRect(QRectF(1.5, 4.5, 17, 14));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 200, 30));
    p.drawEllipse(QPointF(6, 8.5), 2, 2);
    p.setBrush(QColor(70, 160, 60));
    const QPointF hills[] = {{2, 18}, {8, 11}, {12, 15}, {14, 13}, {18, 18}};
    p.drawPolygon(hills, 5);
    p.setPen(Outline(QColor(20, 120, 20), 3));
    p.drawLine(QPointF(19, 14), QPointF(19, 22));
    p.drawLine(QPointF(15, 18), QPointF(23, 18));
}

// Disabled: grey, faded; hot: a little lighter, like a lit button.
QImage Recolour(const QImage& source, QIcon::Mode mode) {
    const bool disabled = mode == QIcon::Disabled;
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            if (disabled) {
                const int grey = 128 + qGray(c) / 3;
                line[x] = qRgba(grey, grey, grey, qAlpha(c) * 2 / 3);
            } else {
                line[x] = qRgba(qMin(255, qRed(c) + 30), qMin(255, qGreen(c) + 30), qMin(255, qBlue(c) + 30),
                                qAlpha(c));
            }
        }
    }
    return image;
}

using tDraw = void (*)(QPainter&);
constexpr tDraw kDraw[icCount] = {DrawExit,  DrawAbout, DrawConnect, DrawChoose, DrawStop,
                                  DrawStart, DrawMark,  DrawExport,  DrawPrint,  DrawAddImage};
}  // namespace

QPixmap DrawIconPixmap(int index) {
    if (index < 0 || index >= icCount) return QPixmap();
    return PaintedPixmap(kSize, kDraw[index]);
}

QIcon MainIcon(int index) {
    if (index < 0 || index >= icCount) return QIcon();
    return PaintedIcon(kSize, kDraw[index], Recolour);
}

QIcon ApplicationIcon() {
    // The installed icon's own artwork (packaging/rovelin.svg, built into the program), rendered at
    // the sizes window managers and task bars ask for.
    QSvgRenderer artwork(QStringLiteral(":/rovelin/rovelin.svg"));
    QIcon icon;
    if (!artwork.isValid()) return icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(RenderArtwork(artwork, size)));
    return icon;
}
