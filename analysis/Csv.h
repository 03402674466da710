// SPDX-License-Identifier: GPL-3.0-or-later
// The table as text for other programs: CSV files (UTF-8 with a byte-order mark, a header row) and
// tab-separated text of a selection for the clipboard. Numbers keep up to 15 significant digits
// (the full precision a pupil's values have, without binary noise like 0.30000000000000004) and use
// the decimal mark of the user's spreadsheet; where that mark is a comma the fields are separated
// by ';', as spreadsheets in such locales expect.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QModelIndexList>
#include <QString>

class QIODevice;
class tTableModel;

struct tCsvFormat {
    QChar Separator;
    QChar Decimal;
};
// ';' and ',' for a comma decimal mark, ',' and '.' otherwise.
tCsvFormat CsvFormatFor(QChar decimalMark);

// Writes every point row of `model` (not the entry row of typed data). Returns false when the
// device refuses the bytes.
bool WriteCsv(const tTableModel& model, const tCsvFormat& format, QIODevice& out);
QByteArray CsvBytes(const tTableModel& model, const tCsvFormat& format);

// The cells of `selection` as tab-separated lines over its bounding rectangle (cells inside it that
// are not selected stay empty); numbers with `decimalMark`.
QString SelectionTsv(const tTableModel& model, const QModelIndexList& selection, QChar decimalMark);
