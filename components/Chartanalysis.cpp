// SPDX-License-Identifier: GPL-3.0-or-later
// TChart: what a pupil reads off the curves — fitted formulas and tangents drawn as lines, the area
// between two points shaded, and the prediction drawn before the run.
#include <qcustomplot.h>

#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "components/Analysisgraphs.h"
#include "components/Chart.h"
#include "lesson/Run.h"

namespace {

constexpr char kTipProperty[] = "analysisTip";
// Line widths in screen pixels (doubled in projector mode, set in points on paper).
constexpr double kCurveWidth = 3;
constexpr double kPredictionWidth = 3;
// The casing is this many times as wide as the line: a white edge of a line width each side, so a
// dash on its own run's (5-pixel) line shows as a thin line in a white sleeve.
constexpr double kCasing = 3;
// Dash and gap in line widths.
constexpr double kDash = 4, kGap = 3;
// How far off the plotting rectangle a point may be drawn (in its heights) before it is clamped:
// painters misbehave on coordinates of 1e300.
constexpr double kOffPlot = 10;
// The prediction's grey and the shading's opacity.
const QColor kPredictionColour(128, 128, 128);
constexpr int kAreaAlpha = 80;

double Clamp(double pixel, const QRect& rect) {
    const double margin = kOffPlot * std::max(1, rect.height());
    return std::clamp(pixel, rect.top() - margin, rect.bottom() + margin);
}

}  // namespace

// ---- tOverlayPlottable ----

double tOverlayPlottable::selectTest(const QPointF&, bool, QVariant*) const {
    return -1;
}

QCPRange tOverlayPlottable::getKeyRange(bool& foundRange, QCP::SignDomain) const {
    foundRange = false;
    return {};
}

QCPRange tOverlayPlottable::getValueRange(bool& foundRange, QCP::SignDomain, const QCPRange&) const {
    foundRange = false;
    return {};
}

// ---- tFunctionGraph ----

tFunctionGraph::tFunctionGraph(QCPAxis* keyAxis, QCPAxis* valueAxis, std::function<double(double)> function,
                               double from, double to, bool dashed)
    : tOverlayPlottable(keyAxis, valueAxis),
      FFunction(std::move(function)),
      FFrom(std::min(from, to)),
      FTo(std::max(from, to)),
      FDashed(dashed) {}

double tFunctionGraph::ValueAt(double key) const {
    if (!FFunction || !(key >= FFrom && key <= FTo)) return std::nan("");
    return FFunction(key);
}

QVector<QPolygonF> tFunctionGraph::Lines() const {
    QVector<QPolygonF> lines;
    QCPAxis* key = mKeyAxis.data();
    QCPAxis* value = mValueAxis.data();
    if (!key || !value || !FFunction) return lines;
    const QRect rect = key->axisRect()->rect();
    double left = key->coordToPixel(FFrom), right = key->coordToPixel(FTo);
    if (left > right) std::swap(left, right);
    left = std::max(left, double(rect.left()));
    right = std::min(right, double(rect.right() + 1));
    if (!(left <= right)) return lines;
    QPolygonF line;
    const auto flush = [&] {
        if (line.size() > 1) lines.push_back(line);
        line.clear();
    };
    // One sample per pixel column and one at each end of the span.
    const auto add = [&](double px) {
        const double y = FFunction(key->pixelToCoord(px));
        const double py = std::isfinite(y) ? value->coordToPixel(y) : std::nan("");
        if (!std::isfinite(py)) {
            flush();
            return;
        }
        line << QPointF(px, Clamp(py, rect));
    };
    for (double px = left; px < right; px += 1) add(px);
    add(right);
    flush();
    return lines;
}

void tFunctionGraph::draw(QCPPainter* painter) {
    const QVector<QPolygonF> lines = Lines();
    if (lines.isEmpty()) return;
    QPen core = mPen;
    core.setCapStyle(Qt::FlatCap);
    core.setJoinStyle(Qt::RoundJoin);
    QPen casing = core;
    casing.setColor(Qt::white);
    casing.setWidthF(std::max(1.0, core.widthF()) * kCasing);
    if (FDashed) {
        // Dash patterns count in pen widths: the casing's, scaled down, covers the same pixels.
        core.setDashPattern({kDash, kGap});
        casing.setDashPattern({kDash / kCasing, kGap / kCasing});
    }
    applyDefaultAntialiasingHint(painter);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(casing);
    for (const QPolygonF& line : lines) painter->drawPolyline(line);
    painter->setPen(core);
    for (const QPolygonF& line : lines) painter->drawPolyline(line);
}

void tFunctionGraph::drawLegendIcon(QCPPainter* painter, const QRectF& rect) const {
    painter->setPen(mPen);
    painter->drawLine(QLineF(rect.left(), rect.center().y(), rect.right(), rect.center().y()));
}

// ---- tAreaGraph ----

tAreaGraph::tAreaGraph(QCPAxis* keyAxis, QCPAxis* valueAxis, const tRun* run, qsizetype first,
                       qsizetype second)
    : tOverlayPlottable(keyAxis, valueAxis),
      FRun(run),
      FFirst(std::min(first, second)),
      FLast(std::max(first, second)) {}

QPolygonF tAreaGraph::Outline() const {
    QPolygonF outline;
    QCPAxis* key = mKeyAxis.data();
    QCPAxis* value = mValueAxis.data();
    if (!key || !value || !FRun) return outline;
    const qsizetype first = std::max<qsizetype>(FFirst, 0), last = std::min(FLast, FRun->Count() - 1);
    if (first >= last) return outline;
    const QRect rect = key->axisRect()->rect();
    const double left = key->coordToPixel(FRun->X(first)), right = key->coordToPixel(FRun->X(last));
    const double base = Clamp(value->coordToPixel(0), rect);
    const auto py = [&](double y) { return Clamp(value->coordToPixel(y), rect); };
    outline << QPointF(left, base);
    if (double(last - first + 1) <= 4 * (std::abs(right - left) + 1)) {
        // Few points: each one (a point without a value is bridged, as the area's sum does).
        for (qsizetype i = first; i <= last; ++i)
            if (std::isfinite(FRun->Y(i))) outline << QPointF(key->coordToPixel(FRun->X(i)), py(FRun->Y(i)));
    } else {
        // Many: the lowest and highest value of each pixel column, from the run's summaries.
        qsizetype from = first;
        for (double column = std::floor(left); from <= last; column += 1) {
            const qsizetype to = column + 1 > right
                                     ? last + 1
                                     : std::min(last + 1, FRun->LowerBound(key->pixelToCoord(column + 1)));
            if (to <= from) continue;
            double lo = 0, hi = 0;
            if (FRun->MinMax(from, to, lo, hi)) {
                const double x = std::clamp(column + 0.5, left, right);
                outline << QPointF(x, py(lo)) << QPointF(x, py(hi));
            }
            from = to;
        }
    }
    outline << QPointF(right, base);
    return outline;
}

void tAreaGraph::draw(QCPPainter* painter) {
    const QPolygonF outline = Outline();
    if (outline.size() < 3) return;
    applyDefaultAntialiasingHint(painter);
    painter->setPen(Qt::NoPen);
    painter->setBrush(mBrush);
    painter->drawPolygon(outline);
}

void tAreaGraph::drawLegendIcon(QCPPainter* painter, const QRectF& rect) const {
    painter->fillRect(rect, mBrush);
}

// ---- TChart ----

int TChart::AddCurve(const tCurve& curve) {
    auto* graph =
        new tFunctionGraph(FPlot->xAxis, FPlot->yAxis, curve.Function, curve.From, curve.To, curve.Dashed);
    graph->setLayer(FAnalysisLayer);
    graph->removeFromLegend();
    graph->setPen(QPen(curve.Colour, kCurveWidth * (FProjector ? 2 : 1)));
    graph->setProperty(kTipProperty, curve.Tip);
    if (!curve.Tip.isEmpty()) ConnectTips();
    FAnalyses[++FLastAnalysis] = graph;
    Replot();
    return FLastAnalysis;
}

int TChart::AddArea(const tRun* run, qsizetype first, qsizetype second, const QColor& colour) {
    auto* area = new tAreaGraph(FPlot->xAxis, FPlot->yAxis, run, first, second);
    // Under the curves: the run's line stays on top of its shading.
    area->setLayer(QStringLiteral("main"));
    area->removeFromLegend();
    area->setPen(Qt::NoPen);
    QColor fill = colour;
    fill.setAlpha(kAreaAlpha);
    area->setBrush(fill);
    FAnalyses[++FLastAnalysis] = area;
    Replot();
    return FLastAnalysis;
}

void TChart::RemoveCurve(int id) {
    const auto it = FAnalyses.find(id);
    if (it == FAnalyses.end()) return;
    FPlot->removePlottable(it->second);
    FAnalyses.erase(it);
    Replot();
}

void TChart::RemoveArea(int id) {
    RemoveCurve(id);
}

void TChart::ClearAnalyses() {
    for (const auto& [id, plottable] : FAnalyses) FPlot->removePlottable(plottable);
    FAnalyses.clear();
    Replot();
}

int TChart::CurveAt(QPoint pos, int radius) const {
    const QPointF at = FPlot->mapFrom(this, pos);
    const double key = FPlot->xAxis->pixelToCoord(at.x());
    for (const auto& [id, plottable] : FAnalyses) {
        const auto* curve = qobject_cast<const tFunctionGraph*>(plottable);
        if (!curve) continue;
        const double value = curve->ValueAt(key);
        if (std::isfinite(value) && std::abs(FPlot->yAxis->coordToPixel(value) - at.y()) <= radius) return id;
    }
    return 0;
}

// ---- the prediction ----

void TChart::SetPrediction(const QVector<QPointF>& points) {
    if (points.isEmpty()) {
        if (FPrediction) FPlot->removePlottable(FPrediction);
        FPrediction = nullptr;
        Replot();
        return;
    }
    if (!FPrediction) {
        FPrediction = new QCPGraph(FPlot->xAxis, FPlot->yAxis);
        FPrediction->setLayer(FAnalysisLayer);
        FPrediction->removeFromLegend();
        QPen pen(kPredictionColour, kPredictionWidth * (FProjector ? 2 : 1));
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        FPrediction->setPen(pen);
    }
    QVector<double> keys, values;
    for (const QPointF& point : points)
        if (std::isfinite(point.x()) && std::isfinite(point.y())) {
            keys << point.x();
            values << point.y();
        }
    FPrediction->setData(keys, values);  // sorts by time
    Replot();
}

QVector<QPointF> TChart::Prediction() const {
    QVector<QPointF> points;
    if (!FPrediction) return points;
    for (auto it = FPrediction->data()->constBegin(); it != FPrediction->data()->constEnd(); ++it)
        points << QPointF(it->key, it->value);
    return points;
}

void TChart::SetPredictionDrawing(bool on) {
    if (FDrawingPrediction == on) return;
    FDrawingPrediction = on;
    FStroke = false;
    if (on) {
        FPannedBefore = FPlot->interactions().testFlag(QCP::iRangeDrag);
        FZoomedBefore = FPlot->interactions().testFlag(QCP::iRangeZoom);
        FPlot->setInteraction(QCP::iRangeDrag, false);
        FPlot->setInteraction(QCP::iRangeZoom, false);
        FPlot->setCursor(Qt::CrossCursor);
    } else {
        FPlot->setInteraction(QCP::iRangeDrag, FPannedBefore);
        FPlot->setInteraction(QCP::iRangeZoom, FZoomedBefore);
        FPlot->unsetCursor();
    }
}

void TChart::PredictionMouse(QMouseEvent* event, bool press) {
    if (!FDrawingPrediction) return;
    const QPointF at = event->position();
    const QPointF point(FPlot->xAxis->pixelToCoord(at.x()), FPlot->yAxis->pixelToCoord(at.y()));
    if (press) {
        if (event->button() != Qt::LeftButton) return;
        FStroke = true;
        SetPrediction({point});
        return;
    }
    if (!FStroke || !(event->buttons() & Qt::LeftButton)) return;
    // Time runs one way: moving back takes back what was drawn ahead of the mouse.
    QVector<QPointF> points = Prediction();
    while (!points.isEmpty() && points.last().x() >= point.x()) points.removeLast();
    if (!points.isEmpty()) {
        const QPointF last(FPlot->xAxis->coordToPixel(points.last().x()),
                           FPlot->yAxis->coordToPixel(points.last().y()));
        if (QLineF(last, at).length() < 2) return;  // a point per two pixels is plenty
    }
    points << point;
    SetPrediction(points);
}

// ---- tooltips ----

void TChart::ConnectTips() {
    if (FTipsConnected) return;
    FTipsConnected = true;
    FPlot->setMouseTracking(true);
    connect(FPlot, &QCustomPlot::mouseMove, this, &TChart::ShowTipAt);
}

void TChart::ShowTipAt(QMouseEvent* event) {
    const QPoint pos = FPlot->mapTo(this, event->pos());
    int series = -1, point = -1;
    QString tip;
    if (event->buttons() == Qt::NoButton && !FDrawingPrediction) {
        if (FDescribePoint && PointAt(pos, 10, series, point))
            tip = FDescribePoint(series, point);
        else if (const int id = CurveAt(pos, 6))
            tip = FAnalyses.at(id)->property(kTipProperty).toString();
    }
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPosition().toPoint(), tip, FPlot);
}
