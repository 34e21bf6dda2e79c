#include "ui/lang/launcher_lang.h"

#include "lso_bytes.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using lsotest::appendU32;
using lsotest::lsoBytes;

// Counts Close() so the tests see the stream closed on every way out.
class CClosingStream : public CSimpleMemReadStream {
public:
    explicit CClosingStream(const std::vector<uint8_t>& bytes)
        : CSimpleMemReadStream(bytes.data(), static_cast<int>(bytes.size())) {}
    bool Close() override {
        ++closeCount;
        return CSimpleMemReadStream::Close();
    }
    int closeCount = 0;
};

bool load(CLauncherLang& lang, const std::vector<uint8_t>& bytes, int* closeCount = nullptr) {
    CClosingStream stream(bytes);
    const bool ok = lang.load(stream);
    if (closeCount)
        *closeCount = stream.closeCount;
    return ok;
}

TEST(CLauncherLang, ReadsEntriesOfEveryLengthIncludingEmpty) {
    CLauncherLang lang("Deutsch", "de", "de-DE", 1031);
    int closed = 0;
    ASSERT_TRUE(load(lang, lsoBytes(3, 0, {"", "ab", "\xC3\xA4x"}), &closed));
    EXPECT_EQ(closed, 1);
    ASSERT_EQ(lang.count(), 3u);
    EXPECT_EQ(lang.entry(0), "");
    EXPECT_EQ(lang.entry(1), "ab");
    EXPECT_EQ(lang.entry(2), "\xC3\xA4x");
    EXPECT_EQ(lang.text(2), L"\u00E4x");
    for (int outside : {3, -1, INT_MAX, INT_MIN}) {
        EXPECT_EQ(lang.entry(outside), "") << outside;
        EXPECT_EQ(lang.text(outside), L"") << outside;
    }
    EXPECT_EQ(lang.longName(), "Deutsch");
    EXPECT_EQ(lang.code(), "de");
    EXPECT_EQ(lang.localeName(), "de-DE");
    EXPECT_EQ(lang.id(), 1031);
}

TEST(CLauncherLang, LineFeedsSurviveAndTrailingBytesAreIgnored) {
    std::vector<uint8_t> bytes = lsoBytes(2, 0, {"", "a\nb"});
    bytes.push_back(0x55);
    CLauncherLang lang("", "", "", 0);
    ASSERT_TRUE(load(lang, bytes));
    EXPECT_EQ(lang.text(1), L"a\nb");
}

std::vector<uint8_t> withEntryLength(uint32_t count, uint32_t length, size_t bodyBytes) {
    std::vector<uint8_t> out;
    appendU32(out, count);
    appendU32(out, 0);
    appendU32(out, length);
    out.insert(out.end(), bodyBytes, 'x');
    return out;
}

struct RefusedCase {
    const char* what;
    std::vector<uint8_t> bytes;
};

TEST(CLauncherLang, RefusesBadTruncatedAndHostileTablesAndClosesTheStream) {
    const std::vector<uint8_t> good = lsoBytes(3, 0, {"", "ab", "cde"});
    const RefusedCase cases[] = {
        {"empty file", {}},
        {"half a header", std::vector<uint8_t>(good.begin(), good.begin() + 6)},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 8)},
        {"reserved word not zero", lsoBytes(1, 1, {"x"})},
        {"no entries", lsoBytes(0, 0, {})},
        {"last entry one byte short", std::vector<uint8_t>(good.begin(), good.end() - 1)},
        {"length field cut", std::vector<uint8_t>(good.begin(), good.begin() + 14)},
        {"count larger than the entries", lsoBytes(4, 0, {"", "ab", "cde"})},
        {"hostile count", lsoBytes(0xFFFFFFFFu, 0, {"", "a"})},
        {"hostile length", withEntryLength(1, 0xFFFFFFF0u, 16)},
        {"length one past the end", withEntryLength(1, 17, 16)},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.what);
        CLauncherLang lang("", "", "", 0);
        // An earlier good load must not survive a refused one.
        ASSERT_TRUE(load(lang, good));
        int closed = 0;
        EXPECT_FALSE(load(lang, c.bytes, &closed));
        EXPECT_EQ(closed, 1);
        EXPECT_EQ(lang.count(), 0u);
        EXPECT_EQ(lang.text(1), L"");
    }
}

} // namespace
