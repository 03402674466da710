// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Experimentsfm.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "foundation/Messagebox.h"
#include "foundation/Stringtable.h"
#include "tests/support/Wait.h"

namespace {
class Chooser : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FRoot = FDir.path() + u'/';
        // Catalogue: a group "Тепло" with two scenarios and a nested group, a scenario "Свет",
        // a group "10 Разное" sorted after "2 Звук", and a hidden folder.
        Mk(QStringLiteral("Тепло/Остывание воды"), "SensorName=T100\r\nCaptionY=t\r\n");
        Mk(QStringLiteral("Тепло/Нагрев"), "SensorName=T100\r\n");
        Mk(QStringLiteral("Тепло/Ещё/Глубже"), "SensorName=T100\r\n");
        Mk(QStringLiteral("Свет"), "SensorName=L200\r\n");
        Mk(QStringLiteral("2 Звук/Громкость"), "SensorName=X\r\n");
        Mk(QStringLiteral("10 Разное/Опыт"), "SensorName=X\r\n");
        Mk(QStringLiteral(".скрытая/Опыт"), "SensorName=X\r\n");
        SetMessageBoxResponderForTests([this](const tBoxRequest& r) {
            FBoxes.push_back(r);
            return tBoxAnswer{};
        });
        FForm = std::make_unique<TfmExperiments>();
        FForm->FillTree(FDir.path());  // without the trailing '/': it is added
        FForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FForm.get(), 5000));
    }
    void TearDown() override {
        FForm.reset();
        SetMessageBoxResponderForTests({});
    }
    void Mk(const QString& folder, const QByteArray& experiment) {
        ASSERT_TRUE(QDir().mkpath(FRoot + folder));
        QFile f(FRoot + folder + QStringLiteral("/experiment.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(experiment);
    }
    QTreeWidget* Tree() { return FForm->Tree(); }
    QTreeWidgetItem* Top(const QString& name) {
        for (int i = 0; i < Tree()->topLevelItemCount(); ++i)
            if (Tree()->topLevelItem(i)->text(0) == name) return Tree()->topLevelItem(i);
        return nullptr;
    }
    QStringList Captions(QTreeWidgetItem* parent) {
        QStringList names;
        const int n = parent ? parent->childCount() : Tree()->topLevelItemCount();
        for (int i = 0; i < n; ++i) names << (parent ? parent->child(i) : Tree()->topLevelItem(i))->text(0);
        return names;
    }
    QAction* Action(const char* name) { return FForm->findChild<QAction*>(QString::fromLatin1(name)); }
    void Select(QTreeWidgetItem* node) {
        Tree()->setCurrentItem(node);
        node->setSelected(true);
    }
    void Ok() { FForm->findChild<QPushButton*>(QStringLiteral("bbOk"))->click(); }

    QTemporaryDir FDir;
    QString FRoot;
    std::unique_ptr<TfmExperiments> FForm;
    std::vector<tBoxRequest> FBoxes;
};
}  // namespace

// ---- layout ----

TEST_F(Chooser, ComponentsAndActions) {
    EXPECT_EQ(FForm->objectName(), "fmExperiments");
    EXPECT_EQ(FForm->windowTitle(), QStringLiteral("Выбор эксперимента"));
    EXPECT_EQ(FForm->size(), QSize(510, 378));
    for (const char* name : {"tvExperiments", "sl", "reDescr", "bbOk", "bbCancel"})
        EXPECT_NE(FForm->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(FForm->findChild<QPushButton*>(QStringLiteral("bbCancel"))->text(), QStringLiteral("Отмена"));
    EXPECT_TRUE(FForm->findChild<QPushButton*>(QStringLiteral("bbOk"))->isDefault());
    ASSERT_NE(Action("acDescrShowHide"), nullptr);
    EXPECT_EQ(Action("acDescrShowHide")->text(), QStringLiteral("&Описание"));
    EXPECT_TRUE(Action("acDescrShowHide")->isCheckable());
    EXPECT_TRUE(Action("acDescrShowHide")->isChecked());
    EXPECT_EQ(Action("acDescrCopy")->shortcut(), QKeySequence(QStringLiteral("Ctrl+C")));
    EXPECT_EQ(Action("acDescrPrint")->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    EXPECT_EQ(Action("acDescrSave")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_EQ(Action("acDescrSave")->toolTip(), QStringLiteral("Сохранить описание эксперимента в файл"));
    EXPECT_TRUE(FForm->Description()->isReadOnly());
}

// ---- listing ----

TEST_F(Chooser, FirstLevelSortedHiddenSkipped) {
    EXPECT_EQ(FForm->Root(), FRoot);
    EXPECT_EQ(Captions(nullptr), QStringList({QStringLiteral("2 Звук"), QStringLiteral("10 Разное"),
                                              QStringLiteral("Свет"), QStringLiteral("Тепло")}));
    EXPECT_TRUE(TfmExperiments::HasChildrenFlag(Top(QStringLiteral("Тепло"))));
    EXPECT_EQ(TfmExperiments::IconIndex(Top(QStringLiteral("Тепло"))), 0);
    EXPECT_FALSE(TfmExperiments::HasChildrenFlag(Top(QStringLiteral("Свет"))));
    EXPECT_EQ(TfmExperiments::IconIndex(Top(QStringLiteral("Свет"))), 2);
    EXPECT_EQ(Top(QStringLiteral("Тепло"))->childCount(), 0);  // read only on expansion
}

TEST_F(Chooser, MissingRootGivesEmptyTreeAndOkStaysOpen) {
    FForm->FillTree(FRoot + QStringLiteral("нет/"));
    EXPECT_EQ(Tree()->topLevelItemCount(), 0);
    Ok();
    EXPECT_TRUE(FForm->isVisible());
    EXPECT_EQ(FForm->result(), QDialog::Rejected);
}

TEST_F(Chooser, ExpandReadsLevelAndNodePaths) {
    QTreeWidgetItem* heat = Top(QStringLiteral("Тепло"));
    heat->setExpanded(true);
    EXPECT_EQ(Captions(heat), QStringList({QStringLiteral("Ещё"), QStringLiteral("Нагрев"),
                                           QStringLiteral("Остывание воды")}));
    EXPECT_EQ(FForm->NodePath(heat->child(0)), FRoot + QStringLiteral("Тепло/Ещё/"));
    EXPECT_TRUE(TfmExperiments::HasChildrenFlag(heat->child(0)));
    EXPECT_EQ(TfmExperiments::IconIndex(heat->child(2)), 2);
}

TEST_F(Chooser, CollapseAndReExpandRereadsWithoutDuplicates) {
    QTreeWidgetItem* heat = Top(QStringLiteral("Тепло"));
    heat->setExpanded(true);
    ASSERT_EQ(heat->childCount(), 3);
    ASSERT_TRUE(QDir().mkpath(FRoot + QStringLiteral("Тепло/Новый")));
    heat->setExpanded(false);
    EXPECT_EQ(heat->childCount(), 0);
    EXPECT_TRUE(TfmExperiments::HasChildrenFlag(heat));
    heat->setExpanded(true);
    EXPECT_EQ(heat->childCount(), 4);
    heat->setExpanded(false);
    heat->setExpanded(true);
    EXPECT_EQ(heat->childCount(), 4);
}

// ---- catalogue changed while the dialog is open ----

TEST_F(Chooser, GroupTurnsIntoScenarioWhenSelected) {
    QTreeWidgetItem* noise = Top(QStringLiteral("2 Звук"));
    ASSERT_TRUE(TfmExperiments::HasChildrenFlag(noise));
    Select(Top(QStringLiteral("Свет")));
    ASSERT_TRUE(QDir(FRoot + QStringLiteral("2 Звук/Громкость")).removeRecursively());
    Select(noise);
    EXPECT_FALSE(TfmExperiments::HasChildrenFlag(noise));
    EXPECT_EQ(TfmExperiments::IconIndex(noise), 2);
}

TEST_F(Chooser, GroupTurnsIntoScenarioWhenExpansionAttempted) {
    QTreeWidgetItem* misc = Top(QStringLiteral("10 Разное"));
    ASSERT_TRUE(QDir(FRoot + QStringLiteral("10 Разное/Опыт")).removeRecursively());
    misc->setExpanded(true);
    EXPECT_FALSE(misc->isExpanded());
    EXPECT_EQ(misc->childCount(), 0);
    EXPECT_FALSE(TfmExperiments::HasChildrenFlag(misc));
    EXPECT_EQ(TfmExperiments::IconIndex(misc), 2);
}

TEST_F(Chooser, ScenarioWithSubFolderBecomesGroup) {
    QTreeWidgetItem* light = Top(QStringLiteral("Свет"));
    ASSERT_TRUE(QDir().mkpath(FRoot + QStringLiteral("Свет/Рисунки")));
    Select(light);
    EXPECT_TRUE(TfmExperiments::HasChildrenFlag(light));
    Ok();
    EXPECT_TRUE(FForm->isVisible());
    EXPECT_TRUE(light->isExpanded());
}

// ---- OK rule ----

TEST_F(Chooser, OkOnGroupExpandsThenDoesNothing) {
    QTreeWidgetItem* heat = Top(QStringLiteral("Тепло"));
    Select(heat);
    Ok();
    EXPECT_TRUE(FForm->isVisible());
    EXPECT_TRUE(heat->isExpanded());
    EXPECT_EQ(heat->childCount(), 3);
    Ok();
    EXPECT_TRUE(FForm->isVisible());
    EXPECT_TRUE(heat->isExpanded());
    EXPECT_EQ(heat->childCount(), 3);
}

TEST_F(Chooser, OkWithoutSelectionStaysOpen) {
    Tree()->setCurrentItem(nullptr);
    Tree()->clearSelection();
    Ok();
    EXPECT_TRUE(FForm->isVisible());
}

TEST_F(Chooser, OkOnScenarioAcceptsAndLoads) {
    QTreeWidgetItem* heat = Top(QStringLiteral("Тепло"));
    heat->setExpanded(true);
    Select(heat->child(2));
    Ok();
    EXPECT_FALSE(FForm->isVisible());
    EXPECT_EQ(FForm->result(), QDialog::Accepted);
    tExperiment record;
    FForm->LoadScenario(&record);
    FForm->LoadScenario(nullptr);
    EXPECT_TRUE(FBoxes.empty());
    EXPECT_EQ(record.Name, QStringLiteral("Остывание воды"));
    EXPECT_EQ(record.Path, FRoot + QStringLiteral("Тепло/Остывание воды/"));
    EXPECT_EQ(record.SensorName, "T100");
    EXPECT_EQ(record.CaptionY, "t");
}

// ---- opening at the current scenario, long names ----

TEST_F(Chooser, OpensExpandedAtTheCurrentScenarioWithItsDescription) {
    ASSERT_TRUE(QDir().mkpath(FRoot + QStringLiteral("Тепло/Ещё/Глубже")));
    QFile descr(FRoot + QStringLiteral("Тепло/Ещё/Глубже/descr.rtf"));
    ASSERT_TRUE(descr.open(QIODevice::WriteOnly));
    descr.write("{\\rtf1 Deep experiment}");
    descr.close();
    FForm->OpenAt(FRoot + QStringLiteral("Тепло/Ещё/Глубже/"));
    QTreeWidgetItem* current = Tree()->currentItem();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(FForm->NodePath(current), FRoot + QStringLiteral("Тепло/Ещё/Глубже/"));
    EXPECT_TRUE(current->isSelected());
    EXPECT_TRUE(Top(QStringLiteral("Тепло"))->isExpanded());
    ASSERT_NE(current->parent(), nullptr);
    EXPECT_TRUE(current->parent()->isExpanded());
    EXPECT_EQ(
        Captions(Top(QStringLiteral("Тепло"))),
        QStringList({QStringLiteral("Ещё"), QStringLiteral("Нагрев"), QStringLiteral("Остывание воды")}));
    EXPECT_TRUE(Tree()->viewport()->rect().intersects(Tree()->visualItemRect(current)));
    EXPECT_EVENTUALLY(FForm->Description()->toPlainText().contains(QStringLiteral("Deep experiment")));
    // OK takes it at once: the pupil only confirms.
    Ok();
    EXPECT_EQ(FForm->result(), QDialog::Accepted);
}

TEST_F(Chooser, AScenarioThatIsGoneOpensAtItsGroupAndAForeignFolderChangesNothing) {
    FForm->OpenAt(FRoot + QStringLiteral("Тепло/Удалённый/"));
    ASSERT_NE(Tree()->currentItem(), nullptr);
    EXPECT_EQ(Tree()->currentItem()->text(0), QStringLiteral("Тепло"));
    EXPECT_TRUE(Tree()->currentItem()->isExpanded());
    FForm->FillTree(FRoot);
    FForm->OpenAt(QDir::tempPath() + QStringLiteral("/elsewhere/"));
    EXPECT_EQ(Tree()->currentItem(), nullptr);
}

TEST_F(Chooser, LongNamesWrapWithinTheTreeAndAreNeverCut) {
    const QString longName =
        QStringLiteral("Как быстро остывает горячая вода в стакане, в термосе и в кружке с крышкой");
    Mk(QStringLiteral("Тепло/") + longName, "SensorName=T100\r\n");
    FForm->OpenAt(FRoot + QStringLiteral("Тепло/") + longName + u'/');
    QTreeWidgetItem* node = Tree()->currentItem();
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->text(0), longName);
    const QRect rect = Tree()->visualItemRect(node);
    const QRect shortRect = Tree()->visualItemRect(Top(QStringLiteral("Свет")));
    EXPECT_LE(rect.right(), Tree()->viewport()->width()) << "no part beyond the tree's right edge";
    EXPECT_FALSE(Tree()->horizontalScrollBar()->isVisible());
    // The whole caption fits the row: at least as many lines as it takes in the row's whole width.
    const QFontMetrics metrics(Tree()->font());
    const int lines =
        metrics.boundingRect(QRect(0, 0, rect.width(), 10000), Qt::TextWordWrap, longName).height() /
        metrics.height();
    EXPECT_GE(lines, 2);
    EXPECT_GE(rect.height(), shortRect.height() + (lines - 1) * metrics.height());
    // A narrower tree wraps into more lines: the rows follow the width.
    FForm->Splitter()->setSizes({140, 360});
    EXPECT_EVENTUALLY(Tree()->visualItemRect(node).height() > rect.height());
}

TEST_F(Chooser, EscapeCancels) {
    QTest::keyClick(FForm.get(), Qt::Key_Escape);
    EXPECT_FALSE(FForm->isVisible());
    EXPECT_EQ(FForm->result(), QDialog::Rejected);
}

// ---- description pane ----

TEST_F(Chooser, MissingDescriptionShowsPlaceholder) {
    Select(Top(QStringLiteral("Свет")));
    const QStringList lines = FForm->Description()->toPlainText().split(u'\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], " ");
    EXPECT_EQ(lines[2], " ");
    EXPECT_EQ(lines[3], LoadStr(msg::NoDescription));
    QTextCursor cursor(FForm->Description()->document()->lastBlock());
    EXPECT_TRUE(cursor.blockFormat().alignment() & Qt::AlignHCenter);
    EXPECT_GE(cursor.charFormat().fontWeight(), QFont::Bold);
}

TEST_F(Chooser, ExistingDescriptionIsLoaded) {
    QFile f(FRoot + QStringLiteral("Свет/descr.rtf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\\rtf1\\ansi\\ansicpg1251 Light \\'d1\\'e2\\'e5\\'f2\\par}");
    f.close();
    Select(Top(QStringLiteral("Свет")));
    EXPECT_TRUE(FForm->Description()->toPlainText().contains(QStringLiteral("Light Свет")));
}

TEST_F(Chooser, HidingThePaneDisablesActionsAndShowingRestoresRatio) {
    QSplitter* sl = FForm->Splitter();
    sl->setSizes({200, 300});
    sl->splitterMoved(200, 1);  // what a drag reports
    const double ratio = double(FForm->Description()->width()) / Tree()->width();
    EXPECT_NEAR(FForm->DescriptionRatio(), ratio, 1e-9);

    Action("acDescrShowHide")->trigger();
    EXPECT_FALSE(Action("acDescrShowHide")->isChecked());
    EXPECT_TRUE(FForm->Description()->isHidden());
    EXPECT_FALSE(Action("acDescrCopy")->isEnabled());
    EXPECT_FALSE(Action("acDescrPrint")->isEnabled());
    EXPECT_FALSE(Action("acDescrSave")->isEnabled());
    QApplication::processEvents();
    EXPECT_GT(Tree()->width(), 400);  // the tree takes the room

    Action("acDescrShowHide")->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(Action("acDescrPrint")->isEnabled());
    EXPECT_TRUE(Action("acDescrSave")->isEnabled());
    EXPECT_NEAR(double(FForm->Description()->width()) / Tree()->width(), ratio, 0.02);
}

TEST_F(Chooser, CopyNeedsASelection) {
    Select(Top(QStringLiteral("Свет")));
    QApplication::processEvents();
    EXPECT_FALSE(Action("acDescrCopy")->isEnabled());
    FForm->Description()->selectAll();
    EXPECT_TRUE(Action("acDescrCopy")->isEnabled());
    Action("acDescrCopy")->trigger();
    EXPECT_TRUE(QApplication::clipboard() == nullptr ||
                QApplication::clipboard()->text().contains(LoadStr(msg::NoDescription)));
}

TEST_F(Chooser, SaveAndPrintGoThroughTheirQuestions) {
    Select(Top(QStringLiteral("Свет")));
    const QString target = FRoot + QStringLiteral("копия.rtf");
    int asked = 0;
    FForm->AskSaveFileName = [&] {
        ++asked;
        return target;
    };
    Action("acDescrSave")->trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(QFile::exists(target));

    const QString pdf = FRoot + QStringLiteral("печать.pdf");
    FForm->AskPrinter = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    };
    Action("acDescrPrint")->trigger();
    EXPECT_GT(QFileInfo(pdf).size(), 0);

    // Hidden pane: neither question is asked even through the shortcut's action.
    Action("acDescrShowHide")->trigger();
    asked = 0;
    Action("acDescrSave")->trigger();
    EXPECT_EQ(asked, 0);
}
