// Extraction through a sink in small pieces must give exactly what the
// in-memory extraction gives, with every piece within the asked size.
#include "base/crc32.h"
#include "base/mem_read_stream.h"
#include "unit/update/archive/fixture_bytes.h"
#include "unit/update/archive/rar_test_support.h"
#include "update/archive/entry_sink.h"
#include "update/archive/rar_reader.h"
#include "update/archive/zip_file.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Collects the pieces; refuses once `refuseAfter` bytes were taken.
class CCollectingSink : public IEntrySink {
public:
    explicit CCollectingSink(size_t maxPiece, size_t refuseAfter = SIZE_MAX)
        : nMaxPiece(maxPiece), nRefuseAfter(refuseAfter) {}
    bool Write(const uint8_t* data, size_t count) override {
        EXPECT_GT(count, 0u);
        EXPECT_LE(count, nMaxPiece);
        if (bytes.size() + count > nRefuseAfter)
            return false;
        bytes.insert(bytes.end(), data, data + count);
        return true;
    }
    std::vector<uint8_t> bytes;

private:
    size_t nMaxPiece;
    size_t nRefuseAfter;
};

const size_t kChunkSizes[] = {1, 13, 4096, kEntryChunkSize};

std::unique_ptr<ISimpleReadStream> streamOver(const std::vector<uint8_t>& bytes) {
    return std::make_unique<CSimpleMemReadStream>(bytes.data(), static_cast<int>(bytes.size()));
}

// A text-like entry that deflates well and spans many inflate windows.
std::vector<uint8_t> compressibleText(size_t size) {
    const std::string line = "level=12 spawn=north gate; weight 0.75 value 42\r\n";
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(line[i % line.size()] ^ ((i / 4099) & 1));
    return bytes;
}

std::vector<uint8_t> generatedZip() {
    std::vector<uint8_t> noise(70000);
    uint32_t state = 12345;
    for (uint8_t& b : noise)
        b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
    std::vector<uint8_t> zip;
    std::string error;
    EXPECT_TRUE(writeZip(
        {{"data/big.txt", compressibleText(300000)}, {"data/noise.bin", noise}, {"empty.txt", {}}},
        zip, error))
        << error;
    return zip;
}

void expectZipStreamsLikeMemory(const std::vector<uint8_t>& archive, bool largeChunksOnly) {
    CZipFile zip;
    ASSERT_EQ(zip.OpenZip(streamOver(archive)), ZIP_S_OK);
    for (int i = 0; i < zip.GetCount(); ++i) {
        SCOPED_TRACE(zip.GetEntryName(i));
        // One spare byte: an empty entry still needs a destination.
        std::vector<uint8_t> whole(zip.GetEntrySize(i) + 1u);
        ASSERT_EQ(zip.ExtractEntry(i, whole.data()), ZIP_S_OK);
        whole.pop_back();
        for (const size_t chunk : kChunkSizes) {
            if (largeChunksOnly && chunk < 4096)
                continue;
            SCOPED_TRACE(chunk);
            CCollectingSink sink(chunk);
            CCrcEntrySink checked(sink);
            ASSERT_EQ(zip.ExtractEntryTo(i, checked, chunk), ZIP_S_OK);
            EXPECT_EQ(sink.bytes, whole);
            EXPECT_EQ(checked.GetCount(), zip.GetEntrySize(i));
            EXPECT_EQ(checked.GetCrc(), zip.GetEntryCrc(i));
        }
    }
}

TEST(ZipStreaming, DeflatedAndStoredEntriesMatchTheInMemoryExtraction) {
    expectZipStreamsLikeMemory(fixturebytes::read("zip/deflated.zip"), false);
    expectZipStreamsLikeMemory(fixturebytes::read("zip/stored.zip"), false);
    expectZipStreamsLikeMemory(generatedZip(), true);
}

TEST(ZipStreaming, CutAtTheCentralSizeLikeTheInMemoryExtraction) {
    const std::vector<uint8_t> archive = fixturebytes::read("zip/deflated-size-small.zip");
    CZipFile zip;
    ASSERT_EQ(zip.OpenZip(streamOver(archive)), ZIP_S_OK);
    CCollectingSink sink(100);
    ASSERT_EQ(zip.ExtractEntryTo(0, sink, 100), ZIP_S_OK);
    EXPECT_EQ(sink.bytes.size(), zip.GetEntrySize(0));
}

TEST(ZipStreaming, SinkRefusalAndDamagedDataFailTheEntry) {
    std::vector<uint8_t> archive = generatedZip();
    CZipFile zip;
    ASSERT_EQ(zip.OpenZip(streamOver(archive)), ZIP_S_OK);
    CCollectingSink refusing(4096, 10000);
    EXPECT_EQ(zip.ExtractEntryTo(0, refusing, 4096), E_ZIP_BAD_FORMAT);
    EXPECT_LE(refusing.bytes.size(), 10000u);
    CCollectingSink any(4096);
    EXPECT_EQ(zip.ExtractEntryTo(0, any, 0), ZIP_E_INVALIDARG);
    EXPECT_EQ(zip.ExtractEntryTo(3, any, 4096), ZIP_E_INVALIDARG);

    // The first entry's data starts behind its 30-byte local header and
    // name; 0xFF there is a deflate block of the reserved type.
    const size_t data = 30 + std::string("data/big.txt").size();
    archive[data] = 0xFF;
    ASSERT_EQ(zip.OpenZip(streamOver(archive)), ZIP_S_OK);
    CCollectingSink damaged(4096);
    EXPECT_EQ(zip.ExtractEntryTo(0, damaged, 4096), E_ZIP_BAD_FORMAT);
}

struct RarFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

std::vector<RarFile> extractRarInMemory(const std::vector<uint8_t>& archive) {
    CRarReader reader;
    EXPECT_TRUE(reader.OpenArchive(
        new CSimpleMemReadStream(archive.data(), static_cast<int>(archive.size()))));
    std::vector<RarFile> files;
    while (reader.ExtractNext() && !reader.GetCurrentName().empty()) {
        CBuffer& out = reader.GetOutput();
        files.push_back({reader.GetCurrentName(),
                         std::vector<uint8_t>(out.GetData(), out.GetData() + out.GetLength())});
    }
    return files;
}

TEST(RarStreaming, EntriesMatchTheInMemoryExtraction) {
    const struct {
        const char* file;
        size_t smallestChunk;
    } cases[] = {
        {"basic.rar", 1}, {"compress_best.rar", 13}, {"binary_data.rar", 4096}, {"filter.rar", 13}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<uint8_t> archive = rartest::fixture(c.file);
        const std::vector<RarFile> expected = extractRarInMemory(archive);
        ASSERT_FALSE(expected.empty());
        for (const size_t chunk : kChunkSizes) {
            if (chunk < c.smallestChunk)
                continue;
            SCOPED_TRACE(chunk);
            CRarReader reader;
            ASSERT_TRUE(reader.OpenArchive(
                new CSimpleMemReadStream(archive.data(), static_cast<int>(archive.size()))));
            for (const RarFile& file : expected) {
                CCollectingSink sink(chunk);
                ASSERT_TRUE(reader.ExtractNextTo(sink, chunk)) << reader.GetLastErrorText();
                EXPECT_EQ(reader.GetCurrentName(), file.name);
                EXPECT_EQ(sink.bytes, file.bytes);
                EXPECT_EQ(reader.GetOutput().GetLength(), 0u);
            }
            CCollectingSink end(chunk);
            ASSERT_TRUE(reader.ExtractNextTo(end, chunk));
            EXPECT_TRUE(reader.GetCurrentName().empty());
        }
    }
}

TEST(RarStreaming, CrcMismatchAndSinkRefusalFail) {
    std::vector<uint8_t> archive = rartest::fixture("compress_best.rar");
    const std::vector<size_t> blocks = rartest::fileBlockOffsets(archive);
    ASSERT_FALSE(blocks.empty());
    rartest::patchHeader(archive, blocks[0], [](uint8_t* header) { header[16] ^= 0x01; });
    {
        CRarReader reader;
        ASSERT_TRUE(reader.OpenArchive(
            new CSimpleMemReadStream(archive.data(), static_cast<int>(archive.size()))));
        CCollectingSink sink(4096);
        EXPECT_FALSE(reader.ExtractNextTo(sink, 4096));
        EXPECT_NE(reader.GetLastErrorText().find("CRC"), std::string::npos);
    }
    const std::vector<uint8_t> good = rartest::fixture("binary_data.rar");
    CRarReader reader;
    ASSERT_TRUE(
        reader.OpenArchive(new CSimpleMemReadStream(good.data(), static_cast<int>(good.size()))));
    CCollectingSink refusing(4096, 100000);
    EXPECT_FALSE(reader.ExtractNextTo(refusing, 4096));
    CCollectingSink next(4096);
    EXPECT_FALSE(reader.ExtractNextTo(next, 4096)) << "a failed archive stays failed";
}

} // namespace
