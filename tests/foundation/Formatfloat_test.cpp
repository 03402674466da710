// SPDX-License-Identifier: GPL-3.0-or-later
// Number patterns of the scenario read-outs (FormatX / FormatY).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "foundation/Functions.h"
#include "tests/foundation/Printers.h"

namespace {
struct tCase {
    const char* pattern;
    double value;
    const char* expected;
};
void PrintTo(const tCase& c, std::ostream* os) {
    *os << "'" << c.pattern << "' " << c.value;
}

// Decimal comma and a plain blank for thousands, so the expectations read like the Russian locale.
class FormatFloatTest : public ::testing::TestWithParam<tCase> {
  protected:
    void SetUp() override {
        SetDecimalSeparatorForTests(u',');
        SetThousandSeparatorForTests(u' ');
    }
    void TearDown() override {
        SetDecimalSeparatorForTests(QChar());
        SetThousandSeparatorForTests(QChar());
    }
};

TEST_P(FormatFloatTest, Formats) {
    const tCase& c = GetParam();
    EXPECT_EQ(FormatFloat(QString::fromUtf8(c.pattern), c.value), QString::fromUtf8(c.expected))
        << "pattern '" << c.pattern << "' value " << c.value;
}

// ---- digit places and rounding -------------------------------------------------------------
INSTANTIATE_TEST_SUITE_P(
    Digits, FormatFloatTest,
    ::testing::Values(tCase{"0.00", 3.14159, "3,14"},  //
                      tCase{"0.00", 2.675, "2,68"},    // decimal digits, not the binary fraction
                      tCase{"0.00", -2.675, "-2,68"},  //
                      tCase{"0.00", 1.005, "1,01"},    //
                      tCase{"0.00", 0.004, "0,00"},    //
                      tCase{"0.00", -0.004, "0,00"},   // no minus for a shown zero
                      tCase{"0", 0.5, "1"},            //
                      tCase{"0", 2.5, "3"},            // half away from zero, not to even
                      tCase{"0", -0.5, "-1"},          //
                      tCase{"0.0", 9.96, "10,0"},      // carry into a new integer digit
                      tCase{"#.##", 0.5, ",5"},        //
                      tCase{"#.##", 1, "1"},           // no separator without fraction digits
                      tCase{"#.##", 0, "0"},           // never an empty read-out
                      tCase{"0.##", 1.5, "1,5"},       //
                      tCase{"0.0#", 1, "1,0"},         //
                      tCase{"000", 7, "007"},          //
                      tCase{"#0#", 5, "05"},           // zeros from the first 0 on
                      tCase{"#", 1234.5, "1235"},      // extra digits at the first place
                      tCase{".00", 12.345, "12,35"},   // integer digits without places
                      tCase{"0.00", 1e20, "100000000000000000000,00"}, tCase{"0", 4.9e-324, "0"}));

// ---- thousands grouping --------------------------------------------------------------------
INSTANTIATE_TEST_SUITE_P(Grouping, FormatFloatTest,
                         ::testing::Values(tCase{"#,##0.0", 1234567.89, "1 234 567,9"},  //
                                           tCase{"#,##0", 999.6, "1 000"},               //
                                           tCase{"#,##0", 12, "12"},                     //
                                           tCase{"#,##0", -1234, "-1 234"},              //
                                           tCase{"0,0", 123456, "123 456"}));

// ---- scientific notation -------------------------------------------------------------------
INSTANTIATE_TEST_SUITE_P(
    Scientific, FormatFloatTest,
    ::testing::Values(tCase{"0.00E+00", 12345, "1,23E+04"},       //
                      tCase{"0.00E+00", 0.000123, "1,23E-04"},    //
                      tCase{"0.00E-00", 12345, "1,23E04"},        // E- signs only negatives
                      tCase{"0.00E-00", 0.00012345, "1,23E-04"},  //
                      tCase{"0.00E+00", 0, "0,00E+00"},           //
                      tCase{"0.00E+00", 9.999, "1,00E+01"},       // rounding moves the exponent
                      tCase{"0.00E+00", -12345, "-1,23E+04"},     //
                      tCase{"0.0e+0", 1e100, "1,0e+100"},         //
                      tCase{"00.0E+00", 12345, "12,3E+03"},       //
                      tCase{"#,##0.0E+0", 12345, "1234,5E+1"}));  // four places, no grouping

// ---- sections and quoted text --------------------------------------------------------------
INSTANTIATE_TEST_SUITE_P(Sections, FormatFloatTest,
                         ::testing::Values(tCase{"0.0;(0.0);zero", 5, "5,0"},       //
                                           tCase{"0.0;(0.0);zero", -5, "(5,0)"},    //
                                           tCase{"0.0;(0.0);zero", 0, "zero"},      //
                                           tCase{"0.0;(0.0);zero", 0.04, "zero"},   // zero after rounding
                                           tCase{"0.0;(0.0);zero", -0.04, "zero"},  //
                                           tCase{"0.0;;zero", -5, "-5,0"},  // empty section: first + minus
                                           tCase{"0.0;(0.0)", 0, "0,0"},    //
                                           tCase{";(0)", -5, "(5)"},        // empty first: general form
                                           tCase{";(0)", 5, "5"},           //
                                           tCase{"0;1;2;3", 0, "2"},        // a fourth section is ignored
                                           tCase{"0.0' °C'", 21.46, "21,5 °C"},  //
                                           tCase{"\"T=\"0.0", -3.25, "T=-3,3"},  // minus at the number
                                           tCase{"0.0\";\"", 1, "1,0;"},         // ; inside quotes is text
                                           tCase{"'#0.,E+'0", 1, "#0.,E+1"},     // placeholders inside quotes
                                           tCase{"0.0 'open", 1, "1,0 open"},    // open quote runs to the end
                                           tCase{"0 c", 3, "3 c"}));

// ---- empty pattern: general form -----------------------------------------------------------
INSTANTIATE_TEST_SUITE_P(General, FormatFloatTest,
                         ::testing::Values(tCase{"", 0.1, "0,1"},                                    //
                                           tCase{"", 1e-5, "1E-05"},                                 //
                                           tCase{"", 0.0001, "0,0001"},                              //
                                           tCase{"", 123456789012345678.0, "1,23456789012346E+17"},  //
                                           tCase{"", 1e20, "1E+20"},                                 //
                                           tCase{"", 123456789012345.0, "123456789012345"},          //
                                           tCase{"", -2.5, "-2,5"},                                  //
                                           tCase{"", 0, "0"},                                        //
                                           tCase{"", -0.0, "0"},                                     //
                                           tCase{"", 1.0 / 3, "0,333333333333333"},                  //
                                           tCase{"", 0.1 + 0.2, "0,3"}));

// ---- values without digits -----------------------------------------------------------------
INSTANTIATE_TEST_SUITE_P(NotANumber, FormatFloatTest,
                         ::testing::Values(tCase{"0.00", std::numeric_limits<double>::quiet_NaN(), "NAN"},
                                           tCase{"", std::numeric_limits<double>::infinity(), "INF"},
                                           tCase{"0", -std::numeric_limits<double>::infinity(), "-INF"}));

// The point of the pattern is written with whatever separator the locale has.
TEST(FormatFloatSeparator, UsesInjectedDecimalPoint) {
    SetDecimalSeparatorForTests(u'.');
    EXPECT_EQ(FormatFloat(QStringLiteral("0.00"), 3.14159), QStringLiteral("3.14"));
    EXPECT_EQ(FormatFloat(QString(), 0.25), QStringLiteral("0.25"));
    SetDecimalSeparatorForTests(QChar());
}
}  // namespace
