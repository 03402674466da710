// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Experiment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <utility>

#include "foundation/Cp1251.h"
#include "foundation/Functions.h"
#include "foundation/Messagebox.h"
#include "foundation/Stringtable.h"

namespace {
class ExperimentLoader : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FRoot = FDir.path() + u'/';
        SetMessageBoxResponderForTests([this](const tBoxRequest& r) {
            FBoxes.push_back(r);
            return tBoxAnswer{};
        });
    }
    void TearDown() override {
        SetMessageBoxResponderForTests({});
        SetDecimalSeparatorForTests(QChar());
    }
    // Writes experiment.txt of `folder` (relative, ending with '/') with the given bytes.
    void Write(const QString& folder, const QByteArray& bytes) {
        ASSERT_TRUE(QDir().mkpath(FRoot + folder));
        QFile f(FRoot + folder + QStringLiteral("experiment.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    tExperiment Load(const QByteArray& bytes, bool expectOk = true) {
        Write(QStringLiteral("s/"), bytes);
        tExperiment r;
        QString error;
        EXPECT_EQ(LoadExperimentFile(FRoot + QStringLiteral("s/"), r, error), expectOk)
            << error.toStdString();
        FError = error;
        return r;
    }

    QTemporaryDir FDir;
    QString FRoot;
    QString FError;
    std::vector<tBoxRequest> FBoxes;
};
}  // namespace

// ---- record defaults ----

TEST(ExperimentRecord, NewAndClearedValues) {
    tExperiment r;
    EXPECT_TRUE(r.SensorName.isEmpty());
    EXPECT_EQ(r.Freq, 0);
    EXPECT_EQ(r.Average, 0);
    EXPECT_FALSE(r.AutoSize);
    EXPECT_EQ(r.SeriesCount, 1);

    r.Name = "N";
    r.Path = "P/";
    r.FormatX = "0.0";
    r.FormatY = "0.00";
    r.TwiceMarker = true;
    r.SensorName = "X";
    r.AutoSize = true;
    r.YOffset = 0.5;
    r.SeriesCount = 2;
    r.Clear();
    EXPECT_TRUE(r.SensorName.isEmpty());
    EXPECT_EQ(r.Freq, 10000);
    EXPECT_EQ(r.Average, 1);
    EXPECT_EQ(r.MaxX, 100);
    EXPECT_EQ(r.IncY, 10);
    EXPECT_EQ(r.CaptionX, QStringLiteral("Значение"));
    EXPECT_EQ(r.CaptionY, QStringLiteral("t, c"));
    EXPECT_FALSE(r.AutoSize);
    EXPECT_EQ(r.YOffset, 0);
    EXPECT_EQ(r.SeriesCount, 1);
    // Kept across Clear.
    EXPECT_EQ(r.Name, "N");
    EXPECT_EQ(r.Path, "P/");
    EXPECT_EQ(r.FormatX, "0.0");
    EXPECT_EQ(r.FormatY, "0.00");
    EXPECT_TRUE(r.TwiceMarker);
}

// ---- key table ----

TEST_F(ExperimentLoader, OnlySensorNameGivesTableDefaults) {
    tExperiment r = Load("SensorName=X\r\n");
    EXPECT_EQ(r.SensorName, "X");
    EXPECT_EQ(r.Freq, 100000);
    EXPECT_EQ(r.Average, 1);
    EXPECT_EQ(r.MinX, 0);
    EXPECT_EQ(r.MaxX, 100);
    EXPECT_EQ(r.IncX, 10);
    EXPECT_EQ(r.MinY, 0);
    EXPECT_EQ(r.MaxY, 100);
    EXPECT_EQ(r.IncY, 10);
    EXPECT_TRUE(r.CaptionX.isEmpty());
    EXPECT_TRUE(r.CaptionY.isEmpty());
    EXPECT_TRUE(r.FormatX.isEmpty());
    EXPECT_FALSE(r.TwiceMarker);
    EXPECT_EQ(r.SeriesCount, 1);
}

TEST_F(ExperimentLoader, MissingSensorNameKeepsItsOwnTextAnEmptyOneIsNamed) {
    Load("Freq=5\nSensor=X\n", false);
    EXPECT_EQ(FError, QStringLiteral("Не указан датчик используемый в экперименте."));
    // An empty name would start a search that no sensor can answer.
    const tExperiment r = Load("SensorName=\r\nFreq=5\r\n", false);
    EXPECT_EQ(FError, QStringLiteral("В файле '%1' есть значения, с которыми опыт не пойдёт:\r\n"
                                     "SensorName= без значения: впишите модель датчика (например, "
                                     "SensorName=T100) или SensorName=NO для опыта без датчика.")
                          .arg(FRoot + QStringLiteral("s/experiment.txt")));
    EXPECT_EQ(r.Freq, 5) << "the record is filled all the same";
}

// Every value that cannot work is named with its key and its text as written, in one message.
TEST_F(ExperimentLoader, ValuesNoRunCanWorkWithAreNamedInOneMessage) {
    struct tCase {
        QByteArray file;
        QStringList lines;  // what follows the heading line
    };
    const tCase cases[] = {
        {"SensorName=T100\nFreq=0\n",
         {"Freq=0: период опроса датчика в микросекундах должен быть больше нуля (например, Freq=100000 — "
          "10 точек в секунду)."}},
        {"SensorName=T100\nFreq=abc\n", {}},  // not a number: the default period is kept
        {"SensorName=T100\nFreq=$0\n", {"Freq=$0: период"}},
        {"SensorName=T100\nFreq=-5\nMinX=10\nMaxX=5\n",
         {"Freq=-5: период", "MaxX=5: конец оси времени должен быть больше её начала, MinX=10."}},
        {"SensorName=T100\nMinX=200\n",
         {"MaxX (не указано, по умолчанию 100): конец оси времени должен быть больше её начала, MinX=200."}},
        {"SensorName=T100\nMinY=3\nMaxY=3\n",
         {"MaxY=3: верх оси значений должен быть больше её низа, MinY=3."}},
        {"SensorName=T100\nMinY=500\nMaxY=abc\n",
         {"MaxY=abc (не число, взято 100): верх оси значений должен быть больше её низа, MinY=500."}},
        {"SensorName=T100\nFormatY=abc\nFormatX=\"0\" c\n",
         {"FormatX=\"0\" c: в шаблоне числа нет ни 0, ни #, и вместо значения был бы виден этот текст "
          "(например, FormatX=0.0 показывает 21,5).",
          "FormatY=abc: в шаблоне"}},
        // Words in the zero section are the author's choice; an empty first section is the general form.
        {"SensorName=T100\nFormatY=0.0;-0.0;ноль\nFormatX=;-0\n", {}},
        {"SensorName=T100\nFormatY=0.0;минус\n", {"FormatY=0.0;минус: в шаблоне"}},
        {"SensorName=NO\nFreq=1\nMinX=-5\nMaxX=-4.5\nMinY=-1e3\nMaxY=0\nFormatY=#,##0\" В\"\n", {}},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        Load(c.file, c.lines.isEmpty());
        if (c.lines.isEmpty()) continue;
        const QStringList lines = FError.split(QStringLiteral("\r\n"));
        ASSERT_EQ(lines.size(), c.lines.size() + 1) << FError.toStdString();
        EXPECT_EQ(lines[0], QStringLiteral("В файле '%1' есть значения, с которыми опыт не пойдёт:")
                                .arg(FRoot + QStringLiteral("s/experiment.txt")));
        for (int i = 0; i < c.lines.size(); ++i)
            EXPECT_TRUE(lines[i + 1].startsWith(c.lines[i])) << lines[i + 1].toStdString();
    }
}

TEST_F(ExperimentLoader, AStoredScenarioWithSuchValuesStillFillsTheRecord) {
    // A lesson keeps its scenario's entries; opening it must not lose the rest of the record.
    tExperiment r;
    QString error;
    EXPECT_FALSE(ParseExperiment("SensorName=T100\r\nFreq=0\r\nMaxY=12,5\r\nSeriesCount=2\r\n", r, error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("В сценарии есть значения"))) << error.toStdString();
    EXPECT_EQ(r.SensorName, "T100");
    EXPECT_EQ(r.Freq, 0);
    EXPECT_DOUBLE_EQ(r.MaxY, 12.5);
    EXPECT_EQ(r.SeriesCount, 2);
}

TEST_F(ExperimentLoader, EntryRulesOfTheSettingsStore) {
    // Lower-case name found, first line wins, nothing trimmed, '=' inside the value kept, any line end.
    tExperiment r = Load("sensorname=X\rSENSORNAME=Y\nCaptionX= t=c \r\nCaptionY =ignored\nFreq=1000");
    EXPECT_EQ(r.SensorName, "X");
    EXPECT_EQ(r.CaptionX, " t=c ");
    EXPECT_TRUE(r.CaptionY.isEmpty());
    EXPECT_EQ(r.Freq, 1000);
}

TEST_F(ExperimentLoader, IntegersDecimalAndHex) {
    tExperiment r = Load("SensorName=X\nFreq=$10\nAverage=0x0A\n");
    EXPECT_EQ(r.Freq, 16);
    EXPECT_EQ(r.Average, 10);
    EXPECT_EQ(Load("SensorName=X\nFreq=1e3\nAverage=\n").Freq, 100000);
}

TEST_F(ExperimentLoader, AverageBelowOneBecomesOne) {
    EXPECT_EQ(Load("SensorName=X\nAverage=0\n").Average, 1);
    EXPECT_EQ(Load("SensorName=X\nAverage=-4\n").Average, 1);
    EXPECT_EQ(Load("SensorName=X\nAverage=7\n").Average, 7);
}

TEST_F(ExperimentLoader, RealsWithEitherSeparator) {
    for (QChar sep : {QChar(u'.'), QChar(u',')}) {
        SetDecimalSeparatorForTests(sep);
        EXPECT_DOUBLE_EQ(Load("SensorName=X\nMaxY=12,5\n").MaxY, 12.5);
        EXPECT_DOUBLE_EQ(Load("SensorName=X\nMaxY=12.5\n").MaxY, 12.5);
        EXPECT_DOUBLE_EQ(Load("SensorName=X\nMaxY=abc\n").MaxY, 100);
        EXPECT_DOUBLE_EQ(Load("SensorName=X\nYOffset=-0,25\n").YOffset, -0.25);
    }
}

TEST_F(ExperimentLoader, SeriesCountClamp) {
    EXPECT_EQ(Load("SensorName=X\nSeriesCount=0\n").SeriesCount, 1);
    EXPECT_EQ(Load("SensorName=X\nSeriesCount=3\n").SeriesCount, 1);
    EXPECT_EQ(Load("SensorName=X\nSeriesCount=-1\n").SeriesCount, 1);
    EXPECT_EQ(Load("SensorName=X\nSeriesCount=2\n").SeriesCount, 2);
}

TEST_F(ExperimentLoader, FlagsAreNonZeroIntegers) {
    EXPECT_TRUE(Load("SensorName=X\nAutoSize=2\n").AutoSize);
    EXPECT_FALSE(Load("SensorName=X\nAutoSize=yes\n").AutoSize);
    EXPECT_TRUE(Load("SensorName=X\nTwiceMarker=1\n").TwiceMarker);
    EXPECT_FALSE(Load("SensorName=X\nTwiceMarker=0\n").TwiceMarker);
}

// ---- code pages ----

TEST_F(ExperimentLoader, Cp1251AndUtf8Captions) {
    const QString caption = QStringLiteral("Температура, °C");
    tExperiment a = Load("SensorName=T100\r\nCaptionY=" + EncodeCp1251(caption) + "\r\n");
    EXPECT_EQ(a.CaptionY, caption);
    tExperiment b = Load("SensorName=T100\nCaptionY=" + caption.toUtf8() + "\n");
    EXPECT_EQ(b.CaptionY, caption);
}

// ---- LoadScenario: name, path, warnings ----

TEST_F(ExperimentLoader, ScenarioSetsNameAndPath) {
    Write(QStringLiteral("Группа/Опыт/"), "SensorName=T100\r\nCaptionX=t, c\r\n");
    tExperiment r;
    LoadScenario(QStringLiteral("Опыт"), QStringLiteral("Группа/Опыт/"), FRoot, &r);
    EXPECT_TRUE(FBoxes.empty());
    EXPECT_EQ(r.Name, QStringLiteral("Опыт"));
    EXPECT_EQ(r.Path, FRoot + QStringLiteral("Группа/Опыт/"));
    EXPECT_EQ(r.SensorName, "T100");
    EXPECT_EQ(r.Freq, 100000);  // the key table, not Clear, decides after a load
    EXPECT_EQ(r.CaptionY, QString());
}

// A scenario that cannot work is refused whole: one box, and the open one stays as it was (the
// record keeps its name, path and values; nothing of the refused file gets in).
TEST_F(ExperimentLoader, ARefusedScenarioShowsOneBoxAndLeavesTheRecord) {
    Write(QStringLiteral("old/"), "SensorName=T100\r\nFreq=500000\r\nCaptionY=t\r\n");
    tExperiment r;
    ASSERT_TRUE(LoadScenario(QStringLiteral("old"), QStringLiteral("old/"), FRoot, &r));
    const tExperiment before = r;
    Write(QStringLiteral("nosensor/"), "Freq=5\r\nCaptionY=x\r\n");
    Write(QStringLiteral("zero/"), "SensorName=T100\r\nFreq=0\r\nCaptionY=x\r\n");
    ASSERT_TRUE(QDir().mkpath(FRoot + QStringLiteral("nofile")));
    struct tCase {
        QString folder;
        QString cause;  // what follows message 5012 (its beginning)
    };
    const tCase cases[] = {
        {QStringLiteral("nosensor"), QStringLiteral("Не указан датчик используемый в экперименте.")},
        {QStringLiteral("zero"), QStringLiteral("В файле '%1zero/experiment.txt' есть значения").arg(FRoot)},
        {QStringLiteral("nofile"),
         QStringLiteral("Невозможно открыть файл '%1nofile/experiment.txt'").arg(FRoot)},
        {QStringLiteral("Нет"), QStringLiteral("Невозможно открыть файл '%1Нет/experiment.txt'").arg(FRoot)},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        FBoxes.clear();
        EXPECT_FALSE(LoadScenario(c.folder, c.folder + u'/', FRoot, &r));
        ASSERT_EQ(FBoxes.size(), 1u);
        EXPECT_EQ(FBoxes[0].kind, tBoxRequest::Warning);
        EXPECT_EQ(FBoxes[0].title, LoadStr(msg::TitleWarning));
        EXPECT_TRUE(FBoxes[0].text.startsWith(LoadStr(msg::CannotLoadScenario) + c.cause))
            << FBoxes[0].text.toStdString();
        EXPECT_EQ(r.Name, before.Name);
        EXPECT_EQ(r.Path, before.Path);
        EXPECT_EQ(r.SensorName, before.SensorName);
        EXPECT_EQ(r.Freq, before.Freq);
        EXPECT_EQ(r.CaptionX, before.CaptionX);
        EXPECT_EQ(r.CaptionY, before.CaptionY);
    }
}

TEST_F(ExperimentLoader, ANamedPipeInPlaceOfTheFileIsRefusedWithoutWaiting) {
    // Nothing ever writes to the pipe: opening it the ordinary way would wait for good.
    ASSERT_TRUE(QDir().mkpath(FRoot + QStringLiteral("pipe")));
    const QString fifo = FRoot + QStringLiteral("pipe/experiment.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    tExperiment r;
    r.Name = QStringLiteral("old");
    EXPECT_FALSE(LoadScenario(QStringLiteral("pipe"), QStringLiteral("pipe/"), FRoot, &r));
    ASSERT_EQ(FBoxes.size(), 1u);
    EXPECT_EQ(FBoxes[0].text, LoadStr(msg::CannotLoadScenario) + NotARegularFileText(fifo));
    EXPECT_EQ(r.Name, QStringLiteral("old"));
}

TEST_F(ExperimentLoader, FileOverOneMegabyteIsRefusedAndTheRecordStays) {
    QByteArray bytes = "SensorName=T100\r\nFreq=5\r\n";
    bytes.append(QByteArray(ParameterFileLimit - bytes.size(), ' '));
    Write(QStringLiteral("s/"), bytes);
    tExperiment r;
    EXPECT_TRUE(LoadScenario(QStringLiteral("s"), QStringLiteral("s/"), FRoot, &r));
    EXPECT_TRUE(FBoxes.empty()) << "exactly 1 MB is taken";
    EXPECT_EQ(r.Freq, 5);

    bytes.append('\n');
    Write(QStringLiteral("big/"), bytes);
    r.Name = QStringLiteral("old");
    EXPECT_FALSE(LoadScenario(QStringLiteral("big"), QStringLiteral("big/"), FRoot, &r));
    ASSERT_EQ(FBoxes.size(), 1u);
    EXPECT_EQ(FBoxes[0].kind, tBoxRequest::Warning);
    EXPECT_EQ(FBoxes[0].text,
              LoadStr(msg::CannotLoadScenario) +
                  QStringLiteral("Файл '%1' слишком большой (1048577 байт). Допускается не более 1 МБ.")
                      .arg(FRoot + QStringLiteral("big/experiment.txt")));
    EXPECT_EQ(r.Name, QStringLiteral("old"));
    EXPECT_EQ(r.Path, FRoot + QStringLiteral("s/"));
    EXPECT_EQ(r.Freq, 5);

    QString error;
    EXPECT_FALSE(LoadExperimentFile(FRoot + QStringLiteral("big/"), r, error));
    EXPECT_TRUE(error.contains(QStringLiteral("1 МБ")));
    EXPECT_EQ(r.Freq, 5);
}

TEST_F(ExperimentLoader, NullRecordIsIgnored) {
    LoadScenario(QStringLiteral("s"), QStringLiteral("s/"), FRoot, nullptr);
    EXPECT_TRUE(FBoxes.empty());
}

// ---- entries (the form a lesson file keeps the scenario in) ----

namespace {
void ExpectSameRecord(const tExperiment& a, const tExperiment& b) {
    EXPECT_EQ(a.SensorName, b.SensorName);
    EXPECT_EQ(a.FormatY, b.FormatY);
    EXPECT_EQ(a.FormatX, b.FormatX);
    EXPECT_EQ(a.Freq, b.Freq);
    EXPECT_EQ(a.Average, b.Average);
    EXPECT_EQ(a.TwiceMarker, b.TwiceMarker);
    EXPECT_EQ(a.CaptionX, b.CaptionX);
    EXPECT_EQ(a.MinX, b.MinX);
    EXPECT_EQ(a.MaxX, b.MaxX);
    EXPECT_EQ(a.IncX, b.IncX);
    EXPECT_EQ(a.CaptionY, b.CaptionY);
    EXPECT_EQ(a.MinY, b.MinY);
    EXPECT_EQ(a.MaxY, b.MaxY);
    EXPECT_EQ(a.IncY, b.IncY);
    EXPECT_EQ(a.AutoSize, b.AutoSize);
    EXPECT_EQ(a.YOffset, b.YOffset);
    EXPECT_EQ(a.SeriesCount, b.SeriesCount);
    EXPECT_EQ(a.Demo, b.Demo);
}
}  // namespace

TEST_F(ExperimentLoader, EntriesKeepTheFileAndParseAsTheFileDoes) {
    const QByteArray bytes =
        "sensorname=X\rSENSORNAME=Y\nno equals sign\n=nameless\nCaptionX= t=c \r\nMaxY=12,5\r\nFreq=$10\n";
    const tScenarioEntries entries = ExperimentEntries(bytes);
    ASSERT_EQ(entries.size(), 5);  // lines without a name are none
    EXPECT_EQ(entries[0], (QPair<QString, QString>(QStringLiteral("sensorname"), QStringLiteral("X"))));
    EXPECT_EQ(entries[2].second, QStringLiteral(" t=c "));
    tExperiment fromFile, fromEntries;
    fromFile.Clear();
    fromEntries.Clear();
    QString error;
    ASSERT_TRUE(ParseExperiment(bytes, fromFile, error));
    ASSERT_TRUE(ParseExperimentEntries(entries, fromEntries, error));
    ExpectSameRecord(fromEntries, fromFile);
    EXPECT_EQ(fromEntries.SensorName, QStringLiteral("X"));
    EXPECT_EQ(fromEntries.Freq, 16);
    EXPECT_EQ(fromEntries.MaxY, 12.5);
    EXPECT_FALSE(ParseExperimentEntries({{QStringLiteral("Freq"), QStringLiteral("5")}}, fromEntries, error));
    EXPECT_EQ(error, QStringLiteral("Не указан датчик используемый в экперименте."));
}

TEST_F(ExperimentLoader, ARecordWrittenAsEntriesReadsBackTheSame) {
    tExperiment r;
    r.Clear();
    r.SensorName = QStringLiteral("P620");
    r.FormatY = QStringLiteral("0.00;(0.00)");
    r.Freq = 12345;
    r.Average = 7;
    r.TwiceMarker = true;
    r.CaptionX = QStringLiteral("Время, с");
    r.MinX = -0.1;
    r.MaxX = 1e20;
    r.IncX = 1e-7;
    r.CaptionY = QStringLiteral("U = I·R");
    r.MinY = -12.5;
    r.MaxY = 1.0 / 3.0;
    r.IncY = 0.30000000000000004;
    r.AutoSize = true;
    r.YOffset = 0.25;
    r.SeriesCount = 2;
    r.Demo = QStringLiteral("pulse");
    // Read back the same whatever decimal mark the locale has.
    for (QChar mark : {QChar(u'.'), QChar(u',')}) {
        SetDecimalSeparatorForTests(mark);
        tExperiment back;
        back.Clear();
        QString error;
        ASSERT_TRUE(ParseExperimentEntries(ExperimentEntries(r), back, error)) << error.toStdString();
        SCOPED_TRACE(QString(mark).toStdString());
        EXPECT_EQ(back.SensorName, r.SensorName);
        EXPECT_EQ(back.Freq, r.Freq);
        EXPECT_EQ(back.Average, r.Average);
        EXPECT_TRUE(back.TwiceMarker);
        EXPECT_TRUE(back.AutoSize);
        EXPECT_EQ(back.CaptionY, r.CaptionY);
        EXPECT_EQ(back.Demo, r.Demo);
        // Reals keep 15 significant digits, what a scenario file can say of them.
        for (auto [got, want] : {std::pair{back.MinX, r.MinX},
                                 {back.MaxX, r.MaxX},
                                 {back.IncX, r.IncX},
                                 {back.MinY, r.MinY},
                                 {back.MaxY, r.MaxY},
                                 {back.IncY, r.IncY},
                                 {back.YOffset, r.YOffset}})
            EXPECT_NEAR(got, want, std::abs(want) * 1e-14);
        EXPECT_EQ(back.SeriesCount, 2);
    }
}
