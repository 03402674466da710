// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Runsummary.h"

#include <QCoreApplication>

#include "analysis/Statistics.h"
#include "foundation/Functions.h"
#include "lesson/Run.h"

namespace {
// «Температура» as it stands inside a sentence: «температура». An abbreviation in capitals (pH,
// ЭДС) keeps its letters.
QString InSentence(const QString& name) {
    if (name.size() > 1 && name.at(1).isUpper()) return name;
    return name.isEmpty() ? name : name.at(0).toLower() + name.mid(1);
}
}  // namespace

QString RunSummary(const tRun& run, int runNumber, const tSummaryAxes& axes) {
    if (run.IsEmpty()) return QCoreApplication::translate("Runsummary", "Опыт %1: точек нет").arg(runNumber);
    const QString unitX = CaptionUnit(axes.CaptionX), unitY = CaptionUnit(axes.CaptionY);
    const auto x = [&](double value) { return FormatFloat(axes.FormatX, value); };
    const auto y = [&](double value) { return FormatFloat(axes.FormatY, value); };
    const auto range = [](const QString& name, const QString& from, const QString& to, const QString& unit) {
        return QCoreApplication::translate("Runsummary", "%1 от %2 до %3")
            .arg(InSentence(name), from, WithUnit(to, unit));
    };

    const qsizetype last = run.Count() - 1;
    double lo = run.Y(0), hi = lo;
    run.MinMax(0, run.Count(), lo, hi);
    QStringList parts;
    parts << range(CaptionName(axes.CaptionX), x(run.X(0)), x(run.X(last)), unitX)
          << range(CaptionName(axes.CaptionY), y(lo), y(hi), unitY);
    if (run.Count() == 1)
        parts[0] =
            QStringLiteral("%1 %2").arg(InSentence(CaptionName(axes.CaptionX)), WithUnit(x(run.X(0)), unitX));

    const auto& labels = run.Labels();
    int named = 0;
    for (auto it = labels.cbegin(); it != labels.cend() && named < kSummaryLabels; ++it, ++named)
        parts << QCoreApplication::translate("Runsummary", "метка «%1» на %2")
                     .arg(it.value(), WithUnit(x(run.X(it.key())), unitX));
    if (labels.size() > named)
        parts << QCoreApplication::translate("Runsummary", "ещё меток: %1").arg(labels.size() - named);
    return QCoreApplication::translate("Runsummary", "Опыт %1: %2")
        .arg(runNumber)
        .arg(parts.join(QStringLiteral(", ")));
}
