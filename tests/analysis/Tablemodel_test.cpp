// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Tablemodel.h"

#include <gtest/gtest.h>

#include <vector>

#include "Printers.h"
#include "foundation/Functions.h"
#include "lesson/Lesson.h"

namespace {
struct TableModel : ::testing::Test {
    void SetUp() override { SetDecimalSeparatorForTests(QLatin1Char(',')); }
    void TearDown() override { SetDecimalSeparatorForTests(QChar()); }

    QString Text(const tTableModel& model, int row, int column, int role = Qt::DisplayRole) {
        return model.data(model.index(row, column), role).toString();
    }
    tLesson Lesson;
};

// Two runs shown side by side: the first of 3 points (1 s apart), the second of 5 (0,5 s apart).
struct TwoRuns : TableModel {
    void SetUp() override {
        TableModel::SetUp();
        First = Lesson.AddRun(1.0);
        for (double y : {20.0, 21.25, 22.5}) First->Append(y);
        First->SetLabel(1, QStringLiteral("лёд растаял"));
        Second = Lesson.AddRun(0.5);
        for (int i = 0; i < 5; ++i) Second->Append(30.0 + i);
        Lesson.SetSeriesRun(0, First);
        Lesson.SetSeriesRun(1, Second);
    }
    tRun* First = nullptr;
    tRun* Second = nullptr;
};
}  // namespace

TEST_F(TwoRuns, ShowsStoredPointsWithCaptionsPatternsAndLabels) {
    tTableModel model(&Lesson);
    model.SetAxes(QStringLiteral("Время, с"), QStringLiteral("Температура, °C"), QStringLiteral("0.0"),
                  QStringLiteral("0.00"));
    ASSERT_EQ(model.columnCount(), 6);
    EXPECT_EQ(model.rowCount(), 5);  // the longer run
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Время, с (Опыт 1)"));
    EXPECT_EQ(model.headerData(4, Qt::Horizontal).toString(), QStringLiteral("Температура, °C (Опыт 2)"));
    EXPECT_EQ(model.headerData(5, Qt::Horizontal).toString(), QStringLiteral("Метка (Опыт 2)"));
    EXPECT_EQ(Text(model, 1, 0), QStringLiteral("1,0"));
    EXPECT_EQ(Text(model, 1, 1), QStringLiteral("21,25"));
    EXPECT_EQ(Text(model, 1, 2), QStringLiteral("лёд растаял"));
    EXPECT_EQ(Text(model, 3, 3), QStringLiteral("1,5"));
    EXPECT_EQ(Text(model, 3, 4), QStringLiteral("33,00"));
    EXPECT_EQ(Text(model, 4, 0), QString());  // the first run has ended
    EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);

    // The model reads the run in place: a changed point shows without any copy being refreshed.
    First->SetPoint(0, 0, -3.5);
    EXPECT_EQ(Text(model, 0, 1), QStringLiteral("-3,50"));
}

TEST_F(TwoRuns, FollowsLiveAppendsAndSeriesChanges) {
    tTableModel model(&Lesson);
    std::vector<std::pair<int, int>> inserted;
    int changedRows = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int from, int to) {
        inserted.push_back({from, to});
    });
    QObject::connect(
        &model, &QAbstractItemModel::dataChanged,
        [&](const QModelIndex& from, const QModelIndex& to) { changedRows += to.row() - from.row() + 1; });

    Second->Append(35);
    Second->Append(36);
    Lesson.NotifyAppended(Second, 5, 2);
    ASSERT_EQ(inserted.size(), 1u);
    EXPECT_EQ(inserted[0], std::make_pair(5, 6));
    EXPECT_EQ(model.rowCount(), 7);
    EXPECT_EQ(Text(model, 6, 4), QStringLiteral("36"));

    First->Append(23, QStringLiteral("кипит"));
    Lesson.NotifyAppended(First, 3, 1);
    EXPECT_EQ(inserted.size(), 1u);  // row 3 existed already: its cells change
    EXPECT_EQ(changedRows, 1);
    EXPECT_EQ(Text(model, 3, 2), QStringLiteral("кипит"));

    tRun* other = Lesson.AddRun(1.0);  // a run not shown: its points are not the table's
    other->Append(1);
    Lesson.NotifyAppended(other, 0, 1);
    EXPECT_EQ(model.rowCount(), 7);

    Lesson.SetSeriesRun(1, nullptr);
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QString());  // no axes given
}

TEST_F(TableModel, TypedPairsGoIntoTheFirstSeriesInOrder) {
    tTableModel model(&Lesson);
    model.SetAxes(QStringLiteral("Номер ученика"), QStringLiteral("Рост, см"), QString(), QString());
    model.SetManualEntry(true);
    ASSERT_EQ(model.columnCount(), 3);  // before the first pair already
    ASSERT_EQ(model.rowCount(), 1);     // the entry row
    EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("*"));
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);

    EXPECT_TRUE(model.setData(model.index(0, 0), QStringLiteral("3")));
    EXPECT_EQ(Lesson.SeriesRun(0), nullptr);  // half a pair is not a point yet
    EXPECT_TRUE(model.setData(model.index(0, 1), QStringLiteral("152,5")));
    tRun* run = Lesson.SeriesRun(0);
    ASSERT_NE(run, nullptr);
    EXPECT_TRUE(run->SensorName.isEmpty());
    ASSERT_EQ(run->Count(), 1);
    EXPECT_DOUBLE_EQ(run->X(0), 3);
    EXPECT_DOUBLE_EQ(run->Y(0), 152.5);
    EXPECT_TRUE(Lesson.Modified());

    // Value first, the other decimal mark, and an X that belongs before the first point.
    EXPECT_TRUE(model.setData(model.index(1, 1), QStringLiteral("140.25")));
    EXPECT_TRUE(model.setData(model.index(1, 0), QStringLiteral(" 1 ")));
    ASSERT_EQ(run->Count(), 2);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_DOUBLE_EQ(run->X(0), 1);
    EXPECT_DOUBLE_EQ(run->Y(0), 140.25);
    EXPECT_EQ(Text(model, 0, 1), QStringLiteral("140,25"));
    EXPECT_EQ(Text(model, 2, 0), QString());  // the entry row is empty again

    // Bad numbers are refused and change nothing.
    for (const QString& bad : {QStringLiteral("abc"), QStringLiteral("1,2,3"), QString(),
                               QStringLiteral("12 см"), QStringLiteral("nan"), QStringLiteral("inf")}) {
        EXPECT_FALSE(model.setData(model.index(0, 1), bad)) << bad.toStdString();
        EXPECT_FALSE(model.setData(model.index(2, 0), bad)) << bad.toStdString();
    }
    EXPECT_DOUBLE_EQ(run->Y(0), 140.25);
    EXPECT_EQ(Text(model, 2, 0), QString());

    // Editing: a new X moves the point to its place; labels are free text.
    EXPECT_TRUE(model.setData(model.index(0, 0), QStringLiteral("5")));
    EXPECT_DOUBLE_EQ(run->X(0), 3);
    EXPECT_DOUBLE_EQ(run->X(1), 5);
    EXPECT_DOUBLE_EQ(run->Y(1), 140.25);
    EXPECT_TRUE(model.setData(model.index(1, 2), QStringLiteral("Петя")));
    EXPECT_EQ(run->Label(1), QStringLiteral("Петя"));

    EXPECT_TRUE(model.removeRows(0, 1));
    ASSERT_EQ(run->Count(), 1);
    EXPECT_EQ(run->Label(0), QStringLiteral("Петя"));
    EXPECT_FALSE(model.removeRows(1, 1));  // the entry row stays
}

TEST(TableModelLifetime, ALessonThatGoesAwayLeavesAnEmptyTable) {
    auto lesson = std::make_unique<tLesson>();
    tRun* run = lesson->AddRun(1.0);
    run->Append(1);
    lesson->SetSeriesRun(0, run);
    tTableModel model(lesson.get());
    ASSERT_EQ(model.rowCount(), 1);
    lesson.reset();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
    EXPECT_FALSE(model.data(model.index(0, 0)).isValid());
}
