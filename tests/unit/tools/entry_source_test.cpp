#include "entry_source.h"

#include "base/crc32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class FileSource : public ::testing::Test {
protected:
    void SetUp() override {
        path = fs::path(LAUNCHER_BINARY_DIR) / "entry_source_test" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove(path);
        fs::create_directories(path.parent_path());
    }
    void TearDown() override { fs::remove(path); }

    void write(const std::string& bytes) const {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }

    fs::path path;
};

// A client file that changes between the two passes of a writer would give
// a package whose header does not match its data.
TEST_F(FileSource, CatchesAFileThatChangesBetweenThePasses) {
    const std::string first(kSourceBlockSize + 10, 'a');
    const struct {
        const char* what;
        std::string second;
    } cases[] = {
        {"grown", first + "b"},
        {"shrunk", first.substr(1)},
        {"same size, other bytes", std::string(first.size() - 1, 'a') + "b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write(first);
        CFileEntrySource source;
        std::string error;
        ASSERT_TRUE(source.Open(path.string(), error)) << error;
        EXPECT_EQ(source.Size(), first.size());
        CDiscardEntrySink none;
        uint32_t crc = 0;
        ASSERT_TRUE(crcOfSource(source, none, crc, error)) << error;
        EXPECT_EQ(crc, Crc32(first.data(), static_cast<unsigned>(first.size())));
        write(c.second);
        EXPECT_FALSE(copySourceChecked(source, crc, none, error));
        EXPECT_NE(error.find("changed while"), std::string::npos) << error;
    }
}

class CRefusingSink : public IEntrySink {
public:
    bool Write(const uint8_t*, size_t) override { return false; }
};

TEST_F(FileSource, NamesTheFailingSide) {
    std::string error;
    CFileEntrySource source;
    EXPECT_FALSE(source.Open(path.string(), error));
    write("bytes");
    ASSERT_TRUE(source.Open(path.string(), error)) << error;
    CRefusingSink refusing;
    uint32_t crc = 0;
    error.clear();
    EXPECT_FALSE(crcOfSource(source, refusing, crc, error));
    EXPECT_EQ(error, "cannot write the archive");
    fs::remove(path);
    error.clear();
    CDiscardEntrySink none;
    EXPECT_FALSE(crcOfSource(source, none, crc, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

} // namespace
