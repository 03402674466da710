#include "app/Picture.h"

#include <jerror.h>
#include <jpeglib.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <csetjmp>
#include <cstdio>

#include "foundation/Exceptions.h"

namespace {
QString CannotLoad(const QString& path, const QString& reason) {
    return QStringLiteral("Невозможно загрузить изображение '%1'.\r\nПричина: %2").arg(path, reason);
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

// A file that ends inside the scan is only a warning to libjpeg (it pads with grey); for the
// pupil it is a broken picture, so it fails like any other corrupt file.
extern "C" void JpegWarning(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) (*info->err->error_exit)(info);
}

QString TooLarge(qint64 width, qint64 height) {
    return QStringLiteral(
               "изображение слишком велико (%1 × %2 точек, допускается не более 100 мегапикселей).")
        .arg(width)
        .arg(height);
}
}  // namespace

QImage DecodeJpeg(const QByteArray& bytes, const QString& path) {
    if (bytes.isEmpty()) throw tException(CannotLoad(path, QStringLiteral("файл пуст.")));
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
        throw tException(CannotLoad(
            path, QStringLiteral("файл JPG повреждён (%1).").arg(QString::fromLocal8Bit(error.Text))));
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
        throw tException(CannotLoad(path, QStringLiteral("недостаточно памяти.")));
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
    return image;
}

QImage DecodeBmp(const QByteArray& bytes, const QString& path) {
    if (bytes.isEmpty()) throw tException(CannotLoad(path, QStringLiteral("файл пуст.")));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid())
        throw tException(CannotLoad(path, QStringLiteral("файл не является изображением BMP.")));
    if (qint64(size.width()) * size.height() > kMaxPicturePixels)
        throw tException(CannotLoad(path, TooLarge(size.width(), size.height())));
    QImage image = reader.read();
    if (image.isNull())
        throw tException(
            CannotLoad(path, QStringLiteral("файл BMP повреждён (%1).").arg(reader.errorString())));
    return image;
}

QImage LoadPicture(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool jpeg =
        suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") || suffix == QLatin1String("jpe");
    const bool bmp = suffix == QLatin1String("bmp");
    if (!jpeg && !bmp)
        throw tException(CannotLoad(
            path,
            QStringLiteral("неизвестный формат изображения «.%1» (поддерживаются JPG и BMP).").arg(suffix)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw tException(CannotLoad(path, file.errorString()));
    // Read once and decode from memory: a file that changes under us cannot tear the decode.
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) throw tException(CannotLoad(path, file.errorString()));
    return jpeg ? DecodeJpeg(bytes, path) : DecodeBmp(bytes, path);
}
