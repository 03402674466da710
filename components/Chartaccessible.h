// SPDX-License-Identifier: GPL-3.0-or-later
// The chart as assistive technology meets it: one object of the role "chart" (no children: the
// plot underneath is a picture), named by the widget's accessible name or else after its value
// axis («График: Температура, °C»), described by the widget's accessible description (the window
// puts a summary of the shown runs there). Also the chart's part in keyboard use: it takes the
// focus by Tab or click and shows a dark frame while it has it. User-interface thread only.
#pragma once

class TChart;
class QString;

// Registers the chart's accessible object with Qt; every TChart calls it, once is enough.
void InstallChartAccessibility();
// The name a chart gets when the window gave it none.
QString DefaultChartName(TChart* chart);
// Tab and click focus `chart`; a frame round it shows where the focus is.
void MakeChartFocusable(TChart* chart);
