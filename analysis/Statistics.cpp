// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Statistics.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "foundation/Functions.h"
#include "lesson/Run.h"

tRunStatistics ComputeStatistics(const tRun& run, qsizetype first, qsizetype second) {
    tRunStatistics stats;
    const qsizetype count = run.Count();
    if (first < 0 || second < 0 || first >= count || second >= count) return stats;
    stats.Valid = true;
    stats.First = first;
    stats.Second = second;
    stats.YFirst = run.Y(first);
    stats.YSecond = run.Y(second);
    const qsizetype from = std::min(first, second);
    const qsizetype to = std::max(first, second);
    // Later minus earlier in time, whatever order the markers were set in.
    stats.DeltaX = std::abs(run.X(to) - run.X(from));
    stats.DeltaY = run.X(to) >= run.X(from) ? run.Y(to) - run.Y(from) : run.Y(from) - run.Y(to);
    double minimum = run.Y(from);
    double maximum = minimum;
    double sum = 0;
    for (qsizetype i = from; i <= to; ++i) {
        const double y = run.Y(i);
        minimum = std::min(minimum, y);
        maximum = std::max(maximum, y);
        sum += y;
    }
    stats.Minimum = minimum;
    stats.Maximum = maximum;
    stats.Mean = sum / static_cast<double>(to - from + 1);
    stats.RatePerSecond = stats.DeltaX > 0 ? stats.DeltaY / stats.DeltaX : 0;
    stats.Minutes = count > 1 && std::abs(run.X(count - 1) - run.X(0)) >= 60;
    return stats;
}

QString CaptionUnit(const QString& caption) {
    const qsizetype comma = caption.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) return caption.mid(comma + 1).trimmed();
    const qsizetype open = caption.lastIndexOf(QLatin1Char('('));
    const qsizetype close = caption.lastIndexOf(QLatin1Char(')'));
    if (open >= 0 && close > open) return caption.mid(open + 1, close - open - 1).trimmed();
    return {};
}

QString CaptionName(const QString& caption) {
    const qsizetype comma = caption.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) return caption.left(comma).trimmed();
    const qsizetype open = caption.lastIndexOf(QLatin1Char('('));
    if (open > 0 && caption.lastIndexOf(QLatin1Char(')')) > open) return caption.left(open).trimmed();
    return caption.trimmed();
}

bool SecondsUnit(const QString& unit) {
    // untranslated: the seconds of a Russian caption, also read under the English interface
    return unit == QStringLiteral("с") || unit == QStringLiteral("s");
}

QString ColourName(const QColor& colour) {
    struct tNamed {
        QRgb Rgb;
        const char* Name;
    };
    static const tNamed names[] = {{0xffff0000, QT_TRANSLATE_NOOP("Statistics", "красный")},
                                   {0xff0000ff, QT_TRANSLATE_NOOP("Statistics", "синий")},
                                   {0xff008000, QT_TRANSLATE_NOOP("Statistics", "зелёный")},
                                   {0xff00ff00, QT_TRANSLATE_NOOP("Statistics", "зелёный")},
                                   {0xffffa500, QT_TRANSLATE_NOOP("Statistics", "оранжевый")},
                                   {0xff800080, QT_TRANSLATE_NOOP("Statistics", "фиолетовый")},
                                   {0xff000000, QT_TRANSLATE_NOOP("Statistics", "чёрный")}};
    for (const tNamed& named : names)
        if (colour.rgba() == named.Rgb) return QCoreApplication::translate("Statistics", named.Name);
    return {};
}

QString RunTitle(int runNumber, const QColor& colour) {
    QString title = QCoreApplication::translate("Statistics", "Опыт %1").arg(runNumber);
    const QString name = ColourName(colour);
    if (!name.isEmpty()) title += QStringLiteral(" (%1)").arg(name);
    return title;
}

// About three significant digits without an exponent: rates read like 0,0789 or 4,74 or 123.
QString ShortNumber(double value) {
    if (!std::isfinite(value)) return FormatFloat(QString(), value);
    int decimals = 0;
    if (value != 0)
        decimals = std::clamp(2 - static_cast<int>(std::floor(std::log10(std::abs(value)))), 0, 6);
    if (std::round(std::abs(value) * std::pow(10.0, decimals)) == 0) value = 0;  // never "-0,00"
    return QString::number(value, 'f', decimals).replace(QLatin1Char('.'), DecimalSeparator());
}

QString WithUnit(const QString& number, const QString& unit) {
    return unit.isEmpty() ? number : number + QLatin1Char(' ') + unit;
}

namespace {
QString Signed(const QString& number) {
    return number.startsWith(QLatin1Char('-')) || number == QStringLiteral("0") ? number
                                                                                : QLatin1Char('+') + number;
}
}  // namespace

QString StatisticsText(const tRunStatistics& stats, const tReadoutNames& names) {
    if (!stats.Valid) return {};
    const QString unitX = CaptionUnit(names.CaptionX);
    const QString unitY = CaptionUnit(names.CaptionY);
    const QString nameY = CaptionName(names.CaptionY);
    const auto y = [&](double value) { return WithUnit(FormatFloat(names.FormatY, value), unitY); };
    const bool time = SecondsUnit(unitX);
    const QString deltaX = time ? QStringLiteral("Δt") : QStringLiteral("Δ") + CaptionName(names.CaptionX);

    QString text = RunTitle(names.RunNumber, names.Colour) + QStringLiteral(": ");
    if (!nameY.isEmpty()) text += nameY + QStringLiteral(": ");
    text += QCoreApplication::translate("Statistics", "маркер 1 — %1, %2 — %3")
                .arg(y(stats.YFirst),
                     names.SecondIsRunEnd ? QCoreApplication::translate("Statistics", "конец опыта")
                                          : QCoreApplication::translate("Statistics", "маркер 2"),
                     y(stats.YSecond));
    text +=
        QStringLiteral("; %1 = %2").arg(deltaX, WithUnit(FormatFloat(names.FormatX, stats.DeltaX), unitX));
    text += QStringLiteral("; Δ = %1").arg(WithUnit(Signed(FormatFloat(names.FormatY, stats.DeltaY)), unitY));
    text += QCoreApplication::translate("Statistics", "; мин. %1, макс. %2, среднее %3")
                .arg(y(stats.Minimum), y(stats.Maximum), y(stats.Mean));
    // A rate needs a unit of X to be "per" (seconds on every measured run; typed data may have none).
    if (stats.DeltaX > 0 && !unitX.isEmpty()) {
        text += QCoreApplication::translate("Statistics", "; скорость %1")
                    .arg(WithUnit(ShortNumber(stats.RatePerSecond), unitY + QLatin1Char('/') + unitX));
        if (time && stats.Minutes)
            text += QStringLiteral(" (%1)").arg(
                WithUnit(ShortNumber(stats.RatePerSecond * 60),
                         unitY + QCoreApplication::translate("Statistics", "/мин")));
    }
    return text;
}
