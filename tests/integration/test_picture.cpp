// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures a pupil adds to the report: the JPG and BMP kinds that cameras and paint programs
// write load; broken, empty, misnamed and oversized files fail with a message and no crash.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTransform>
#include <QtEndian>

#include "app/Picture.h"
#include "components/Richview.h"
#include "foundation/Exceptions.h"

namespace {
QString Fixture(const char* name) {
    return QStringLiteral(ROVELIN_TEST_DATA "/pictures/") + QLatin1String(name);
}

QString FailureOf(const QString& path) {
    try {
        LoadPicture(path);
    } catch (const tException& e) {
        return e.Message();
    }
    return QString();
}
}  // namespace

// ---- valid pictures ------------------------------------------------------------------------

TEST(Picture, EveryValidKindLoadsAtItsSize) {
    for (const char* name :
         {"baseline.jpg", "progressive.jpg", "grey.jpg", "cmyk.jpg", "rgb24.bmp", "palette8.bmp"}) {
        const QImage image = LoadPicture(Fixture(name));
        EXPECT_EQ(image.size(), QSize(64, 48)) << name;
    }
}

TEST(Picture, ColoursSurviveDecoding) {
    // The circle in the middle is white and the left edge red in every colour picture.
    for (const char* name : {"baseline.jpg", "progressive.jpg", "cmyk.jpg", "rgb24.bmp"}) {
        const QImage image = LoadPicture(Fixture(name));
        const QColor centre = image.pixelColor(32, 24);
        EXPECT_GT(centre.lightness(), 220) << name;
        const QColor top = image.pixelColor(32, 1);
        EXPECT_GT(top.red(), 150) << name;
        EXPECT_LT(top.blue(), 120) << name;
    }
    const QColor grey = LoadPicture(Fixture("grey.jpg")).pixelColor(5, 5);
    EXPECT_NEAR(grey.red(), grey.blue(), 2);
}

TEST(Picture, ExtensionDecidesTheDecoderInAnyCase) {
    QTemporaryDir dir;
    const QString upper = dir.filePath(QStringLiteral("PHOTO.JPG"));
    ASSERT_TRUE(QFile::copy(Fixture("baseline.jpg"), upper));
    EXPECT_EQ(LoadPicture(upper).width(), 64);
    // A JPEG named .bmp is decoded as BMP and so refused.
    const QString misnamed = dir.filePath(QStringLiteral("photo.bmp"));
    ASSERT_TRUE(QFile::copy(Fixture("baseline.jpg"), misnamed));
    EXPECT_FALSE(FailureOf(misnamed).isEmpty());
}

// ---- bad input -----------------------------------------------------------------------------

TEST(Picture, BrokenFilesFailWithTheirName) {
    for (const char* name : {"truncated.jpg", "truncated_scan.jpg", "corrupt.jpg", "empty.jpg", "text.bmp"}) {
        const QString message = FailureOf(Fixture(name));
        EXPECT_TRUE(message.contains(QLatin1String(name))) << name << ": " << message.toStdString();
        EXPECT_TRUE(message.startsWith(QStringLiteral("Невозможно загрузить изображение"))) << name;
    }
}

TEST(Picture, OversizedHeaderIsRefusedBeforeAllocating) {
    const QString message = FailureOf(Fixture("huge_header.jpg"));
    EXPECT_TRUE(message.contains(QStringLiteral("100 мегапикселей"))) << message.toStdString();
}

TEST(Picture, MissingFileAndUnknownKindFail) {
    EXPECT_FALSE(FailureOf(QStringLiteral("/nonexistent/dir/photo.jpg")).isEmpty());
    EXPECT_TRUE(FailureOf(Fixture("src.png")).contains(QStringLiteral(".png")));
}

// ---- what a report keeps of a picture -----------------------------------------------------

namespace {
// A phone photo as stored: the sensor's landscape frame with EXIF orientation 6 ("turn 90° to the
// right to show it"). Upright it is a portrait picture whose top left corner is red.
QByteArray PhoneJpeg(int orientation) {
    QImage upright(48, 64, QImage::Format_RGB32);
    upright.fill(QColor(0, 0, 220));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) upright.setPixelColor(x, y, QColor(230, 0, 0));
    const QImage stored = upright.transformed(QTransform().rotate(-90));  // what the sensor saw
    const QByteArray jpeg = EncodeJpeg(stored, 95);
    // APP1 "Exif", big-endian TIFF as phones write it, IFD0 with the orientation and one more tag.
    QByteArray tiff("MM\0\x2A\0\0\0\x08", 8);
    tiff += QByteArray("\0\x02", 2);
    tiff += QByteArray("\x01\x0F\0\x02\0\0\0\x04", 8) + QByteArray("Ph1\0", 4);  // Make
    tiff += QByteArray("\x01\x12\0\x03\0\0\0\x01", 8) + QByteArray(1, '\0') +
            QByteArray(1, char(orientation)) + QByteArray(2, '\0');
    tiff += QByteArray(4, '\0');
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1("\xFF\xE1", 2);
    app1 += char((payload.size() + 2) >> 8);
    app1 += char((payload.size() + 2) & 0xFF);
    return jpeg.left(2) + app1 + payload + jpeg.mid(2);
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}
}  // namespace

TEST(ReportPicture, ARotatedPhoneJpegComesOutUpright) {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, QStringLiteral("phone.jpeg"), PhoneJpeg(6));
    const tPicture picture = LoadReportPicture(path);
    ASSERT_EQ(picture.Image.size(), QSize(48, 64));
    const QColor corner = picture.Image.pixelColor(4, 4);
    EXPECT_GT(corner.red(), 180);
    EXPECT_LT(corner.blue(), 60);
    EXPECT_GT(picture.Image.pixelColor(40, 56).blue(), 180);
    // The stored JPEG is the upright one too, so any other program shows it the same way.
    const QImage stored = QImage::fromData(picture.Jpeg, "JPEG");
    if (!stored.isNull()) {  // Qt's own JPEG reader is a plugin that may be missing
        EXPECT_EQ(stored.size(), QSize(48, 64));
        EXPECT_GT(stored.pixelColor(4, 4).red(), 180);
    }
    EXPECT_EQ(JpegOrientation(picture.Jpeg), 1);
    // An unrotated photo keeps its own bytes.
    const QByteArray plain = PhoneJpeg(1);
    EXPECT_EQ(LoadReportPicture(WriteFile(dir, QStringLiteral("plain.jpg"), plain)).Jpeg, plain);
}

TEST(ReportPicture, APhotoInASavedReportCostsAboutTwiceItsFileSize) {
    QTemporaryDir dir;
    QImage photo(4000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            line[x] = qRgb(x * 255 / 4000, y * 255 / 3000, (x ^ y) & 0xFF);
    }
    const QByteArray jpeg = EncodeJpeg(photo, 90);
    const QString path = WriteFile(dir, QStringLiteral("IMG_0001.JPG"), jpeg);
    const tPicture picture = LoadReportPicture(path);
    EXPECT_EQ(picture.Image.size(), QSize(4000, 3000)) << "under the cap: full resolution";
    TRichView view;
    view.resize(600, 400);
    view.InsertImage(picture.Image, picture.Jpeg);
    const QString rtf = dir.filePath(QStringLiteral("report.rtf"));
    view.SaveToFile(rtf);
    const qint64 size = QFileInfo(rtf).size();
    RecordProperty("rtf_per_photo_byte", QString::number(double(size) / jpeg.size(), 'f', 3).toStdString());
    EXPECT_LE(double(size), 2.2 * jpeg.size()) << "RTF " << size << " for a " << jpeg.size() << "-byte photo";
    QFile file(rtf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    text.replace("\r", "").replace("\n", "");  // hex lines are wrapped
    EXPECT_TRUE(text.contains("\\jpegblip"));
    EXPECT_TRUE(text.contains(jpeg.mid(2000, 200).toHex())) << "the photo's own bytes, as hex";
    // Read back: the full picture again, shown no wider than the view.
    TRichView back;
    back.resize(600, 400);
    back.LoadFromFile(rtf);
    EXPECT_TRUE(back.toHtml().contains(QStringLiteral("<img")));
}

TEST(ReportPicture, LargerPicturesAreStoredAtTheCap) {
    QTemporaryDir dir;
    QImage wide(5000, 1000, QImage::Format_RGB32);
    wide.fill(Qt::darkGreen);
    const QString path = dir.filePath(QStringLiteral("wide.bmp"));
    ASSERT_TRUE(wide.save(path, "BMP"));
    EXPECT_EQ(LoadReportPicture(path).Image.size(), QSize(kMaxStoredSide, 819));
}

// ---- bounded input -------------------------------------------------------------------------

TEST(Picture, AScanCutShortFailsAlsoWhenAnEndMarkerFollows) {
    QFile source(Fixture("baseline.jpg"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray cut = source.readAll().left(700) + QByteArray("\xFF\xD9", 2);
    QTemporaryDir dir;
    const QString message = FailureOf(WriteFile(dir, QStringLiteral("cut.jpg"), cut));
    EXPECT_TRUE(message.contains(QStringLiteral("cut.jpg"))) << message.toStdString();
}

TEST(Picture, BmpUnderTheCapLoadsAndOneOverItIsRefusedFromTheHeader) {
    QTemporaryDir dir;
    // 36 megapixels: more than Qt's own default allows, well under ours.
    QImage big(7000, 5200, QImage::Format_RGB32);
    big.fill(QColor(10, 200, 30));
    const QString path = dir.filePath(QStringLiteral("big.bmp"));
    ASSERT_TRUE(big.save(path, "BMP"));
    big = QImage();
    const QImage loaded = LoadPicture(path);
    EXPECT_EQ(loaded.size(), QSize(7000, 5200));
    EXPECT_EQ(loaded.pixelColor(6999, 5199), QColor(10, 200, 30));

    // The same header claiming 20000 × 20000: refused by name and limit, nothing decoded.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray header = file.read(54);
    qToLittleEndian<qint32>(20000, header.data() + 18);
    qToLittleEndian<qint32>(20000, header.data() + 22);
    const QString message =
        FailureOf(WriteFile(dir, QStringLiteral("huge.bmp"), header + QByteArray(1000, '\0')));
    EXPECT_TRUE(message.contains(QStringLiteral("huge.bmp"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("100 мегапикселей"))) << message.toStdString();
}
