// SPDX-License-Identifier: GPL-3.0-or-later
// A first lesson as a new user walks it, through the window's own tiles, keys and buttons: the
// start page in the empty window (a tile opens and connects, a recent lesson opens, a refused
// scenario leaves the page), the shortest route to a saved lesson whose report holds the chart
// counted, F1 at the page shown, the program's particulars, the run keys, typing pairs in the
// table, the sensor in the status bar, a refused sampling period, and the milestones in the log.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include "Apptest.h"
#include "app/Help.h"
#include "app/Program.h"
#include "components/Richview.h"
#include "components/Rtf.h"
#include "devices/Device.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Experimentsfm.h"
#include "experiments/Guide.h"
#include "experiments/Guidefm.h"
#include "experiments/Startfr.h"
#include "foundation/Stringtable.h"
#include "lesson/Autosave.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "tests/support/Log.h"
#include "tests/support/Wait.h"

namespace {
struct tFirstSteps : ::testing::Test {
    tSimulatorOn sim;
    tBoxRecorder boxes;
    tProgramFolder folder;
    QTemporaryDir out;

    // The window as the user has it: shown and active, so its keys reach it.
    static void ShowActive(QWidget& w) {
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }
    // A key pressed where the keyboard focus is (the window when nothing in it has the focus).
    // A box that was shown and closed (the search's progress) leaves no window active on the
    // offscreen platform, where a desktop gives the activation back to the window: so does this.
    static void Press(QWidget& w, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        if (QApplication::activeWindow() == nullptr) {
            w.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        }
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
        QTest::keyClick(target, key, modifiers);
    }
    // Typed characters, each where the focus is at that moment (an editor opens on the first).
    static void Type(QWidget& w, const QString& text) {
        for (const QChar c : text) {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
            QTest::keyClick(target, c.toLatin1());
        }
    }
    static QAbstractButton* Tile(const QList<QAbstractButton*>& tiles, const QString& text) {
        for (QAbstractButton* tile : tiles)
            if (tile->text().contains(text)) return tile;
        return nullptr;
    }
    static void ClickTab(tTestMain& w, int index) {
        QTabBar* tabs = w.Frame()->Pages()->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    }
    static QUrl GuideShown(tTestMain& w) {
        TfmGuide* guide = w.Help().Guide();
        return guide && guide->isVisible() ? guide->Browser()->source() : QUrl();
    }
};
}  // namespace

// ---- the start page and the shortest route ----

TEST_F(tFirstSteps, FromTheStartPageToASavedLessonWhoseReportHoldsTheChartInSevenActions) {
    folder.AddScenario(QStringLiteral("Остывание воды"), ScenarioLines(QStringLiteral("T100")), QByteArray(),
                       SimpleRtf(QStringLiteral("Report")));
    tCapturedLog log;
    tTestMain w(folder);
    ShowActive(w);

    // The empty window shows the page; nothing can be started or exported from it.
    TfrStart* page = w.StartPage();
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(page->isVisible());
    w.UpdateActions();
    EXPECT_FALSE(w.acExperimentStart->isEnabled());
    EXPECT_FALSE(w.acExperimentStop->isEnabled());
    EXPECT_FALSE(w.acFileExport->isEnabled());

    int actions = 0;
    // 1. The scenario's tile: chosen, connected, its frame shown, the page gone.
    QAbstractButton* tile = Tile(page->ScenarioTiles(), QStringLiteral("Остывание воды"));
    ASSERT_NE(tile, nullptr);
    ++actions;
    QTest::mouseClick(tile, Qt::LeftButton);
    ASSERT_NE(w.Frame(), nullptr);
    ASSERT_NE(w.Device(), nullptr);
    EXPECT_EQ(w.StartPage(), nullptr);
    EXPECT_EQ(w.windowTitle(), ProductTitle() + QStringLiteral(" - Остывание воды"));
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();

    // 2. F5 starts, 3. Shift+F5 stops.
    ++actions;
    Press(w, Qt::Key_F5);
    ASSERT_TRUE(w.IsMeasuring());
    tRun* run = w.Lesson()->SeriesRun(w.CurrentSeries());
    ASSERT_NE(run, nullptr);
    ASSERT_EVENTUALLY(run->Count() >= 5, 20000);
    ++actions;
    Press(w, Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_FALSE(w.IsMeasuring());

    // 4. The «Отчет» tab, 5. «Вставить график в отчет» on its tool bar.
    ++actions;
    ClickTab(w, 2);
    ASSERT_EQ(w.Frame()->ShownTabIndex(), 2);
    auto* bar = w.Frame()->findChild<QToolBar*>(QStringLiteral("tlbReport"));
    ASSERT_NE(bar, nullptr);
    QWidget* insert = bar->widgetForAction(w.acExperimentInsertChart);
    ASSERT_NE(insert, nullptr);
    ++actions;
    QTest::mouseClick(insert, Qt::LeftButton);

    // 6. Ctrl+S, 7. Enter in the file dialog (the hook stands for the dialog's proposed name).
    const QString path = out.filePath(QStringLiteral("Остывание воды.rovelin"));
    w.NextLessonPath = path;
    actions += 2;
    Press(w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(actions, 7);
    EXPECT_LE(actions, 8);

    // The lesson is written off the window's thread; the «*» goes once it is in the file.
    ASSERT_EVENTUALLY(!w.LessonUnsaved() && QFile::exists(path), 20000);

    // The file, read back: the run and a report holding its text and the chart.
    tLesson saved;
    ReadLesson(path, saved);
    ASSERT_EQ(saved.RunCount(), 1);
    EXPECT_GE(saved.Run(0)->Count(), 5);
    QTextDocument report;
    ReadRtf(saved.Document(tLesson::Report), report);
    EXPECT_TRUE(report.toPlainText().contains(QStringLiteral("Report")));
    EXPECT_EQ(CountPictures(report), 1);
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();

    // The story of the lesson in the log, in words.
    const QStringList story = log.Milestones();
    ASSERT_EQ(story.size(), 5) << story.join(u'\n').toStdString();
    EXPECT_TRUE(story[0].startsWith(QStringLiteral("Выбран опыт «Остывание воды» (")));
    EXPECT_TRUE(story[1].startsWith(QStringLiteral("Датчик T100 подключён: ")));
    EXPECT_TRUE(story[1].contains(QStringLiteral("(последовательный порт), поиск ")));
    EXPECT_EQ(story[2], QStringLiteral("Опыт 1 начат"));
    EXPECT_TRUE(story[3].startsWith(QStringLiteral("Опыт 1 остановлен: ")));
    EXPECT_EQ(story[4], QStringLiteral("Урок сохранён: ") + QDir::toNativeSeparators(path));
}

TEST_F(tFirstSteps, ARefusedScenarioLeavesThePageAndARecentLessonOpensFromIt) {
    QStringList bad = ScenarioLines(QStringLiteral("T100"));
    bad.replaceInStrings(QStringLiteral("Freq=100000"), QStringLiteral("Freq=0"));
    folder.AddScenario(QStringLiteral("Без частоты"), bad);
    folder.AddScenario(QStringLiteral("Свет"), ScenarioLines(QStringLiteral("NO")));
    const QString path = out.filePath(QStringLiteral("свет.rovelin"));
    {
        tTestMain w(folder);
        ShowActive(w);
        // One box naming the key and its value, no question, the window as it was.
        QTest::mouseClick(Tile(w.StartPage()->ScenarioTiles(), QStringLiteral("Без частоты")),
                          Qt::LeftButton);
        ASSERT_EQ(boxes.Seen.size(), 1u);
        EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Warning);
        EXPECT_TRUE(boxes.Seen[0].text.contains(QStringLiteral("Freq=0")))
            << boxes.Seen[0].text.toStdString();
        EXPECT_EQ(w.Frame(), nullptr);
        EXPECT_EQ(w.Experiment(), nullptr);
        ASSERT_NE(w.StartPage(), nullptr);
        EXPECT_TRUE(w.StartPage()->isVisible());
        EXPECT_EQ(w.windowTitle(), ProductTitle());

        QTest::mouseClick(Tile(w.StartPage()->ScenarioTiles(), QStringLiteral("Свет")), Qt::LeftButton);
        ASSERT_NE(w.Frame(), nullptr);
        w.Frame()->ReportView()->insertPlainText(QStringLiteral("светло"));
        w.NextLessonPath = path;
        Press(w, Qt::Key_S, Qt::ControlModifier);
        ASSERT_EVENTUALLY(!w.LessonUnsaved() && QFile::exists(path), 20000);
    }

    // The next start lists the lesson; one click opens it.
    tTestMain w(folder);
    ShowActive(w);
    ASSERT_NE(w.StartPage(), nullptr);
    QAbstractButton* lesson = Tile(w.StartPage()->LessonTiles(), QStringLiteral("свет"));
    ASSERT_NE(lesson, nullptr);
    QTest::mouseClick(lesson, Qt::LeftButton);
    ASSERT_NE(w.Frame(), nullptr);
    EXPECT_EQ(w.LessonPath(), QFileInfo(path).absoluteFilePath());
    EXPECT_TRUE(w.Frame()->ReportView()->toPlainText().contains(QStringLiteral("светло")));
    EXPECT_EQ(w.StartPage(), nullptr);
}

// ---- help ----

TEST_F(tFirstSteps, F1OpensTheGuideAtThePageShown) {
    folder.AddScenario(QStringLiteral("Остывание воды"), ScenarioLines(QStringLiteral("T100")));
    folder.AddScenario(QStringLiteral("Пульс"), ScenarioLines(QStringLiteral("P620")));
    tTestMain w(folder);
    ShowActive(w);
    EXPECT_EQ(w.acHelpGuide->shortcut(), QKeySequence(Qt::Key_F1));

    Press(w, Qt::Key_F1);
    EXPECT_EQ(GuideShown(w), GuideUrl(tGuideTopic::FirstSteps));
    w.Help().Guide()->close();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    w.Choose(QStringLiteral("Остывание воды/"));
    const std::pair<int, tGuideTopic> tabs[] = {{0, tGuideTopic::Chart},
                                                {1, tGuideTopic::Description},
                                                {2, tGuideTopic::Report},
                                                {3, tGuideTopic::Table}};
    for (const auto& [tab, topic] : tabs) {
        ClickTab(w, tab);
        Press(w, Qt::Key_F1);
        EXPECT_EQ(GuideShown(w), GuideUrl(topic)) << "tab " << tab;
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }
    // One guide window, not one per F1.
    EXPECT_EQ(w.findChildren<TfmGuide*>().size(), 1);

    w.Choose(QStringLiteral("Пульс/"));
    Press(w, Qt::Key_F1);
    EXPECT_EQ(GuideShown(w), GuideUrl(tGuideTopic::Pulse));
}

TEST_F(tFirstSteps, TheProgramsParticularsNameItsFilesAndTheSensorFound) {
    folder.AddScenario(QStringLiteral("Остывание воды"), ScenarioLines(QStringLiteral("T100")));
    tTestMain w(folder);
    ShowActive(w);
    // The specified entry stays as it is; the particulars are an entry of their own.
    w.UpdateActions();
    EXPECT_FALSE(w.acHelpAbout->isEnabled());
    ASSERT_TRUE(w.acHelpInfo->isEnabled());

    auto shown = [&w]() -> QString {
        QDialog* info = w.Help().InfoWindow();
        if (!info || !info->isVisible()) return {};
        return info->findChild<QPlainTextEdit*>(QStringLiteral("reInfo"))->toPlainText();
    };
    w.Execute(w.acHelpInfo);
    QString text = shown();
    EXPECT_TRUE(text.contains(QStringLiteral(", версия ") + ProgramVersion())) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("GNU GPL")));
    EXPECT_TRUE(text.contains(QDir::toNativeSeparators(folder.Path())));
    EXPECT_TRUE(text.contains(QDir::toNativeSeparators(w.Autosave()->Path())));
    EXPECT_TRUE(text.contains(QStringLiteral("Датчик: не подключён")));

    w.Choose(QStringLiteral("Остывание воды/"));
    ASSERT_NE(w.Device(), nullptr);
    w.Execute(w.acHelpInfo);
    text = shown();
    EXPECT_TRUE(text.contains(QStringLiteral("Датчик: T100: ") + w.Device()->PortPath() +
                              QStringLiteral(" (последовательный порт)")))
        << text.toStdString();
    EXPECT_EQ(w.findChildren<QDialog*>(QStringLiteral("fmInfo")).size(), 1);
}

// ---- keys ----

TEST_F(tFirstSteps, RunKeysLabelAPointAndShowInTheMenusAndTooltips) {
    folder.AddScenario(QStringLiteral("Остывание воды"), ScenarioLines(QStringLiteral("T100")));
    tCapturedLog log;
    tTestMain w(folder);
    ShowActive(w);
    EXPECT_EQ(w.acExperimentStart->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(w.acExperimentStop->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F5));
    EXPECT_EQ(w.acExperimentMarkPoint->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    EXPECT_EQ(w.acExperimentStart->toolTip(), QStringLiteral("Запустить измерения (F5)"));
    EXPECT_EQ(w.acExperimentStart->statusTip(), QStringLiteral("Запустить измерения"));

    // Keys that have nothing to do yet do nothing.
    Press(w, Qt::Key_F5);
    EXPECT_FALSE(w.IsMeasuring());

    w.Choose(QStringLiteral("Остывание воды/"));
    Press(w, Qt::Key_F5);
    ASSERT_TRUE(w.IsMeasuring());
    tRun* run = w.Lesson()->SeriesRun(w.CurrentSeries());
    ASSERT_EVENTUALLY(run->Count() >= 2, 20000);
    boxes.Input = QStringLiteral("закипела");
    Press(w, Qt::Key_M, Qt::ControlModifier);
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Input);
    const qsizetype labelled = run->Count();
    ASSERT_EVENTUALLY(run->Count() > labelled, 20000);
    Press(w, Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_FALSE(w.IsMeasuring());
    EXPECT_EQ(run->Label(labelled), QStringLiteral("закипела"));

    // The label's line names the run, the point (counted from 1) and its time.
    const QStringList story = log.Milestones().filter(QStringLiteral("Метка"));
    ASSERT_EQ(story.size(), 1);
    EXPECT_TRUE(
        story[0].startsWith(QStringLiteral("Метка «закипела» на точке %1 опыта 1 (t = ").arg(labelled + 1)))
        << story[0].toStdString();
}

TEST_F(tFirstSteps, TheTableTakesTheFirstKeyAndEnterGoesAlongTheRow) {
    folder.AddScenario(QStringLiteral("Рост"), ScenarioLines(QStringLiteral("NO")));
    tTestMain w(folder);
    ShowActive(w);
    w.Choose(QStringLiteral("Рост/"));
    ClickTab(w, 3);
    ASSERT_EQ(w.Frame()->ShownTabIndex(), 3);

    // Two pairs typed without a click: the first key after the switch counts, Enter goes to the
    // value beside it, then to the next row.
    for (const QString& cell :
         {QStringLiteral("1"), QStringLiteral("20"), QStringLiteral("2"), QStringLiteral("25")}) {
        Type(w, cell);
        QWidget* before = QApplication::focusWidget();  // the cell's editor
        Press(w, Qt::Key_Return);
        // The cell is committed on the way back to the loop; the next cell's editor then opens.
        ASSERT_EVENTUALLY(qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr &&
                              QApplication::focusWidget() != before,
                          5000);
    }
    const tRun* run = w.Lesson()->SeriesRun(0);
    ASSERT_NE(run, nullptr);
    ASSERT_EQ(run->Count(), 2);
    EXPECT_DOUBLE_EQ(run->X(0), 1);
    EXPECT_DOUBLE_EQ(run->Y(0), 20);
    EXPECT_DOUBLE_EQ(run->X(1), 2);
    EXPECT_DOUBLE_EQ(run->Y(1), 25);
}

// ---- the sensor ----

TEST_F(tFirstSteps, TheStatusBarNamesTheSensorAndARefusedPeriodIsTold) {
    folder.AddScenario(QStringLiteral("Остывание воды"), ScenarioLines(QStringLiteral("T100")));
    // 500 µs is a period the simulated sensor refuses («FREQ: Error.»).
    folder.AddScenario(QStringLiteral("Быстро"), ScenarioLines(QStringLiteral("T100"), 500));
    folder.AddScenario(QStringLiteral("Свет"), ScenarioLines(QStringLiteral("NO")));
    tTestMain w(folder);
    ShowActive(w);
    QLabel* sensor = w.stbMain->Sensor;
    EXPECT_FALSE(sensor->isVisible());

    w.Choose(QStringLiteral("Остывание воды/"));
    ASSERT_NE(w.Device(), nullptr);
    EXPECT_TRUE(sensor->isVisible());
    EXPECT_EQ(sensor->text().trimmed(), QStringLiteral("Датчик T100 (%1)").arg(w.Device()->PortPath()));
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();

    w.Choose(QStringLiteral("Свет/"));  // nothing unsaved: the specified question, answered Yes
    EXPECT_EQ(boxes.Texts(), QStringList{LoadStr(msg::NewExperimentQuestion)});
    EXPECT_EQ(w.Device(), nullptr);
    EXPECT_FALSE(sensor->isVisible());

    boxes.Seen.clear();
    w.Choose(QStringLiteral("Быстро/"));
    ASSERT_EQ(boxes.Seen.size(), 2u) << boxes.Texts().join(u'|').toStdString();
    EXPECT_EQ(boxes.Seen[1].kind, tBoxRequest::Warning);
    EXPECT_TRUE(
        boxes.Seen[1].text.startsWith(QStringLiteral("Датчик T100 отказался от периода опроса 500 мкс")))
        << boxes.Seen[1].text.toStdString();
    // The sensor stays connected and can be run at its own pace.
    ASSERT_NE(w.Device(), nullptr);
    EXPECT_TRUE(sensor->isVisible());
}

// ---- the chooser and the list of runs ----

TEST_F(tFirstSteps, TheChooserOpensAtTheOpenScenario) {
    folder.AddScenario(QStringLiteral("Свет/Тень"), ScenarioLines(QStringLiteral("NO")));
    const QString open =
        folder.AddScenario(QStringLiteral("Тепло/Вода/Остывание воды"), ScenarioLines(QStringLiteral("NO")));
    tTestMain w(folder);
    w.Choose(open);
    w.RealDialogs = true;
    QString selected = QStringLiteral("(the chooser did not open)");
    QTimer::singleShot(0, &w, [&] {
        auto* chooser = w.findChild<TfmExperiments*>();
        if (!chooser) return;
        QTreeWidgetItem* item = chooser->Tree()->currentItem();
        selected = item && item->isSelected() ? chooser->NodePath(item) : QString();
        chooser->reject();
    });
    w.Execute(w.acExperimentChoose);
    EXPECT_EQ(selected, folder.Data() + open);
    EXPECT_TRUE(boxes.Seen.empty());
    EXPECT_EQ(w.Experiment()->Name, QStringLiteral("Остывание воды"));
}

TEST_F(tFirstSteps, TheListOfRunsSaysOpytAndShowsEachLabelBesideItsBox) {
    folder.AddScenario(QStringLiteral("Остывание воды"), ScenarioLines(QStringLiteral("T100"), 100000, 1, 2));
    tTestMain w(folder);
    ShowActive(w);
    w.Choose(QStringLiteral("Остывание воды/"));
    Press(w, Qt::Key_F5);
    tRun* run = w.Lesson()->SeriesRun(w.CurrentSeries());
    ASSERT_EVENTUALLY(run->Count() >= 2, 20000);
    Press(w, Qt::Key_F5, Qt::ShiftModifier);

    w.RealDialogs = true;
    QStringList items;
    int rows = 0, overlapping = 0;
    QTimer::singleShot(0, &w, [&] {
        auto* dialog = w.findChild<QDialog*>(QStringLiteral("fmRuns"));
        if (!dialog) return;
        auto* form = qobject_cast<QFormLayout*>(dialog->layout());
        for (int row = 0; form && row < form->rowCount(); ++row) {
            QLayoutItem* label = form->itemAt(row, QFormLayout::LabelRole);
            QLayoutItem* field = form->itemAt(row, QFormLayout::FieldRole);
            auto* box = field ? qobject_cast<QComboBox*>(field->widget()) : nullptr;
            if (!label || !box) continue;
            ++rows;
            if (label->widget()->geometry().intersects(box->geometry())) ++overlapping;
            for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
        }
        dialog->reject();
    });
    w.Execute(w.acExperimentRuns);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(overlapping, 0);
    ASSERT_EQ(items.size(), 4);
    EXPECT_TRUE(items[1].startsWith(QStringLiteral("Опыт 1 — "))) << items[1].toStdString();
    EXPECT_EQ(w.acExperimentRuns->text(), QStringLiteral("&Опыты урока..."));
}
