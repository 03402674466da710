// SPDX-License-Identifier: GPL-3.0-or-later
// The user guide: Russian HTML pages that travel inside the program (resource :/guide/) and are
// also installed under the package's documentation folder. One page per topic, so F1 opens the page
// of what the user looks at. Window-free; any thread.
#pragma once

#include <QString>
#include <QUrl>

enum class tGuideTopic {
    Contents,     // the table of contents
    FirstSteps,   // the start page and a first lesson step by step
    Scenarios,    // choosing a scenario, the catalogue, a scenario of one's own
    Chart,        // the «График» tab
    Markers,      // markers, read-outs and statistics
    Table,        // the «Таблица» tab
    Description,  // the «Описание» tab
    Report,       // the «Отчет» tab: pictures, the chart, printing, export
    Pulse,        // the pulse sensor and the heart-rate chart
    Lessons,      // lesson files, runs, autosave and recovery
    Sensors,      // sensors on Linux, and what to check when none is found
    Keys,         // the keys
};

// The page's file name inside the guide's folder, e.g. "chart.html".
QString GuidePageFile(tGuideTopic topic);
// The page inside the program: qrc:/guide/<file>.
QUrl GuideUrl(tGuideTopic topic);
// The topic of a page of the window by its object name: the frame's pages (tsChart, tsTable,
// tsDescr, tsReport; `pulse` = the chart page of the pulse frame), the start page (frStart), the
// chooser (fmExperiments). Contents for anything else.
tGuideTopic GuideTopicForPage(const QString& pageName, bool pulse = false);
