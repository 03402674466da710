// SPDX-License-Identifier: GPL-3.0-or-later
// The RTF reader and writer on QTextDocument. Headless; no widgets needed.
// The reader accepts what real writers emit and never crashes, hangs or exhausts memory on bad
// input: it loads what it can or raises tException with a clear message.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QTextFormat>
#include <atomic>
#include <limits>

#include "foundation/Exceptions.h"

class QTextDocument;

// The most a document may hold. A view lays its whole document out on the window's thread when
// the pupil jumps to the end or prints: about 0.2 s per million characters and as much per
// hundred thousand paragraphs on a current 2-core machine, a few times that on an old school
// laptop. The defaults keep that under a second. Pictures and table cells count as characters
// and paragraphs too.
struct tRtfLimits {
    int Characters = 1'000'000;  // about 500 pages of text
    int Paragraphs = 100'000;
    // When given and set (from another thread), reading stops soon with tRtfCancelled.
    const std::atomic<bool>* Cancel = nullptr;
};
// For documents the program wrote itself (a lesson's): refusing them would lose a pupil's work.
constexpr tRtfLimits kUnlimitedRtf{std::numeric_limits<int>::max(), std::numeric_limits<int>::max()};

// A document over its limits. The message says which limit, without the file's name.
class tRtfTooLarge : public tException {
  public:
    using tException::tException;
};

// Reading was stopped through tRtfLimits::Cancel (the document is then partial). A silent abort:
// the user asked for it, there is nothing to report.
class tRtfCancelled : public tAbort {};

// Replaces `document`'s content with the RTF in `rtf`. Raises tException for what is no RTF and
// tRtfTooLarge as soon as the document grows past `limits` (the content is then partial), tRtfCancelled
// when `limits.Cancel` is set.
void ReadRtf(const QByteArray& rtf, QTextDocument& document, const tRtfLimits& limits = {});
// RTF 1.x with \ansicpg1251, \uN for characters outside the code page, pictures as PNG or JPEG blips.
QByteArray WriteRtf(const QTextDocument& document);

// Adds `image` to `document` as an image resource at full resolution and returns the format to
// insert for it, shown at `displaySize` (the image's own size when empty). `sourceData`, when given,
// are the PNG or JPEG bytes the image came from; the writer then stores those as they are instead
// of encoding the image again.
QTextImageFormat AddDocumentImage(QTextDocument& document, const QImage& image,
                                  const QSizeF& displaySize = QSizeF(), const QByteArray& sourceData = {});
