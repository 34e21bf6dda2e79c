#include "update/archive/rar_names_win.h"

#include "base/mem_read_stream.h"
#include "rar_writer.h"
#include "update/archive/rar_reader.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(RarNamesWin, ReaderNamesGoThroughTheOemToAnsiConversion) {
    const std::string oemName = "caf\x82.txt"; // e-acute in the OEM code pages of the West
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(writeStoredRar({{"plain.txt", false, {1}}, {oemName, false, {2}}}, kRarFixedDosTime,
                               bytes, error));
    installRarNameConversion();
    CRarReader reader;
    ASSERT_TRUE(
        reader.OpenArchive(new CSimpleMemReadStream(bytes.data(), static_cast<int>(bytes.size()))));
    ASSERT_TRUE(reader.ExtractNext());
    EXPECT_EQ(reader.GetCurrentName(), "plain.txt");
    ASSERT_TRUE(reader.ExtractNext());
    EXPECT_EQ(reader.GetCurrentName(), oemToAnsiRarName(oemName));
    if (GetOEMCP() != GetACP()) {
        EXPECT_NE(reader.GetCurrentName(), oemName);
    }
    CRarReader::SetNameConversion(nullptr);
}

} // namespace
