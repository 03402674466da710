// SPDX-License-Identifier: GPL-3.0-or-later
// Measuring printed pages as a reader would see them: poppler's pdftotext gives every word with
// its box in points, pdftoppm renders a page to an image whose non-white pixels show where ink
// lands. Tests skip when poppler-utils is missing (scripts/packages.txt installs it).
#pragma once

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

namespace rovelin_test {

inline bool PopplerInstalled() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty();
}

inline QByteArray RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) return {};
    return process.readAllStandardOutput();
}

// `printer` writes an A4 PDF to `path` with the given orientation and equal margins.
inline void SetUpPdf(QPrinter& printer, const QString& path, QPageLayout::Orientation orientation,
                     double marginMm) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), orientation,
                                      QMarginsF(marginMm, marginMm, marginMm, marginMm),
                                      QPageLayout::Millimeter));
}

struct tPdfWord {
    QString Text;
    QRectF Box;  // points, origin at the page's top left
};

struct tPdfPage {
    QSizeF Size;  // points
    std::vector<tPdfWord> Words;
    // Every word equal to `text`.
    std::vector<tPdfWord> Find(const QString& text) const {
        std::vector<tPdfWord> found;
        for (const tPdfWord& word : Words)
            if (word.Text == text) found.push_back(word);
        return found;
    }
};

// The words of page `page` (1-based) of the PDF at `path`.
inline tPdfPage PdfText(const QString& path, int page = 1) {
    const QString number = QString::number(page);
    const QString html = QString::fromUtf8(
        RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox-layout"), QStringLiteral("-f"), number,
                                              QStringLiteral("-l"), number, path, QStringLiteral("-")}));
    tPdfPage result;
    const QRegularExpression pageRe(QString::fromLatin1(R"re(<page width="([\d.]+)" height="([\d.]+)")re"));
    const auto pageMatch = pageRe.match(html);
    if (pageMatch.hasMatch())
        result.Size = QSizeF(pageMatch.captured(1).toDouble(), pageMatch.captured(2).toDouble());
    const QRegularExpression wordRe(QString::fromLatin1(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    for (auto it = wordRe.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        const QPointF from(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF to(m.captured(3).toDouble(), m.captured(4).toDouble());
        QString text = m.captured(5);
        text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
            .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
            .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
            .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        result.Words.push_back({text, QRectF(from, to)});
    }
    return result;
}

// Page `page` rendered at `dpi` (72: one pixel per point).
inline QImage PdfPageImage(const QString& path, int dpi = 72, int page = 1) {
    QTemporaryDir dir;
    const QString prefix = dir.path() + QStringLiteral("/page");
    const QString number = QString::number(page);
    RunTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), number,
             QStringLiteral("-l"), number, QStringLiteral("-singlefile"), path, prefix});
    return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// The bounding box of the pixels that are not (nearly) white; empty for a blank page.
inline QRect InkExtent(const QImage& image, const QRect& within = QRect()) {
    const QRect area = within.isNull() ? image.rect() : within & image.rect();
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = line[x];
            if (qRed(p) > 240 && qGreen(p) > 240 && qBlue(p) > 240) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// The narrowest stretch of blank paper between the ink of page `page` and the page's edges, in
// millimetres (measured at 72 dpi, so to within 0.4 mm); -1 for a blank or unreadable page.
inline double SmallestInkMarginMm(const QString& path, int page = 1) {
    const QImage image = PdfPageImage(path, 72, page);
    const QRect ink = InkExtent(image);
    if (ink.isNull()) return -1;
    const int least =
        std::min({ink.left(), ink.top(), image.width() - 1 - ink.right(), image.height() - 1 - ink.bottom()});
    return least * 25.4 / 72;
}

// How tall poppler reports a word set in `font` at 1 pt: the ratio depends on the font's own
// ascent and descent, so sizes are measured against the font that is actually installed.
inline double PdfWordHeightPerPoint(const QFont& font) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/probe.pdf");
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        QPainter painter(&printer);
        painter.scale(printer.resolution() / 72.0, printer.resolution() / 72.0);
        QFont probe = font;
        probe.setPixelSize(40);  // 40 pt under the scale above
        painter.setFont(probe);
        painter.drawText(QPointF(20, 100), QStringLiteral("0123456789"));
    }
    const auto words = PdfText(path).Find(QStringLiteral("0123456789"));
    return words.empty() ? 0 : words.front().Box.height() / 40.0;
}

// The vertical stretches of dark ink at least `length` pixels long: (column, first row, last row).
struct tStroke {
    int X, Top, Bottom;
};
inline std::vector<tStroke> VerticalStrokes(const QImage& image, int length) {
    std::vector<tStroke> strokes;
    for (int x = 0; x < image.width(); ++x) {
        int run = 0;
        for (int y = 0; y <= image.height(); ++y) {
            const bool dark = y < image.height() && QColor(image.pixel(x, y)).lightness() < 100;
            if (dark) {
                ++run;
                continue;
            }
            if (run >= length) strokes.push_back({x, y - run, y - 1});
            run = 0;
        }
    }
    return strokes;
}

// The left edge of each plot frame, top to bottom: the leftmost long dark vertical line (the left
// axis) of each group of strokes that lie one above the other without overlapping.
inline std::vector<int> PlotLeftEdges(const QImage& image, int length) {
    std::vector<tStroke> strokes = VerticalStrokes(image, length);
    std::sort(strokes.begin(), strokes.end(),
              [](const tStroke& a, const tStroke& b) { return a.Top < b.Top; });
    std::vector<int> edges;
    int groupBottom = -1;
    for (const tStroke& stroke : strokes) {
        if (edges.empty() || stroke.Top > groupBottom) {
            edges.push_back(stroke.X);
        } else {
            edges.back() = std::min(edges.back(), stroke.X);
        }
        groupBottom = std::max(groupBottom, stroke.Bottom);
    }
    return edges;
}

}  // namespace rovelin_test
