// SPDX-License-Identifier: GPL-3.0-or-later
// Small shared routines: numbers typed with either decimal separator, the program's rounding,
// tokens of device replies, Wine detection, number patterns and text-file decoding.
// All are stateless and may be called from any thread (the test hooks excepted).
#pragma once

#include <QByteArray>
#include <QChar>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

// The locale's decimal separator (QLocale::system()), unless a test set another one.
QChar DecimalSeparator();
// Test hook: force the decimal separator; a null QChar restores the locale's.
void SetDecimalSeparatorForTests(QChar separator);
// The locale's thousands separator (QLocale::system()), unless a test set another one.
QChar ThousandSeparator();
// Test hook: force the thousands separator; a null QChar restores the locale's.
void SetThousandSeparatorForTests(QChar separator);

QString NormalizeDecimalSeparator(const QString& s);
bool TryTextToFloat(const QString& s, double& value);
int RoundHalf049(double x);
QString SplitToken(QString& source, QChar delimiter, bool remove);

// Integer text: optional blanks, optional sign, decimal digits, or hexadecimal after $ or 0x.
bool TryStrToInt(const QString& s, int& value);
int StrToIntDef(const QString& s, int defaultValue);

// True under the Wine layer (logs "WINE Detected" when true). On Linux this asks the dynamic
// linker for wine_server_call; tests inject the answer.
bool IsWine();
void SetWineProbeForTests(std::function<bool()> probe);  // empty restores the real probe

// Formats `value` with a number pattern: 0 # . , E+ E- "text" 'text' and ;-sections
// (positive;negative;zero). The decimal digits are rounded half away from zero; a value that shows
// as zero in the first section takes the zero section and never a minus sign. An empty pattern
// gives the general form with up to 15 significant digits (like %.15g: 0,1  1E-05  1E+20).
// NaN and infinities give "NAN", "INF" and "-INF".
QString FormatFloat(const QString& pattern, double value);
// False when the pattern's positive or negative section holds text but no digit place (0 or #)
// outside quotes, so FormatFloat would show that text in place of the value ("abc" gives "abc22").
// Empty patterns and empty sections show the general form and count as showing the number.
bool PatternShowsNumber(const QString& pattern);
// A number as CSV, the clipboard and experiment.txt write it: up to 15 significant digits in the
// shortest general form with `decimalMark` (1.5, 1e-05); empty for NaN and infinities, no "-0".
QString PlainNumber(double value, QChar decimalMark = QLatin1Char('.'));
// The same written at `out`, which has room for kPlainNumberRoom characters; returns the end.
inline constexpr int kPlainNumberRoom = 32;
char* PlainNumberChars(double value, char decimalMark, char* out);

// Text files from either world: UTF-8 when the bytes are valid UTF-8, Windows-1251 otherwise.
QString DecodeText(const QByteArray& bytes);
// Lines ended by CR, LF or CR LF; a final line break yields no empty last line.
QStringList SplitLines(const QString& text);

// The largest experiment.txt or rovelin.cfg taken: both hold a few dozen short lines, so a file
// over 1 MB is not one of them, and reading it whole could take the memory of the program.
constexpr qint64 ParameterFileLimit = 1024 * 1024;

// Reads the whole file at `path` when it holds at most `limit` bytes. A larger file is refused
// before it is read (and one that grows past the limit meanwhile after limit + 1 bytes), with
// FileTooLargeText as `error`; an open or read failure gives the system's text in `error`. Anything
// but a regular file (a named pipe, a device, a folder) is refused before a byte is read and
// without waiting, with NotARegularFileText as `error` and Failed.
enum class tFileRead { Ok, Failed, TooLarge };
tFileRead ReadBoundedFile(const QString& path, qint64 limit, QByteArray& bytes, QString& error);
// "Файл '<path>' не читается: это не обычный файл (канал, устройство или папка)."
QString NotARegularFileText(const QString& path);
// "Файл '<path>' слишком большой (<size> байт). Допускается не более <limit>."
QString FileTooLargeText(const QString& path, qint64 size, qint64 limit);

// Writes the file at `path` atomically (QSaveFile): `write` fills it and returns false when that
// failed. A file already there stays as it was unless everything succeeded. Raises tException
// naming the file; `writeFailure` replaces the message for a failed `write` (by default it gives
// the system's reason).
void WriteFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& write,
                         const QString& writeFailure = QString());
