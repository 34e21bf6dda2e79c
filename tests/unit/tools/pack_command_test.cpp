#include "pack_command.h"

#include "base/crc32.h"
#include "base/mem_read_stream.h"
#include "update/archive/rar_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

namespace fs = std::filesystem;

namespace {

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A folder like a branding tree: nested folders, an empty one, an empty
// file, binary content.
class PackFolder : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("pack-test-" + std::to_string(std::random_device{}()));
        fs::create_directories(root / "in" / "theme" / "default");
        fs::create_directories(root / "in" / "empty");
        std::vector<uint8_t> binary(70000);
        std::mt19937 random(7);
        for (uint8_t& b : binary)
            b = static_cast<uint8_t>(random());
        files = {{"config.xml", {'<', 'c', '/', '>'}},
                 {"theme\\default\\skin.png", binary},
                 {"theme\\default\\empty.txt", {}},
                 {"B.lso", {'L', 'S', 'O'}}};
        for (const auto& [name, bytes] : files) {
            std::string path = name;
            std::replace(path.begin(), path.end(), '\\', '/');
            writeBytes(root / "in" / path, bytes);
        }
    }
    void TearDown() override { fs::remove_all(root); }

    std::vector<uint8_t> pack() {
        std::vector<RarWriterEntry> entries;
        std::vector<uint8_t> archive;
        std::string error;
        EXPECT_TRUE(collectPackEntries((root / "in").string(), entries, error)) << error;
        EXPECT_TRUE(writeStoredRar(entries, kRarFixedDosTime, archive, error)) << error;
        return archive;
    }

    fs::path root;
    std::map<std::string, std::vector<uint8_t>> files;
};

TEST_F(PackFolder, OurReaderGetsBackEveryFileInSortedOrder) {
    const std::vector<uint8_t> archive = pack();
    CRarReader reader;
    ASSERT_TRUE(reader.OpenArchive(
        new CSimpleMemReadStream(archive.data(), static_cast<int>(archive.size()))));
    std::vector<std::string> order;
    std::map<std::string, std::vector<uint8_t>> got;
    while (reader.ExtractNext() && !reader.GetCurrentName().empty()) {
        order.push_back(reader.GetCurrentName());
        CBuffer& out = reader.GetOutput();
        if (order.back().back() != '\\')
            got[order.back()].assign(out.GetData(), out.GetData() + out.GetLength());
    }
    EXPECT_EQ(reader.GetLastErrorText(), "");
    EXPECT_EQ(order, (std::vector<std::string>{"B.lso", "config.xml", "empty\\", "theme\\",
                                               "theme\\default\\", "theme\\default\\empty.txt",
                                               "theme\\default\\skin.png"}));
    EXPECT_EQ(got, files);
    EXPECT_EQ(pack(), archive) << "the same folder packs to the same bytes";
}

TEST_F(PackFolder, RefusesNamesTheLauncherCannotRead) {
    writeBytes(root / "in" / "caf\xc3\xa9.txt", {1});
    std::vector<RarWriterEntry> entries;
    std::string error;
    EXPECT_FALSE(collectPackEntries((root / "in").string(), entries, error));
    EXPECT_NE(error.find("not printable ASCII"), std::string::npos) << error;
    EXPECT_FALSE(collectPackEntries((root / "missing").string(), entries, error));
}

#ifndef _WIN32
std::vector<uint8_t> bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// bsdtar (libarchive's own front end) must list and extract the same bytes.
TEST_F(PackFolder, BsdtarExtractsTheSameBytes) {
    if (std::system("command -v bsdtar >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "bsdtar not installed";
    writeBytes(root / "out.rar", pack());
    fs::create_directories(root / "x");
    const std::string command =
        "bsdtar -xf '" + (root / "out.rar").string() + "' -C '" + (root / "x").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const auto& [name, bytes] : files) {
        std::string path = name;
        std::replace(path.begin(), path.end(), '\\', '/');
        EXPECT_EQ(bytesOf(root / "x" / path), bytes) << name;
    }
    EXPECT_TRUE(fs::is_directory(root / "x" / "empty"));
    const std::string list =
        "bsdtar -tf '" + (root / "out.rar").string() + "' > '" + (root / "list.txt").string() + "'";
    ASSERT_EQ(std::system(list.c_str()), 0);
    const std::vector<uint8_t> listed = bytesOf(root / "list.txt");
    EXPECT_EQ(std::string(listed.begin(), listed.end()),
              "B.lso\nconfig.xml\nempty\ntheme\ntheme/default\ntheme/default/empty.txt\n"
              "theme/default/skin.png\n");
}
#endif

} // namespace
