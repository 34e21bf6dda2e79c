// Packages as real archivers write them, installed by the real Launcher.exe:
// RAR archives of libarchive's test data (several LZSS blocks in one file;
// PPMd and LZSS blocks in turn), entry names beyond ASCII in RAR and zip
// packages, and link entries, which are skipped.
#include "support/update_run_fixture_win.h"

#include "base/crc32.h"
#include "unit/update/archive/rar_test_support.h"
#include "unit/update/archive/zip_test_support.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace testwin;

// A file a RAR package holds, as bsdtar 3.7.4 extracts it.
struct SArchivedFile {
    std::string path; // UTF-8, '\\'-separated
    uint64_t size;
    uint32_t crc;
};

// A package added to a published release by hand.
struct SPackage {
    std::string file; // the name on the server
    std::vector<uint8_t> bytes;
    std::vector<SArchivedFile> files;
};

std::string packElement(const std::string& name, const std::string& bytes,
                        const std::vector<SArchivedFile>& files) {
    const uint32_t crc = Crc32(bytes.data(), static_cast<unsigned>(bytes.size()));
    std::string xml = "  <PACK type=\"full\" file=\"" + name + "\" crc=\"" + std::to_string(crc) +
                      "\" size=\"" + std::to_string(bytes.size()) + "\">\n";
    for (const SArchivedFile& f : files)
        xml += "    <FILE file=\"" + f.path + "\" crc=\"" + std::to_string(f.crc) + "\" size=\"" +
               std::to_string(f.size) + "\"/>\n";
    return xml + "  </PACK>\n";
}

class UpdateRunArchives : public UpdateRunFixture {
protected:
    // Adds the packages to `manifest` (an update.xml) and serves it and its
    // update.rxml.
    void serveWithPackages(std::string manifest, const std::vector<SPackage>& packages) {
        std::string packs;
        for (const SPackage& package : packages) {
            const std::string text(package.bytes.begin(), package.bytes.end());
            serve(package.file, text);
            packs += packElement(package.file, text, package.files);
        }
        const size_t end = manifest.rfind("</update>");
        ASSERT_NE(end, std::string::npos);
        manifest.insert(end, packs);
        std::vector<uint8_t> rxml;
        std::string error;
        ASSERT_TRUE(writeZip({{"update.xml", {manifest.begin(), manifest.end()}}}, rxml, error))
            << error;
        serve("update.xml", manifest);
        serve("update.rxml", std::string(rxml.begin(), rxml.end()));
    }

    std::string sha256Of(const std::string& path) {
        const std::wstring full =
            install + L"\\" +
            std::filesystem::path(std::u8string(path.begin(), path.end())).wstring();
        const SLinuxRun r = runLinux({"/usr/bin/sha256sum", unixPathOf(full)});
        EXPECT_EQ(r.exitCode, 0) << r.output;
        return r.output.substr(0, 64);
    }

    size_t packageRequests(const std::string& name) {
        return server.entries(kLivePath + name, 1, 2000).size();
    }
};

TEST_F(UpdateRunArchives, RarPackagesOfCurrentArchiversInstallAndVerify) {
    const struct {
        const char* path;
        uint64_t size;
        uint32_t crc;
        const char* sha256; // of bsdtar 3.7.4's extraction
    } files[] = {
        {"multi_lzss_blocks_test.txt", 20131111, 0x6BA21570,
         "49a84a381599f749f93beaf486f3d661883d45659d9f46bfde9d34f72644f208"},
        {"ppmd_lzss_conversion_test.txt", 241647978, 0xF72B4477,
         "a0b8a5130c56577e61620f3f51ae29478a4c5251f1ed575cec73455fc9b485ea"},
    };
    const SRelease release =
        publishLayout(L"client", {{"bin/game.exe", "game"}},
                      "modification archives\nclient-version 1.0.0.1\npack core.pkg full\n"
                      "  rest\n");
    serveWithPackages(release.files.at("update.xml"),
                      {{"lzss.pkg",
                        rartest::fixture("multi_lzss_blocks.rar"),
                        {{files[0].path, files[0].size, files[0].crc}}},
                       {"ppmd.pkg",
                        rartest::fixture("ppmd_lzss_conversion.rar"),
                        {{files[1].path, files[1].size, files[1].crc}}}});
    startServer();
    makeInstallFolder({liveUrl()});

    const SLauncherRun r = run();
    EXPECT_EQ(r.process.exitCode, 0u);
    EXPECT_TRUE(inOrder(r.log, {"Finish unpack thread .. OK", "processAfterDownload();"}));
    EXPECT_TRUE(r.boxes.empty()) << r.log;
    for (const auto& f : files) {
        SCOPED_TRACE(f.path);
        EXPECT_EQ(sha256Of(f.path), f.sha256);
    }
    EXPECT_EQ(readText(install + L"\\bin\\game.exe"), "game");
}

TEST_F(UpdateRunArchives, NamesBeyondAsciiInstallAsPublishedAndLinksAreSkipped) {
    // A zip package made by launcher-tool (UTF-8 flagged names) ...
    const std::vector<SClientFile> zipped = {
        {"bin/game.exe", "game"}, {"データ/セーブ.dat", "save"}, {"café.cfg", "cfg"}};
    SRelease release =
        publishLayout(L"client", zipped,
                      "modification names\nclient-version 1.0.0.1\npack core.pkg full\n  rest\n");
    // ... two RAR packages: Unicode names with a link among them (the last
    // entry packed on Unix, UTF-8 without the Unicode flag), and plain names
    // with a link; and a zip as Info-ZIP packs on Unix: UTF-8 names without
    // the flag, a link and a FIFO.
    const std::vector<SClientFile> unpacked = {
        {"表だよ/新しいフォルダ/新規テキスト ドキュメント.txt", ""},
        {"表だよ/漢字長いファイル名long-filename-in-漢字.txt", "kanji"},
        {"abcdefghijklmnopqrsテスト.txt", "aaaaaaaaaaaaaaa\n"},
        {"test.txt", "test text document\r\n"},
        {"testdir/test.txt", "test text document\r\n"},
        {"ユニックス/ファイル.txt", "packed on unix"},
    };
    std::vector<SArchivedFile> listed;
    for (const SClientFile& f : unpacked) {
        std::string path = f.path;
        std::replace(path.begin(), path.end(), '/', '\\');
        listed.push_back(
            {path, f.bytes.size(), Crc32(f.bytes.data(), static_cast<unsigned>(f.bytes.size()))});
    }
    std::vector<uint8_t> unixZip;
    std::string error;
    const std::string& unixFile = unpacked[5].bytes;
    ASSERT_TRUE(writeZip({{unpacked[5].path, {unixFile.begin(), unixFile.end()}},
                          {"ユニックス/リンク", {'x'}},
                          {"fifo", {}}},
                         unixZip, error))
        << error;
    ziptest::setMadeBy(unixZip, 0, ziptest::kHostUnix, false, 0100644u << 16);
    ziptest::setMadeBy(unixZip, 1, ziptest::kHostUnix, false, 0120777u << 16);
    ziptest::setMadeBy(unixZip, 2, ziptest::kHostUnix, false, 0010644u << 16);
    serveWithPackages(
        release.files.at("update.xml"),
        {{"unicode.pkg", rartest::fixture("unicode.rar"), {listed[0], listed[1], listed[2]}},
         {"basic.pkg", rartest::fixture("basic.rar"), {listed[3], listed[4]}},
         {"unix.pkg", unixZip, {listed[5]}}});
    ASSERT_TRUE(writeClientFolder(release.client, unpacked));
    startServer();
    makeInstallFolder({liveUrl()});

    const SLauncherRun first = run();
    expectCompleted(first, release);
    for (const char* line :
         {"Unpack: skipped symbolic link 表だよ\\ファイル",
          "Unpack: skipped symbolic link testlink",
          "Unpack: skipped symbolic link ユニックス\\リンク", "Unpack: skipped special file fifo"})
        EXPECT_NE(first.log.find(line), std::string::npos) << line;
    for (const wchar_t* skipped :
         {L"表だよ\\ファイル", L"testlink", L"ユニックス\\リンク", L"fifo"})
        EXPECT_FALSE(std::filesystem::exists(install + L"\\" + skipped)) << narrowPath(skipped);

    // Everything is where the manifest says: nothing to fetch again.
    const std::vector<std::string> packages = {"core.pkg", "unicode.pkg", "basic.pkg", "unix.pkg"};
    for (const std::string& name : packages)
        EXPECT_EQ(packageRequests(name), 1u) << name;
    const SLauncherRun second = run();
    EXPECT_EQ(second.process.exitCode, 0u);
    EXPECT_EQ(second.log.find("CDownloader::DownloadUpdate: "), std::string::npos) << second.log;
    for (const std::string& name : packages)
        EXPECT_EQ(packageRequests(name), 1u) << name;
    const SLinuxRun verified = verifyInstall(release.client, install);
    EXPECT_EQ(verified.exitCode, 0) << verified.output;
}

} // namespace
