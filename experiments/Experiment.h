// SPDX-License-Identifier: GPL-3.0-or-later
// tExperiment: the parameters of the chosen scenario, read from the scenario folder's experiment.txt.
// The loader works on files only (no windows), so the chooser and the tests share it.
// User-interface thread; no shared state.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

class tExperiment {
  public:
    QString Name;        // caption of the chosen catalogue entry
    QString Path;        // scenario folder, ending with '/'
    QString SensorName;  // the sensor model; what it means for the window: experiments/Sensormodels.h
    QString FormatY;
    QString FormatX;
    int Freq = 0;     // sampling period, microseconds
    int Average = 0;  // samples averaged into one point
    bool TwiceMarker = false;
    QString CaptionX;
    double MinX = 0;
    double MaxX = 0;
    double IncX = 0;
    QString CaptionY;
    double MinY = 0;
    double MaxY = 0;
    double IncY = 0;
    bool AutoSize = false;
    double YOffset = 0;
    int SeriesCount = 1;  // 1 or 2
    QString Demo;         // the demo scene a simulated sensor plays; real sensors never see it

    // The values a record keeps when loading stops early; Name, Path, FormatY, FormatX and
    // TwiceMarker stay as they were.
    void Clear();
};

// Reads scenarioFolder + "experiment.txt" (folder ending with '/') into `record`, key by key in the
// fixed order. Returns false with a user-readable `error` when the file cannot be read or is not a
// regular file, is over ParameterFileLimit (then the record is untouched), names no sensor (the keys
// read before stay in the record), or holds values no run can work with (see ParseExperiment).
bool LoadExperimentFile(const QString& scenarioFolder, tExperiment& record, QString& error);
// The same from the file's bytes. Values no run can work with — an empty SensorName, Freq <= 0,
// MaxX <= MinX, MaxY <= MinY, a FormatX/FormatY that shows no digit — fill the record all the same
// (a lesson's stored scenario opens with them) and give false with one `error` that names `file`
// (when given) and every such key with its value as written.
bool ParseExperiment(const QByteArray& bytes, tExperiment& record, QString& error,
                     const QString& file = QString());

// experiment.txt as name=value entries in file order (lines without a name are none), the form a
// lesson file keeps the scenario in.
using tScenarioEntries = QList<QPair<QString, QString>>;
tScenarioEntries ExperimentEntries(const QByteArray& bytes);
// Entries that give `record`'s values back when parsed (for a scenario whose file is gone).
tScenarioEntries ExperimentEntries(const tExperiment& record);
// The same as ParseExperiment, from entries.
bool ParseExperimentEntries(const tScenarioEntries& entries, tExperiment& record, QString& error,
                            const QString& file = QString());

// Reads the scenario at catalogueRoot + relativePath (both ending with '/') into a new record
// (Name = caption, Path, the file's values) and replaces `record` with it. On any failure `record`
// stays as it was and `message` holds the whole warning text: message 5012 followed by the cause.
// Shows nothing, so a caller can read a scenario before it asks about the one that is open.
bool ReadScenario(const QString& caption, const QString& relativePath, const QString& catalogueRoot,
                  tExperiment& record, QString& message);
// ReadScenario that shows its failure in the warning box. A scenario that cannot work (the file
// missing, unreadable, too large or not a regular file; no or an empty SensorName; a value of
// ParseExperiment's list) is refused as a whole: one box, the record untouched and false, so the
// caller keeps its window as it was. Never raises; null record = no-op (true).
bool LoadScenario(const QString& caption, const QString& relativePath, const QString& catalogueRoot,
                  tExperiment* record);
