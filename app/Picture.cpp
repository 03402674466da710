// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Picture.h"

#include <jerror.h>
#include <jpeglib.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>
#include <QtEndian>
#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "foundation/Exceptions.h"

namespace {
QString CannotLoad(const QString& path, const QString& reason) {
    return QCoreApplication::translate("Picture", "Невозможно загрузить изображение '%1'.\r\nПричина: %2")
        .arg(path, reason);
}

// libjpeg's default error handler calls exit(); ours jumps back to the decoder with the text.
struct tJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Text[JMSG_LENGTH_MAX];
};

extern "C" void JpegErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<tJpegError*>(info->err);
    (*info->err->format_message)(info, error->Text);
    std::longjmp(error->Jump, 1);
}

// A scan that ends early is only a warning to libjpeg (it pads with grey), whether the file simply
// stops (JWRN_JPEG_EOF) or an end-of-image marker comes before the data does (JWRN_HIT_MARKER);
// for the pupil it is a broken picture, so it fails like any other corrupt file.
extern "C" void JpegWarning(j_common_ptr info, int level) {
    if (level >= 0) return;
    const int code = info->err->msg_code;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) (*info->err->error_exit)(info);
}

QString TooLarge(qint64 width, qint64 height) {
    return QCoreApplication::translate(
               "Picture",
               "изображение слишком велико (%1 × %2 точек, допускается не более 100 мегапикселей).")
        .arg(width)
        .arg(height);
}

// Larger files are not pictures we could take (a 100-megapixel BMP is 400 MB).
constexpr qint64 kMaxPictureFileBytes = 512LL * 1024 * 1024;

// Turns an image as stored into the upright picture its EXIF orientation describes.
QImage Upright(const QImage& image, int orientation) {
    switch (orientation) {
        case 2:
            return image.mirrored(true, false);
        case 3:
            return image.transformed(QTransform().rotate(180));
        case 4:
            return image.mirrored(false, true);
        case 5:
            return image.transformed(QTransform().rotate(90)).mirrored(true, false);
        case 6:
            return image.transformed(QTransform().rotate(90));
        case 7:
            return image.transformed(QTransform().rotate(270)).mirrored(true, false);
        case 8:
            return image.transformed(QTransform().rotate(270));
        default:
            return image;
    }
}

// Calls `visit(marker, at, length)` for each marker segment of JPEG data before the scan (`at` is
// the segment's offset, `length` its length field); fill bytes are skipped, and the walk ends at
// the scan, at the end of the image, at anything that is no marker, or when `visit` says true.
template <typename Visit>
void ForEachJpegSegment(const QByteArray& bytes, Visit visit) {
    if (!bytes.startsWith("\xFF\xD8")) return;
    qsizetype at = 2;
    while (at + 4 <= bytes.size() && uchar(bytes[at]) == 0xFF) {
        const uchar marker = uchar(bytes[at + 1]);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return;
        const int length = qFromBigEndian<quint16>(bytes.constData() + at + 2);
        if (length < 2 || visit(marker, at, length)) return;
        at += 2 + length;
    }
}

// The pixel size a picture file announces, read from its header only; invalid when the header
// cannot be read from what the file holds (the decoder then reports it).
QSize AnnouncedSize(QFile& file, bool jpeg) {
    if (!jpeg) {
        // BITMAPFILEHEADER, then the info header: 16-bit sides in the old core header, else 32-bit
        // (a negative height means top-down rows).
        const QByteArray head = file.peek(26);
        if (head.size() < 26 || !head.startsWith("BM")) return {};
        const quint32 infoSize = qFromLittleEndian<quint32>(head.constData() + 14);
        if (infoSize == 12)
            return QSize(qFromLittleEndian<quint16>(head.constData() + 18),
                         qFromLittleEndian<quint16>(head.constData() + 20));
        const qint64 width = qFromLittleEndian<qint32>(head.constData() + 18);
        const qint64 height = qFromLittleEndian<qint32>(head.constData() + 22);
        if (width <= 0 || height == 0 || width > INT_MAX || std::abs(height) > INT_MAX) return {};
        return QSize(int(width), int(std::abs(height)));
    }
    // JPEG: the markers up to the frame header (EXIF blocks can be up to 64 KB each).
    const QByteArray head = file.peek(1 << 20);
    QSize size;
    ForEachJpegSegment(head, [&](uchar marker, qsizetype at, int) {
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && at + 9 <= head.size())
            size = QSize(qFromBigEndian<quint16>(head.constData() + at + 7),
                         qFromBigEndian<quint16>(head.constData() + at + 5));
        return frame;
    });
    return size;
}
}  // namespace

QImage DecodeJpeg(const QByteArray& bytes, const QString& path) {
    if (bytes.isEmpty())
        throw tException(CannotLoad(path, QCoreApplication::translate("Picture", "файл пуст.")));
    jpeg_decompress_struct info{};
    tJpegError error{};
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = JpegErrorExit;
    error.Manager.emit_message = JpegWarning;
    // Everything the jump may skip lives outside this frame's locals that change after setjmp.
    QImage* volatile result = nullptr;
    if (setjmp(error.Jump)) {
        delete result;
        jpeg_destroy_decompress(&info);
        throw tException(CannotLoad(path, QCoreApplication::translate("Picture", "файл JPG повреждён (%1).")
                                              .arg(QString::fromLocal8Bit(error.Text))));
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    const qint64 width = info.image_width, height = info.image_height;
    if (width * height > kMaxPicturePixels) {
        jpeg_destroy_decompress(&info);
        throw tException(CannotLoad(path, TooLarge(width, height)));
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    // Adobe writes CMYK inverted; the APP14 marker tells libjpeg it saw one.
    const bool inverted = cmyk && info.saw_Adobe_marker;
    result = new QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
    if (result->isNull()) {
        delete result;
        jpeg_destroy_decompress(&info);
        throw tException(CannotLoad(path, QCoreApplication::translate("Picture", "недостаточно памяти.")));
    }
    // The row lives in libjpeg's pool, so a jump out of jpeg_read_scanlines leaks nothing.
    JSAMPARRAY rows = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                info.output_width * JDIMENSION(info.output_components), 1);
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        jpeg_read_scanlines(&info, rows, 1);
        auto* out = reinterpret_cast<QRgb*>(result->scanLine(y));
        for (JDIMENSION x = 0; x < info.output_width; ++x) {
            const unsigned char* p = rows[0] + size_t(x) * size_t(info.output_components);
            if (cmyk) {
                int c = p[0], m = p[1], yy = p[2], k = p[3];
                if (!inverted) c = 255 - c, m = 255 - m, yy = 255 - yy, k = 255 - k;
                out[x] = qRgb(c * k / 255, m * k / 255, yy * k / 255);
            } else {
                out[x] = qRgb(p[0], p[1], p[2]);
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    QImage image = *result;
    delete result;
    return Upright(image, JpegOrientation(bytes));
}

int JpegOrientation(const QByteArray& bytes) {
    // The orientation sits in APP1 "Exif", IFD0, tag 0x0112.
    int orientation = 1;
    ForEachJpegSegment(bytes, [&](uchar marker, qsizetype at, int length) {
        if (marker != 0xE1) return false;
        const QByteArray segment = bytes.mid(at + 4, length - 2);
        if (!segment.startsWith(QByteArray("Exif\0\0", 6))) return false;
        const QByteArray tiff = segment.mid(6);
        if (tiff.size() < 8) return true;
        const bool little = tiff.startsWith("II");
        auto u16 = [&](int offset) -> int {
            if (offset < 0 || offset + 2 > tiff.size()) return -1;
            return little ? qFromLittleEndian<quint16>(tiff.constData() + offset)
                          : qFromBigEndian<quint16>(tiff.constData() + offset);
        };
        auto u32 = [&](int offset) -> qint64 {
            if (offset < 0 || offset + 4 > tiff.size()) return -1;
            return little ? qFromLittleEndian<quint32>(tiff.constData() + offset)
                          : qFromBigEndian<quint32>(tiff.constData() + offset);
        };
        const qint64 ifd = u32(4);
        if (ifd < 8 || ifd > tiff.size()) return true;
        const int count = u16(int(ifd));
        for (int i = 0; i < count; ++i) {
            const int entry = int(ifd) + 2 + 12 * i;
            if (u16(entry) == 0x0112 && u16(entry + 2) == 3) {
                const int value = u16(entry + 8);
                if (value >= 1 && value <= 8) orientation = value;
                break;
            }
        }
        return true;  // only the first Exif block counts
    });
    return orientation;
}

namespace {
struct tJpegDestination {
    unsigned char* Buffer = nullptr;
    unsigned long Size = 0;
    ~tJpegDestination() { free(Buffer); }  // libjpeg allocates it with malloc
};
}  // namespace

QByteArray EncodeJpeg(const QImage& source, int quality) {
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    tJpegError error{};
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = JpegErrorExit;
    tJpegDestination destination;
    if (setjmp(error.Jump)) {
        jpeg_destroy_compress(&info);
        throw tException(QCoreApplication::translate("Picture", "Не удалось сжать рисунок в JPEG (%1).")
                             .arg(QString::fromLocal8Bit(error.Text)));
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &destination.Buffer, &destination.Size);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return QByteArray(reinterpret_cast<const char*>(destination.Buffer), qsizetype(destination.Size));
}

QImage DecodeBmp(const QByteArray& bytes, const QString& path) {
    if (bytes.isEmpty())
        throw tException(CannotLoad(path, QCoreApplication::translate("Picture", "файл пуст.")));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // Qt refuses images over 128 MB by default; our own cap above is the one that applies.
    QImageReader::setAllocationLimit(int(kMaxPicturePixels * 4 / (1024 * 1024)) + 16);
    QImageReader reader(&buffer, "bmp");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid())
        throw tException(
            CannotLoad(path, QCoreApplication::translate("Picture", "файл не является изображением BMP.")));
    if (qint64(size.width()) * size.height() > kMaxPicturePixels)
        throw tException(CannotLoad(path, TooLarge(size.width(), size.height())));
    QImage image = reader.read();
    if (image.isNull())
        throw tException(CannotLoad(
            path,
            QCoreApplication::translate("Picture", "файл BMP повреждён (%1).").arg(reader.errorString())));
    return image;
}

namespace {
// Reads and decodes `path`; `bytes` gets the file's content, `jpeg` what kind it was.
QImage LoadFile(const QString& path, QByteArray& bytes, bool& jpeg) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    jpeg =
        suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") || suffix == QLatin1String("jpe");
    const bool bmp = suffix == QLatin1String("bmp");
    if (!jpeg && !bmp)
        throw tException(CannotLoad(
            path, QCoreApplication::translate(
                      "Picture", "неизвестный формат изображения «.%1» (поддерживаются JPG и BMP).")
                      .arg(suffix)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw tException(CannotLoad(path, file.errorString()));
    // Sizes are checked from the header first, so an oversized picture is never read whole.
    if (file.size() > kMaxPictureFileBytes)
        throw tException(CannotLoad(
            path,
            QCoreApplication::translate("Picture", "файл слишком велик (%1 МБ, допускается не более %2 МБ).")
                .arg(file.size() / (1024 * 1024))
                .arg(kMaxPictureFileBytes / (1024 * 1024))));
    const QSize announced = AnnouncedSize(file, jpeg);
    if (announced.isValid() && qint64(announced.width()) * announced.height() > kMaxPicturePixels)
        throw tException(CannotLoad(path, TooLarge(announced.width(), announced.height())));
    // Read once and decode from memory: a file that changes under us cannot tear the decode.
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) throw tException(CannotLoad(path, file.errorString()));
    return jpeg ? DecodeJpeg(bytes, path) : DecodeBmp(bytes, path);
}
}  // namespace

QImage LoadPicture(const QString& path) {
    QByteArray bytes;
    bool jpeg = false;
    return LoadFile(path, bytes, jpeg);
}

tPicture LoadReportPicture(const QString& path) {
    QByteArray bytes;
    bool jpeg = false;
    tPicture picture;
    picture.Image = LoadFile(path, bytes, jpeg);
    const bool tooLarge = std::max(picture.Image.width(), picture.Image.height()) > kMaxStoredSide;
    if (tooLarge)
        picture.Image = picture.Image.scaled(kMaxStoredSide, kMaxStoredSide, Qt::KeepAspectRatio,
                                             Qt::SmoothTransformation);
    if (jpeg) {
        // The file's own bytes when they already show the picture as stored; a photo that had
        // to be turned upright or scaled down is compressed anew.
        picture.Jpeg = !tooLarge && JpegOrientation(bytes) == 1 ? bytes : EncodeJpeg(picture.Image);
    }
    return picture;
}
