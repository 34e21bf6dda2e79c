#include "base/utf8_text.h"

#include <gtest/gtest.h>

namespace {

// U+1F600 as the platform's std::wstring holds it.
std::wstring grinningFace() {
    if constexpr (sizeof(wchar_t) == 2)
        return std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    else
        return std::wstring(1, static_cast<wchar_t>(0x1F600));
}

TEST(Utf8Text, DecodesEveryLength) {
    EXPECT_EQ(wideFromUtf8(""), L"");
    EXPECT_EQ(wideFromUtf8("STEP %d/%d\n"), L"STEP %d/%d\n");
    EXPECT_EQ(wideFromUtf8("Schlie\xC3\x9F"
                           "en \xE2\x80\x9E"),
              L"Schlie\u00DFen \u201E");
    EXPECT_EQ(wideFromUtf8("\xF0\x9F\x98\x80"), grinningFace());
    EXPECT_EQ(wideFromUtf8(std::string_view("a\0b", 3)), std::wstring(L"a\0b", 3));
}

struct BadCase {
    const char* what;
    std::string bytes;
    std::wstring decoded;
    size_t offset;
};

TEST(Utf8Text, MalformedSequencesBecomeReplacementCharacters) {
    const BadCase cases[] = {
        {"lone continuation",
         "a\x80"
         "b",
         L"a\uFFFDb", 1},
        {"truncated tail", "ab\xE2\x80", L"ab\uFFFD\uFFFD", 2},
        {"overlong slash", "\xC0\xAF", L"\uFFFD\uFFFD", 0},
        {"surrogate", "x\xED\xA0\x80", L"x\uFFFD\uFFFD\uFFFD", 1},
        {"above U+10FFFF", "\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD", 0},
        {"invalid lead",
         "\xFF"
         "a",
         L"\uFFFDa", 0},
        {"lead followed by ASCII",
         "\xC3"
         "a",
         L"\uFFFDa", 0},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(wideFromUtf8(c.bytes), c.decoded);
        EXPECT_EQ(findInvalidUtf8(c.bytes), c.offset);
    }
    EXPECT_EQ(findInvalidUtf8("Stra\xC3\x9F"
                              "e \xF0\x9F\x98\x80"),
              std::nullopt);
}

} // namespace
