// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the pictures a pupil adds to a report: JPG through libjpeg, BMP through Qt, chosen by
// the file's extension. Pictures over kMaxPicturePixels (JPG and BMP alike) are refused from
// their header, before the file is read whole or any pixel memory is allocated.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

constexpr qint64 kMaxPicturePixels = 100'000'000;
// A report keeps pictures up to this many pixels on the long side; larger ones are scaled down
// once, when added (a 4096-pixel side still prints sharp across an A4 page at 600 dpi).
constexpr int kMaxStoredSide = 4096;

// A picture as the report stores it: upright, at most kMaxStoredSide, and for a JPG the JPEG
// bytes to keep in the document (the file's own when it needed no change).
struct tPicture {
    QImage Image;
    QByteArray Jpeg;  // empty for BMP
};

// Raises tException with a message for the user when the file cannot be read or decoded.
// The image is upright (a JPG's EXIF orientation applied) at full resolution.
QImage LoadPicture(const QString& path);
tPicture LoadReportPicture(const QString& path);
// The decoders on bytes already read (the path only names the file in messages).
QImage DecodeJpeg(const QByteArray& bytes, const QString& path);
QImage DecodeBmp(const QByteArray& bytes, const QString& path);
// The EXIF orientation (1–8) of JPEG bytes; 1 when there is none.
int JpegOrientation(const QByteArray& bytes);
// JPEG bytes of `image` (libjpeg, baseline, `quality` 1–100).
QByteArray EncodeJpeg(const QImage& image, int quality = 90);
