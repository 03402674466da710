// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Pulsefr.h"

#include <QEvent>
#include <QSplitter>
#include <QTimer>
#include <algorithm>

#include "components/Chart.h"
#include "components/Splitter.h"
#include "experiments/Experiment.h"
#include "foundation/Functions.h"
#include "lesson/Lesson.h"

namespace {
constexpr int kLeastChartHeight = 60;  // pixels
}  // namespace

TfrPulse::TfrPulse(QWidget* owner, bool twiceMarker) : TfrExperiment(owner, twiceMarker) {
    chPulse = new TChart;
    chPulse->setObjectName(QStringLiteral("chPulse"));
    chPulse->AddSeries(QStringLiteral("LineSeries1"), Qt::red);
    chPulse->AddSeries(QStringLiteral("LineSeries2"), Qt::blue);
    chPulse->LeftAxis().SetTitle(tr("Частота"));

    slVert = new TKeySplitter(Qt::Vertical);
    slVert->setObjectName(QStringLiteral("slVert"));
    slVert->setHandleWidth(3);
    slVert->setChildrenCollapsible(false);
    // However far the border is moved, each chart keeps room for a curve and stays in sight.
    for (TChart* chart : {chMain, chPulse}) chart->setMinimumHeight(kLeastChartHeight);
    slVert->addWidget(chMain);
    slVert->addWidget(chPulse);
    slVert->setStretchFactor(0, 1);
    slVert->setStretchFactor(1, 0);
    // The border between the charts moves by keys too; Tab meets it between the two charts.
    QSplitterHandle* border = slVert->handle(1);
    border->setObjectName(QStringLiteral("slVertHandle"));
    border->setAccessibleName(tr("Граница между графиками"));
    border->setAccessibleDescription(
        tr("Стрелки вверх и вниз меняют высоту графиков, Page Up и Page Down — быстрее"));
    setTabOrder(chMain, border);
    setTabOrder(border, chPulse);
    SetChartArea(slVert);

    AttachChart(chPulse);
    TChart::AlignPlotEdges({chMain, chPulse});
    tsChart->installEventFilter(this);
}

TfrPulse::~TfrPulse() = default;

bool TfrPulse::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tsChart && event->type() == QEvent::Show && FChartShowings < PulseHeightShowings) {
        ++FChartShowings;
        // The page may get its final size only once the pending layout requests ran: size now and
        // once more right after them. Later showings leave the border where the user put it.
        ApplyPulseHeight();
        QTimer::singleShot(0, this, &TfrPulse::ApplyPulseHeight);
    }
    return TfrExperiment::eventFilter(watched, event);
}

QSplitter* TfrPulse::VerticalSplitter() const {
    return slVert;
}

void TfrPulse::GrowPulseChart(int steps) {
    slVert->MoveBorder(1, -steps);
}

void TfrPulse::ApplyPulseHeight() {
    const int page = tsChart->height();
    const int pulse = int(page * PulseHeightShare);
    slVert->setSizes({std::max(0, page - slVert->handleWidth() - pulse), pulse});
}

QString TfrPulse::GetMarkerText(const QString& formatX, const QString& formatY, TChart* chart) {
    return MarkerTextFor(chart == chPulse ? chPulse : chMain, formatX, formatY);
}

QString TfrPulse::GetLastValueText(const QString& formatY) {
    QString text = TfrExperiment::GetLastValueText(formatY);
    const TChartSeries* rates = chPulse->Series(CurrentSeries());
    if (rates && rates->Count() > 0)
        text +=
            u'\t' + chPulse->LeftAxis().Title() + u'=' + FormatFloat(formatY, rates->Y(rates->Count() - 1));
    return text;
}

int TfrPulse::StartMeasurement(const tExperiment& scenario) {
    const int n = TfrExperiment::StartMeasurement(scenario);
    TChartAxis& bottom = chMain->BottomAxis();
    chPulse->BottomAxis().SetRange(bottom.Minimum(), bottom.Maximum());
    chPulse->BottomAxis().SetIncrement(bottom.Increment());
    chPulse->BottomAxis().SetTitle(bottom.Title());
    chPulse->LeftAxis().SetRange(0, 120);
    chPulse->LeftAxis().SetIncrement(10);
    chPulse->LeftAxis().SetTitle(tr("Частота"));
    chPulse->SetPanning(false, true);
    chPulse->SetZooming(false, false);
    ResetMarkers(chPulse);
    if (TChartSeries* rates = chPulse->Series(n)) rates->Clear();
    FDetector.Reset();
    chPulse->Replot();
    return n;
}

void TfrPulse::StopMeasurement() {
    TfrExperiment::StopMeasurement();
    chPulse->SetPanning(true, true);
    chPulse->SetZooming(true, true);
    chPulse->Replot();
}

void TfrPulse::UpdateAxes(bool autoSize) {
    TfrExperiment::UpdateAxes(autoSize);
    if (TChartSeries* wave = chMain->Series(CurrentSeries())) {
        TChartSeries* rates = chPulse->Series(CurrentSeries());
        // The lesson keeps the rates as they come, so it shows exactly these again.
        const tRun* run = Measuring() ? Lesson()->SeriesRun(CurrentSeries()) : nullptr;
        if (run && !Lesson()->HeartRates(run)) Lesson()->SetHeartRates(run, {});
        FDetector.Scan({[wave] { return wave->Count(); }, [wave](int i) { return wave->X(i); },
                        [wave](int i) { return wave->Y(i); }},
                       [this, rates, run](double x, int rate) {
                           if (rates) rates->AddXY(x, rate, TakePointLabel(), rates->Color());
                           if (run) Lesson()->AddHeartRate(run, QPointF(x, rate));
                       });
    }
    TChartAxis& bottom = chMain->BottomAxis();
    chPulse->BottomAxis().SetRange(bottom.Minimum(), bottom.Maximum());
    chPulse->ReplotPoints();
}

QList<TChart*> TfrPulse::Charts() const {
    return {chMain, chPulse};
}

void TfrPulse::LessonRunsShown() {
    if (Lesson() != FWatched) {
        if (FWatched) disconnect(FWatched, &tLesson::RunChanged, this, nullptr);
        FWatched = Lesson();
        if (FWatched)
            connect(FWatched, &tLesson::RunChanged, this, [this](tRun* run) {
                if (Measuring()) return;
                // An edited wave's measured rates no longer belong to it.
                FWatched->DropHeartRates(run);
                DeriveRates();
            });
    }
    // While a run is measured its rates come live; a series shown anew meanwhile is the new run.
    if (!Measuring()) DeriveRates();
}

void TfrPulse::DeriveRates() {
    for (int slot = 0; slot < chPulse->SeriesCount(); ++slot) {
        TChartSeries* rates = chPulse->Series(slot);
        rates->Clear();
        const TChartSeries* wave = chMain->Series(slot);
        if (!wave) continue;
        const tRun* run = Lesson()->SeriesRun(slot);
        if (const QVector<QPointF>* kept = run ? Lesson()->HeartRates(run) : nullptr) {
            for (const QPointF& rate : *kept) rates->AddXY(rate.x(), rate.y(), QString(), rates->Color());
            continue;
        }
        tBeatDetector detector;
        detector.Derive({[wave] { return wave->Count(); }, [wave](int i) { return wave->X(i); },
                         [wave](int i) { return wave->Y(i); }},
                        [rates](double x, int rate) { rates->AddXY(x, rate, QString(), rates->Color()); });
    }
    chPulse->Replot();
}
