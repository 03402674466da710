// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures as a screen shows them: toolbar icons drawn for the screen's scale rather
// than enlarged, and the window icon identical to the icon the installation puts in the menu.
#include "app/Icons.h"

#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>

namespace {
// Sum of squared alpha and grey steps between neighbouring pixels: high when edges are crisp,
// lower when the same picture is blurred by enlarging.
double EdgeEnergy(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    double energy = 0;
    for (int y = 0; y + 1 < image.height(); ++y)
        for (int x = 0; x + 1 < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            for (QRgb n : {image.pixel(x + 1, y), image.pixel(x, y + 1)}) {
                const double da = qAlpha(c) - qAlpha(n);
                const double dg = qGray(c) * qAlpha(c) / 255.0 - qGray(n) * qAlpha(n) / 255.0;
                energy += da * da + dg * dg;
            }
        }
    return energy;
}
}  // namespace

TEST(ToolbarIcons, AreDrawnForTheScreenScaleNotEnlarged) {
    for (int index = 0; index < icCount; ++index) {
        const QIcon icon = MainIcon(index);
        const QImage base = icon.pixmap(QSize(24, 24), 1.0).toImage();
        ASSERT_EQ(base.size(), QSize(24, 24)) << index;
        for (qreal ratio : {1.5, 2.0}) {
            const QPixmap scaled = icon.pixmap(QSize(24, 24), ratio);
            const int device = qRound(24 * ratio);
            EXPECT_EQ(scaled.size(), QSize(device, device)) << index << " at " << ratio;
            EXPECT_DOUBLE_EQ(scaled.devicePixelRatio(), ratio) << index;
            // The same picture enlarged from 24 px is what a blurred toolbar shows; the drawn one
            // keeps its edges. Edge energy grows with the edge length, so compare per device pixel
            // of edge: the enlarged picture spreads every step over more pixels.
            const QImage enlarged =
                base.scaled(device, device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            EXPECT_GT(EdgeEnergy(scaled.toImage()), 1.25 * EdgeEnergy(enlarged)) << index << " at " << ratio;
        }
        // Disabled and hot pictures come in the same sizes.
        EXPECT_EQ(icon.pixmap(QSize(24, 24), 2.0, QIcon::Disabled).size(), QSize(48, 48)) << index;
        EXPECT_NE(icon.pixmap(QSize(24, 24), 1.0, QIcon::Disabled).toImage(), base) << index;
    }
}

TEST(WindowIcon, IsTheInstalledIconsArtwork) {
    const QIcon window = ApplicationIcon();
    ASSERT_FALSE(window.isNull());
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString installed = QStringLiteral(ROVELIN_ICON_DIR "/%1x%1/ru.rovelin.rovelin.png").arg(size);
        const QImage png(installed);
        ASSERT_FALSE(png.isNull()) << installed.toStdString();
        const QImage shown =
            window.pixmap(QSize(size, size), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(shown, png.convertToFormat(QImage::Format_ARGB32)) << size;
    }
}
