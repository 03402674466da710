// SPDX-License-Identifier: GPL-3.0-or-later
// Contrast as the accessibility guidelines measure it, on the program's own colours and on what
// the chart draws: curves and marks against the white plot, point labels against their box.
#include "components/Contrast.h"

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QAccessible>

#include "components/Chart.h"

TEST(Contrast, TheGuidelinesFiguresForTheChartsColours) {
    EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(Qt::white, Qt::white), 1.0, 1e-9);
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::red, Qt::white), ContrastRatio(Qt::white, Qt::red));
    // The markers' yellow and lime are too faint on white, hence their dark edge.
    EXPECT_NEAR(ContrastRatio(QColor(255, 255, 0), Qt::white), 1.07, 0.01);
    EXPECT_NEAR(ContrastRatio(QColor(0, 255, 0), Qt::white), 1.37, 0.01);
    EXPECT_GE(ContrastRatio(OutlineColour(), Qt::white), kTextContrast);
    EXPECT_GE(ContrastRatio(OutlineColour(), QColor(255, 255, 0)), kGraphicContrast);
    EXPECT_GE(ContrastRatio(OutlineColour(), QColor(0, 255, 0)), kGraphicContrast);
    // The two curves (red, blue) and the grey prediction carry meaning: 3:1 on white.
    for (const QColor curve : {QColor(Qt::red), QColor(Qt::blue), QColor(128, 128, 128)})
        EXPECT_GE(ContrastRatio(curve, Qt::white), kGraphicContrast) << curve.name().toStdString();
}

TEST(Contrast, ReadableColourDarkensOnlyAsFarAsNeededAndKeepsTheHue) {
    const QColor cream(255, 255, 225);
    const QColor red = ReadableColour(Qt::red, cream);
    EXPECT_GE(ContrastRatio(red, cream), kTextContrast);
    EXPECT_LT(ContrastRatio(red, cream), kTextContrast * 1.15);  // not darker than it must be
    EXPECT_EQ(red.hue(), QColor(Qt::red).hue());
    EXPECT_EQ(ReadableColour(Qt::blue, cream), QColor(Qt::blue));  // already readable: unchanged
    EXPECT_GE(ContrastRatio(ReadableColour(QColor(255, 255, 0), Qt::white), Qt::white), kTextContrast);
}

TEST(Contrast, PointLabelsAreDrawnReadableInTheirRunsColour) {
    TChart chart;
    chart.resize(600, 400);
    chart.BottomAxis().SetRange(0, 100);
    chart.LeftAxis().SetRange(0, 50);
    TChartSeries* series = chart.AddSeries(QStringLiteral("Series1"), Qt::red);
    series->AddXY(10, 10, QString(), Qt::red);
    series->AddXY(50, 25, QStringLiteral("ВВВВ ММММ"), Qt::red);
    series->AddXY(90, 10, QString(), Qt::red);
    const QImage image = chart.ToImage();

    // The label's box is the cream area; inside its black frame the strongest ink is the text.
    const QColor cream(255, 255, 225);
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == cream) box |= QRect(x, y, 1, 1);
    ASSERT_FALSE(box.isEmpty());
    QColor ink = cream;
    for (int y = box.top() + 2; y < box.bottom() - 1; ++y)
        for (int x = box.left() + 2; x < box.right() - 1; ++x)
            if (ContrastRatio(image.pixelColor(x, y), cream) > ContrastRatio(ink, cream))
                ink = image.pixelColor(x, y);
    EXPECT_GE(ContrastRatio(ink, cream), kTextContrast) << ink.name().toStdString();
    EXPECT_GT(ink.red(), ink.green() + 100) << "still the run's red: " << ink.name().toStdString();
}

TEST(Contrast, TheChartIsOneAccessibleObjectNamedAfterItsValueAxis) {
    TChart chart;
    chart.LeftAxis().SetTitle(QStringLiteral("Освещённость, лк"));
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(&chart);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->role(), QAccessible::Chart);
    EXPECT_EQ(node->text(QAccessible::Name), QStringLiteral("График: Освещённость, лк"));
    EXPECT_EQ(node->childCount(), 0);
    chart.setAccessibleName(QStringLiteral("Пульс"));
    chart.setAccessibleDescription(QStringLiteral("Опыт 1: …"));
    EXPECT_EQ(node->text(QAccessible::Name), QStringLiteral("Пульс"));
    EXPECT_EQ(node->text(QAccessible::Description), QStringLiteral("Опыт 1: …"));
}
