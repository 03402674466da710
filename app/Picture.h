// Loading the pictures a pupil adds to a report: JPG through libjpeg, BMP through Qt, chosen by
// the file's extension. Pictures announcing more than 100 megapixels are refused before any
// pixel memory is allocated.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

constexpr qint64 kMaxPicturePixels = 100'000'000;

// Raises tException with a message for the user when the file cannot be read or decoded.
QImage LoadPicture(const QString& path);
// The decoders on bytes already read (the path only names the file in messages).
QImage DecodeJpeg(const QByteArray& bytes, const QString& path);
QImage DecodeBmp(const QByteArray& bytes, const QString& path);
