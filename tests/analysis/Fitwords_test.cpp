// SPDX-License-Identifier: GPL-3.0-or-later
// What a pupil reads of a fit: the strip's sentence per model, the details, and numbers rounded
// to what their σ allows, with the decimal comma.
#include "analysis/Fitwords.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "Decimalcomma.h"
#include "Printers.h"
#include "analysis/Statistics.h"
#include "foundation/Functions.h"

namespace {

struct FitWords : DecimalComma {
    tReadoutNames Temperature() const {
        return {1,
                Qt::red,
                QStringLiteral("Время, с"),
                QStringLiteral("Температура, °C"),
                QString(),
                QStringLiteral("0.0")};
    }
};

tFitRecord Record(const char* model, QVector<double> values, QVector<double> sigmas) {
    tFitRecord record;
    record.Model = QString::fromLatin1(model);
    tFitModel id;
    if (FitModelFromKey(record.Model, id)) record.Names = FitModelInfo(id).Names;
    record.Values = std::move(values);
    record.Sigmas = std::move(sigmas);
    record.Points = 240;
    record.Rmse = 0.0834;
    record.R2 = 0.99871;
    return record;
}

}  // namespace

TEST_F(FitWords, NumbersAreRoundedWhereTheirSigmaAllows) {
    EXPECT_EQ(ValueWithSigma(33.1234, 0.2345, QString()), QStringLiteral("33,1 ± 0,2"));
    // A leading 1 keeps a second digit.
    EXPECT_EQ(ValueWithSigma(33.1234, 0.1449, QString()), QStringLiteral("33,12 ± 0,14"));
    EXPECT_EQ(ValueWithSigma(1234.5, 23, QString(), QStringLiteral("lx")), QStringLiteral("1235 lx ± 23"));
    // No more digits than the scenario's pattern gives the value; σ keeps its own.
    EXPECT_EQ(ValueWithSigma(33.1234, 0.034, QStringLiteral("0.0"), QStringLiteral("°C")),
              QStringLiteral("33,1 °C ± 0,03"));
    EXPECT_EQ(ValueWithSigma(33.1234, 3.4, QStringLiteral("0.00"), QStringLiteral("°C")),
              QStringLiteral("33 °C ± 3"));
    // Without σ the pattern, or three significant digits.
    EXPECT_EQ(ValueWithSigma(33.1234, 0, QStringLiteral("0.0"), QStringLiteral("°C")),
              QStringLiteral("33,1 °C"));
    EXPECT_EQ(ValueWithSigma(0.012345, std::nan(""), QString()), QStringLiteral("0,0123"));
    EXPECT_EQ(ValueWithSigma(-0.04, 0.3, QString()), QStringLiteral("0,0 ± 0,3")) << "never «-0,0»";
}

TEST_F(FitWords, TheApproachToALimitInAPupilsWords) {
    // τ = 10,9 s: after τ·ln 3 = 12 s a third of the difference is left.
    const tFitRecord record = Record("approach", {33.1234, 21.5, 10.9}, {0.21, 0.1, 0.2});
    EXPECT_EQ(FitSentence(record, Temperature()),
              QStringLiteral("Температура приближается к 33,1 °C ± 0,2; за 12 с остаётся треть разницы"));
    // Moving away from C (τ < 0).
    const tFitRecord away = Record("approach", {20, 21, -5}, {0.5, 0.1, 0.2});
    EXPECT_EQ(FitSentence(away, Temperature()),
              QStringLiteral("Температура удаляется от 20,0 °C ± 0,5; за 5,5 с разница растёт втрое"));
}

TEST_F(FitWords, ASentencePerModel) {
    const tReadoutNames t = Temperature();
    EXPECT_EQ(
        FitSentence(Record("proportional", {0.524}, {0.012}), t),
        QStringLiteral("Температура растёт на 0,524 °C ± 0,012 каждую секунду — пропорционально времени"));
    EXPECT_EQ(
        FitSentence(Record("linear", {21.34, -0.0524}, {0.11, 0.0012}), t),
        QStringLiteral("Температура убывает на 0,0524 °C ± 0,0012 каждую секунду, начиная с 21,3 °C ± 0,11"));
    // Vertex of 1 + 2t − 0,1t² at t = 10: 11.
    EXPECT_EQ(FitSentence(Record("quadratic", {1, 2, -0.1}, {0.1, 0.01, 0.001}), t),
              QStringLiteral("Температура меняется по параболе: наибольшее значение 11,0 °C при t = 10 с"));
    // ln 2 / 0,1 = 6,93 s, σ = ln 2 · 0,002 / 0,01 = 0,14 s.
    EXPECT_EQ(FitSentence(Record("exponential", {2, -0.1}, {0.1, 0.002}), t),
              QStringLiteral("Температура убывает вдвое каждые 6,93 с ± 0,14"));
    EXPECT_EQ(FitSentence(Record("power", {1.5, 1.72}, {0.1, 0.031}), t),
              QStringLiteral("Температура растёт как t в степени 1,72 ± 0,03"));
    // Period 2π/ω = 4,83 s, σ = 2π·0,004/1,3² = 0,015 s.
    EXPECT_EQ(FitSentence(Record("sine", {2.03, 1.3, 0.4, 5.01}, {0.02, 0.004, 0.01, 0.014}), t),
              QStringLiteral("Температура колеблется около 5,0 °C ± 0,014 с амплитудой 2,0 °C ± 0,02 и "
                             "периодом 4,833 с ± 0,015"));
    tFitRecord formula = Record("formula", {58.04, 7.512}, {0.12, 0.031});
    formula.Formula = QStringLiteral(" A·e^(−t/τ) ");
    formula.Names = QStringList({QStringLiteral("A"), QStringLiteral("τ")});
    EXPECT_EQ(FitSentence(formula, t),
              QStringLiteral("Формула y = A·e^(−t/τ) подобрана: A = 58,04 ± 0,12; τ = 7,51 ± 0,03"));
    // No caption: «Значение»; a record without parameters has no sentence.
    EXPECT_EQ(FitSentence(Record("power", {1.5, 1.72}, {0.1, 0.031}), tReadoutNames{}),
              QStringLiteral("Значение растёт как t в степени 1,72 ± 0,03"));
    EXPECT_EQ(FitSentence(Record("linear", {}, {}), t), QString());
}

TEST_F(FitWords, DetailsListEveryParameterWithItsUnitAndTheQuality) {
    tFitRecord record = Record("approach", {33.1234, 21.5, 10.9}, {0.21, 0.1, 0.2});
    record.Origin = 12.5;
    EXPECT_EQ(FitDetails(record, Temperature()),
              QStringLiteral("Приближение к пределу: y = C + (y0 − C)·e^(−t/τ)\n"
                             "C = 33,1 °C ± 0,2\n"
                             "y0 = 21,50 °C ± 0,10\n"
                             "τ = 10,9 с ± 0,2\n"
                             "t отсчитывается от 12,5 с\n"
                             "Точек: 240\n"
                             "Среднее отклонение от кривой (RMSE): 0,083 °C\n"
                             "R² = 0,9987"));
    EXPECT_EQ(ParameterUnit(tParameterUnit::ValuePerTime2, QStringLiteral("с"), QStringLiteral("В")),
              QStringLiteral("В/с²"));
    EXPECT_EQ(ParameterUnit(tParameterUnit::RadianPerTime, QString(), QString()), QStringLiteral("рад/с"));
}

TEST_F(FitWords, AFailureSaysWhy) {
    tFitResult failed;
    failed.Problem = QStringLiteral("все значения одинаковы");
    EXPECT_EQ(FitFailureSentence(failed), QStringLiteral("Не удалось подобрать: все значения одинаковы"));
}
