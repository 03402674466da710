// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Pagesetup.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QSettings>
#include <algorithm>
#include <cmath>

#include "foundation/Userfolders.h"

namespace {
// Keys of the page setup in the user's settings file; sizes in millimetres, the paper as it
// stands in portrait.
const QString kGroup = QStringLiteral("page");
const QString kWidth = QStringLiteral("paper_width_mm");
const QString kHeight = QStringLiteral("paper_height_mm");
const QString kPaper = QStringLiteral("paper");  // QPageSize's key ("A4"), empty for a custom size
const QString kOrientation = QStringLiteral("orientation");  // "portrait" or "landscape"
const QString kLeft = QStringLiteral("margin_left_mm");
const QString kTop = QStringLiteral("margin_top_mm");
const QString kRight = QStringLiteral("margin_right_mm");
const QString kBottom = QStringLiteral("margin_bottom_mm");

// Anything outside these is no paper a school prints on, so the file is not to be trusted.
constexpr double kMinPaperMm = 50;
constexpr double kMaxPaperMm = 2000;
// What is left of the page between the margins at least.
constexpr double kMinPrintableMm = 20;

double Number(const QSettings& settings, const QString& key, bool& ok) {
    bool valid = false;
    const double value = settings.value(key).toDouble(&valid);
    ok = ok && valid && std::isfinite(value);
    return value;
}
}  // namespace

QPageLayout DefaultPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(25, 25, 25, 25),
                       QPageLayout::Millimeter, QMarginsF(0, 0, 0, 0));
}

QString UserSettingsPath() {
    return ConfigHome() + QStringLiteral("/rovelin/rovelin.conf");
}

tPageSetupStore::tPageSetupStore(const QString& path) : FPath(path) {}

QPageLayout tPageSetupStore::Load() const {
    QSettings settings(FPath, QSettings::IniFormat);
    settings.sync();  // the file as it is now, not as this process read it before
    if (!settings.childGroups().contains(kGroup)) return DefaultPageLayout();
    const QString prefix = kGroup + u'/';
    bool ok = true;
    const double width = Number(settings, prefix + kWidth, ok);
    const double height = Number(settings, prefix + kHeight, ok);
    const QMarginsF margins(Number(settings, prefix + kLeft, ok), Number(settings, prefix + kTop, ok),
                            Number(settings, prefix + kRight, ok), Number(settings, prefix + kBottom, ok));
    const QString orientationText = settings.value(prefix + kOrientation).toString();
    if (!ok || orientationText.isEmpty()) return DefaultPageLayout();
    for (double side : {width, height})
        if (side < kMinPaperMm || side > kMaxPaperMm) return DefaultPageLayout();
    for (double margin : {margins.left(), margins.top(), margins.right(), margins.bottom()})
        if (margin < 0) return DefaultPageLayout();
    const auto orientation =
        orientationText == QStringLiteral("landscape") ? QPageLayout::Landscape : QPageLayout::Portrait;

    // A named paper keeps its name (the print dialog shows "A4", not a custom size).
    QPageSize size(QSizeF(width, height), QPageSize::Millimeter);
    const QString paper = settings.value(prefix + kPaper).toString();
    for (int id = 0; id <= QPageSize::LastPageSize && !paper.isEmpty(); ++id) {
        const QPageSize named(static_cast<QPageSize::PageSizeId>(id));
        if (named.key() != paper) continue;
        const QSizeF mm = named.size(QPageSize::Millimeter);
        if (std::abs(mm.width() - width) < 1 && std::abs(mm.height() - height) < 1) size = named;
        break;
    }
    const QPageLayout layout(size, orientation, margins, QPageLayout::Millimeter, QMarginsF(0, 0, 0, 0));
    const QRectF full = layout.fullRect(QPageLayout::Millimeter);
    if (margins.left() + margins.right() > full.width() - kMinPrintableMm ||
        margins.top() + margins.bottom() > full.height() - kMinPrintableMm)
        return DefaultPageLayout();
    return layout;
}

void tPageSetupStore::Store(const QPageLayout& layout) {
    if (!layout.isValid()) return;
    QDir().mkpath(QFileInfo(FPath).absolutePath());
    QSettings settings(FPath, QSettings::IniFormat);
    settings.beginGroup(kGroup);
    const QSizeF paper = layout.pageSize().size(QPageSize::Millimeter);
    const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
    settings.setValue(kWidth, paper.width());
    settings.setValue(kHeight, paper.height());
    settings.setValue(kPaper,
                      layout.pageSize().id() == QPageSize::Custom ? QString() : layout.pageSize().key());
    settings.setValue(kOrientation, layout.orientation() == QPageLayout::Landscape
                                        ? QStringLiteral("landscape")
                                        : QStringLiteral("portrait"));
    settings.setValue(kLeft, margins.left());
    settings.setValue(kTop, margins.top());
    settings.setValue(kRight, margins.right());
    settings.setValue(kBottom, margins.bottom());
    settings.endGroup();
    settings.sync();
}

void ApplyPageLayout(QPrinter& printer, const QPageLayout& layout) {
    if (printer.setPageLayout(layout)) return;
    // The printer refused the margins: the paper and orientation hold, the margins grow to what it
    // can print.
    printer.setPageSize(layout.pageSize());
    printer.setPageOrientation(layout.orientation());
    const QMarginsF wanted = layout.margins(QPageLayout::Millimeter);
    QPageLayout current = printer.pageLayout();
    current.setUnits(QPageLayout::Millimeter);
    const QMarginsF least = current.minimumMargins();
    const QMarginsF margins(std::max(wanted.left(), least.left()), std::max(wanted.top(), least.top()),
                            std::max(wanted.right(), least.right()),
                            std::max(wanted.bottom(), least.bottom()));
    printer.setPageMargins(margins, QPageLayout::Millimeter);
}
