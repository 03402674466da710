// SPDX-License-Identifier: GPL-3.0-or-later
// tLesson: the data of the open scenario — its runs (any number), which run each of the two chart
// series shows, and whether anything changed since the last save. The live display appends to
// the shown run and announces new points; every view (chart, table, statistics, lesson file)
// reads the runs from here. User-interface thread only.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointF>
#include <QString>
#include <QVector>
#include <memory>
#include <vector>

#include "lesson/Analyses.h"
#include "lesson/Run.h"

class tLesson : public QObject {
    Q_OBJECT
  public:
    static constexpr int SeriesSlots = 2;

    explicit tLesson(QObject* parent = nullptr);
    ~tLesson() override;

    // ---- runs ----
    int RunCount() const { return static_cast<int>(FRuns.size()); }
    tRun* Run(int index) const;  // null outside 0..RunCount()-1
    // Adds a new empty run and returns it; the lesson owns it.
    tRun* AddRun(double stepSeconds);
    int IndexOf(const tRun* run) const;
    // Removes every run and empties both series; the runs' fits, slopes, areas and heart rates go too.
    void ClearRuns();

    // ---- the two series ----
    // The run series `slot` (0 or 1) shows, null when it shows none.
    tRun* SeriesRun(int slot) const;
    void SetSeriesRun(int slot, tRun* run);

    // ---- change tracking ----
    bool Modified() const { return FModified; }
    void SetModified(bool modified);

    // The live display calls this after appending points to `run` (first new index, count).
    void NotifyAppended(tRun* run, qsizetype from, qsizetype count);
    // Points of `run` changed in another way (cleared, edited, replaced).
    void NotifyChanged(tRun* run);

    // ---- what the lesson file keeps beside the runs ----
    // The scenario: its catalogue caption, its folder relative to the catalogue (ending with '/')
    // and its experiment.txt entries in file order, so a lesson opens without the catalogue.
    using tEntries = QList<QPair<QString, QString>>;
    QString ScenarioName() const { return FScenarioName; }
    QString ScenarioFolder() const { return FScenarioFolder; }
    const tEntries& ScenarioEntries() const { return FScenarioEntries; }
    void SetScenario(const QString& name, const QString& folder, const tEntries& entries);

    // The description and the report as RTF bytes (the window converts to and from its views).
    enum tDocument { Description = 0, Report = 1 };
    static constexpr int DocumentCount = 2;
    QByteArray Document(tDocument which) const { return FDocuments[which]; }
    void SetDocument(tDocument which, const QByteArray& rtf);
    // Grows with every SetDocument of `which`; a saver writes a document when it differs.
    std::uint64_t DocumentRevision(tDocument which) const { return FDocumentRevisions[which]; }

    // Markers per chart (0 the main chart, 1 a second chart): point indexes into the run that chart's
    // current series shows, -1 = none.
    struct tMarkers {
        int First = -1;
        int Second = -1;
        bool operator==(const tMarkers&) const = default;
    };
    tMarkers Markers(int chart) const { return FMarkers.value(chart); }
    int MarkerCharts() const { return static_cast<int>(FMarkers.size()); }
    void SetMarkers(int chart, tMarkers markers);

    // The series that received the last run (the rotation picks the next one from it).
    int CurrentSeries() const { return FCurrentSeries; }
    void SetCurrentSeries(int slot);

    // What the pupil read off the runs: fitted formulas, slopes, areas (runs by index; they go with
    // ClearRuns) and the prediction drawn before the run.
    const tLessonAnalyses& Analyses() const { return FAnalyses; }
    void SetAnalyses(const tLessonAnalyses& analyses);

    // The heart rates shown while the pulse wave `run` was measured (X the beat's time in seconds,
    // Y beats per minute), so the lesson shows them again exactly; null when the lesson keeps none
    // for the run (a lesson of an older program: they are derived from the wave again).
    const QVector<QPointF>* HeartRates(const tRun* run) const;
    void SetHeartRates(const tRun* run, const QVector<QPointF>& rates);
    void AddHeartRate(const tRun* run, QPointF rate);
    // The wave changed: its rates are no longer the ones measured.
    void DropHeartRates(const tRun* run);

    // When the lesson was first saved (invalid until then) and last changed on disk.
    QDateTime Created;
    QDateTime Changed;

    // Takes over everything `other` holds (runs keep their addresses), leaving it empty; a saver
    // that knew `other`'s file knows this lesson's afterwards. Modified follows `other`.
    void MoveFrom(tLesson& other);

    // Grows with every change outside the points (runs added, series, markers, documents,
    // scenario, analyses, heart rates); with the runs' counts and edits it tells a saver whether anything is
    // new.
    std::uint64_t Revision() const { return FRevision; }

  signals:
    void PointsAppended(tRun* run, qsizetype from, qsizetype count);
    void RunChanged(tRun* run);
    // The runs shown in the series changed, or runs were added or removed; also sent while the
    // lesson is destroyed, with both series empty, so views drop their run pointers.
    void SeriesChanged();
    void ModifiedChanged(bool modified);
    // The fits, slopes, areas or the prediction changed (also when another lesson moved in).
    void AnalysesChanged();

  private:
    void Touch();

    std::vector<std::unique_ptr<tRun>> FRuns;
    tRun* FSeries[SeriesSlots] = {nullptr, nullptr};
    bool FModified = false;
    QString FScenarioName;
    QString FScenarioFolder;
    tEntries FScenarioEntries;
    QByteArray FDocuments[DocumentCount];
    std::uint64_t FDocumentRevisions[DocumentCount] = {0, 0};
    QList<tMarkers> FMarkers;
    int FCurrentSeries = 0;
    tLessonAnalyses FAnalyses;
    QHash<const tRun*, QVector<QPointF>> FHeartRates;
    std::uint64_t FRevision = 0;
};
