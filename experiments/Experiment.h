// SPDX-License-Identifier: GPL-3.0-or-later
// tExperiment: the parameters of the chosen scenario, read from the scenario folder's experiment.txt.
// The loader works on files only (no windows), so the chooser and the tests share it.
// User-interface thread; no shared state.
#pragma once

#include <QByteArray>
#include <QString>

class tExperiment {
  public:
    QString Name;        // caption of the chosen catalogue entry
    QString Path;        // scenario folder, ending with '/'
    QString SensorName;  // "NO" (any case) = no sensor, "P620" = pulse frame
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
// fixed order. Returns false with a user-readable `error` when the file cannot be read, is over
// ParameterFileLimit (then the record is untouched) or names no sensor; the keys read before the
// failure stay in the record.
bool LoadExperimentFile(const QString& scenarioFolder, tExperiment& record, QString& error);
// The same from the file's bytes.
bool ParseExperiment(const QByteArray& bytes, tExperiment& record, QString& error);

// Fills `record` from the scenario at catalogueRoot + relativePath (both ending with '/'):
// Name = caption, Path, Clear(), then the file. A failure is shown in the warning box (message 5012
// followed by the cause) and the record is left as far as it got. An experiment.txt over
// ParameterFileLimit is refused as a whole: the box names the file and the limit, the record stays
// untouched and the result is false, so the caller keeps its window as it was. Never raises;
// null record = no-op.
bool LoadScenario(const QString& caption, const QString& relativePath, const QString& catalogueRoot,
                  tExperiment* record);
