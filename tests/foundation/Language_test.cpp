// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Language.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "foundation/Stringtable.h"

TEST(Language, EnglishOnlyWhenNamedBeforeRussian) {
    EXPECT_EQ(LanguageFor({QStringLiteral("en-GB"), QStringLiteral("ru")}), tLanguage::English);
    EXPECT_EQ(LanguageFor({QStringLiteral("en_US.UTF-8")}), tLanguage::English);
    EXPECT_EQ(LanguageFor({QStringLiteral("de-DE"), QStringLiteral("en")}), tLanguage::English);
    EXPECT_EQ(LanguageFor({QStringLiteral("ru-RU"), QStringLiteral("en-GB")}), tLanguage::Russian);
    // Neither named (a German desk, the C locale, nothing at all): the program's own Russian.
    EXPECT_EQ(LanguageFor({QStringLiteral("de-DE")}), tLanguage::Russian);
    EXPECT_EQ(LanguageFor({QStringLiteral("C")}), tLanguage::Russian);
    EXPECT_EQ(LanguageFor({}), tLanguage::Russian);
}

TEST(Language, SwitchingBackGivesTheSourceTextsAgain) {
    ASSERT_TRUE(InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::English));
    EXPECT_EQ(InterfaceLanguageCode(), QStringLiteral("en"));
    EXPECT_EQ(LoadStr(msg::TitleError), QStringLiteral("Error"));
    InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::Russian);
    EXPECT_EQ(InterfaceLanguage(), tLanguage::Russian);
    EXPECT_EQ(LoadStr(msg::TitleError), QStringLiteral("Ошибка"));
}
