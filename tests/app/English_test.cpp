// SPDX-License-Identifier: GPL-3.0-or-later
// The window in English: with the English interface installed, every text a pupil can see in the
// main window, its menus, the start page, an open scenario and the window's dialogs is English.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <map>
#include <vector>

#include "Apptest.h"
#include "Samplecatalogue.h"
#include "app/Analysisactions.h"
#include "app/Fitdialog.h"
#include "components/Chart.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Startfr.h"
#include "foundation/Language.h"
#include "lesson/Lesson.h"
#include "tests/support/Language.h"
#include "tests/support/Pdf.h"
#include "tests/support/Userfolders.h"
#include "tests/support/Wait.h"

namespace {
using rovelin_test::HasCyrillic;

// Every text seen, with where it was seen.
class tSeenTexts {
  public:
    void Add(const QString& where, const QString& text) {
        if (!text.trimmed().isEmpty()) FTexts.emplace(text, where);
    }

    void AddAction(const QString& where, const QAction* action) {
        if (action->isSeparator()) return;
        Add(where + QStringLiteral(" text"), action->text());
        Add(where + QStringLiteral(" tooltip"), action->toolTip());
        Add(where + QStringLiteral(" status tip"), action->statusTip());
    }

    // A menu, its entries and its submenus, as the menu bar opens them.
    void AddMenu(const QString& where, QMenu* menu) {
        emit menu->aboutToShow();  // menus filled when opened (Remove) are filled now
        Add(where, menu->title());
        for (QAction* action : menu->actions()) {
            if (!action->isVisible()) continue;
            const QString here = where + QStringLiteral(" → ") + action->text();
            if (action->menu())
                AddMenu(here, action->menu());
            else
                AddAction(here, action);
        }
    }

    // The shown widgets under `root` (and `root`): captions, labels, buttons, tabs, fields, lists,
    // table headers, tooltips and the names a screen reader reads.
    void AddWidgets(const QString& where, QWidget* root) {
        QList<QWidget*> widgets = root->findChildren<QWidget*>();
        widgets.prepend(root);
        for (QWidget* w : widgets) {
            if (w != root && !w->isVisibleTo(root)) continue;
            const QString here =
                where + u'/' +
                (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                           : w->objectName());
            if (w->isWindow()) Add(here + QStringLiteral(" title"), w->windowTitle());
            Add(here + QStringLiteral(" tooltip"), w->toolTip());
            Add(here + QStringLiteral(" status tip"), w->statusTip());
            Add(here + QStringLiteral(" accessible name"), w->accessibleName());
            Add(here + QStringLiteral(" accessible description"), w->accessibleDescription());
            if (auto* label = qobject_cast<QLabel*>(w)) Add(here, label->text());
            if (auto* button = qobject_cast<QAbstractButton*>(w)) Add(here, button->text());
            if (auto* tool = qobject_cast<QToolButton*>(w); tool && tool->defaultAction())
                AddAction(here, tool->defaultAction());
            if (auto* group = qobject_cast<QGroupBox*>(w)) Add(here, group->title());
            if (auto* edit = qobject_cast<QLineEdit*>(w))
                Add(here + QStringLiteral(" placeholder"), edit->placeholderText());
            if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) Add(here, edit->toPlainText());
            if (auto* combo = qobject_cast<QComboBox*>(w))
                for (int i = 0; i < combo->count(); ++i) Add(here, combo->itemText(i));
            if (auto* tabs = qobject_cast<QTabBar*>(w))
                for (int i = 0; i < tabs->count(); ++i) {
                    Add(here + QStringLiteral(" tab"), tabs->tabText(i));
                    Add(here + QStringLiteral(" tab tooltip"), tabs->tabToolTip(i));
                }
            if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model()) {
                const QAbstractItemModel* model = view->model();
                for (int c = 0; c < model->columnCount(); ++c)
                    Add(here + QStringLiteral(" header"), model->headerData(c, Qt::Horizontal).toString());
                for (int r = 0; r < model->rowCount() && r < 50; ++r)
                    Add(here + QStringLiteral(" item"), model->index(r, 0).data().toString());
            }
            if (auto* chart = qobject_cast<TChart*>(w))
                for (const QString& legend : chart->LegendTexts())
                    Add(here + QStringLiteral(" legend"), legend);
        }
        if (auto* bar = qobject_cast<QStatusBar*>(root))
            Add(where + QStringLiteral(" message"), bar->currentMessage());
    }

    const std::multimap<QString, QString>& Texts() const { return FTexts; }

  private:
    std::multimap<QString, QString> FTexts;  // text → where
};

// The scenario of the catalogue at `root` that measures with `sensor` on one chart, relative to `root`.
QString ScenarioWithSensor(const QString& root, const QString& sensor) {
    for (const QString& folder : tCatalogueFolder::Scenarios(root)) {
        QFile file(folder + QStringLiteral("experiment.txt"));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray lines = file.readAll();
        if (lines.contains("SensorName=" + sensor.toLatin1() + "\r") && lines.contains("SeriesCount=1\r"))
            return QDir(root).relativeFilePath(folder) + u'/';
    }
    return QString();
}

struct tEnglishWindow : tLessonFixture {
    rovelin_test::tUserFolders profile;  // a fresh profile: no recent lessons of earlier tests
    void SetUp() override { ASSERT_TRUE(InstallInterfaceLanguage(*qApp, tLanguage::English)); }
    void TearDown() override { InstallInterfaceLanguage(*qApp, tLanguage::Russian); }
};
}  // namespace

TEST_F(tEnglishWindow, NoRussianIsLeftInTheWindowItsMenusAndItsDialogs) {
    tCatalogueFolder catalogue;
    tSeenTexts seen;
    tTestMain w(catalogue);
    w.resize(1024, 700);
    w.show();

    // The window as it opens: menus, tool bar, status bar, the start page.
    for (QAction* action : w.menuBar()->actions())
        if (action->menu()) seen.AddMenu(QStringLiteral("menu"), action->menu());
    for (QAction* action : w.Actions())
        seen.AddAction(QStringLiteral("action ") + action->objectName(), action);
    ASSERT_NE(w.StartPage(), nullptr);
    seen.AddWidgets(QStringLiteral("start"), &w);

    // A scenario of the catalogue opened as the chooser opens it; the sensor's search box shows
    // while the window looks for the sensor.
    const QString root = w.Session().CatalogueRoot();
    EXPECT_TRUE(root.endsWith(QStringLiteral("/data-en/"))) << root.toStdString();
    const QString scenario = ScenarioWithSensor(root, QStringLiteral("T100"));
    ASSERT_FALSE(scenario.isEmpty()) << root.toStdString();
    w.Candidates.WhileListing = [&] {
        if (auto* box = w.findChild<QDialog*>(QStringLiteral("fmSearchProgress")); box && box->isVisible())
            seen.AddWidgets(QStringLiteral("search"), box);
    };
    w.Choose(scenario);
    ASSERT_NE(w.Frame(), nullptr);
    ASSERT_NE(w.Device(), nullptr);
    w.Candidates.WhileListing = nullptr;

    // A run, then the chart with its markers, the table, the statistics.
    w.Execute(w.acExperimentStart);
    tRun* run = w.Lesson()->SeriesRun(w.CurrentSeries());
    ASSERT_EVENTUALLY(run->Count() >= 10, 20000);
    w.Execute(w.acExperimentStop);
    w.Frame()->SetMarkers(w.Frame()->Chart(), 2, 8);
    w.Execute(w.acExperimentArea);
    seen.AddWidgets(QStringLiteral("chart"), &w);
    for (QAction* action : w.menuBar()->actions())
        if (action->menu()) seen.AddMenu(QStringLiteral("menu"), action->menu());
    w.Frame()->Pages()->setCurrentIndex(3);
    seen.AddWidgets(QStringLiteral("table"), &w);

    // The window's dialogs, each read (and measured) while it is open and then closed.
    const auto whileOpen = [&](const QString& where, const std::function<QWidget*()>& find,
                               const std::function<void(QWidget*)>& measure) {
        QTimer::singleShot(0, &w, [&, where, find, measure] {
            QWidget* dialog = find();
            if (!dialog) {
                ADD_FAILURE() << where.toStdString() << " did not open";
                return;
            }
            seen.AddWidgets(where, dialog);
            measure(dialog);
            if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
        });
    };
    // Every model with its formula fits the list's width.
    whileOpen(
        QStringLiteral("fit"), [&] { return w.findChild<TfmFit*>(); },
        [](QWidget* dialog) {
            auto* list = dialog->findChild<QListWidget*>(QStringLiteral("lbModels"));
            ASSERT_NE(list, nullptr);
            EXPECT_LE(list->sizeHintForColumn(0), list->viewport()->width());
        });
    w.Execute(w.acExperimentFit);
    // No field lies over a label: one chart here, so one list of runs beside its label.
    w.RealDialogs = true;
    whileOpen(
        QStringLiteral("runs"), [&] { return w.findChild<QDialog*>(QStringLiteral("fmRuns")); },
        [](QWidget* dialog) {
            for (QLabel* label : dialog->findChildren<QLabel*>())
                for (QComboBox* box : dialog->findChildren<QComboBox*>())
                    if (label->isVisible() && box->isVisible()) {
                        EXPECT_FALSE(label->geometry().intersects(box->geometry()))
                            << label->text().toStdString();
                    }
            // The run's whole caption shows in its field.
            for (QComboBox* box : dialog->findChildren<QComboBox*>()) {
                if (!box->isVisible()) continue;
                QStyleOptionComboBox option;
                option.initFrom(box);
                const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                                 QStyle::SC_ComboBoxEditField, box);
                EXPECT_LE(box->fontMetrics().horizontalAdvance(box->currentText()), field.width())
                    << box->currentText().toStdString();
            }
        });
    w.Execute(w.acExperimentRuns);
    // The PDF dialog: its filters and the name it proposes (the folder's own files are not ours).
    w.Frame()->Pages()->setCurrentIndex(0);
    w.RealPdfDialog = true;
    QTimer::singleShot(0, &w, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "the PDF dialog did not open";
            return;
        }
        seen.Add(QStringLiteral("pdf title"), dialog->windowTitle());
        for (const QString& filter : dialog->nameFilters()) seen.Add(QStringLiteral("pdf filter"), filter);
        for (const QString& file : dialog->selectedFiles())
            seen.Add(QStringLiteral("pdf proposed"), QFileInfo(file).fileName());
        dialog->reject();
    });
    w.Execute(w.acFileSavePdf);
    // The status line naming a written file.
    w.RealPdfDialog = false;
    w.NextSavePath = out.filePath(QStringLiteral("chart.pdf"));
    w.Execute(w.acFileSavePdf);
    ASSERT_TRUE(QFileInfo::exists(w.NextSavePath));
    seen.AddWidgets(QStringLiteral("status"), w.statusBar());
    w.Execute(w.acHelpInfo);
    auto* info = w.findChild<QDialog*>(QStringLiteral("fmInfo"));
    ASSERT_NE(info, nullptr);
    seen.AddWidgets(QStringLiteral("about"), info);
    info->close();

    // Message boxes: no printer, and the pupil's name asked at the hand-in.
    w.HasPrinter = false;
    w.acFilePrint->trigger();  // through the guard that shows the error
    boxes.Default = false;
    w.Execute(w.acFileHandIn);
    ASSERT_GE(boxes.Seen.size(), 2u);
    for (const tBoxRequest& box : boxes.Seen) {
        seen.Add(QStringLiteral("box title"), box.title);
        seen.Add(QStringLiteral("box"), box.text);
    }

    int russian = 0;
    for (const auto& [text, where] : seen.Texts()) {
        if (HasCyrillic(text)) {
            ++russian;
            ADD_FAILURE() << where.toStdString() << ": " << text.toStdString();
        }
    }
    EXPECT_EQ(russian, 0);
    // The collection saw the window at all: menus, the start page, the table, the dialogs.
    EXPECT_GT(seen.Texts().size(), 100u);
}

// The chart and the report on paper, saved through «Save as PDF...» with the English interface: the
// page's own words are English, and inside the margins.
TEST_F(tEnglishWindow, TheChartAndTheReportPrintInEnglish) {
    using namespace rovelin_test;
    if (!PopplerInstalled()) GTEST_SKIP() << "poppler-utils not installed";
    tCatalogueFolder catalogue;
    tTestMain w(catalogue);
    w.resize(1024, 700);
    w.show();
    w.Choose(ScenarioWithSensor(w.Session().CatalogueRoot(), QStringLiteral("T100")));
    ASSERT_NE(w.Device(), nullptr);
    w.Execute(w.acExperimentStart);
    ASSERT_EVENTUALLY(w.Lesson()->SeriesRun(w.CurrentSeries())->Count() >= 10, 20000);
    w.Execute(w.acExperimentStop);
    w.Frame()->SetMarkers(w.Frame()->Chart(), 2, 8);
    w.Execute(w.acExperimentInsertChart);

    for (const int tab : {0, 2}) {
        w.Frame()->Pages()->setCurrentIndex(tab);
        w.NextSavePath = out.filePath(QStringLiteral("page%1.pdf").arg(tab));
        w.Execute(w.acFileSavePdf);
        const tPdfPage page = PdfText(w.NextSavePath);
        ASSERT_GT(page.Words.size(), 10u) << "tab " << tab;
        QStringList russian;
        for (const tPdfWord& word : page.Words)
            if (HasCyrillic(word.Text)) russian << word.Text;
        EXPECT_EQ(russian.join(u' ').toStdString(), "") << "tab " << tab;
        EXPECT_FALSE(page.Find(QStringLiteral("Run")).empty()) << "tab " << tab << ": the run is named";
        EXPECT_GE(SmallestInkMarginMm(w.NextSavePath), 24) << "tab " << tab;
    }
}

TEST(EnglishTerminal, HelpAndTheMissingScreenAnswerInEnglish) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("LANG"), QStringLiteral("en_GB.UTF-8"));
    QTemporaryDir home;
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_STATE_HOME"), home.path() + QStringLiteral("/state"));
    const auto run = [&](const QStringList& arguments) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(ROVELIN_PROGRAM), arguments);
        EXPECT_TRUE(program.waitForFinished(60000));
        return QString::fromUtf8(program.readAllStandardOutput() + program.readAllStandardError());
    };
    const QString usage = run({QStringLiteral("--help")});
    EXPECT_TRUE(usage.startsWith(QStringLiteral("Usage: rovelin [switch...] [lesson.rovelin]")))
        << usage.toStdString();
    EXPECT_TRUE(usage.contains(QStringLiteral("/DEMO          demo mode"))) << usage.toStdString();
    const QString noScreen = run({QStringLiteral("/DEMO")});
    EXPECT_TRUE(noScreen.contains(QStringLiteral("there is no screen"))) << noScreen.toStdString();
    for (const QString& text : {usage, noScreen}) EXPECT_FALSE(HasCyrillic(text)) << text.toStdString();
}
