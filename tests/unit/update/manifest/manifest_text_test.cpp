#include "update/manifest/manifest_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ManifestText, DecimalNumbers) {
    EXPECT_EQ(parseDecimal("0"), 0u);
    EXPECT_EQ(parseDecimal("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(parseDecimal("18446744073709551616"), std::nullopt);
    EXPECT_EQ(parseDecimal("4294967295", UINT32_MAX), 4294967295u);
    EXPECT_EQ(parseDecimal("4294967296", UINT32_MAX), std::nullopt);
    for (const char* bad : {"", "-1", "+1", " 1", "1 ", "0x10", "1e3"})
        EXPECT_EQ(parseDecimal(bad), std::nullopt) << bad;
}

TEST(ManifestText, Utf16RecordsRoundTripOutsideTheBasicPlane) {
    const std::wstring text = L"A\u00e9\u4e2d";
    std::wstring withPair = text;
    if constexpr (sizeof(wchar_t) == 2)
        withPair += L"\xD83D\xDE00";
    else
        withPair += static_cast<wchar_t>(0x1F600);
    std::vector<uint8_t> bytes;
    appendUtf16Le(withPair, 8, bytes);
    ASSERT_EQ(bytes.size(), 16u);
    EXPECT_EQ(wideFromUtf16Le(bytes.data(), 8), withPair);
    EXPECT_EQ(utf8FromWide(withPair), "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
    // Cut to the record, no terminator needed.
    EXPECT_EQ(wideFromUtf16Le(bytes.data(), 2), L"A\u00e9");
    EXPECT_EQ(lowerWide(L"Data\\README.Txt\u00c9"), L"data\\readme.txt\u00c9");
}

} // namespace
