// SPDX-License-Identifier: GPL-3.0-or-later
// The program log: the LOG switch, appending, line format and concurrent writers.
#include "foundation/Logfile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <thread>
#include <vector>

#include "foundation/Commandline.h"
#include "foundation/Exceptions.h"
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
    QString before, after;
    {
        tLogFile log(Path());
        before = tLogFile::Stamp();
        log.Add(QString());
        after = tLogFile::Stamp();
    }
    const QString text = QString::fromUtf8(ReadFile(Path()));
    EXPECT_TRUE(text == before + QStringLiteral(" \r\n") || text == after + QStringLiteral(" \r\n"))
        << text.toStdString();
    EXPECT_FALSE(before.contains(QStringLiteral("UTC"))) << "no zone name in the stamp";
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
}  // namespace
