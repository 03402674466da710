#include <QHash>
#include <QStringDecoder>

#include "components/Rtfinternal.h"

namespace rtf {

namespace {

// 0x80..0xFF of Windows-1251 and 0x80..0x9F of Windows-1252 (0 = unassigned). Tables of our own,
// so the two code pages every Russian document uses do not depend on how Qt was built.
const char16_t kCp1251[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // 0xC0..0xFF: А..я
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429,
    0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436,
    0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443,
    0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

const char16_t kCp1252High[32] = {0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x017D, 0x0000,
                                  0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178};

QString DecodeTable(const QByteArray& bytes, bool cyrillic) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        char16_t c = b;
        if (b >= 0x80) {
            if (cyrillic)
                c = kCp1251[b - 0x80];
            else if (b < 0xA0)
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
    if (codePage == 1251) return DecodeTable(bytes, true);
    if (codePage == 1252 || codePage <= 0) return DecodeTable(bytes, false);
    if (codePage == 65001) return QString::fromUtf8(bytes);
    const QByteArray name = codePage == 10000 ? QByteArray("macintosh")
                            : codePage == 932 ? QByteArray("Shift_JIS")
                            : codePage == 936 ? QByteArray("GBK")
                            : codePage == 949 ? QByteArray("windows-949")
                            : codePage == 950 ? QByteArray("Big5")
                            : codePage == 874 ? QByteArray("windows-874")
                                              : "windows-" + QByteArray::number(codePage);
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid()) return DecodeTable(bytes, false);
    return decoder.decode(bytes);
}

int Cp1251Byte(char16_t c) {
    static const QHash<char16_t, int> reverse = [] {
        QHash<char16_t, int> map;
        for (int i = 0; i < 128; ++i)
            if (kCp1251[i] != 0) map.insert(kCp1251[i], 0x80 + i);
        return map;
    }();
    if (c < 0x80) return c;
    return reverse.value(c, -1);
}

}  // namespace rtf
