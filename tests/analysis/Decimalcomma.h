// SPDX-License-Identifier: GPL-3.0-or-later
// Read-outs in the tests are written with the Russian decimal comma, whatever the machine's locale.
#pragma once

#include <gtest/gtest.h>

#include "foundation/Functions.h"

struct DecimalComma : ::testing::Test {
    void SetUp() override { SetDecimalSeparatorForTests(QLatin1Char(',')); }
    void TearDown() override { SetDecimalSeparatorForTests(QChar()); }
};
