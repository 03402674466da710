// SPDX-License-Identifier: GPL-3.0-or-later
#include <QStringDecoder>

#include "components/Rtfinternal.h"
#include "foundation/Cp1251.h"

namespace rtf {

namespace {

// 0x80..0x9F of Windows-1252 (0 = unassigned); Windows-1251 comes from foundation/Cp1251.h.
const char16_t kCp1252High[32] = {0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x017D, 0x0000,
                                  0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178};

// Windows-1252 from a table of ours, so Western documents do not depend on how Qt was built.
QString DecodeCp1252(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        char16_t c = b;
        if (b >= 0x80 && b < 0xA0) {
            c = kCp1252High[b - 0x80];
            if (c == 0) c = 0xFFFD;
        }
        out.append(QChar(c));
    }
    return out;
}

}  // namespace

int CodePageOfCharset(int charset) {
    switch (charset) {
        case 0:
            return 1252;  // ANSI
        case 2:
            return 1252;  // symbol fonts: bytes are glyph numbers, Latin is the best guess
        case 77:
            return 10000;  // Mac Roman
        case 128:
            return 932;  // Shift-JIS
        case 129:
            return 949;  // Hangul
        case 134:
            return 936;  // GB2312
        case 136:
            return 950;  // Big5
        case 161:
            return 1253;  // Greek
        case 162:
            return 1254;  // Turkish
        case 163:
            return 1258;  // Vietnamese
        case 177:
            return 1255;  // Hebrew
        case 178:
            return 1256;  // Arabic
        case 186:
            return 1257;  // Baltic
        case 204:
            return 1251;  // Cyrillic
        case 222:
            return 874;  // Thai
        case 238:
            return 1250;  // Eastern European
        default:
            return 0;
    }
}

QString DecodeCodePage(const QByteArray& bytes, int codePage) {
    if (codePage == 1251) return DecodeCp1251(bytes);
    if (codePage == 1252 || codePage <= 0) return DecodeCp1252(bytes);
    if (codePage == 65001) return QString::fromUtf8(bytes);
    const QByteArray name = codePage == 10000 ? QByteArray("macintosh")
                            : codePage == 932 ? QByteArray("Shift_JIS")
                            : codePage == 936 ? QByteArray("GBK")
                            : codePage == 949 ? QByteArray("windows-949")
                            : codePage == 950 ? QByteArray("Big5")
                            : codePage == 874 ? QByteArray("windows-874")
                                              : "windows-" + QByteArray::number(codePage);
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid()) return DecodeCp1252(bytes);
    return decoder.decode(bytes);
}

}  // namespace rtf
