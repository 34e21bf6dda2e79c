#include "ui/lang/launcher_lang_table.h"

#include "lso_bytes.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<CLauncherLang> makeLang(const std::string& code, uint32_t count) {
    auto lang = std::make_unique<CLauncherLang>(code, code, "", 0);
    const std::vector<uint8_t> bytes = lsotest::lsoTable(count, code);
    CSimpleMemReadStream stream(bytes.data(), static_cast<int>(bytes.size()));
    EXPECT_TRUE(lang->load(stream));
    return lang;
}

TEST(CLauncherLangTable, EmptyTableGivesEmptyStrings) {
    CLauncherLangTable table;
    EXPECT_EQ(table.currentIndex(), -1);
    EXPECT_EQ(table.defaultIndex(), -1);
    EXPECT_EQ(table.current(), nullptr);
    EXPECT_EQ(table.getString(1), L"");
    EXPECT_FALSE(table.select(0));
    EXPECT_FALSE(table.select(-1));
}

TEST(CLauncherLangTable, RefusesATableOfAnotherSize) {
    CLauncherLangTable table;
    EXPECT_TRUE(table.add(makeLang("en", 120)));
    EXPECT_FALSE(table.add(makeLang("de", 119)));
    EXPECT_FALSE(table.add(makeLang("fr", 121)));
    EXPECT_FALSE(table.add(std::make_unique<CLauncherLang>("xx", "xx", "", 0))); // never loaded
    EXPECT_TRUE(table.add(makeLang("es", 120)));
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.at(1)->code(), "es");
    EXPECT_EQ(table.defaultIndex(), 0);
    EXPECT_EQ(table.currentIndex(), -1); // adding selects nothing
}

TEST(CLauncherLangTable, SelectSwitchesTheStringsAndKeepsTheCurrentOnBadIndices) {
    CLauncherLangTable table;
    table.add(makeLang("en", 5));
    table.add(makeLang("de", 5));
    EXPECT_EQ(table.getString(1), L"");
    ASSERT_TRUE(table.select(1));
    EXPECT_EQ(table.getString(1), L"de 1");
    EXPECT_TRUE(table.select(1)); // already current
    EXPECT_FALSE(table.select(2));
    EXPECT_FALSE(table.select(-1));
    EXPECT_EQ(table.currentIndex(), 1);
    ASSERT_TRUE(table.select(0));
    EXPECT_EQ(table.getString(4), L"en 4");
    EXPECT_EQ(table.getString(5), L"");
    EXPECT_EQ(table.getString(-1), L"");
    EXPECT_EQ(table.getString(0), L"");
}

TEST(CLauncherLangTable, GetLangStringGoesThroughTheProcessTable) {
    EXPECT_EQ(getLangString(1), L"");
    CLauncherLangTable table;
    table.add(makeLang("en", 3));
    table.select(0);
    g_pLangTable = &table;
    EXPECT_EQ(getLangString(2), L"en 2");
    EXPECT_EQ(getLangString(3), L"");
    g_pLangTable = nullptr;
    EXPECT_EQ(getLangString(2), L"");
}

} // namespace
