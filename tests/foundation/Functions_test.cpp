// SPDX-License-Identifier: GPL-3.0-or-later
// Shared routines: decimal separators, the program's rounding, tokens, integers, text decoding.
#include "foundation/Functions.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "foundation/Cp1251.h"
#include "tests/foundation/Printers.h"

namespace {
// Runs the test body once with each locale separator.
class WithSeparator : public ::testing::TestWithParam<char16_t> {
  protected:
    void SetUp() override { SetDecimalSeparatorForTests(QChar(GetParam())); }
    void TearDown() override { SetDecimalSeparatorForTests(QChar()); }
};

// ---- decimal separators --------------------------------------------------------------------

TEST(NormalizeDecimalSeparator, TurnsTheOtherSeparatorIntoTheLocaleOne) {
    SetDecimalSeparatorForTests(u'.');
    EXPECT_EQ(NormalizeDecimalSeparator(QStringLiteral("1,000.5")), QStringLiteral("1.000.5"));
    SetDecimalSeparatorForTests(u',');
    EXPECT_EQ(NormalizeDecimalSeparator(QStringLiteral("12.5")), QStringLiteral("12,5"));
    SetDecimalSeparatorForTests(u'\'');  // any other separator: unchanged
    EXPECT_EQ(NormalizeDecimalSeparator(QStringLiteral("1,5.2")), QStringLiteral("1,5.2"));
    SetDecimalSeparatorForTests(QChar());
}

TEST_P(WithSeparator, BothSeparatorsAreAccepted) {
    double v = 0;
    ASSERT_TRUE(TryTextToFloat(QStringLiteral("12,5"), v));
    EXPECT_DOUBLE_EQ(v, 12.5);
    ASSERT_TRUE(TryTextToFloat(QStringLiteral("12.5"), v));
    EXPECT_DOUBLE_EQ(v, 12.5);
    ASSERT_TRUE(TryTextToFloat(QStringLiteral("-1.5E+3"), v));
    EXPECT_DOUBLE_EQ(v, -1500);
    ASSERT_TRUE(TryTextToFloat(QStringLiteral("+.25"), v));
    EXPECT_DOUBLE_EQ(v, 0.25);
    ASSERT_TRUE(TryTextToFloat(QStringLiteral("7"), v));
    EXPECT_DOUBLE_EQ(v, 7);
}

TEST_P(WithSeparator, MalformedTextIsRejectedAndLeavesTheValue) {
    double v = 42;
    for (const char* bad :
         {"", " ", "abc", "1,000.5", "1.000,5", "12a", "1e", "e5", ".", "-", "1e999", "nan", "inf", "0x10"})
        EXPECT_FALSE(TryTextToFloat(QString::fromLatin1(bad), v)) << bad;
    EXPECT_EQ(v, 42);
}

INSTANTIATE_TEST_SUITE_P(Separators, WithSeparator, ::testing::Values(u'.', u','));

// ---- rounding with the 0.49 threshold ------------------------------------------------------

TEST(RoundHalf049, RoundsAwayFromZeroFromPointFortyNine) {
    EXPECT_EQ(RoundHalf049(0.49), 1);
    EXPECT_EQ(RoundHalf049(0.0), 0);
    EXPECT_EQ(RoundHalf049(2.49), 3);
    EXPECT_EQ(RoundHalf049(-2.49), -3);
    EXPECT_EQ(RoundHalf049(2.48), 2);
    EXPECT_EQ(RoundHalf049(-2.48), -2);
    EXPECT_EQ(RoundHalf049(72.495), 73);  // ordinary rounding to two places gives 72.5 → 72 here
    EXPECT_EQ(RoundHalf049(71.9), 72);
}

TEST(RoundHalf049, OutOfRangeValuesAreClamped) {
    EXPECT_EQ(RoundHalf049(1e12), std::numeric_limits<int>::max());
    EXPECT_EQ(RoundHalf049(-1e12), std::numeric_limits<int>::min());
    EXPECT_EQ(RoundHalf049(std::numeric_limits<double>::infinity()), std::numeric_limits<int>::max());
    EXPECT_EQ(RoundHalf049(std::nan("")), 0);
}

// ---- tokens of device replies --------------------------------------------------------------

TEST(SplitToken, TakesThePartBeforeTheDelimiter) {
    QString source = QStringLiteral("OK 12");
    EXPECT_EQ(SplitToken(source, u' ', true), QStringLiteral("OK"));
    EXPECT_EQ(source, QStringLiteral("12"));
    EXPECT_EQ(SplitToken(source, u' ', true), QStringLiteral("12"));
    EXPECT_EQ(source, QString());

    source = QStringLiteral("OK");
    EXPECT_EQ(SplitToken(source, u' ', true), QStringLiteral("OK"));
    EXPECT_EQ(source, QString());

    source = QStringLiteral("A;B;C");
    EXPECT_EQ(SplitToken(source, u';', false), QStringLiteral("A"));
    EXPECT_EQ(source, QStringLiteral("A;B;C"));

    source = QStringLiteral(";B");
    EXPECT_EQ(SplitToken(source, u';', true), QString());
    EXPECT_EQ(source, QStringLiteral("B"));
}

// ---- integers ------------------------------------------------------------------------------

TEST(StrToIntDef, DecimalAndHexadecimalForms) {
    EXPECT_EQ(StrToIntDef(QStringLiteral("3000"), 5), 3000);
    EXPECT_EQ(StrToIntDef(QStringLiteral("-12"), 5), -12);
    EXPECT_EQ(StrToIntDef(QStringLiteral("  +7"), 5), 7);
    EXPECT_EQ(StrToIntDef(QStringLiteral("$1F"), 5), 31);
    EXPECT_EQ(StrToIntDef(QStringLiteral("0x1f"), 5), 31);
    EXPECT_EQ(StrToIntDef(QStringLiteral("0X10"), 5), 16);
    EXPECT_EQ(StrToIntDef(QStringLiteral("$FFFFFFFF"), 5), -1);
    EXPECT_EQ(StrToIntDef(QStringLiteral("-$80000000"), 5), std::numeric_limits<int>::min());
    EXPECT_EQ(StrToIntDef(QStringLiteral("2147483647"), 5), 2147483647);
    EXPECT_EQ(StrToIntDef(QStringLiteral("-2147483648"), 5), std::numeric_limits<int>::min());
}

TEST(StrToIntDef, AnythingElseGivesTheDefault) {
    for (const char* bad : {"", " ", "2147483648", "-2147483649", "$100000000", "99999999999999999999", "12a",
                            "1.5", "$", "0x", "-", "1 ", "yes", "$G"})
        EXPECT_EQ(StrToIntDef(QString::fromLatin1(bad), 77), 77) << bad;
}

// ---- text files from either world ----------------------------------------------------------

TEST(DecodeText, Utf8WhenValidElseWindows1251) {
    EXPECT_EQ(DecodeText(QStringLiteral("Пульс=1").toUtf8()), QStringLiteral("Пульс=1"));
    EXPECT_EQ(DecodeText(QByteArray("\xCF\xF3\xEB\xFC\xF1=1")), QStringLiteral("Пульс=1"));
    EXPECT_EQ(DecodeText(QByteArray("\xA8\xB8\xB9")), QStringLiteral("Ёё№"));
    EXPECT_EQ(DecodeText(QByteArray("plain")), QStringLiteral("plain"));
    EXPECT_EQ(DecodeText(QByteArray()), QString());
}

TEST(Cp1251, EveryByteAgreesWithTheSystemCodecAndRoundTrips) {
    QByteArray all;
    for (int b = 1; b < 256; ++b) all += char(b);
    const QString ours = DecodeCp1251(all);
    ASSERT_EQ(ours.size(), all.size());
    QStringDecoder icu("windows-1251");
    if (icu.isValid()) {
        const QString theirs = icu.decode(all);
        for (int i = 0; i < all.size(); ++i) {
            if (static_cast<unsigned char>(all[i]) != 0x98) {
                EXPECT_EQ(ours[i], theirs[i]) << "byte " << i + 1;
            }
        }
    }
    EXPECT_EQ(ours[0x98 - 1], QChar(0xFFFD));
    for (int i = 0; i < all.size(); ++i) {
        if (static_cast<unsigned char>(all[i]) == 0x98) continue;
        EXPECT_EQ(Cp1251Byte(ours[i].unicode()), static_cast<unsigned char>(all[i]));
    }
    EXPECT_EQ(DecodeText(all.mid(0xC0 - 1)), ours.mid(0xC0 - 1));  // not UTF-8: read as 1251
}

TEST(EncodeCp1251, RoundTripsCyrillicAndMarksTheRest) {
    EXPECT_EQ(EncodeCp1251(QStringLiteral("Ёж №1")), QByteArray("\xA8\xE6 \xB9"
                                                                "1"));
    EXPECT_EQ(EncodeCp1251(QStringLiteral("a\u4E2Db")), QByteArray("a?b"))
        << "text after a foreign character survives";
    EXPECT_EQ(EncodeCp1251(QString::fromUtf8("x\xF0\x9F\x98\x80y\xD0\x96")), QByteArray("x?y\xC6"));
}

TEST(SplitLines, AnyLineEndAndNoEmptyLastLine) {
    EXPECT_EQ(SplitLines(QStringLiteral("a\rb\nc\r\nd")), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\n")), (QStringList{"a"}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\n\nb")), (QStringList{"a", "", "b"}));
    EXPECT_EQ(SplitLines(QStringLiteral("\r\n")), (QStringList{""}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\n\r")), (QStringList{"a", ""})) << "LF CR is two breaks";
    EXPECT_TRUE(SplitLines(QString()).isEmpty());
}

// ---- the bounded reader ----

TEST(ReadBoundedFile, OnlyRegularFilesAreReadAndOthersAreRefusedAtOnce) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.txt"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("abc");
    f.close();
    const QString link = dir.filePath(QStringLiteral("link.txt"));
    ASSERT_TRUE(QFile::link(file, link));
    QByteArray bytes;
    QString error;
    for (const QString& path : {file, link}) {
        EXPECT_EQ(ReadBoundedFile(path, 3, bytes, error), tFileRead::Ok) << error.toStdString();
        EXPECT_EQ(bytes, "abc");
    }
    EXPECT_EQ(ReadBoundedFile(file, 2, bytes, error), tFileRead::TooLarge);
    EXPECT_TRUE(bytes.isEmpty());

    // A pipe nobody writes to, a device that never ends, a folder: none is opened for reading.
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString device = dir.filePath(QStringLiteral("zero"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), device));
    for (const QString& path : {fifo, device, dir.path()}) {
        bytes = "old";
        EXPECT_EQ(ReadBoundedFile(path, 1024, bytes, error), tFileRead::Failed) << path.toStdString();
        EXPECT_EQ(error, NotARegularFileText(path));
        EXPECT_TRUE(bytes.isEmpty());
    }
    EXPECT_EQ(ReadBoundedFile(dir.filePath(QStringLiteral("none")), 1024, bytes, error), tFileRead::Failed);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Невозможно открыть файл '%1'.\r\nСистема сообщает: ")
                                     .arg(dir.filePath(QStringLiteral("none")))))
        << error.toStdString();
}
}  // namespace
