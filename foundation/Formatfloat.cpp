// SPDX-License-Identifier: GPL-3.0-or-later
// Number patterns of the scenario read-outs ("0.00", "#,##0.0", "0.00E+00", "0.0;(0.0);zero").
//
// The value is first turned into its shortest exact decimal digits (what the user typed into
// experiment.txt or what a device sent), and those digits are rounded half away from zero, so
// 2.675 with "0.00" gives 2,68 as a pupil expects, not 2,67 from the binary fraction.
#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "foundation/Functions.h"

namespace {
// A decimal number 0.Digits × 10^Point; Digits has no leading or trailing zeros (empty for zero).
struct tDecimal {
    std::string Digits;
    int Point = 0;
};

tDecimal Decompose(double magnitude) {
    tDecimal d;
    if (magnitude == 0) return d;
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
    const std::string text(buffer, result.ptr);  // d.ddde±xx, the shortest form that reads back exactly
    const size_t e = text.find('e');
    for (size_t i = 0; i < e; ++i)
        if (text[i] != '.') d.Digits += text[i];
    d.Point = std::atoi(text.c_str() + e + 1) + 1;
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
    return d;
}

// Keeps the first `keep` digits (counted from the first significant one), rounding half away from zero.
void RoundDigits(tDecimal& d, long keep) {
    if (keep >= static_cast<long>(d.Digits.size())) return;
    if (keep < 0) {
        d.Digits.clear();
        return;
    }
    const bool up = d.Digits[static_cast<size_t>(keep)] >= '5';
    d.Digits.resize(static_cast<size_t>(keep));
    if (up) {
        long i = keep - 1;
        for (; i >= 0; --i) {
            char& c = d.Digits[static_cast<size_t>(i)];
            if (c == '9') {
                c = '0';
            } else {
                ++c;
                break;
            }
        }
        if (i < 0) {  // 9.99 → 10.0: one more integer digit
            d.Digits.insert(d.Digits.begin(), '1');
            ++d.Point;
        }
    }
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
    if (d.Digits.empty()) d.Point = 0;
}

// Rounds to `decimals` digits after the decimal point.
void RoundToDecimals(tDecimal& d, int decimals) {
    if (d.Digits.empty()) return;
    RoundDigits(d, static_cast<long>(d.Point) + decimals);
}

// Digit i counting from the first significant one (zero beyond the stored digits).
char DigitAt(const tDecimal& d, long i) {
    return i >= 0 && i < static_cast<long>(d.Digits.size()) ? d.Digits[static_cast<size_t>(i)] : '0';
}

// Integer digits without leading zeros (empty for a value below 1).
std::string IntegerDigits(const tDecimal& d) {
    std::string s;
    for (long i = 0; i < d.Point; ++i) s += DigitAt(d, i);
    return s;
}

std::string FractionDigits(const tDecimal& d, int count) {
    std::string s;
    for (int k = 0; k < count; ++k) s += DigitAt(d, static_cast<long>(d.Point) + k);
    return s;
}

// ---- general form --------------------------------------------------------------------------

// Like %.15g: fixed for exponents -5 < x < 15, otherwise d.dddE±xx; trailing zeros dropped.
QString FormatGeneral(double magnitude, bool negative) {
    tDecimal d = Decompose(magnitude);
    RoundDigits(d, 15);
    if (d.Digits.empty()) return QStringLiteral("0");
    QString out;
    if (negative) out += u'-';
    const QChar sep = DecimalSeparator();
    const int exponent = d.Point - 1;
    if (exponent < -4 || exponent >= 15) {
        out += QLatin1Char(d.Digits[0]);
        if (d.Digits.size() > 1) out += sep + QString::fromLatin1(d.Digits.substr(1));
        out += exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
        QString digits = QString::number(std::abs(exponent));
        if (digits.size() < 2) digits.prepend(u'0');
        return out + digits;
    }
    const std::string whole = IntegerDigits(d);
    out += whole.empty() ? QStringLiteral("0") : QString::fromLatin1(whole);
    const long fraction = static_cast<long>(d.Digits.size()) - d.Point;
    if (fraction > 0) out += sep + QString::fromLatin1(FractionDigits(d, static_cast<int>(fraction)));
    return out;
}

// ---- one section of a pattern --------------------------------------------------------------

struct tItem {
    enum Kind { Literal, IntDigit, Point, FracDigit, Exponent };
    explicit tItem(Kind k, QString t = QString()) : kind(k), text(std::move(t)) {}
    Kind kind;
    QString text;             // Literal
    bool zero = false;        // IntDigit / FracDigit: '0' rather than '#'
    QChar letter;             // Exponent: 'E' or 'e'
    bool plusAlways = false;  // Exponent: E+ shows the sign of positive exponents too
    int expDigits = 1;        // Exponent: minimum number of digits
};

struct tSection {
    std::vector<tItem> items;
    int intPlaces = 0;   // # and 0 before the decimal point
    int minInt = 0;      // places from the first integer 0 to the decimal point
    int fracPlaces = 0;  // # and 0 after the decimal point
    int minFrac = 0;     // places up to the last fraction 0
    bool grouping = false;
    bool scientific = false;
    bool HasDigits() const { return intPlaces + fracPlaces > 0; }
};

tSection ParseSection(const QString& text) {
    tSection s;
    bool afterPoint = false;
    bool afterExponent = false;
    int firstIntZero = -1;
    auto literal = [&s](const QString& t) {
        if (!s.items.empty() && s.items.back().kind == tItem::Literal)
            s.items.back().text += t;
        else
            s.items.emplace_back(tItem::Literal, t);
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'"' || c == u'\'') {
            const qsizetype close = text.indexOf(c, i + 1);
            const qsizetype end = close < 0 ? n : close;  // an open quote runs to the end
            literal(text.mid(i + 1, end - i - 1));
            i = end;
            continue;
        }
        if (afterExponent) {  // the exponent ends the number; the rest is text
            literal(QString(c));
            continue;
        }
        if (c == u'0' || c == u'#') {
            tItem item(afterPoint ? tItem::FracDigit : tItem::IntDigit);
            item.zero = c == u'0';
            if (afterPoint) {
                ++s.fracPlaces;
                if (item.zero) s.minFrac = s.fracPlaces;
            } else {
                if (item.zero && firstIntZero < 0) firstIntZero = s.intPlaces;
                ++s.intPlaces;
            }
            s.items.push_back(item);
        } else if (c == u'.') {
            if (!afterPoint) s.items.emplace_back(tItem::Point);
            afterPoint = true;  // further points are ignored
        } else if (c == u',') {
            if (!afterPoint) s.grouping = true;
        } else if ((c == u'E' || c == u'e') && i + 1 < n && (text[i + 1] == u'+' || text[i + 1] == u'-')) {
            tItem item(tItem::Exponent);
            item.letter = c;
            item.plusAlways = text[i + 1] == u'+';
            i += 2;
            int zeros = 0;
            while (i < n && text[i] == u'0') ++zeros, ++i;
            --i;
            item.expDigits = zeros > 0 ? zeros : 1;
            s.items.push_back(item);
            s.scientific = true;
            afterExponent = true;
        } else {
            literal(QString(c));
        }
    }
    s.minInt = firstIntZero < 0 ? 0 : s.intPlaces - firstIntZero;
    return s;
}

// True when `magnitude` shows as zero in this section (decides the zero section).
bool RoundsToZero(const tSection& s, double magnitude) {
    if (magnitude == 0) return true;
    if (s.scientific) return false;
    tDecimal d = Decompose(magnitude);
    RoundToDecimals(d, s.fracPlaces);
    return d.Digits.empty();
}

QString FormatSection(const tSection& s, double magnitude, bool minus) {
    tDecimal d = Decompose(magnitude);
    int exponent = 0;
    if (s.scientific) {
        // The mantissa gets exactly intPlaces integer digits, all significant.
        RoundDigits(d, std::max(1, s.intPlaces + s.fracPlaces));
        if (!d.Digits.empty()) {
            exponent = d.Point - s.intPlaces;
            d.Point = s.intPlaces;
        }
    } else {
        RoundToDecimals(d, s.fracPlaces);
    }

    std::string whole = IntegerDigits(d);
    if (static_cast<int>(whole.size()) < s.minInt)
        whole.insert(0, static_cast<size_t>(s.minInt) - whole.size(), '0');
    std::string fraction = FractionDigits(d, s.fracPlaces);
    while (static_cast<int>(fraction.size()) > s.minFrac && fraction.back() == '0') fraction.pop_back();
    // A pattern of # only would show nothing for zero: one 0 stands where the integer goes.
    if (s.HasDigits() && whole.empty() && fraction.empty())
        whole.push_back('0');  // not = "0": GCC 12 warns falsely (-Wrestrict)

    const QChar decimalSep = DecimalSeparator();
    const QChar groupSep = ThousandSeparator();
    const bool grouping = s.grouping && !s.scientific;
    QString out;
    bool signPending = minus;
    auto sign = [&] {
        if (signPending) out += u'-';
        signPending = false;
    };
    size_t next = 0;  // next integer digit to write
    auto writeIntDigits = [&](size_t upTo) {
        if (next >= upTo) return;
        sign();
        for (; next < upTo; ++next) {
            out += QLatin1Char(whole[next]);
            const size_t left = whole.size() - 1 - next;
            if (grouping && left > 0 && left % 3 == 0) out += groupSep;
        }
    };

    int intSeen = 0;
    int fracSeen = 0;
    for (const tItem& item : s.items) {
        switch (item.kind) {
            case tItem::Literal:
                out += item.text;
                break;
            case tItem::IntDigit: {
                // Digits are right-aligned to the places; extra ones go to the first place.
                ++intSeen;
                const long shown = static_cast<long>(whole.size()) - (s.intPlaces - intSeen);
                if (shown > 0) writeIntDigits(static_cast<size_t>(shown));
                break;
            }
            case tItem::Point:
                writeIntDigits(whole.size());  // a pattern without integer places still shows them
                if (!fraction.empty()) {
                    sign();
                    out += decimalSep;
                }
                break;
            case tItem::FracDigit:
                if (fracSeen < static_cast<int>(fraction.size())) {
                    sign();
                    out += QLatin1Char(fraction[static_cast<size_t>(fracSeen)]);
                }
                ++fracSeen;
                break;
            case tItem::Exponent: {
                writeIntDigits(whole.size());
                out += item.letter;
                if (exponent < 0)
                    out += u'-';
                else if (item.plusAlways)
                    out += u'+';
                QString digits = QString::number(std::abs(exponent));
                if (digits.size() < item.expDigits)
                    digits.prepend(QString(item.expDigits - digits.size(), u'0'));
                out += digits;
                break;
            }
        }
    }
    writeIntDigits(whole.size());
    return out;
}

// Splits at ';' outside quotes; at most three sections count.
QStringList SplitSections(const QString& pattern) {
    QStringList sections{QString()};
    QChar quote;
    for (QChar c : pattern) {
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u';') {
            if (sections.size() == 3) break;
            sections << QString();
            continue;
        }
        sections.last() += c;
    }
    return sections;
}
}  // namespace

QString FormatFloat(const QString& pattern, double value) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    const double magnitude = std::fabs(value);
    const bool negative = value < 0;
    const QStringList sections = SplitSections(pattern);
    if (sections[0].isEmpty()) {
        if (negative && sections.size() > 1 && !sections[1].isEmpty())
            return FormatSection(ParseSection(sections[1]), magnitude, false);
        if (sections.size() > 2 && !sections[2].isEmpty() && magnitude == 0)
            return FormatSection(ParseSection(sections[2]), 0, false);
        return FormatGeneral(magnitude, negative);
    }
    const tSection first = ParseSection(sections[0]);
    if (RoundsToZero(first, magnitude)) {
        // No minus for a value that shows as zero.
        if (sections.size() > 2 && !sections[2].isEmpty())
            return FormatSection(ParseSection(sections[2]), 0, false);
        return FormatSection(first, 0, false);
    }
    if (negative) {
        if (sections.size() > 1 && !sections[1].isEmpty())
            return FormatSection(ParseSection(sections[1]), magnitude, false);
        return FormatSection(first, magnitude, true);
    }
    return FormatSection(first, magnitude, false);
}

bool PatternShowsNumber(const QString& pattern) {
    // The zero section may well be words ("ноль"); the others stand for the value itself.
    const QStringList sections = SplitSections(pattern);
    for (qsizetype i = 0; i < sections.size() && i < 2; ++i)
        if (!sections[i].isEmpty() && !ParseSection(sections[i]).HasDigits()) return false;
    return true;
}

char* PlainNumberChars(double value, char decimalMark, char* out) {
    if (!std::isfinite(value)) return out;  // an empty field: spreadsheets have no NaN
    if (value == 0) value = 0;              // no "-0"
    char* end = std::to_chars(out, out + kPlainNumberRoom, value, std::chars_format::general, 15).ptr;
    if (decimalMark != '.') std::replace(out, end, '.', decimalMark);
    return end;
}

QString PlainNumber(double value, QChar decimalMark) {
    char buffer[kPlainNumberRoom];
    const char* end = PlainNumberChars(value, decimalMark.toLatin1(), buffer);
    return QString::fromLatin1(buffer, end - buffer);
}
