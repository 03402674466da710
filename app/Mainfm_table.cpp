// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: reading the results — the «Таблица» tab with CSV export, the statistics between the
// markers under the chart, the chart inserted into the report, «Показать все», the legend, point
// tooltips and the projector mode.
#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTabWidget>
#include <QTextCursor>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/Csv.h"
#include "analysis/Statistics.h"
#include "analysis/Tablemodel.h"
#include "app/Mainfm.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Tableview.h"
#include "foundation/Functions.h"
#include "lesson/Lesson.h"

namespace {
constexpr int kTableTab = 3;
// The chart picture in the report: three times the screen's pixels, sharp when printed.
constexpr double kReportPictureScale = 3.0;
constexpr double kReportPictureMaxSide = 4096;

bool IsManualScenario(const tExperiment& e) {
    return e.SensorName.toUpper() == QStringLiteral("NO");
}

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

void TfmMain::CreateReadingActions() {
    const QString view = QStringLiteral("View"), experiment = QStringLiteral("Experiment");
    acViewShowAll =
        NewAction("acViewShowAll", view, QStringLiteral("Показать &все"),
                  QStringLiteral("Показать на графике все точки опытов"), -1, &TfmMain::acViewShowAllExecute);
    acViewShowAll->setShortcut(QKeySequence(Qt::Key_Home));
    acViewProjector = NewAction("acViewProjector", view, QStringLiteral("Режим &проектора"),
                                QStringLiteral("Крупные надписи и толстые линии для показа на экране класса"),
                                -1, &TfmMain::acViewProjectorExecute);
    acViewProjector->setCheckable(true);
    acExperimentInsertChart =
        NewAction("acExperimentInsertChart", experiment, QStringLiteral("Вставить &график в отчет"),
                  QStringLiteral("Вставить график с показаниями маркеров в отчет"), -1,
                  &TfmMain::acExperimentInsertChartExecute);
    for (QAction* action : {acViewShowAll, acViewProjector, acExperimentInsertChart}) addAction(action);

    for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        if (menu->objectName() == QStringLiteral("miView")) {
            menu->addAction(acViewShowAll);
            menu->addAction(acViewProjector);
        } else if (menu->objectName() == QStringLiteral("miExperiment")) {
            menu->addSeparator();
            menu->addAction(acExperimentInsertChart);
        }
    }
    tlbMain->addSeparator();
    tlbMain->addAction(acViewShowAll);
    if (auto* button = qobject_cast<QToolButton*>(tlbMain->widgetForAction(acViewShowAll))) {
        button->setObjectName(QStringLiteral("tbViewShowAll"));
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
}

void TfmMain::UpdateReadingActions() {
    const bool measuring = IsMeasuring();
    const int tab = FFrame ? FFrame->ShownTabIndex() : -1;
    acViewShowAll->setEnabled(tab == 0);
    acExperimentInsertChart->setEnabled(FFrame != nullptr && !measuring);
    // The table tab exports CSV also without a sensor (typed data); the other tabs keep their rule.
    if (tab == kTableTab)
        acFileExport->setEnabled(!measuring && FTablePage && FTablePage->Model()->PointRows() > 0);
}

void TfmMain::AttachReading() {
    FTablePage = nullptr;
    FStatistics = nullptr;
    if (!FFrame || !FExperiment) return;
    const tExperiment& e = *FExperiment;
    tLesson* lesson = ShownLesson();

    // The table: a fourth tab after the report.
    if (lesson) {
        FTablePage = new TTablePage(lesson, e, IsManualScenario(e));
        FFrame->Pages()->addTab(FTablePage, QStringLiteral("Т&аблица"));
        if (IsManualScenario(e)) {
            // Typed pairs are plotted as they come: the chart shows once there is a point.
            const auto follow = [this] {
                tLesson* shown = ShownLesson();
                const tRun* run = shown ? shown->SeriesRun(0) : nullptr;
                if (!FFrame) return;
                FFrame->Chart()->setVisible(run && !run->IsEmpty());
                FFrame->Chart()->ShowAll();
            };
            connect(lesson, &tLesson::RunChanged, FTablePage, follow);
            connect(lesson, &tLesson::SeriesChanged, FTablePage, follow);  // a lesson file opened
            follow();
        }
        connect(lesson, &tLesson::SeriesChanged, FFrame, [this] { UpdateLegend(); });
        connect(lesson, &tLesson::RunChanged, FFrame, [this] { UpdateStatistics(); });
        connect(lesson, &tLesson::PointsAppended, FFrame, [this](tRun*, qsizetype from, qsizetype) {
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
    if (auto* grid = qobject_cast<QGridLayout*>(FFrame->ChartPage()->layout())) {
        grid->addWidget(FStatistics, 1, 0);
        grid->setRowStretch(0, 1);
    }

    // The report's own tool bar: the chart goes in where the caret is.
    auto* reportBar = new QToolBar;
    reportBar->setObjectName(QStringLiteral("tlbReport"));
    reportBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    reportBar->addAction(acExperimentInsertChart);
    if (auto* column = qobject_cast<QVBoxLayout*>(FFrame->ReportPage()->layout()))
        column->insertWidget(0, reportBar);

    // Tooltips and legend on every chart of the frame.
    for (TChart* chart : FFrame->findChildren<TChart*>()) {
        chart->SetPointTips([this, chart](int series, int point) {
            const TChartSeries* s = chart->Series(series);
            const QString formatX = FExperiment ? FExperiment->FormatX : QString();
            const QString formatY = FExperiment ? FExperiment->FormatY : QString();
            QString text = QStringLiteral("%1: %2\n%3: %4")
                               .arg(chart->BottomAxis().Title(), FormatFloat(formatX, s->X(point)),
                                    chart->LeftAxis().Title(), FormatFloat(formatY, s->Y(point)));
            if (!s->Label(point).isEmpty()) text += QLatin1Char('\n') + s->Label(point);
            return text;
        });
        if (acViewProjector->isChecked()) chart->SetProjector(true);
    }
    if (acViewProjector->isChecked()) ScaleFonts(FFrame, kProjectorFontScale);
    UpdateLegend();
}

void TfmMain::UpdateLegend() {
    tLesson* lesson = ShownLesson();
    if (!FFrame || !lesson) return;
    TChart* chart = FFrame->Chart();
    for (int slot = 0; slot < chart->SeriesCount() && slot < tLesson::SeriesSlots; ++slot) {
        const tRun* run = lesson->SeriesRun(slot);
        QString caption;
        if (run && (!run->IsEmpty() || run->Started.isValid())) {
            caption = QStringLiteral("Опыт %1").arg(lesson->IndexOf(run) + 1);
            if (run->Started.isValid() && !run->SensorName.isEmpty())
                caption += QStringLiteral(", ") + run->Started.toString(QStringLiteral("HH:mm:ss"));
        }
        chart->SetSeriesCaption(slot, caption);
    }
}

QString TfmMain::StatisticsText() const {
    tLesson* lesson = ShownLesson();
    if (!FFrame || !FExperiment || !lesson || FFrame->Measuring()) return {};
    TChart* chart = FFrame->Chart();
    const int slot = FFrame->CurrentSeries();
    const tRun* run = lesson->SeriesRun(slot);
    if (!run || run->IsEmpty()) return {};
    const auto valid = [run](int index) { return index >= 0 && index < run->Count(); };
    int first = FFrame->FirstMarker(chart), second = FFrame->SecondMarker(chart);
    if (!FFrame->TwiceMarker()) second = -1;
    if (!valid(first)) std::swap(first, second);
    if (!valid(first)) return {};
    tReadoutNames names{
        lesson->IndexOf(run) + 1, chart->Series(slot) ? chart->Series(slot)->Color() : QColor(),
        FExperiment->CaptionX,    FExperiment->CaptionY,
        FExperiment->FormatX,     FExperiment->FormatY};
    if (!valid(second)) {
        second = static_cast<int>(run->Count() - 1);
        names.SecondIsRunEnd = true;
    }
    return ::StatisticsText(ComputeStatistics(*run, first, second), names);
}

void TfmMain::UpdateStatistics() {
    if (!FStatistics) return;
    const QString text = StatisticsText();
    FStatistics->setText(text);
    FStatistics->setVisible(!text.isEmpty());
}

void TfmMain::acViewShowAllExecute() {
    if (!FFrame) return;
    for (TChart* chart : FFrame->findChildren<TChart*>()) chart->ShowAll();
}

void TfmMain::acViewProjectorExecute() {
    // Kept for the rest of the session: later frames are built with it too (AttachReading).
    const bool on = acViewProjector->isChecked();
    const double factor = on ? kProjectorFontScale : 1 / kProjectorFontScale;
    QApplication::setFont(ScaledFont(QApplication::font(), factor));
    ScaleFonts(this, factor);
    if (FFrame)
        for (TChart* chart : FFrame->findChildren<TChart*>()) chart->SetProjector(on);
}

void TfmMain::acExperimentInsertChartExecute() {
    if (!FFrame || !FExperiment) return;
    TChart* chart = FFrame->Chart();
    if (chart->isHidden()) return;  // no chart to show (scenario without a sensor and no data)
    // Every chart of the page as shown, one under the other (the pulse frame has two).
    QList<TChart*> charts;
    for (TChart* each : FFrame->ChartPage()->findChildren<TChart*>())
        if (each->isVisibleTo(FFrame->ChartPage()) && each->height() > 0) charts << each;
    std::sort(charts.begin(), charts.end(), [](TChart* a, TChart* b) {
        return a->mapTo(a->window(), QPoint()).y() < b->mapTo(b->window(), QPoint()).y();
    });
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
    TRichView* report = FFrame->ReportView();
    report->InsertImage(picture);
    // The read-outs under the picture: the marker values and the statistics between them.
    QStringList parts;
    const QString markers = FFrame->GetMarkerText(FExperiment->FormatX, FExperiment->FormatY, chart);
    if (!markers.isEmpty()) parts << markers.split(QLatin1Char('\t')).join(QStringLiteral("; "));
    const QString statistics = StatisticsText();
    if (!statistics.isEmpty()) parts << statistics;
    QTextCursor cursor = report->textCursor();
    cursor.beginEditBlock();
    cursor.insertBlock();
    if (!parts.isEmpty()) {
        cursor.insertText(parts.join(QLatin1Char('\n')).replace(QLatin1Char('\n'), QChar::LineSeparator));
        cursor.insertBlock();
    }
    cursor.endEditBlock();
    report->setTextCursor(cursor);
    FFrame->Pages()->setCurrentWidget(FFrame->ReportPage());
}

QString TfmMain::AskCsvFile() {
    return AskSaveFile(QStringLiteral("csv"),
                       {QStringLiteral("CSV-файлы (*.csv)"), QStringLiteral("Все файлы (*)")});
}

void TfmMain::ExportTable() {
    if (!FTablePage) return;
    const QString path = AskCsvFile();
    if (path.isEmpty()) return;
    WriteFileAtomically(path, [this](QIODevice& file) {
        return WriteCsv(*FTablePage->Model(), CsvFormatFor(DecimalSeparator()), file);
    });
}

tLesson* TfmMain::ShownLesson() const {
    return FLesson.get();
}

TTablePage* TfmMain::TablePage() const {
    return FTablePage;
}

QLabel* TfmMain::StatisticsLabel() const {
    return FStatistics;
}
