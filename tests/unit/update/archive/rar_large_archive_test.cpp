// A stored RAR archive larger than 4 GiB, made up as it is read (a header,
// gigabytes of zeros, a small last file): block positions, the 64-bit sizes
// of a file header and the stored copy all go past 32 bits.
#include "update/archive/rar_reader.h"

#include "base/byte_order.h"
#include "base/crc32.h"
#include "base/mem_read_stream.h"
#include "update/archive/entry_sink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kZeroFileSize = (4ull << 30) + (1u << 20) + 3;

void seal(std::vector<uint8_t>& out, size_t start) {
    const uint16_t crc = rarHeaderCrc(out.data() + start, out.size() - start);
    out[start] = static_cast<uint8_t>(crc);
    out[start + 1] = static_cast<uint8_t>(crc >> 8);
}

// A stored file block header (the data follows it).
void fileHeader(std::vector<uint8_t>& out, const std::string& name, uint64_t size, uint32_t crc) {
    const size_t start = out.size();
    const bool large = size > UINT32_MAX;
    appendLe16(out, 0);
    out.push_back(kRarBlockFile);
    appendLe16(out, kRarFlagAddSize | (large ? kRarFileLarge : 0));
    appendLe16(out, static_cast<uint32_t>(kRarFileHeaderFixedSize + (large ? 8 : 0) + name.size()));
    appendLe32(out, static_cast<uint32_t>(size)); // packed
    appendLe32(out, static_cast<uint32_t>(size)); // unpacked
    out.push_back(2);                             // Windows
    appendLe32(out, crc);
    appendLe32(out, 0x00210000); // 1980-01-01
    out.push_back(29);
    out.push_back(kRarMethodStored);
    appendLe16(out, static_cast<uint32_t>(name.size()));
    appendLe32(out, 0x20);
    if (large) {
        appendLe32(out, static_cast<uint32_t>(size >> 32));
        appendLe32(out, static_cast<uint32_t>(size >> 32));
    }
    out.insert(out.end(), name.begin(), name.end());
    seal(out, start);
}

// The bytes `head`, then `zeros` zero bytes, then `tail`, without holding
// the zeros anywhere.
class CZeroGapStream : public ISimpleReadStream {
public:
    CZeroGapStream(std::vector<uint8_t> head, uint64_t zeros, std::vector<uint8_t> tail)
        : first(std::move(head)), gap(zeros), last(std::move(tail)),
          size(static_cast<int64_t>(first.size() + gap + last.size())) {}

    bool Seek(int64_t offset, int origin) override {
        const int64_t base = origin == eSeekOrigin_End     ? size
                             : origin == eSeekOrigin_Begin ? 0
                                                           : position;
        if (base + offset < 0 || base + offset > size)
            return false;
        position = base + offset;
        return true;
    }
    bool Read(void* dest, int count) override {
        if (!dest || count <= 0 || position >= size)
            return false;
        auto* out = static_cast<uint8_t*>(dest);
        std::memset(out, 0, static_cast<size_t>(count));
        const int64_t end = std::min<int64_t>(position + count, size);
        const auto gapEnd = static_cast<int64_t>(first.size() + gap);
        for (int64_t at = position; at < end;) {
            if (at < static_cast<int64_t>(first.size())) {
                out[at - position] = first[static_cast<size_t>(at)];
                ++at;
            } else if (at < gapEnd) {
                at = std::min(end, gapEnd); // zeros: already there
            } else {
                out[at - position] = last[static_cast<size_t>(at - gapEnd)];
                ++at;
            }
        }
        position = end;
        return true;
    }
    int64_t Tell() const override { return position; }
    bool Close() override { return true; }

private:
    std::vector<uint8_t> first;
    uint64_t gap;
    std::vector<uint8_t> last;
    int64_t size;
    int64_t position = 0;
};

uint32_t crcOfZeros(uint64_t count) {
    const std::vector<uint8_t> zeros(1u << 20);
    uint32_t crc = 0;
    for (uint64_t left = count; left > 0;) {
        const auto n = static_cast<unsigned>(std::min<uint64_t>(left, zeros.size()));
        crc = Crc32Continue(zeros.data(), n, crc);
        left -= n;
    }
    return crc;
}

TEST(RarLargeArchive, ListsAndExtractsEntriesPastFourGiB) {
    const std::string tailText = "the last file, past 4 GiB";
    std::vector<uint8_t> head = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
    const size_t archiveHeader = head.size();
    appendLe16(head, 0);
    head.push_back(kRarBlockArchive);
    appendLe16(head, 0);
    appendLe16(head, 13);
    appendLe16(head, 0);
    appendLe32(head, 0);
    seal(head, archiveHeader);
    fileHeader(head, "zeros.bin", kZeroFileSize, crcOfZeros(kZeroFileSize));
    std::vector<uint8_t> tail;
    fileHeader(tail, "tail.txt", tailText.size(),
               Crc32(tailText.data(), static_cast<unsigned>(tailText.size())));
    tail.insert(tail.end(), tailText.begin(), tailText.end());
    const size_t end = tail.size();
    appendLe16(tail, 0);
    tail.push_back(kRarBlockEnd);
    appendLe16(tail, 0x4000);
    appendLe16(tail, 7);
    seal(tail, end);

    CRarReader reader;
    ASSERT_TRUE(reader.OpenArchive(new CZeroGapStream(head, kZeroFileSize, tail)))
        << reader.GetLastErrorText();
    ASSERT_EQ(reader.GetEntries().size(), 2u);
    EXPECT_EQ(reader.GetEntries()[0].unpackedSize, kZeroFileSize);
    EXPECT_EQ(reader.GetEntries()[1].name, "tail.txt");

    CDiscardEntrySink none;
    CCrcEntrySink counted(none);
    ASSERT_TRUE(reader.ExtractNextTo(counted)) << reader.GetLastErrorText();
    EXPECT_EQ(reader.GetCurrentName(), "zeros.bin");
    EXPECT_EQ(counted.GetCount(), kZeroFileSize);
    ASSERT_TRUE(reader.ExtractNext()) << reader.GetLastErrorText();
    EXPECT_EQ(reader.GetCurrentName(), "tail.txt");
    const CBuffer& out = reader.GetOutput();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.GetData()), out.GetLength()), tailText);
    ASSERT_TRUE(reader.ExtractNext());
    EXPECT_EQ(reader.GetCurrentName(), "");
}

} // namespace
