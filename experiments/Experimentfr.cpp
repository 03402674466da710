// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Experimentfr.h"

#include <qcustomplot.h>

#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "analysis/Statistics.h"
#include "components/Chart.h"
#include "components/Chartaccessible.h"
#include "components/Contrast.h"
#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Nearestpoint.h"
#include "foundation/Appmessage.h"
#include "foundation/Functions.h"
#include "foundation/Messagebox.h"

namespace {
QFont Tahoma(int pixels, bool bold = false) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

TRichView* NewDocument(const QString& name, bool readOnly) {
    auto* view = new TRichView;
    view->setObjectName(name);
    view->setFont(Tahoma(13));
    view->document()->setDefaultFont(Tahoma(13));
    if (readOnly) view->SetReadOnlyCopyable(true);
    return view;
}

QWidget* NewPage(const QString& name) {
    auto* page = new QWidget;
    page->setObjectName(name);
    return page;
}

void Fill(QWidget* page, QWidget* child) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(child);
}
}  // namespace

TfrExperiment::TfrExperiment(QWidget* owner, bool twiceMarker) : QWidget(owner), FTwiceMarker(twiceMarker) {
    setObjectName(QStringLiteral("frExperiment"));

    pcMain = new QTabWidget(this);
    pcMain->setObjectName(QStringLiteral("pcMain"));
    Fill(this, pcMain);

    tsChart = NewPage(QStringLiteral("tsChart"));
    chMain = new TChart;
    chMain->setObjectName(QStringLiteral("chMain"));
    chMain->AddSeries(QStringLiteral("Series1"), Qt::red);
    chMain->AddSeries(QStringLiteral("Series2"), Qt::blue);
    lbNoSensor = new QLabel(tr("Эксперимент проводится без датчика."));
    lbNoSensor->setObjectName(QStringLiteral("lbNoSensor"));
    lbNoSensor->setFont(Tahoma(32, true));
    lbNoSensor->setAlignment(Qt::AlignCenter);
    lbNoSensor->setWordWrap(true);
    lbNoSensor->hide();  // shows only while the chart is hidden
    auto* chartLayout = new QGridLayout(tsChart);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addWidget(lbNoSensor, 0, 0);
    chartLayout->addWidget(chMain, 0, 0);
    FChartArea = chMain;

    // The table page exists for the layout's sake but its tab is never shown, so it is not a
    // page of pcMain: the visible pages keep the indexes 0 chart, 1 description, 2 report.
    tsTable = NewPage(QStringLiteral("tsTable"));
    tsTable->setParent(this);
    tsTable->setWindowTitle(tr("&Таблица"));
    tsTable->hide();

    tsDescr = NewPage(QStringLiteral("tsDescr"));
    reDescr = NewDocument(QStringLiteral("reDescr"), true);
    Fill(tsDescr, reDescr);
    tsReport = NewPage(QStringLiteral("tsReport"));
    reReport = NewDocument(QStringLiteral("reReport"), false);
    Fill(tsReport, reReport);

    pcMain->addTab(tsChart, tr("&График"));
    pcMain->addTab(tsDescr, tr("&Описание"));
    pcMain->addTab(tsReport, tr("О&тчет"));

    // Point labels are drawn by the chart for labelled points only, which is the mark-text rule.
    AttachChart(chMain);
}

TfrExperiment::~TfrExperiment() {
    // The own lesson goes with the members, after the chart list it would have the charts redraw.
    disconnect(&FOwnLesson, nullptr, this, nullptr);
}

void TfrExperiment::AttachChart(TChart* chart) {
    FCharts.append(chart);
    connect(chart, &TChart::MouseReleased, this,
            [this, chart](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos) {
                ChartMouseReleased(chart, button, modifiers, pos);
            });
    chart->SetAfterDraw([this, chart](QPainter& painter) { DrawOverlay(chart, painter); });
    // The markers can also be put and moved with the keys (Experimentfr_keys.cpp).
    MakeChartFocusable(chart);
    chart->installEventFilter(this);
}

void TfrExperiment::SetChartArea(QWidget* area) {
    auto* layout = static_cast<QGridLayout*>(tsChart->layout());
    layout->removeWidget(FChartArea);
    FChartArea = area;
    layout->addWidget(area, 0, 0);
    area->raise();
}

bool TfrExperiment::eventFilter(QObject* watched, QEvent* event) {
    if (auto* chart = qobject_cast<TChart*>(watched);
        chart && event->type() == QEvent::KeyPress && ChartKeyPressed(chart, static_cast<QKeyEvent*>(event)))
        return true;
    if (watched == chMain && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        lbNoSensor->setVisible(event->type() == QEvent::HideToParent);
    return QWidget::eventFilter(watched, event);
}

int TfrExperiment::ShownTabIndex() const {
    return pcMain->currentIndex();
}

QList<TChart*> TfrExperiment::Charts() const {
    return {chMain};
}

TChart::tPrintTexts TfrExperiment::PrintTexts(const tExperiment& scenario, const QString& statistics) {
    TChart::tPrintTexts texts;
    texts.Title = scenario.Name;
    for (int slot = 0; FLesson && slot < chMain->SeriesCount(); ++slot) {
        const tRun* run = FLesson->SeriesRun(slot);
        if (!run || run->IsEmpty()) continue;
        QString line = tr("Опыт %1").arg(FLesson->IndexOf(run) + 1);
        if (run->Started.isValid())
            line += QStringLiteral(" — ") + run->Started.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        const QString colour = ColourName(chMain->Series(slot)->Color());
        if (!colour.isEmpty()) line += QStringLiteral(" (%1)").arg(colour);
        texts.Runs << line;
    }
    QStringList readouts;
    for (TChart* chart : Charts()) {
        const QString readout = GetMarkerText(scenario.FormatX, scenario.FormatY, chart);
        if (!readout.isEmpty()) readouts << QString(readout).replace(u'\t', QStringLiteral("    "));
    }
    texts.Footer = readouts.join(u'\n');
    texts.Statistics = statistics;
    return texts;
}

// ---- the lesson's runs ----

void TfrExperiment::SetLesson(tLesson* lesson) {
    disconnect(FLesson, nullptr, this, nullptr);
    disconnect(FLesson, nullptr, chMain, nullptr);
    FLesson = lesson ? lesson : &FOwnLesson;
    connect(FLesson, &tLesson::SeriesChanged, this, &TfrExperiment::ShowLessonRuns);
    connect(FLesson, &tLesson::PointsAppended, chMain, &TChart::ReplotPoints);
    connect(FLesson, &tLesson::RunChanged, chMain, &TChart::Replot);
    ShowLessonRuns();
}

void TfrExperiment::ShowLessonRuns() {
    for (int i = 0; i < chMain->SeriesCount(); ++i)
        chMain->Series(i)->SetRun(FLesson ? FLesson->SeriesRun(i) : nullptr);
    // Markers came with an opened lesson: every chart draws them anew.
    for (TChart* chart : FCharts) chart->Replot();
    LessonRunsShown();
}

// ---- point labels ----

void TfrExperiment::AskPointLabel() {
    QString value;
    if (InputQuery(tr("Введите метку точки:"), value)) FPendingLabel = value;
}

QString TfrExperiment::TakePointLabel() {
    return std::exchange(FPendingLabel, QString());
}

// ---- runs ----

void TfrExperiment::ApplyScenarioAxes(const tExperiment& scenario) {
    chMain->BottomAxis().SetRange(scenario.MinX, scenario.MaxX);
    chMain->BottomAxis().SetIncrement(scenario.IncX);
    chMain->BottomAxis().SetTitle(scenario.CaptionX);
    chMain->LeftAxis().SetRange(scenario.MinY, scenario.MaxY);
    chMain->LeftAxis().SetIncrement(scenario.IncY);
    chMain->LeftAxis().SetTitle(scenario.CaptionY);
}

int TfrExperiment::StartMeasurement(const tExperiment& scenario) {
    ApplyScenarioAxes(scenario);
    chMain->SetPanning(false, true);
    chMain->SetZooming(false, false);
    ResetMarkers(chMain);

    // The first empty series; when all hold a curve, overwrite the one older than the last run.
    const int count = chMain->SeriesCount();
    int n = -1;
    for (int i = 0; i < count && n < 0; ++i)
        if (chMain->Series(i)->Count() == 0) n = i;
    if (n < 0) n = FCurrentSeries != 0 ? 0 : count - 1;
    if (n < 0) n = 0;  // a chart without series: nothing to fill, index 0 stays harmless

    // The series lets its run go (the run stays in the lesson); the next run is shown in its place.
    if (TChartSeries* series = chMain->Series(n)) series->Clear();
    FCurrentSeries = n;
    FMeasuring = true;
    FPendingLabel.clear();
    chMain->Replot();
    return n;
}

void TfrExperiment::StopMeasurement() {
    chMain->SetPanning(true, true);
    chMain->SetZooming(true, true);
    FMeasuring = false;
    chMain->Replot();
}

void TfrExperiment::UpdateAxes(bool autoSize) {
    TChartSeries* series = chMain->Series(FCurrentSeries);
    if (!series || series->Count() == 0) return;
    const double x = series->X(series->Count() - 1);
    TChartAxis& axis = chMain->BottomAxis();
    const double min = axis.Minimum(), max = axis.Maximum();
    if (x > max) {
        const double half = (max - min) * 0.5;
        if (autoSize)
            axis.SetRange(min, max + half);
        else
            axis.SetRange(min + half, max + half);
    }
    chMain->ReplotPoints();
}

QString TfrExperiment::GetLastValueText(const QString& formatY) {
    TChartSeries* series = chMain->Series(FCurrentSeries);
    if (!series || series->Count() == 0) return QString();
    return chMain->LeftAxis().Title() + QStringLiteral(" = ") +
           FormatFloat(formatY, series->Y(series->Count() - 1));
}

// ---- markers ----

tLesson::tMarkers TfrExperiment::Markers(const TChart* chart) const {
    const qsizetype slot = FCharts.indexOf(chart);
    return slot < 0 ? tLesson::tMarkers{} : FLesson->Markers(static_cast<int>(slot));
}

void TfrExperiment::ResetMarkers(TChart* chart) {
    const qsizetype slot = FCharts.indexOf(chart);
    if (slot >= 0) FLesson->SetMarkers(static_cast<int>(slot), {});
}

void TfrExperiment::SetMarkers(TChart* chart, int first, int second) {
    const qsizetype slot = FCharts.indexOf(chart);
    if (slot < 0) return;
    FLesson->SetMarkers(static_cast<int>(slot), {first, second});
    chart->Replot();
}

void TfrExperiment::ChartMouseReleased(TChart* chart, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                                       QPoint pos) {
    const qsizetype slot = FCharts.indexOf(chart);
    if (button != Qt::LeftButton || FMeasuring || slot < 0) return;
    tLesson::tMarkers markers = FLesson->Markers(static_cast<int>(slot));
    int& marker = FTwiceMarker && (modifiers & Qt::ControlModifier) ? markers.Second : markers.First;
    TChartSeries* series = chart->Series(FCurrentSeries);
    // The charts are flat, so the cursor needs no 3D offset.
    if (chart->PlotRect().contains(pos) && series && series->Count() > 0) {
        const double xv = chart->BottomAxis().PixelToValue(pos.x());
        marker = NearestPointIndex(
            series->Count(), [series](int i) { return series->X(i); }, xv);
    } else {
        marker = -1;
    }
    FLesson->SetMarkers(static_cast<int>(slot), markers);
    chart->Replot();
    PostAppMessage(WM_MARKER_CHANGED, reinterpret_cast<intptr_t>(chart), 0);
}

void TfrExperiment::DrawOverlay(TChart* chart, QPainter& painter) const {
    if (FMeasuring) return;
    const TChartSeries* series = chart->Series(FCurrentSeries);
    if (!series) return;
    const tLesson::tMarkers markers = Markers(chart);
    const QRect plot = chart->PlotRect();
    TChartAxis& axis = chart->BottomAxis();
    QFont tagFont = chart->Plot()->xAxis->tickLabelFont();
    tagFont.setBold(true);
    auto line = [&](int index, QColor color, int number) {
        if (index < 0 || index >= series->Count()) return;
        const double x = series->X(index);
        if (x < axis.Minimum() || x > axis.Maximum()) return;  // off the visible time range
        painter.save();
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        const double px = axis.ValueToPixel(x);
        const QLineF marker(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        // Yellow and lime are faint on white: a dark edge on both sides carries the contrast, on
        // screen and on paper, and the colours stay as they are. The second marker's edge is
        // dashed, so the two differ for a pupil who does not tell the colours apart, and in grey.
        QPen edge(OutlineColour(), series->LineWidth() + 2 * kMarkerEdge, Qt::SolidLine, Qt::FlatCap);
        if (number == 2) edge.setDashPattern({kMarkerDash, kMarkerDash});
        painter.setPen(edge);
        painter.drawLine(marker);
        painter.setPen(QPen(color, series->LineWidth(), Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(marker);
        // Its number in a tag at the top, the second tag under the first one's place so that
        // neither hides the other when the markers meet.
        painter.setFont(tagFont);
        const QString text = QString::number(number);
        const QFontMetricsF metrics = painter.fontMetrics();
        const double height = metrics.height() + 2 * kMarkerEdge;
        const double width = std::max(height, metrics.horizontalAdvance(text) + 4 * kMarkerEdge);
        const double left = std::clamp(px - width / 2, double(plot.left()),
                                       std::max(double(plot.left()), plot.right() - width));
        const QRectF tag(left, plot.top() + (number - 1) * (height + kMarkerEdge), width, height);
        painter.setPen(QPen(OutlineColour(), kMarkerEdge, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(color);
        painter.drawRect(
            tag.adjusted(kMarkerEdge / 2.0, kMarkerEdge / 2.0, -kMarkerEdge / 2.0, -kMarkerEdge / 2.0));
        painter.drawText(tag, Qt::AlignCenter, text);
        painter.restore();
    };
    // The first marker is drawn last so that it lies on top.
    if (FTwiceMarker) line(markers.Second, QColor(0, 255, 0), 2);
    line(markers.First, QColor(255, 255, 0), 1);
}

QString TfrExperiment::MarkerTextFor(TChart* chart, const QString& formatX, const QString& formatY) const {
    const TChartSeries* series = chart ? chart->Series(FCurrentSeries) : nullptr;
    if (!series) return QString();
    const tLesson::tMarkers markers = Markers(chart);
    const int count = series->Count();
    const int m1 = markers.First, m2 = markers.Second;
    if (m1 < 0 || m1 >= count) return QString();
    const QString tx = chart->BottomAxis().Title();
    QString text = chart->LeftAxis().Title() + u'=' + FormatFloat(formatY, series->Y(m1)) + u'\t' + tx +
                   u'=' + FormatFloat(formatX, series->X(m1));
    if (FTwiceMarker && m2 >= 0 && m2 < count)
        text += u'\t' + QStringLiteral("d") + tx + u'=' + FormatFloat(formatX, series->X(m1) - series->X(m2));
    return text;
}

QString TfrExperiment::GetMarkerText(const QString& formatX, const QString& formatY, TChart*) {
    return MarkerTextFor(chMain, formatX, formatY);
}
