// SPDX-License-Identifier: GPL-3.0-or-later
// The program log: the LOG switch, appending, line format, concurrent writers and milestone lines.
#include "foundation/Logfile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <thread>
#include <vector>

#include "foundation/Commandline.h"
#include "foundation/Exceptions.h"
#include "foundation/Functions.h"
#include "foundation/Messagebox.h"
#include "foundation/Milestones.h"
#include "foundation/Notice.h"
#include "tests/foundation/Printers.h"

namespace {
QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class LogFile : public ::testing::Test {
  protected:
    void TearDown() override { SetCommandLine({}); }
    QString Path() const { return FDir.filePath(QStringLiteral("rovelin.log")); }
    QTemporaryDir FDir;
};

// ---- the switch ----------------------------------------------------------------------------

TEST(LogSwitch, SlashOrDashThenTheWordInAnyCase) {
    EXPECT_TRUE(IsSwitch(QStringLiteral("/LOG"), QStringLiteral("LOG")));
    EXPECT_TRUE(IsSwitch(QStringLiteral("-log"), QStringLiteral("LOG")));
    EXPECT_TRUE(IsSwitch(QStringLiteral("/Log_Measure"), QStringLiteral("LOG_MEASURE")));
    EXPECT_FALSE(IsSwitch(QStringLiteral("/LOGX"), QStringLiteral("LOG")));
    EXPECT_FALSE(IsSwitch(QStringLiteral("LOG"), QStringLiteral("LOG")));
    EXPECT_FALSE(IsSwitch(QStringLiteral("--LOG"), QStringLiteral("LOG")));
    EXPECT_FALSE(IsSwitch(QStringLiteral("/LO"), QStringLiteral("LOG")));
    EXPECT_FALSE(IsSwitch(QString(), QStringLiteral("LOG")));
    SetCommandLine({QStringLiteral("file.txt"), QStringLiteral("-Log")});
    EXPECT_TRUE(HasSwitch(QStringLiteral("LOG")));
    EXPECT_FALSE(HasSwitch(QStringLiteral("LOG_MEASURE")));
    SetCommandLine({QStringLiteral("/LOG_MEASURE")});
    EXPECT_FALSE(HasSwitch(QStringLiteral("LOG")));
    SetCommandLine({});
}

// ---- opening -------------------------------------------------------------------------------

TEST_F(LogFile, WithoutSwitchNoFileIsCreated) {
    SetCommandLine({QStringLiteral("/LOGX")});
    tLogFile log(Path());
    log.Add(QStringLiteral("dropped"));
    EXPECT_FALSE(log.IsOn());
    EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(LogFile, WithoutSwitchAnExistingLogIsUntouched) {
    {
        QFile f(Path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old\r\n");
    }
    tLogFile log(Path());
    log.Add(QStringLiteral("dropped"));
    EXPECT_EQ(ReadFile(Path()), QByteArray("old\r\n"));
}

TEST_F(LogFile, WithSwitchAMissingLogIsCreated) {
    SetCommandLine({QStringLiteral("-LOG")});
    {
        tLogFile log(Path());
        EXPECT_TRUE(log.IsOn());
        log.Add(QStringLiteral("Запуск программы."));
    }
    EXPECT_TRUE(ReadFile(Path()).endsWith(QStringLiteral(" Запуск программы.\r\n").toUtf8()));
}

TEST_F(LogFile, WithSwitchAnExistingLogIsAppendedTo) {
    {
        QFile f(Path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier run\r\n");
    }
    SetCommandLine({QStringLiteral("/log")});
    {
        tLogFile log(Path());
        log.Add(QStringLiteral("second"));
    }
    const QByteArray bytes = ReadFile(Path());
    EXPECT_TRUE(bytes.startsWith("earlier run\r\n"));
    EXPECT_TRUE(bytes.endsWith(" second\r\n"));
}

TEST_F(LogFile, ASecondWriterOfTheSameLogIsRefused) {
    SetCommandLine({QStringLiteral("/LOG")});
    tLogFile first(Path());
    EXPECT_THROW(tLogFile second(Path()), tException);
}

TEST_F(LogFile, UnopenablePathRaises) {
    SetCommandLine({QStringLiteral("/LOG")});
    EXPECT_THROW(tLogFile log(FDir.filePath(QStringLiteral("no/such/folder/rovelin.log"))), tException);
}

// ---- line format ---------------------------------------------------------------------------

TEST_F(LogFile, EmptyMessageGivesStampAndOneBlank) {
    SetCommandLine({QStringLiteral("/LOG")});
    QDateTime before, after;
    {
        tLogFile log(Path());
        before = QDateTime::currentDateTime();
        log.Add(QString());
        after = QDateTime::currentDateTime();
    }
    const QString text = QString::fromUtf8(ReadFile(Path()));
    // The line's stamp is the stamp of one millisecond of the call.
    bool found = false;
    for (QDateTime t = before; t <= after && !found; t = t.addMSecs(1))
        found = text == tLogFile::Stamp(t, QLocale::system()) + QStringLiteral(" \r\n");
    EXPECT_TRUE(found) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("UTC"))) << "no zone name in the stamp";
}

TEST(LogStamp, TheLocalesDateAndTimeWithMillisecondsAfterTheSeconds) {
    const QDateTime when(QDate(2026, 3, 4), QTime(14, 5, 7, 42));
    EXPECT_EQ(tLogFile::Stamp(when, QLocale(QLocale::Russian, QLocale::Russia)), "04.03.2026 14:05:07.042");
    // A 12-hour locale keeps its AM/PM after the time; the milliseconds go with the seconds.
    const QString us = tLogFile::Stamp(when, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(us.startsWith(QStringLiteral("3/4/26 2:05:07.042"))) << us.toStdString();
    EXPECT_TRUE(us.endsWith(QStringLiteral("PM"))) << us.toStdString();
}

TEST_F(LogFile, MessageEndingInCrLfLeavesAnEmptyLine) {
    SetCommandLine({QStringLiteral("/LOG")});
    {
        tLogFile log(Path());
        log.Add(QStringLiteral("Остановка программы.\r\n"));
        log.Add(QStringLiteral("next"));
    }
    const QStringList lines = QString::fromUtf8(ReadFile(Path())).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" Остановка программы.")));
    EXPECT_EQ(lines[1], QString());
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" next")));
}

// ---- concurrent writers --------------------------------------------------------------------

TEST_F(LogFile, LinesOfConcurrentWritersNeverInterleave) {
    SetCommandLine({QStringLiteral("/LOG")});
    const int kThreads = 4, kLines = 400;
    const QString filler(300, u'ж');  // long, multi-byte lines make torn writes visible
    {
        tLogFile log(Path());
        std::vector<std::thread> writers;
        for (int t = 0; t < kThreads; ++t)
            writers.emplace_back([&, t] {
                for (int n = 0; n < kLines; ++n)
                    log.Add(QStringLiteral("T%1 N%2 %3 end").arg(t).arg(n).arg(filler));
            });
        for (std::thread& w : writers) w.join();
    }
    QStringList lines = QString::fromUtf8(ReadFile(Path())).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.takeLast(), QString());
    ASSERT_EQ(lines.size(), kThreads * kLines);
    const QRegularExpression shape(QStringLiteral("^.+ T(\\d) N(\\d+) ") + filler + QStringLiteral(" end$"));
    std::vector<int> next(kThreads, 0);
    for (const QString& line : lines) {
        const QRegularExpressionMatch m = shape.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.left(80).toStdString();
        const int t = m.captured(1).toInt();
        EXPECT_EQ(m.captured(2).toInt(), next[t]++) << "each writer's lines keep their order";
    }
}

// ---- the program-wide log ------------------------------------------------------------------

class tCapturingLog : public tLogFile {
  public:
    void Write(const QString& raw) override { Lines << raw; }
    bool IsOn() const override { return true; }
    QStringList Lines;
};

TEST(GlobalLog, LogAddGoesThroughGLogFile) {
    ASSERT_EQ(gLogFile, nullptr);
    LogAdd(QStringLiteral("nobody listens"));  // no log: nothing happens
    EXPECT_FALSE(LogIsOn());
    tCapturingLog capture;
    gLogFile = &capture;
    LogAdd(QStringLiteral("hello"));
    EXPECT_TRUE(LogIsOn());
    gLogFile = nullptr;
    ASSERT_EQ(capture.Lines.size(), 1);
    EXPECT_TRUE(capture.Lines[0].endsWith(QStringLiteral(" hello\r\n")));
}

// ---- milestone lines ----------------------------------------------------------------------

class Milestones : public ::testing::Test {
  protected:
    void SetUp() override {
        SetDecimalSeparatorForTests(u',');
        gLogFile = &FLog;
    }
    void TearDown() override {
        gLogFile = nullptr;
        SetDecimalSeparatorForTests(QChar());
        SetMessageBoxResponderForTests({});
    }
    // The text of each captured line from its mark on (the stamp before it follows the locale).
    QStringList Texts() const {
        QStringList texts;
        for (const QString& line : FLog.Lines)
            texts << line.mid(line.indexOf(QStringLiteral(" == ")) + 1).chopped(2);
        return texts;
    }
    tCapturingLog FLog;
};

TEST_F(Milestones, CountsTakeTheRussianFormOfTheirNumber) {
    const auto points = [](qint64 n) {
        return milestone::Count(n, QStringLiteral("точка"), QStringLiteral("точки"), QStringLiteral("точек"));
    };
    EXPECT_EQ(points(1), "1 точка");
    EXPECT_EQ(points(21), "21 точка");
    EXPECT_EQ(points(3), "3 точки");
    EXPECT_EQ(points(104), "104 точки");
    for (qint64 n : {0, 5, 11, 12, 14, 111, 1000}) EXPECT_TRUE(points(n).endsWith("точек")) << n;
}

TEST_F(Milestones, LinesAreMarkedAndSayWhatHappenedInWords) {
    LogMilestone(milestone::ScenarioChosen(QStringLiteral("Остывание воды"),
                                           QStringLiteral("1. Тепло/Остывание воды/")));
    LogMilestone(milestone::SensorConnected(QStringLiteral("T100"), QStringLiteral("/dev/ttyACM0"),
                                            tTransport::Serial, 5230));
    LogMilestone(milestone::RunStopped(2, 123, 12.34));
    // A label is shown as typed, also when it holds what looks like a placeholder.
    LogMilestone(milestone::PointLabelled(1, 17, 1.7, QStringLiteral("кипение %1")));
    LogMilestone(milestone::LessonRecovered(QString(), QDateTime(QDate(2026, 3, 4), QTime(9, 15, 30))));
    EXPECT_EQ(Texts(), QStringList({
                           "== Выбран опыт «Остывание воды» (1. Тепло/Остывание воды/)",
                           "== Датчик T100 подключён: /dev/ttyACM0 (последовательный порт), поиск 5,2 с",
                           "== Опыт 2 остановлен: 123 точки за 12,3 с",
                           "== Метка «кипение %1» на точке 17 опыта 1 (t = 1,7 с)",
                           "== Урок восстановлен из автосохранения от 04.03.2026 09:15:30 (без файла)",
                       }));
}

TEST_F(Milestones, EveryErrorAndWarningBoxIsOneLineOfTheLog) {
    int boxes = 0;
    SetMessageBoxResponderForTests([&](const tBoxRequest&) {
        ++boxes;
        return tBoxAnswer{};
    });
    ShowWarning(QStringLiteral("Не найден датчик для проведения эксперимента.\r\n\r\nПроверьте кабель."));
    ShowError(QStringLiteral("Ошибка посылки данных измерительному устройству."));
    EXPECT_EQ(boxes, 2);
    EXPECT_EQ(
        Texts(),
        QStringList({
            "== Сообщение «Внимание»: Не найден датчик для проведения эксперимента. / Проверьте кабель.",
            "== Сообщение «Ошибка»: Ошибка посылки данных измерительному устройству.",
        }));
}
}  // namespace
