// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's shell: enabling rules, menus and tool bars, exit and session end, application
// messages, status bar sizing, view toggles.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

#include "Apptest.h"
#include "app/Program.h"
#include "devices/Device.h"
#include "experiments/Experimentfr.h"
#include "foundation/Appmessage.h"
#include "foundation/Stringtable.h"
#include "tests/support/Wait.h"

namespace {
struct tRule {
    bool start, stop, addImage, connectChecked;
};

void ExpectRule(tTestMain& w, const tRule& rule) {
    w.UpdateActions();
    EXPECT_EQ(w.acExperimentStart->isEnabled(), rule.start);
    EXPECT_EQ(w.acFileExport->isEnabled(), rule.start);
    EXPECT_EQ(w.acExperimentStop->isEnabled(), rule.stop);
    EXPECT_EQ(w.acExperimentMarkPoint->isEnabled(), rule.stop);
    EXPECT_EQ(w.acFileAddImage->isEnabled(), rule.addImage);
    EXPECT_TRUE(w.acExperimentConnect->isEnabled());
    EXPECT_EQ(w.acExperimentConnect->isChecked(), rule.connectChecked);
    for (QAction* a : {w.acExperimentChoose, w.acFilePrint, w.acFileExit, w.acViewToolBar, w.acViewStatusBar,
                       w.acFilePrintSetup, w.acFilePageSetup})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(w.acHelpAbout->isEnabled());
}

QStringList MenuLayout(QMenu* menu) {
    QStringList items;
    for (QAction* a : menu->actions())
        if (a->isVisible()) items.append(a->isSeparator() ? QStringLiteral("-") : a->objectName());
    return items;
}
}  // namespace

// ---- enabling rules of the four states ----

TEST(MainWindowStates, NoScenario) {
    tProgramFolder folder;
    tTestMain w(folder);
    ExpectRule(w, {false, false, false, false});
    EXPECT_EQ(w.windowTitle(), ProductTitle());
}

TEST(MainWindowStates, ScenarioChosenConnectedMeasuring) {
    tSimulatorOn sim;
    tBoxRecorder boxes;
    tProgramFolder folder;
    const QString rel =
        folder.AddScenario(QStringLiteral("Остывание"), ScenarioLines(QStringLiteral("T100")));
    const QString missing =
        folder.AddScenario(QStringLiteral("Без датчика"), ScenarioLines(QStringLiteral("L200")));
    tTestMain w(folder);

    w.Choose(missing);
    ExpectRule(w, {false, false, false, false});
    w.Frame()->Pages()->setCurrentWidget(w.Frame()->ReportPage());
    ExpectRule(w, {false, false, true, false});

    boxes.Default = true;  // replace the scenario
    w.Choose(rel);
    ASSERT_NE(w.Device(), nullptr);
    ExpectRule(w, {true, false, false, true});
    w.Frame()->Pages()->setCurrentWidget(w.Frame()->ReportPage());
    ExpectRule(w, {true, false, true, true});

    w.Execute(w.acExperimentStart);
    EXPECT_TRUE(w.IsMeasuring());
    ExpectRule(w, {false, true, true, true});
    w.Execute(w.acExperimentStop);
    ExpectRule(w, {true, false, true, true});
}

TEST(MainWindowStates, RulesRunWhenTheLoopGoesIdle) {
    tSimulatorOn sim;
    tBoxRecorder boxes;
    tProgramFolder folder;
    tTestMain w(folder);
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    ASSERT_NE(w.Device(), nullptr);
    w.acExperimentStart->setEnabled(false);
    w.acExperimentConnect->setChecked(false);
    ASSERT_EVENTUALLY(w.acExperimentStart->isEnabled() && w.acExperimentConnect->isChecked(), 5000);
}

// ---- actions, menus, tool bars ----

TEST(MainWindowLayout, AboutIsVisibleAndDisabled) {
    tProgramFolder folder;
    tTestMain w(folder);
    w.show();
    QWidget* button = w.tlbMain->widgetForAction(w.acHelpAbout);
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible());
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(w.acHelpAbout->isVisible());
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.acHelpAbout->isEnabled());
}

TEST(MainWindowLayout, MenusInOrderWithSeparators) {
    tProgramFolder folder;
    tTestMain w(folder);
    const QList<QAction*> top = w.menuBar()->actions();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(top[0]->text(), QStringLiteral("&Файл"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("&Вид"));
    EXPECT_EQ(top[2]->text(), QStringLiteral("&Эксперимент"));
    EXPECT_EQ(top[3]->text(), QStringLiteral("&?"));
    EXPECT_EQ(MenuLayout(top[0]->menu()).join(u' '),
              QStringLiteral("acFileOpenLesson acFileSaveLesson acFileSaveLessonAs acFileHandIn - "
                             "acFileExport acFileSavePdf - "
                             "acFileAddImage - acFilePrintSetup acFilePageSetup acFilePreview acFilePrint - "
                             "acFileExit"));
    EXPECT_EQ(MenuLayout(top[1]->menu()).join(u' '),
              QStringLiteral("acViewToolBar acViewStatusBar - acViewShowAll acViewProjector - "
                             "acViewPulseTaller acViewPulseShorter"));
    EXPECT_EQ(MenuLayout(top[2]->menu()).join(u' '),
              QStringLiteral("acExperimentConnect - acExperimentChoose - acExperimentStart acExperimentStop "
                             "acExperimentMarkPoint - acExperimentRuns - acExperimentInsertChart - "
                             "acExperimentFit acExperimentSlope acExperimentArea acExperimentDrawPrediction "
                             "acExperimentTypePrediction acExperimentRemove"));
    EXPECT_EQ(MenuLayout(top[3]->menu()).join(u' '), QStringLiteral("acHelpGuide acHelpInfo - acHelpAbout"));
}

TEST(MainWindowLayout, ToolBarsButtonsAndIcons) {
    tProgramFolder folder;
    tTestMain w(folder);
    QStringList order;
    for (QAction* a : w.tlbMain->actions())
        order.append(a->isSeparator()            ? QStringLiteral("|")
                     : a->objectName().isEmpty() ? QStringLiteral("lb")
                                                 : a->objectName());
    EXPECT_EQ(order.join(u' '),
              QStringLiteral("acExperimentChoose | acExperimentConnect | acHelpAbout | acExperimentStart "
                             "acExperimentStop acExperimentMarkPoint | acFileExport acFilePrint | "
                             "acFileAddImage | acViewShowAll"));
    EXPECT_EQ(w.lbValue->parentWidget(), w.pnToolBar);
    ASSERT_EQ(w.tlbExit->actions().size(), 1);
    EXPECT_EQ(w.tlbExit->actions()[0], w.acFileExit);
    for (QAction* a : w.tlbMain->actions()) {
        if (a->isSeparator() || a == w.acViewShowAll) continue;  // a text button, added after the icons
        EXPECT_EQ(w.tlbMain->widgetForAction(a)->size(), QSize(31, 30)) << a->objectName().toStdString();
        EXPECT_FALSE(a->icon().pixmap(24, 24, QIcon::Disabled).isNull());
    }
    EXPECT_FALSE(w.IsValueLabelShown());
    EXPECT_TRUE(w.lbValue->font().bold());
    EXPECT_EQ(w.lbValue->font().pixelSize(), 17);
}

TEST(MainWindowLayout, ExitShortcutsIncludeTheCyrillicKey) {
    tProgramFolder folder;
    tTestMain w(folder);
    const QList<QKeySequence> keys = w.acFileExit->shortcuts();
    ASSERT_EQ(keys.size(), 2);
    EXPECT_EQ(keys[0], QKeySequence(QStringLiteral("Alt+X")));
    EXPECT_EQ(keys[1], QKeySequence(QStringLiteral("Alt+Ч")));
    EXPECT_EQ(w.acFilePrint->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    EXPECT_EQ(w.acFileExit->statusTip(), QStringLiteral("Выйти из программы"));
    EXPECT_EQ(w.acFileExit->toolTip(), QStringLiteral("Выйти из программы"));
}

TEST(MainWindowLayout, HintGoesToTheFirstPanel) {
    tProgramFolder folder;
    tTestMain w(folder);
    w.acExperimentChoose->showStatusText(&w);
    EXPECT_EQ(w.stbHint->text(), QStringLiteral("Выбрать сценарий для проведения эксперимента"));
}

// ---- view toggles and status bar ----

TEST(MainWindowView, ToolBarToggleTakesTheValueLabelAlong) {
    tProgramFolder folder;
    tTestMain w(folder);
    w.show();
    w.SetValueLabelVisible(true);
    EXPECT_TRUE(w.lbValue->isVisible());
    w.acViewToolBar->trigger();
    EXPECT_FALSE(w.acViewToolBar->isChecked());
    EXPECT_FALSE(w.pnToolBar->isVisible());
    EXPECT_FALSE(w.lbValue->isVisible());
    w.acViewToolBar->trigger();
    EXPECT_TRUE(w.lbValue->isVisible());

    w.acViewStatusBar->trigger();
    EXPECT_FALSE(w.stbMain->isVisible());
    EXPECT_FALSE(w.stbClock->isVisible());
    EXPECT_FALSE(w.stbElapsed->isVisible());
    w.acViewStatusBar->trigger();
    EXPECT_TRUE(w.stbClock->isVisible());
}

TEST(MainWindowView, StatusPanelsSizedFromFontMetrics) {
    tProgramFolder folder;
    tTestMain w(folder);
    w.resize(900, 600);
    w.show();
    QFont big = w.stbMain->font();
    big.setPixelSize(30);
    w.stbMain->setFont(big);
    w.resize(1000, 600);
    QCoreApplication::processEvents();
    const QFontMetrics fm(w.stbMain->font());
    EXPECT_EQ(w.stbClock->width(), int(fm.horizontalAdvance(QStringLiteral(" 88:88:88 ")) * 1.5));
    EXPECT_EQ(w.stbElapsed->width(), int(fm.horizontalAdvance(QStringLiteral(" 888:88.88 ")) * 1.5));
    EXPECT_EQ(w.stbClock->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(w.stbElapsed->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    // The first panel takes the rest.
    EXPECT_GT(w.stbHint->width(), w.stbMain->width() - w.stbClock->width() - w.stbElapsed->width() - 40);
}

TEST(MainWindowView, ClockShowsTheTime) {
    tProgramFolder folder;
    tTestMain w(folder);
    w.stbClock->clear();
    EXPECT_EQ(w.tmTime->interval(), 1000);
    EXPECT_TRUE(w.tmTime->isActive());
    ASSERT_EVENTUALLY(w.stbClock->text().contains(u':'), 5000);
    EXPECT_EQ(w.tmMeasure->interval(), 100);
    EXPECT_FALSE(w.tmMeasure->isActive());
}

// ---- exit and session end ----

TEST(MainWindowExit, NoKeepsTheWindowAndItsTimers) {
    tBoxRecorder boxes;
    tProgramFolder folder;
    tTestMain w(folder);
    w.show();
    boxes.Default = false;
    w.acFileExit->trigger();
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Question);
    EXPECT_EQ(boxes.Seen[0].text, LoadStr(msg::ExitQuestion));
    EXPECT_EQ(boxes.Seen[0].icon, QMessageBox::Question);
    EXPECT_FALSE(boxes.Seen[0].defaultYes);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.tmTime->isActive());

    boxes.Default = true;
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
}

TEST(MainWindowExit, CancelDuringAMeasurementLetsItRun) {
    tSimulatorOn sim;
    tBoxRecorder boxes;
    tProgramFolder folder;
    tTestMain w(folder);
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    w.show();
    w.Execute(w.acExperimentStart);
    ASSERT_TRUE(w.IsMeasuring());
    // A running measurement is unsaved work: the one question is save / don't save / cancel.
    w.SaveAnswer = tSaveChoice::Cancel;
    EXPECT_FALSE(w.close());
    EXPECT_EQ(w.SaveQuestions, 1);
    EXPECT_TRUE(boxes.Seen.empty());
    EXPECT_TRUE(w.IsMeasuring());
    EXPECT_TRUE(w.Device()->IsMeasuring());
    w.Execute(w.acExperimentStop);
}

TEST(MainWindowExit, SessionEndClosesWithoutAQuestion) {
    tBoxRecorder boxes;
    tProgramFolder folder;
    tTestMain w(folder);
    w.show();
    w.QuerySessionEnd();
    w.EndSession(false);  // the session goes on after all: the question is back
    boxes.Default = false;
    EXPECT_FALSE(w.close());
    EXPECT_EQ(boxes.Seen.size(), 1u);

    w.QuerySessionEnd();
    w.EndSession(true);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(boxes.Seen.size(), 1u);
}

// ---- application messages ----

namespace {
// Sees the messages that aeMain lets pass (installed before the window, so it runs after aeMain).
class tPassedOn : public QObject {
  public:
    QList<uint32_t> Codes;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == tAppMessageEvent::EventType())
            Codes.append(static_cast<tAppMessageEvent*>(event)->Code);
        return false;
    }
};
}  // namespace

TEST(MainWindowMessages, EachCodeAndTheDataCodePassesOn) {
    tSimulatorOn sim;
    tBoxRecorder boxes;
    tProgramFolder folder;
    tPassedOn passed;
    qApp->installEventFilter(&passed);
    {
        tTestMain w(folder);
        w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
        ASSERT_NE(w.Device(), nullptr);

        PostAppMessage(WM_DEVICE_DATA);
        QCoreApplication::processEvents();
        EXPECT_EQ(passed.Codes, QList<uint32_t>{WM_DEVICE_DATA});

        const struct {
            uint32_t code;
            QString text;
        } stops[] = {
            {WM_DEVICE_WRITE_ERROR, QStringLiteral("Ошибка посылки данных измерительному устройству.")},
            {WM_DEVICE_READ_ERROR, QStringLiteral("Ошибка получения данных от измерительного устройства.")},
            {WM_SENSOR_REMOVED,
             QStringLiteral("Внимание! Измерения были остановлены.\r\nДатчик , был отключен в "
                            "процессе проведения измерений.")},
        };
        for (const auto& s : stops) {
            boxes.Seen.clear();
            w.Execute(w.acExperimentStart);
            ASSERT_TRUE(w.IsMeasuring());
            PostAppMessage(s.code);
            QCoreApplication::processEvents();
            EXPECT_FALSE(w.IsMeasuring());
            EXPECT_NE(w.Device(), nullptr);
            ASSERT_EQ(boxes.Seen.size(), 1u);
            EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Warning);
            EXPECT_EQ(boxes.Seen[0].text, s.text);
        }
        // A failure of a run the user has stopped: the stop does nothing, the warning still comes,
        // once; what the same run posts after it goes to the log (one lost sensor, one box).
        {
            tCapturedLog log;
            w.Execute(w.acExperimentStart);
            w.Execute(w.acExperimentStop);
            boxes.Seen.clear();
            PostAppMessage(WM_DEVICE_READ_ERROR);
            PostAppMessage(WM_DEVICE_READ_ERROR);
            PostAppMessage(WM_SENSOR_REMOVED);
            QCoreApplication::processEvents();
            EXPECT_EQ(boxes.Texts(), QStringList{LoadStr(msg::ReadError)});
            EXPECT_EQ(log.Count(LoadStr(msg::ReadError)), 1);
            EXPECT_EQ(
                log.Count(QStringLiteral("Внимание! Измерения были остановлены.\r\nДатчик , был отключен в "
                                         "процессе проведения измерений.")),
                1);
        }

        w.lbValue->setText(QStringLiteral("old"));
        PostAppMessage(WM_MARKER_CHANGED, reinterpret_cast<intptr_t>(w.Frame()->Chart()));
        QCoreApplication::processEvents();
        EXPECT_EQ(w.lbValue->text(), QString());  // no marker set: empty read-out
        EXPECT_FALSE(w.IsValueLabelShown());
        // Only data notices got past aeMain (the measurement thread posts them too).
        EXPECT_FALSE(passed.Codes.isEmpty());
        for (uint32_t code : passed.Codes) EXPECT_EQ(code, uint32_t(WM_DEVICE_DATA));
    }
    qApp->removeEventFilter(&passed);
}

TEST(MainWindowMessages, MarkerChangeWithoutFrameIsHandledQuietly) {
    tProgramFolder folder;
    tPassedOn passed;
    qApp->installEventFilter(&passed);
    {
        tTestMain w(folder);
        w.lbValue->setText(QStringLiteral("kept"));
        PostAppMessage(WM_MARKER_CHANGED);
        QCoreApplication::processEvents();
        EXPECT_EQ(w.lbValue->text(), QStringLiteral("kept"));
        EXPECT_TRUE(passed.Codes.isEmpty());
    }
    qApp->removeEventFilter(&passed);
}
