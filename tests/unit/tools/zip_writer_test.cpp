#include "zip_writer.h"

#include "update/archive/zip_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ZipWriter, LauncherReaderGetsEveryEntryBackDeflatedOrStored) {
    std::vector<uint8_t> repetitive(100000, 'a');
    std::vector<uint8_t> noise(5000);
    uint32_t x = 1;
    for (uint8_t& b : noise)
        b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 24);
    const std::vector<ZipWriterEntry> entries = {
        {"bin/game.exe", repetitive}, {"noise.bin", noise}, {"empty.txt", {}}};
    std::vector<uint8_t> archive;
    std::string error;
    ASSERT_TRUE(writeZip(entries, archive, error)) << error;
    EXPECT_LT(archive.size(), 10000u); // the repetitive entry was deflated

    CZipFile zip;
    ASSERT_EQ(zip.OpenZip(std::make_unique<CSimpleMemReadStream>(archive.data(),
                                                                 static_cast<int>(archive.size()))),
              ZIP_S_OK);
    ASSERT_EQ(zip.GetCount(), 3);
    for (const ZipWriterEntry& entry : entries) {
        std::string name = entry.name;
        std::replace(name.begin(), name.end(), '/', '\\');
        int index = -1;
        ASSERT_EQ(zip.FindEntry(name.c_str(), &index), ZIP_S_OK) << name;
        std::vector<uint8_t> out(zip.GetEntrySize(index) + 1);
        ASSERT_EQ(zip.ExtractEntry(index, out.data()), ZIP_S_OK);
        out.pop_back();
        EXPECT_EQ(out, entry.data) << name;
    }

    std::vector<uint8_t> again;
    ASSERT_TRUE(writeZip(entries, again, error));
    EXPECT_EQ(again, archive);
}

// Entries over several source and deflate blocks; when nothing deflates
// smaller, the archive is exactly as large as zipStoredSize says, the bound
// publish chooses the package format by.
TEST(ZipWriter, StreamsEntriesLargerThanABlockAndKeepsToTheStoredBound) {
    std::vector<uint8_t> noise(kSourceBlockSize * 2 + 3);
    uint32_t x = 3;
    for (uint8_t& b : noise)
        b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 24);
    std::vector<uint8_t> text;
    for (int i = 0; text.size() < kSourceBlockSize * 3; ++i) {
        const std::string line = "line " + std::to_string(i) + " of a long text\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    for (const bool withText : {false, true}) {
        SCOPED_TRACE(withText);
        std::vector<ZipWriterEntry> entries = {{"noise.bin", noise}, {"empty", {}}};
        if (withText)
            entries.push_back({"data/text.txt", text});
        std::vector<uint8_t> archive;
        std::string error;
        ASSERT_TRUE(writeZip(entries, archive, error)) << error;
        std::vector<std::pair<size_t, uint64_t>> sizes;
        for (const ZipWriterEntry& entry : entries)
            sizes.emplace_back(entry.name.size(), entry.data.size());
        if (withText)
            EXPECT_LT(archive.size(), zipStoredSize(sizes) - text.size() / 2);
        else
            EXPECT_EQ(archive.size(), zipStoredSize(sizes));

        CZipFile zip;
        ASSERT_EQ(zip.OpenZip(std::make_unique<CSimpleMemReadStream>(
                      archive.data(), static_cast<int>(archive.size()))),
                  ZIP_S_OK);
        ASSERT_EQ(zip.GetCount(), static_cast<int>(entries.size()));
        for (int index = 0; index < zip.GetCount(); ++index) {
            std::vector<uint8_t> out(zip.GetEntrySize(index) + 1);
            ASSERT_EQ(zip.ExtractEntry(index, out.data()), ZIP_S_OK);
            out.pop_back();
            EXPECT_EQ(out, entries[static_cast<size_t>(index)].data) << index;
        }
    }
}

TEST(ZipWriter, RefusesWhatTheReaderCannotTake) {
    std::string error;
    for (const std::string& name : {std::string(), std::string(260, 'n')}) {
        std::vector<uint8_t> out = {1};
        EXPECT_FALSE(writeZip({{name, {1}}}, out, error));
        EXPECT_EQ(out.size(), 1u);
    }
    std::vector<ZipWriterEntry> tooMany(65536, {"a", {}});
    std::vector<uint8_t> out;
    EXPECT_FALSE(writeZip(tooMany, out, error));
}

} // namespace
