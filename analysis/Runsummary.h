// SPDX-License-Identifier: GPL-3.0-or-later
// A run told in one sentence, for a screen reader that cannot see the curve: «Опыт 1: время от 0
// до 60 с, температура от 22,3 до 29,5 °C, метка «Зажали в ладони» на 14 с». Reads the run in
// place (its min/max summaries, so the cost does not grow with the points); any thread that owns
// the run.
#pragma once

#include <QString>

class tRun;

// The axes as the chart names them and the scenario's number patterns.
struct tSummaryAxes {
    QString CaptionX;  // «Время, с»
    QString CaptionY;  // «Температура, °C»
    QString FormatX;
    QString FormatY;
};

// At most this many point labels are named; the rest are counted.
constexpr int kSummaryLabels = 3;

// The sentence for run number `runNumber` (1-based) as the chart shows it.
QString RunSummary(const tRun& run, int runNumber, const tSummaryAxes& axes);
