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

namespace {
// A small chart: axes and a rising red curve inside `r`.
void SmallChart(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(90, 90, 90), 1.5));
    p.drawLine(QPointF(r.left(), r.top()), QPointF(r.left(), r.bottom()));
    p.drawLine(QPointF(r.left(), r.bottom()), QPointF(r.right(), r.bottom()));
    p.setPen(QPen(QColor(200, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath curve(QPointF(r.left() + 2, r.bottom() - 3));
    curve.cubicTo(QPointF(r.left() + r.width() * 0.35, r.bottom() - 3),
                  QPointF(r.left() + r.width() * 0.45, r.top() + 3), QPointF(r.right() - 2, r.top() + 4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
}
}  // namespace

QIcon Lesson() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(QColor(30, 90, 60), 1.5));
        p.setBrush(QColor(60, 150, 100));
        p.drawRoundedRect(QRectF(5, 3, 22, 26), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 6, 16, 20));
        SmallChart(p, QRectF(11, 9, 12, 14));
    });
}

QIcon StepChoose() {
    return PaintedIcon(64, [](QPainter& p) {
        // Three scenario cards, the middle one pressed by a pointer.
        for (int i = 0; i < 3; ++i) {
            const bool chosen = i == 1;
            p.setPen(QPen(chosen ? QColor(40, 90, 190) : QColor(150, 150, 150), chosen ? 2.5 : 1.5));
            p.setBrush(chosen ? QColor(220, 232, 255) : Qt::white);
            const QRectF card(4, 4 + i * 19, 44, 15);
            p.drawRoundedRect(card, 3, 3);
            p.setPen(QPen(QColor(200, 30, 30), 2));
            p.drawPolyline(QPolygonF({card.topLeft() + QPointF(5, 11), card.topLeft() + QPointF(9, 6),
                                      card.topLeft() + QPointF(13, 8), card.topLeft() + QPointF(17, 3)}));
            p.setPen(QPen(QColor(110, 110, 110), 2));
            p.drawLine(card.topLeft() + QPointF(22, 6), card.topLeft() + QPointF(39, 6));
            p.drawLine(card.topLeft() + QPointF(22, 10), card.topLeft() + QPointF(33, 10));
        }
        p.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(38, 30), QPointF(38, 54), QPointF(44, 48), QPointF(48, 58),
                                 QPointF(52, 56), QPointF(48, 46), QPointF(56, 46)}));
    });
}

QIcon StepMeasure() {
    return PaintedIcon(64, [](QPainter& p) {
        p.setPen(QPen(QColor(150, 150, 150), 1.5));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(3, 6, 50, 42), 3, 3);
        SmallChart(p, QRectF(9, 12, 38, 30));
        // The start button.
        p.setPen(QPen(QColor(20, 110, 40), 1.5));
        p.setBrush(QColor(40, 170, 70));
        p.drawEllipse(QRectF(36, 36, 25, 25));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(45, 42), QPointF(45, 55), QPointF(55, 48.5)}));
    });
}

QIcon StepSave() {
    return PaintedIcon(64, [](QPainter& p) {
        // The report page and the lesson going to the disk.
        p.setPen(QPen(QColor(90, 90, 90), 1.5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 4, 34, 44));
        SmallChart(p, QRectF(9, 9, 24, 16));
        p.setPen(QPen(QColor(40, 80, 160), 2));
        for (int y = 31; y <= 43; y += 6) p.drawLine(9, y, 33, y);
        p.setPen(QPen(QColor(30, 40, 90), 1.5));
        p.setBrush(QColor(60, 90, 170));
        p.drawRoundedRect(QRectF(30, 30, 30, 30), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(37, 30, 16, 10));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(36, 47, 18, 13));
    });
}
}  // namespace experimenticons
