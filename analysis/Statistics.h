// SPDX-License-Identifier: GPL-3.0-or-later
// Statistics of a run between two of its points (the two chart markers, or a marker and the end of
// the run): the values at both ends, the differences later minus earlier, minimum, maximum, mean
// and the average rate of change. Pure computation on a tRun; any thread that owns the run.
#pragma once

#include <QColor>
#include <QString>

class tRun;

struct tRunStatistics {
    bool Valid = false;
    qsizetype First = -1;  // the indexes as given (first marker, second marker or the run's end)
    qsizetype Second = -1;
    double YFirst = 0;  // value at First and at Second
    double YSecond = 0;
    double DeltaX = 0;  // X(later) - X(earlier), never negative
    double DeltaY = 0;  // Y(later) - Y(earlier)
    double Minimum = 0;
    double Maximum = 0;
    double Mean = 0;           // of the points from the earlier to the later one, both included
    double RatePerSecond = 0;  // DeltaY / DeltaX; 0 when DeltaX is 0
    bool Minutes = false;      // the run lasts a minute or more: a rate per minute is worth showing
};

// Invalid when either index lies outside the run.
tRunStatistics ComputeStatistics(const tRun& run, qsizetype first, qsizetype second);

// What the read-out names: the run («Опыт 2», its colour), the axes' captions and number patterns.
struct tReadoutNames {
    int RunNumber = 0;  // 1-based number of the run in the lesson
    QColor Colour;
    QString CaptionX;
    QString CaptionY;
    QString FormatX;
    QString FormatY;
    bool SecondIsRunEnd = false;  // only one marker: the second point is the end of the run
};

// The unit of an axis caption: the text after the last comma ("Температура, °C" gives "°C"), else
// the text in the last parentheses, else empty.
QString CaptionUnit(const QString& caption);
// The caption without its unit ("Температура, °C" gives "Температура").
QString CaptionName(const QString& caption);
// Whether a unit is seconds: «с», or «s» of an English caption.
bool SecondsUnit(const QString& unit);
// «красный», «синий», ... for the series colours; empty for other colours.
QString ColourName(const QColor& colour);
// «Опыт 2 (синий)».
QString RunTitle(int runNumber, const QColor& colour);
// About three significant digits without an exponent, with the decimal separator: 0,0789, 4,74, 123.
QString ShortNumber(double value);
// "12,5 °C"; the number alone without a unit.
QString WithUnit(const QString& number, const QString& unit);
// One line for the panel under the chart and for the report; empty when `stats` is invalid.
QString StatisticsText(const tRunStatistics& stats, const tReadoutNames& names);
