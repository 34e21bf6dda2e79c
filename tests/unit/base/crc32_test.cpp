#include "base/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

uint32_t crcOf(const std::string& text) {
    return Crc32(text.data(), static_cast<unsigned>(text.size()));
}

uint32_t zlibCrc(uint32_t previous, const uint8_t* bytes, size_t count) {
    return static_cast<uint32_t>(::crc32_z(previous, bytes, count));
}

std::vector<uint8_t> randomBytes(size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(generator());
    return bytes;
}

TEST(Crc32, KnownVectors) {
    struct Vector {
        const char* text;
        uint32_t crc;
    };
    const Vector vectors[] = {
        {"123456789", 0xCBF43926},
        {"a", 0xE8B7BE43},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339},
        // Zero bytes: the final XOR of 0, not the standard 0.
        {"", 0xFFFFFFFF},
    };
    for (const Vector& v : vectors)
        EXPECT_EQ(crcOf(v.text), v.crc) << '"' << v.text << '"';

    const std::vector<uint8_t> zeros(4096, 0);
    EXPECT_EQ(Crc32(zeros.data(), 32), 0x190A55AD);
    EXPECT_EQ(Crc32(zeros.data(), 4096), zlibCrc(0, zeros.data(), 4096));
}

TEST(Crc32, ContinueOfNothingReturnsThePreviousValue) {
    for (uint32_t previous : {0u, 1u, 0xCBF43926u, 0xFFFFFFFFu})
        EXPECT_EQ(Crc32Continue("ignored", 0, previous), previous);
}

TEST(Crc32, ContinueFromZeroIsTheOneShotCrc) {
    const std::vector<uint8_t> bytes = randomBytes(1000, 1);
    for (unsigned n : {1u, 9u, 64u, 79u, 80u, 1000u})
        EXPECT_EQ(Crc32Continue(bytes.data(), n, 0), Crc32(bytes.data(), n)) << n;
}

// Every split point, so that each piece takes the short table path, the
// folding path or both, and the register carries across them.
TEST(Crc32, ContinueSplitAnywhereGivesTheWholeCrc) {
    const std::vector<uint8_t> bytes = randomBytes(700, 2);
    const unsigned n = static_cast<unsigned>(bytes.size());
    const uint32_t whole = Crc32(bytes.data(), n);
    for (unsigned split = 1; split < n; ++split) {
        const uint32_t first = Crc32(bytes.data(), split);
        ASSERT_EQ(Crc32Continue(bytes.data() + split, n - split, first), whole) << split;
    }
}

// All lengths up to 600 at every alignment of a 16-byte block cover the
// folding path's thresholds, heads and tails; the large sizes its loops.
TEST(Crc32, MatchesZlibAndTheByteLoopForManyLengthsAndAlignments) {
    RecordProperty("clmul", crc32_paths::clmulAvailable() ? "yes" : "no");
    std::vector<size_t> lengths;
    for (size_t n = 1; n <= 600; ++n)
        lengths.push_back(n);
    for (size_t n : {4095u, 4096u, 65536u + 13u, 1048576u + 7u})
        lengths.push_back(n);

    const std::vector<uint8_t> storage = randomBytes(1048576 + 7 + 16, 3);
    for (size_t misalignment = 0; misalignment < 16; ++misalignment) {
        const uint8_t* bytes = storage.data() + misalignment;
        for (size_t n : lengths) {
            const unsigned count = static_cast<unsigned>(n);
            const uint32_t expected = zlibCrc(0, bytes, n);
            ASSERT_EQ(Crc32(bytes, count), expected) << n << " bytes at +" << misalignment;
            ASSERT_EQ(Crc32Continue(bytes, count, 0x12345678), zlibCrc(0x12345678, bytes, n))
                << n << " bytes at +" << misalignment;
            if (misalignment % 5 == 0) {
                ASSERT_EQ(~crc32_paths::bytewise(0xFFFFFFFF, bytes, n), expected) << n;
                ASSERT_EQ(~crc32_paths::sliced(0xFFFFFFFF, bytes, n), expected) << n;
            }
        }
    }
}

} // namespace
