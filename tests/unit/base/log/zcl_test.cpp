#include "base/log/zcl_container.h"
#include "base/log/zcl_encoder.h"
#include "unit/base/log/zcl_test_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using zcltest::Bytes;
using zcltest::kKey;
using zcltest::ZclDecoder;

// A file in memory with switches for the failures the walk must survive.
class CMemoryFile : public IZclFile {
public:
    Bytes bytes;
    bool bSizeFails = false;
    bool bWriteAtFails = false;

    size_t readAt(uint64_t offset, void* dest, size_t count) override {
        if (offset >= bytes.size())
            return 0;
        const size_t n = std::min(count, bytes.size() - static_cast<size_t>(offset));
        std::memcpy(dest, bytes.data() + offset, n);
        return n;
    }
    bool writeAt(uint64_t offset, const void* src, size_t count) override {
        if (bWriteAtFails || offset + count > bytes.size())
            return false;
        std::memcpy(bytes.data() + offset, src, count);
        return true;
    }
    bool append(const void* src, size_t count) override {
        const uint8_t* p = static_cast<const uint8_t*>(src);
        bytes.insert(bytes.end(), p, p + count);
        return true;
    }
    std::optional<uint64_t> size() override {
        if (bSizeFails)
            return std::nullopt;
        return bytes.size();
    }
};

Bytes header(uint32_t length) {
    Bytes h = {'Z', 'C', 'L', '1'};
    for (int i = 0; i < 4; ++i)
        h.push_back(static_cast<uint8_t>(length >> (8 * i)));
    return h;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct WalkCase {
    const char* name;
    Bytes file;
    EZclWalk result;
    Bytes after; // the file after the walk; empty: unchanged
};

TEST(WalkZclRecords, DecidesAndPatches) {
    const Bytes body10(10, 0xAA);
    const Bytes body12(12, 0x55);
    const WalkCase cases[] = {
        {"empty file", {}, eZclWalk_Foreign, {}},
        {"plain text",
         Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'},
         eZclWalk_Foreign,
         {}},
        {"short header", Bytes{'Z', 'C', 'L'}, eZclWalk_Foreign, {}},
        {"open record at the end", concat({header(0), body10}), eZclWalk_Ready,
         concat({header(18), body10})},
        {"open record after a complete one", concat({header(20), body12, header(0), body10}),
         eZclWalk_Ready, concat({header(20), body12, header(18), body10})},
        {"header only", header(0), eZclWalk_Ready, header(8)},
        {"complete container", concat({header(20), body12}), eZclWalk_Ready, {}},
        {"length under a header", concat({header(4), body10}), eZclWalk_Foreign, {}},
        {"length beyond the end", concat({header(100), body10}), eZclWalk_Foreign, {}},
        {"foreign data after a record",
         concat({header(20), body12, Bytes(9, 'x')}),
         eZclWalk_Foreign,
         {}},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryFile file;
        file.bytes = c.file;
        EXPECT_EQ(walkZclRecords(file), c.result);
        EXPECT_EQ(file.bytes, c.after.empty() ? c.file : c.after);
    }
}

TEST(WalkZclRecords, FailsWhenTheFileCannotBeMeasuredOrPatched) {
    CMemoryFile file;
    file.bytes = concat({header(0), Bytes(10, 1)});
    file.bSizeFails = true;
    EXPECT_EQ(walkZclRecords(file), eZclWalk_Failed);
    file.bSizeFails = false;
    file.bWriteAtFails = true;
    EXPECT_EQ(walkZclRecords(file), eZclWalk_Failed);
}

TEST(AppendZclHeader, WritesMagicAndZeroLength) {
    CMemoryFile file;
    ASSERT_TRUE(appendZclHeader(file));
    EXPECT_EQ(file.bytes, header(0));
}

// Writes one record the way CCypherLog does for one opening of the file.
void writeRecord(CMemoryFile& file, const std::vector<std::string>& writes, size_t blockSize) {
    const EZclWalk walk = walkZclRecords(file);
    ASSERT_NE(walk, eZclWalk_Failed);
    if (walk == eZclWalk_Foreign) {
        ASSERT_TRUE(file.bytes.empty()) << "the test only starts from an empty file";
    }
    ASSERT_TRUE(appendZclHeader(file));
    CZclEncoder encoder;
    ASSERT_TRUE(encoder.start(kKey, sizeof(kKey), blockSize));
    for (const std::string& w : writes)
        ASSERT_TRUE(encoder.write(w.data(), w.size(), file));
    ASSERT_TRUE(encoder.finish(file));
    EXPECT_FALSE(encoder.isStarted());
}

std::vector<std::string> decodeRecords(CMemoryFile& file, const ZclDecoder& decoder) {
    // The last record's length is filled in the way the next opening does it.
    EXPECT_EQ(walkZclRecords(file), eZclWalk_Ready);
    return decoder.decodeContainer(file.bytes);
}

class ZclRoundTrip : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(decoder.ready()) << "no Blowfish in this OpenSSL"; }
    ZclDecoder decoder;
    CMemoryFile file;
};

TEST_F(ZclRoundTrip, TwoRecordsDecodeToWhatWasWritten) {
    writeRecord(file, {"Creating context ===\r\n", "Url:  http://127.0.0.1/\r\n"}, 4096);
    writeRecord(file, {"second opening"}, 4096);
    EXPECT_EQ(decodeRecords(file, decoder),
              (std::vector<std::string>{"Creating context ===\r\nUrl:  http://127.0.0.1/\r\n",
                                        "second opening"}));
}

TEST_F(ZclRoundTrip, SmallBuffersAndLargeWritesGoThroughInPieces) {
    std::string big;
    uint32_t x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245 + 12345;
        big += static_cast<char>('a' + (x >> 16) % 26);
    }
    writeRecord(file, {big, "", "tail"}, 16); // 16 is raised to the smallest block
    EXPECT_EQ(decodeRecords(file, decoder), std::vector<std::string>{big + "tail"});
}

TEST(CZclEncoder, RefusesAnEmptyKeyAndWritesBeforeStart) {
    CMemoryFile file;
    CZclEncoder encoder;
    EXPECT_FALSE(encoder.start(kKey, 0, 4096));
    EXPECT_FALSE(encoder.start(nullptr, 8, 4096));
    EXPECT_FALSE(encoder.isStarted());
    EXPECT_FALSE(encoder.write("x", 1, file));
    EXPECT_FALSE(encoder.finish(file));
    EXPECT_TRUE(file.bytes.empty());
}

} // namespace
