// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures are drawn in code, so no image files ship with it: one transparent,
// antialiased square pixmap, painted by a callback in its own coordinates; and an icon that paints
// itself afresh for every size and screen scale, so toolbars stay sharp at 150 % and 200 %.
#pragma once

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <functional>
#include <utility>

// `paint` draws on a `size` × `size` canvas scaled by `scale` (1 = pixels).
template <class tPaint>
QImage PaintedImage(int size, tPaint&& paint, qreal scale = 1.0) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    paint(painter);
    painter.end();
    return image;
}

template <class tPaint>
QPixmap PaintedPixmap(int size, tPaint&& paint, qreal scale = 1.0) {
    return QPixmap::fromImage(PaintedImage(size, std::forward<tPaint>(paint), scale));
}

// An icon drawn on a `design` × `design` canvas and painted at whatever device pixels a widget
// asks for (Qt asks for the logical size times the screen's device-pixel ratio). `tint`, when
// given, turns the normal picture into the one of another mode (active, disabled).
class tPaintedIconEngine : public QIconEngine {
  public:
    using tPaint = std::function<void(QPainter&)>;
    using tTint = std::function<QImage(const QImage&, QIcon::Mode)>;

    tPaintedIconEngine(int design, tPaint paint, tTint tint = {})
        : FDesign(design), FPaint(std::move(paint)), FTint(std::move(tint)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap image = pixmap(rect.size() * ratio, mode, state);
        image.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect.topLeft(), image);
    }

    // `size` is in device pixels: QIcon has multiplied the logical size by the ratio already.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        const int side = qMin(size.width(), size.height());
        if (side <= 0) return QPixmap();
        QImage image = PaintedImage(side, FPaint, side / qreal(FDesign));
        if (FTint && mode != QIcon::Normal) image = FTint(image, mode);
        return QPixmap::fromImage(image);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = qMin(size.width(), size.height());
        return QSize(side, side);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {QSize(FDesign, FDesign)}; }
    QIconEngine* clone() const override { return new tPaintedIconEngine(*this); }
    QString key() const override { return QStringLiteral("rovelin-painted"); }

  private:
    int FDesign;
    tPaint FPaint;
    tTint FTint;
};

inline QIcon PaintedIcon(int design, tPaintedIconEngine::tPaint paint, tPaintedIconEngine::tTint tint = {}) {
    return QIcon(new tPaintedIconEngine(design, std::move(paint), std::move(tint)));
}
