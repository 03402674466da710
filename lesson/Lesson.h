// tLesson: the data of the open scenario — its runs (any number), which run each of the two chart
// series shows, and whether anything changed since the last save. The live display appends to
// the shown run and announces new points; every view (chart, table, statistics, lesson file)
// reads the runs from here. User-interface thread only.
#pragma once

#include <QObject>
#include <memory>
#include <vector>

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
    // Removes every run and empties both series.
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

  signals:
    void PointsAppended(tRun* run, qsizetype from, qsizetype count);
    void RunChanged(tRun* run);
    // The runs shown in the series changed, or runs were added or removed.
    void SeriesChanged();
    void ModifiedChanged(bool modified);

  private:
    std::vector<std::unique_ptr<tRun>> FRuns;
    tRun* FSeries[SeriesSlots] = {nullptr, nullptr};
    bool FModified = false;
};
