#include "update/manifest/manifest_receive.h"

#include "update/manifest/manifest_file.h"

#include "rar_writer.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kText = "<update modification=\"m\"/>";

std::vector<uint8_t> zipOf(const std::string& name, const std::string& text) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(writeZip({{name, {text.begin(), text.end()}}}, out, error)) << error;
    return out;
}

std::vector<uint8_t> rarOf(const std::string& name, const std::string& text) {
    std::vector<uint8_t> out;
    std::string error;
    RarWriterEntry entry{name, false, {text.begin(), text.end()}};
    EXPECT_TRUE(writeStoredRar({entry}, kRarFixedDosTime, out, error)) << error;
    return out;
}

TEST(ManifestReceive, ExtractsUpdateXmlFromZipOrRar) {
    const std::vector<std::vector<uint8_t>> bodies = {zipOf("update.xml", kText),
                                                      rarOf("update.xml", kText)};
    for (const auto& body : bodies) {
        std::string text, error;
        ASSERT_TRUE(extractManifestText(body.data(), body.size(), text, error)) << error;
        EXPECT_EQ(text, kText);
    }
}

TEST(ManifestReceive, RefusesBodiesWithoutTheMember) {
    std::vector<uint8_t> brokenRar = rarOf("update.xml", kText);
    brokenRar[brokenRar.size() / 2] ^= 0xFF;
    // A zip whose central record claims a 4 GiB member: refused, not allocated.
    std::vector<uint8_t> hugeZip = zipOf("update.xml", kText);
    const size_t central = hugeZip.size() - 22 - (46 + 10);
    for (int i = 0; i < 4; ++i)
        hugeZip[central + 24 + i] = 0xFF;
    const std::vector<std::vector<uint8_t>> bodies = {zipOf("other.xml", kText),
                                                      rarOf("Update.XML", kText),
                                                      brokenRar,
                                                      {'R', 'a', 'r'},
                                                      {},
                                                      {'R', 'a', 'r', '!'},
                                                      hugeZip};
    for (const auto& body : bodies) {
        std::string text, error;
        EXPECT_FALSE(extractManifestText(body.data(), body.size(), text, error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(text.empty());
    }
}

// The member a RAR and a zip may carry is bounded alike: the header's size is
// the server's word, and one byte over the bound is refused in both.
TEST(ManifestReceive, RefusesAMemberOverTheManifestSizeInEitherArchive) {
    const std::string huge(static_cast<size_t>(kMaxManifestFileSize) + 1, ' ');
    const std::vector<std::vector<uint8_t>> bodies = {zipOf("update.xml", huge),
                                                      rarOf("update.xml", huge)};
    for (const auto& body : bodies) {
        std::string text, error;
        EXPECT_FALSE(extractManifestText(body.data(), body.size(), text, error));
        EXPECT_NE(error.find("too large"), std::string::npos) << error;
        EXPECT_TRUE(text.empty());
    }
}

TEST(ManifestReceive, SavesOnlyARealFolderAndText) {
    EXPECT_TRUE(shouldSaveManifest(L"C:\\g", "x"));
    EXPECT_FALSE(shouldSaveManifest(L"C:\\", "x"));
    EXPECT_FALSE(shouldSaveManifest(L"C:\\game", ""));
}

} // namespace
