// Pictures a pupil adds to the report: the JPG and BMP kinds that cameras and paint programs
// write load; broken, empty, misnamed and oversized files fail with a message and no crash.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/Picture.h"
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
