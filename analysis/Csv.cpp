// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Csv.h"

#include <QBuffer>
#include <QIODevice>
#include <algorithm>

#include "analysis/Tablemodel.h"
#include "foundation/Functions.h"
#include "lesson/Run.h"

namespace {
QByteArray QuotedField(const QString& text, QChar separator) {
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(separator.toLatin1()) && !bytes.contains('"') && !bytes.contains('\n') &&
        !bytes.contains('\r'))
        return bytes;
    bytes.replace("\"", "\"\"");
    return '"' + bytes + '"';
}

QString CellText(const tTableModel& model, int row, int column, QChar decimal) {
    const tRun* run = model.ColumnRun(column);
    if (!run || row >= run->Count()) return {};
    switch (model.Columns()[static_cast<std::size_t>(column)].Kind) {
        case tTableModel::tKind::Time:
            return PlainNumber(run->X(row), decimal);
        case tTableModel::tKind::Value:
            return PlainNumber(run->Y(row), decimal);
        case tTableModel::tKind::Label:
            break;
    }
    return run->Label(row);
}
}  // namespace

tCsvFormat CsvFormatFor(QChar decimalMark) {
    if (decimalMark == QLatin1Char(',')) return {QLatin1Char(';'), QLatin1Char(',')};
    return {QLatin1Char(','), QLatin1Char('.')};
}

bool WriteCsv(const tTableModel& model, const tCsvFormat& format, QIODevice& out) {
    const char separator = format.Separator.toLatin1();
    const char decimal = format.Decimal.toLatin1();
    const int columns = model.columnCount();
    QByteArray chunk("\xEF\xBB\xBF");  // the byte-order mark tells spreadsheets the file is UTF-8
    for (int c = 0; c < columns; ++c) {
        if (c > 0) chunk += separator;
        chunk += QuotedField(model.ColumnCaption(c), format.Separator);
    }
    chunk += "\r\n";

    struct tSource {
        const tRun* Run;
        tTableModel::tKind Kind;
    };
    std::vector<tSource> sources;
    for (int c = 0; c < columns; ++c)
        sources.push_back({model.ColumnRun(c), model.Columns()[static_cast<std::size_t>(c)].Kind});

    constexpr qsizetype flushAt = 1 << 20;
    chunk.reserve(flushAt + 4096);
    char number[kPlainNumberRoom];
    const qsizetype rows = model.PointRows();
    for (qsizetype row = 0; row < rows; ++row) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0) chunk += separator;
            const tSource& source = sources[static_cast<std::size_t>(c)];
            if (!source.Run || row >= source.Run->Count()) continue;
            if (source.Kind == tTableModel::tKind::Label) {
                if (!source.Run->Labels().isEmpty()) {
                    const QString label = source.Run->Label(row);
                    if (!label.isEmpty()) chunk += QuotedField(label, format.Separator);
                }
                continue;
            }
            const double value =
                source.Kind == tTableModel::tKind::Time ? source.Run->X(row) : source.Run->Y(row);
            chunk.append(number, PlainNumberChars(value, decimal, number) - number);
        }
        chunk += "\r\n";
        if (chunk.size() >= flushAt) {
            if (out.write(chunk) != chunk.size()) return false;
            chunk.resize(0);
        }
    }
    return out.write(chunk) == chunk.size();
}

QByteArray CsvBytes(const tTableModel& model, const tCsvFormat& format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    WriteCsv(model, format, buffer);
    return bytes;
}

QString SelectionTsv(const tTableModel& model, const QModelIndexList& selection, QChar decimalMark) {
    if (selection.isEmpty()) return {};
    int top = selection.first().row(), bottom = top;
    int left = selection.first().column(), right = left;
    for (const QModelIndex& index : selection) {
        top = std::min(top, index.row());
        bottom = std::max(bottom, index.row());
        left = std::min(left, index.column());
        right = std::max(right, index.column());
    }
    const int width = right - left + 1;
    std::vector<QString> cells(static_cast<std::size_t>(bottom - top + 1) * static_cast<std::size_t>(width));
    for (const QModelIndex& index : selection) {
        QString text = CellText(model, index.row(), index.column(), decimalMark);
        // A tab or line break inside a label would split the row in the spreadsheet.
        text.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        text.remove(QLatin1Char('\r'));
        cells[static_cast<std::size_t>(index.row() - top) * width + (index.column() - left)] = text;
    }
    QString text;
    for (int r = 0; r <= bottom - top; ++r) {
        for (int c = 0; c < width; ++c) {
            if (c > 0) text += QLatin1Char('\t');
            text += cells[static_cast<std::size_t>(r) * width + c];
        }
        text += QLatin1Char('\n');
    }
    return text;
}
