#include "components/Chart.h"

#include <qcustomplot.h>

#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <map>

#include "foundation/Exceptions.h"

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
// user zoomed out).
void UpdateTickStrategy(QCPAxis* axis) {
    auto fixed = axis->ticker().dynamicCast<QCPAxisTickerFixed>();
    if (!fixed) return;
    const double ticks = axis->range().size() / fixed->tickStep();
    fixed->setScaleStrategy(ticks > kMaxFixedTicks ? QCPAxisTickerFixed::ssMultiples
                                                   : QCPAxisTickerFixed::ssNone);
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
    QCPGraph* Graph;
    QString Name;
    QColor Color;
    // Labelled points only: a run of thousands of points usually carries a handful of labels.
    std::map<int, QCPItemText*> Labels;
};

TChartSeries::TChartSeries(TChart* chart, QCPGraph* graph, const QString& name)
    : FImpl(std::make_unique<tImpl>()) {
    FImpl->Chart = chart;
    FImpl->Graph = graph;
    FImpl->Name = name;
    graph->setName(name);
    graph->setLineStyle(QCPGraph::lsLine);
    graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    graph->setAdaptiveSampling(true);
    // 5-pixel antialiased polylines with joins cost far more than the data: drawn as plain
    // segments, a long run repaints in a few milliseconds.
    graph->setAntialiased(false);
}

TChartSeries::~TChartSeries() {
    QCustomPlot* plot = FImpl->Chart->FPlot;
    for (auto& [index, item] : FImpl->Labels) plot->removeItem(item);
    plot->removeGraph(FImpl->Graph);
}

void TChartSeries::AddXY(double x, double y, const QString& label, const QColor& color) {
    // One point appended at the end of the sorted container is O(1) amortised.
    FImpl->Graph->addData(x, y);
    if (label.isEmpty()) return;
    auto* item = new QCPItemText(FImpl->Chart->FPlot);
    item->position->setType(QCPItemPosition::ptPlotCoords);
    item->position->setAxes(FImpl->Graph->keyAxis(), FImpl->Graph->valueAxis());
    item->position->setCoords(x, y);
    item->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    item->setText(label);
    item->setColor(color.isValid() ? color : FImpl->Color);
    item->setPen(QPen(Qt::black));
    item->setBrush(QBrush(QColor(255, 255, 225)));
    item->setPadding(QMargins(3, 1, 3, 1));
    item->setClipToAxisRect(true);
    const int index = Count() - 1;
    auto old = FImpl->Labels.find(index);
    if (old != FImpl->Labels.end()) FImpl->Chart->FPlot->removeItem(old->second);
    FImpl->Labels[index] = item;
}

void TChartSeries::Clear() {
    for (auto& [index, item] : FImpl->Labels) FImpl->Chart->FPlot->removeItem(item);
    FImpl->Labels.clear();
    FImpl->Graph->data()->clear();
}

int TChartSeries::Count() const {
    return FImpl->Graph->data()->size();
}

double TChartSeries::X(int index) const {
    if (index < 0 || index >= Count()) return 0;
    return FImpl->Graph->data()->at(index)->key;
}

double TChartSeries::Y(int index) const {
    if (index < 0 || index >= Count()) return 0;
    return FImpl->Graph->data()->at(index)->value;
}

QString TChartSeries::Label(int index) const {
    auto it = FImpl->Labels.find(index);
    return it == FImpl->Labels.end() ? QString() : it->second->text();
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
    SetPanning(true, true);
    SetZooming(true, true);
    connect(FPlot, &QCustomPlot::mouseRelease, this, [this](QMouseEvent* event) {
        emit MouseReleased(event->button(), event->modifiers(), FPlot->mapTo(this, event->pos()));
    });
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
    QCPGraph* graph = FPlot->addGraph(FPlot->xAxis, FPlot->yAxis);
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
    FPlot->replot(QCustomPlot::rpQueuedReplot);
}

QImage TChart::ToImage() {
    // A chart that was never shown has had no resize event yet.
    if (FPlot->geometry() != rect()) FPlot->setGeometry(rect());
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw tException(QString("Не удалось создать файл \"%1\": %2").arg(path, file.errorString()));
    if (!image.save(&file, "BMP")) {
        file.cancelWriting();
        throw tException(QString("Не удалось записать рисунок в файл \"%1\".").arg(path));
    }
    if (!file.commit())
        throw tException(QString("Не удалось записать файл \"%1\": %2").arg(path, file.errorString()));
}

void TChart::DrawPlot(QCPPainter& painter, const QSize& size) {
    static_cast<tChartPlot*>(FPlot)->DrawAt(painter, size);
}
