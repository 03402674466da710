// SPDX-License-Identifier: GPL-3.0-or-later
// The RTF reader and writer on QTextDocument. Headless; no widgets needed.
// The reader accepts what real writers emit and never crashes, hangs or exhausts memory on bad
// input: it loads what it can or raises tException with a clear message.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QTextFormat>

class QTextDocument;

// Replaces `document`'s content with the RTF in `rtf`.
void ReadRtf(const QByteArray& rtf, QTextDocument& document);
// RTF 1.x with \ansicpg1251, \uN for characters outside the code page, pictures as PNG or JPEG blips.
QByteArray WriteRtf(const QTextDocument& document);

// Adds `image` to `document` as an image resource at full resolution and returns the format to
// insert for it, shown at `displaySize` (the image's own size when empty). `jpegData`, when given,
// are the JPEG bytes the image came from; the writer then stores those instead of a PNG.
QTextImageFormat AddDocumentImage(QTextDocument& document, const QImage& image,
                                  const QSizeF& displaySize = QSizeF(), const QByteArray& jpegData = {});
