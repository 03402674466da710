// SPDX-License-Identifier: GPL-3.0-or-later
// TChart: the line chart the experiment frames draw on (a QCustomPlot underneath).
// Fixed axis ranges, label step and bold title per axis; right/top axes hidden; no legend; white.
// Series are 5-pixel lines without point symbols; a point's label is drawn as a text item next to
// it, only for labelled points. A series draws a tRun: a lesson's run attached with SetRun, or else
// a run of its own that AddXY fills. The curves and labels sit on a layer with its own paint
// buffer, so new points repaint only that layer, at a cost per pixel column (tRunGraph).
// User-interface thread only.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QCustomPlot;
class QCPAxis;
class QCPLayer;
class QCPGraph;
class QCPAbstractPlottable;
class tRun;
class tRunGraph;
class QPainter;
class QPrinter;
class QCPPainter;
class QMouseEvent;
class TChart;

class TChartAxis {
  public:
    void SetRange(double minimum, double maximum);
    double Minimum() const;
    double Maximum() const;
    void SetIncrement(double step);  // label step; <= 0 lets the axis choose
    double Increment() const;
    void SetTitle(const QString& title);
    QString Title() const;
    // Value <-> pixel in the chart widget's coordinates.
    double ValueToPixel(double value) const;
    double PixelToValue(double pixel) const;

  private:
    friend class TChart;
    explicit TChartAxis(QCPAxis* axis) : FAxis(axis) {}
    QCPAxis* FAxis;
    double FIncrement = 0;
};

class TChartSeries {
  public:
    // Shows `run` (owned elsewhere, e.g. by the lesson; it must outlive the attachment), or the
    // series' own run again when null. Points appended to the run show at the next Replot.
    void SetRun(const tRun* run);
    // The run shown: the attached one or the series' own.
    const tRun* Run() const;
    bool HasOwnRun() const;
    // Appends to the series' own run (ignored while a lesson's run is attached).
    void AddXY(double x, double y, const QString& label, const QColor& color);
    // Lets an attached run go and empties the own run.
    void Clear();
    int Count() const;
    double X(int index) const;
    double Y(int index) const;
    QString Label(int index) const;  // empty for unlabelled points
    QColor Color() const;
    void SetColor(const QColor& color);
    QString Name() const;
    int LineWidth() const;  // 5

  private:
    friend class TChart;
    TChartSeries(TChart* chart, tRunGraph* graph, const QString& name);
    ~TChartSeries();
    // Brings the label items up to the run's labels (new points, or a changed run).
    void SyncLabels();
    void AddLabelItem(int index, double x, double y, const QString& text, const QColor& color);
    void RemoveLabelItems();
    struct tImpl;
    std::unique_ptr<tImpl> FImpl;
};

// Projector mode enlarges lettering this many times: the chart's (TChart::SetProjector) and the
// window's alike.
constexpr double kProjectorFontScale = 1.6;
// `font` made `factor` times larger, in the unit its size was given in (at least one pixel).
QFont ScaledFont(QFont font, double factor);

class TChart : public QWidget {
    Q_OBJECT
  public:
    explicit TChart(QWidget* parent = nullptr);
    ~TChart() override;

    TChartAxis& BottomAxis();
    TChartAxis& LeftAxis();

    TChartSeries* AddSeries(const QString& name, const QColor& color);
    int SeriesCount() const;
    TChartSeries* Series(int index) const;  // null outside 0..count-1
    void RemoveSeries(int index);

    // The plotting rectangle in widget coordinates.
    QRect PlotRect() const;
    // Drawn after every repaint, on top of the curves (marker lines).
    void SetAfterDraw(std::function<void(QPainter&)> overlay);
    // Mouse-drag panning and wheel zooming per direction.
    void SetPanning(bool horizontal, bool vertical);
    void SetZooming(bool horizontal, bool vertical);

    // Queues a repaint (cheap to call often).
    void Replot();
    // Queues a repaint after points were appended: only the curves' layer is redrawn while the
    // axes and the plot size are those of the last full repaint, else the whole chart.
    void ReplotPoints();
    // The chart at its on-screen size on white.
    QImage ToImage();
    // BMP of ToImage(); raises tException when the file cannot be written (existing file kept).
    void SaveBitmap(const QString& path);
    // The chart on one page, laid out for the paper: the printer's page size, orientation and
    // margins, fonts in points (9 to 12 pt), lines at least 0.5 mm, drawn as vectors (sharp at any
    // zoom); no legend, the runs are named in words above the chart instead.
    // Raises tException when the printer cannot start.
    struct tPrintTexts {
        QString Title;     // above the chart, bold (the scenario's name)
        QString Subtitle;  // under the title
        QStringList Runs;  // one line per shown run: «Опыт 1 — 08.12.2026 10:15:30 (красный)»
        QString Footer;    // below the chart (the marker read-out)
        QString Statistics;  // below the read-out
    };
    void Print(QPrinter& printer, const tPrintTexts& texts = {});
    // `charts` on one page the same way, one above the other (the first on top) in their on-screen
    // proportions, the texts above and below them all; their plots share one left and one right
    // edge, so their time axes line up.
    static void Print(const QList<TChart*>& charts, QPrinter& printer, const tPrintTexts& texts);
    // `charts` one above the other, each at its on-screen size, on white (the bitmap export).
    static QImage ToImage(const QList<TChart*>& charts);
    // BMP of ToImage(charts); raises tException when the file cannot be written (existing file kept).
    static void SaveBitmap(const QList<TChart*>& charts, const QString& path);
    // From now on the plots of `charts` (one above the other on a page) keep one left and one right
    // edge on screen, however wide each one's axis labels are.
    static void AlignPlotEdges(const QList<TChart*>& charts);

    QCustomPlot* Plot() const { return FPlot; }
    // The layer the curves and point labels are drawn on.
    QCPLayer* CurvesLayer() const { return FCurves; }

    // ---- reading the chart (Chartreading.cpp) ----
    // Fits both axes to every point of the shown series; wheel zoom and panning start afresh.
    void ShowAll();
    // The legend names the series that have a caption; without any caption it is hidden.
    void SetSeriesCaption(int index, const QString& caption);
    QStringList LegendTexts() const;
    // A tooltip on the point under the mouse; `describe(series, point)` gives its text.
    void SetPointTips(std::function<QString(int series, int point)> describe);
    // The point nearest to `pos` (widget coordinates) within `radius` pixels: false when none.
    bool PointAt(QPoint pos, int radius, int& series, int& point) const;
    // Projector mode: every font kProjectorFontScale times larger, curves twice as thick.
    void SetProjector(bool on);
    bool Projector() const { return FProjector; }
    // The chart as shown (axes, curves, legend, markers) drawn `scale` times larger than on screen,
    // as vectors, on white: a sharp picture for the report.
    QImage RenderImage(double scale);

    // ---- what the pupil reads off the curves (Chartanalysis.cpp) ----
    // Fitted formulas, tangents, shaded areas and the pupil's prediction are drawn with the curves
    // (so also in ToImage, RenderImage and Print) and kept until removed; the chart draws them, the
    // caller decides what they are. Ids are positive and never reused.
    //
    // A function of time drawn over From..To: a fitted formula (dashed, in its run's colour) or a
    // tangent (solid). A white casing keeps it visible on top of its run's own line.
    struct tCurve {
        std::function<double(double)> Function;  // NaN where it has no value
        double From = 0;
        double To = 0;
        QColor Colour;
        bool Dashed = true;
        QString Tip;  // shown while the mouse rests on the line; empty: none
    };
    int AddCurve(const tCurve& curve);
    void RemoveCurve(int id);
    // The curve within `radius` pixels of `pos` (widget coordinates); 0 for none.
    int CurveAt(QPoint pos, int radius) const;
    // The area between `run`'s curve and the value 0 from point `first` to point `second` (either
    // order), shaded in `colour`. The run must outlive the area or have it removed first.
    int AddArea(const tRun* run, qsizetype first, qsizetype second, const QColor& colour);
    void RemoveArea(int id);
    // Removes every curve and area (not the prediction).
    void ClearAnalyses();

    // The curve a pupil expects, drawn before the run: a grey line through `points` (time, value),
    // kept beside the measured curves. Points are sorted by time; empty removes it.
    void SetPrediction(const QVector<QPointF>& points);
    QVector<QPointF> Prediction() const;
    // While on, pressing and dragging the left button draws the prediction anew (moving back in
    // time takes back what lies ahead); panning, zooming and MouseReleased pause meanwhile.
    void SetPredictionDrawing(bool on);
    bool PredictionDrawing() const { return FDrawingPrediction; }

  signals:
    // Mouse button released over the chart; `pos` in widget coordinates.
    void MouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
    // The pupil finished drawing a prediction (button released).
    void PredictionDrawn();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    friend class TChartSeries;
    // The plot laid out for `size` (painter units) and drawn with the overlay; the on-screen
    // layout is restored afterwards.
    void DrawPlot(QCPPainter& painter, const QSize& size);
    // The page's content in `area` (device pixels of a device with `dpi`).
    static void PaintPage(const QList<TChart*>& charts, QCPPainter& painter, const QRectF& area, double dpi,
                          const tPrintTexts& texts);

    struct tView {
        double X0 = 0, X1 = 0, Y0 = 0, Y1 = 0;
        QRect Rect;
        bool operator==(const tView&) const = default;
    };
    tView CurrentView() const;
    void SyncSeries();
    void ReplotCurves();
    // Which runs the series show, their edits and counts: tells whether points arrived.
    std::vector<std::uint64_t> PointsState() const;
    std::vector<std::uint64_t> FDrawnPoints;
    QCustomPlot* FPlot;
    QCPLayer* FCurves;
    tView FPlotted;  // the view of the last full repaint
    bool FFullQueued = false;
    bool FCurvesQueued = false;
    TChartAxis FBottom;
    TChartAxis FLeft;
    std::vector<TChartSeries*> FSeries;
    std::function<void(QPainter&)> FOverlay;
    bool FProjector = false;
    std::function<QString(int, int)> FDescribePoint;

    // The plottable that draws series `index` (null outside 0..count-1).
    QCPAbstractPlottable* SeriesGraph(int index) const;

    // Chartanalysis.cpp
    void ConnectTips();
    void ShowTipAt(QMouseEvent* event);
    void PredictionMouse(QMouseEvent* event, bool press);
    bool FTipsConnected = false;
    QCPLayer* FAnalysisLayer = nullptr;  // fitted curves, tangents and the prediction, above the curves
    std::map<int, QCPAbstractPlottable*> FAnalyses;  // curves and areas by id
    int FLastAnalysis = 0;
    QCPGraph* FPrediction = nullptr;
    bool FDrawingPrediction = false;
    bool FStroke = false;  // the button is down while drawing
    bool FPannedBefore = true, FZoomedBefore = true;
};
