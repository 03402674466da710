// SPDX-License-Identifier: GPL-3.0-or-later
// School-wide settings and the user's own values: which file is read, what a user may change,
// what an administrator's mistakes give, and the user's values written back.
#include "foundation/Schoolsettings.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "foundation/Cp1251.h"
#include "foundation/Exceptions.h"
#include "foundation/Language.h"

namespace {
class SchoolSettings : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    QString Dir(const QString& name) const { return FDir.filePath(name); }
    // Writes <folder>/rovelin/school.conf.
    void Write(const QString& folder, const QByteArray& bytes) {
        ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/rovelin")));
        QFile f(folder + QStringLiteral("/rovelin/school.conf"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    tSchoolSettings Load() {
        return tSchoolSettings::Load({Dir(QStringLiteral("etc-a")), Dir(QStringLiteral("etc-b"))},
                                     Dir(QStringLiteral("config")), QStringLiteral("/home/masha"),
                                     QStringLiteral("masha"));
    }
    static QStringList Paths(const QList<tCatalogueSource>& sources) {
        QStringList paths;
        for (const tCatalogueSource& s : sources)
            paths << s.Path + u'|' + s.Name + (s.FromSchool ? "|школа" : "|свой");
        return paths;
    }

    QTemporaryDir FDir;
};

TEST_F(SchoolSettings, TheSchoolFileDecidesWhatTheUserMayChange) {
    // The second folder of the list holds the school file; the first has none.
    Write(Dir(QStringLiteral("etc-b")),
          "# Настройки школы 7\n"
          "[General]\n"
          "  lessonfolder = ~/Уроки  \n"
          "ExchangeFolder=/srv/обмен/${USER}\n"
          "ExchangeFolder=/второй/не/читается\n"
          "Catalogue = /srv/сценарии | Сценарии школы №7\n"
          "Catalogue=/srv/ещё/Опыты 5 класса\n"
          "UserMayChange = Catalogue, LessonFolder\n");
    Write(Dir(QStringLiteral("config")),
          "LessonFolder = $HOME/Мои уроки\n"
          "ExchangeFolder = /tmp/куда-хочу\n"
          "Catalogue = /home/masha/опыты | Мои опыты\n"
          "Catalogue = /srv/сценарии\n"
          "PupilName = Иванова Мария\n");
    const tSchoolSettings s = Load();
    EXPECT_EQ(s.SchoolFile(), Dir(QStringLiteral("etc-b/rovelin/school.conf")));
    EXPECT_EQ(s.UserFile(), Dir(QStringLiteral("config/rovelin/school.conf")));
    EXPECT_TRUE(s.UserMayChange(tSchoolSettings::LessonFolderKey));
    EXPECT_TRUE(s.UserMayChange(tSchoolSettings::CatalogueKey));
    EXPECT_FALSE(s.UserMayChange(tSchoolSettings::ExchangeFolderKey));
    EXPECT_EQ(s.LessonFolder(), QStringLiteral("/home/masha/Мои уроки"));
    EXPECT_EQ(s.ExchangeFolder(), QStringLiteral("/srv/обмен/masha"))
        << "the user's own value is not allowed";
    // The school's catalogues first, then the user's own; one listed twice counts once.
    EXPECT_EQ(Paths(s.Catalogues()),
              QStringList({QStringLiteral("/srv/сценарии|Сценарии школы №7|школа"),
                           QStringLiteral("/srv/ещё/Опыты 5 класса|Опыты 5 класса|школа"),
                           QStringLiteral("/home/masha/опыты|Мои опыты|свой")}));
    EXPECT_EQ(s.PupilName(), QStringLiteral("Иванова Мария"));
    EXPECT_TRUE(s.Problems().isEmpty()) << s.Problems().join(u'\n').toStdString();
}

TEST_F(SchoolSettings, WhoMayChangeWhat) {
    Write(Dir(QStringLiteral("config")),
          "LessonFolder=/home/masha/уроки\nExchangeFolder=/mnt/сдача\nCatalogue=/home/masha/опыты\n");
    // Without a school file the user's values are all there is.
    tSchoolSettings s = Load();
    EXPECT_TRUE(s.SchoolFile().isEmpty());
    EXPECT_EQ(s.LessonFolder(), QStringLiteral("/home/masha/уроки"));
    EXPECT_EQ(s.ExchangeFolder(), QStringLiteral("/mnt/сдача"));
    EXPECT_EQ(s.Catalogues().size(), 1);

    // A school file that does not say: the lesson folder stays the user's, the rest is the school's.
    Write(Dir(QStringLiteral("etc-a")), "LessonFolder=/srv/уроки\nExchangeFolder=/srv/сдача\n");
    s = Load();
    EXPECT_EQ(s.LessonFolder(), QStringLiteral("/home/masha/уроки"));
    EXPECT_EQ(s.ExchangeFolder(), QStringLiteral("/srv/сдача"));
    EXPECT_TRUE(s.Catalogues().isEmpty());

    // "none": everything is the school's; the first folder of the list wins over the second.
    Write(Dir(QStringLiteral("etc-b")), "UserMayChange=LessonFolder ExchangeFolder Catalogue\n");
    Write(Dir(QStringLiteral("etc-a")), "LessonFolder=/srv/уроки\nUserMayChange=none\n");
    s = Load();
    EXPECT_EQ(s.SchoolFile(), Dir(QStringLiteral("etc-a/rovelin/school.conf")));
    EXPECT_EQ(s.LessonFolder(), QStringLiteral("/srv/уроки"));
    EXPECT_TRUE(s.ExchangeFolder().isEmpty());
    EXPECT_TRUE(s.Catalogues().isEmpty());
}

TEST_F(SchoolSettings, MistakesAreNamedAndSkipped) {
    // Windows-1251, as a file written on a Windows machine of the school would be.
    Write(Dir(QStringLiteral("etc-a")), EncodeCp1251(QStringLiteral("ExchangeFolder = сдача\n"
                                                                    "Каталог = /srv/x\n"
                                                                    "просто строка\n"
                                                                    "UserMayChange = LessonFolder, всё\n"
                                                                    "Catalogue = /srv/сценарии\n")));
    const tSchoolSettings s = Load();
    EXPECT_TRUE(s.ExchangeFolder().isEmpty()) << "a relative folder is no folder";
    ASSERT_EQ(s.Catalogues().size(), 1);
    EXPECT_EQ(s.Catalogues()[0].Name, QStringLiteral("сценарии"));
    const QString problems = s.Problems().join(u'\n');
    const QString file = s.SchoolFile();
    EXPECT_TRUE(problems.contains(file + QStringLiteral(":1: «сдача»"))) << problems.toStdString();
    EXPECT_TRUE(problems.contains(file + QStringLiteral(":2: неизвестное имя «Каталог»")))
        << problems.toStdString();
    EXPECT_TRUE(problems.contains(file + QStringLiteral(":3: строка без"))) << problems.toStdString();
    EXPECT_TRUE(problems.contains(QStringLiteral("неизвестное имя «всё»"))) << problems.toStdString();
    EXPECT_TRUE(s.UserMayChange(tSchoolSettings::LessonFolderKey));
}

TEST_F(SchoolSettings, TheUsersValuesAreWrittenBackKeepingTheRest) {
    tSchoolSettings s = Load();
    EXPECT_TRUE(s.PupilName().isEmpty());
    // A fresh account: folder and file are made.
    s.SaveUserValue(QStringLiteral("PupilName"), QStringLiteral("  Петров\nПётр "));
    EXPECT_EQ(s.PupilName(), QStringLiteral("Петров Пётр"));
    EXPECT_EQ(Load().PupilName(), QStringLiteral("Петров Пётр"));

    Write(Dir(QStringLiteral("config")),
          "# мои настройки\nLessonFolder = /home/masha/уроки\npupilname = Старое Имя\n");
    s = Load();
    s.SaveUserValue(QStringLiteral("PupilName"), QStringLiteral("Сидорова Анна"));
    QFile f(s.UserFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        QString::fromUtf8(f.readAll()),
        QStringLiteral("# мои настройки\nLessonFolder = /home/masha/уроки\nPupilName = Сидорова Анна\n"));
    f.close();
    s.SaveUserValue(QStringLiteral("LessonFolder"), QString());
    EXPECT_TRUE(Load().LessonFolder().isEmpty());
    EXPECT_EQ(Load().PupilName(), QStringLiteral("Сидорова Анна"));

    // A user file that cannot be written: the error names it, the file stays.
    ASSERT_TRUE(QFile::remove(s.UserFile()));
    ASSERT_TRUE(QDir().mkdir(s.UserFile()));
    EXPECT_THROW(s.SaveUserValue(QStringLiteral("PupilName"), QStringLiteral("Х")), tException);
}

TEST_F(SchoolSettings, TheEnvironmentNamesTheFolders) {
    Write(Dir(QStringLiteral("etc-b")), "ExchangeFolder=/srv/сдача\n");
    Write(Dir(QStringLiteral("home-config")), "PupilName=Иванов Иван\n");
    const QByteArray dirs = qgetenv("XDG_CONFIG_DIRS"), home = qgetenv("XDG_CONFIG_HOME");
    // A relative entry is no configuration folder and is skipped.
    qputenv("XDG_CONFIG_DIRS", ("relative/etc:" + Dir(QStringLiteral("etc-b"))).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", Dir(QStringLiteral("home-config")).toLocal8Bit());
    const tSchoolSettings s = tSchoolSettings::Load();
    qputenv("XDG_CONFIG_DIRS", dirs);
    qputenv("XDG_CONFIG_HOME", home);
    EXPECT_EQ(s.ExchangeFolder(), QStringLiteral("/srv/сдача"));
    EXPECT_EQ(s.PupilName(), QStringLiteral("Иванов Иван"));
}
}  // namespace

TEST_F(SchoolSettings, MistakesAreNamedInEnglishWithTheEnglishInterface) {
    Write(Dir(QStringLiteral("etc-a")),
          "ExchangeFolder = hand-in\nCatalog = /srv/x\njust a line\n"
          "UserMayChange = LessonFolder, everything\n");
    ASSERT_TRUE(InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::English));
    const tSchoolSettings s = Load();
    InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::Russian);
    const QString file = s.SchoolFile();
    EXPECT_EQ(s.Problems(),
              QStringList({file + QStringLiteral(":1: “hand-in” is not a full path (one starting with /)"),
                           file + QStringLiteral(":2: unknown name “Catalog”"),
                           file + QStringLiteral(":3: line without “Name = value”"),
                           file + QStringLiteral(": UserMayChange: unknown name “everything”")}))
        << s.Problems().join(u'\n').toStdString();
}
