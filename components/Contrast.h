// SPDX-License-Identifier: GPL-3.0-or-later
// Contrast of two colours as the web's accessibility guidelines measure it (relative luminance of
// sRGB, ratio 1:1 to 21:1), and a colour made dark enough to read on a background. Text wants
// 4.5:1, lines and marks that carry meaning 3:1.
#pragma once

#include <QColor>

constexpr double kTextContrast = 4.5;
constexpr double kGraphicContrast = 3.0;

// 0 for black to 1 for white.
double RelativeLuminance(const QColor& colour);
// (lighter + 0.05) / (darker + 0.05), in either order.
double ContrastRatio(const QColor& a, const QColor& b);
// `colour` as it shows over the opaque `ground` (a half-transparent text colour is lighter than it
// says).
QColor ShownOver(const QColor& colour, const QColor& ground);
// `colour` when it reaches `ratio` on `background`, else the same hue darkened just enough.
QColor ReadableColour(const QColor& colour, const QColor& background, double ratio = kTextContrast);
// The dark edge drawn round a light line (the yellow and lime chart markers) so it shows on white
// paper as well as on the curves.
QColor OutlineColour();
// The mark of the part that has the keyboard focus (the chart's frame, a splitter's border):
// 8.8:1 on white.
QColor FocusColour();
