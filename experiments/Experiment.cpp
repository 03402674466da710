// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Experiment.h"

#include <QStringList>

#include "foundation/Functions.h"
#include "foundation/Notice.h"
#include "foundation/Stringtable.h"

void tExperiment::Clear() {
    SensorName.clear();
    Freq = 10000;
    Average = 1;
    MinX = 0;
    MaxX = 100;
    IncX = 10;
    CaptionX = QStringLiteral("Значение");
    MinY = 0;
    MaxY = 100;
    IncY = 10;
    CaptionY = QStringLiteral("t, c");
    AutoSize = false;
    YOffset = 0;
    SeriesCount = 1;
    Demo.clear();
}

namespace {
// experiment.txt follows the settings store's entry rules: the name is the text before the first
// '=', nothing is trimmed, names compare case-insensitively and the first matching line wins.
class tEntries {
  public:
    explicit tEntries(QStringList lines) : FLines(std::move(lines)) {}

    bool Has(const QString& name) const { return IndexOf(name) >= 0; }
    QString Text(const QString& name) const {
        const int i = IndexOf(name);
        if (i < 0) return QString();
        const QString& line = FLines[i];
        return line.mid(line.indexOf(u'=') + 1);
    }
    int Int(const QString& name, int defaultValue) const { return StrToIntDef(Text(name), defaultValue); }
    double Real(const QString& name, double defaultValue) const {
        double value;
        return TryTextToFloat(Text(name), value) ? value : defaultValue;
    }

  private:
    int IndexOf(const QString& name) const {
        for (int i = 0; i < FLines.size(); ++i) {
            const QString& line = FLines[i];
            const qsizetype eq = line.indexOf(u'=');
            if (eq < 0) continue;
            if (QStringView(line).left(eq).compare(name, Qt::CaseInsensitive) == 0) return i;
        }
        return -1;
    }
    QStringList FLines;
};
}  // namespace

bool LoadExperimentFile(const QString& scenarioFolder, tExperiment& record, QString& error) {
    QByteArray bytes;
    if (ReadBoundedFile(scenarioFolder + QStringLiteral("experiment.txt"), ParameterFileLimit, bytes,
                        error) != tFileRead::Ok)
        return false;
    return ParseExperiment(bytes, record, error);
}

bool ParseExperiment(const QByteArray& bytes, tExperiment& record, QString& error) {
    const tEntries e(SplitLines(DecodeText(bytes)));
    if (!e.Has(QStringLiteral("SensorName"))) {
        error = QStringLiteral("Не указан датчик используемый в экперименте.");
        return false;
    }
    record.SensorName = e.Text(QStringLiteral("SensorName"));
    record.Freq = e.Int(QStringLiteral("Freq"), 100000);
    // The point builder divides the samples into groups of Average; fewer than one would never
    // consume a sample and stall the display, so such a value counts as unparsable.
    record.Average = e.Int(QStringLiteral("Average"), 1);
    if (record.Average < 1) record.Average = 1;
    record.FormatY = e.Text(QStringLiteral("FormatY"));
    record.FormatX = e.Text(QStringLiteral("FormatX"));
    record.CaptionX = e.Text(QStringLiteral("CaptionX"));
    record.MinX = e.Real(QStringLiteral("MinX"), 0);
    record.MaxX = e.Real(QStringLiteral("MaxX"), 100);
    record.IncX = e.Real(QStringLiteral("IncX"), 10);
    record.CaptionY = e.Text(QStringLiteral("CaptionY"));
    record.MinY = e.Real(QStringLiteral("MinY"), 0);
    record.MaxY = e.Real(QStringLiteral("MaxY"), 100);
    record.IncY = e.Real(QStringLiteral("IncY"), 10);
    record.AutoSize = e.Int(QStringLiteral("AutoSize"), 0) != 0;
    record.TwiceMarker = e.Int(QStringLiteral("TwiceMarker"), 0) != 0;
    record.YOffset = e.Real(QStringLiteral("YOffset"), 0);
    record.SeriesCount = e.Int(QStringLiteral("SeriesCount"), 1);
    if (record.SeriesCount < 1 || record.SeriesCount > 2) record.SeriesCount = 1;
    record.Demo = e.Text(QStringLiteral("Demo"));
    return true;
}

bool LoadScenario(const QString& caption, const QString& relativePath, const QString& catalogueRoot,
                  tExperiment* record) {
    if (!record) return true;
    try {
        // Read before the record changes: a file over the limit leaves the scenario as it was.
        const QString folder = catalogueRoot + relativePath;
        QByteArray bytes;
        QString error;
        const tFileRead read =
            ReadBoundedFile(folder + QStringLiteral("experiment.txt"), ParameterFileLimit, bytes, error);
        if (read == tFileRead::TooLarge) {
            ShowWarning(LoadStr(msg::CannotLoadScenario) + error);
            return false;
        }
        record->Name = caption;
        record->Path = folder;
        record->Clear();
        if (read != tFileRead::Ok || !ParseExperiment(bytes, *record, error))
            ShowWarning(LoadStr(msg::CannotLoadScenario) + error);
    } catch (const std::exception& e) {
        // Reports its own failures: nothing may escape into the chooser's caller.
        ShowWarning(LoadStr(msg::CannotLoadScenario) + QString::fromUtf8(e.what()));
    } catch (...) {
    }
    return true;
}
