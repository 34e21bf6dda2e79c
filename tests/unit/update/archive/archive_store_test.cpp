#include "update/archive/archive_store.h"

#include "rar_writer.h"
#include "unit/update/archive/rar_test_support.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> storedArchive(const std::vector<RarWriterEntry>& entries) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(writeStoredRar(entries, kRarFixedDosTime, bytes, error)) << error;
    return bytes;
}

std::string fileText(const CArchiveHelperRar& store, const char* path) {
    uint8_t* data = nullptr;
    int length = -1;
    if (!store.GetFile(path, &data, &length))
        return "<absent>";
    std::string text(reinterpret_cast<char*>(data), static_cast<size_t>(length));
    delete[] data;
    return text;
}

class ArchiveStore : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<uint8_t> bytes = storedArchive({
            {"config.xml", false, {'c', 'f', 'g'}},
            {"theme", true, {}},
            {"theme\\Main.xml", false, {'m', 'a', 'i', 'n'}},
            {"theme\\empty", false, {}},
        });
        ASSERT_TRUE(store->LoadArchive(bytes.data(), static_cast<unsigned>(bytes.size())))
            << store->GetLastErrorText();
    }
    singleton_ptr<CArchiveHelperRar> store;
};

TEST_F(ArchiveStore, NormalisesPathsBeforeAnExactLookup) {
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"config.xml", "cfg"},
        {"\\config.xml", "cfg"},
        {"theme\\..\\config.xml", "cfg"},
        {"theme\\Main.xml", "main"},
        {"x\\..\\theme\\Main.xml", "main"},
        {"..\\..\\config.xml", "cfg"},
        {"theme\\main.xml", "<absent>"},
        {"Config.xml", "<absent>"},
        {"theme", "<absent>"},
        {"theme\\empty", ""},
        {"", "<absent>"},
        {"\\", "<absent>"},
        {"..", "<absent>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fileText(*store, c.path), c.expected) << c.path;
    EXPECT_EQ(store->GetFileCount(), 3u);
}

TEST_F(ArchiveStore, GetFileReplacesTheCallersArray) {
    uint8_t* data = new uint8_t[3];
    int length = 0;
    ASSERT_TRUE(store->GetFile("config.xml", &data, &length)); // ASan checks the old one is freed
    EXPECT_EQ(length, 3);
    EXPECT_FALSE(store->GetFile("missing", &data, &length));
    EXPECT_EQ(length, 3) << "a failed lookup leaves the results";
    delete[] data;
    EXPECT_FALSE(store->GetFile(nullptr, &data, &length));
}

TEST_F(ArchiveStore, HoldersShareOneStoreThatLoadingReplaces) {
    {
        singleton_ptr<CArchiveHelperRar> other;
        EXPECT_EQ(other.get(), store.get());
        const std::vector<uint8_t> bytes = storedArchive({{"new.txt", false, {'n'}}});
        ASSERT_TRUE(other->LoadArchive(bytes.data(), static_cast<unsigned>(bytes.size())));
    }
    EXPECT_EQ(fileText(*store, "new.txt"), "n");
    EXPECT_EQ(fileText(*store, "config.xml"), "<absent>");
    EXPECT_FALSE(store->LoadArchive(nullptr, 10));
    EXPECT_FALSE(store->LoadArchive("x", 0));
}

TEST_F(ArchiveStore, ABadCrcInTheLastFileFailsTheLoadButKeepsEarlierFiles) {
    const struct {
        const char* fixture;
        size_t lastFile; // index of the last file block that is not a directory
        size_t kept;
    } cases[] = {{"windows.rar", 2, 2}, {"compress_normal.rar", 3, 2}}; // its link is no file
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        std::vector<uint8_t> bytes = rartest::fixture(c.fixture);
        const std::vector<size_t> offsets = rartest::fileBlockOffsets(bytes);
        ASSERT_GT(offsets.size(), c.lastFile);
        rartest::patchHeader(bytes, offsets[c.lastFile], [](uint8_t* h) { h[17] ^= 0x10; });
        EXPECT_FALSE(store->LoadArchive(bytes.data(), static_cast<unsigned>(bytes.size())));
        EXPECT_NE(store->GetLastErrorText().find("CRC"), std::string::npos);
        EXPECT_EQ(store->GetFileCount(), c.kept);
        EXPECT_NE(fileText(*store, "testdir\\test.txt"), "<absent>");
    }
}

} // namespace
