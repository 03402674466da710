// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson/Lesson.h"

#include <utility>

tLesson::tLesson(QObject* parent) : QObject(parent) {}

tLesson::~tLesson() {
    // Views still showing a run let go of it before the runs go.
    for (tRun*& slot : FSeries) slot = nullptr;
    emit SeriesChanged();
}

tRun* tLesson::Run(int index) const {
    return index >= 0 && index < RunCount() ? FRuns[static_cast<std::size_t>(index)].get() : nullptr;
}

tRun* tLesson::AddRun(double stepSeconds) {
    FRuns.push_back(std::make_unique<tRun>(stepSeconds));
    Touch();
    emit SeriesChanged();
    return FRuns.back().get();
}

int tLesson::IndexOf(const tRun* run) const {
    for (std::size_t i = 0; i < FRuns.size(); ++i)
        if (FRuns[i].get() == run) return static_cast<int>(i);
    return -1;
}

void tLesson::ClearRuns() {
    for (tRun*& slot : FSeries) slot = nullptr;
    // The runs stay alive until every view has heard that no series shows them any more.
    const std::vector<std::unique_ptr<tRun>> gone = std::move(FRuns);
    FRuns.clear();
    FHeartRates.clear();
    const bool analyses =
        !FAnalyses.Fits.isEmpty() || !FAnalyses.Slopes.isEmpty() || !FAnalyses.Areas.isEmpty();
    FAnalyses.Fits.clear();
    FAnalyses.Slopes.clear();
    FAnalyses.Areas.clear();
    Touch();
    emit SeriesChanged();
    if (analyses) emit AnalysesChanged();
}

tRun* tLesson::SeriesRun(int slot) const {
    return slot >= 0 && slot < SeriesSlots ? FSeries[slot] : nullptr;
}

void tLesson::SetSeriesRun(int slot, tRun* run) {
    if (slot < 0 || slot >= SeriesSlots || FSeries[slot] == run) return;
    FSeries[slot] = run;
    Touch();
    emit SeriesChanged();
}

void tLesson::SetModified(bool modified) {
    if (FModified == modified) return;
    FModified = modified;
    emit ModifiedChanged(modified);
}

void tLesson::NotifyAppended(tRun* run, qsizetype from, qsizetype count) {
    if (count <= 0) return;
    SetModified(true);
    emit PointsAppended(run, from, count);
}

void tLesson::NotifyChanged(tRun* run) {
    SetModified(true);
    emit RunChanged(run);
}

void tLesson::Touch() {
    ++FRevision;
    SetModified(true);
}

void tLesson::SetScenario(const QString& name, const QString& folder, const tEntries& entries) {
    FScenarioName = name;
    FScenarioFolder = folder;
    FScenarioEntries = entries;
    Touch();
}

void tLesson::SetDocument(tDocument which, const QByteArray& rtf) {
    if (which < 0 || which >= DocumentCount) return;
    FDocuments[which] = rtf;
    ++FDocumentRevisions[which];
    Touch();
}

void tLesson::SetMarkers(int chart, tMarkers markers) {
    if (chart < 0 || chart > 7) return;
    while (FMarkers.size() <= chart) FMarkers.append(tMarkers{});
    if (FMarkers[chart] == markers) return;
    FMarkers[chart] = markers;
    Touch();
}

void tLesson::SetCurrentSeries(int slot) {
    if (slot == FCurrentSeries) return;
    FCurrentSeries = slot;
    Touch();
}

void tLesson::SetAnalyses(const tLessonAnalyses& analyses) {
    if (analyses == FAnalyses) return;
    FAnalyses = analyses;
    Touch();
    emit AnalysesChanged();
}

const QVector<QPointF>* tLesson::HeartRates(const tRun* run) const {
    const auto it = FHeartRates.constFind(run);
    return it == FHeartRates.cend() ? nullptr : &*it;
}

void tLesson::SetHeartRates(const tRun* run, const QVector<QPointF>& rates) {
    if (IndexOf(run) < 0) return;
    FHeartRates.insert(run, rates);
    Touch();
}

void tLesson::AddHeartRate(const tRun* run, QPointF rate) {
    if (IndexOf(run) < 0) return;
    FHeartRates[run].append(rate);
    Touch();
}

void tLesson::DropHeartRates(const tRun* run) {
    if (FHeartRates.remove(run)) Touch();
}

void tLesson::MoveFrom(tLesson& other) {
    if (&other == this) return;
    FRuns = std::move(other.FRuns);
    other.FRuns.clear();
    for (int slot = 0; slot < SeriesSlots; ++slot)
        FSeries[slot] = std::exchange(other.FSeries[slot], nullptr);
    FScenarioName = other.FScenarioName;
    FScenarioFolder = other.FScenarioFolder;
    FScenarioEntries = other.FScenarioEntries;
    for (int d = 0; d < DocumentCount; ++d) {
        FDocuments[d] = other.FDocuments[d];
        FDocumentRevisions[d] = other.FDocumentRevisions[d];
    }
    FMarkers = other.FMarkers;
    FCurrentSeries = other.FCurrentSeries;
    FAnalyses = std::exchange(other.FAnalyses, tLessonAnalyses{});
    FHeartRates = std::exchange(other.FHeartRates, {});
    Created = other.Created;
    Changed = other.Changed;
    FRevision = other.FRevision;
    emit SeriesChanged();
    emit AnalysesChanged();
    SetModified(other.Modified());
    other.ClearRuns();
}
