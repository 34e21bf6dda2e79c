#include "base/buffer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string contentsOf(const CBuffer& buffer) {
    std::string out;
    buffer.ToString(out);
    return out;
}

unsigned capacityOf(const CBuffer& buffer) {
    return buffer.GetLength() + buffer.GetFreeSpace();
}

void fill(CBuffer& buffer, const std::string& text) {
    ASSERT_EQ(buffer.Append(text.data(), static_cast<unsigned>(text.size())), text.size());
}

TEST(CBuffer, ConstructorsAllocateExactlyAndStartEmpty) {
    CBuffer empty;
    EXPECT_EQ(empty.GetData(), nullptr);
    EXPECT_EQ(empty.GetLength(), 0u);
    EXPECT_EQ(empty.GetFreeSpace(), 0u);
    EXPECT_EQ(empty.growStep, 0u);

    CBuffer sized(100);
    EXPECT_NE(sized.GetData(), nullptr);
    EXPECT_EQ(sized.GetLength(), 0u);
    EXPECT_EQ(sized.GetFreeSpace(), 100u);
}

struct CapacityCase {
    const char* name;
    unsigned initialCapacity;
    const char* contents;
    unsigned growStep;
    unsigned request;
    bool result;
    unsigned capacity;
    const char* contentsAfter;
};

const CapacityCase kCapacityCases[] = {
    {"grow exact", 4, "abcd", 0, 10, true, 10, "abcd"},
    {"grow step 1 is exact", 4, "abcd", 1, 10, true, 10, "abcd"},
    {"grow rounds up to step", 0, "", 4096, 5000, true, 8192, ""},
    {"grow to a multiple is kept", 0, "", 4096, 8192, true, 8192, ""},
    {"shrink is not rounded", 8192, "abcdef", 4096, 100, true, 100, "abcdef"},
    {"shrink below length truncates", 8, "abcdefgh", 0, 3, true, 3, "abc"},
    {"zero frees", 8, "abcdefgh", 0, 0, true, 0, ""},
    {"rounding past 4 GiB fails", 16, "ab", 4096, UINT_MAX - 10, false, 16, "ab"},
};

TEST(CBuffer, SetCapacity) {
    for (const CapacityCase& c : kCapacityCases) {
        SCOPED_TRACE(c.name);
        CBuffer buffer(c.initialCapacity);
        fill(buffer, c.contents);
        buffer.growStep = c.growStep;
        EXPECT_EQ(buffer.SetCapacity(c.request), c.result);
        EXPECT_EQ(capacityOf(buffer), c.capacity);
        EXPECT_EQ(contentsOf(buffer), c.contentsAfter);
        EXPECT_EQ(buffer.GetData() == nullptr, c.capacity == 0);
    }
}

TEST(CBuffer, SetCapacityToTheSameSizeKeepsTheBlock) {
    CBuffer buffer(16);
    fill(buffer, "abc");
    uint8_t* block = buffer.GetData();
    EXPECT_TRUE(buffer.SetCapacity(16));
    EXPECT_EQ(buffer.GetData(), block);
    EXPECT_EQ(contentsOf(buffer), "abc");
}

TEST(CBuffer, AppendGrowsAndKeepsEarlierBytes) {
    CBuffer buffer;
    fill(buffer, "hello");
    fill(buffer, ", world");
    EXPECT_EQ(contentsOf(buffer), "hello, world");
    EXPECT_EQ(buffer.GetFreeSpace(), 0u);
}

TEST(CBuffer, AppendWithGrowStepReallocatesOnlyAtStepBoundaries) {
    CBuffer buffer;
    buffer.growStep = 64;
    std::string expected;
    std::vector<uint8_t*> blocks;
    for (int i = 0; i < 100; ++i) {
        const std::string piece(3, static_cast<char>('a' + i % 26));
        fill(buffer, piece);
        expected += piece;
        if (blocks.empty() || blocks.back() != buffer.GetData())
            blocks.push_back(buffer.GetData());
        EXPECT_EQ(capacityOf(buffer) % 64, 0u);
    }
    EXPECT_EQ(contentsOf(buffer), expected);
    EXPECT_EQ(blocks.size(), 5u); // 300 bytes in 64-byte steps
}

TEST(CBuffer, AppendOfNothingOrTooMuchLeavesTheBufferUnchanged) {
    CBuffer buffer;
    EXPECT_EQ(buffer.Append("x", 0), 0u);
    EXPECT_EQ(buffer.GetData(), nullptr);
    EXPECT_EQ(buffer.GetLength(), 0u);

    fill(buffer, "ab");
    EXPECT_EQ(buffer.Append(nullptr, 1), 0u);
    EXPECT_EQ(buffer.Append("x", UINT_MAX), 0u); // length + count overflows
    EXPECT_FALSE(buffer.Reserve(UINT_MAX - 1));
    EXPECT_EQ(contentsOf(buffer), "ab");
}

TEST(CBuffer, ReserveThroughTheBaseGrowsOnlyWhenNeeded) {
    auto buffer = std::make_unique<CBuffer>(10);
    fill(*buffer, "abcd");
    CBufferBase& base = *buffer;
    EXPECT_TRUE(base.Reserve(6));
    EXPECT_EQ(capacityOf(*buffer), 10u);
    EXPECT_TRUE(base.Reserve(7));
    EXPECT_EQ(capacityOf(*buffer), 11u);
    EXPECT_EQ(contentsOf(*buffer), "abcd");

    base.Clear();
    EXPECT_EQ(buffer->GetLength(), 0u);
    EXPECT_EQ(capacityOf(*buffer), 11u);
    base.Free();
    EXPECT_EQ(buffer->GetData(), nullptr);
    EXPECT_EQ(capacityOf(*buffer), 0u);

    fill(*buffer, "again");
    std::unique_ptr<CBufferBase> owner = std::move(buffer);
    owner.reset(); // the block is released through the base (ASan checks)
}

TEST(CBuffer, AttachMovesTheBlockAndEmptiesTheSource) {
    CBuffer source;
    fill(source, "payload");
    const uint8_t* block = source.GetData();
    CBuffer target;
    fill(target, "old");

    target.Attach(source);
    EXPECT_EQ(target.GetData(), block);
    EXPECT_EQ(contentsOf(target), "payload");
    EXPECT_EQ(source.GetData(), nullptr);
    EXPECT_EQ(source.GetLength(), 0u);
    EXPECT_EQ(source.GetFreeSpace(), 0u);

    target.Attach(target);
    EXPECT_EQ(contentsOf(target), "payload");
}

TEST(CBuffer, FindByteSearchesOnlyTheUsedBytes) {
    CBuffer buffer(32);
    EXPECT_EQ(buffer.FindByte(0), -1);
    const uint8_t bytes[] = {'a', 0xFF, 'b', 0, 'b'};
    buffer.Append(bytes, sizeof bytes);
    EXPECT_EQ(buffer.FindByte('b'), 2);
    EXPECT_EQ(buffer.FindByte(0), 3);
    EXPECT_EQ(buffer.FindByte(0xFF), 1);
    EXPECT_EQ(buffer.FindByte('z'), -1);
}

TEST(CBuffer, AccessorsNeverReachOutsideTheBlock) {
    CBuffer empty;
    EXPECT_EQ(empty.GetAt(0), nullptr);
    EXPECT_EQ(empty.GetTail(1), nullptr);
    EXPECT_FALSE(empty.Commit(1));

    CBuffer buffer(8);
    fill(buffer, "abc");
    ASSERT_NE(buffer.GetAt(2), nullptr);
    EXPECT_EQ(*buffer.GetAt(2), 'c');
    EXPECT_EQ(buffer.GetAt(3), nullptr);
    EXPECT_EQ(std::as_const(buffer).GetAt(3), nullptr);
    EXPECT_EQ(buffer.GetTail(6), nullptr);
    EXPECT_FALSE(buffer.Commit(6));

    uint8_t* tail = buffer.GetTail(5);
    ASSERT_EQ(tail, buffer.GetData() + 3);
    std::memcpy(tail, "de", 2);
    EXPECT_TRUE(buffer.Commit(2));
    EXPECT_EQ(contentsOf(buffer), "abcde");
    EXPECT_EQ(buffer.GetFreeSpace(), 3u);
}

TEST(CBuffer, CopyToCopiesTheLeadingBytes) {
    CBuffer buffer;
    fill(buffer, "abcdef");
    char out[8] = "-------";
    buffer.CopyTo(out, 0);
    EXPECT_STREQ(out, "-------");
    buffer.CopyTo(out, 4);
    EXPECT_STREQ(out, "abcd---");
}

TEST(CBuffer, ToStringAndToWString) {
    CBuffer buffer;
    std::string narrow = "stale";
    std::wstring wide = L"stale";
    buffer.ToString(narrow);
    buffer.ToWString(wide);
    EXPECT_EQ(narrow, "");
    EXPECT_EQ(wide, L"");

    // "A", e acute, a CJK ideograph, then an odd trailing byte.
    const uint8_t utf16le[] = {0x41, 0x00, 0xE9, 0x00, 0x2D, 0x4E, 0x7F};
    buffer.Append(utf16le, sizeof utf16le);
    buffer.ToWString(wide);
    EXPECT_EQ(wide, std::wstring(L"A\u00e9\u4e2d"));
    buffer.ToString(narrow);
    EXPECT_EQ(narrow, std::string(reinterpret_cast<const char*>(utf16le), sizeof utf16le));
}

TEST(CBuffer, ZeroTerminatorsCountInTheLength) {
    CBuffer buffer;
    const uint8_t* block = buffer.AppendZeroByte();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block, buffer.GetData());
    EXPECT_EQ(buffer.GetLength(), 1u);
    EXPECT_EQ(capacityOf(buffer), 1u);
    EXPECT_EQ(block[0], 0);

    fill(buffer, "x");
    block = buffer.AppendZeroWord();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(buffer.GetLength(), 4u);
    EXPECT_EQ(std::memcmp(block, "\0x\0\0", 4), 0);

    EXPECT_TRUE(buffer.AppendZeros(0));
    EXPECT_TRUE(buffer.AppendZeros(3));
    EXPECT_EQ(buffer.GetLength(), 7u);
    EXPECT_EQ(std::memcmp(buffer.GetData(), "\0x\0\0\0\0\0", 7), 0);
    EXPECT_FALSE(buffer.AppendZeros(UINT_MAX));
    EXPECT_EQ(buffer.GetLength(), 7u);
}

class CBufferXor : public ::testing::Test {
protected:
    void SetUp() override { fill(buffer, original); }

    const std::string original = "The quick brown fox";
    const uint8_t key[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
    CBuffer buffer;
};

TEST_F(CBufferXor, RejectsRangesOutsideTheDataAndBadKeyPositions) {
    const unsigned n = static_cast<unsigned>(original.size());
    struct Bad {
        unsigned offset, count, keyLength, keyPos;
    };
    for (const Bad& bad : {Bad{n + 1, 0, 5, 0}, Bad{n, 1, 5, 0}, Bad{2, n - 1, 5, 0},
                           Bad{1, UINT_MAX, 5, 0}, Bad{0, 1, 5, 5}, Bad{0, 1, 0, 0}}) {
        EXPECT_EQ(buffer.XorRange(bad.offset, bad.count, key, bad.keyLength, bad.keyPos), -1);
        EXPECT_EQ(contentsOf(buffer), original);
    }
}

TEST_F(CBufferXor, TwiceRestoresAndPiecesEqualOneCall) {
    const unsigned n = static_cast<unsigned>(original.size());
    EXPECT_EQ(buffer.XorRange(0, n, key, 5, 2), static_cast<int>((2 + n) % 5));
    EXPECT_NE(contentsOf(buffer), original);
    EXPECT_EQ(buffer.GetData()[0], 'T' ^ 0x33);
    const std::string once = contentsOf(buffer);
    buffer.XorRange(0, n, key, 5, 2);
    EXPECT_EQ(contentsOf(buffer), original);

    for (unsigned split = 0; split <= n; ++split) {
        CBuffer pieces;
        fill(pieces, original);
        const int keyPos = pieces.XorRange(0, split, key, 5, 2);
        ASSERT_GE(keyPos, 0);
        pieces.XorRange(split, n - split, key, 5, static_cast<unsigned>(keyPos));
        EXPECT_EQ(contentsOf(pieces), once) << "split at " << split;
    }
}

} // namespace
