// SPDX-License-Identifier: GPL-3.0-or-later
// The English interface of the chooser, the start page, the experiment and pulse frames, the guide
// window, the scenario checks and the program's boxes: with English installed no Russian text is
// left in what they show (the catalogue here is an English one, so every text on screen counts).
// Each test installs Russian back at its end.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "components/Chart.h"
#include "experiments/Catalogue.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Experimentsfm.h"
#include "experiments/Guidefm.h"
#include "experiments/Pulsefr.h"
#include "experiments/Startfr.h"
#include "experiments/Tableview.h"
#include "foundation/Language.h"
#include "foundation/Messagebox.h"
#include "foundation/Stringtable.h"
#include "lesson/Lesson.h"
#include "lesson/Run.h"
#include "tests/support/Language.h"
#include "tests/support/Wait.h"

namespace {

using rovelin_test::HasCyrillic;

// Every text a person sees or hears of `root` and its visible children: titles, labels, buttons,
// tabs, tree items, actions, tool tips and the names a screen reader reads.
QStringList ShownTexts(QWidget* root) {
    QStringList texts{root->windowTitle()};
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (w != root && !w->isVisibleTo(root)) continue;
        texts << w->toolTip() << w->accessibleName() << w->accessibleDescription();
        if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
        if (auto* tabs = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < tabs->count(); ++i) texts << tabs->tabText(i) << tabs->tabToolTip(i);
        if (auto* tree = qobject_cast<QTreeWidget*>(w))
            for (QTreeWidgetItemIterator it(tree); *it; ++it) texts << (*it)->text(0) << (*it)->toolTip(0);
        for (QAction* action : w->actions()) texts << action->text() << action->toolTip();
    }
    texts.removeAll(QString());
    return texts;
}

QStringList Russian(const QStringList& texts) {
    QStringList found;
    for (const QString& text : texts)
        if (HasCyrillic(text)) found << text;
    return found;
}

class English : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::English));
        ASSERT_TRUE(FDir.isValid());
        FRoot = FDir.path() + QStringLiteral("/data-en/");
        Mk(QStringLiteral("1. Heat/Cooling water"), "SensorName=T100\r\nCaptionY=T, °C\r\n");
        Mk(QStringLiteral("1. Heat/More/Deeper"), "SensorName=T100\r\n");
        Mk(QStringLiteral("2. Without a sensor/Plant growth"), "SensorName=NO\r\n");
        Mk(QStringLiteral("Light"), "SensorName=L200\r\n");
        SetMessageBoxResponderForTests([this](const tBoxRequest& r) {
            FBoxes << r.title << r.text << r.offer;
            return tBoxAnswer{};
        });
    }
    void TearDown() override {
        SetMessageBoxResponderForTests({});
        InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::Russian);
    }
    void Mk(const QString& folder, const QByteArray& experiment) {
        ASSERT_TRUE(QDir().mkpath(FRoot + folder));
        QFile f(FRoot + folder + QStringLiteral("/experiment.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(experiment);
    }
    static void Show(QWidget& w) {
        w.resize(1000, 700);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w, 5000));
    }

    QTemporaryDir FDir;
    QString FRoot;
    QStringList FBoxes;
};

}  // namespace

TEST_F(English, TheChooserSpeaksEnglish) {
    TfmExperiments chooser;
    chooser.FillTree(FRoot);
    Show(chooser);
    for (QTreeWidgetItemIterator it(chooser.Tree()); *it; ++it) (*it)->setExpanded(true);
    const QStringList texts = ShownTexts(&chooser);
    EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Choose an experiment"));
    EXPECT_TRUE(texts.contains(QStringLiteral("Cancel")));
    EXPECT_TRUE(texts.contains(QStringLiteral("&Description")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Cooling water")));
    EXPECT_TRUE(Russian(texts).isEmpty()) << Russian(texts).join(u'|').toStdString();

    // A scenario whose values no run can work with is refused in English.
    Mk(QStringLiteral("Broken"), "SensorName=T100\r\nFreq=0\r\nMinX=10\r\nMaxX=5\r\nFormatY=abc\r\n");
    tExperiment record;
    QString message;
    EXPECT_FALSE(ReadScenario(QStringLiteral("Broken"), QStringLiteral("Broken/"), FRoot, record, message));
    EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot load the experiment scenario.")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("must be more than zero"))) << message.toStdString();
    EXPECT_FALSE(HasCyrillic(message)) << message.toStdString();
    EXPECT_FALSE(ReadScenario(QStringLiteral("Gone"), QStringLiteral("Gone/"), FRoot, record, message));
    EXPECT_TRUE(message.contains(QStringLiteral("Cannot open the file"))) << message.toStdString();
    // What follows "The system says:" is the system's own text, in the system's language.
    EXPECT_FALSE(HasCyrillic(message.section(QStringLiteral("The system says:"), 0, 0)))
        << message.toStdString();
}

TEST_F(English, TheStartPageSpeaksEnglishWithAndWithoutScenarios) {
    QFile lesson(FDir.filePath(QStringLiteral("Tuesday.rovelin")));
    ASSERT_TRUE(lesson.open(QIODevice::WriteOnly));
    lesson.close();
    TfrStart page;
    page.SetCatalogue(tCatalogue({tCatalogueRoot{FRoot, QString(), tCatalogueRoot::Program}}));
    page.SetRecentLessons({lesson.fileName()});
    Show(page);
    QStringList texts = ShownTexts(&page);
    EXPECT_TRUE(texts.contains(QStringLiteral("Rovelin for primary school")));
    EXPECT_TRUE(texts.contains(QStringLiteral("sensor T100")));
    EXPECT_TRUE(texts.contains(QStringLiteral("no sensor")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Recent lessons")));
    EXPECT_TRUE(Russian(texts).isEmpty()) << Russian(texts).join(u'|').toStdString();

    // An empty catalogue and no lessons: the page says how to fill it, in English.
    QTemporaryDir empty;
    TfrStart bare;
    bare.SetCatalogue(tCatalogue({tCatalogueRoot{empty.path() + u'/', QString(), tCatalogueRoot::Program}}));
    bare.SetRecentLessons({});
    Show(bare);
    texts = ShownTexts(&bare);
    EXPECT_TRUE(texts.contains(QStringLiteral("Saved lessons will appear here.")));
    EXPECT_TRUE(Russian(texts).isEmpty()) << Russian(texts).join(u'|').toStdString();
}

TEST_F(English, TheExperimentAndPulseFramesSpeakEnglish) {
    tExperiment scenario;
    scenario.Clear();
    scenario.Name = QStringLiteral("Cooling water");
    scenario.SensorName = QStringLiteral("T100");
    scenario.CaptionX = QStringLiteral("t, s");
    scenario.CaptionY = QStringLiteral("T, °C");

    TfrExperiment frame(nullptr, false);
    Show(frame);
    frame.NoSensorLabel()->show();
    QStringList texts = ShownTexts(&frame);
    EXPECT_TRUE(texts.contains(QStringLiteral("&Chart")));
    EXPECT_TRUE(texts.contains(QStringLiteral("&Report")));
    EXPECT_TRUE(texts.contains(QStringLiteral("This experiment is done without a sensor.")));
    EXPECT_EQ(frame.TablePage()->windowTitle(), QStringLiteral("&Table"));
    EXPECT_TRUE(Russian(texts).isEmpty()) << Russian(texts).join(u'|').toStdString();

    // The label question, and the run lines under a printed chart.
    frame.AskPointLabel();
    ASSERT_EQ(FBoxes.size(), 3);
    EXPECT_EQ(FBoxes[0], QStringLiteral("Data entry"));
    EXPECT_EQ(FBoxes[1], QStringLiteral("Type the point's label:"));
    tLesson lesson;
    tRun* run = lesson.AddRun(0.1);
    run->Append(21.5);
    run->Append(22.0);
    lesson.SetSeriesRun(0, run);
    frame.SetLesson(&lesson);
    const TChart::tPrintTexts printed = frame.PrintTexts(scenario, QString());
    ASSERT_EQ(printed.Runs.size(), 1);
    EXPECT_TRUE(printed.Runs[0].startsWith(QStringLiteral("Run 1"))) << printed.Runs[0].toStdString();
    frame.SetLesson(nullptr);

    TfrPulse pulse(nullptr, true);
    Show(pulse);
    EXPECT_EQ(pulse.findChild<TChart*>(QStringLiteral("chPulse"))->LeftAxis().Title(),
              QStringLiteral("Heart rate"));
    texts = ShownTexts(&pulse);
    EXPECT_TRUE(Russian(texts).isEmpty()) << Russian(texts).join(u'|').toStdString();

    // A table typed by hand explains itself in English around the scenario's own captions.
    TTablePage table(&lesson, scenario, true);
    const QLabel* intro = table.findChild<QLabel*>(QStringLiteral("lbTableIntro"));
    ASSERT_NE(intro, nullptr);
    EXPECT_EQ(
        intro->text(),
        QStringLiteral("Type the measured pairs of numbers into the bottom row (*): “t, s” and “T, °C”. "
                       "The points appear on the chart at once."));
}

TEST_F(English, TheGuideWindowAndTheBoxesSpeakEnglish) {
    TfmGuide guide;
    Show(guide);
    QStringList texts = ShownTexts(&guide);
    EXPECT_TRUE(texts.contains(QStringLiteral("&Contents")));
    EXPECT_TRUE(texts.contains(QStringLiteral("C&lose")));
    for (const QString& text : Russian(texts))
        // The window's title may carry the guide page's own title; the window's words are English.
        EXPECT_TRUE(text.startsWith(QStringLiteral("User guide — "))) << text.toStdString();
    EXPECT_EQ(ProductTitle(), QStringLiteral("Rovelin for primary school"));
    EXPECT_EQ(LoadStr(msg::TitleConfirm), QStringLiteral("Confirmation"));

    // The real boxes: their buttons are read off the box on screen, then the box is closed.
    SetMessageBoxResponderForTests({});
    QStringList buttons;
    QString title;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll.stop();
        title = box->windowTitle();
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        box->reject();
    });
    poll.start();
    EXPECT_EQ(AskSaveDiscardCancel(QStringLiteral("Save the lesson?")), tSaveChoice::Cancel);
    EXPECT_EQ(title, QStringLiteral("Confirmation"));
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({QStringLiteral("&Save"), QStringLiteral("Cancel"),
                                    QStringLiteral("Do&n't save")}));

    buttons.clear();
    poll.start();
    EXPECT_FALSE(ShowErrorOffering(QStringLiteral("The file is gone."), QStringLiteral("Choose another")));
    EXPECT_EQ(title, QStringLiteral("Error"));
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({QStringLiteral("Cancel"), QStringLiteral("Choose another")}));
}
