// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue as the chooser and the start page list it: groups and scenarios of several roots,
// the scenarios below a group, and the entry of a scenario folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "experiments/Catalogue.h"

namespace {
class CatalogueListing : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FRoot = FDir.path() + QStringLiteral("/data/");
        FExtra = FDir.path() + QStringLiteral("/school");
        for (const char* folder :
             {"data/Тепло/Нагрев", "data/Тепло/Ещё/Глубже", "data/Тепло/Ещё/Глубже2",
              "data/Тепло/10 Последний", "data/Свет", "data/.скрытая/Опыт", "school/Своё/Опыт"})
            ASSERT_TRUE(QDir(FDir.path()).mkpath(QString::fromUtf8(folder)));
    }
    static QStringList Captions(const QList<tCatalogueEntry>& entries) {
        QStringList names;
        for (const tCatalogueEntry& e : entries) names << e.Caption;
        return names;
    }
    QTemporaryDir FDir;
    QString FRoot;
    QString FExtra;  // without a trailing '/': it is added
};
}  // namespace

TEST_F(CatalogueListing, TopLevelListsEveryRootInOrderWithoutHiddenFolders) {
    const tCatalogue catalogue({tCatalogueRoot{FRoot, QString(), tCatalogueRoot::Program},
                                tCatalogueRoot{FExtra, QString(), tCatalogueRoot::Program}});
    EXPECT_EQ(catalogue.Roots().value(1).Path, FExtra + u'/');
    const QList<tCatalogueEntry> top = catalogue.TopLevel();
    EXPECT_EQ(Captions(top), QStringList({"Свет", "Тепло", "Своё"}));
    ASSERT_EQ(top.size(), 3);
    EXPECT_FALSE(top[0].Group);
    EXPECT_TRUE(top[1].Group);
    EXPECT_EQ(top[2].Root, FExtra + u'/');
    EXPECT_EQ(top[2].Folder(), FExtra + QStringLiteral("/Своё/"));
}

TEST_F(CatalogueListing, ScenariosBelowAGroupDepthFirstUpToTheLimit) {
    const tCatalogueEntry heat =
        tCatalogue({tCatalogueRoot{FRoot, QString(), tCatalogueRoot::Program}}).TopLevel().value(1);
    ASSERT_EQ(heat.Caption, "Тепло");
    EXPECT_EQ(Captions(tCatalogue::Children(heat)), QStringList({"10 Последний", "Ещё", "Нагрев"}));
    const QList<tCatalogueEntry> all = tCatalogue::ScenariosBelow(heat, 100);
    EXPECT_EQ(Captions(all), QStringList({"10 Последний", "Глубже", "Глубже2", "Нагрев"}));
    EXPECT_EQ(all[2].Relative, QStringLiteral("Тепло/Ещё/Глубже2/"));
    EXPECT_EQ(Captions(tCatalogue::ScenariosBelow(heat, 2)), QStringList({"10 Последний", "Глубже"}));
    EXPECT_TRUE(tCatalogue::ScenariosBelow(all[0], 10).isEmpty()) << "a scenario holds no scenarios";
}

TEST_F(CatalogueListing, LocateFindsTheEntryOfAFolderUnderAnyRoot) {
    const tCatalogue catalogue({tCatalogueRoot{FRoot, QString(), tCatalogueRoot::Program},
                                tCatalogueRoot{FExtra, QString(), tCatalogueRoot::Program}});
    tCatalogueEntry entry;
    ASSERT_TRUE(catalogue.Locate(FRoot + QStringLiteral("Тепло/Ещё/Глубже/"), entry));
    EXPECT_EQ(entry, (tCatalogueEntry{"Глубже", FRoot, "Тепло/Ещё/Глубже/", false}));
    ASSERT_TRUE(catalogue.Locate(FExtra + QStringLiteral("//Своё"), entry));
    EXPECT_EQ(entry.Relative, QStringLiteral("Своё/"));
    EXPECT_TRUE(entry.Group);
    EXPECT_FALSE(catalogue.Locate(FRoot, entry)) << "the root itself is no entry";
    EXPECT_FALSE(catalogue.Locate(FDir.path() + QStringLiteral("/data2/Опыт/"), entry));
}
