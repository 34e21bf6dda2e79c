#include "update/unpack/file_part_store.h"

#include "base/buffer.h"
#include "base/crc32.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// The temporary folder in memory; appends fail after `appendsLeft` calls.
class CFakePartFiles : public IPartFiles {
public:
    bool Measure(const std::wstring& path, uint32_t& crc, uint64_t& size) override {
        const auto found = disk.find(path);
        if (found == disk.end())
            return false;
        const std::vector<uint8_t>& bytes = found->second;
        crc = Crc32Continue(bytes.data(), static_cast<unsigned>(bytes.size()), 0);
        size = bytes.size();
        ++measures;
        return true;
    }
    bool Append(const std::wstring& path, const uint8_t* bytes, size_t count) override {
        std::vector<uint8_t>& file = disk[path];
        if (appendsLeft == 0) {
            file.insert(file.end(), bytes, bytes + count / 2); // a torn write
            return false;
        }
        --appendsLeft;
        file.insert(file.end(), bytes, bytes + count);
        return true;
    }

    std::map<std::wstring, std::vector<uint8_t>> disk;
    int appendsLeft = 1 << 30;
    int measures = 0;
};

std::vector<uint8_t> pattern(size_t count, uint8_t seed) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 5));
    return bytes;
}

void fill(CBuffer& buffer, const std::vector<uint8_t>& bytes) {
    buffer.Append(bytes.data(), static_cast<unsigned>(bytes.size()));
}

bool add(CFilePartStore& store, const std::wstring& path, const std::vector<uint8_t>& bytes) {
    CBuffer part;
    fill(part, bytes);
    return store.AddFilePart(path, &part, part.GetLength());
}

uint32_t crcOf(const std::vector<uint8_t>& bytes) {
    return Crc32Continue(bytes.data(), static_cast<unsigned>(bytes.size()), 0);
}

const std::wstring kPath = L"C:\\Game\\tmp\\0A1B2C3D.5000";

TEST(FilePartStore, RunningCrcAndSizeIncludeAnEarlierRunsBytes) {
    const std::vector<uint8_t> whole = pattern(5000, 3);
    CFakePartFiles files;
    files.disk[kPath].assign(whole.begin(), whole.begin() + 1200); // left by a broken run
    CFilePartStore store(files);

    ASSERT_TRUE(store.AddFilePart(kPath, nullptr, 0));
    uint32_t crc = 0;
    uint64_t size = 0;
    ASSERT_TRUE(store.GetFileCrc(kPath, &crc, &size));
    EXPECT_EQ(size, 1200u);
    EXPECT_EQ(crc, crcOf({whole.begin(), whole.begin() + 1200}));

    ASSERT_TRUE(add(store, kPath, {whole.begin() + 1200, whole.begin() + 3000}));
    ASSERT_TRUE(add(store, kPath, {whole.begin() + 3000, whole.end()}));
    ASSERT_TRUE(store.GetFileCrc(kPath, &crc, &size));
    EXPECT_EQ(size, whole.size());
    EXPECT_EQ(crc, crcOf(whole));
    EXPECT_EQ(files.measures, 1) << "the record answers without reading the file again";

    ASSERT_TRUE(store.FlushFile(kPath));
    EXPECT_EQ(files.disk[kPath], whole);
}

// The resume measurement runs outside the owner's lock: its result becomes
// the record without the store reading the file, and never replaces a
// record made meanwhile.
TEST(FilePartStore, AdoptedMeasurementResumesExactlyAndYieldsToANewerRecord) {
    const std::vector<uint8_t> whole = pattern(4000, 5);
    CFakePartFiles files;
    files.disk[kPath].assign(whole.begin(), whole.begin() + 1500);
    CFilePartStore store(files);
    EXPECT_FALSE(store.HasRecord(kPath));
    ASSERT_TRUE(store.AdoptMeasuredRecord(kPath, crcOf(files.disk[kPath]), 1500));
    ASSERT_TRUE(store.AddFilePart(kPath, nullptr, 0));
    ASSERT_TRUE(add(store, kPath, {whole.begin() + 1500, whole.end()}));
    uint32_t crc = 0;
    uint64_t size = 0;
    ASSERT_TRUE(store.GetFileCrc(kPath, &crc, &size));
    EXPECT_EQ(size, whole.size());
    EXPECT_EQ(crc, crcOf(whole));
    EXPECT_EQ(files.measures, 0);

    EXPECT_FALSE(store.AdoptMeasuredRecord(kPath, 0, 0));
    ASSERT_TRUE(store.GetFileCrc(kPath, &crc, &size));
    EXPECT_EQ(size, whole.size());
    ASSERT_TRUE(store.FlushFile(kPath));
    EXPECT_EQ(files.disk[kPath], whole);
}

TEST(FilePartStore, PartsMoveIntoTheStoreAndOnlyTheGivenLengthCounts) {
    CFakePartFiles files;
    CFilePartStore store(files);
    const std::vector<uint8_t> bytes = pattern(100, 9);
    CBuffer part;
    fill(part, bytes);
    ASSERT_TRUE(store.AddFilePart(kPath, &part, 60));
    EXPECT_EQ(part.GetLength(), 0u);
    EXPECT_EQ(part.GetData(), nullptr);

    CBuffer tooShort;
    fill(tooShort, pattern(10, 1));
    EXPECT_FALSE(store.AddFilePart(kPath, &tooShort, 11));
    EXPECT_EQ(tooShort.GetLength(), 10u) << "a refused part stays with the caller";

    ASSERT_TRUE(store.FlushParts());
    EXPECT_EQ(files.disk[kPath], std::vector<uint8_t>(bytes.begin(), bytes.begin() + 60));
}

TEST(FilePartStore, CompletedRecordRefusesLatePartsUntilDropped) {
    CFakePartFiles files;
    CFilePartStore store(files);
    const std::vector<uint8_t> first = pattern(300, 1);
    ASSERT_TRUE(add(store, kPath, first));
    ASSERT_TRUE(store.SetCompleted(kPath));

    CBuffer late;
    fill(late, pattern(50, 2));
    EXPECT_FALSE(store.AddFilePart(kPath, &late, 50));
    EXPECT_EQ(late.GetLength(), 50u);
    uint32_t crc = 0;
    uint64_t size = 0;
    ASSERT_TRUE(store.GetFileCrc(kPath, &crc, &size));
    EXPECT_EQ(size, 300u);
    EXPECT_EQ(crc, crcOf(first));

    store.DropFileParts(kPath);
    ASSERT_TRUE(store.GetFileCrc(kPath, &crc, &size));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(crc, 0u);
    EXPECT_FALSE(store.IsCompleted(kPath));
    EXPECT_FALSE(store.HasPendingParts()) << "dropped parts are never written";
    EXPECT_TRUE(add(store, kPath, pattern(10, 4)));
}

TEST(FilePartStore, UnknownPathHasNoRecord) {
    CFakePartFiles files;
    CFilePartStore store(files);
    uint32_t crc = 7;
    uint64_t size = 7;
    EXPECT_FALSE(store.GetFileCrc(L"nothing", &crc, &size));
    EXPECT_EQ(crc, 0u);
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(store.SetCompleted(L"nothing"));
}

// The writer's loop: the oldest part of any file first, its CRC counted
// from the record's, the part leaving the store only once it is written.
bool writeOldest(CFilePartStore& store, CFakePartFiles& files) {
    SPartToWrite part;
    if (!store.NextPartToWrite(part))
        return false;
    if (files.Append(part.path, part.bytes, part.length)) {
        store.PartWritten(part, Crc32Continue(part.bytes, part.length, part.crcBefore));
    } else {
        uint32_t crc = 0;
        uint64_t size = 0;
        files.Measure(part.path, crc, size);
        store.PartFailed(part, crc, size);
    }
    return true;
}

TEST(FilePartStore, WriterTakesPartsInArrivalOrderAndTheCrcCountsWhatWaits) {
    CFakePartFiles files;
    CFilePartStore store(files);
    const std::wstring other = L"C:\\Game\\tmp\\other";
    const std::vector<uint8_t> whole = pattern(1500, 1);
    ASSERT_TRUE(add(store, kPath, {whole.begin(), whole.begin() + 300}));
    ASSERT_TRUE(add(store, other, pattern(10, 99)));
    ASSERT_TRUE(add(store, kPath, {whole.begin() + 300, whole.end()}));
    EXPECT_EQ(store.PendingBytes(), 1510u);

    ASSERT_TRUE(writeOldest(store, files));
    EXPECT_EQ(files.disk[kPath], std::vector<uint8_t>(whole.begin(), whole.begin() + 300));
    EXPECT_EQ(files.disk.count(other), 0u) << "the second part waits for the first";
    uint32_t crc = 0;
    uint64_t size = 0;
    ASSERT_TRUE(store.GetFileCrc(kPath, &crc, &size));
    EXPECT_EQ(size, whole.size());
    EXPECT_EQ(crc, crcOf(whole)) << "the waiting part is counted as well";

    ASSERT_TRUE(writeOldest(store, files));
    EXPECT_EQ(files.disk[other], pattern(10, 99));
    ASSERT_TRUE(writeOldest(store, files));
    EXPECT_FALSE(writeOldest(store, files));
    EXPECT_FALSE(store.HasPendingParts());
    EXPECT_EQ(files.disk[kPath], whole);
    ASSERT_TRUE(store.GetFileCrc(kPath, &crc, &size));
    EXPECT_EQ(crc, crcOf(whole));
}

// Flushing writes what the writer has not taken yet, after what it wrote,
// and leaves it nothing to take.
TEST(FilePartStore, FlushWritesTheRestBehindTheWriter) {
    CFakePartFiles files;
    CFilePartStore store(files);
    const std::vector<uint8_t> whole = pattern(900, 3);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(add(store, kPath, {whole.begin() + i * 300, whole.begin() + (i + 1) * 300}));
    ASSERT_TRUE(writeOldest(store, files));
    ASSERT_TRUE(store.FlushParts());
    EXPECT_FALSE(writeOldest(store, files));
    EXPECT_EQ(files.disk[kPath], whole);
    uint32_t crc = 0;
    ASSERT_TRUE(store.GetFileCrc(kPath, &crc, nullptr));
    EXPECT_EQ(crc, crcOf(whole));
}

TEST(FilePartStore, FlushedPartsResumeInANewStore) {
    CFakePartFiles files;
    const std::vector<uint8_t> bytes = pattern(2500, 5);
    uint32_t crcBefore = 0;
    uint64_t sizeBefore = 0;
    {
        CFilePartStore store(files);
        ASSERT_TRUE(add(store, kPath, {bytes.begin(), bytes.begin() + 1000}));
        ASSERT_TRUE(add(store, kPath, {bytes.begin() + 1000, bytes.end()}));
        ASSERT_TRUE(store.GetFileCrc(kPath, &crcBefore, &sizeBefore));
        ASSERT_TRUE(store.FlushParts());
    }
    CFilePartStore next(files);
    ASSERT_TRUE(next.AddFilePart(kPath, nullptr, 0));
    uint32_t crc = 0;
    uint64_t size = 0;
    ASSERT_TRUE(next.GetFileCrc(kPath, &crc, &size));
    EXPECT_EQ(size, sizeBefore);
    EXPECT_EQ(crc, crcBefore);
}

// A torn write leaves the record at what the disk holds, drops the parts
// behind it and refuses more until the download starts over.
TEST(FilePartStore, FailedWriteRestartsTheRecordFromTheDiskAndRefusesParts) {
    for (const bool byWriter : {true, false}) {
        SCOPED_TRACE(byWriter ? "writer" : "flush");
        CFakePartFiles files;
        CFilePartStore store(files);
        files.appendsLeft = 1;
        ASSERT_TRUE(add(store, kPath, pattern(200, 1)));
        ASSERT_TRUE(add(store, kPath, pattern(400, 2)));
        ASSERT_TRUE(add(store, kPath, pattern(100, 3)));
        if (byWriter) {
            ASSERT_TRUE(writeOldest(store, files));
            ASSERT_TRUE(writeOldest(store, files));
            EXPECT_FALSE(writeOldest(store, files)) << "the parts behind the torn one are gone";
        } else {
            EXPECT_FALSE(store.FlushParts());
        }
        uint32_t crc = 0;
        uint64_t size = 0;
        ASSERT_TRUE(store.GetFileCrc(kPath, &crc, &size));
        const std::vector<uint8_t>& onDisk = files.disk[kPath];
        EXPECT_EQ(size, onDisk.size());
        EXPECT_EQ(size, 400u) << "200 whole, 200 of the torn 400";
        EXPECT_EQ(crc, crcOf(onDisk));
        EXPECT_FALSE(store.HasPendingParts());
        EXPECT_EQ(store.HasWriteFailed(kPath), byWriter);
        if (byWriter) {
            EXPECT_FALSE(add(store, kPath, pattern(10, 4)));
            store.DropFileParts(kPath);
            EXPECT_TRUE(add(store, kPath, pattern(10, 4)));
        }
    }
}

} // namespace
