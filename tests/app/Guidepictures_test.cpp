// SPDX-License-Identifier: GPL-3.0-or-later
// Not a check: the pictures of the user guide, made by driving the window through its own actions as
// a pupil does, in the interface language the system asks for (LANGUAGE/LANG). scripts/guide-pictures.sh
// runs it under Xvfb and names the folder the PNGs go to in ROVELIN_GUIDE_PICTURES.
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <functional>
#include <numeric>
#include <optional>

#include "Apptest.h"
#include "Samplecatalogue.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "experiments/Experimentfr.h"
#include "experiments/Experimentsfm.h"
#include "experiments/Pulsefr.h"
#include "experiments/Startfr.h"
#include "experiments/Tableview.h"
#include "foundation/Language.h"
#include "sim/Simports.h"
#include "sim/Simsensor.h"
#include "tests/support/Userfolders.h"
#include "tests/support/Wait.h"

namespace {
using rovelin_test::Pump;
using rovelin_test::WaitUntil;

constexpr int kWait = 30000;

// What the pupil types and names in each language: the things that cover the light sensor, in the
// order the demo's lamp scene covers it, the report's headings and the saved lessons.
struct tWords {
    QStringList Covers;
    QString Aim, Outcome;
    QString LightLesson, PulseLesson;
};

tWords WordsOfTheInterface() {
    if (InterfaceLanguage() == tLanguage::English)
        return {{QStringLiteral("paper"), QStringLiteral("cloth"), QStringLiteral("palm"),
                 QStringLiteral("film")},
                QStringLiteral("What I wanted to find out"),
                QStringLiteral("What happened"),
                QStringLiteral("Light and shadow, class 4A.rovelin"),
                QStringLiteral("Pulse after squats, class 3B.rovelin")};
    return {{QStringLiteral("бумага"), QStringLiteral("ткань"), QStringLiteral("ладонь"),
             QStringLiteral("плёнка")},
            QStringLiteral("Что я хотел(а) узнать"),
            QStringLiteral("Что получилось"),
            QStringLiteral("Свет лампы, 4 «А».rovelin"),
            QStringLiteral("Пульс после приседаний, 3 «Б».rovelin")};
}

// The scenario of the catalogue at `root` that plays the demo scene `scene`, relative to `root`.
QString ScenarioOfScene(const QString& root, const QString& scene) {
    for (const QString& folder : tCatalogueFolder::Scenarios(root)) {
        QFile file(folder + QStringLiteral("experiment.txt"));
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains("\nDemo=" + scene.toLatin1() + "\r"))
            return QDir(root).relativeFilePath(folder) + u'/';
    }
    return QString();
}

// Runs `action`; the first shown modal dialog of type T that opens meanwhile is handed to `look`,
// which closes it. True when one opened.
template <class T>
bool WhileOpen(const std::function<void()>& action, const std::function<void(T*)>& look) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        poll.stop();
        seen = true;
        look(dialog);
    });
    poll.start();
    action();
    return seen;
}

// Selects the scenario at `relative` ("group/name/") in the chooser's tree, opening its groups.
bool SelectInTree(QTreeWidget* tree, const QString& relative) {
    QTreeWidgetItem* item = nullptr;
    for (const QString& name : relative.split(u'/', Qt::SkipEmptyParts)) {
        QTreeWidgetItem* parent = item;
        if (parent) tree->expandItem(parent);  // a group lists its scenarios when it opens
        item = nullptr;
        const int count = parent ? parent->childCount() : tree->topLevelItemCount();
        for (int i = 0; i < count && !item; ++i) {
            QTreeWidgetItem* child = parent ? parent->child(i) : tree->topLevelItem(i);
            if (child->text(0) == name) item = child;
        }
        if (!item) return false;
    }
    tree->setCurrentItem(item);
    return true;
}

// The window resized so that `part` of it gets `size` (its layout settles in between).
void FitPart(QWidget& window, QWidget* part, const QSize& size) {
    for (int i = 0; i < 3 && part->size() != size; ++i) {
        window.resize(window.size() + size - part->size());
        Pump(100);
    }
}

// A user's click on `chart` at the time `x` (with Ctrl: the second marker).
void ClickAt(TChart* chart, double x, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    chart->Plot()->replot();
    const QPoint at(qRound(chart->BottomAxis().ValueToPixel(x)), chart->PlotRect().center().y());
    QTest::mouseRelease(chart->Plot(), Qt::LeftButton, modifiers, chart->Plot()->mapFrom(chart, at));
}

// The folder the pictures go to, one PNG a name.
class tAlbum {
  public:
    explicit tAlbum(QString folder) : FFolder(std::move(folder)) {}
    // `widget`, or the part `area` of it, as it is on the screen now.
    void Take(const QString& name, QWidget* widget, const QRect& area = QRect()) const {
        Pump(300);
        const QPixmap picture = widget->grab(area.isNull() ? QRect(QPoint(0, 0), widget->size()) : area);
        EXPECT_TRUE(picture.save(FFolder + u'/' + name + QStringLiteral(".png"), "PNG"))
            << name.toStdString();
    }

  private:
    QString FFolder;
};

// The part of `window` from the left edge of `first` to the right edge of `last`, as high as `bar`.
QRect Across(QWidget& window, QWidget* bar, QWidget* first, QWidget* last, int margin) {
    const QRect row(bar->mapTo(&window, QPoint(0, 0)), bar->size());
    const int left = first->mapTo(&window, QPoint(0, 0)).x() - margin;
    const int right = last->mapTo(&window, QPoint(last->width(), 0)).x() + margin;
    return QRect(left, row.top(), right - left, row.height());
}

struct tGuidePictures : ::testing::Test {
    tSimulatorOn sim;
    rovelin_test::tUserFolders profile;  // no recent lessons but the two made here
    std::optional<tBoxRecorder> boxes;
    tCatalogueFolder folder;
    QTemporaryDir temporary;
    // Where the two lessons are saved; the start page shows the folder, so the script names a
    // plain one (ROVELIN_GUIDE_LESSONS) rather than a temporary folder's random name.
    QDir lessons{qEnvironmentVariableIsSet("ROVELIN_GUIDE_LESSONS")
                     ? qEnvironmentVariable("ROVELIN_GUIDE_LESSONS")
                     : temporary.path()};
    void SetUp() override { InstallInterfaceLanguage(*qApp, SystemLanguage()); }
    void TearDown() override { InstallInterfaceLanguage(*qApp, tLanguage::Russian); }
};
}  // namespace

// The pictures, in the order a first lesson meets them: the chooser and the missing sensor; the
// toolbar; a light-and-shadow run with four labelled points, its markers, read-out and statistics,
// description, report and table; a pulse run; the question about unsaved work; at last the start
// page of the next start with the two saved lessons.
TEST_F(tGuidePictures, DISABLED_OfTheWindowInItsLanguage) {
    const QString target = qEnvironmentVariable("ROVELIN_GUIDE_PICTURES");
    ASSERT_FALSE(target.isEmpty()) << "ROVELIN_GUIDE_PICTURES names the folder of the pictures";
    ASSERT_TRUE(QDir().mkpath(target));
    const tAlbum album(target);
    const tWords words = WordsOfTheInterface();

    auto w = std::make_unique<tTestMain>(folder);
    w->resize(860, 484);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get(), 5000));
    const QString root = w->Session().CatalogueRoot();
    const QString light = ScenarioOfScene(root, QStringLiteral("lamp-shadow"));
    const QString water = ScenarioOfScene(root, QStringLiteral("hot-water"));
    const QString pulse = ScenarioOfScene(root, QStringLiteral("pulse"));
    ASSERT_FALSE(light.isEmpty() || water.isEmpty() || pulse.isEmpty()) << root.toStdString();

    // The chooser on the hot water's description, then the light scenario chosen with no sensor
    // plugged in: the real boxes show.
    w->RealDialogs = true;
    w->Candidates.Serial = {};
    bool chosen = false;
    const auto choose = [&](TfmExperiments* chooser) {
        chooser->resize(516, 382);
        chosen = SelectInTree(chooser->Tree(), water);
        album.Take(QStringLiteral("chooser"), chooser);
        chooser->Tree()->collapseAll();
        chosen = chosen && SelectInTree(chooser->Tree(), light);
        if (!chosen) return chooser->reject();
        QTest::mouseClick(chooser->findChild<QPushButton*>(QStringLiteral("bbOk")), Qt::LeftButton);
    };
    const auto missing = [&](QMessageBox* box) {
        album.Take(QStringLiteral("not-found"), box);
        box->accept();
    };
    const bool notFound = WhileOpen<QMessageBox>(
        [&] { WhileOpen<TfmExperiments>([&] { w->Execute(w->acExperimentChoose); }, choose); }, missing);
    ASSERT_TRUE(chosen);
    EXPECT_TRUE(notFound);
    w->RealDialogs = false;

    // The sensors plugged in: connected, ready to start.
    boxes.emplace();
    w->Candidates.Serial = DemoSerialCandidates();
    w->Execute(w->acExperimentConnect);
    ASSERT_NE(w->Device(), nullptr) << boxes->Texts().join(u'|').toStdString();
    QToolBar* toolbar = w->tlbMain;
    album.Take(QStringLiteral("toolbar"), w.get(),
               Across(*w, toolbar, toolbar, toolbar->widgetForAction(w->acViewShowAll), 4));

    // The run: each time the pupil covers the sensor she labels the point being measured, the first
    // one whose light falls (each point is the mean of five of the sensor's values).
    w->Execute(w->acExperimentStart);
    TChart* chart = w->Frame()->Chart();
    TChartSeries* curve = chart->Series(w->CurrentSeries());
    const auto sensor = tSimRegistry::Instance().Find(QStringLiteral("sim:L200"));
    ASSERT_NE(sensor, nullptr);
    size_t samples = 0;
    bool covered = false;
    qsizetype labelled = 0;
    while (curve->Count() < 67) {
        ASSERT_TRUE(WaitUntil([&] { return sensor->SentValues(0).size() > samples; }, kWait));
        const std::vector<double> sent = sensor->SentValues(0);
        samples = sent.size();
        const size_t from = size_t(curve->Count()) * 5;
        if (samples <= from) continue;
        const double measuring =
            std::accumulate(sent.begin() + qsizetype(from), sent.end(), 0.0) / double(samples - from);
        const bool dark = measuring < 0.9 * sent.front();
        if (dark && !covered && labelled < words.Covers.size()) {
            boxes->Input = words.Covers[labelled++];
            w->Execute(w->acExperimentMarkPoint);
        }
        covered = dark || (covered && measuring < 0.95 * sent.front());
    }
    w->Execute(w->acExperimentStop);
    w->Execute(w->acViewShowAll);
    album.Take(QStringLiteral("chart-run"), w.get());

    // The paper's shade against the lamp's full light.
    ClickAt(chart, 4.5);
    ClickAt(chart, 8.5, Qt::ControlModifier);
    // As wide as the read-out needs to stand after every button: what does not fit goes into the
    // tool bar's overflow menu.
    QWidget* showAll = toolbar->widgetForAction(w->acViewShowAll);
    Pump(100);
    for (int i = 0; i < 30 && toolbar->width() < toolbar->sizeHint().width(); ++i) {
        w->resize(w->width() + 20, qRound((w->width() + 20) * 484.0 / 860));
        Pump(100);
    }
    album.Take(QStringLiteral("markers"), w.get());
    album.Take(QStringLiteral("readout"), w.get(), Across(*w, toolbar, showAll, w->lbValue, 0));
    // The statistics on one line, as wide as their text.
    QLabel* statistics = w->StatisticsLabel();
    const int textWidth = statistics->fontMetrics().horizontalAdvance(statistics->text()) +
                          statistics->contentsMargins().left() + statistics->contentsMargins().right() + 8;
    w->resize(std::max(w->width(), textWidth + 40), w->height());
    Pump(100);
    album.Take(QStringLiteral("statistics"), statistics,
               QRect(0, 0, std::min(textWidth, statistics->width()), statistics->height()));

    QTabWidget* pages = w->Frame()->Pages();
    pages->setCurrentWidget(w->Frame()->DescrPage());
    FitPart(*w, pages, QSize(880, 500));
    album.Take(QStringLiteral("description"), pages);

    // The chart goes into the report where the pupil put the caret: after «What happened».
    pages->setCurrentWidget(w->Frame()->ReportPage());
    TRichView* report = w->Frame()->ReportView();
    const QTextCursor outcome = report->document()->find(words.Outcome);
    ASSERT_FALSE(outcome.isNull());
    report->setFocus();
    report->setTextCursor(outcome);
    QTest::keyClick(report, Qt::Key_End);
    w->Execute(w->acExperimentInsertChart);
    const QTextCursor aim = report->document()->find(words.Aim);
    ASSERT_FALSE(aim.isNull());
    Pump(100);
    report->verticalScrollBar()->setValue(
        qRound(report->document()->documentLayout()->blockBoundingRect(aim.block()).top()));
    album.Take(QStringLiteral("report"), pages);

    // The table around the film's label.
    pages->setCurrentWidget(w->TablePage());
    FitPart(*w, pages, QSize(620, 420));
    int film = curve->Count() - 1;
    for (int k = 0; k < curve->Count(); ++k)
        if (curve->Label(k) == words.Covers.back()) film = k;
    TTableView* table = w->TablePage()->View();
    table->scrollTo(table->model()->index(std::max(0, film - 12), 0), QAbstractItemView::PositionAtTop);
    album.Take(QStringLiteral("table"), pages, QRect(0, 0, 620, 420));
    pages->setCurrentIndex(0);

    w->NextLessonPath = lessons.filePath(words.LightLesson);
    w->Execute(w->acFileSaveLessonAs);
    ASSERT_EVENTUALLY(!w->LessonUnsaved(), kWait);

    // The pulse, 22 seconds at rest, with the marker on the rate chart.
    w->resize(860, 484);
    w->Choose(pulse);
    auto* pulseFrame = qobject_cast<TfrPulse*>(w->Frame());
    ASSERT_NE(pulseFrame, nullptr);
    ASSERT_NE(w->Device(), nullptr);
    w->Execute(w->acExperimentStart);
    TChartSeries* wave = pulseFrame->Chart()->Series(w->CurrentSeries());
    ASSERT_EVENTUALLY(wave->Count() > 0 && wave->X(wave->Count() - 1) >= 22.0, kWait);
    w->Execute(w->acExperimentStop);
    ClickAt(pulseFrame->PulseChart(), 14.4);
    album.Take(QStringLiteral("pulse"), w.get());

    // Another experiment asked for with the pulse unsaved: the question, cancelled.
    w->RealSaveQuestion = true;
    boxes.reset();
    EXPECT_TRUE(WhileOpen<QMessageBox>([&] { w->Execute(w->acExperimentChoose); },
                                       [&](QMessageBox* box) {
                                           album.Take(QStringLiteral("save-question"), box);
                                           box->reject();
                                       }));
    w->RealSaveQuestion = false;
    boxes.emplace();
    w->NextLessonPath = lessons.filePath(words.PulseLesson);
    w->Execute(w->acFileSaveLessonAs);
    ASSERT_EVENTUALLY(!w->LessonUnsaved(), kWait);
    w.reset();

    // The next start: the start page with both lessons among the recent ones.
    tTestMain next(folder);
    next.resize(900, 480);
    next.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&next, 5000));
    TfrStart* start = next.StartPage();
    ASSERT_NE(start, nullptr);
    FitPart(next, start, QSize(900, 339));
    // Taller when the texts need it: the page shows whole, without a scroll bar.
    if (auto* scroll = start->findChild<QScrollArea*>())
        for (int i = 0; i < 5 && scroll->verticalScrollBar()->maximum() > 0; ++i)
            FitPart(next, start, start->size() + QSize(0, scroll->verticalScrollBar()->maximum()));
    album.Take(QStringLiteral("start-page"), start);
}
