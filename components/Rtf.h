// The RTF reader and writer on QTextDocument. Headless; no widgets needed.
// The reader accepts what real writers emit and never crashes, hangs or exhausts memory on bad
// input: it loads what it can or raises tException with a clear message.
#pragma once

#include <QByteArray>

class QTextDocument;

// Replaces `document`'s content with the RTF in `rtf`.
void ReadRtf(const QByteArray& rtf, QTextDocument& document);
// RTF 1.x with \ansicpg1251, \uN for characters outside the code page, pictures as PNG or JPEG blips.
QByteArray WriteRtf(const QTextDocument& document);
