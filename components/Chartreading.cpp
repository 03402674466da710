// SPDX-License-Identifier: GPL-3.0-or-later
// TChart: what helps a pupil read the chart — fit to all data, the legend, point tooltips, the
// projector mode and a sharp rendering for the report.
#include <qcustomplot.h>

#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "components/Chart.h"

namespace {
constexpr char kCaptionProperty[] = "seriesCaption";

// Widens an empty span and adds a small margin, so no point sits on the frame.
QCPRange Padded(QCPRange range, double share) {
    if (range.size() <= 0) return QCPRange(range.lower - 1, range.upper + 1);
    const double pad = range.size() * share;
    return QCPRange(range.lower - pad, range.upper + pad);
}
}  // namespace

QFont ScaledFont(QFont font, double factor) {
    if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pixelSize() * factor))));
    else
        font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}

void TChart::ShowAll() {
    bool anyKey = false, anyValue = false;
    QCPRange keys, values;
    for (int i = 0; i < FPlot->plottableCount(); ++i) {
        QCPAbstractPlottable* plottable = FPlot->plottable(i);
        if (!plottable->visible()) continue;
        bool found = false;
        const QCPRange key = plottable->getKeyRange(found);
        if (!found) continue;
        keys = anyKey ? QCPRange(std::min(keys.lower, key.lower), std::max(keys.upper, key.upper)) : key;
        anyKey = true;
        const QCPRange value = plottable->getValueRange(found);
        if (!found) continue;
        values = anyValue ? QCPRange(std::min(values.lower, value.lower), std::max(values.upper, value.upper))
                          : value;
        anyValue = true;
    }
    if (!anyKey || !anyValue) return;
    FPlot->xAxis->setRange(Padded(keys, 0.02));
    FPlot->yAxis->setRange(Padded(values, 0.08));
    // The scenario's label step may give one label or hundreds on the fitted range: the axis then
    // chooses its own step (the next run puts the scenario's step back).
    for (TChartAxis* axis : {&FBottom, &FLeft}) {
        const double labels = (axis->Maximum() - axis->Minimum()) / axis->Increment();
        if (axis->Increment() > 0 && (labels < 3 || labels > 40)) axis->SetIncrement(0);
    }
    Replot();
}

void TChart::SetSeriesCaption(int index, const QString& caption) {
    QCPAbstractPlottable* plottable = SeriesGraph(index);
    if (!plottable) return;
    plottable->setProperty(kCaptionProperty, caption);
    for (int i = 0; i < FPlot->plottableCount(); ++i) {
        QCPAbstractPlottable* each = FPlot->plottable(i);
        const QString text = each->property(kCaptionProperty).toString();
        if (text.isEmpty()) {
            each->removeFromLegend();
        } else {
            each->setName(text);
            if (!FPlot->legend->hasItemWithPlottable(each)) each->addToLegend();
        }
    }
    FPlot->legend->setVisible(FPlot->legend->itemCount() > 0);
    FPlot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
    Replot();
}

QStringList TChart::LegendTexts() const {
    QStringList texts;
    if (!FPlot->legend->visible()) return texts;
    for (int i = 0; i < FPlot->legend->itemCount(); ++i)
        if (auto* item = qobject_cast<QCPPlottableLegendItem*>(FPlot->legend->item(i)))
            texts << item->plottable()->name();
    return texts;
}

bool TChart::PointAt(QPoint pos, int radius, int& series, int& point) const {
    double best = static_cast<double>(radius) * radius;
    bool found = false;
    const double x = FPlot->xAxis->pixelToCoord(FPlot->mapFrom(this, pos).x());
    for (int s = 0; s < SeriesCount(); ++s) {
        const TChartSeries* each = FSeries[static_cast<std::size_t>(s)];
        const int count = each->Count();
        // X ascending: start at the first point right of the mouse and walk both ways while the
        // points are within the radius horizontally (bounded, for dense runs).
        int lo = 0, hi = count;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (each->X(mid) < x)
                lo = mid + 1;
            else
                hi = mid;
        }
        const auto visit = [&](int i) {
            const QPointF at(FBottom.ValueToPixel(each->X(i)), FLeft.ValueToPixel(each->Y(i)));
            const QPointF mouse = FPlot->mapFrom(this, pos);
            const double dx = at.x() - mouse.x(), dy = at.y() - mouse.y();
            if (std::abs(dx) > radius) return false;
            if (dx * dx + dy * dy <= best) {
                best = dx * dx + dy * dy;
                series = s;
                point = i;
                found = true;
            }
            return true;
        };
        constexpr int kMaxWalk = 4000;
        for (int i = lo, n = 0; i < count && n < kMaxWalk && visit(i); ++i, ++n) {
        }
        for (int i = lo - 1, n = 0; i >= 0 && n < kMaxWalk && visit(i); --i, ++n) {
        }
    }
    return found;
}

void TChart::SetPointTips(std::function<QString(int, int)> describe) {
    FDescribePoint = std::move(describe);
    ConnectTips();  // Chartanalysis.cpp: points first, then fitted lines
}

void TChart::SetProjector(bool on) {
    if (FProjector == on) return;
    FProjector = on;
    const double font = on ? kProjectorFontScale : 1 / kProjectorFontScale;
    for (QCPAxis* axis : FPlot->axisRect()->axes()) {
        axis->setLabelFont(ScaledFont(axis->labelFont(), font));
        axis->setTickLabelFont(ScaledFont(axis->tickLabelFont(), font));
    }
    const QFont legend = ScaledFont(FPlot->legend->font(), font);
    FPlot->legend->setFont(legend);
    for (int i = 0; i < FPlot->legend->itemCount(); ++i) FPlot->legend->item(i)->setFont(legend);
    for (int i = 0; i < FPlot->itemCount(); ++i)
        if (auto* text = qobject_cast<QCPItemText*>(FPlot->item(i)))
            text->setFont(ScaledFont(text->font(), font));
    for (int i = 0; i < FPlot->plottableCount(); ++i) {
        QPen pen = FPlot->plottable(i)->pen();
        pen.setWidthF(on ? pen.widthF() * 2 : pen.widthF() / 2);
        FPlot->plottable(i)->setPen(pen);
    }
    Replot();
}

QImage TChart::RenderImage(double scale) {
    if (FPlot->geometry() != rect()) FPlot->setGeometry(rect());
    const QSize size = FPlot->size().expandedTo(QSize(1, 1));
    QImage image(QSize(static_cast<int>(size.width() * scale), static_cast<int>(size.height() * scale)),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    QCPPainter painter(&image);
    painter.setMode(QCPPainter::pmNoCaching);
    // Hairlines scale with the picture, so they stay visible when the report shows it smaller.
    if (scale > 1) painter.setMode(QCPPainter::pmNonCosmetic);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    FPlot->toPainter(&painter, size.width(), size.height());
    if (FOverlay) FOverlay(painter);
    painter.end();
    return image;
}
