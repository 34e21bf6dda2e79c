#include "rar_writer.h"

#include "base/crc32.h"
#include "base/mem_read_stream.h"
#include "update/archive/rar_blocks.h"
#include "update/archive/rar_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Sizes on both sides of the 31- and 32-bit limits: the low half goes to the
// 32-bit fields, the high half to the large-file fields, which appear only
// when needed.
TEST(RarWriter, FileHeaderCarriesSizesAroundThe32BitLimits) {
    const uint64_t sizes[] = {
        0,           1,          0x7FFFFFFF,           0x80000000,       0xFFFFFFFF, 0x100000000,
        0x100000001, 5ull << 30, (5ull << 30) + 12345, (1ull << 40) + 7, UINT64_MAX};
    const std::string name = "data\\big.bin";
    for (const uint64_t size : sizes) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> header;
        ASSERT_TRUE(appendRarFileHeader(name, false, size, 0x12345678, kRarFixedDosTime, header));
        RarBlockHeader block;
        ASSERT_TRUE(parseRarBlockHeader(header.data(), header.size(), block));
        EXPECT_EQ(block.type, kRarBlockFile);
        EXPECT_EQ(block.headSize, header.size());
        EXPECT_EQ(block.crc, rarHeaderCrc(header.data(), header.size()));
        RarFileHeader file;
        std::string error;
        ASSERT_TRUE(parseRarFileHeader(header.data(), header.size(), file, error)) << error;
        EXPECT_EQ(file.packedSize, size);
        EXPECT_EQ(file.unpackedSize, size);
        EXPECT_EQ((file.flags & kRarFileLarge) != 0, size > UINT32_MAX);
        EXPECT_EQ(file.method, kRarMethodStored);
        EXPECT_EQ(file.fileCrc, 0x12345678u);
        EXPECT_EQ(file.name, name);
    }
}

TEST(RarWriter, RefusesNamesTheHeaderCannotHold) {
    std::vector<uint8_t> header;
    EXPECT_FALSE(appendRarFileHeader("", false, 1, 0, kRarFixedDosTime, header));
    // The 64-bit size fields take room from the name.
    const std::string longest(0xFFFF - 32 - 8, 'n');
    EXPECT_TRUE(appendRarFileHeader(longest, false, 5ull << 30, 0, kRarFixedDosTime, header));
    EXPECT_FALSE(
        appendRarFileHeader(longest + "n", false, 5ull << 30, 0, kRarFixedDosTime, header));
}

// The bytes of one entry, larger than a source block.
std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = 7;
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 24);
    return bytes;
}

TEST(RarWriter, StreamedArchiveReadsBackWithNamesBytesAndCrc) {
    struct Entry {
        std::string name;
        std::vector<uint8_t> data;
    };
    const std::vector<Entry> entries = {
        {"bin\\game.exe", pattern(kSourceBlockSize * 2 + 17)},
        {"donn\xC3\xA9"
         "es\\caf\xC3\xA9 \xE6\xBC\xA2.txt",
         {'u', 't', 'f'}},
        {"empty.txt", {}},
    };
    std::vector<uint8_t> archive;
    CVectorEntrySink sink(archive);
    CRarStreamWriter writer(sink, kRarFixedDosTime);
    std::string error;
    ASSERT_TRUE(writer.AddDirectory("bin", error)) << error;
    for (const Entry& entry : entries) {
        CMemoryEntrySource source(entry.data);
        uint32_t crc = 1;
        ASSERT_TRUE(writer.AddFile(entry.name, source, crc, error)) << error;
        EXPECT_EQ(crc,
                  Crc32Continue(entry.data.data(), static_cast<unsigned>(entry.data.size()), 0));
    }
    ASSERT_TRUE(writer.Finish(error)) << error;

    CRarReader reader;
    ASSERT_TRUE(reader.OpenArchive(
        new CSimpleMemReadStream(archive.data(), static_cast<int>(archive.size()))))
        << reader.GetLastErrorText();
    ASSERT_EQ(reader.GetEntries().size(), entries.size() + 1);
    ASSERT_TRUE(reader.ExtractNext()) << reader.GetLastErrorText();
    EXPECT_EQ(reader.GetCurrentName(), "bin\\");
    for (const Entry& entry : entries) {
        ASSERT_TRUE(reader.ExtractNext(entry.data.size() + 1)) << reader.GetLastErrorText();
        EXPECT_EQ(reader.GetCurrentName(), entry.name);
        const CBuffer& out = reader.GetOutput();
        EXPECT_EQ(std::vector<uint8_t>(out.GetData(), out.GetData() + out.GetLength()), entry.data);
    }
    ASSERT_TRUE(reader.ExtractNext());
    EXPECT_EQ(reader.GetCurrentName(), "");
}

} // namespace
