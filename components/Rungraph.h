// SPDX-License-Identifier: GPL-3.0-or-later
// tRunGraph: draws one tRun as a 5-pixel line on a QCustomPlot at a cost per pixel column, not per
// point. For every pixel column of the visible time range it keeps the first and last point and the
// smallest and largest value; the line runs vertically through each column's extremes and joins
// the columns from one's last point to the next one's first (a column with one point keeps that
// point's exact position). This draws the same pixels as every point drawn as a segment would at
// one pixel per column, so a single-sample spike among 10^7 points still shows at full height.
// The columns are found through the run's min/max summaries when the range, the plot size or the
// run changed, and only the columns new points fall into are updated when points were appended.
// The key axis is the horizontal, not reversed bottom axis. User-interface thread only.
#pragma once

#include <qcustomplot.h>

#include <QLineF>
#include <QVector>
#include <vector>

class tRun;

class tRunGraph : public QCPAbstractPlottable {
    Q_OBJECT
  public:
    tRunGraph(QCPAxis* keyAxis, QCPAxis* valueAxis);
    ~tRunGraph() override;

    // The run drawn; null draws nothing. The run must outlive the graph or be replaced first.
    void SetRun(const tRun* run);
    const tRun* Run() const { return FRun; }

    // The segments a repaint draws, in widget pixels, for the current axes and plot size.
    QVector<QLineF> Segments();
    // Points the column cache read one by one since it was last rebuilt, and rebuilds (for tests
    // that show a tick costs per new point and a repaint per column).
    qsizetype PointsScanned() const { return FPointsScanned; }
    int Rebuilds() const { return FRebuilds; }

    double selectTest(const QPointF& pos, bool onlySelectable, QVariant* details = nullptr) const override;
    QCPRange getKeyRange(bool& foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth) const override;
    QCPRange getValueRange(bool& foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth,
                           const QCPRange& inKeyRange = QCPRange()) const override;

  protected:
    void draw(QCPPainter* painter) override;
    void drawLegendIcon(QCPPainter* painter, const QRectF& rect) const override;

  private:
    struct tColumn {
        qsizetype First = -1, Last = -1;
        double Lo = 0, Hi = 0;
        bool HasRange = false;
    };
    // What the columns were computed for.
    struct tKey {
        const tRun* Run = nullptr;
        std::uint64_t Uid = 0, Revision = 0;
        double Lower = 0, Upper = 0;
        int Left = 0, Width = 0;
        bool operator==(const tKey&) const = default;
    };
    tKey CurrentKey() const;
    void Update();
    void Rebuild();
    void Append(qsizetype from, qsizetype to);
    qsizetype FirstAtOrRightOf(double pixel, qsizetype lo, qsizetype hi) const;

    const tRun* FRun = nullptr;
    tKey FKey;
    bool FValid = false;
    qsizetype FDone = 0;     // points of the run the columns include
    int FFirstColumn = 0;    // pixel column of FColumns[0]
    qsizetype FBefore = -1;  // last point left of the columns
    qsizetype FAfter = -1;   // first point right of the columns
    std::vector<tColumn> FColumns;
    qsizetype FPointsScanned = 0;
    int FRebuilds = 0;
};
