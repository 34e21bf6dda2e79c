#include "update/archive/zip_file.h"

#include "base/byte_order.h"
#include "unit/update/archive/fixture_bytes.h"
#include "unit/update/archive/zip_test_support.h"
#include "zip_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::unique_ptr<ISimpleReadStream> streamOver(const std::vector<uint8_t>& bytes) {
    return std::make_unique<CSimpleMemReadStream>(bytes.data(), static_cast<int>(bytes.size()));
}

// --- Archives from Python's zipfile and what it reads from them ---

struct ExpectedEntry {
    int openResult;
    int entries;
    std::string name;
    uint32_t size;
    ZipResult extractResult;
    size_t compared; // leading bytes whose CRC-32 is given
    uint32_t crc;
};

ZipResult hexResult(const std::string& text) {
    return static_cast<ZipResult>(std::stoul(text, nullptr, 16));
}

std::map<std::string, std::vector<ExpectedEntry>> readExpectations() {
    std::map<std::string, std::vector<ExpectedEntry>> byArchive;
    const std::vector<uint8_t> table = fixturebytes::read("zip/expected.tsv");
    std::istringstream lines(std::string(table.begin(), table.end()));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');)
            f.push_back(field);
        byArchive[f[0]].push_back({hexResult(f[1]), std::stoi(f[2]), f[3],
                                   static_cast<uint32_t>(std::stoul(f[4])), hexResult(f[5]),
                                   std::stoul(f[6]),
                                   static_cast<uint32_t>(std::stoul(f[7], nullptr, 16))});
    }
    return byArchive;
}

TEST(CZipFileFixtures, ExtractsWhatPythonZipfileReads) {
    const auto byArchive = readExpectations();
    ASSERT_GE(byArchive.size(), 10u);
    for (const auto& [archive, rows] : byArchive) {
        SCOPED_TRACE(archive);
        const std::vector<uint8_t> bytes = fixturebytes::read("zip/" + archive);
        ASSERT_FALSE(bytes.empty());
        CZipFile zip;
        ASSERT_EQ(zip.OpenZip(streamOver(bytes)), rows[0].openResult);
        if (rows[0].openResult != ZIP_S_OK)
            continue;
        ASSERT_EQ(zip.GetCount(), rows[0].entries);
        std::map<std::string, int> lastIndex;
        for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
            const ExpectedEntry& row = rows[static_cast<size_t>(i)];
            SCOPED_TRACE(row.name);
            lastIndex[row.name] = i;
            EXPECT_EQ(zip.GetEntryName(i), row.name);
            ASSERT_EQ(zip.GetEntrySize(i), row.size);
            std::vector<uint8_t> out(row.size + 1u, 0);
            ASSERT_EQ(zip.ExtractEntry(i, out.data()), row.extractResult);
            if (row.extractResult == ZIP_S_OK) {
                EXPECT_EQ(crc32(0, out.data(), static_cast<uInt>(row.compared)), row.crc);
                EXPECT_EQ(out[row.size], 0) << "wrote past the central size";
            }
        }
        // A later duplicate wins.
        for (const auto& [name, index] : lastIndex) {
            int found = -1;
            EXPECT_EQ(zip.FindEntry(name.c_str(), &found), ZIP_S_OK);
            EXPECT_EQ(found, index);
        }
    }
}

TEST(CZipFileFixtures, NamesUseBackslashesOnly) {
    CZipFile zip;
    ASSERT_EQ(zip.OpenZip(streamOver(fixturebytes::read("zip/slashes.zip"))), ZIP_S_OK);
    int index = -1;
    EXPECT_EQ(zip.FindEntry("folder\\sub\\file.txt", &index), ZIP_S_OK);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(zip.FindEntry("folder/sub/file.txt", &index), ZIP_S_FALSE);
    EXPECT_EQ(zip.FindEntry("Folder\\sub\\file.txt", &index), ZIP_S_FALSE);
    EXPECT_EQ(zip.FindEntry("folder\\", &index), ZIP_S_OK);
    EXPECT_EQ(index, 0);
}

// --- Archives built here, then damaged ---

struct TestEntry {
    std::string name;
    std::string data;
    uint16_t method;
};

struct BuiltZip {
    std::vector<uint8_t> bytes;
    std::vector<size_t> local;
    std::vector<size_t> central;
    size_t end = 0;

    void put16(size_t at, uint16_t value) { writeLe16(bytes.data() + at, value); }
    void put32(size_t at, uint32_t value) { writeLe32(bytes.data() + at, value); }
};

std::string rawDeflate(const std::string& data) {
    z_stream deflater{};
    deflateInit2(&deflater, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&deflater, static_cast<uLong>(data.size())), '\0');
    deflater.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    deflater.avail_in = static_cast<uInt>(data.size());
    deflater.next_out = reinterpret_cast<Bytef*>(out.data());
    deflater.avail_out = static_cast<uInt>(out.size());
    deflate(&deflater, Z_FINISH);
    out.resize(deflater.total_out);
    deflateEnd(&deflater);
    return out;
}

void append16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void append32(std::vector<uint8_t>& out, uint32_t value) {
    append16(out, value & 0xFFFF);
    append16(out, value >> 16);
}

void appendText(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

BuiltZip buildZip(const std::vector<TestEntry>& entries) {
    BuiltZip zip;
    std::vector<std::string> packed;
    for (const TestEntry& e : entries) {
        packed.push_back(e.method == 8 ? rawDeflate(e.data) : e.data);
        zip.local.push_back(zip.bytes.size());
        append32(zip.bytes, 0x04034B50);
        append16(zip.bytes, 20);
        append16(zip.bytes, 0);
        append16(zip.bytes, e.method);
        append32(zip.bytes, 0); // time, date
        append32(zip.bytes,
                 static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                                             static_cast<uInt>(e.data.size()))));
        append32(zip.bytes, static_cast<uint32_t>(packed.back().size()));
        append32(zip.bytes, static_cast<uint32_t>(e.data.size()));
        append16(zip.bytes, static_cast<uint32_t>(e.name.size()));
        append16(zip.bytes, 0);
        appendText(zip.bytes, e.name);
        appendText(zip.bytes, packed.back());
    }
    const size_t directoryStart = zip.bytes.size();
    for (size_t i = 0; i < entries.size(); ++i) {
        zip.central.push_back(zip.bytes.size());
        append32(zip.bytes, 0x02014B50);
        append32(zip.bytes, 20 | (20 << 16));
        append16(zip.bytes, 0);
        append16(zip.bytes, entries[i].method);
        append32(zip.bytes, 0);
        append32(zip.bytes, 0); // CRC: never checked
        append32(zip.bytes, static_cast<uint32_t>(packed[i].size()));
        append32(zip.bytes, static_cast<uint32_t>(entries[i].data.size()));
        append16(zip.bytes, static_cast<uint32_t>(entries[i].name.size()));
        append32(zip.bytes, 0); // extra, comment
        append32(zip.bytes, 0); // disk, internal attributes
        append32(zip.bytes, 0);
        append32(zip.bytes, static_cast<uint32_t>(zip.local[i]));
        appendText(zip.bytes, entries[i].name);
    }
    zip.end = zip.bytes.size();
    append32(zip.bytes, 0x06054B50);
    append32(zip.bytes, 0);
    append16(zip.bytes, static_cast<uint32_t>(entries.size()));
    append16(zip.bytes, static_cast<uint32_t>(entries.size()));
    append32(zip.bytes, static_cast<uint32_t>(zip.end - directoryStart));
    append32(zip.bytes, static_cast<uint32_t>(directoryStart));
    append16(zip.bytes, 0);
    return zip;
}

const std::string kDeflatedText(2000, 'x');

BuiltZip sampleZip() {
    return buildZip({{"a.txt", "hello", 0}, {"dir/b.bin", kDeflatedText, 8}});
}

struct HostileCase {
    const char* what;
    std::function<void(BuiltZip&)> damage;
    ZipResult openResult;
    int entry; // extracted when the open succeeds
    ZipResult extractResult;
};

TEST(CZipFileHostile, ClearResultsWithinBounds) {
    const HostileCase cases[] = {
        {"undamaged", [](BuiltZip&) {}, ZIP_S_OK, 1, ZIP_S_OK},
        {"file shorter than an end record", [](BuiltZip& z) { z.bytes.resize(21); },
         E_ZIP_NOT_ARCHIVE, 0, 0},
        {"end signature damaged", [](BuiltZip& z) { z.bytes[z.end] ^= 1; }, E_ZIP_NOT_ARCHIVE, 0,
         0},
        {"entry count larger than the records", [](BuiltZip& z) { z.put16(z.end + 8, 0xFFFF); },
         E_ZIP_BAD_FORMAT, 0, 0},
        {"directory larger than the file", [](BuiltZip& z) { z.put32(z.end + 12, 0xFFFFFF00); },
         E_ZIP_BAD_FORMAT, 0, 0},
        {"directory one byte before the start",
         [](BuiltZip& z) { z.put32(z.end + 12, static_cast<uint32_t>(z.end + 1)); },
         E_ZIP_BAD_FORMAT, 0, 0},
        {"directory cut short", [](BuiltZip& z) { z.put32(z.end + 12, 40); }, E_ZIP_BAD_FORMAT, 0,
         0},
        {"central signature damaged", [](BuiltZip& z) { z.bytes[z.central[1]] ^= 1; },
         E_ZIP_BAD_FORMAT, 0, 0},
        {"name longer than the record", [](BuiltZip& z) { z.put16(z.central[1] + 28, 200); },
         E_ZIP_BAD_FORMAT, 0, 0},
        {"extra field past the directory", [](BuiltZip& z) { z.put16(z.central[1] + 30, 9000); },
         E_ZIP_BAD_FORMAT, 0, 0},
        {"comment past the directory", [](BuiltZip& z) { z.put16(z.central[0] + 32, 0xFFFF); },
         E_ZIP_BAD_FORMAT, 0, 0},
        {"name of 260 bytes",
         [](BuiltZip& z) {
             z = buildZip({{std::string(260, 'n'), "x", 0}});
         },
         E_ZIP_BAD_FORMAT, 0, 0},
        {"name of 259 bytes",
         [](BuiltZip& z) {
             z = buildZip({{std::string(259, 'n'), "x", 0}});
         },
         ZIP_S_OK, 0, ZIP_S_OK},
        {"local header past the end", [](BuiltZip& z) { z.put32(z.central[1] + 42, 0x10000); },
         ZIP_S_OK, 1, E_ZIP_BAD_FORMAT},
        {"local header offset near 4 GiB",
         [](BuiltZip& z) { z.put32(z.central[1] + 42, 0xFFFFFFF0); }, ZIP_S_OK, 1,
         E_ZIP_BAD_FORMAT},
        {"local header 10 bytes before the end",
         [](BuiltZip& z) {
             z.put32(z.central[1] + 42, static_cast<uint32_t>(z.bytes.size() - 10));
         },
         ZIP_S_OK, 1, E_ZIP_BAD_FORMAT},
        {"local signature damaged", [](BuiltZip& z) { z.bytes[z.local[1] + 3] ^= 1; }, ZIP_S_OK, 1,
         E_ZIP_BAD_FORMAT},
        {"local name past the end", [](BuiltZip& z) { z.put16(z.local[1] + 26, 0xFFFF); }, ZIP_S_OK,
         1, E_ZIP_BAD_FORMAT},
        {"packed size near 4 GiB", [](BuiltZip& z) { z.put32(z.local[1] + 18, 0xFFFFFFFF); },
         ZIP_S_OK, 1, E_ZIP_BAD_FORMAT},
        {"packed size one past the end",
         [](BuiltZip& z) {
             z.put32(z.local[1] + 18, static_cast<uint32_t>(z.bytes.size() - z.local[1] - 38));
         },
         ZIP_S_OK, 1, E_ZIP_BAD_FORMAT},
        {"stored size larger than the central size",
         [](BuiltZip& z) { z.put32(z.local[0] + 18, 0xFFFFFFFF); }, ZIP_S_OK, 0, ZIP_S_OK},
        {"central size larger than the stored data",
         [](BuiltZip& z) { z.put32(z.central[0] + 24, 6); }, ZIP_S_OK, 0, E_ZIP_BAD_FORMAT},
        {"data descriptor", [](BuiltZip& z) { z.bytes[z.local[1] + 6] |= 8; }, ZIP_S_OK, 1,
         E_ZIP_BAD_FORMAT},
        {"unknown method", [](BuiltZip& z) { z.put16(z.local[1] + 8, 14); }, ZIP_S_OK, 1,
         E_ZIP_UNSUPPORTED_METHOD},
        {"reserved deflate block type", [](BuiltZip& z) { z.bytes[z.local[1] + 39] = 0xFF; },
         ZIP_S_OK, 1, E_ZIP_BAD_FORMAT},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.what);
        BuiltZip zip = sampleZip();
        c.damage(zip);
        CZipFile reader;
        ASSERT_EQ(reader.OpenZip(streamOver(zip.bytes)), c.openResult);
        if (c.openResult != ZIP_S_OK) {
            EXPECT_EQ(reader.GetCount(), 0);
            continue;
        }
        // Exactly the central size: ASan reports any write past it.
        std::vector<uint8_t> out(std::max(reader.GetEntrySize(c.entry), 1u));
        EXPECT_EQ(reader.ExtractEntry(c.entry, out.data()), c.extractResult);
    }
}

TEST(CZipFile, ArgumentAndStateErrors) {
    CZipFile zip;
    int index = 0;
    uint8_t out[8];
    EXPECT_EQ(zip.FindEntry("a.txt", &index), E_ZIP_NOT_OPEN);
    EXPECT_EQ(zip.ExtractEntry(0, out), E_ZIP_NOT_OPEN);
    EXPECT_EQ(zip.OpenZip(nullptr), ZIP_E_INVALIDARG);
    ASSERT_EQ(zip.OpenZip(streamOver(sampleZip().bytes)), ZIP_S_OK);
    EXPECT_EQ(zip.FindEntry(nullptr, &index), ZIP_E_POINTER);
    EXPECT_EQ(zip.FindEntry("a.txt", nullptr), ZIP_E_POINTER);
    EXPECT_EQ(zip.ExtractEntry(-1, out), ZIP_E_INVALIDARG);
    EXPECT_EQ(zip.ExtractEntry(2, out), ZIP_E_INVALIDARG);
    EXPECT_EQ(zip.ExtractEntry(0, nullptr), ZIP_E_POINTER);
    EXPECT_EQ(zip.GetEntryName(2), "");
    EXPECT_EQ(zip.GetEntrySize(-1), 0u);
    EXPECT_EQ(zip.GetEntryName(1), "dir\\b.bin");
}

TEST(CZipFile, ArchiveWithoutEntriesOpensButExtractsNothing) {
    CZipFile zip;
    ASSERT_EQ(zip.OpenZip(streamOver(buildZip({}).bytes)), ZIP_S_OK);
    int index = 0;
    uint8_t out[1];
    EXPECT_EQ(zip.FindEntry("a.txt", &index), ZIP_S_FALSE);
    EXPECT_EQ(zip.ExtractEntry(0, out), E_ZIP_NOT_OPEN);
}

// Counts what CZipFile does with the stream it owns.
class CSpyStream : public CSimpleMemReadStream {
public:
    CSpyStream(const std::vector<uint8_t>& bytes, int& closes, int& destroyed)
        : CSimpleMemReadStream(bytes.data(), static_cast<int>(bytes.size())), closes(closes),
          destroyed(destroyed) {}
    ~CSpyStream() override { ++destroyed; }
    bool Close() override {
        ++closes;
        return CSimpleMemReadStream::Close();
    }

private:
    int& closes;
    int& destroyed;
};

TEST(CZipFile, ClosesAndDropsItsStream) {
    const BuiltZip good = sampleZip();
    std::vector<uint8_t> bad = good.bytes;
    bad[good.central[0]] ^= 1;
    int closes = 0;
    int destroyed = 0;
    {
        CZipFile zip;
        EXPECT_EQ(zip.OpenZip(std::make_unique<CSpyStream>(bad, closes, destroyed)),
                  E_ZIP_BAD_FORMAT);
        EXPECT_EQ(closes, 1);
        EXPECT_EQ(destroyed, 1);
        int index = 0;
        EXPECT_EQ(zip.FindEntry("a.txt", &index), E_ZIP_NOT_OPEN);

        ASSERT_EQ(zip.OpenZip(std::make_unique<CSpyStream>(good.bytes, closes, destroyed)),
                  ZIP_S_OK);
        ASSERT_EQ(zip.OpenZip(streamOver(good.bytes)), ZIP_S_OK);
        EXPECT_EQ(closes, 2);
        EXPECT_EQ(destroyed, 2);
        std::vector<uint8_t> out(kDeflatedText.size());
        ASSERT_EQ(zip.FindEntry("dir\\b.bin", &index), ZIP_S_OK);
        ASSERT_EQ(zip.ExtractEntry(index, out.data()), ZIP_S_OK);
        EXPECT_EQ(std::string(out.begin(), out.end()), kDeflatedText);
    }
}

} // namespace

// --- What an entry is and how its name is encoded ---

TEST(CZipFile, ReportsUtf8NamesAndUnixEntryKinds) {
    using ziptest::kHostDos;
    using ziptest::kHostUnix;
    const struct {
        const char* name;
        uint8_t host;
        bool flagged;  // general purpose bit 11
        uint32_t mode; // high half of the external attributes
        bool utf8;
        EEntryKind kind;
    } cases[] = {
        {"plain.txt", kHostDos, false, 0, false, EEntryKind::File},
        {"表.txt", kHostDos, true, 0, true, EEntryKind::File},
        {"表-dos.txt", kHostDos, false, 0, false, EEntryKind::File},
        {"表-unix.txt", kHostUnix, false, 0100644, true, EEntryKind::File},
        {"caf\xE9-unix.txt", kHostUnix, false, 0100644, false, EEntryKind::File},
        {"perms-only", kHostUnix, false, 0644, true, EEntryKind::File},
        {"link", kHostUnix, false, 0120777, true, EEntryKind::Link},
        {"fifo", kHostUnix, false, 0010644, true, EEntryKind::Special},
        {"device", kHostUnix, false, 0020644, true, EEntryKind::Special},
        {"folder-by-mode-only", kHostUnix, false, 0040755, true, EEntryKind::Special},
        {"dir/", kHostUnix, false, 0040755, true, EEntryKind::Folder},
        {"dos-link-bits", kHostDos, false, 0120777, false, EEntryKind::File},
    };
    std::vector<ZipWriterEntry> entries;
    for (const auto& c : cases)
        entries.push_back({c.name, {'x'}});
    std::vector<uint8_t> zip;
    std::string error;
    ASSERT_TRUE(writeZip(entries, zip, error)) << error;
    for (size_t i = 0; i < std::size(cases); ++i)
        ziptest::setMadeBy(zip, static_cast<int>(i), cases[i].host, cases[i].flagged,
                           cases[i].mode << 16);
    CZipFile file;
    ASSERT_EQ(file.OpenZip(streamOver(zip)), ZIP_S_OK);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        const int index = static_cast<int>(i);
        EXPECT_EQ(file.IsEntryNameUtf8(index), cases[i].utf8);
        EXPECT_EQ(file.GetEntryKind(index), cases[i].kind);
    }
    EXPECT_FALSE(file.IsEntryNameUtf8(99));
}
