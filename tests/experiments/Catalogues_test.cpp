// SPDX-License-Identifier: GPL-3.0-or-later
// Several catalogues: the program's own and those of the school settings (a school's scenarios on
// a share, a teacher's own), as the listing gives them and as the chooser shows them.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "components/Richview.h"
#include "experiments/Catalogue.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentsfm.h"
#include "foundation/Cp1251.h"
#include "foundation/Messagebox.h"
#include "foundation/Schoolsettings.h"

namespace {
class Catalogues : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        Mk(QStringLiteral("program/Тепло/Остывание воды"), "SensorName=T100\r\n");
        Mk(QStringLiteral("program/Свет"), "SensorName=L200\r\n");
        // The school's catalogue on its share: a group of its own and a scenario at its top.
        Mk(QStringLiteral("share/сценарии/Опыты 5 класса/Тень"), "SensorName=L200\r\nCaptionY=Тень\r\n");
        Mk(QStringLiteral("share/сценарии/Свет"), "SensorName=L200\r\nMaxY=500\r\n");
        QFile descr(Path(QStringLiteral("share/сценарии/descr.rtf")));
        ASSERT_TRUE(descr.open(QIODevice::WriteOnly));
        descr.write("{\\rtf1\\ansi\\ansicpg1251 " + EncodeCp1251(QStringLiteral("Опыты нашей школы")) +
                    "\\par}");
        descr.close();
        // A teacher's own catalogue, and one on a share that is not mounted.
        Mk(QStringLiteral("home/мои/Пульс"), "SensorName=P620\r\n");
        SetMessageBoxResponderForTests([this](const tBoxRequest& r) {
            FBoxes.push_back(r);
            return tBoxAnswer{};
        });
    }
    void TearDown() override {
        SetMessageBoxResponderForTests({});
        // The run's own settings folders are shared by every test of this program.
        for (const char* variable : {"XDG_CONFIG_DIRS", "XDG_CONFIG_HOME"})
            QFile::remove(qEnvironmentVariable(variable) + QStringLiteral("/rovelin/school.conf"));
    }

    QString Path(const QString& relative) const { return FDir.filePath(relative); }
    void Mk(const QString& folder, const QByteArray& experiment) {
        ASSERT_TRUE(QDir().mkpath(Path(folder)));
        QFile f(Path(folder + QStringLiteral("/experiment.txt")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(experiment);
    }
    // The school file names the share and the missing share; the user adds a catalogue of their own.
    void WriteSettings(const QString& systemConfig, const QString& userConfig) {
        ASSERT_TRUE(QDir().mkpath(systemConfig + QStringLiteral("/rovelin")));
        QFile school(systemConfig + QStringLiteral("/rovelin/school.conf"));
        ASSERT_TRUE(school.open(QIODevice::WriteOnly));
        school.write((QStringLiteral("Catalogue = %1 | Сценарии школы\nCatalogue = %2 | Сетевая папка\n"
                                     "UserMayChange = Catalogue\n")
                          .arg(Path(QStringLiteral("share/сценарии")), Path(QStringLiteral("не подключена"))))
                         .toUtf8());
        school.close();
        ASSERT_TRUE(QDir().mkpath(userConfig + QStringLiteral("/rovelin")));
        QFile own(userConfig + QStringLiteral("/rovelin/school.conf"));
        ASSERT_TRUE(own.open(QIODevice::WriteOnly));
        own.write((QStringLiteral("Catalogue = %1\n").arg(Path(QStringLiteral("home/мои")))).toUtf8());
    }
    // The chooser as the main window opens it (the program's catalogue; the school settings of
    // this run add the others), shown.
    std::unique_ptr<TfmExperiments> ShownChooser() {
        WriteSettings(qEnvironmentVariable("XDG_CONFIG_DIRS"), qEnvironmentVariable("XDG_CONFIG_HOME"));
        auto form = std::make_unique<TfmExperiments>();
        form->FillTree(Path(QStringLiteral("program")));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get(), 5000));
        return form;
    }
    tCatalogue Listing() {
        WriteSettings(Path(QStringLiteral("etc")), Path(QStringLiteral("config")));
        const tSchoolSettings school =
            tSchoolSettings::Load({Path(QStringLiteral("etc"))}, Path(QStringLiteral("config")), FDir.path(),
                                  QStringLiteral("teacher"));
        return tCatalogue::ForProgram(Path(QStringLiteral("program")), school);
    }

    QTemporaryDir FDir;
    std::vector<tBoxRequest> FBoxes;
};

QTreeWidgetItem* Child(QTreeWidget* tree, QTreeWidgetItem* parent, const QString& caption) {
    const int n = parent ? parent->childCount() : tree->topLevelItemCount();
    for (int i = 0; i < n; ++i) {
        QTreeWidgetItem* item = parent ? parent->child(i) : tree->topLevelItem(i);
        if (item->text(0) == caption) return item;
    }
    return nullptr;
}

QStringList TopCaptions(QTreeWidget* tree) {
    QStringList captions;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) captions << tree->topLevelItem(i)->text(0);
    return captions;
}
}  // namespace

TEST_F(Catalogues, TheListingNamesEveryScenarioWithItsSource) {
    const tCatalogue catalogue = Listing();
    ASSERT_EQ(catalogue.Roots().size(), 4);
    EXPECT_EQ(catalogue.Roots()[0].Source, tCatalogueRoot::Program);
    EXPECT_EQ(catalogue.Roots()[1].Name, QStringLiteral("Сценарии школы"));
    EXPECT_EQ(catalogue.Roots()[1].Source, tCatalogueRoot::School);
    EXPECT_EQ(catalogue.Roots()[3].Name, QStringLiteral("мои"));
    EXPECT_EQ(catalogue.Roots()[3].Source, tCatalogueRoot::User);
    QStringList found;
    for (const tCatalogueScenario& s : catalogue.Scenarios()) {
        found << QStringLiteral("%1:%2").arg(s.Root).arg(s.Relative);
        EXPECT_TRUE(QFile::exists(s.Folder() + QStringLiteral("experiment.txt"))) << s.Folder().toStdString();
    }
    EXPECT_EQ(found, QStringList({QStringLiteral("0:Свет/"), QStringLiteral("0:Тепло/Остывание воды/"),
                                  QStringLiteral("1:Опыты 5 класса/Тень/"), QStringLiteral("1:Свет/"),
                                  QStringLiteral("3:Пульс/")}));
    EXPECT_EQ(catalogue.Scenarios(2).size(), 2);
}

TEST_F(Catalogues, ALinkBackUpTheTreeIsWalkedOnce) {
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("program")), Path(QStringLiteral("program/Тепло/Назад"))));
    const tCatalogue catalogue(
        QList<tCatalogueRoot>{{Path(QStringLiteral("program")), QString(), tCatalogueRoot::Program}});
    EXPECT_EQ(catalogue.Scenarios().size(), 2);
}

TEST_F(Catalogues, TheChooserShowsEveryCatalogueUnderItsSource) {
    const std::unique_ptr<TfmExperiments> chooser = ShownChooser();
    TfmExperiments& form = *chooser;
    QTreeWidget* tree = form.Tree();
    EXPECT_EQ(TopCaptions(tree),
              QStringList({QStringLiteral("Свет"), QStringLiteral("Тепло"), QStringLiteral("Сценарии школы"),
                           QStringLiteral("Сетевая папка (нет доступа)"), QStringLiteral("мои")}));
    QTreeWidgetItem* school = Child(tree, nullptr, QStringLiteral("Сценарии школы"));
    EXPECT_TRUE(TfmExperiments::IsSourceNode(school));
    EXPECT_FALSE(TfmExperiments::IsSourceNode(Child(tree, nullptr, QStringLiteral("Свет"))));
    EXPECT_EQ(TfmExperiments::IconIndex(school), 3);
    EXPECT_TRUE(TfmExperiments::HasChildrenFlag(school));
    EXPECT_TRUE(school->toolTip(0).startsWith(QStringLiteral("Сценарии школы: ")));
    EXPECT_TRUE(Child(tree, nullptr, QStringLiteral("мои"))
                    ->toolTip(0)
                    .startsWith(QStringLiteral("Ваши сценарии: ")));

    // The source's own description, then its folders below it.
    tree->setCurrentItem(school);
    EXPECT_TRUE(form.Description()->toPlainText().contains(QStringLiteral("Опыты нашей школы")));
    auto ok = [&] { form.findChild<QPushButton*>(QStringLiteral("bbOk"))->click(); };
    ok();  // expands, as on any group
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(school->childCount(), 2);
    EXPECT_EQ(school->child(0)->text(0), QStringLiteral("Опыты 5 класса"));
    EXPECT_EQ(form.NodePath(school->child(1)), Path(QStringLiteral("share/сценарии/Свет/")));

    // A scenario of the school is chosen like any other and read from the school's folder.
    tree->setCurrentItem(school->child(1));
    ok();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    tExperiment record;
    ASSERT_TRUE(form.LoadScenario(&record));
    EXPECT_EQ(record.Name, QStringLiteral("Свет"));
    EXPECT_EQ(record.Path, Path(QStringLiteral("share/сценарии/Свет/")));
    EXPECT_EQ(record.MaxY, 500);
    EXPECT_TRUE(FBoxes.empty());
}

TEST_F(Catalogues, ACatalogueIsNeverChosenAsAScenario) {
    const std::unique_ptr<TfmExperiments> chooser = ShownChooser();
    TfmExperiments& form = *chooser;
    // The share that is not mounted: no expand button, OK does nothing, no load is tried.
    QTreeWidgetItem* missing = Child(form.Tree(), nullptr, QStringLiteral("Сетевая папка (нет доступа)"));
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(TfmExperiments::HasChildrenFlag(missing));
    EXPECT_EQ(TfmExperiments::IconIndex(missing), 3);
    form.Tree()->setCurrentItem(missing);
    form.findChild<QPushButton*>(QStringLiteral("bbOk"))->click();
    EXPECT_TRUE(form.isVisible());
    tExperiment record;
    EXPECT_FALSE(form.LoadScenario(&record));
    EXPECT_TRUE(record.Path.isEmpty());
    EXPECT_TRUE(FBoxes.empty());
}

TEST_F(Catalogues, WithoutSchoolSettingsOnlyTheProgramsCatalogueIsShown) {
    TfmExperiments form;
    form.FillTree(Path(QStringLiteral("program")));
    EXPECT_EQ(TopCaptions(form.Tree()), QStringList({QStringLiteral("Свет"), QStringLiteral("Тепло")}));
    EXPECT_EQ(form.Catalogue().Roots().size(), 1);
}
