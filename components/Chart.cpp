// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Chart.h"

#include <qcustomplot.h>

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "components/Chartaccessible.h"
#include "components/Contrast.h"
#include "components/Rungraph.h"
#include "foundation/Functions.h"
#include "lesson/Run.h"

namespace {

// More labels than this on one axis would hang the ticker (a tiny step on a wide range), so the
// ticker may then take multiples of the step instead.
constexpr double kMaxFixedTicks = 500;

// The plot widget: QCustomPlot paints its buffered layers, then we draw the overlay (marker lines)
// on top, so every repaint, queued or immediate, shows the current overlay.
class tChartPlot : public QCustomPlot {
  public:
    explicit tChartPlot(QWidget* parent, std::function<void(QPainter&)>* overlay)
        : QCustomPlot(parent), FOverlay(overlay) {}

  protected:
    void paintEvent(QPaintEvent* event) override {
        QCustomPlot::paintEvent(event);
        if (*FOverlay) {
            QPainter painter(this);
            (*FOverlay)(painter);
        }
    }

  public:
    // Lays the plot out for `size`, draws it and the overlay on `painter` (vector output) and
    // returns to the on-screen layout.
    void DrawAt(QCPPainter& painter, const QSize& size) {
        const QRect screen = viewport();
        setViewport(QRect(QPoint(0, 0), size));
        painter.fillRect(viewport(), Qt::white);
        draw(&painter);  // lays out for the viewport first
        if (*FOverlay) (*FOverlay)(painter);
        setViewport(screen);
        updateLayout();  // pixel conversions of clicks hold again at once
        replot(rpQueuedReplot);
    }

  private:
    std::function<void(QPainter&)>* FOverlay;
};

QFont TitleFont() {
    QFont font("Arial");
    font.setPixelSize(20);
    font.setBold(true);
    return font;
}

// Keeps the fixed step exact while the range holds a sensible number of labels (also after the
// user zoomed out) and while they fit along the axis without overlapping at the chart's lettering;
// projector mode and a large system font make the lettering bigger, and then every so many steps
// is labelled, as many as fit.
void UpdateTickStrategy(QCPAxis* axis) {
    auto fixed = axis->ticker().dynamicCast<QCPAxisTickerFixed>();
    if (!fixed) return;
    const double ticks = axis->range().size() / fixed->tickStep();
    const QFontMetricsF metrics(axis->tickLabelFont());
    const bool vertical = axis->orientation() == Qt::Vertical;
    const double length = vertical ? axis->axisRect()->height() : axis->axisRect()->width();
    // A label's room along the axis: a line and a half up the side, its widest text and two letters
    // along the bottom.
    double room = metrics.height() * 1.5;
    if (!vertical) {
        const QLocale locale = axis->parentPlot()->locale();
        const char format = axis->numberFormat().isEmpty() ? 'g' : axis->numberFormat().at(0).toLatin1();
        room = 0;
        for (double value : {axis->range().lower, axis->range().upper})
            room = std::max(
                room, metrics.horizontalAdvance(locale.toString(value, format, axis->numberPrecision())));
        room += 2 * metrics.averageCharWidth();
    }
    const int fit = length > 0 && room > 0 ? int(length / room) : 0;  // 0: not laid out yet
    const bool crowded = fit > 0 && ticks > fit;
    fixed->setScaleStrategy(ticks > kMaxFixedTicks || crowded ? QCPAxisTickerFixed::ssMultiples
                                                              : QCPAxisTickerFixed::ssNone);
    fixed->setTickCount(crowded ? std::max(1, fit) : 5);
}

void ApplyTicker(QCPAxis* axis, double step) {
    if (step > 0 && std::isfinite(step)) {
        auto ticker = QSharedPointer<QCPAxisTickerFixed>::create();
        ticker->setTickStep(step);
        axis->setTicker(ticker);
        UpdateTickStrategy(axis);
    } else {
        axis->setTicker(QSharedPointer<QCPAxisTicker>::create());
    }
}

}  // namespace

// ---- TChartAxis ----

void TChartAxis::SetRange(double minimum, double maximum) {
    // QCustomPlot ignores an empty or inverted range; the axis then keeps its previous one.
    FAxis->setRange(minimum, maximum);
}

double TChartAxis::Minimum() const {
    return FAxis->range().lower;
}
double TChartAxis::Maximum() const {
    return FAxis->range().upper;
}

void TChartAxis::SetIncrement(double step) {
    FIncrement = step > 0 && std::isfinite(step) ? step : 0;
    ApplyTicker(FAxis, FIncrement);
}

double TChartAxis::Increment() const {
    return FIncrement;
}
void TChartAxis::SetTitle(const QString& title) {
    FAxis->setLabel(title);
}
QString TChartAxis::Title() const {
    return FAxis->label();
}
double TChartAxis::ValueToPixel(double value) const {
    return FAxis->coordToPixel(value);
}
double TChartAxis::PixelToValue(double pixel) const {
    return FAxis->pixelToCoord(pixel);
}

// ---- TChartSeries ----

struct TChartSeries::tImpl {
    TChart* Chart;
    tRunGraph* Graph;
    QString Name;
    QColor Color;
    tRun Own{1.0};  // the points AddXY gives, when no lesson run is attached
    const tRun* Attached = nullptr;
    // Labelled points only: a run of thousands of points usually carries a handful of labels.
    std::map<int, QCPItemText*> Labels;
    // What the label items were made from.
    const tRun* LabelledRun = nullptr;
    std::uint64_t LabelledUid = 0, LabelledRevision = 0;
    qsizetype LabelledCount = 0;
    const tRun& Shown() const { return Attached ? *Attached : Own; }
};

TChartSeries::TChartSeries(TChart* chart, tRunGraph* graph, const QString& name)
    : FImpl(std::make_unique<tImpl>()) {
    FImpl->Chart = chart;
    FImpl->Graph = graph;
    FImpl->Name = name;
    graph->setName(name);
    graph->SetRun(&FImpl->Own);
    // 5-pixel antialiased lines cost far more than the data: drawn as plain segments.
    graph->setAntialiased(false);
    FImpl->LabelledRun = &FImpl->Own;
}

TChartSeries::~TChartSeries() {
    RemoveLabelItems();
    FImpl->Chart->FPlot->removePlottable(FImpl->Graph);
}

void TChartSeries::SetRun(const tRun* run) {
    if (run == &FImpl->Own) run = nullptr;
    if (FImpl->Attached == run) return;
    FImpl->Attached = run;
    FImpl->Graph->SetRun(&FImpl->Shown());
    SyncLabels();
}

const tRun* TChartSeries::Run() const {
    return &FImpl->Shown();
}

bool TChartSeries::HasOwnRun() const {
    return FImpl->Attached == nullptr;
}

void TChartSeries::AddLabelItem(int index, double x, double y, const QString& text, const QColor& color) {
    auto* item = new QCPItemText(FImpl->Chart->FPlot);
    item->setLayer(FImpl->Chart->FCurves);
    item->position->setType(QCPItemPosition::ptPlotCoords);
    item->position->setAxes(FImpl->Graph->keyAxis(), FImpl->Graph->valueAxis());
    item->position->setCoords(x, y);
    item->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    item->setText(text);
    // The run's colour, darkened where it would be too faint to read on the label's background.
    const QColor background(255, 255, 225);
    item->setColor(ReadableColour(color.isValid() ? color : FImpl->Color, background));
    item->setPen(QPen(Qt::black));
    item->setBrush(QBrush(background));
    item->setPadding(QMargins(3, 1, 3, 1));
    item->setClipToAxisRect(true);
    auto old = FImpl->Labels.find(index);
    if (old != FImpl->Labels.end()) FImpl->Chart->FPlot->removeItem(old->second);
    FImpl->Labels[index] = item;
}

void TChartSeries::RemoveLabelItems() {
    for (auto& [index, item] : FImpl->Labels) FImpl->Chart->FPlot->removeItem(item);
    FImpl->Labels.clear();
}

void TChartSeries::SyncLabels() {
    const tRun& run = FImpl->Shown();
    if (FImpl->LabelledRun != &run || FImpl->LabelledUid != run.Uid() ||
        FImpl->LabelledRevision != run.Revision() || FImpl->LabelledCount > run.Count()) {
        RemoveLabelItems();
        FImpl->LabelledRun = &run;
        FImpl->LabelledUid = run.Uid();
        FImpl->LabelledRevision = run.Revision();
        FImpl->LabelledCount = 0;
    }
    const QMap<qsizetype, QString>& labels = run.Labels();
    for (auto it = labels.lowerBound(FImpl->LabelledCount); it != labels.cend() && it.key() < run.Count();
         ++it)
        AddLabelItem(static_cast<int>(it.key()), run.X(it.key()), run.Y(it.key()), it.value(), FImpl->Color);
    FImpl->LabelledCount = run.Count();
}

void TChartSeries::AddXY(double x, double y, const QString& label, const QColor& color) {
    if (FImpl->Attached) return;
    SyncLabels();
    FImpl->Own.AppendXY(x, y);
    FImpl->LabelledCount = FImpl->Own.Count();
    if (label.isEmpty()) return;
    // The label is kept by the run too (export, markers); its item keeps the colour asked for.
    FImpl->Own.SetLabel(FImpl->Own.Count() - 1, label);
    FImpl->LabelledRevision = FImpl->Own.Revision();
    AddLabelItem(Count() - 1, x, y, label, color);
}

void TChartSeries::Clear() {
    FImpl->Attached = nullptr;
    FImpl->Own.Clear();
    FImpl->Graph->SetRun(&FImpl->Own);
    SyncLabels();
}

int TChartSeries::Count() const {
    return static_cast<int>(FImpl->Shown().Count());
}

double TChartSeries::X(int index) const {
    if (index < 0 || index >= Count()) return 0;
    return FImpl->Shown().X(index);
}

double TChartSeries::Y(int index) const {
    if (index < 0 || index >= Count()) return 0;
    return FImpl->Shown().Y(index);
}

QString TChartSeries::Label(int index) const {
    return FImpl->Shown().Label(index);
}

QColor TChartSeries::Color() const {
    return FImpl->Color;
}

void TChartSeries::SetColor(const QColor& color) {
    FImpl->Color = color;
    QPen pen(color);
    pen.setWidth(LineWidth());
    FImpl->Graph->setPen(pen);
}

QString TChartSeries::Name() const {
    return FImpl->Name;
}
int TChartSeries::LineWidth() const {
    return 5;
}

// ---- TChart ----

TChart::TChart(QWidget* parent)
    : QWidget(parent), FPlot(new tChartPlot(this, &FOverlay)), FBottom(FPlot->xAxis), FLeft(FPlot->yAxis) {
    FPlot->setGeometry(rect());
    InstallChartAccessibility();
    // The curves get a layer with its own paint buffer between the grid and the axes: new points
    // redraw that buffer alone.
    FPlot->addLayer(QStringLiteral("curves"), FPlot->layer(QStringLiteral("main")), QCustomPlot::limAbove);
    FCurves = FPlot->layer(QStringLiteral("curves"));
    FCurves->setMode(QCPLayer::lmBuffered);
    // Fitted lines, tangents and the prediction above the curves, in a buffer of their own that
    // new points leave alone.
    FPlot->addLayer(QStringLiteral("analysis"), FCurves, QCustomPlot::limAbove);
    FAnalysisLayer = FPlot->layer(QStringLiteral("analysis"));
    FAnalysisLayer->setMode(QCPLayer::lmBuffered);
    connect(FPlot, &QCustomPlot::beforeReplot, this, [this] {
        SyncSeries();
        FFullQueued = false;
    });
    connect(FPlot, &QCustomPlot::afterReplot, this, [this] {
        FPlotted = CurrentView();
        FDrawnPoints = PointsState();
    });

    FPlot->setBackground(QBrush(Qt::white));
    FPlot->setPlottingHint(QCP::phFastPolylines, true);
    FPlot->legend->setVisible(false);
    FPlot->xAxis2->setVisible(false);
    FPlot->yAxis2->setVisible(false);
    for (QCPAxis* axis : {FPlot->xAxis, FPlot->yAxis}) {
        axis->setLabelFont(TitleFont());
        axis->setRange(0, 1);
        connect(axis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
                [axis] { UpdateTickStrategy(axis); });
    }
    // The labels' room changes with the chart's size and lettering, too.
    connect(FPlot, &QCustomPlot::beforeReplot, this, [this] {
        for (QCPAxis* axis : {FPlot->xAxis, FPlot->yAxis}) UpdateTickStrategy(axis);
    });
    SetPanning(true, true);
    SetZooming(true, true);
    connect(FPlot, &QCustomPlot::mouseRelease, this, [this](QMouseEvent* event) {
        if (FDrawingPrediction) {  // a stroke of the prediction, no click on the curves
            if (std::exchange(FStroke, false)) emit PredictionDrawn();
            return;
        }
        emit MouseReleased(event->button(), event->modifiers(), FPlot->mapTo(this, event->pos()));
    });
    connect(FPlot, &QCustomPlot::mousePress, this,
            [this](QMouseEvent* event) { PredictionMouse(event, true); });
    connect(FPlot, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent* event) { PredictionMouse(event, false); });
}

void TChart::resizeEvent(QResizeEvent* event) {
    // The plot fills the chart exactly, also while hidden, so images and pixel positions match
    // the chart's own size and coordinates.
    QWidget::resizeEvent(event);
    FPlot->setGeometry(rect());
}

TChart::~TChart() {
    for (TChartSeries* series : FSeries) delete series;
    FSeries.clear();
}

TChartAxis& TChart::BottomAxis() {
    return FBottom;
}
TChartAxis& TChart::LeftAxis() {
    return FLeft;
}

TChartSeries* TChart::AddSeries(const QString& name, const QColor& color) {
    auto* graph = new tRunGraph(FPlot->xAxis, FPlot->yAxis);
    graph->setLayer(FCurves);
    auto* series = new TChartSeries(this, graph, name);
    series->SetColor(color);
    FSeries.push_back(series);
    return series;
}

int TChart::SeriesCount() const {
    return static_cast<int>(FSeries.size());
}

TChartSeries* TChart::Series(int index) const {
    if (index < 0 || index >= SeriesCount()) return nullptr;
    return FSeries[index];
}

QCPAbstractPlottable* TChart::SeriesGraph(int index) const {
    const TChartSeries* series = Series(index);
    return series ? series->FImpl->Graph : nullptr;
}

void TChart::RemoveSeries(int index) {
    if (index < 0 || index >= SeriesCount()) return;
    delete FSeries[index];
    FSeries.erase(FSeries.begin() + index);
}

QRect TChart::PlotRect() const {
    return QRect(FPlot->mapTo(this, FPlot->axisRect()->rect().topLeft()), FPlot->axisRect()->rect().size());
}

void TChart::SetAfterDraw(std::function<void(QPainter&)> overlay) {
    FOverlay = std::move(overlay);
    FPlot->update();
}

namespace {
Qt::Orientations Directions(bool horizontal, bool vertical) {
    Qt::Orientations directions;
    if (horizontal) directions |= Qt::Horizontal;
    if (vertical) directions |= Qt::Vertical;
    return directions;
}
}  // namespace

void TChart::SetPanning(bool horizontal, bool vertical) {
    const Qt::Orientations directions = Directions(horizontal, vertical);
    FPlot->setInteraction(QCP::iRangeDrag, directions != Qt::Orientations());
    FPlot->axisRect()->setRangeDrag(directions);
}

void TChart::SetZooming(bool horizontal, bool vertical) {
    const Qt::Orientations directions = Directions(horizontal, vertical);
    FPlot->setInteraction(QCP::iRangeZoom, directions != Qt::Orientations());
    FPlot->axisRect()->setRangeZoom(directions);
}

void TChart::Replot() {
    // Coalesced into one repaint by the event loop, however often a tick calls it.
    FFullQueued = true;
    FPlot->replot(QCustomPlot::rpQueuedReplot);
}

TChart::tView TChart::CurrentView() const {
    return {FPlot->xAxis->range().lower, FPlot->xAxis->range().upper, FPlot->yAxis->range().lower,
            FPlot->yAxis->range().upper, FPlot->axisRect()->rect()};
}

void TChart::ReplotPoints() {
    if (FFullQueued || FCurvesQueued) return;
    FCurvesQueued = true;
    QMetaObject::invokeMethod(this, &TChart::ReplotCurves, Qt::QueuedConnection);
}

void TChart::ReplotCurves() {
    if (!FCurvesQueued) return;
    FCurvesQueued = false;
    if (FFullQueued) return;
    // Anything else that moved since the last full repaint (a range, the size) needs one.
    if (!(CurrentView() == FPlotted) || FPlot->geometry() != rect()) {
        FPlot->replot(QCustomPlot::rpImmediateRefresh);
        return;
    }
    // Nothing new (the rate chart between two beats): no repaint at all.
    const std::vector<std::uint64_t> points = PointsState();
    if (points == FDrawnPoints) return;
    SyncSeries();
    FCurves->replot();
    FDrawnPoints = points;
}

std::vector<std::uint64_t> TChart::PointsState() const {
    std::vector<std::uint64_t> state;
    for (const TChartSeries* series : FSeries) {
        const tRun* run = series->Run();
        state.insert(state.end(), {run->Uid(), run->Revision(), static_cast<std::uint64_t>(run->Count())});
    }
    return state;
}

void TChart::SyncSeries() {
    for (TChartSeries* series : FSeries) series->SyncLabels();
}

QImage TChart::ToImage() {
    // A chart that was never shown has had no resize event yet.
    if (FPlot->geometry() != rect()) FPlot->setGeometry(rect());
    SyncSeries();
    const QSize size = FPlot->size();
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    if (FPlot->isVisible()) {
        // Render the on-screen buffers (paintEvent adds the overlay): the fast line drawing of the
        // screen applies, whereas QCustomPlot's export path draws long runs point by point.
        FPlot->replot(QCustomPlot::rpImmediateRefresh);
        FPlot->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    } else {
        painter.drawPixmap(0, 0, FPlot->toPixmap(size.width(), size.height()));
        if (FOverlay) FOverlay(painter);
    }
    return image;
}

void TChart::SaveBitmap(const QString& path) {
    const QImage image = ToImage();
    WriteFileAtomically(
        path, [&](QIODevice& file) { return image.save(&file, "BMP"); },
        tr("Не удалось записать рисунок в файл \"%1\".").arg(path));
}

void TChart::DrawPlot(QCPPainter& painter, const QSize& size) {
    SyncSeries();
    static_cast<tChartPlot*>(FPlot)->DrawAt(painter, size);
}
