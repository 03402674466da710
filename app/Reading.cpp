// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Reading.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QTabWidget>
#include <QTextCursor>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/Csv.h"
#include "analysis/Statistics.h"
#include "analysis/Tablemodel.h"
#include "app/Mainactions.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Pulsefr.h"
#include "experiments/Sensormodels.h"
#include "experiments/Tableview.h"
#include "foundation/Functions.h"
#include "lesson/Lesson.h"

namespace {
// The chart picture in the report: three times the screen's pixels, sharp when printed.
constexpr double kReportPictureScale = 3.0;
constexpr double kReportPictureMaxSide = 4096;

// Scales the fonts that `root` and its children set themselves (the others inherit the change).
void ScaleFonts(QWidget* root, double factor) {
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* widget : widgets) {
        if (!widget->testAttribute(Qt::WA_SetFont) || !(widget->font().resolveMask() & QFont::SizeResolved))
            continue;
        widget->setFont(ScaledFont(widget->font(), factor));
    }
}
}  // namespace

tResultReading::tResultReading(const tMainActions& actions) : FActions(actions) {}

tResultReading::~tResultReading() = default;

TTablePage* tResultReading::TablePage() const {
    return FTablePage;
}

QLabel* tResultReading::StatisticsLabel() const {
    return FStatistics;
}

void tResultReading::UpdateActions(bool measuring) {
    const int tab = FFrame ? FFrame->ShownTabIndex() : -1;
    FActions.acViewShowAll->setEnabled(tab == 0);
    const bool pulse = tab == 0 && qobject_cast<TfrPulse*>(FFrame) != nullptr;
    FActions.acViewPulseTaller->setEnabled(pulse);
    FActions.acViewPulseShorter->setEnabled(pulse);
    // A report that was not read (its reading cancelled) stays as the lesson holds it.
    FActions.acExperimentInsertChart->setEnabled(FFrame != nullptr && !measuring &&
                                                 !FFrame->ReportView()->isReadOnly());
    // The table tab exports CSV also without a sensor (typed data); the other tabs keep their rule.
    if (FTablePage && FFrame->Pages()->currentWidget() == FTablePage)
        FActions.acFileExport->setEnabled(!measuring && FTablePage->Model()->PointRows() > 0);
}

void tResultReading::GrowPulseChart(int steps) {
    if (auto* pulse = qobject_cast<TfrPulse*>(FFrame)) pulse->GrowPulseChart(steps);
}

void tResultReading::Attach(TfrExperiment* frame, const tExperiment* scenario, tLesson* lesson) {
    if (FLesson) disconnect(FLesson, nullptr, this, nullptr);
    FFrame = frame;
    FScenario = scenario;
    FLesson = lesson;
    FTablePage = nullptr;
    FStatistics = nullptr;
    if (!frame || !scenario) return;
    const bool manual = SensorModelFor(scenario->SensorName).Manual;

    // The table: a fourth tab after the report.
    if (lesson) {
        FTablePage = new TTablePage(lesson, *scenario, manual);
        frame->Pages()->addTab(FTablePage, tr("Т&аблица"));
        if (manual) {
            // Typed pairs are plotted as they come: the chart shows once there is a point.
            const auto follow = [this] {
                const tRun* run = FLesson ? FLesson->SeriesRun(0) : nullptr;
                if (!FFrame) return;
                FFrame->Chart()->setVisible(run && !run->IsEmpty());
                FFrame->Chart()->ShowAll();
            };
            connect(lesson, &tLesson::RunChanged, this, follow);
            connect(lesson, &tLesson::SeriesChanged, this, follow);  // a lesson file opened
            follow();
        }
        connect(lesson, &tLesson::SeriesChanged, this, &tResultReading::UpdateLegend);
        connect(lesson, &tLesson::RunChanged, this, &tResultReading::UpdateStatistics);
        connect(lesson, &tLesson::PointsAppended, this, [this](tRun*, qsizetype from, qsizetype) {
            if (from == 0) UpdateLegend();
        });
    }

    // The statistics panel under the chart: hidden until markers are set.
    FStatistics = new QLabel;
    FStatistics->setObjectName(QStringLiteral("lbStatistics"));
    FStatistics->setWordWrap(true);
    FStatistics->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A palette, not a style sheet: the label keeps following the window's font (projector mode).
    QPalette palette = FStatistics->palette();
    palette.setColor(QPalette::Window, QColor(0xff, 0xfb, 0xe0));
    FStatistics->setPalette(palette);
    FStatistics->setAutoFillBackground(true);
    FStatistics->setContentsMargins(6, 4, 6, 4);
    FStatistics->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    FStatistics->hide();
    if (auto* grid = qobject_cast<QGridLayout*>(frame->ChartPage()->layout())) {
        grid->addWidget(FStatistics, 1, 0);
        grid->setRowStretch(0, 1);
    }

    // The report's own tool bar: the chart goes in where the caret is.
    auto* reportBar = new QToolBar;
    reportBar->setObjectName(QStringLiteral("tlbReport"));
    reportBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    reportBar->addAction(FActions.acExperimentInsertChart);
    if (auto* column = qobject_cast<QVBoxLayout*>(frame->ReportPage()->layout()))
        column->insertWidget(0, reportBar);

    // Tooltips and legend on every chart of the frame.
    const bool projector = FActions.acViewProjector->isChecked();
    for (TChart* chart : frame->findChildren<TChart*>()) {
        chart->SetPointTips([this, chart](int series, int point) {
            const TChartSeries* s = chart->Series(series);
            const QString formatX = FScenario ? FScenario->FormatX : QString();
            const QString formatY = FScenario ? FScenario->FormatY : QString();
            QString text = QStringLiteral("%1: %2\n%3: %4")
                               .arg(chart->BottomAxis().Title(), FormatFloat(formatX, s->X(point)),
                                    chart->LeftAxis().Title(), FormatFloat(formatY, s->Y(point)));
            if (!s->Label(point).isEmpty()) text += QLatin1Char('\n') + s->Label(point);
            return text;
        });
        if (projector) chart->SetProjector(true);
    }
    if (projector) ScaleFonts(frame, kProjectorFontScale);
    UpdateLegend();
}

void tResultReading::UpdateLegend() {
    if (!FFrame || !FLesson) return;
    TChart* chart = FFrame->Chart();
    for (int slot = 0; slot < chart->SeriesCount() && slot < tLesson::SeriesSlots; ++slot) {
        const tRun* run = FLesson->SeriesRun(slot);
        QString caption;
        if (run && (!run->IsEmpty() || run->Started.isValid())) {
            caption = tr("Опыт %1").arg(FLesson->IndexOf(run) + 1);
            if (run->Started.isValid() && !run->SensorName.isEmpty())
                caption += QStringLiteral(", ") + run->Started.toString(QStringLiteral("HH:mm:ss"));
        }
        chart->SetSeriesCaption(slot, caption);
    }
}

QString tResultReading::StatisticsText() const {
    if (!FFrame || !FScenario || !FLesson || FFrame->Measuring()) return {};
    TChart* chart = FFrame->Chart();
    const int slot = FFrame->CurrentSeries();
    const tRun* run = FLesson->SeriesRun(slot);
    if (!run || run->IsEmpty()) return {};
    const auto valid = [run](int index) { return index >= 0 && index < run->Count(); };
    int first = FFrame->FirstMarker(chart), second = FFrame->SecondMarker(chart);
    if (!FFrame->TwiceMarker()) second = -1;
    if (!valid(first)) std::swap(first, second);
    if (!valid(first)) return {};
    tReadoutNames names{
        FLesson->IndexOf(run) + 1, chart->Series(slot) ? chart->Series(slot)->Color() : QColor(),
        FScenario->CaptionX,       FScenario->CaptionY,
        FScenario->FormatX,        FScenario->FormatY};
    if (!valid(second)) {
        second = static_cast<int>(run->Count() - 1);
        names.SecondIsRunEnd = true;
    }
    return ::StatisticsText(ComputeStatistics(*run, first, second), names);
}

void tResultReading::UpdateStatistics() {
    if (!FStatistics) return;
    QStringList lines;
    if (const QString statistics = StatisticsText(); !statistics.isEmpty()) lines << statistics;
    if (StripLines) lines << StripLines();
    const QString text = lines.join(u'\n');
    // The details (each formula's parameters ± σ, RMSE, R²) on demand, as the report gets them.
    FStatistics->setToolTip(ReportLines ? ReportLines().join(u'\n') : QString());
    FStatistics->setText(text);
    FStatistics->setVisible(!text.isEmpty());
}

void tResultReading::ShowAll() {
    if (!FFrame) return;
    for (TChart* chart : FFrame->findChildren<TChart*>()) chart->ShowAll();
}

void tResultReading::SetProjector(QWidget* window, bool on) {
    // Kept for the rest of the program's run: later frames are built with it too (Attach).
    const double factor = on ? kProjectorFontScale : 1 / kProjectorFontScale;
    QApplication::setFont(ScaledFont(QApplication::font(), factor));
    ScaleFonts(window, factor);
    if (FFrame)
        for (TChart* chart : FFrame->findChildren<TChart*>()) chart->SetProjector(on);
}

void tResultReading::InsertChart(const QPageLayout& page) {
    if (!FFrame || !FScenario) return;
    TChart* chart = FFrame->Chart();
    if (chart->isHidden()) return;  // no chart to show (scenario without a sensor and no data)
    TRichView* report = FFrame->ReportView();
    if (report->isReadOnly()) return;  // the placeholder of a report that was not read
    // Every chart of the page as shown, one under the other (the pulse frame has two).
    QList<TChart*> charts;
    for (TChart* each : FFrame->Charts())
        if (each->isVisibleTo(FFrame->ChartPage()) && each->height() > 0) charts << each;
    if (charts.isEmpty()) charts << chart;
    QList<QImage> pictures;
    int width = 0, height = 0;
    // Sharp, but within what the report stores of a picture (4096 pixels on the long side).
    int screenWidth = 0, screenHeight = 0;
    for (TChart* each : charts) {
        screenWidth = std::max(screenWidth, each->width());
        screenHeight += each->height();
    }
    const double scale = std::min(kReportPictureScale,
                                  kReportPictureMaxSide / std::max(1, std::max(screenWidth, screenHeight)));
    for (TChart* each : charts) {
        pictures << each->RenderImage(scale);
        width = std::max(width, pictures.back().width());
        height += pictures.back().height();
    }
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        int y = 0;
        for (const QImage& part : pictures) {
            painter.drawImage(0, y, part);
            y += part.height();
        }
    }
    // The read-outs under the picture: every chart's marker values and the statistics between them.
    QStringList parts;
    for (TChart* each : FFrame->Charts()) {
        const QString markers = FFrame->GetMarkerText(FScenario->FormatX, FScenario->FormatY, each);
        if (!markers.isEmpty() && !parts.contains(markers)) parts << markers;
    }
    for (QString& part : parts) part = part.split(QLatin1Char('\t')).join(QStringLiteral("; "));
    const QString statistics = StatisticsText();
    if (!statistics.isEmpty()) parts << statistics;
    if (ReportLines) parts << ReportLines();
    report->InsertPicture(picture, parts.join(QLatin1Char('\n')), PrintableWidth(page));
    FFrame->Pages()->setCurrentWidget(FFrame->ReportPage());
}

void tResultReading::ExportTable(const QString& path) {
    if (!FTablePage) return;
    WriteFileAtomically(path, [this](QIODevice& file) {
        return WriteCsv(*FTablePage->Model(), CsvFormatFor(DecimalSeparator()), file);
    });
}
