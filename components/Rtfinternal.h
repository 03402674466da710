// SPDX-License-Identifier: GPL-3.0-or-later
// Pieces shared by the RTF reader, the writer and the rich-text view: code pages and pictures.
// Stateless; any thread.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTextDocument>
#include <QUrl>

namespace rtf {

// The Windows code page of an RTF \fcharset value; 0 when the charset names none we know.
int CodePageOfCharset(int charset);
// Decodes single- or double-byte text of a Windows code page. Code pages without a decoder on this
// system are read as 1252 so that nothing is lost silently in ASCII.
QString DecodeCodePage(const QByteArray& bytes, int codePage);

enum class tPictureKind { Unknown, Png, Jpeg, Bmp, Dib, Wmf, Emf };
// What the bytes are, from their first bytes (blip control words are sometimes wrong).
tPictureKind DetectPicture(const QByteArray& data);
// A device-independent bitmap (BITMAPINFOHEADER + bits) as a BMP file; empty when malformed.
QByteArray DibToBmp(const QByteArray& dib);

// Pictures larger than this many pixels are refused (they would take gigabytes to decode).
constexpr qint64 kMaxPicturePixels = 100'000'000;
// Decodes PNG, JPEG or BMP data; a null image for anything else, for damaged data and for
// pictures over kMaxPicturePixels.
QImage DecodePicture(const QByteArray& data);

// Resource type under which a picture that came from PNG or JPEG data keeps those bytes, so the
// writer stores them again unchanged (no loss for a JPEG, no second of encoding for a big PNG). QTextDocument
// keys resources by address alone, so the bytes sit under an address of their own (SourceResourceUrl), beside
// the decoded image.
constexpr int kSourceResource = QTextDocument::UserResource + 1;
QUrl SourceResourceUrl(const QString& imageName);

// A picture's display size where RTF gave one side or none: the missing side follows the
// picture's own proportions, and with neither side the picture shows at its pixel size.
inline void CompleteDisplaySize(double& width, double& height, const QImage& image) {
    if (width <= 0 && height <= 0) {
        width = image.width();
        height = image.height();
    } else if (width <= 0) {
        width = height * image.width() / image.height();
    } else if (height <= 0) {
        height = width * image.height() / image.width();
    }
}

}  // namespace rtf
