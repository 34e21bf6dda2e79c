#include "ui/lang/lang_format.h"

#include <gtest/gtest.h>

namespace {

TEST(LangFormat, FillsPlaceholdersInOrder) {
    const struct {
        const wchar_t* format;
        std::vector<LangArg> values;
        const wchar_t* expected;
    } cases[] = {
        {L"Downloading: %.1f KB of %.1f KB completed...",
         {LangArg(1536.25), LangArg(20480.0)},
         L"Downloading: 1536.3 KB of 20480.0 KB completed..."},
        {L"%.1f%%", {LangArg(99.96)}, L"100.0%"},
        {L"Unpacking %d%s", {LangArg(42LL), LangArg(std::wstring(L"%"))}, L"Unpacking 42%"},
        {L"Attempt #%d", {LangArg(3LL)}, L"Attempt #3"},
        {L"Cannot create file: %s",
         {LangArg(std::wstring(L"bin\\a.dll"))},
         L"Cannot create file: bin\\a.dll"},
        {L"no placeholders", {}, L"no placeholders"},
        {L"%.2f", {LangArg(5LL)}, L"5.00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatLangText(c.format, c.values), c.expected);
}

// A table is data: placeholders that do not fit never read a missing value.
TEST(LangFormat, MismatchedPlaceholdersGiveTheValuesAfterTheText) {
    const struct {
        const wchar_t* format;
        std::vector<LangArg> values;
        const wchar_t* expected;
    } cases[] = {
        {L"Attempt %s #%n", {LangArg(2LL)}, L"Attempt  #n 2"},
        {L"Attempt #%d %d %d", {LangArg(2LL)}, L"Attempt #   2"},
        {L"%s", {LangArg(7LL)}, L" 7"},
        {L"%d", {LangArg(std::wstring(L"x"))}, L" x"},
        {L"left %", {}, L"left "},
        {L"%.99999999999f", {LangArg(1.5)}, L"1.500000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatLangText(c.format, c.values), c.expected) << std::wstring(c.format).size();
}

} // namespace
