// SPDX-License-Identifier: GPL-3.0-or-later
// What the lesson-file tests share: a lesson as a pupil leaves it, exact comparison, and a look at
// the file as any SQLite tool would take it.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QStringList>
#include <cmath>

#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"

// A lesson as a pupil leaves it: two runs of a sensor (one labelled), a typed irregular run, the
// second series showing the first run, markers on two charts, both documents, two formulas fitted
// to the first run (one of a model only a later program knows), a slope, an area, a prediction and
// the heart rates kept for the second run.
inline void FillLesson(tLesson& lesson) {
    lesson.SetScenario(QStringLiteral("Остывание горячей воды"),
                       QStringLiteral("1. Тепло и температура/Остывание горячей воды/"),
                       {{QStringLiteral("SensorName"), QStringLiteral("T100")},
                        {QStringLiteral("CaptionY"), QStringLiteral("t, °C")},
                        {QStringLiteral("MaxY"), QStringLiteral("100")}});
    tRun* first = lesson.AddRun(0.1);
    first->Started = QDateTime(QDate(2026, 3, 4), QTime(9, 15, 30, 250));
    first->SensorName = QStringLiteral("T100");
    for (int i = 0; i < 20000; ++i) first->Append(80.0 * std::exp(-i / 5000.0) + 0.1 * i / 3.0);
    first->SetLabel(10, QStringLiteral("чайник выключен"));
    first->SetLabel(19999, QStringLiteral("конец"));
    tRun* second = lesson.AddRun(0.05);
    second->Started = QDateTime(QDate(2026, 3, 4), QTime(9, 40));
    second->SensorName = QStringLiteral("T100");
    second->Append(21.5);
    second->Append(std::nan(""));  // a gap survives as a gap
    second->Append(-0.000123456789012345);
    tRun* typed = lesson.AddRun(1.0);
    typed->AppendXY(0.5, 3, QStringLiteral("утро"));
    typed->AppendXY(2.25, 4);
    typed->AppendXY(7, 1e300);
    lesson.SetSeriesRun(0, second);
    lesson.SetSeriesRun(1, first);
    lesson.SetCurrentSeries(0);
    lesson.SetMarkers(0, {12, 345});
    lesson.SetMarkers(1, {7, -1});
    lesson.SetDocument(tLesson::Description, QByteArray("{\\rtf1 descr}"));
    // A report with a picture: arbitrary bytes, zero bytes included, must come back unchanged.
    QByteArray report("{\\rtf1\\ansi {\\pict\\pngblip ");
    for (int i = 0; i < 5000; ++i) report.append(char(i * 7));
    report.append("}}");
    lesson.SetDocument(tLesson::Report, report);

    tLessonAnalyses analyses;
    tFitRecord approach;
    approach.Model = QStringLiteral("approach");
    approach.Run = 0;
    approach.First = 100;
    approach.Last = 19999;
    approach.Origin = 10.0;
    approach.Names = {QStringLiteral("C"), QStringLiteral("y0"), QStringLiteral("τ")};
    approach.Values = {22.125, 79.5, 1.0 / 3.0};
    approach.Sigmas = {0.01, 0.2, 1e-17};
    approach.Rss = 12.5;
    approach.Rmse = 0.025;
    approach.R2 = 0.999873;
    approach.Points = 19900;
    tFitRecord later = approach;  // a model of a later program, with a formula of its own
    later.Model = QStringLiteral("logistic");
    later.Formula = QStringLiteral("K / (1 + e^(-r·(t - t0)))");
    later.Names = {QStringLiteral("K"), QStringLiteral("r"), QStringLiteral("t0")};
    later.R2 = std::nan("");
    analyses.Fits = {approach, later};
    analyses.Slopes = {tSlopeRecord{0, 400, 2.5}};
    analyses.Areas = {tAreaRecord{2, 2, 0}};
    analyses.Prediction.Points = {QPointF(0, 80), QPointF(60.5, 61.25), QPointF(600, 30)};
    lesson.SetAnalyses(analyses);
    lesson.SetHeartRates(second, {QPointF(0.75, 72), QPointF(1.6, 70.5)});
}

inline void ExpectSameRun(const tRun& a, const tRun& b) {
    ASSERT_EQ(a.Count(), b.Count());
    EXPECT_EQ(a.Evenly(), b.Evenly());
    EXPECT_EQ(a.Step(), b.Step());
    EXPECT_EQ(a.Started, b.Started);
    EXPECT_EQ(a.SensorName, b.SensorName);
    EXPECT_EQ(a.Labels(), b.Labels());
    for (qsizetype i = 0; i < a.Count(); ++i) {
        if (std::isnan(a.Y(i))) {
            EXPECT_TRUE(std::isnan(b.Y(i))) << i;
        } else {
            ASSERT_EQ(a.Y(i), b.Y(i)) << "point " << i;  // exact, not nearly
        }
        ASSERT_EQ(a.X(i), b.X(i)) << "point " << i;
    }
}

inline void ExpectSameLesson(const tLesson& a, const tLesson& b) {
    EXPECT_EQ(a.ScenarioName(), b.ScenarioName());
    EXPECT_EQ(a.ScenarioFolder(), b.ScenarioFolder());
    EXPECT_EQ(a.ScenarioEntries(), b.ScenarioEntries());
    EXPECT_EQ(a.Document(tLesson::Description), b.Document(tLesson::Description));
    EXPECT_EQ(a.Document(tLesson::Report), b.Document(tLesson::Report));
    EXPECT_EQ(a.CurrentSeries(), b.CurrentSeries());
    for (int chart = 0; chart < 2; ++chart) EXPECT_EQ(a.Markers(chart), b.Markers(chart)) << chart;
    ASSERT_EQ(a.RunCount(), b.RunCount());
    for (int i = 0; i < a.RunCount(); ++i) ExpectSameRun(*a.Run(i), *b.Run(i));
    for (int slot = 0; slot < tLesson::SeriesSlots; ++slot)
        EXPECT_EQ(a.IndexOf(a.SeriesRun(slot)), b.IndexOf(b.SeriesRun(slot))) << slot;
    // Analyses exactly (a NaN quality figure stays NaN).
    const tLessonAnalyses& x = a.Analyses();
    const tLessonAnalyses& y = b.Analyses();
    ASSERT_EQ(x.Fits.size(), y.Fits.size());
    for (qsizetype i = 0; i < x.Fits.size(); ++i) {
        tFitRecord fx = x.Fits[i], fy = y.Fits[i];
        EXPECT_EQ(std::isnan(fx.R2), std::isnan(fy.R2)) << i;
        if (std::isnan(fx.R2)) fx.R2 = fy.R2 = 0;
        EXPECT_TRUE(fx == fy) << "fit " << i << ": " << fy.Model.toStdString();
    }
    EXPECT_EQ(x.Slopes, y.Slopes);
    EXPECT_EQ(x.Areas, y.Areas);
    EXPECT_EQ(x.Prediction, y.Prediction);
    for (int i = 0; i < a.RunCount(); ++i) {
        const QVector<QPointF>* ra = a.HeartRates(a.Run(i));
        const QVector<QPointF>* rb = b.HeartRates(b.Run(i));
        ASSERT_EQ(ra == nullptr, rb == nullptr) << "heart rates of run " << i;
        if (ra) {
            EXPECT_EQ(*ra, *rb) << "heart rates of run " << i;
        }
    }
}

// Runs one query on the file as any SQLite tool would and returns the first column of each row.
inline QStringList Query(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    QStringList rows;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        else
            rows << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

inline void Exec(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

inline tLessonFault FaultOf(const QString& path, tLesson& into) {
    try {
        ReadLesson(path, into);
    } catch (const tLessonFileError& e) {
        EXPECT_FALSE(e.Message().isEmpty());
        return e.Fault();
    }
    ADD_FAILURE() << "read without an error: " << path.toStdString();
    return tLessonFault::CannotOpen;
}

inline QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fault a save raises; fails the test when the save goes through. The message must be the
// program's own (Russian, never SQLite's English).
inline tLessonFault SaveFault(tLessonWriter& writer, tLesson& lesson, QString* message = nullptr) {
    try {
        writer.Save(lesson);
    } catch (const tLessonFileError& e) {
        EXPECT_FALSE(e.Message().contains(QStringLiteral("database"))) << e.Message().toStdString();
        EXPECT_FALSE(e.Reason().isEmpty());
        if (message) *message = e.Message();
        return e.Fault();
    }
    ADD_FAILURE() << "saved into " << writer.Path().toStdString();
    return tLessonFault::Damaged;
}
