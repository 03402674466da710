// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Pagesetup.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPrinter>
#include <QSettings>
#include <algorithm>
#include <cmath>

#include "foundation/Functions.h"
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

// The page group of the file as it is on disk now. QSettings keeps one cache per file for the
// whole process and trusts it while the file's time stamp and size look the same, so a file
// rewritten at the same size within one tick of the clock would read as it was.
QHash<QString, QString> PageEntries(const QString& path) {
    QHash<QString, QString> entries;
    QByteArray bytes;
    QString error;
    if (ReadBoundedFile(path, 64 * 1024, bytes, error) != tFileRead::Ok) return entries;
    bool inGroup = false;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + kGroup + u']';
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (inGroup && eq > 0) entries.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return entries;
}

double Number(const QHash<QString, QString>& entries, const QString& key, bool& ok) {
    bool valid = false;
    const double value = entries.value(key).toDouble(&valid);
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
    const QHash<QString, QString> page = PageEntries(FPath);
    if (page.isEmpty()) return DefaultPageLayout();
    bool ok = true;
    const double width = Number(page, kWidth, ok);
    const double height = Number(page, kHeight, ok);
    const QMarginsF margins(Number(page, kLeft, ok), Number(page, kTop, ok), Number(page, kRight, ok),
                            Number(page, kBottom, ok));
    const QString orientationText = page.value(kOrientation);
    if (!ok || orientationText.isEmpty()) return DefaultPageLayout();
    for (double side : {width, height})
        if (side < kMinPaperMm || side > kMaxPaperMm) return DefaultPageLayout();
    for (double margin : {margins.left(), margins.top(), margins.right(), margins.bottom()})
        if (margin < 0) return DefaultPageLayout();
    const auto orientation =
        orientationText == QStringLiteral("landscape") ? QPageLayout::Landscape : QPageLayout::Portrait;

    // A named paper keeps its name (the print dialog shows "A4", not a custom size).
    QPageSize size(QSizeF(width, height), QPageSize::Millimeter);
    const QString paper = page.value(kPaper);
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
