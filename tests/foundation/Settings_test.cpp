// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store: entry rules, plain and section files, locking, failures.
#include "foundation/Settings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <atomic>
#include <thread>
#include <vector>

#include "foundation/Exceptions.h"
#include "foundation/Functions.h"
#include "foundation/Settingkeys.h"
#include "foundation/Stringtable.h"
#include "tests/foundation/Printers.h"

namespace {
QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class SettingsFile : public ::testing::Test {
  protected:
    // Loads `bytes` as a plain settings file into a fresh store.
    tSettings& Loaded(const QByteArray& bytes, bool threadSafe = false) {
        WriteFile(Path(), bytes);
        FStore = std::make_unique<tSettings>(threadSafe);
        FStore->Load(Path());
        return *FStore;
    }
    QString Path(const char* name = "rovelin.cfg") const { return FDir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir FDir;
    std::unique_ptr<tSettings> FStore;
};

// ---- entry rules ---------------------------------------------------------------------------

TEST_F(SettingsFile, LookupIsCaseInsensitiveAndFirstLineWins) {
    tSettings& s = Loaded("UseCDC=1\r\nA=1\r\nA=2\r\n");
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("usecdc")), QStringLiteral("1"));
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("A")), QStringLiteral("1"));
    EXPECT_EQ(s.GetSettingByIndex(2), QStringLiteral("1")) << "index 2 names A, whose first value is 1";
    EXPECT_EQ(s.IndexOfName(QStringLiteral("a")), 1);
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("Missing")), QString());
    EXPECT_EQ(s.IndexOfName(QStringLiteral("Missing")), -1);
}

TEST_F(SettingsFile, NothingIsTrimmedAndLaterEqualsBelongToTheValue) {
    tSettings& s = Loaded("Key = 5\nX=a=b\nno equals here\n");
    EXPECT_EQ(s.GetNameByIndex(0), QStringLiteral("Key "));
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("Key ")), QStringLiteral(" 5"));
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("Key")), QString());
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("X")), QStringLiteral("a=b"));
    EXPECT_EQ(s.GetNameByIndex(2), QString());
    EXPECT_EQ(s.IndexOfName(QStringLiteral("no equals here")), -1);
    EXPECT_EQ(s.GetCount(), 3);
}

TEST(Settings, SetEmptyValueDeletesButAddNameKeeps) {
    tSettings s;
    s.AddName(QStringLiteral("A"), QStringLiteral("1"));
    s.AddName(QStringLiteral("B"), QStringLiteral("2"));
    s.SetSettingByName(QStringLiteral("a"), QString());
    EXPECT_EQ(s.GetCount(), 1);
    EXPECT_EQ(s.IndexOfName(QStringLiteral("A")), -1);
    s.SetSettingByName(QStringLiteral("Absent"), QString());  // nothing to delete
    EXPECT_EQ(s.GetCount(), 1);

    EXPECT_EQ(s.AddName(QStringLiteral("A"), QString()), 1) << "absent name: appended at the old count";
    EXPECT_EQ(s.GetCount(), 2);
    EXPECT_EQ(s.IndexOfName(QStringLiteral("A")), 1) << "stored as A=";
    EXPECT_EQ(s.AddName(QStringLiteral("b"), QStringLiteral("3")), 0) << "present name: its index";
    EXPECT_EQ(s.GetCount(), 2);
    EXPECT_EQ(s.GetNameByIndex(0), QStringLiteral("b"));
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("B")), QStringLiteral("3"));
}

TEST(Settings, SetByNameReplacesFirstInPlaceOrAppends) {
    tSettings s;
    s.SetSettingByName(QStringLiteral("A"), QStringLiteral("1"));
    s.SetSettingByName(QStringLiteral("B"), QStringLiteral("2"));
    s.SetSettingByName(QStringLiteral("a"), QStringLiteral("9"));
    EXPECT_EQ(s.GetCount(), 2);
    EXPECT_EQ(s.IndexOfName(QStringLiteral("A")), 0);
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("A")), QStringLiteral("9"));
    s.SetSettingByIndex(1, QStringLiteral("7"));
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("B")), QStringLiteral("7"));
}

TEST(Settings, IndexOutsideTheListRaisesAndChangesNothing) {
    tSettings s;
    s.AddName(QStringLiteral("A"), QStringLiteral("1"));
    EXPECT_THROW(s.GetNameByIndex(1), tListIndexError);
    EXPECT_THROW(s.GetSettingByIndex(-1), tListIndexError);
    EXPECT_THROW(s.SetSettingByIndex(1, QStringLiteral("x")), tListIndexError);
    EXPECT_THROW(s.SetSettingByIndex(-1, QString()), tListIndexError);
    EXPECT_EQ(s.GetCount(), 1);
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("A")), QStringLiteral("1"));
}

TEST(Settings, IntegerValuesFallBackToTheDefault) {
    tSettings s;
    s.AddName(QStringLiteral("Timeout"), QStringLiteral("3000"));
    s.AddName(QStringLiteral("Hex"), QStringLiteral("$10"));
    s.AddName(QStringLiteral("Bad"), QStringLiteral("12a"));
    EXPECT_EQ(s.GetInt(QStringLiteral("timeout"), 5000), 3000);
    EXPECT_EQ(s.GetInt(QStringLiteral("Hex"), 0), 16);
    EXPECT_EQ(s.GetInt(QStringLiteral("Bad"), 7), 7);
    EXPECT_EQ(s.GetInt(QStringLiteral("Missing"), 16), 16);
}

// ---- plain files ---------------------------------------------------------------------------

TEST_F(SettingsFile, LineEndsOfEveryKindAndNoFinalBreak) {
    tSettings& s = Loaded("A=1\rB=2\nC=3\r\nD=4");
    ASSERT_EQ(s.GetCount(), 4);
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("D")), QStringLiteral("4"));
    EXPECT_EQ(Loaded("A=1\r\n").GetCount(), 1) << "a final break gives no empty entry";
    EXPECT_EQ(Loaded("A=1\r\n\r\nB=2").GetCount(), 3) << "an empty line in between is kept";
}

TEST_F(SettingsFile, Windows1251FileReadsAsCyrillic) {
    tSettings& s = Loaded(QByteArray("Caption=\xD2\xE5\xEC\xEF\r\n"));  // "Темп" in code page 1251
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("Caption")), QStringLiteral("Темп"));
    EXPECT_EQ(Loaded("Caption=Темп\n").GetSettingByName(QStringLiteral("Caption")), QStringLiteral("Темп"));
}

TEST_F(SettingsFile, MissingFileRaises1004AndKeepsTheList) {
    tSettings& s = Loaded("A=1\n");
    const QString missing = Path("absent.cfg");
    try {
        s.Load(missing);
        FAIL() << "no error";
    } catch (const tFileOpenError& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Невозможно прочитать настройки из '%1'.\r\nПричина: Файл не найден.")
                      .arg(missing));
    }
    EXPECT_EQ(s.GetCount(), 1);
    EXPECT_EQ(s.GetFileName(), Path()) << "a failed load does not take the new name";
}

TEST_F(SettingsFile, FileOverOneMegabyteIsRefusedUnreadAndKeepsTheList) {
    QByteArray big = "A=2\n";
    big.append(QByteArray(ParameterFileLimit - big.size(), ';'));
    EXPECT_EQ(Loaded(big).GetSettingByName(QStringLiteral("A")), QStringLiteral("2"))
        << "exactly 1 MB is taken";

    tSettings& s = Loaded("A=1\n");
    big.append('\n');
    WriteFile(Path("big.cfg"), big);
    try {
        s.Load(Path("big.cfg"));
        FAIL() << "no error";
    } catch (const tFileOpenError& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Файл '%1' слишком большой (1048577 байт). Допускается не более 1 МБ.")
                      .arg(Path("big.cfg")));
    }
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("A")), QStringLiteral("1"));
    EXPECT_EQ(s.GetFileName(), Path());
}

TEST(Settings, LoadWithoutAnyPathShowsEmptyQuotes) {
    tSettings s;
    try {
        s.Load();
        FAIL() << "no error";
    } catch (const tFileOpenError& e) {
        EXPECT_EQ(e.Message(), FormatStr(msg::SettingsNotFound, QString()));
        EXPECT_TRUE(e.Message().contains(QStringLiteral("''")));
    }
}

TEST_F(SettingsFile, LoadWithoutArgumentUsesTheStoredName) {
    WriteFile(Path(), "A=1\n");
    tSettings s(Path(), false);
    s.Load();
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("A")), QStringLiteral("1"));
}

TEST_F(SettingsFile, SaveWritesEveryLineWithCrLfAndTakesTheName) {
    tSettings& s = Loaded("A=1\nplain line\nB=2");
    s.SetSettingByName(QStringLiteral("C"), QStringLiteral("3"));
    s.Save(Path("out.cfg"));
    EXPECT_EQ(ReadFile(Path("out.cfg")), QByteArray("A=1\r\nplain line\r\nB=2\r\nC=3\r\n"));
    EXPECT_EQ(s.GetFileName(), Path("out.cfg"));
}

// ---- section files -------------------------------------------------------------------------

TEST_F(SettingsFile, SectionModeReadsOnlyItsSection) {
    WriteFile(Path("a.ini"), "[Other]\r\nA=other\r\n[Device]\r\nA=1\r\nB=2\r\n[Tail]\r\nC=3\r\n");
    tSettings s(Path("a.ini"), QStringLiteral("Device"), false);
    s.Load();
    ASSERT_EQ(s.GetCount(), 2);
    EXPECT_EQ(s.GetSettingByName(QStringLiteral("A")), QStringLiteral("1"));
    EXPECT_EQ(s.IndexOfName(QStringLiteral("C")), -1);
}

TEST_F(SettingsFile, SectionSaveKeepsOtherSectionsAndKeys) {
    WriteFile(Path("a.ini"), "[Other]\r\nA=other\r\n[Device]\r\nA=1\r\nKeep=me\r\n[Tail]\r\nC=3\r\n");
    tSettings s(Path("a.ini"), QStringLiteral("Device"), false);
    s.Load();
    s.SetSettingByName(QStringLiteral("A"), QStringLiteral("5"));
    s.SetSettingByName(QStringLiteral("Keep"), QString());  // gone from the list, stays in the file
    s.SetSettingByName(QStringLiteral("New"), QStringLiteral("n"));
    s.Save();

    tSettings device(Path("a.ini"), QStringLiteral("Device"), false);
    device.Load();
    EXPECT_EQ(device.GetSettingByName(QStringLiteral("A")), QStringLiteral("5"));
    EXPECT_EQ(device.GetSettingByName(QStringLiteral("Keep")), QStringLiteral("me"));
    EXPECT_EQ(device.GetSettingByName(QStringLiteral("New")), QStringLiteral("n"));
    tSettings other(Path("a.ini"), QStringLiteral("Other"), false);
    other.Load();
    EXPECT_EQ(other.GetSettingByName(QStringLiteral("A")), QStringLiteral("other"));
    tSettings tail(Path("a.ini"), QStringLiteral("Tail"), false);
    tail.Load();
    EXPECT_EQ(tail.GetSettingByName(QStringLiteral("C")), QStringLiteral("3"));
}

TEST_F(SettingsFile, SectionSaveCreatesFileAndSection) {
    tSettings s(QStringLiteral(""), QStringLiteral("Fresh"), false);
    s.AddName(QStringLiteral("K"), QStringLiteral("v"));
    s.Save(Path("new.ini"));
    EXPECT_EQ(s.GetFileName(), Path("new.ini"));
    tSettings back(Path("new.ini"), QStringLiteral("fresh"), false);
    back.Load();
    EXPECT_EQ(back.GetSettingByName(QStringLiteral("K")), QStringLiteral("v"));
}

// ---- copying and locking -------------------------------------------------------------------

TEST(Settings, AssignToReplacesEverything) {
    tSettings source(QStringLiteral("a.cfg"), QStringLiteral("S"), true);
    source.AddName(QStringLiteral("A"), QStringLiteral("1"));
    tSettings target(true);
    target.AddName(QStringLiteral("Old"), QStringLiteral("x"));
    target.AddName(QStringLiteral("Older"), QStringLiteral("y"));
    source.AssignTo(&target);
    EXPECT_EQ(target.GetCount(), 1);
    EXPECT_EQ(target.GetSection(), QStringLiteral("S"));
    EXPECT_EQ(target.GetFileName(), QStringLiteral("a.cfg"));
    EXPECT_EQ(target.GetSettingByName(QStringLiteral("A")), QStringLiteral("1"));
    source.AssignTo(&source);  // onto itself: no dead-lock, nothing changes
    EXPECT_EQ(source.GetCount(), 1);
}

TEST(Settings, LockedStoreSurvivesReadersAndWriters) {
    tSettings s(true);
    for (int i = 0; i < 50; ++i) s.AddName(QStringLiteral("K%1").arg(i), QStringLiteral("%1").arg(i));
    std::atomic<bool> wrong{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&] {
            for (int n = 0; n < 2000; ++n) {
                const QString v = s.GetSettingByName(QStringLiteral("K7"));
                if (v != QStringLiteral("7") && v != QStringLiteral("seven")) wrong = true;
                if (s.GetCount() < 50) wrong = true;
            }
        });
    threads.emplace_back([&] {
        for (int n = 0; n < 2000; ++n) {
            s.SetSettingByName(QStringLiteral("K7"), n % 2 ? QStringLiteral("seven") : QStringLiteral("7"));
            s.SetSettingByName(QStringLiteral("Extra"), n % 2 ? QStringLiteral("e") : QString());
        }
    });
    for (std::thread& t : threads) t.join();
    EXPECT_FALSE(wrong);
}
}  // namespace

// ---- the table of keys ----

namespace {
QString SourceFile(const QString& relative) {
    QFile file(QStringLiteral(ROVELIN_TEST_DATA "/../../") + relative);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << relative.toStdString();
    return QString::fromUtf8(file.readAll());
}
}  // namespace

TEST(SettingKeys, TheReadmeTableAndTheShippedFileFollowTheTable) {
    // README: the rows "| `Key` | default | meaning |" of the settings section.
    const QString readme = SourceFile(QStringLiteral("README.md"));
    const qsizetype section = readme.indexOf(QStringLiteral("## Settings: `rovelin.cfg`"));
    ASSERT_GE(section, 0);
    const qsizetype end = readme.indexOf(QStringLiteral("\n## "), section + 1);
    static const QRegularExpression row(QStringLiteral("^\\| `([A-Za-z_]+)` \\| ([^|]*) \\|"),
                                        QRegularExpression::MultilineOption);
    QMap<QString, QString> documented;
    for (auto it = row.globalMatch(readme.mid(section, end - section)); it.hasNext();) {
        const auto m = it.next();
        documented.insert(m.captured(1), m.captured(2).trimmed());
    }
    QStringList shipped;
    for (const QString& line : SourceFile(QStringLiteral("app/rovelin.cfg")).split(u'\n', Qt::SkipEmptyParts))
        shipped << line.section(u'=', 0, 0).trimmed();

    QStringList names;
    for (const tSettingKey* key : SettingKeys()) {
        const QString name = QString::fromLatin1(key->Name);
        names << name;
        ASSERT_TRUE(documented.contains(name)) << "README lacks " << key->Name;
        EXPECT_EQ(documented.value(name), QString::fromLatin1(key->Default)) << key->Name;
        EXPECT_EQ(SettingText(nullptr, *key), QString::fromLatin1(key->Default));
    }
    EXPECT_EQ(QStringList(documented.keys()).size(), names.size())
        << "README documents a key the program does not read";
    EXPECT_EQ(shipped, names) << "the shipped rovelin.cfg lists every key once, in the table's order";
}

TEST(SettingKeys, AbsentOrBadValuesTakeTheDefault) {
    tSettings settings;
    settings.AddName(QStringLiteral("timeout"), QStringLiteral("0x10"));
    settings.AddName(QStringLiteral("Latency"), QStringLiteral("fast"));
    settings.AddName(QStringLiteral("HID_VID"), QString());
    EXPECT_EQ(SettingInt(&settings, setting::Timeout), 16);
    EXPECT_EQ(SettingInt(&settings, setting::Latency), 16);
    EXPECT_EQ(SettingInt(&settings, setting::InSize), 4096);
    EXPECT_EQ(SettingText(&settings, setting::HidVid), QStringLiteral("vid_0483"));
}
