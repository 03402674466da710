// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAtomicInteger>
#include <QBuffer>
#include <QImageReader>
#include <QUrl>
#include <QtEndian>

#include "components/Rtf.h"
#include "components/Rtfinternal.h"

namespace rtf {

namespace {

quint32 Le32(const QByteArray& data, int offset) {
    if (offset < 0 || offset + 4 > data.size()) return 0;
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

quint16 Le16(const QByteArray& data, int offset) {
    if (offset < 0 || offset + 2 > data.size()) return 0;
    return qFromLittleEndian<quint16>(data.constData() + offset);
}

}  // namespace

tPictureKind DetectPicture(const QByteArray& data) {
    if (data.startsWith("\x89PNG")) return tPictureKind::Png;
    if (data.startsWith("\xFF\xD8\xFF")) return tPictureKind::Jpeg;
    if (data.startsWith("BM")) return tPictureKind::Bmp;
    if (data.startsWith("\xD7\xCD\xC6\x9A")) return tPictureKind::Wmf;
    if (data.size() >= 44 && Le32(data, 0) == 1 && data.mid(40, 4) == " EMF") return tPictureKind::Emf;
    if (data.size() >= 4 && (data.startsWith(QByteArray("\x01\x00\x09\x00", 4)) ||
                             data.startsWith(QByteArray("\x02\x00\x09\x00", 4))))
        return tPictureKind::Wmf;
    const quint32 header = Le32(data, 0);
    if (header == 12 || header == 40 || header == 52 || header == 56 || header == 108 || header == 124)
        return tPictureKind::Dib;
    return tPictureKind::Unknown;
}

QByteArray DibToBmp(const QByteArray& dib) {
    const quint32 headerSize = Le32(dib, 0);
    if (headerSize < 12 || headerSize > 124 || dib.size() < static_cast<qsizetype>(headerSize)) return {};
    qint64 paletteBytes = 0;
    if (headerSize == 12) {
        const int bits = Le16(dib, 10);
        if (bits <= 8) paletteBytes = 3LL << bits;
    } else {
        const int bits = Le16(dib, 14);
        const quint32 compression = Le32(dib, 16);
        const quint32 used = Le32(dib, 32);
        if (used > 0)
            paletteBytes = 4LL * used;
        else if (bits <= 8)
            paletteBytes = 4LL << bits;
        if (headerSize == 40 && compression == 3) paletteBytes += 12;  // BI_BITFIELDS masks
        if (headerSize == 40 && compression == 6) paletteBytes += 16;  // BI_ALPHABITFIELDS masks
    }
    const qint64 bitsOffset = 14 + qint64(headerSize) + paletteBytes;
    if (bitsOffset > 14 + qint64(dib.size())) return {};
    QByteArray bmp(14, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    qToLittleEndian<quint32>(quint32(14 + dib.size()), bmp.data() + 2);
    qToLittleEndian<quint32>(quint32(bitsOffset), bmp.data() + 10);
    return bmp + dib;
}

QImage DecodePicture(const QByteArray& data) {
    QByteArray bytes = data;
    const char* format = nullptr;
    switch (DetectPicture(data)) {
        case tPictureKind::Png:
            format = "PNG";
            break;
        case tPictureKind::Jpeg:
            format = "JPEG";
            break;
        case tPictureKind::Bmp:
            format = "BMP";
            break;
        case tPictureKind::Dib:
            bytes = DibToBmp(data);
            format = "BMP";
            break;
        default:
            return {};
    }
    if (bytes.isEmpty()) return {};
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    // Qt's default refuses pictures over 128 MB; the pixel cap below is the one that applies.
    QImageReader::setAllocationLimit(int(kMaxPicturePixels * 4 / (1024 * 1024)) + 16);
    QImageReader reader(&buffer, format);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > kMaxPicturePixels) return {};
    return reader.read();
}

QUrl SourceResourceUrl(const QString& imageName) {
    return QUrl(imageName + "/source");
}

}  // namespace rtf

QTextImageFormat AddDocumentImage(QTextDocument& document, const QImage& image, const QSizeF& displaySize,
                                  const QByteArray& sourceData) {
    static QAtomicInteger<quint64> serial;
    const QString name = QString("rovelin-image:%1").arg(++serial);
    document.addResource(QTextDocument::ImageResource, QUrl(name), image);
    if (!sourceData.isEmpty())
        document.addResource(rtf::kSourceResource, rtf::SourceResourceUrl(name), sourceData);
    QTextImageFormat format;
    format.setName(name);
    const QSizeF size = displaySize.isValid() && !displaySize.isEmpty() ? displaySize : QSizeF(image.size());
    format.setWidth(size.width());
    format.setHeight(size.height());
    return format;
}
