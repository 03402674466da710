// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Slopearea.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "analysis/Fitwords.h"
#include "analysis/Statistics.h"
#include "foundation/Functions.h"
#include "lesson/Run.h"

namespace {
// «по 41 точке», «по 3 точкам».
QString ByPoints(qsizetype n) {
    const bool one = n % 10 == 1 && n % 100 != 11;
    //: A slope is drawn through at least two points: the English is plural in both forms.
    return (one ? QCoreApplication::translate("Slopearea", "по %1 точке")
                : QCoreApplication::translate("Slopearea", "по %1 точкам"))
        .arg(n);
}

QString UnitX(const tReadoutNames& names) {
    const QString unit = CaptionUnit(names.CaptionX);
    return unit.isEmpty() ? QCoreApplication::translate("Slopearea", "с") : unit;
}
}  // namespace

double DefaultSlopeWindow(const tRun& run) {
    if (run.Count() < 2) return 0;
    const double duration = std::abs(run.X(run.Count() - 1) - run.X(0));
    const double step = duration / static_cast<double>(run.Count() - 1);
    return std::max(duration / 10, 4 * step);
}

tSlope ComputeSlope(const tRun& run, const tSlopeRecord& record) {
    tSlope slope;
    if (record.Index < 0 || record.Index >= run.Count()) {
        slope.Problem = QCoreApplication::translate("Slopearea", "точки нет в опыте");
        return slope;
    }
    const double centre = run.X(record.Index);
    const double half = std::max(0.0, record.Window) / 2;
    // X ascending: the window is one index range.
    const qsizetype from = run.LowerBound(centre - half);
    qsizetype to = run.LowerBound(centre + half);
    while (to < run.Count() && run.X(to) <= centre + half) ++to;
    // Sums about the window's centre keep the normal equations well conditioned.
    double st = 0, sy = 0, stt = 0, sty = 0, syy = 0;
    qsizetype n = 0;
    for (qsizetype i = from; i < to; ++i) {
        const double t = run.X(i) - centre, y = run.Y(i);
        if (!std::isfinite(t) || !std::isfinite(y)) continue;
        st += t;
        sy += y;
        stt += t * t;
        sty += t * y;
        syy += y * y;
        ++n;
    }
    slope.T = centre;
    slope.From = run.X(from);
    slope.To = run.X(std::max(from, to - 1));
    slope.Points = n;
    const double dn = static_cast<double>(n);
    const double ctt = stt - st * st / std::max(dn, 1.0);
    if (n < 2 || !(ctt > 0)) {
        slope.Problem = QCoreApplication::translate(
            "Slopearea", "в окне меньше двух точек с разным временем — сделайте окно шире");
        return slope;
    }
    const double cty = sty - st * sy / dn;
    slope.Slope = cty / ctt;
    const double intercept = (sy - slope.Slope * st) / dn;
    slope.Y = intercept;  // the line's value at the centre (t = 0 in the centred sums)
    if (n > 2) {
        const double rss = std::max(0.0, syy - sy * sy / dn - slope.Slope * cty);
        slope.Sigma = std::sqrt(rss / (dn - 2) / ctt);
    }
    slope.Valid = std::isfinite(slope.Slope) && std::isfinite(slope.Y);
    if (!slope.Valid)
        slope.Problem = QCoreApplication::translate("Slopearea", "значения в окне слишком велики");
    return slope;
}

tArea ComputeArea(const tRun& run, const tAreaRecord& record) {
    tArea area;
    const qsizetype count = run.Count();
    if (record.First < 0 || record.Second < 0 || record.First >= count || record.Second >= count) {
        area.Problem = QCoreApplication::translate("Slopearea", "точки нет в опыте");
        return area;
    }
    const qsizetype from = std::min(record.First, record.Second), to = std::max(record.First, record.Second);
    area.From = run.X(from);
    area.To = run.X(to);
    // Trapezoids between consecutive points with values; a gap is bridged by one trapezoid.
    double sum = 0;
    qsizetype previous = -1;
    for (qsizetype i = from; i <= to; ++i) {
        if (!std::isfinite(run.Y(i))) {
            ++area.Skipped;
            continue;
        }
        if (previous >= 0) sum += 0.5 * (run.Y(i) + run.Y(previous)) * (run.X(i) - run.X(previous));
        previous = i;
    }
    if (from == to) {
        area.Problem = QCoreApplication::translate("Slopearea", "поставьте два маркера в разных точках");
        return area;
    }
    if (previous < 0 || area.Skipped > to - from - 1) {
        area.Problem = QCoreApplication::translate("Slopearea", "на участке меньше двух измеренных значений");
        return area;
    }
    area.Area = sum;
    area.Valid = std::isfinite(sum);
    if (!area.Valid)
        area.Problem = QCoreApplication::translate("Slopearea", "значения на участке слишком велики");
    return area;
}

QString SlopeText(const tSlope& slope, const tReadoutNames& names) {
    if (!slope.Valid)
        return QCoreApplication::translate("Slopearea", "Наклон не найден: %1").arg(slope.Problem);
    const QString unitX = UnitX(names), unitY = CaptionUnit(names.CaptionY);
    const QString rate = unitY.isEmpty() ? QStringLiteral("1/") + unitX : unitY + u'/' + unitX;
    return QCoreApplication::translate("Slopearea", "Наклон при t = %1: %2 (прямая %3 за %4)")
        .arg(WithUnit(FormatFloat(names.FormatX, slope.T), unitX),
             ValueWithSigma(slope.Slope, slope.Sigma, QString(), rate), ByPoints(slope.Points),
             WithUnit(FormatFloat(names.FormatX, slope.To - slope.From), unitX));
}

QString AreaText(const tArea& area, const tReadoutNames& names) {
    if (!area.Valid)
        return QCoreApplication::translate("Slopearea", "Площадь не найдена: %1").arg(area.Problem);
    const QString unitX = UnitX(names), unitY = CaptionUnit(names.CaptionY);
    const QString unit = unitY.isEmpty() ? unitX : unitY + QStringLiteral("·") + unitX;
    return QCoreApplication::translate("Slopearea", "Площадь под кривой от %1 до %2: %3")
        .arg(FormatFloat(names.FormatX, area.From), WithUnit(FormatFloat(names.FormatX, area.To), unitX),
             WithUnit(ShortNumber(area.Area), unit));
}
