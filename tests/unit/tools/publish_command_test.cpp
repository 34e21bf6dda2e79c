#include "publish_command.h"
#include "publish_layout.h"
#include "verify_command.h"

#include "image_file.h"

#include "base/crc32.h"
#include "base/mem_read_stream.h"
#include "update/archive/rar_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(PublishLayout, RejectsMalformedLines) {
    const std::vector<std::string> bad = {
        "bogus x",
        "pack a.zip full",
        "pack ../a.pkg full",
        "pack a.pkg Full",
        "pack a.pkg full platform=16",
        "pack a.pkg full\npack a.pkg ext",
        "add x",
        "pack a.pkg full\ninfo en name=x exec=y",
        "pack a.pkg ext\ninfo en name=x",
        "pack a.pkg ext\ninfo en name=x exec=y sel=2",
        "increment i.pkg",
        "increment i.pkg from=old\nadd x",
        "launcher version=1.0.0.1",
        "launcher size=3",
        "launcher version=1.0.0.1 size=12x",
        "launcher version=1.0.0.1 file=L.exe size=3",
        "modification \"unclosed",
        "pack a.pkg full\nrest extra",
    };
    for (const std::string& text : bad) {
        PublishLayout layout;
        std::string error;
        EXPECT_FALSE(parsePublishLayout(text, layout, error)) << text;
        EXPECT_NE(error.find("layout line"), std::string::npos) << text;
    }
}

TEST(PublishLayout, ReadsEveryStatement) {
    const std::string text = "# release\n"
                             "modification \"R 7\"\n"
                             "client-version 1.2.3\n"
                             "launcher version=1.0.0.2 size=500 crc=77 url=http://x/L.exe\n"
                             "pack base.pkg full platform=64\n"
                             "  add bin/\n"
                             "  rest\n"
                             "pack tool.pkg ext\n"
                             "  info en name=\"My Tool\" exec=tool.exe help=\"a\\nb\" sel=0\n"
                             "increment p1.pkg from=../old\n"
                             "ignore *\\*.dmp\n";
    PublishLayout layout;
    std::string error;
    ASSERT_TRUE(parsePublishLayout(text, layout, error)) << error;
    EXPECT_EQ(layout.modification, "R 7");
    ASSERT_TRUE(layout.launcher);
    EXPECT_EQ(layout.launcher->size, 500u);
    EXPECT_EQ(layout.launcher->crc, 77u);
    ASSERT_EQ(layout.packs.size(), 3u);
    EXPECT_EQ(layout.packs[0].platform, 64);
    EXPECT_EQ(layout.packs[0].adds, std::vector<std::string>{"bin"});
    EXPECT_TRUE(layout.packs[0].rest);
    ASSERT_EQ(layout.packs[1].infos.size(), 1u);
    EXPECT_EQ(layout.packs[1].infos[0].name, "My Tool");
    EXPECT_EQ(layout.packs[1].infos[0].help, "a\\nb");
    EXPECT_FALSE(layout.packs[1].infos[0].sel);
    EXPECT_EQ(layout.packs[2].from, "../old");
    EXPECT_EQ(layout.ignores, std::vector<std::string>{"*\\*.dmp"});
}

// A zip package while its zip, every entry stored, stays below the zip
// reader's limit; a stored RAR archive from there on, whatever the size.
TEST(PublishPackageFormat, ZipUntilAStoredZipCouldReachTheLimit) {
    const uint64_t limit = kZipArchiveLimit;
    // One entry named by 8 bytes: its local and central headers, the name
    // twice and the end record.
    const uint64_t around = 30 + 46 + 2 * 8 + 22;
    using Sizes = std::vector<std::pair<size_t, uint64_t>>;
    const struct {
        Sizes entries;
        EPackageFormat format;
    } cases[] = {
        {{}, EPackageFormat::Zip},
        {{{8, limit - around - 1}}, EPackageFormat::Zip},
        {{{8, limit - around}}, EPackageFormat::StoredRar},
        {{{8, 0xFFFFFFFFull}}, EPackageFormat::StoredRar},
        {{{8, 0x100000000ull}}, EPackageFormat::StoredRar},
        {{{8, 5ull << 30}}, EPackageFormat::StoredRar},
        {{{8, limit / 2}, {8, limit / 2}}, EPackageFormat::StoredRar},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries.empty() ? 0 : c.entries[0].second);
        EXPECT_EQ(choosePackageFormat(c.entries), c.format);
    }
}

class PublishTree : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::path(LAUNCHER_BINARY_DIR) / "publish_test" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root);
        write("client/bin/game.exe", "game v2");
        write("client/data/a.pak", std::string(5000, 'a'));
        write("client/tool.exe", "tool");
        write("old/bin/game.exe", "game v1");
        write("old/data/a.pak", std::string(5000, 'a'));
        write("layout.txt", "modification r2\nclient-version 1.0.2\n"
                            "pack base.pkg full\n  rest\n"
                            "pack tool.pkg ext\n  info en name=Tool exec=tool.exe\n  add tool.exe\n"
                            "increment inc.pkg from=old\n");
    }
    void TearDown() override { fs::remove_all(root); }

    void write(const std::string& path, const std::string& text) {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path, std::ios::binary) << text;
    }
    std::string at(const std::string& path) const { return (root / path).string(); }

    fs::path root;
};

TEST_F(PublishTree, PublishesDeterministicallyAndVerifiesACopy) {
    std::string error;
    ASSERT_TRUE(publishRelease(at("client"), at("layout.txt"), at("out1"), error)) << error;
    ASSERT_TRUE(publishRelease(at("client"), at("layout.txt"), at("out2"), error)) << error;
    for (const char* name : {"base.pkg", "tool.pkg", "inc.pkg", "update.xml", "update.rxml"}) {
        std::vector<uint8_t> first, second;
        ASSERT_TRUE(readImageFile(at(std::string("out1/") + name), first, error)) << name;
        ASSERT_TRUE(readImageFile(at(std::string("out2/") + name), second, error)) << name;
        EXPECT_EQ(first, second) << name;
    }

    VerifyReport report;
    ASSERT_TRUE(verifyInstall({at("client"), at("out1/update.rxml"), 2, "en", {}}, report, error))
        << error;
    EXPECT_TRUE(report.clean());

    // The old client differs only in files the increment holds: it alone
    // is queued when cheaper than base.pkg.
    ASSERT_TRUE(verifyInstall({at("old"), at("out1/update.xml"), 2, "en", {}}, report, error));
    EXPECT_EQ(report.differing,
              (std::vector<std::string>{"bin\\game.exe (base.pkg)", "tool.exe (tool.pkg)"}));
    ASSERT_EQ(report.downloads.size(), 1u);
    EXPECT_EQ(report.downloads[0].rfind("inc.pkg ", 0), 0u);
}

// The RAR path, taken here for small files by a lowered zip limit: each
// package reads back with the launcher's reader, and the manifest carries the
// package's own CRC-32 and size.
TEST_F(PublishTree, PacksStoredRarWhenAZipCouldNotHoldThePackage) {
    write("client/data/empty.bin", "");
    std::string error;
    ASSERT_TRUE(publishRelease(at("client"), at("layout.txt"), at("out"), error, 1)) << error;
    std::vector<uint8_t> xmlBytes;
    ASSERT_TRUE(readImageFile(at("out/update.xml"), xmlBytes, error));
    const std::string xml(xmlBytes.begin(), xmlBytes.end());
    EXPECT_NE(xml.find("file=\"data\\empty.bin\" crc=\"4294967295\" size=\"0\""), std::string::npos)
        << xml;
    for (const std::string name : {"base.pkg", "tool.pkg", "inc.pkg"}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> package;
        ASSERT_TRUE(readImageFile(at("out/" + name), package, error));
        ASSERT_GE(package.size(), 4u);
        EXPECT_EQ(std::string(package.begin(), package.begin() + 4), "Rar!");
        const std::string listed =
            "file=\"" + name + "\" crc=\"" +
            std::to_string(Crc32(package.data(), static_cast<unsigned>(package.size()))) +
            "\" size=\"" + std::to_string(package.size()) + "\"";
        EXPECT_NE(xml.find(listed), std::string::npos) << listed;

        CRarReader reader;
        ASSERT_TRUE(reader.OpenArchive(
            new CSimpleMemReadStream(package.data(), static_cast<int>(package.size()))));
        ASSERT_FALSE(reader.GetEntries().empty());
        while (reader.ExtractNext() && !reader.GetCurrentName().empty()) {
            std::string path = reader.GetCurrentName();
            EXPECT_NE(xml.find("file=\"" + path + "\""), std::string::npos) << path;
            std::replace(path.begin(), path.end(), '\\', '/');
            std::vector<uint8_t> original;
            ASSERT_TRUE(readImageFile(at("client/" + path), original, error));
            const CBuffer& out = reader.GetOutput();
            EXPECT_EQ(std::vector<uint8_t>(out.GetData(), out.GetData() + out.GetLength()),
                      original)
                << path;
        }
        EXPECT_EQ(reader.GetCurrentName(), "") << reader.GetLastErrorText();
    }
    VerifyReport report;
    ASSERT_TRUE(verifyInstall({at("client"), at("out/update.rxml"), 2, "en", {}}, report, error))
        << error;
    EXPECT_TRUE(report.clean());
}

// These name files by UTF-8 bytes, as the build machine's file system does; a
// Windows narrow path would read them in the ANSI code page.
#ifndef _WIN32
TEST_F(PublishTree, RefusesWhatTheLauncherCouldNotUnpack) {
    const struct {
        const char* file;
        const char* error;
    } cases[] = {
        {"client/bad\xFF.txt", "not UTF-8"},
        {"client/trailing.", "would refuse this name"},
        {"client/data/con.txt", "would refuse this name"},
        {"client/a:b.txt", "would refuse this name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string error;
        write(c.file, "x");
        EXPECT_FALSE(publishRelease(at("client"), at("layout.txt"), at("out"), error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        fs::remove(root / c.file);
    }
    std::string error;
    write("layout.txt", "pack base.pkg full\n  add nothing/here\n");
    EXPECT_FALSE(publishRelease(at("client"), at("layout.txt"), at("out"), error));
    EXPECT_NE(error.find("matches no file"), std::string::npos);
}

// Names beyond ASCII go into the manifest as UTF-8 and into the package with
// the zip UTF-8 flag; verify finds the files under the same names.
TEST_F(PublishTree, PublishesAndVerifiesNonAsciiNames) {
    const std::string folder = "\xE8\xA1\xA8\xE3\x81\xA0\xE3\x82\x88"; // a Japanese folder name
    const std::string file =
        folder + "/caf\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97.txt"; // a file below it
    write("client/" + file, "unicode");
    write("layout.txt", "modification r3\npack base.pkg full\n  rest\n");
    std::string error;
    ASSERT_TRUE(publishRelease(at("client"), at("layout.txt"), at("out"), error)) << error;
    std::vector<uint8_t> xml;
    ASSERT_TRUE(readImageFile(at("out/update.xml"), xml, error));
    std::string windowsName = file;
    std::replace(windowsName.begin(), windowsName.end(), '/', '\\');
    EXPECT_NE(std::string(xml.begin(), xml.end()).find(windowsName), std::string::npos);

    VerifyReport report;
    ASSERT_TRUE(verifyInstall({at("client"), at("out/update.rxml"), 2, "en", {}}, report, error))
        << error;
    EXPECT_TRUE(report.clean());
    fs::remove(root / ("client/" + file));
    ASSERT_TRUE(verifyInstall({at("client"), at("out/update.rxml"), 2, "en", {}}, report, error));
    EXPECT_EQ(report.differing.size(), 1u);
}
#endif

} // namespace
