// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Tableview.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include "analysis/Tablemodel.h"
#include "experiments/Experiment.h"
#include "foundation/Functions.h"
#include "lesson/Lesson.h"
#include "tests/support/Wait.h"

namespace {
class TablePage : public ::testing::Test {
  protected:
    void SetUp() override { SetDecimalSeparatorForTests(QLatin1Char(',')); }
    void TearDown() override {
        FPage.reset();
        SetDecimalSeparatorForTests(QChar());
    }
    void Make(bool manual) {
        tExperiment scenario;
        scenario.CaptionX = QStringLiteral("Номер ученика");
        scenario.CaptionY = QStringLiteral("Рост, см");
        scenario.FormatY = QStringLiteral("0.0");
        FPage = std::make_unique<TTablePage>(&FLesson, scenario, manual);
        FPage->resize(700, 400);
        FPage->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FPage.get(), 5000));
    }
    TTableView* View() { return FPage->View(); }
    // Opens the cell's editor, types `text` and presses Enter; returns the editor if it stayed open.
    QLineEdit* Type(int row, int column, const QString& text) {
        const QModelIndex index = View()->model()->index(row, column);
        View()->setCurrentIndex(index);
        View()->edit(index);
        auto* editor = qobject_cast<QLineEdit*>(View()->indexWidget(index));
        if (!editor) return nullptr;
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        rovelin_test::Pump(50);
        return qobject_cast<QLineEdit*>(View()->indexWidget(index));
    }
    tLesson FLesson;
    std::unique_ptr<TTablePage> FPage;
};
}  // namespace

TEST_F(TablePage, TypedPairsAreTakenAndBadNumbersRefusedWithAHint) {
    Make(true);
    EXPECT_EQ(Type(0, 0, QStringLiteral("3")), nullptr);
    EXPECT_EQ(Type(0, 1, QStringLiteral("152.5")), nullptr);
    tRun* run = FLesson.SeriesRun(0);
    ASSERT_NE(run, nullptr);
    ASSERT_EQ(run->Count(), 1);
    EXPECT_DOUBLE_EQ(run->Y(0), 152.5);
    EXPECT_EQ(View()->model()->data(View()->model()->index(0, 1)).toString(), QStringLiteral("152,5"));
    EXPECT_FALSE(FPage->HintLabel()->isVisible());

    // A bad number keeps the editor open, marks the hint and changes nothing.
    QLineEdit* editor = Type(1, 0, QStringLiteral("4 cm"));
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(FPage->HintLabel()->isVisible());
    EXPECT_EQ(FPage->HintLabel()->text(), tTableModel::BadNumberHint());
    EXPECT_EQ(View()->model()->data(View()->model()->index(1, 0)).toString(), QString());
    // Corrected in the same editor, the number is taken and the hint goes.
    editor->clear();
    QTest::keyClicks(editor, QStringLiteral("4"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EVENTUALLY(!FPage->HintLabel()->isVisible());
    EXPECT_EQ(Type(1, 1, QStringLiteral("160,25")), nullptr);
    ASSERT_EQ(run->Count(), 2);
    EXPECT_DOUBLE_EQ(run->X(1), 4);
    EXPECT_DOUBLE_EQ(run->Y(1), 160.25);

    // Copy of a selection pastes as columns; Delete removes typed rows.
    View()->selectAll();
    QTest::keySequence(View(), QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("3\t152,5\t\n4\t160,25\t\n\t\t\n"));
    View()->setCurrentIndex(View()->model()->index(0, 0));
    View()->clearSelection();
    View()->selectRow(0);
    QTest::keyClick(View(), Qt::Key_Delete);
    ASSERT_EQ(run->Count(), 1);
    EXPECT_DOUBLE_EQ(run->X(0), 4);
}

TEST_F(TablePage, MeasuredRunsAreReadOnly) {
    tRun* run = FLesson.AddRun(0.5);
    run->Append(20);
    FLesson.SetSeriesRun(0, run);
    Make(false);
    EXPECT_EQ(View()->model()->rowCount(), 1);
    EXPECT_EQ(Type(0, 1, QStringLiteral("5")), nullptr);
    EXPECT_DOUBLE_EQ(run->Y(0), 20);
    EXPECT_EQ(FPage->findChild<QLabel*>(QStringLiteral("lbTableIntro")), nullptr);
}

TEST_F(TablePage, AMeasuredTableBehindAnotherTabHoldsNoRowsAndShowsThemAllWhenOpened) {
    tRun* run = FLesson.AddRun(0.001);
    for (int i = 0; i < 5000; ++i) run->Append(i * 0.5);
    FLesson.SetSeriesRun(0, run);
    // As in the window: the table is a tab behind the chart while a run goes on.
    QTabWidget pages;
    pages.addTab(new QWidget, QStringLiteral("chart"));
    tExperiment scenario;
    scenario.FormatY = QStringLiteral("0.0");
    auto* page = new TTablePage(&FLesson, scenario, false);
    pages.addTab(page, QStringLiteral("table"));
    pages.resize(600, 400);
    pages.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pages, 5000));
    QHeaderView* rows = page->View()->verticalHeader();
    const auto append = [&](int count) {
        const qsizetype from = run->Count();
        for (int i = 0; i < count; ++i) run->Append(static_cast<double>(run->Count()) * 0.5);
        FLesson.NotifyAppended(run, from, count);
    };
    append(1000);
    EXPECT_EQ(rows->count(), 0);  // nothing kept per point while hidden

    pages.setCurrentIndex(1);
    EXPECT_EQ(rows->count(), 6000);
    const QModelIndex last = page->View()->model()->index(5999, 1);
    EXPECT_EQ(last.data().toString(), QStringLiteral("2999,5"));
    append(10);  // a run going on while the table is shown
    EXPECT_EQ(rows->count(), 6010);
    page->View()->selectRow(3);
    EXPECT_EQ(page->View()->SelectionText(), QStringLiteral("0,003\t1,5\t\n"));

    pages.setCurrentIndex(0);
    EXPECT_EQ(rows->count(), 0);
    EXPECT_TRUE(page->View()->SelectionText().isEmpty());
    append(10);
    pages.setCurrentIndex(1);
    EXPECT_EQ(page->View()->model()->rowCount(), 6020);
    // The CSV export and the table's own count never depend on the view.
    EXPECT_EQ(page->Model()->PointRows(), 6020);
}

TEST_F(TablePage, ATypedTableKeepsItsRowsWhileHidden) {
    Make(true);
    ASSERT_EQ(Type(0, 0, QStringLiteral("1")), nullptr);
    ASSERT_EQ(Type(0, 1, QStringLiteral("130")), nullptr);
    FPage->hide();
    EXPECT_EQ(View()->verticalHeader()->count(), 2);  // the pair and the entry row
    EXPECT_EQ(View()->model()->rowCount(), 2);
}
