// SPDX-License-Identifier: GPL-3.0-or-later
// Number patterns and number parsing on any text: the first 8 bytes are the value (an IEEE double,
// NaN and infinities included), the rest is the pattern and the typed text, in UTF-8.
#include <cmath>
#include <cstring>

#include "foundation/Functions.h"
#include "fuzz/Fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    double value = 0;
    if (size >= sizeof value) {
        std::memcpy(&value, data, sizeof value);
        data += sizeof value;
        size -= sizeof value;
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString shown = FormatFloat(text, value);
    FormatFloat(text, -value);
    FormatFloat(QString(), value);

    // Both separators are typed in classrooms; each parse must agree with its own result.
    for (const QChar separator : {QChar(u'.'), QChar(u',')}) {
        SetDecimalSeparatorForTests(separator);
        double parsed = 0;
        // What a parse gives, the general form shows in a form the parser takes again.
        if (TryTextToFloat(text, parsed) && std::isfinite(parsed)) {
            double again = 0;
            FUZZ_CHECK(TryTextToFloat(FormatFloat(QString(), parsed), again));
        }
        TryTextToFloat(shown, parsed);
    }
    SetDecimalSeparatorForTests(QChar());
    int integer = 0;
    if (TryStrToInt(text, integer)) FUZZ_CHECK(StrToIntDef(text, integer ^ 1) == integer);
    RoundHalf049(value);
    QString rest = text;
    while (!rest.isEmpty()) {
        const qsizetype before = rest.size();
        SplitToken(rest, u',', true);
        if (rest.size() == before) break;
    }
    SplitLines(DecodeText(rovelin_fuzz::Bytes(data, size)));
    return 0;
}
