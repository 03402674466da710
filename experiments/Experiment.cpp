// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Experiment.h"

#include <QCoreApplication>
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
    // untranslated: a scenario value, stored with the lesson like the file's own captions
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
// '=', nothing is trimmed, names compare case-insensitively and the first matching entry wins.
class tEntries {
  public:
    explicit tEntries(const tScenarioEntries& entries) : FEntries(entries) {}

    bool Has(const QString& name) const { return Find(name) != nullptr; }
    QString Text(const QString& name) const {
        const auto* entry = Find(name);
        return entry ? entry->second : QString();
    }
    int Int(const QString& name, int defaultValue) const { return StrToIntDef(Text(name), defaultValue); }
    double Real(const QString& name, double defaultValue) const {
        double value;
        return TryTextToFloat(Text(name), value) ? value : defaultValue;
    }

  private:
    const QPair<QString, QString>* Find(const QString& name) const {
        for (const auto& entry : FEntries)
            if (entry.first.compare(name, Qt::CaseInsensitive) == 0) return &entry;
        return nullptr;
    }
    const tScenarioEntries& FEntries;
};
}  // namespace

namespace {
// How a key stands in the file, for a message about its value: "Freq=0", "MaxX=abc (не число,
// взято 100)" or "MaxX (не указано, по умолчанию 100)".
QString Shown(const tEntries& e, const QString& key, const QString& used, bool parsed) {
    if (!e.Has(key))
        return QCoreApplication::translate("Experiment", "%1 (не указано, по умолчанию %2)").arg(key, used);
    const QString text = key + u'=' + e.Text(key);
    return parsed ? text
                  : text + QCoreApplication::translate("Experiment", " (не число, взято %1)").arg(used);
}

QString ShownReal(const tEntries& e, const QString& key, double used) {
    double value;
    return Shown(e, key, FormatFloat(QString(), used), TryTextToFloat(e.Text(key), value));
}

// The values of a filled record that no run can work with, one line each, naming key and value.
// Values that only look odd (a long period, a wide range) are the author's business.
QStringList ValueProblems(const tEntries& e, const tExperiment& r) {
    QStringList problems;
    if (r.SensorName.isEmpty())
        problems << QCoreApplication::translate("Experiment",
                                                "SensorName= без значения: впишите модель датчика (например, "
                                                "SensorName=T100) или SensorName=NO для опыта без датчика.");
    if (r.Freq <= 0)
        problems << QCoreApplication::translate(
                        "Experiment",
                        "%1: период опроса датчика в микросекундах должен быть больше нуля "
                        "(например, Freq=100000 — 10 точек в секунду).")
                        .arg(Shown(e, QStringLiteral("Freq"), QString::number(r.Freq), true));
    if (!(r.MaxX > r.MinX))
        problems << QCoreApplication::translate("Experiment",
                                                "%1: конец оси времени должен быть больше её начала, %2.")
                        .arg(ShownReal(e, QStringLiteral("MaxX"), r.MaxX),
                             ShownReal(e, QStringLiteral("MinX"), r.MinX));
    if (!(r.MaxY > r.MinY))
        problems << QCoreApplication::translate("Experiment",
                                                "%1: верх оси значений должен быть больше её низа, %2.")
                        .arg(ShownReal(e, QStringLiteral("MaxY"), r.MaxY),
                             ShownReal(e, QStringLiteral("MinY"), r.MinY));
    for (const auto& [key, pattern] :
         {std::pair{QStringLiteral("FormatX"), r.FormatX}, std::pair{QStringLiteral("FormatY"), r.FormatY}})
        if (!PatternShowsNumber(pattern))
            problems << QCoreApplication::translate(
                            "Experiment",
                            "%1=%2: в шаблоне числа нет ни 0, ни #, и вместо значения был бы "
                            "виден этот текст (например, %1=0.0 показывает 21,5).")
                            .arg(key, pattern);
    return problems;
}
}  // namespace

bool LoadExperimentFile(const QString& scenarioFolder, tExperiment& record, QString& error) {
    const QString file = scenarioFolder + QStringLiteral("experiment.txt");
    QByteArray bytes;
    if (ReadBoundedFile(file, ParameterFileLimit, bytes, error) != tFileRead::Ok) return false;
    return ParseExperiment(bytes, record, error, file);
}

bool ParseExperiment(const QByteArray& bytes, tExperiment& record, QString& error, const QString& file) {
    return ParseExperimentEntries(ExperimentEntries(bytes), record, error, file);
}

bool ParseExperimentEntries(const tScenarioEntries& entries, tExperiment& record, QString& error,
                            const QString& file) {
    const tEntries e(entries);
    if (!e.Has(QStringLiteral("SensorName"))) {
        error = QCoreApplication::translate("Experiment", "Не указан датчик используемый в экперименте.");
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

    const QStringList problems = ValueProblems(e, record);
    if (problems.isEmpty()) return true;
    error = (file.isEmpty() ? QCoreApplication::translate(
                                  "Experiment", "В сценарии есть значения, с которыми опыт не пойдёт:")
                            : QCoreApplication::translate(
                                  "Experiment", "В файле '%1' есть значения, с которыми опыт не пойдёт:")
                                  .arg(file)) +
            QStringLiteral("\r\n") + problems.join(QStringLiteral("\r\n"));
    return false;
}

bool ReadScenario(const QString& caption, const QString& relativePath, const QString& catalogueRoot,
                  tExperiment& record, QString& message) {
    tExperiment loaded;
    loaded.Name = caption;
    loaded.Path = catalogueRoot + relativePath;
    loaded.Clear();
    QString error;
    if (!LoadExperimentFile(loaded.Path, loaded, error)) {
        message = LoadStr(msg::CannotLoadScenario) + error;
        return false;
    }
    record = loaded;
    return true;
}

tScenarioEntries ExperimentEntries(const QByteArray& bytes) {
    tScenarioEntries entries;
    for (const QString& line : SplitLines(DecodeText(bytes))) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0) entries.append({line.left(eq), line.mid(eq + 1)});
    }
    return entries;
}

tScenarioEntries ExperimentEntries(const tExperiment& e) {
    const auto real = [](double value) { return PlainNumber(value); };
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    tScenarioEntries entries = {{QStringLiteral("SensorName"), e.SensorName},
                                {QStringLiteral("Freq"), QString::number(e.Freq)},
                                {QStringLiteral("Average"), QString::number(e.Average)},
                                {QStringLiteral("FormatY"), e.FormatY},
                                {QStringLiteral("FormatX"), e.FormatX},
                                {QStringLiteral("CaptionX"), e.CaptionX},
                                {QStringLiteral("MinX"), real(e.MinX)},
                                {QStringLiteral("MaxX"), real(e.MaxX)},
                                {QStringLiteral("IncX"), real(e.IncX)},
                                {QStringLiteral("CaptionY"), e.CaptionY},
                                {QStringLiteral("MinY"), real(e.MinY)},
                                {QStringLiteral("MaxY"), real(e.MaxY)},
                                {QStringLiteral("IncY"), real(e.IncY)},
                                {QStringLiteral("AutoSize"), flag(e.AutoSize)},
                                {QStringLiteral("TwiceMarker"), flag(e.TwiceMarker)},
                                {QStringLiteral("YOffset"), real(e.YOffset)},
                                {QStringLiteral("SeriesCount"), QString::number(e.SeriesCount)}};
    if (!e.Demo.isEmpty()) entries.append({QStringLiteral("Demo"), e.Demo});
    return entries;
}

bool LoadScenario(const QString& caption, const QString& relativePath, const QString& catalogueRoot,
                  tExperiment* record) {
    if (!record) return true;
    QString message;
    try {
        if (ReadScenario(caption, relativePath, catalogueRoot, *record, message)) return true;
    } catch (const std::exception& e) {
        // Reports its own failures: nothing may escape into the chooser's caller.
        message = LoadStr(msg::CannotLoadScenario) + QString::fromUtf8(e.what());
    } catch (...) {
        return false;
    }
    ShowWarning(message);
    return false;
}
