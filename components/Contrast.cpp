// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Contrast.h"

#include <algorithm>
#include <cmath>

namespace {
double Linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}
}  // namespace

double RelativeLuminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ShownOver(const QColor& colour, const QColor& ground) {
    const QColor top = colour.toRgb(), bottom = ground.toRgb();
    const float a = top.alphaF();
    return QColor::fromRgbF(top.redF() * a + bottom.redF() * (1 - a),
                            top.greenF() * a + bottom.greenF() * (1 - a),
                            top.blueF() * a + bottom.blueF() * (1 - a));
}

QColor ReadableColour(const QColor& colour, const QColor& background, double ratio) {
    QColor darker = colour.toRgb();
    // Each step takes 5 % off every channel: the hue stays, the text gets only as dark as it must.
    for (int step = 0; step < 100 && ContrastRatio(darker, background) < ratio; ++step)
        darker.setRgbF(darker.redF() * 0.95f, darker.greenF() * 0.95f, darker.blueF() * 0.95f,
                       darker.alphaF());
    return darker;
}

QColor OutlineColour() {
    return QColor(0x20, 0x20, 0x20);
}

QColor FocusColour() {
    return QColor(0x1a, 0x4a, 0x8a);
}
