// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Analysisactions.h"

#include <QAction>
#include <QInputDialog>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "analysis/Fitrunner.h"
#include "analysis/Fitwords.h"
#include "analysis/Slopearea.h"
#include "analysis/Statistics.h"
#include "app/Fitdialog.h"
#include "app/Mainactions.h"
#include "app/Reading.h"
#include "components/Chart.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "lesson/Lesson.h"

namespace {
// The prediction as the typing box shows it again, one point per line.
QString PredictionText(const QVector<QPointF>& points) {
    QStringList lines;
    for (const QPointF& p : points) lines << ShortNumber(p.x()) + u' ' + ShortNumber(p.y());
    return lines.join(u'\n');
}

bool ParseNumber(QString text, double& value) {
    text.replace(u',', u'.');
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}
}  // namespace

bool ParsePredictionPoints(const QString& text, QVector<QPointF>& points, QString* problem) {
    QVector<QPointF> read;
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty()) continue;
        // «0 80», «0; 80», «0,5 80,5», «0.5\t80»: a comma between digits is a decimal comma.
        const QStringList parts =
            line.split(QRegularExpression(QStringLiteral("\\s*;\\s*|\\s+")), Qt::SkipEmptyParts);
        double t = 0, y = 0;
        if (parts.size() != 2 || !ParseNumber(parts[0], t) || !ParseNumber(parts[1], y)) {
            if (problem)
                *problem = tAnalysisActions::tr("Строка %1 («%2»): нужны два числа — время и значение.")
                               .arg(i + 1)
                               .arg(line);
            return false;
        }
        read.append(QPointF(t, y));
    }
    std::stable_sort(read.begin(), read.end(),
                     [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    points = read;
    return true;
}

struct tAnalysisActions::tTarget {
    tRun* Run = nullptr;
    int RunIndex = -1;
    int Slot = 0;
    qsizetype First = 0;
    qsizetype Last = 0;
    int Markers = 0;  // how many markers chose the range
};

tAnalysisActions::tAnalysisActions(const tMainActions& actions, tResultReading& reading, QWidget* window)
    : FActions(actions), FReading(reading), FWindow(window), FRunner(std::make_unique<tFitRunner>()) {
    FRemoveMenu = new QMenu(tr("&Убрать"), window);
    FRemoveMenu->setObjectName(QStringLiteral("miExperimentRemove"));
    FRemoveMenu->menuAction()->setObjectName(QStringLiteral("acExperimentRemove"));
    connect(FRemoveMenu, &QMenu::aboutToShow, this, &tAnalysisActions::FillRemoveMenu);
    connect(FRunner.get(), &tFitRunner::Finished, this, &tAnalysisActions::Finished);
    FReading.StripLines = [this] { return StripLines(); };
    FReading.ReportLines = [this] { return ReportLines(); };

    AskFit = [this](const QString& range, tFitModel& model, QString& formula) {
        TfmFit dialog(FWindow, range);
        dialog.SetChoice(model, formula);
        if (dialog.exec() != QDialog::Accepted) return false;
        model = dialog.Model();
        formula = dialog.Formula();
        return true;
    };
    AskPrediction = [this](QString& text) {
        QInputDialog dialog(FWindow);
        dialog.setWindowTitle(tr("Прогноз"));
        dialog.setLabelText(tr("Точки прогноза, по одной в строке: время и значение (например, «60 45,5»):"));
        dialog.setOption(QInputDialog::UsePlainTextEditForTextInput);
        dialog.setTextValue(text);
        // The field's name for a screen reader: the dialog's label is not tied to it.
        if (auto* field = dialog.findChild<QPlainTextEdit*>()) field->setAccessibleName(dialog.windowTitle());
        if (dialog.exec() != QDialog::Accepted) return false;
        text = dialog.textValue();
        return true;
    };
}

tAnalysisActions::~tAnalysisActions() {
    FReading.StripLines = nullptr;
    FReading.ReportLines = nullptr;
}

void tAnalysisActions::Attach(TfrExperiment* frame, const tExperiment* scenario, tLesson* lesson) {
    if (FLesson) disconnect(FLesson, nullptr, this, nullptr);
    FRunner->Cancel();
    FRequest = 0;
    FProblem.clear();
    FSaying = false;
    // A new chart is not being drawn on.
    FActions.acExperimentDrawPrediction->setChecked(false);
    FFrame = frame;
    FScenario = scenario;
    FLesson = lesson;
    if (!frame || !lesson) return;
    connect(lesson, &tLesson::AnalysesChanged, this, &tAnalysisActions::Redraw);
    connect(lesson, &tLesson::SeriesChanged, this, &tAnalysisActions::Redraw);
    // A slope or area follows the points it is computed from.
    connect(lesson, &tLesson::RunChanged, this, &tAnalysisActions::Redraw);
    connect(frame->Chart(), &TChart::PredictionDrawn, this, [this] {
        if (!FFrame || !FLesson) return;
        const QVector<QPointF> drawn = FFrame->Chart()->Prediction();
        DrawPrediction(false);
        Changed([&](tLessonAnalyses& a) { a.Prediction.Points = drawn; });
    });
    Redraw();
}

void tAnalysisActions::UpdateActions(bool measuring) {
    tTarget target;
    const bool ready = FFrame && FLesson && !measuring && !FFrame->Chart()->isHidden();
    const bool points = ready && MarkedRange(target);
    FActions.acExperimentFit->setEnabled(points);
    FActions.acExperimentSlope->setEnabled(points && target.Markers >= 1);
    FActions.acExperimentArea->setEnabled(points && target.Markers >= 1);
    FActions.acExperimentDrawPrediction->setEnabled(ready);
    FActions.acExperimentTypePrediction->setEnabled(ready);
    if (!ready && FActions.acExperimentDrawPrediction->isChecked()) DrawPrediction(false);
    FRemoveMenu->setEnabled(ready);
}

bool tAnalysisActions::MarkedRange(tTarget& target) const {
    if (!FFrame || !FLesson) return false;
    target.Slot = FFrame->CurrentSeries();
    target.Run = FLesson->SeriesRun(target.Slot);
    if (!target.Run || target.Run->IsEmpty()) return false;
    target.RunIndex = FLesson->IndexOf(target.Run);
    const TChart* chart = FFrame->Chart();
    const qsizetype count = target.Run->Count();
    const auto valid = [count](int index) { return index >= 0 && index < count; };
    int first = FFrame->FirstMarker(chart);
    int second = FFrame->TwiceMarker() ? FFrame->SecondMarker(chart) : -1;
    if (!valid(first)) std::swap(first, second);
    target.Markers = valid(first) + valid(second);
    if (!valid(first)) {
        target.First = 0;
        target.Last = count - 1;
    } else {
        target.First = first;
        target.Last = valid(second) ? second : count - 1;
        if (target.First > target.Last) std::swap(target.First, target.Last);
    }
    return true;
}

tReadoutNames tAnalysisActions::Names(int runIndex, int slot) const {
    const TChartSeries* series = FFrame ? FFrame->Chart()->Series(slot) : nullptr;
    return tReadoutNames{runIndex + 1,
                         series ? series->Color() : QColor(),
                         FScenario ? FScenario->CaptionX : QString(),
                         FScenario ? FScenario->CaptionY : QString(),
                         FScenario ? FScenario->FormatX : QString(),
                         FScenario ? FScenario->FormatY : QString()};
}

int tAnalysisActions::SlotOf(int runIndex) const {
    if (!FFrame || !FLesson) return -1;
    const tRun* run = FLesson->Run(runIndex);
    if (!run) return -1;
    for (int slot = 0; slot < FFrame->Chart()->SeriesCount() && slot < tLesson::SeriesSlots; ++slot)
        if (FLesson->SeriesRun(slot) == run) return slot;
    return -1;
}

// ---------------------------------------------------------------------------------------------
// the actions

void tAnalysisActions::Fit() {
    tTarget target;
    if (!MarkedRange(target)) return;
    const tRun& run = *target.Run;
    const QString unit = CaptionUnit(FScenario ? FScenario->CaptionX : QString());
    QString range = RunTitle(target.RunIndex + 1, Names(target.RunIndex, target.Slot).Colour) +
                    tr(", от %1 до %2")
                        .arg(WithUnit(ShortNumber(run.X(target.First)), unit),
                             WithUnit(ShortNumber(run.X(target.Last)), unit));
    range += target.Markers > 0 ? tr(" (по маркерам)") : tr(" (весь опыт)");
    // The dialog offers what was chosen last.
    tFitModel model = FLastModel;
    QString formula = FLastFormula;
    if (!AskFit(range, model, formula)) return;
    FLastModel = model;
    FLastFormula = formula;
    FProblem.clear();
    FRequestRun = run.Uid();
    FRequest = FRunner->Request(run, target.RunIndex, target.First, target.Last, model, formula);
    FReading.UpdateStatistics();
}

void tAnalysisActions::Finished(quint64 request, const tFitResult& result) {
    if (request != FRequest) return;
    FRequest = 0;
    // The run went (another lesson, a new scenario) while it was fitted: nothing to keep.
    const tRun* run = FLesson ? FLesson->Run(result.Record.Run) : nullptr;
    if (!run || run->Uid() != FRequestRun) {
        FReading.UpdateStatistics();
        return;
    }
    if (!result.Converged) {
        Say(FitFailureSentence(result));
        return;
    }
    Changed([&](tLessonAnalyses& a) { a.Fits.append(result.Record); });
}

bool tAnalysisActions::Busy() const {
    return FRequest != 0;
}

void tAnalysisActions::Slope() {
    tTarget target;
    if (!MarkedRange(target) || target.Markers < 1) return;
    // At the first marker: the range's start unless the second marker came first.
    int at = FFrame->FirstMarker(FFrame->Chart());
    if (at < 0 || at >= target.Run->Count()) at = static_cast<int>(target.First);
    const tSlopeRecord record{target.RunIndex, at, DefaultSlopeWindow(*target.Run)};
    const tSlope slope = ComputeSlope(*target.Run, record);
    if (!slope.Valid) {
        Say(tr("Наклон не найден: %1").arg(slope.Problem));
        return;
    }
    FProblem.clear();
    Changed([&](tLessonAnalyses& a) { a.Slopes.append(record); });
}

void tAnalysisActions::Area() {
    tTarget target;
    if (!MarkedRange(target) || target.Markers < 1) return;
    const tAreaRecord record{target.RunIndex, target.First, target.Last};
    const tArea area = ComputeArea(*target.Run, record);
    if (!area.Valid) {
        Say(tr("Площадь не найдена: %1").arg(area.Problem));
        return;
    }
    FProblem.clear();
    Changed([&](tLessonAnalyses& a) { a.Areas.append(record); });
}

void tAnalysisActions::DrawPrediction(bool on) {
    FActions.acExperimentDrawPrediction->setChecked(on);
    if (FFrame) FFrame->Chart()->SetPredictionDrawing(on);
}

void tAnalysisActions::TogglePrediction() {
    DrawPrediction(!(FFrame && FFrame->Chart()->PredictionDrawing()));
}

void tAnalysisActions::TypePrediction() {
    if (!FLesson) return;
    QString text = PredictionText(FLesson->Analyses().Prediction.Points);
    if (!AskPrediction(text)) return;
    QVector<QPointF> points;
    QString problem;
    if (!ParsePredictionPoints(text, points, &problem)) {
        Say(problem);  // the points stay as they were
        return;
    }
    FProblem.clear();
    Changed([&](tLessonAnalyses& a) { a.Prediction.Points = points; });
}

void tAnalysisActions::Changed(const std::function<void(tLessonAnalyses&)>& change) {
    if (!FLesson) return;
    tLessonAnalyses analyses = FLesson->Analyses();
    change(analyses);
    FLesson->SetAnalyses(analyses);  // AnalysesChanged draws them
}

void tAnalysisActions::Say(const QString& problem) {
    FProblem = problem;
    FReading.UpdateStatistics();
}

// ---------------------------------------------------------------------------------------------
// drawing and words

void tAnalysisActions::Redraw() {
    if (!FFrame) return;
    TChart* chart = FFrame->Chart();
    chart->ClearAnalyses();
    if (FLesson) {
        const tLessonAnalyses& a = FLesson->Analyses();
        for (const tFitRecord& fit : a.Fits) {
            const int slot = SlotOf(fit.Run);
            const tRun* run = FLesson->Run(fit.Run);
            // A model only a later program knows, or a formula that no longer parses, stays unseen.
            std::function<double(double)> curve;
            if (slot >= 0) curve = FitCurve(fit);
            if (!curve || fit.First < 0 || fit.Last >= run->Count()) continue;
            const TChartSeries* series = chart->Series(slot);
            chart->AddCurve({curve, run->X(fit.First), run->X(fit.Last), series->Color(), true,
                             FitDetails(fit, Names(fit.Run, slot))});
        }
        for (const tSlopeRecord& record : a.Slopes) {
            const int slot = SlotOf(record.Run);
            if (slot < 0) continue;
            const tSlope s = ComputeSlope(*FLesson->Run(record.Run), record);
            if (!s.Valid) continue;
            chart->AddCurve({[s](double t) { return s.Y + s.Slope * (t - s.T); }, s.From, s.To,
                             chart->Series(slot)->Color(), false, SlopeText(s, Names(record.Run, slot))});
        }
        for (const tAreaRecord& record : a.Areas) {
            const int slot = SlotOf(record.Run);
            if (slot >= 0)
                chart->AddArea(FLesson->Run(record.Run), record.First, record.Second,
                               chart->Series(slot)->Color());
        }
        if (chart->Prediction() != a.Prediction.Points) chart->SetPrediction(a.Prediction.Points);
    }
    // The strip changes only where it says (or said) something of ours: the markers' statistics keep
    // their own moments.
    const bool saying = !StripLines().isEmpty();
    if (saying || FSaying) FReading.UpdateStatistics();
    FSaying = saying;
}

QStringList tAnalysisActions::Describe(bool details) const {
    QStringList lines;
    if (!FLesson || !FFrame || FFrame->Measuring()) return lines;
    const tLessonAnalyses& a = FLesson->Analyses();
    for (const tFitRecord& fit : a.Fits) {
        const int slot = SlotOf(fit.Run);
        if (slot < 0 || !FitCurve(fit)) continue;
        const tReadoutNames names = Names(fit.Run, slot);
        lines << RunTitle(fit.Run + 1, names.Colour) + QStringLiteral(": ") + FitSentence(fit, names);
        if (details) lines << FitDetails(fit, names).split(u'\n');
    }
    for (const tSlopeRecord& record : a.Slopes) {
        const int slot = SlotOf(record.Run);
        if (slot < 0) continue;
        const tSlope s = ComputeSlope(*FLesson->Run(record.Run), record);
        if (s.Valid) lines << SlopeText(s, Names(record.Run, slot));
    }
    for (const tAreaRecord& record : a.Areas) {
        const int slot = SlotOf(record.Run);
        if (slot < 0) continue;
        const tArea area = ComputeArea(*FLesson->Run(record.Run), record);
        if (area.Valid) lines << AreaText(area, Names(record.Run, slot));
    }
    return lines;
}

QStringList tAnalysisActions::StripLines() const {
    QStringList lines = Describe(false);
    if (Busy()) lines << tr("Подбираю формулу...");
    if (!FProblem.isEmpty()) lines << FProblem;
    return lines;
}

QStringList tAnalysisActions::ReportLines() const {
    return Describe(true);
}

void tAnalysisActions::FillRemoveMenu() {
    FRemoveMenu->clear();
    if (!FLesson) return;
    const tLessonAnalyses& a = FLesson->Analyses();
    const auto add = [this](const QString& text, const std::function<void(tLessonAnalyses&)>& remove) {
        QAction* action = FRemoveMenu->addAction(text);
        connect(action, &QAction::triggered, this, [this, remove] { Changed(remove); });
    };
    for (qsizetype i = 0; i < a.Fits.size(); ++i) {
        const tFitRecord& fit = a.Fits[i];
        tFitModel model = tFitModel::Linear;
        const QString title = FitModelFromKey(fit.Model, model) ? FitModelInfo(model).Title : fit.Model;
        add(tr("Формулу «%1», опыт %2").arg(title).arg(fit.Run + 1),
            [i](tLessonAnalyses& x) { x.Fits.removeAt(i); });
    }
    for (qsizetype i = 0; i < a.Slopes.size(); ++i) {
        const tRun* run = FLesson->Run(a.Slopes[i].Run);
        const double t = run && a.Slopes[i].Index < run->Count() ? run->X(a.Slopes[i].Index) : 0;
        add(tr("Наклон при t = %1, опыт %2").arg(ShortNumber(t)).arg(a.Slopes[i].Run + 1),
            [i](tLessonAnalyses& x) { x.Slopes.removeAt(i); });
    }
    for (qsizetype i = 0; i < a.Areas.size(); ++i)
        add(tr("Площадь, опыт %1").arg(a.Areas[i].Run + 1), [i](tLessonAnalyses& x) { x.Areas.removeAt(i); });
    if (!a.Prediction.Points.isEmpty())
        add(tr("Прогноз"), [](tLessonAnalyses& x) { x.Prediction.Points.clear(); });
    if (FRemoveMenu->isEmpty()) {
        FRemoveMenu->addAction(tr("(ничего нет)"))->setEnabled(false);
        return;
    }
    FRemoveMenu->addSeparator();
    add(tr("Убрать &всё"), [](tLessonAnalyses& x) { x = tLessonAnalyses{}; });
}
