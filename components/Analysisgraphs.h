// SPDX-License-Identifier: GPL-3.0-or-later
// The chart's drawings of what a pupil reads off a run, as QCustomPlot plottables so that every
// way the chart is drawn (screen, picture, paper) draws them too:
// tFunctionGraph — y = f(t) over a span, sampled once per pixel column, on a white casing;
// tAreaGraph — a run's curve between two points filled down to the value 0, with one polygon
// vertex pair per pixel column however many points the span holds.
// User-interface thread only (the function may keep state, e.g. a typed formula's parser).
#pragma once

#include <qcustomplot.h>

#include <QPolygonF>
#include <QVector>
#include <functional>

class tRun;

// What the analyses' drawings share: nothing to select, and no range of their own (they describe
// points the chart shows anyway, so fitting the axes to the data passes them over).
class tOverlayPlottable : public QCPAbstractPlottable {
    Q_OBJECT
  public:
    using QCPAbstractPlottable::QCPAbstractPlottable;
    double selectTest(const QPointF& pos, bool onlySelectable, QVariant* details = nullptr) const override;
    QCPRange getKeyRange(bool& foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth) const override;
    QCPRange getValueRange(bool& foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth,
                           const QCPRange& inKeyRange = QCPRange()) const override;
};

class tFunctionGraph : public tOverlayPlottable {
    Q_OBJECT
  public:
    tFunctionGraph(QCPAxis* keyAxis, QCPAxis* valueAxis, std::function<double(double)> function, double from,
                   double to, bool dashed);

    // The polylines a repaint draws, in widget pixels (split where the function has no value).
    QVector<QPolygonF> Lines() const;
    // The function's value at `key`, NaN outside the span.
    double ValueAt(double key) const;

  protected:
    void draw(QCPPainter* painter) override;
    void drawLegendIcon(QCPPainter* painter, const QRectF& rect) const override;

  private:
    std::function<double(double)> FFunction;
    double FFrom, FTo;
    bool FDashed;
};

class tAreaGraph : public tOverlayPlottable {
    Q_OBJECT
  public:
    tAreaGraph(QCPAxis* keyAxis, QCPAxis* valueAxis, const tRun* run, qsizetype first, qsizetype second);

    // The filled outline in widget pixels for the current axes (empty when nothing shows).
    QPolygonF Outline() const;

  protected:
    void draw(QCPPainter* painter) override;
    void drawLegendIcon(QCPPainter* painter, const QRectF& rect) const override;

  private:
    const tRun* FRun;
    qsizetype FFirst, FLast;
};
