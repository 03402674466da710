// SPDX-License-Identifier: GPL-3.0-or-later
// The list of a lesson's runs («Опыты урока»): which run each series of the chart shows.
#pragma once

class QWidget;
class tLesson;

// Shows the runs of `lesson` modally with the run each series shows now (index, -1 = none);
// `twoSeries` offers the second series too. False when cancelled; else `first` and `second` hold
// the choice.
bool AskSeriesRunsDialog(QWidget* owner, const tLesson& lesson, bool twoSeries, int& first, int& second);
