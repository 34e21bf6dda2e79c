#include "update/archive/rar_reader.h"

#include "base/byte_order.h"
#include "base/crc32.h"
#include "base/mem_read_stream.h"
#include "unit/update/archive/rar_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using rartest::fixture;

struct Extracted {
    std::string name;
    unsigned size;
    uint32_t crc;
    bool operator==(const Extracted&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Extracted& e) {
    return out << e.name << " " << e.size << " " << std::hex << e.crc;
}

CRarReader& open(CRarReader& reader, const std::vector<uint8_t>& bytes) {
    EXPECT_TRUE(
        reader.OpenArchive(new CSimpleMemReadStream(bytes.data(), static_cast<int>(bytes.size()))))
        << reader.GetLastErrorText();
    return reader;
}

// Every file (directories skipped) until the end or the first failure.
std::vector<Extracted> extractAll(CRarReader& reader, bool& ok) {
    std::vector<Extracted> files;
    while ((ok = reader.ExtractNext()) && !reader.GetCurrentName().empty()) {
        const std::string& name = reader.GetCurrentName();
        if (name.back() == '\\')
            continue;
        CBuffer& out = reader.GetOutput();
        files.push_back({name, out.GetLength(), Crc32Continue(out.GetData(), out.GetLength(), 0)});
    }
    return files;
}

// Every file (directories skipped) until the end or the first failure,
// streamed and forgotten: one file of the table below unpacks to 241 MB.
std::vector<Extracted> streamAll(CRarReader& reader, bool& ok) {
    std::vector<Extracted> files;
    for (;;) {
        CDiscardEntrySink none;
        CCrcEntrySink checked(none);
        ok = reader.ExtractNextTo(checked);
        const std::string& name = reader.GetCurrentName();
        if (!ok || name.empty())
            return files;
        if (name.back() != '\\')
            files.push_back({name, static_cast<unsigned>(checked.GetCount()), checked.GetCrc()});
    }
}

struct FixtureCase {
    const char* file;
    std::vector<Extracted> expected; // names, sizes and CRCs as bsdtar 3.7.4 extracts them
};

// Every RAR 4 archive of libarchive's test data that bsdtar extracts.
// Symbolic links come out of the reader as their target text, as stored.
const FixtureCase kLibarchiveCases[] = {
    {"basic.rar",
     {{"test.txt", 20, 0xBEC8A242},
      {"testlink", 8, 0xB6C9447B},
      {"testdir\\test.txt", 20, 0xBEC8A242}}},
    {"binary_data.rar",
     {{"random_data.bin", 1048576, 0xB5C45CBE}, {"LibarchiveAddingTest.odt", 32618, 0x3435594D}}},
    {"compress_best.rar",
     {{"LibarchiveAddingTest.html", 20111, 0x5E05A663},
      {"testlink", 25, 0x11FCD3F1},
      {"testdir\\test.txt", 20, 0xBEC8A242},
      {"testdir\\LibarchiveAddingTest.html", 20111, 0x5E05A663}}},
    {"compress_normal.rar",
     {{"LibarchiveAddingTest.html", 20111, 0x5E05A663},
      {"testlink", 25, 0x11FCD3F1},
      {"testdir\\test.txt", 20, 0xBEC8A242},
      {"testdir\\LibarchiveAddingTest.html", 20111, 0x5E05A663}}},
    {"filter.rar", {{"bsdcat.exe", 204288, 0x4DB10349}}},
    // Several LZSS blocks in one file; 3.6 decoded them wrongly.
    {"multi_lzss_blocks.rar", {{"multi_lzss_blocks_test.txt", 20131111, 0x6BA21570}}},
    {"noeof.rar", {{"test.txt", 20, 0xBEC8A242}}},
    // PPMd and LZSS blocks alternate.
    {"ppmd_lzss_conversion.rar", {{"ppmd_lzss_conversion_test.txt", 241647978, 0xF72B4477}}},
    {"sfx.exe",
     {{"test.txt", 16, 0x97D612F1},
      {"testshortcut.lnk", 441, 0x5B5CD737},
      {"testdir\\test.txt", 16, 0x97D612F1}}},
    {"subblock.rar", {{"test.txt", 20, 0xBEC8A242}}},
    // Unicode names beside OEM ones: the Unicode name is the name.
    {"unicode.rar",
     {{"表だよ\\新しいフォルダ\\新規テキスト ドキュメント.txt", 0, 0x00000000},
      {"表だよ\\漢字長いファイル名long-filename-in-漢字.txt", 5, 0x426F9DDC},
      {"表だよ\\ファイル", 54, 0x5DFB8225},
      {"abcdefghijklmnopqrsテスト.txt", 16, 0x15B6D005}}},
    {"windows.rar",
     {{"testdir\\test.txt", 16, 0x97D612F1},
      {"test.txt", 16, 0x97D612F1},
      {"testshortcut.lnk", 441, 0x5B5CD737}}},
};

TEST(RarReader, ExtractsLibarchiveTestArchivesLikeBsdtar) {
    for (const FixtureCase& c : kLibarchiveCases) {
        SCOPED_TRACE(c.file);
        CRarReader reader;
        bool ok = false;
        EXPECT_EQ(streamAll(open(reader, fixture(c.file)), ok), c.expected);
        EXPECT_TRUE(ok) << reader.GetLastErrorText();
        EXPECT_TRUE(reader.ExtractNext()) << "the end stays the end";
        EXPECT_EQ(reader.GetCurrentName(), "");
    }
}

TEST(RarReader, ListsEntriesAndMarksDirectories) {
    CRarReader reader;
    open(reader, fixture("sfx.exe"));
    std::vector<std::string> names;
    for (const RarEntry& e : reader.GetEntries())
        names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"test.txt", "testshortcut.lnk", "testdir\\test.txt",
                                               "testdir\\", "testemptydir\\"}));
    bool ok = false;
    extractAll(reader, ok);
    EXPECT_TRUE(ok);
}

TEST(RarReader, ListsWhatEachEntryIs) {
    const struct {
        const char* file;
        const char* name;
        EEntryKind kind;
    } cases[] = {
        {"basic.rar", "test.txt", EEntryKind::File},
        {"basic.rar", "testlink", EEntryKind::Link},
        {"basic.rar", "testdir\\", EEntryKind::Folder},
        {"unicode.rar", "表だよ\\ファイル", EEntryKind::Link},
        {"unicode.rar", "表だよ\\新しいフォルダ\\", EEntryKind::Folder},
        {"windows.rar", "testshortcut.lnk", EEntryKind::File},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CRarReader reader;
        const std::vector<RarEntry>& entries = open(reader, fixture(c.file)).GetEntries();
        const auto found = std::find_if(entries.begin(), entries.end(),
                                        [&](const RarEntry& e) { return e.name == c.name; });
        ASSERT_NE(found, entries.end());
        EXPECT_EQ(found->kind, c.kind);
    }
}

struct RefusedCase {
    const char* file;
    bool opens;
    const char* error;
};

TEST(RarReader, RefusesWhatItCannotDecodeWithAClearError) {
    const RefusedCase cases[] = {
        {"rar5_stored.rar", false, "RAR 5 archives are not supported"},
        {"encryption_header.rar", false, "encrypted archives are not supported"},
        {"encryption_data.rar", true, "foo.txt: encrypted entries are not supported"},
        {"encryption_partially.rar", true, "encrypted entries are not supported"},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<uint8_t> bytes = fixture(c.file);
        CRarReader reader;
        const bool opened = reader.OpenArchive(
            new CSimpleMemReadStream(bytes.data(), static_cast<int>(bytes.size())));
        ASSERT_EQ(opened, c.opens) << reader.GetLastErrorText();
        if (opened) {
            bool ok = true;
            extractAll(reader, ok);
            EXPECT_FALSE(ok);
            EXPECT_FALSE(reader.ExtractNext()) << "a failure sticks";
        }
        EXPECT_NE(reader.GetLastErrorText().find(c.error), std::string::npos)
            << reader.GetLastErrorText();
    }
}

TEST(RarReader, RefusesStreamsWithoutARar4Marker) {
    const std::vector<std::vector<uint8_t>> inputs = {
        {},
        {'R', 'a', 'r', '!'},
        std::vector<uint8_t>(5000, 'x'),
        {'R', 'E', '~', '^', 0, 0, 0, 0},
    };
    for (const auto& bytes : inputs) {
        CRarReader reader;
        EXPECT_FALSE(reader.OpenArchive(
            new CSimpleMemReadStream(bytes.data(), static_cast<int>(bytes.size()))));
        EXPECT_FALSE(reader.GetLastErrorText().empty());
    }
    CRarReader reader;
    EXPECT_FALSE(reader.OpenArchive(nullptr));
}

// Patches one field of the last compressed file's header of a real archive.
struct PatchCase {
    const char* what;
    std::function<void(uint8_t* header)> edit;
    const char* error;
};

TEST(RarReader, FailsCleanlyOnLyingHeaders) {
    const PatchCase cases[] = {
        {"file CRC", [](uint8_t* h) { h[16] ^= 0x01; }, "CRC error"},
        {"unpack version 2.0", [](uint8_t* h) { h[24] = 20; }, "unpack version 20"},
        {"unpack version 1.5", [](uint8_t* h) { h[24] = 15; }, "unpack version 15"},
        {"unknown method", [](uint8_t* h) { h[25] = 0x39; }, "unknown method"},
        {"huge unpacked size", [](uint8_t* h) { writeLe32(h + 11, 0xFFFFFFF0); }, "too large"},
        // The high size parts then come from the name's first bytes.
        {"64-bit sizes", [](uint8_t* h) { h[4] |= 0x01; }, "too large"},
        {"packed size past the end", [](uint8_t* h) { writeLe32(h + 7, 0x7FFFFFF0); },
         "past the end"},
        {"name longer than the header", [](uint8_t* h) { h[26] = 0xFF; }, "past its header"},
        {"stored with mismatched sizes", [](uint8_t* h) { h[25] = kRarMethodStored; },
         "different packed and unpacked sizes"},
        {"split entry", [](uint8_t* h) { h[3] |= kRarFileSplitAfter; }, "split"},
    };
    const std::vector<uint8_t> original = fixture("compress_normal.rar");
    const std::vector<size_t> offsets = rartest::fileBlockOffsets(original);
    ASSERT_EQ(offsets.size(), 6u);
    for (const PatchCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = original;
        rartest::patchHeader(bytes, offsets[3], c.edit);
        CRarReader reader;
        bool ok = true;
        const std::vector<Extracted> files = extractAll(open(reader, bytes), ok);
        EXPECT_FALSE(ok);
        EXPECT_EQ(files.size(), 3u) << "the files before the damaged one come out";
        EXPECT_NE(reader.GetLastErrorText().find(c.error), std::string::npos)
            << reader.GetLastErrorText();
    }
}

TEST(RarReader, ChecksTheCrcOfStoredFilesItself) {
    std::vector<uint8_t> bytes = fixture("windows.rar");
    const std::vector<size_t> offsets = rartest::fileBlockOffsets(bytes);
    ASSERT_EQ(offsets.size(), 5u);
    rartest::patchHeader(bytes, offsets[2], [](uint8_t* h) { h[19] ^= 0x80; });
    CRarReader reader;
    bool ok = true;
    const std::vector<Extracted> files = extractAll(open(reader, bytes), ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(reader.GetLastErrorText(), "testshortcut.lnk: CRC mismatch");
}

TEST(RarReader, SurvivesEveryTruncation) {
    for (const char* file : {"basic.rar", "compress_normal.rar", "sfx.exe"}) {
        SCOPED_TRACE(file);
        const std::vector<uint8_t> bytes = fixture(file);
        const size_t step = bytes.size() / 400 + 1;
        for (size_t length = 0; length < bytes.size(); length += step) {
            CRarReader reader;
            if (!reader.OpenArchive(
                    new CSimpleMemReadStream(bytes.data(), static_cast<int>(length))))
                continue;
            bool ok = true;
            extractAll(reader, ok);
        }
    }
}

TEST(RarReader, FailsOnDamagedLibarchiveTestArchives) {
    for (const char* file : {"invalid1.rar", "overflow.rar", "ppmd_use_after_free.rar",
                             "ppmd_use_after_free2.rar", "multivolume.part0001.rar"}) {
        SCOPED_TRACE(file);
        const std::vector<uint8_t> bytes = fixture(file);
        CRarReader reader;
        bool ok = false;
        if (reader.OpenArchive(
                new CSimpleMemReadStream(bytes.data(), static_cast<int>(bytes.size()))))
            extractAll(reader, ok);
        EXPECT_FALSE(ok);
        EXPECT_FALSE(reader.GetLastErrorText().empty());
    }
}

} // namespace
