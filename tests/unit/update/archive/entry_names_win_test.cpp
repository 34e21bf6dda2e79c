#include "update/archive/entry_names_win.h"

#include "base/mem_read_stream.h"
#include "base/windows_win.h"
#include "rar_writer.h"
#include "unit/update/archive/rar_test_support.h"
#include "unit/update/archive/zip_test_support.h"
#include "update/archive/rar_reader.h"
#include "update/archive/zip_file.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

namespace {

const char kCafeUtf8[] = "caf\xC3\xA9";

class EntryNamesWin : public ::testing::Test {
protected:
    void SetUp() override { installRarNameConversion(); }
    void TearDown() override { CRarReader::SetNameConversion(nullptr); }

    static std::vector<std::string> rarNames(const std::vector<uint8_t>& bytes) {
        CRarReader reader;
        EXPECT_TRUE(reader.OpenArchive(
            new CSimpleMemReadStream(bytes.data(), static_cast<int>(bytes.size()))));
        std::vector<std::string> names;
        while (reader.ExtractNext() && !reader.GetCurrentName().empty())
            names.push_back(reader.GetCurrentName());
        return names;
    }
};

TEST_F(EntryNamesWin, OemOnlyRarNamesComeOutAsUtf8) {
    const std::string oemName = "caf\x82.txt"; // e-acute in the OEM code pages of the West
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(writeStoredRar({{"plain.txt", false, {1}}, {oemName, false, {2}}}, kRarFixedDosTime,
                               bytes, error));
    const std::vector<std::string> names = rarNames(bytes);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "plain.txt");
    EXPECT_EQ(names[1], utf8FromCodePage(CP_OEMCP, oemName));
    if (GetOEMCP() == 437 || GetOEMCP() == 850) {
        EXPECT_EQ(names[1], std::string(kCafeUtf8) + ".txt");
    }
}

// The last entry was packed on Unix: a UTF-8 name and no Unicode flag.
TEST_F(EntryNamesWin, UnicodeRarNamesWinOverTheOemConversion) {
    const std::vector<std::string> names = rarNames(rartest::fixture("unicode.rar"));
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(names.back(), "abcdefghijklmnopqrsテスト.txt");
}

TEST_F(EntryNamesWin, ZipNamesAreUtf8WhenFlaggedElseAnsi) {
    const std::string ansiName = "caf\xE9.txt"; // e-acute in the ANSI code pages of the West
    std::vector<uint8_t> zip;
    std::string error;
    ASSERT_TRUE(writeZip({{"表.txt", {1}}, {ansiName, {2}}}, zip, error)) << error;
    // The writer flags any name beyond ASCII; clear the second one's flag as
    // an old archiver on Windows would have written it.
    ziptest::setMadeBy(zip, 1, ziptest::kHostDos, false, 0);
    CZipFile file;
    ASSERT_EQ(file.OpenZip(
                  std::make_unique<CSimpleMemReadStream>(zip.data(), static_cast<int>(zip.size()))),
              ZIP_S_OK);
    EXPECT_EQ(zipEntryNameUtf8(file, 0), "表.txt");
    EXPECT_FALSE(file.IsEntryNameUtf8(1));
    EXPECT_EQ(zipEntryNameUtf8(file, 1), utf8FromCodePage(CP_ACP, ansiName));
    if (GetACP() == 1252) {
        EXPECT_EQ(zipEntryNameUtf8(file, 1), std::string(kCafeUtf8) + ".txt");
    }
}

} // namespace
