// SPDX-License-Identifier: GPL-3.0-or-later
// TChart on paper: the page is laid out in points rather than copied from the screen, so the
// labels keep their size in print whatever the window's size was.
#include <qcustomplot.h>

#include <QPageLayout>
#include <QPointer>
#include <QPrinter>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "components/Chart.h"
#include "foundation/Exceptions.h"
#include "foundation/Functions.h"

namespace {

// Sizes on paper, in points (1/72 inch).
constexpr double kTickLabelPt = 10;
constexpr double kAxisTitlePt = 12;
constexpr double kPointLabelPt = 9;
constexpr double kHeadingPt = 12;
constexpr double kTextPt = 11;
constexpr double kNotePt = 10;    // the read-out and the statistics under the charts
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
        // The runs are named in words above the charts: a legend on paper would only repeat them
        // (and its screen-sized box does not fit the page's lettering).
        Change(plot->legend, &QCPLegend::visible, &QCPLegend::setVisible, false);
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

// The charts of one page share the left and right edges of their plots for the span of the page
// (their own groups, if any, are put back afterwards).
class tSharedEdges {
  public:
    explicit tSharedEdges(const QList<TChart*>& charts) {
        if (charts.size() < 2) return;
        FGroup = std::make_unique<QCPMarginGroup>(charts.front()->Plot());
        for (TChart* chart : charts) {
            QCPAxisRect* rect = chart->Plot()->axisRect();
            FBefore.push_back({rect, rect->marginGroup(QCP::msLeft), rect->marginGroup(QCP::msRight)});
            rect->setMarginGroup(QCP::msLeft | QCP::msRight, FGroup.get());
        }
    }
    ~tSharedEdges() {
        for (const tBefore& before : FBefore) {
            before.Rect->setMarginGroup(QCP::msLeft, before.Left);
            before.Rect->setMarginGroup(QCP::msRight, before.Right);
        }
    }
    tSharedEdges(const tSharedEdges&) = delete;
    tSharedEdges& operator=(const tSharedEdges&) = delete;

  private:
    struct tBefore {
        QCPAxisRect* Rect;
        QCPMarginGroup* Left;
        QCPMarginGroup* Right;
    };
    std::unique_ptr<QCPMarginGroup> FGroup;
    std::vector<tBefore> FBefore;
};

// Each chart's share of the height the charts get together: their proportions on screen, or
// equal shares for charts never shown.
std::vector<double> HeightShares(const QList<TChart*>& charts) {
    double total = 0;
    for (const TChart* chart : charts) total += std::max(0, chart->height());
    std::vector<double> shares;
    for (const TChart* chart : charts)
        shares.push_back(total > 0 ? std::max(0, chart->height()) / total : 1.0 / charts.size());
    return shares;
}

}  // namespace

void TChart::PaintPage(const QList<TChart*>& charts, QCPPainter& painter, const QRectF& area, double dpi,
                       const tPrintTexts& texts) {
    if (charts.isEmpty()) return;
    const double unit = dpi / 72.0;  // device pixels per point
    const double width = area.width() / unit, height = area.height() / unit;
    painter.save();
    painter.translate(area.topLeft());
    painter.scale(unit, unit);
    painter.setPen(Qt::black);

    const QFont base = charts.front()->FPlot->font();
    const QFont textFont = FontOfSize(base, kTextPt, false);
    double top = DrawTextBlock(painter, texts.Title, FontOfSize(base, kHeadingPt, true), 0, width);
    top += DrawTextBlock(painter, texts.Subtitle, textFont, top, width);
    for (const QString& run : texts.Runs) top += DrawTextBlock(painter, run, textFont, top, width);
    if (top > 0) top += kGapPt;
    const QFont noteFont = FontOfSize(base, kNotePt, false);
    const double footer = DrawTextBlock(painter, texts.Footer, noteFont, 0, width, false);
    const double statistics = DrawTextBlock(painter, texts.Statistics, noteFont, 0, width, false);
    const double below = footer + statistics > 0 ? footer + statistics + kGapPt : 0;
    // As wide as the printable area; no taller than wide, so a portrait page keeps a chart shape.
    const double gaps = kGapPt * (charts.size() - 1);
    const double plotsHeight = std::min(height - top - below - gaps, width);
    if (plotsHeight >= double(charts.size()) && width >= 1) {
        std::vector<std::unique_ptr<tPrintLook>> looks;
        for (TChart* chart : charts) looks.push_back(std::make_unique<tPrintLook>(chart->FPlot));
        const tSharedEdges edges(charts);
        const std::vector<double> shares = HeightShares(charts);
        double y = top;
        for (qsizetype i = 0; i < charts.size(); ++i) {
            const double plotHeight = std::max(1.0, plotsHeight * shares[std::size_t(i)]);
            painter.save();
            painter.translate(0, y);
            // Nothing drawn outside the chart's own box, whatever the plot's items do.
            painter.setClipRect(QRectF(0, 0, width, plotHeight));
            charts[i]->DrawPlot(painter, QSize(int(width), int(plotHeight)));
            painter.restore();
            y += plotHeight + kGapPt;
        }
    }
    double y = top + std::max(0.0, plotsHeight) + gaps + kGapPt;
    y += DrawTextBlock(painter, texts.Footer, noteFont, y, width);
    DrawTextBlock(painter, texts.Statistics, noteFont, y, width);
    painter.restore();
}

void TChart::Print(QPrinter& printer, const tPrintTexts& texts) {
    Print({this}, printer, texts);
}

void TChart::Print(const QList<TChart*>& charts, QPrinter& printer, const tPrintTexts& texts) {
    QCPPainter painter;
    if (!painter.begin(&printer)) throw tException(tr("Не удалось начать печать."));
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    // The painter's origin is the printable area's corner (margins from the page setup).
    const QRectF area(QPointF(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
    PaintPage(charts, painter, area, printer.resolution(), texts);
    painter.end();
}

QImage TChart::ToImage(const QList<TChart*>& charts) {
    std::vector<QImage> parts;
    int width = 1, height = 0;
    for (TChart* chart : charts) {
        parts.push_back(chart->ToImage());
        width = std::max(width, parts.back().width());
        height += parts.back().height();
    }
    QImage image(QSize(width, std::max(1, height)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    int y = 0;
    for (const QImage& part : parts) {
        painter.drawImage(0, y, part);
        y += part.height();
    }
    return image;
}

void TChart::SaveBitmap(const QList<TChart*>& charts, const QString& path) {
    const QImage image = ToImage(charts);
    WriteFileAtomically(
        path, [&](QIODevice& file) { return image.save(&file, "BMP"); },
        tr("Не удалось записать рисунок в файл \"%1\".").arg(path));
}

void TChart::AlignPlotEdges(const QList<TChart*>& charts) {
    if (charts.size() < 2) return;
    auto* group = new QCPMarginGroup(charts.front()->Plot());
    for (TChart* chart : charts) chart->Plot()->axisRect()->setMarginGroup(QCP::msLeft | QCP::msRight, group);
    // A chart lays itself out with the margins the others need as well, but only when it is
    // replotted: one whose edges differ from a chart just laid out is replotted too (once: it then
    // takes the same common margins).
    QList<QPointer<TChart>> all;
    for (TChart* chart : charts) all << chart;
    for (TChart* chart : charts) {
        QObject::connect(chart->Plot(), &QCustomPlot::afterLayout, chart, [chart, all] {
            const QMargins margins = chart->Plot()->axisRect()->margins();
            for (TChart* other : all) {
                if (!other || other == chart) continue;
                const QMargins theirs = other->Plot()->axisRect()->margins();
                if (theirs.left() != margins.left() || theirs.right() != margins.right()) other->Replot();
            }
        });
    }
}
