// SPDX-License-Identifier: GPL-3.0-or-later
// The window as a screen reader and a keyboard user meet it: every part a person acts on has a
// name, the chart describes the shown runs in words and follows a live run at most once a second,
// the markers move by keys with the read-out following, and click targets are big enough.
#include "app/Accessibility.h"

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "Apptest.h"
#include "components/Chart.h"
#include "components/Contrast.h"
#include "experiments/Experimentfr.h"
#include "experiments/Experimentsfm.h"
#include "experiments/Guidefm.h"
#include "experiments/Startfr.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "sim/Simports.h"
#include "tests/support/Wait.h"

namespace {
// The roles of the parts a person acts on or reads as one thing: each one needs a name.
bool Interactive(QAccessible::Role role) {
    switch (role) {
        case QAccessible::PushButton:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::EditableText:
        case QAccessible::SpinBox:
        case QAccessible::Slider:
        case QAccessible::PageTab:
        case QAccessible::MenuItem:
        case QAccessible::ButtonMenu:
        case QAccessible::ButtonDropDown:
        case QAccessible::Table:
        case QAccessible::Tree:
        case QAccessible::List:
        case QAccessible::Chart:
        case QAccessible::Link:
            return true;
        default:
            return false;
    }
}

// The shown parts under `node` that need a name and have none, as "role objectName" lines.
void FindUnnamed(QAccessibleInterface* node, QStringList& unnamed, int depth = 0) {
    if (!node || depth > 60 || node->state().invisible) return;
    if (Interactive(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty()) {
        QObject* object = node->object();
        unnamed << QStringLiteral("role %1 %2 in %3")
                       .arg(int(node->role()))
                       .arg(object ? object->objectName() : QStringLiteral("?"),
                            object && object->parent() ? object->parent()->objectName() : QString());
    }
    for (int i = 0; i < node->childCount(); ++i) FindUnnamed(node->child(i), unnamed, depth + 1);
}

QStringList Unnamed(QWidget* root) {
    QStringList unnamed;
    FindUnnamed(QAccessible::queryAccessibleInterface(root), unnamed);
    return unnamed;
}

struct tAccessible : ::testing::Test {
    tSimulatorOn sim;
    tBoxRecorder boxes;
    tProgramFolder folder;
    std::unique_ptr<tTestMain> w;  // goes first, before the simulator and the folder

    // The window on screen with a T100 scenario chosen (and so connected); `shown` runs between.
    void Open(QStringList scenario = ScenarioLines(QStringLiteral("T100"), 100000, 1, 2),
              const std::function<void()>& shown = {}) {
        tSimRegistry::Instance().Add(QStringLiteral("sim:T100"),
                                     tSimRegistry::DemoConfig(QStringLiteral("T100"), false));
        w = std::make_unique<tTestMain>(folder);
        w->resize(1024, 700);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get(), 5000));
        if (shown) shown();
        scenario.replaceInStrings(QStringLiteral("CaptionY=Температура"),
                                  QStringLiteral("CaptionY=Температура, °C"));
        w->Choose(folder.AddScenario(QStringLiteral("Тепло ладони"), scenario,
                                     SimpleRtf(QStringLiteral("Описание")),
                                     SimpleRtf(QStringLiteral("Отчёт"))));
        ASSERT_NE(w->Frame(), nullptr);
    }
    TChart* Chart() const { return w->Frame()->Chart(); }
    // The pulse scenario chosen in the shown window: its wave and heart-rate charts, once sized.
    void ChoosePulse(TChart*& wave, TChart*& rate) {
        w->Choose(folder.AddScenario(QStringLiteral("Пульс"), ScenarioLines(QStringLiteral("P620"))));
        ASSERT_NE(w->Frame(), nullptr);
        const QList<TChart*> charts = w->Frame()->Charts();
        ASSERT_EQ(charts.size(), 2);
        wave = charts[0];
        rate = charts[1];
        ASSERT_EVENTUALLY(rate->height() > 100);
        QApplication::processEvents();  // the frame's first sizing of the two charts is done
    }
    QAccessibleInterface* ChartNode() const { return QAccessible::queryAccessibleInterface(Chart()); }
};
}  // namespace

TEST_F(tAccessible, EveryPartOfTheWindowItsPagesMenusAndTheChooserHasAName) {
    Open();
    ASSERT_NE(w->Device(), nullptr);
    QTabWidget* pages = w->Frame()->Pages();
    for (int tab = 0; tab < pages->count(); ++tab) {
        pages->setCurrentIndex(tab);
        QApplication::processEvents();
        EXPECT_EQ(Unnamed(w.get()), QStringList()) << "tab " << tab;
    }
    for (QAction* entry : w->menuBar()->actions()) {
        QMenu* menu = entry->menu();
        ASSERT_NE(menu, nullptr);
        menu->popup(w->mapToGlobal(QPoint(10, 10)));
        ASSERT_EVENTUALLY(menu->isVisible());
        EXPECT_EQ(Unnamed(menu), QStringList()) << menu->objectName().toStdString();
        menu->close();
    }

    // The catalogue dialog over the sample catalogue, a scenario selected.
    TfmExperiments chooser(w.get());
    chooser.FillTree(QStringLiteral(ROVELIN_SOURCE_DIR "/data"));
    chooser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser, 5000));
    EXPECT_EQ(Unnamed(&chooser), QStringList());
}

// The window's own dialogs, each walked while it is open: the sensor search, fitting a model, the
// runs to show, typed prediction points, the guide and the program's information.
TEST_F(tAccessible, EveryDialogOfTheWindowHasNamesForItsParts) {
    QStringList seen;
    const auto walk = [&](const QString& name, QWidget* dialog) {
        if (!dialog || !dialog->isVisible()) return;
        seen << name;
        EXPECT_EQ(Unnamed(dialog).join(QStringLiteral("; ")).toStdString(), "") << name.toStdString();
    };
    Open(ScenarioLines(QStringLiteral("T100"), 100000, 1, 2), [&] {
        w->Candidates.WhileListing = [&] {
            if (!seen.contains(QStringLiteral("search")))
                walk(QStringLiteral("search"), w->findChild<QDialog*>(QStringLiteral("fmSearchProgress")));
        };
    });
    ASSERT_NE(w->Device(), nullptr);
    w->Candidates.WhileListing = nullptr;
    w->Execute(w->acExperimentStart);
    ASSERT_EVENTUALLY(Chart()->Series(0)->Count() >= 10, 20000);
    w->Execute(w->acExperimentStop);

    // A modal dialog is walked from inside its own loop, then closed.
    const auto whileOpen = [&](const QString& name, QAction* action) {
        QTimer::singleShot(0, w.get(), [&, name] {
            QWidget* dialog = QApplication::activeModalWidget();
            walk(name, dialog);
            if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
        });
        w->Execute(action);
    };
    whileOpen(QStringLiteral("fit"), w->acExperimentFit);
    w->RealDialogs = true;
    whileOpen(QStringLiteral("runs"), w->acExperimentRuns);
    // The prediction's field is typed into by name, as a screen reader user finds it.
    QTimer::singleShot(0, w.get(), [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        walk(QStringLiteral("prediction"), dialog);
        if (!dialog) return;
        for (QWidget* field : dialog->findChildren<QWidget*>())
            if (field->accessibleName() == QStringLiteral("Прогноз")) {
                QTest::keyClicks(field, QStringLiteral("0 20"));
                QTest::keyClick(field, Qt::Key_Return);
                QTest::keyClicks(field, QStringLiteral("60 45,5"));
            }
        dialog->accept();
    });
    w->Execute(w->acExperimentTypePrediction);
    EXPECT_EQ(w->Lesson()->Analyses().Prediction.Points, (QVector<QPointF>{{0, 20}, {60, 45.5}}));

    w->Execute(w->acHelpGuide);
    walk(QStringLiteral("guide"), w->findChild<TfmGuide*>());
    w->Execute(w->acHelpInfo);
    walk(QStringLiteral("about"), w->findChild<QDialog*>(QStringLiteral("fmInfo")));

    EXPECT_EQ(seen,
              (QStringList{QStringLiteral("search"), QStringLiteral("fit"), QStringLiteral("runs"),
                           QStringLiteral("prediction"), QStringLiteral("guide"), QStringLiteral("about")}));
}

TEST_F(tAccessible, TheChartIsOneNamedObjectDescribingItsRunsInWords) {
    Open();
    QAccessibleInterface* chart = ChartNode();
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->role(), QAccessible::Chart);
    EXPECT_EQ(chart->text(QAccessible::Name), QStringLiteral("График: Температура, °C"));
    EXPECT_EQ(chart->childCount(), 0);  // the plot is a picture, its words are here
    EXPECT_TRUE(chart->state().focusable);
    EXPECT_EQ(chart->text(QAccessible::Description), QStringLiteral("Измерений нет."));

    w->Execute(w->acExperimentStart);
    ASSERT_EVENTUALLY(Chart()->Series(0)->Count() >= 5, 20000);
    w->Execute(w->acExperimentStop);
    // Within a second the description names the run, its time and its values.
    ASSERT_EVENTUALLY(
        chart->text(QAccessible::Description).startsWith(QStringLiteral("Опыт 1: время от 0 до ")));
    const QString text = chart->text(QAccessible::Description);
    EXPECT_TRUE(text.contains(QStringLiteral(" с, температура от "))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral(" °C."))) << text.toStdString();
}

TEST_F(tAccessible, DescriptionFollowsALiveRunAtMostOnceASecond) {
    Open();
    // What a reader finds whenever it looks, every 20 ms, and when it changed.
    std::vector<qint64> changes;
    QString last = ChartNode()->text(QAccessible::Description), during;
    QElapsedTimer clock;
    clock.start();
    w->Execute(w->acExperimentStart);
    ASSERT_TRUE(rovelin_test::WaitUntil(
        [&] {
            const QString now = ChartNode()->text(QAccessible::Description);
            if (now != last) {
                changes.push_back(clock.elapsed());
                last = now;
            }
            return changes.size() >= 4;
        },
        20000));
    during = last;
    w->Execute(w->acExperimentStop);

    EXPECT_TRUE(during.startsWith(QStringLiteral("Опыт 1: время от 0 до "))) << during.toStdString();
    // A timer's second may come a little early, and a look 20 ms late; never twice in one.
    for (size_t i = 1; i < changes.size(); ++i) EXPECT_GE(changes[i] - changes[i - 1], 900) << i;
}

TEST_F(tAccessible, KeysAloneMoveTheMarkersAndTheReadoutAndDescriptionFollow) {
    Open(ScenarioLines(QStringLiteral("T100"), 100000, 1, 1) << QStringLiteral("TwiceMarker=1"));
    w->Execute(w->acExperimentStart);
    ASSERT_EVENTUALLY(Chart()->Series(0)->Count() >= 25, 20000);
    w->Execute(w->acExperimentStop);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get(), 5000));

    // Tab from the page tabs reaches the chart; the keys go where the focus is.
    w->Frame()->Pages()->tabBar()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Chart());
    QTest::keyClick(Chart(), Qt::Key_Left);
    const int first = w->Frame()->FirstMarker(Chart());
    ASSERT_GE(first, 0);
    QTest::keyClick(Chart(), Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(w->Frame()->FirstMarker(Chart()), std::max(0, first - 10));
    QTest::keyClick(Chart(), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_GE(w->Frame()->SecondMarker(Chart()), 0);

    // The read-out beside the tool bar and the statistics show as after clicks.
    ASSERT_EVENTUALLY(w->lbValue->text().contains(QStringLiteral("dВремя, с=")));
    EXPECT_TRUE(w->IsValueLabelShown() || !w->lbValue->text().isEmpty());
    EXPECT_FALSE(w->StatisticsText().isEmpty());
    // A reader on the chart hears the markers too.
    ASSERT_EVENTUALLY(
        ChartNode()->text(QAccessible::Description).contains(QStringLiteral("Маркеры: Температура, °C=")));
}

namespace {
// The shown texts under `root` that do not fit where they are: labels (a wrapped one by the height
// its width asks), buttons with words (by the size they ask for) and tiles that wrap their words.
QStringList Clipped(QWidget* root) {
    QStringList clipped;
    const auto note = [&](QWidget* widget, const QString& text, QSize need) {
        if (widget->width() < need.width() || widget->height() < need.height())
            clipped << QStringLiteral("%1 «%2» %3×%4 < %5×%6")
                           .arg(widget->objectName(), text.left(30))
                           .arg(widget->width())
                           .arg(widget->height())
                           .arg(need.width())
                           .arg(need.height());
    };
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (!widget->isVisible()) continue;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (label->text().isEmpty() || !label->pixmap().isNull()) continue;
            note(label, label->text(),
                 label->wordWrap() ? QSize(0, label->heightForWidth(label->width()))
                                   : label->minimumSizeHint());
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget);
                   button && !button->text().isEmpty()) {
            if (auto* tool = qobject_cast<QToolButton*>(button);
                tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
                continue;  // its words are its name and tooltip, not shown on it
            note(button, button->text(),
                 button->hasHeightForWidth() ? QSize(0, button->heightForWidth(button->width()))
                                             : button->sizeHint());
        }
    }
    return clipped;
}

// The shown buttons, tool buttons, list boxes and tabs under `root` smaller than a fingertip's target.
QStringList SmallTargets(QWidget* root) {
    QStringList small;
    const auto note = [&](const QString& what, QSize size) {
        if (size.width() < kMinimumTarget || size.height() < kMinimumTarget)
            small << QStringLiteral("%1 %2×%3").arg(what).arg(size.width()).arg(size.height());
    };
    for (QWidget* widget : root->findChildren<QWidget*>())
        if (widget->isVisible() &&
            (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget)))
            note(widget->objectName(), widget->size());
    for (QTabBar* bar : root->findChildren<QTabBar*>())
        if (bar->isVisible())
            for (int i = 0; i < bar->count(); ++i)
                note(QStringLiteral("tab ") + bar->tabText(i), bar->tabRect(i).size());
    return small;
}

// The shown texts under `root` whose colour is below the text contrast on their own background.
QStringList FaintTexts(QWidget* root) {
    QStringList faint;
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty()) continue;
        const QColor ground = label->palette().color(label->backgroundRole());
        const QColor text = ShownOver(label->palette().color(label->foregroundRole()), ground);
        if (ContrastRatio(text, ground) < kTextContrast)
            faint << QStringLiteral("%1 %2 on %3").arg(label->objectName(), text.name(), ground.name());
    }
    return faint;
}
}  // namespace

TEST_F(tAccessible, ClickTargetsAreAtLeast24PixelsSquare) {
    Open();
    EXPECT_EQ(SmallTargets(w.get()).join(u'|').toStdString(), "");
    EXPECT_GE(w->findChild<QWidget*>(QStringLiteral("tbViewShowAll"))->height(), kMinimumTarget);
}

TEST_F(tAccessible, TheBorderBetweenThePulseChartsMovesByKeysAndShowsTheFocus) {
    w = std::make_unique<tTestMain>(folder);
    w->resize(1024, 700);
    w->show();
    TChart *wave = nullptr, *rate = nullptr;
    ASSERT_NO_FATAL_FAILURE(ChoosePulse(wave, rate));
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get(), 5000));

    // Tab goes from the wave to the border, then on to the heart-rate chart.
    w->Frame()->Pages()->tabBar()->setFocus();
    ASSERT_EVENTUALLY(QApplication::focusWidget() != nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), wave);
    QTest::keyClick(wave, Qt::Key_Tab);
    QWidget* border = QApplication::focusWidget();
    ASSERT_NE(border, nullptr);
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(border);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->role(), QAccessible::Grip);
    EXPECT_EQ(node->text(QAccessible::Name), QStringLiteral("Граница между графиками"));
    EXPECT_FALSE(node->text(QAccessible::Description).isEmpty());
    EXPECT_NEAR(border->geometry().center().y(), wave->geometry().bottom() + 2, 1);

    // The border shows that it has the focus: dark on the white charts on either side.
    const auto middle = [&] {
        const QImage picture = border->grab().toImage();
        return picture.pixelColor(picture.width() / 2, picture.height() / 2);
    };
    EXPECT_GE(ContrastRatio(middle(), Qt::white), kGraphicContrast) << middle().name().toStdString();

    // Down gives the wave more room, Up the heart rate; Page Up five steps at once.
    const int waveHeight = wave->height(), rateHeight = rate->height();
    for (int i = 0; i < 3; ++i) QTest::keyClick(border, Qt::Key_Down);
    EXPECT_GT(wave->height(), waveHeight + 40);
    EXPECT_EQ(wave->height() + rate->height(), waveHeight + rateHeight);
    for (int i = 0; i < 3; ++i) QTest::keyClick(border, Qt::Key_Up);
    EXPECT_NEAR(rate->height(), rateHeight, 3);
    QTest::keyClick(border, Qt::Key_PageUp);
    EXPECT_GT(rate->height(), rateHeight + 100);
    EXPECT_EQ(QApplication::focusWidget(), border);

    QTest::keyClick(border, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), rate);
    EXPECT_LT(ContrastRatio(middle(), Qt::white), kGraphicContrast) << "no mark without the focus";
}

// The same border for a pointer that cannot drag: a click on «График частоты выше» or «ниже» in the
// View menu moves it a step, and the menu items are targets of a good size.
TEST_F(tAccessible, TheBorderBetweenThePulseChartsMovesByClicksInTheViewMenu) {
    Open();
    QMenu* view = w->menuBar()->findChild<QMenu*>(QStringLiteral("miView"));
    ASSERT_NE(view, nullptr);
    const auto click = [&](QAction* action) {
        view->popup(w->mapToGlobal(QPoint(10, 10)));
        ASSERT_EVENTUALLY(view->isVisible());
        const QRect item = view->actionGeometry(action);
        EXPECT_GE(item.height(), 24);
        QTest::mouseClick(view, Qt::LeftButton, {}, item.center());
        ASSERT_EVENTUALLY(!view->isVisible());
    };
    // Not a pulse scenario: there is no such border.
    w->UpdateActions();
    EXPECT_FALSE(w->acViewPulseTaller->isEnabled());
    EXPECT_FALSE(w->acViewPulseShorter->isEnabled());

    TChart *wave = nullptr, *rate = nullptr;
    ASSERT_NO_FATAL_FAILURE(ChoosePulse(wave, rate));
    w->UpdateActions();
    ASSERT_TRUE(w->acViewPulseTaller->isEnabled());

    const int waveHeight = wave->height(), rateHeight = rate->height();
    for (int i = 0; i < 3; ++i) click(w->acViewPulseTaller);
    EXPECT_GT(rate->height(), rateHeight + 40);
    EXPECT_EQ(wave->height() + rate->height(), waveHeight + rateHeight);
    for (int i = 0; i < 3; ++i) click(w->acViewPulseShorter);
    EXPECT_NEAR(rate->height(), rateHeight, 3);
    // Far past the end the charts keep room for a curve: neither disappears.
    for (int i = 0; i < 30; ++i) w->Execute(w->acViewPulseShorter);
    EXPECT_GE(rate->height(), 50);
    for (int i = 0; i < 30; ++i) w->Execute(w->acViewPulseTaller);
    EXPECT_GE(wave->height(), 50);
    EXPECT_EQ(wave->height() + rate->height(), waveHeight + rateHeight);
}

TEST_F(tAccessible, ProjectorModeAndALargerSystemFontKeepTargetsWordsAndContrast) {
    // The system's font half as large again, as a desktop's text scaling gives it to the program.
    const QFont systemFont = QApplication::font();
    const auto restore = qScopeGuard([&] { QApplication::setFont(systemFont); });
    QFont larger = systemFont;
    larger.setPointSizeF(systemFont.pointSizeF() * 1.5);
    QApplication::setFont(larger);

    const QString scenario =
        folder.AddScenario(QStringLiteral("Тепло ладони"), ScenarioLines(QStringLiteral("T100")));
    w = std::make_unique<tTestMain>(folder);
    w->resize(1024, 700);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get(), 5000));
    ASSERT_NE(w->StartPage(), nullptr);
    ASSERT_EVENTUALLY(!w->StartPage()->ScenarioTiles().isEmpty());
    QWidget* bar = w->findChild<QWidget*>(QStringLiteral("tlbMain"));
    ASSERT_NE(bar, nullptr);

    for (bool projector : {false, true}) {
        if (projector) w->acViewProjector->trigger();
        ASSERT_EQ(w->acViewProjector->isChecked(), projector);
        for (int i = 0; i < 3; ++i) QApplication::processEvents();  // the layouts follow the fonts
        for (QWidget* part :
             {bar, static_cast<QWidget*>(w->statusBar()), static_cast<QWidget*>(w->StartPage())}) {
            EXPECT_EQ(Clipped(part).join(u'|').toStdString(), "") << "projector " << projector;
            EXPECT_EQ(FaintTexts(part).join(u'|').toStdString(), "") << "projector " << projector;
        }
        EXPECT_EQ(SmallTargets(w.get()).join(u'|').toStdString(), "") << "projector " << projector;
        // A tile's details (under its name, beside its picture): their darkest letters on the tile.
        for (QAbstractButton* tile : w->StartPage()->ScenarioTiles()) {
            const QImage picture = tile->grab().toImage();
            const QColor ground = picture.pixelColor(picture.width() - 4, picture.height() / 2);
            QColor letters = ground;
            for (int y = picture.height() * 3 / 5; y < picture.height() - 4; ++y)
                for (int x = picture.height(); x < picture.width() - 4; ++x)  // the picture is narrower
                    if (RelativeLuminance(picture.pixelColor(x, y)) < RelativeLuminance(letters))
                        letters = picture.pixelColor(x, y);
            EXPECT_GE(ContrastRatio(letters, ground), kTextContrast)
                << letters.name().toStdString() << " on " << ground.name().toStdString();
        }
    }

    // A scenario open in projector mode: its pages, the read-out and the status bar.
    w->Choose(scenario);
    ASSERT_NE(w->Frame(), nullptr);
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    EXPECT_EQ(SmallTargets(w.get()).join(u'|').toStdString(), "");
    EXPECT_EQ(Clipped(bar).join(u'|').toStdString(), "");
    EXPECT_EQ(Clipped(w->statusBar()).join(u'|').toStdString(), "");
    EXPECT_EQ(FaintTexts(w.get()).join(u'|').toStdString(), "");

    // The chart's lettering grew too: its labels stand apart along both axes, none over another.
    QCustomPlot* plot = w->Frame()->Chart()->Plot();
    for (int i = 0; i < 2; ++i) plot->replot(QCustomPlot::rpImmediateRefresh);  // then laid out for them
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        const QFontMetricsF metrics(axis->tickLabelFont());
        const QVector<double> ticks = axis->tickVector();
        const QVector<QString> labels = axis->tickVectorLabels();
        ASSERT_GE(ticks.size(), 3);
        for (qsizetype i = 1; i < ticks.size(); ++i) {
            const double gap = std::abs(axis->coordToPixel(ticks[i]) - axis->coordToPixel(ticks[i - 1]));
            const double need =
                axis->orientation() == Qt::Vertical
                    ? metrics.height()
                    : (metrics.horizontalAdvance(labels[i]) + metrics.horizontalAdvance(labels[i - 1])) / 2;
            EXPECT_GT(gap, need) << labels[i - 1].toStdString() << " and " << labels[i].toStdString();
        }
    }
    w->acViewProjector->trigger();
}

namespace {
// The window with the program's own catalogue dialog, so the scenario is chosen by keys too.
struct tKeyboardMain : tTestMain {
    using tTestMain::tTestMain;
    std::unique_ptr<tScenarioChooser> CreateChooser(const QString& root) override {
        return TfmMain::CreateChooser(root);
    }
};

// The window a desktop activates again when a dialog closes (the offscreen platform does not).
QWidget* gWindow = nullptr;

// A key as a pupil presses it: to whatever has the focus (or the open menu or dialog).
void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = QString()) {
    if (const QWidget* active = QApplication::activeWindow(); (!active || !active->isVisible()) && gWindow) {
        gWindow->activateWindow();
        ASSERT_EVENTUALLY(QApplication::activeWindow() == gWindow);
    }
    QWidget* target = QApplication::activePopupWidget();
    if (!target) target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    ASSERT_NE(target, nullptr);
    QTest::sendKeyEvent(QTest::Click, target, Qt::Key(key), text, modifiers);
}

// Opens a menu of the menu bar with Alt and its letter, walks down to `item` and presses Enter.
void MenuItem(QChar menuLetter, const QString& item) {
    Press(menuLetter.toUpper().unicode(), Qt::AltModifier);
    ASSERT_EVENTUALLY(qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    for (int i = 0; i < 30 && !(menu->activeAction() && menu->activeAction()->text().remove(u'&') == item);
         ++i)
        Press(Qt::Key_Down);
    ASSERT_TRUE(menu->activeAction() && menu->activeAction()->text().remove(u'&') == item)
        << item.toStdString();
    Press(Qt::Key_Return);
}
}  // namespace

TEST_F(tAccessible, AWholeLessonWithTheKeyboardAloneToASavedReportWithTheChart) {
    QTemporaryDir out;
    tSimRegistry::Instance().Add(QStringLiteral("sim:T100"),
                                 tSimRegistry::DemoConfig(QStringLiteral("T100"), false));
    QStringList scenario = ScenarioLines(QStringLiteral("T100"), 100000, 1, 1)
                           << QStringLiteral("TwiceMarker=1");
    folder.AddScenario(QStringLiteral("Остывание"), scenario);
    folder.AddScenario(QStringLiteral("Тепло ладони"), scenario, SimpleRtf(QStringLiteral("Описание")),
                       SimpleRtf(QStringLiteral("Отчёт")));
    tKeyboardMain main(folder);
    gWindow = &main;
    const auto forget = qScopeGuard([] { gWindow = nullptr; });
    main.resize(1024, 700);
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main, 5000));

    // The catalogue: Alt+Э, «Выбор эксперимента», then End picks the last scenario and Enter
    // confirms; the window connects to the sensor by itself.
    QTimer keysInDialog;
    QObject::connect(&keysInDialog, &QTimer::timeout, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget(); dialog && QApplication::focusWidget()) {
            keysInDialog.stop();
            Press(Qt::Key_End);
            Press(Qt::Key_Return);
        }
    });
    keysInDialog.start(100);
    MenuItem(u'э', QStringLiteral("Выбор эксперимента..."));
    ASSERT_EVENTUALLY(main.Frame() != nullptr && main.Device() != nullptr, 20000);
    EXPECT_TRUE(main.windowTitle().contains(QStringLiteral("Тепло ладони")))
        << main.windowTitle().toStdString();

    // A run with a labelled point.
    MenuItem(u'э', QStringLiteral("Пуск"));
    ASSERT_EVENTUALLY(main.IsMeasuring());
    ASSERT_EVENTUALLY(main.Frame()->Chart()->Series(0)->Count() >= 10, 20000);
    boxes.Input = QStringLiteral("Зажали в ладони");
    MenuItem(u'э', QStringLiteral("Отметить точку...."));
    ASSERT_EVENTUALLY(main.Frame()->Chart()->Series(0)->Count() >= 25, 20000);
    MenuItem(u'э', QStringLiteral("Стоп"));
    ASSERT_EVENTUALLY(!main.IsMeasuring());

    // Tab until the chart has the focus; both markers by arrows; the statistics follow.
    for (int i = 0; i < 20 && QApplication::focusWidget() != main.Frame()->Chart(); ++i) Press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), main.Frame()->Chart());
    Press(Qt::Key_Left);
    Press(Qt::Key_Left, Qt::ShiftModifier);
    Press(Qt::Key_Right, Qt::ControlModifier);
    ASSERT_EVENTUALLY(!main.StatisticsText().isEmpty());
    EXPECT_EVENTUALLY(main.StatisticsLabel()->isVisible());

    // The chart into the report, then Ctrl+S.
    MenuItem(u'э', QStringLiteral("Вставить график в отчет"));
    main.NextLessonPath = out.filePath(QStringLiteral("урок.rovelin"));
    Press(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EVENTUALLY(main.LessonPath() == main.NextLessonPath);

    tLesson saved;
    ReadLesson(main.NextLessonPath, saved);
    ASSERT_EQ(saved.RunCount(), 1);
    EXPECT_EQ(saved.Run(0)->Labels().values(), QStringList{QStringLiteral("Зажали в ладони")});
    const QByteArray report = saved.Document(tLesson::Report);
    EXPECT_TRUE(report.contains("\\pict")) << "the report holds the chart";
    EXPECT_TRUE(boxes.Texts().filter(QStringLiteral("Введите метку точки:")).size() == 1)
        << boxes.Texts().join(u'|').toStdString();
}
