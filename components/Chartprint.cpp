// SPDX-License-Identifier: GPL-3.0-or-later
// TChart on paper: the page is laid out in points rather than copied from the screen, so the
// labels keep their size in print whatever the window's size was.
#include <qcustomplot.h>

#include <QPageLayout>
#include <QPrinter>
#include <algorithm>
#include <functional>
#include <vector>

#include "components/Chart.h"
#include "foundation/Exceptions.h"

namespace {

// Sizes on paper, in points (1/72 inch).
constexpr double kTickLabelPt = 10;
constexpr double kAxisTitlePt = 12;
constexpr double kPointLabelPt = 9;
constexpr double kHeadingPt = 14;
constexpr double kTextPt = 11;
constexpr double kLinePt = 1.7;   // axes, ticks, grid: 0.6 mm
constexpr double kCurvePt = 2.5;  // the measured curves stand out from the axes
constexpr double kGapPt = 8;

QFont FontOfSize(QFont font, double points, bool bold) {
    // Painter units are points, so a pixel size in them is a point size on paper.
    font.setPixelSize(std::max(1, int(std::lround(points))));
    font.setBold(bold);
    return font;
}

QPen Widened(QPen pen, double width) {
    pen.setCosmetic(false);
    pen.setWidthF(std::max(pen.widthF(), width));
    return pen;
}

// The print look of the plot for the span of one page; the screen look is put back on leaving.
class tPrintLook {
  public:
    explicit tPrintLook(QCustomPlot* plot) {
        for (QCPAxis* axis : plot->axisRect()->axes()) {
            Change(axis, &QCPAxis::tickLabelFont, &QCPAxis::setTickLabelFont,
                   FontOfSize(axis->tickLabelFont(), kTickLabelPt, false));
            Change(axis, &QCPAxis::labelFont, &QCPAxis::setLabelFont,
                   FontOfSize(axis->labelFont(), kAxisTitlePt, true));
            Change(axis, &QCPAxis::basePen, &QCPAxis::setBasePen, Widened(axis->basePen(), kLinePt));
            Change(axis, &QCPAxis::tickPen, &QCPAxis::setTickPen, Widened(axis->tickPen(), kLinePt));
            Change(axis, &QCPAxis::subTickPen, &QCPAxis::setSubTickPen, Widened(axis->subTickPen(), kLinePt));
            QCPGrid* grid = axis->grid();
            Change(grid, &QCPGrid::pen, &QCPGrid::setPen, Widened(grid->pen(), kLinePt));
            Change(grid, &QCPGrid::zeroLinePen, &QCPGrid::setZeroLinePen,
                   Widened(grid->zeroLinePen(), kLinePt));
        }
        for (int i = 0; i < plot->plottableCount(); ++i) {
            QCPAbstractPlottable* curve = plot->plottable(i);
            QPen pen = curve->pen();
            pen.setCosmetic(false);
            pen.setWidthF(kCurvePt);
            Change(curve, &QCPAbstractPlottable::pen, &QCPAbstractPlottable::setPen, pen);
        }
        for (int i = 0; i < plot->itemCount(); ++i) {
            auto* label = qobject_cast<QCPItemText*>(plot->item(i));
            if (!label) continue;
            Change(label, &QCPItemText::font, &QCPItemText::setFont,
                   FontOfSize(label->font(), kPointLabelPt, label->font().bold()));
            Change(label, &QCPItemText::pen, &QCPItemText::setPen, Widened(label->pen(), kLinePt / 2));
        }
    }
    ~tPrintLook() {
        for (auto it = FRestore.rbegin(); it != FRestore.rend(); ++it) (*it)();
    }
    tPrintLook(const tPrintLook&) = delete;
    tPrintLook& operator=(const tPrintLook&) = delete;

  private:
    template <class tObject, class tValue, class tGetter, class tSetter>
    void Change(tObject* object, tGetter get, tSetter set, const tValue& value) {
        FRestore.push_back([object, set, old = tValue((object->*get)())] { (object->*set)(old); });
        (object->*set)(value);
    }
    std::vector<std::function<void()>> FRestore;
};

// Draws `text` wrapped to `width` at `top`; returns the height it took (0 for no text).
double DrawTextBlock(QPainter& painter, const QString& text, const QFont& font, double top, double width,
                     bool draw = true) {
    if (text.isEmpty()) return 0;
    painter.setFont(font);
    const QRectF box(0, top, width, 1e6);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs;
    const QRectF used = painter.boundingRect(box, flags, text);
    if (draw) painter.drawText(box, flags, text);
    return used.height();
}

}  // namespace

void TChart::PaintPage(QCPPainter& painter, const QRectF& area, double dpi, const tPrintTexts& texts) {
    const double unit = dpi / 72.0;  // device pixels per point
    const double width = area.width() / unit, height = area.height() / unit;
    painter.save();
    painter.translate(area.topLeft());
    painter.scale(unit, unit);
    painter.setPen(Qt::black);

    const QFont base = FPlot->font();
    double top = DrawTextBlock(painter, texts.Title, FontOfSize(base, kHeadingPt, true), 0, width);
    top += DrawTextBlock(painter, texts.Subtitle, FontOfSize(base, kTextPt, false), top, width);
    if (top > 0) top += kGapPt;
    const QFont footerFont = FontOfSize(base, kTextPt, false);
    double footer = DrawTextBlock(painter, texts.Footer, footerFont, 0, width, false);
    if (footer > 0) footer += kGapPt;
    // As wide as the printable area; no taller than wide, so a portrait page keeps a chart shape.
    const double plotHeight = std::min(height - top - footer, width);
    if (plotHeight >= 1 && width >= 1) {
        tPrintLook look(FPlot);
        painter.save();
        painter.translate(0, top);
        // Nothing drawn outside the chart's own box, whatever the plot's items do.
        painter.setClipRect(QRectF(0, 0, width, plotHeight));
        DrawPlot(painter, QSize(int(width), int(plotHeight)));
        painter.restore();
    }
    if (footer > 0) DrawTextBlock(painter, texts.Footer, footerFont, top + plotHeight + kGapPt, width);
    painter.restore();
}

void TChart::Print(QPrinter& printer, const tPrintTexts& texts) {
    QCPPainter painter;
    if (!painter.begin(&printer)) throw tException("Не удалось начать печать.");
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    // The painter's origin is the printable area's corner (margins from the page setup).
    const QRectF area(QPointF(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
    PaintPage(painter, area, printer.resolution(), texts);
    painter.end();
}
