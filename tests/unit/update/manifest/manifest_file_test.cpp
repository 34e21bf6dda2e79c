#include "update/manifest/manifest_file.h"

#include "base/utf8_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// An install folder with a non-ASCII name, so both the wide-to-path
// conversion and the file calls see one.
class ManifestFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = fs::temp_directory_path() /
               ("manifest-file-test-" + std::to_string(std::random_device{}()));
        root = base / fs::path(u8"Spiel-\u00e4");
        fs::create_directories(root);
        const std::u8string utf8 = root.u8string();
        folder = wideFromUtf8(std::string(utf8.begin(), utf8.end()));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(base, ec);
    }

    fs::path manifest() const { return root / "update.xml"; }

    void writeManifest(const std::string& bytes) const {
        std::ofstream(manifest(), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(root))
            names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path base;
    fs::path root;
    std::wstring folder;
};

TEST_F(ManifestFileTest, LoadReadsTheWholeFileByteForByte) {
    const std::string bytes = "<update a=\"1\">\r\n\0\xff</update>"s;
    writeManifest(bytes);
    std::string text;
    ASSERT_TRUE(loadManifestFile(folder, text));
    EXPECT_EQ(text, bytes);
}

TEST_F(ManifestFileTest, LoadOfAnEmptyFileSucceedsWithAnEmptyText) {
    writeManifest("");
    std::string text = "stale";
    EXPECT_TRUE(loadManifestFile(folder, text));
    EXPECT_EQ(text, "");
}

struct UnreadableCase {
    const char* what;
    void (*make)(const fs::path& manifest);
};

TEST_F(ManifestFileTest, LoadFailsWithoutCrashWhenTheFileCannotBeUsed) {
    const std::vector<UnreadableCase> cases = {
        {"missing", [](const fs::path&) {}},
        {"a folder of that name",
         [](const fs::path& manifest) { fs::create_directories(manifest / "inner"); }},
        {"one byte over the limit",
         [](const fs::path& manifest) {
             std::ofstream(manifest, std::ios::binary).put('<');
             fs::resize_file(manifest, kMaxManifestFileSize + 1);
         }},
    };
    for (const UnreadableCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(manifest());
        c.make(manifest());
        std::string text = "stale";
        EXPECT_FALSE(loadManifestFile(folder, text));
        EXPECT_EQ(text, "");
    }
}

TEST_F(ManifestFileTest, LoadFromAMissingFolderFails) {
    std::string text;
    EXPECT_FALSE(loadManifestFile(folder + L"-gone", text));
}

TEST_F(ManifestFileTest, SaveReplacesTheOldManifestAndLeavesNoTemporaryFile) {
    writeManifest(std::string(5000, 'x'));
    const std::string text = "<update modification=\"m2\"/>";
    ASSERT_TRUE(saveManifestFile(folder, text));
    std::string back;
    ASSERT_TRUE(loadManifestFile(folder, back));
    EXPECT_EQ(back, text);
    EXPECT_EQ(entries(), std::vector<std::string>{"update.xml"});
}

TEST_F(ManifestFileTest, SaveWritesNothingForAnEmptyText) {
    writeManifest("<old/>");
    EXPECT_FALSE(saveManifestFile(folder, ""));
    std::string back;
    ASSERT_TRUE(loadManifestFile(folder, back));
    EXPECT_EQ(back, "<old/>");
}

TEST_F(ManifestFileTest, FailedReplaceKeepsWhatWasThereAndCleansUp) {
    // A folder in the manifest's place cannot be replaced by a file.
    fs::create_directories(manifest() / "inner");
    EXPECT_FALSE(saveManifestFile(folder, "<update/>"));
    EXPECT_TRUE(fs::is_directory(manifest() / "inner"));
    EXPECT_EQ(entries(), std::vector<std::string>{"update.xml"});
}

TEST_F(ManifestFileTest, SaveIntoAMissingFolderFails) {
    EXPECT_FALSE(saveManifestFile(folder + L"-gone", "<update/>"));
    EXPECT_FALSE(fs::exists(base / fs::path(u8"Spiel-\u00e4-gone")));
}

} // namespace
