// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

#include "components/Paintedpixmap.h"

namespace experimenticons {
namespace {
QIcon Draw(const std::function<void(QPainter&)>& paint) {
    return PaintedIcon(32, paint);
}

void Folder(QPainter& p, bool open, QColor edgeColour = QColor(150, 110, 20),
            QColor backColour = QColor(240, 200, 80), QColor frontColour = QColor(250, 220, 120)) {
    p.setPen(QPen(edgeColour, 1.5));
    p.setBrush(backColour);
    QPainterPath back;
    back.moveTo(3, 8);
    back.lineTo(12, 8);
    back.lineTo(15, 11);
    back.lineTo(29, 11);
    back.lineTo(29, 27);
    back.lineTo(3, 27);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(frontColour);
    if (open)
        p.drawPolygon(QPolygonF({QPointF(7, 15), QPointF(31, 15), QPointF(27, 27), QPointF(3, 27)}));
    else
        p.drawRect(QRectF(3, 14, 26, 13));
}

void Page(QPainter& p, QRectF r) {
    p.setPen(QPen(QColor(90, 90, 90), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(r);
}
}  // namespace

QList<QIcon> TreeImages() {
    return {Draw([](QPainter& p) { Folder(p, false); }), Draw([](QPainter& p) { Folder(p, true); }),
            Draw([](QPainter& p) {
                // A sheet with a small curve: an experiment to run.
                Page(p, QRectF(6, 3, 20, 26));
                p.setPen(QPen(QColor(200, 30, 30), 2));
                p.drawPolyline(QPolygonF({QPointF(9, 23), QPointF(13, 16), QPointF(17, 19), QPointF(23, 9)}));
            }),
            Draw([](QPainter& p) {
                // A blue folder with a roof: the scenarios of a school (or a teacher) beside ours.
                Folder(p, false, QColor(30, 70, 140), QColor(90, 140, 220), QColor(140, 180, 240));
                p.setPen(QPen(Qt::white, 2));
                p.drawPolyline(QPolygonF({QPointF(10, 22), QPointF(16, 17), QPointF(22, 22)}));
            })};
}

QIcon Description() {
    return Draw([](QPainter& p) {
        Page(p, QRectF(6, 3, 20, 26));
        p.setPen(QPen(QColor(40, 80, 160), 2));
        for (int y = 9; y <= 23; y += 5) p.drawLine(10, y, 22, y);
    });
}

QIcon Copy() {
    return Draw([](QPainter& p) {
        Page(p, QRectF(3, 3, 16, 20));
        Page(p, QRectF(12, 9, 16, 20));
    });
}

QIcon Print() {
    return Draw([](QPainter& p) {
        Page(p, QRectF(9, 3, 14, 10));
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.setBrush(QColor(170, 170, 170));
        p.drawRoundedRect(QRectF(3, 12, 26, 11), 2, 2);
        Page(p, QRectF(9, 19, 14, 10));
    });
}

QIcon Save() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(QColor(30, 40, 90), 1.5));
        p.setBrush(QColor(60, 90, 170));
        p.drawRect(QRectF(4, 4, 24, 24));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 4, 14, 9));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(8, 18, 16, 10));
    });
}
}  // namespace experimenticons
