// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Rungraph.h"

#include <algorithm>
#include <cmath>

#include "lesson/Run.h"

namespace {
// Columns kept beyond each side of the plot, so the ends of the line reach the plot's border
// with their true slope whatever the pen width.
constexpr int kMargin = 8;
// A neighbour point farther than this outside the plot is moved along its segment to this distance:
// the painter's coordinates stay small, the visible part of the segment stays the same.
constexpr double kFar = 1e5;
}  // namespace

tRunGraph::tRunGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPAbstractPlottable(keyAxis, valueAxis) {}

tRunGraph::~tRunGraph() = default;

void tRunGraph::SetRun(const tRun* run) {
    FRun = run;
    FValid = false;
}

tRunGraph::tKey tRunGraph::CurrentKey() const {
    tKey key;
    key.Run = FRun;
    key.Uid = FRun ? FRun->Uid() : 0;
    key.Revision = FRun ? FRun->Revision() : 0;
    key.Lower = mKeyAxis->range().lower;
    key.Upper = mKeyAxis->range().upper;
    const QRect rect = mKeyAxis->axisRect()->rect();
    key.Left = rect.left();
    key.Width = rect.width();
    return key;
}

qsizetype tRunGraph::FirstAtOrRightOf(double pixel, qsizetype lo, qsizetype hi) const {
    // Pixel positions grow with the index (X ascending, the mapping is monotonic in floating point).
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (mKeyAxis->coordToPixel(FRun->X(mid)) < pixel)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void tRunGraph::Rebuild() {
    ++FRebuilds;
    FKey = CurrentKey();
    FValid = true;
    FColumns.assign(static_cast<std::size_t>(FKey.Width + 2 * kMargin + 1), tColumn{});
    FFirstColumn = FKey.Left - kMargin;
    FBefore = FAfter = -1;
    FDone = FRun ? FRun->Count() : 0;
    if (FDone == 0) return;
    // Each column's points are an index range found by binary search; its extremes come from the
    // run's summaries, so the whole rebuild costs per column.
    qsizetype a = FirstAtOrRightOf(FFirstColumn, 0, FDone);
    FBefore = a - 1;
    for (std::size_t k = 0; k < FColumns.size(); ++k) {
        const qsizetype b = FirstAtOrRightOf(FFirstColumn + static_cast<double>(k) + 1, a, FDone);
        if (b > a) {
            tColumn& column = FColumns[k];
            column.First = a;
            column.Last = b - 1;
            column.HasRange = FRun->MinMax(a, b, column.Lo, column.Hi);
        }
        a = b;
    }
    FAfter = a < FDone ? a : -1;
}

void tRunGraph::Append(qsizetype from, qsizetype to) {
    FDone = to;
    // Points come in ascending X: once one lies right of the columns, all later ones do too.
    if (FAfter >= 0) return;
    const double end = FFirstColumn + static_cast<double>(FColumns.size());
    for (qsizetype i = from; i < to; ++i) {
        ++FPointsScanned;
        const double px = mKeyAxis->coordToPixel(FRun->X(i));
        if (px < FFirstColumn) {
            FBefore = i;
        } else if (px >= end) {
            FAfter = i;
            return;
        } else {
            tColumn& column = FColumns[static_cast<std::size_t>(std::floor(px) - FFirstColumn)];
            const double y = FRun->Y(i);
            if (column.First < 0) column.First = i;
            column.Last = i;
            if (!std::isnan(y)) {
                if (!column.HasRange) {
                    column.Lo = column.Hi = y;
                    column.HasRange = true;
                } else {
                    column.Lo = std::min(column.Lo, y);
                    column.Hi = std::max(column.Hi, y);
                }
            }
        }
    }
}

void tRunGraph::Update() {
    if (!FValid || !(CurrentKey() == FKey) || !FRun || FRun->Count() < FDone) {
        FPointsScanned = 0;
        Rebuild();
    } else if (FRun->Count() > FDone) {
        Append(FDone, FRun->Count());
    }
}

QVector<QLineF> tRunGraph::Segments() {
    QVector<QLineF> lines;
    if (!mKeyAxis || !mValueAxis) return lines;
    Update();
    if (!FRun || FDone == 0) return lines;
    lines.reserve(static_cast<qsizetype>(2 * FColumns.size() + 2));
    const QRect rect = mKeyAxis->axisRect()->rect();
    auto py = [&](double value) {
        const double y = mValueAxis->coordToPixel(value);
        return std::clamp(y, rect.top() - kFar, rect.bottom() + kFar);
    };
    auto point = [&](qsizetype i) { return QPointF(mKeyAxis->coordToPixel(FRun->X(i)), py(FRun->Y(i))); };
    auto valid = [](const QPointF& p) { return !std::isnan(p.x()) && !std::isnan(p.y()); };
    auto join = [&](const QPointF& from, const QPointF& to) {
        if (valid(from) && valid(to)) lines.append(QLineF(from, to));
    };
    // A far neighbour is brought closer along its segment towards `to`.
    auto near = [&](QPointF far, const QPointF& to) {
        const double limit = far.x() < to.x() ? rect.left() - kFar : rect.right() + kFar;
        if (std::abs(far.x() - to.x()) > std::abs(limit - to.x()) && far.x() != to.x()) {
            const double t = (limit - to.x()) / (far.x() - to.x());
            far = QPointF(limit, to.y() + t * (far.y() - to.y()));
        }
        return far;
    };
    QPointF previous(qQNaN(), qQNaN());
    bool first = true;
    for (std::size_t k = 0; k < FColumns.size(); ++k) {
        const tColumn& column = FColumns[k];
        if (column.First < 0) continue;
        QPointF entry, exit;
        if (column.First == column.Last) {
            entry = exit = point(column.First);
        } else {
            const double cx = FFirstColumn + static_cast<double>(k) + 0.5;
            entry = QPointF(cx, py(FRun->Y(column.First)));
            exit = QPointF(cx, py(FRun->Y(column.Last)));
            if (column.HasRange) lines.append(QLineF(cx, py(column.Lo), cx, py(column.Hi)));
        }
        if (first && FBefore >= 0) previous = near(point(FBefore), entry);
        first = false;
        join(previous, entry);
        previous = exit;
    }
    if (FAfter >= 0) {
        // Without a point inside, the run may cross the whole plot from one side to the other.
        if (first && FBefore >= 0) previous = near(point(FBefore), point(FAfter));
        join(previous, near(point(FAfter), previous));
    }
    return lines;
}

void tRunGraph::draw(QCPPainter* painter) {
    const QVector<QLineF> lines = Segments();
    if (lines.isEmpty() || mPen.style() == Qt::NoPen) return;
    applyDefaultAntialiasingHint(painter);
    painter->setPen(mPen);
    painter->setBrush(Qt::NoBrush);
    painter->drawLines(lines);
}

void tRunGraph::drawLegendIcon(QCPPainter* painter, const QRectF& rect) const {
    painter->setPen(mPen);
    painter->drawLine(QLineF(rect.left(), rect.center().y(), rect.right(), rect.center().y()));
}

double tRunGraph::selectTest(const QPointF&, bool, QVariant*) const {
    return -1;  // the curve is not selectable; markers find points by time
}

QCPRange tRunGraph::getKeyRange(bool& foundRange, QCP::SignDomain) const {
    foundRange = FRun && FRun->Count() > 0;
    return foundRange ? QCPRange(FRun->X(0), FRun->X(FRun->Count() - 1)) : QCPRange();
}

QCPRange tRunGraph::getValueRange(bool& foundRange, QCP::SignDomain, const QCPRange&) const {
    double lo = 0, hi = 0;
    foundRange = FRun && FRun->MinMax(0, FRun->Count(), lo, hi);
    return foundRange ? QCPRange(lo, hi) : QCPRange();
}
