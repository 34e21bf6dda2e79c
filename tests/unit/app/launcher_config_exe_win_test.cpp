// The real Launcher.exe with its embedded branding: configuration, theme
// and language steps as the run log, the registry and the install folder
// show them.
#include "app/config/user_settings_win.h"
#include "app/lang/language_win.h"
#include "base/crc32.h"
#include "base/file_io_win.h"
#include "base/reg_key_win.h"
#include "pack_command.h"
#include "rar_writer.h"
#include "stamp_writer.h"

#include "support/files_win.h"
#include "support/launcher_image_win.h"
#include "support/message_box_watcher_win.h"
#include "support/process_win.h"
#include "support/temp_folder_win.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using testwin::CTempFolder;
using testwin::launcherImage;
using testwin::readText;
using testwin::widen;
using testwin::writeImage;

const char kRegPath[] = "SOFTWARE\\Velmora Games\\Skyreach";

uint32_t brandingConfigCrc() {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(readWholeFile(
                  widen(LAUNCHER_FIXTURES_DIR) + L"\\..\\..\\branding\\default\\config.xml", bytes),
              0u);
    return Crc32(bytes.data(), static_cast<unsigned>(bytes.size()));
}

struct LauncherRun {
    std::string log;
    std::vector<testwin::SeenBox> boxes;
};

// Writes `image` as Launcher.exe into `folder` (plus "guest.dat" when asked)
// and runs it there to its end.
LauncherRun runLauncher(const CTempFolder& folder, const std::vector<uint8_t>& image,
                        bool guest = false) {
    writeImage(folder / L"Launcher.exe", image);
    if (guest)
        writeWholeFile(folder / L"guest.dat", "", 0);
    testwin::CMessageBoxWatcher watcher(0);
    const auto r = testwin::runProcess(folder / L"Launcher.exe", L"", folder.path(), 30000,
                                       [&](DWORD pid) { watcher.setProcess(pid); });
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    return {testwin::runLogIn(folder.path()), watcher.boxes()};
}

bool hasLine(const std::string& log, const std::string& line) {
    return log.find(line + "\r\n") != std::string::npos;
}

TEST(LauncherConfigExe, LogsTheConfigurationThemeAndLanguageSteps) {
    CTempFolder folder;
    const LauncherRun run = runLauncher(folder, launcherImage());
    EXPECT_TRUE(run.boxes.empty());
    for (const char* line : {"Theme: themes\\default\\", "setup:", "default:en",
                             "Launcher run mode:   rmInstall", "pLogic->init() succeed"})
        EXPECT_TRUE(hasLine(run.log, line)) << line << "\n" << run.log;
    // Other launcher runs may remember a language meanwhile: only the labels are fixed.
    for (const char* label : {"\r\nreg:", "\r\nlocal:"})
        EXPECT_NE(run.log.find(label), std::string::npos) << label;
    EXPECT_NE(run.log.find("\r\nInstall folder: "), std::string::npos) << run.log;
}

// Launcher.exe with `archive` as its branding resource.
std::vector<uint8_t> rebrandedImage(const CTempFolder& work, const std::vector<uint8_t>& archive) {
    const std::wstring path = work / L"rebranded.exe";
    EXPECT_TRUE(testwin::writeRebrandedLauncher(path, archive));
    std::vector<uint8_t> rebranded;
    EXPECT_EQ(readWholeFile(path, rebranded), 0u);
    return rebranded;
}

std::vector<uint8_t> packed(const std::vector<RarWriterEntry>& entries) {
    std::vector<uint8_t> archive;
    std::string error;
    EXPECT_TRUE(writeStoredRar(entries, kRarFixedDosTime, archive, error)) << error;
    return archive;
}

std::vector<uint8_t> brandingArchive(const std::string& configXml) {
    const std::string theme = "<theme><common/></theme>";
    return packed({{"config.xml", false, {configXml.begin(), configXml.end()}},
                   {"themes\\a\\config.xml", false, {theme.begin(), theme.end()}}});
}

// The default branding as the build packed it, with the product registered
// under `regPath` instead: tests that remember choices then run alone there.
std::vector<uint8_t> defaultBrandingAt(const std::string& regPath) {
    return testwin::brandingWithConfig([&](std::string& text) {
        const size_t at = text.find(kRegPath);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, strlen(kRegPath), regPath);
    });
}

TEST(LauncherConfigExe, TheRegistryChoosesTheTheme) {
    const struct {
        const char* choice;
        const char* line;
    } cases[] = {{"dark", "Theme: themes\\dark\\"}, {"no-such-theme", "Theme: themes\\default\\"}};
    // Tests run in parallel and every launcher run reads the theme: this test keeps its own key.
    const std::string regPath = "SOFTWARE\\Velmora Games\\Skyreach theme test";
    CTempFolder work;
    const std::vector<uint8_t> image = rebrandedImage(work, defaultBrandingAt(regPath));
    for (const auto& c : cases) {
        ASSERT_TRUE(writeUserSetting(regPath, L"Themes", L"Theme", c.choice));
        CTempFolder folder;
        const LauncherRun run = runLauncher(folder, image);
        EXPECT_TRUE(hasLine(run.log, c.line)) << c.choice << "\n" << run.log;
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, widen(regPath.c_str()).c_str());
}

TEST(LauncherConfigExe, StampedLanguageWinsOnlyInAnInstall) {
    const struct {
        bool guest; // a portable folder: rmUpdate
        const char* remembered;
        const char* line;
    } cases[] = {{false, "", "Language: de (Deutsch)"},
                 {false, "en", "Language: de (Deutsch)"},
                 {true, "en", "Language: en (English)"},
                 {true, "", "Language: de (Deutsch)"},
                 {true, "fr", "Language: en (English)"}};
    // Every launcher run remembers its language: this test keeps its own key.
    const std::string regPath = "SOFTWARE\\Velmora Games\\Skyreach language test";
    CTempFolder work;
    std::vector<uint8_t> image = rebrandedImage(work, defaultBrandingAt(regPath));
    ASSERT_EQ(stampImage(image, {{"LANGUAGE", {"de"}}}), "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, widen(regPath.c_str()).c_str());
        if (*c.remembered) {
            ASSERT_TRUE(saveLanguage(regPath, c.remembered, 0));
        }
        CTempFolder folder;
        const LauncherRun run = runLauncher(folder, image, c.guest);
        EXPECT_TRUE(hasLine(run.log, "setup:de")) << run.log;
        EXPECT_TRUE(hasLine(run.log, c.line)) << run.log;
    }
    EXPECT_EQ(readRememberedLanguage(regPath), "en") << "the chosen code is remembered";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, widen(regPath.c_str()).c_str());
}

TEST(LauncherConfigExe, ConfigurationChecksumFileGuardsTheServerListCache) {
    const uint32_t crc = brandingConfigCrc();
    const std::string crcBytes(reinterpret_cast<const char*>(&crc), 4);
    const struct {
        const char* name;
        std::string stored; // CIF.dat before the run; "-" for none
        bool cacheKept;
    } cases[] = {{"no file", "-", false},
                 {"3 bytes", crcBytes.substr(0, 3), false},
                 {"other checksum", "\x01\x02\x03\x04", false},
                 {"same checksum", crcBytes, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTempFolder folder;
        if (c.stored != "-")
            writeWholeFile(folder / L"CIF.dat", c.stored.data(),
                           static_cast<DWORD>(c.stored.size()));
        writeWholeFile(folder / L"CUD.dat", "cache", 5);
        const LauncherRun run = runLauncher(folder, launcherImage());
        EXPECT_EQ(readText(folder / L"CIF.dat"), crcBytes);
        // The run saves its server data again at its end; the log tells
        // whether the cache was dropped first.
        EXPECT_EQ(hasLine(run.log, "Configuration changed: CUD.dat removed"), !c.cacheKept)
            << run.log;
    }
}

TEST(LauncherConfigExe, UnusableBrandingFailsPreinit) {
    const std::string languages = "<languages/>";
    const struct {
        const char* name;
        std::vector<uint8_t> archive;
    } cases[] = {
        {"no regPath",
         brandingArchive("<l><common>" + languages +
                         "</common><themes><theme name='a' path='themes\\a'/></themes></l>")},
        {"no theme with a path",
         brandingArchive("<l><common><regPath>SOFTWARE\\X</regPath>" + languages +
                         "</common><themes><theme name='a'/></themes></l>")},
        {"no language", brandingArchive("<l><common><regPath>SOFTWARE\\X</regPath>" + languages +
                                        "</common><themes><theme name='a' path='themes\\a'/>"
                                        "</themes></l>")},
        {"not an archive", {'n', 'o', 't', ' ', 'r', 'a', 'r'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTempFolder folder;
        const LauncherRun run = runLauncher(folder, rebrandedImage(folder, c.archive));
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].caption, L"Installer Error");
        EXPECT_EQ(run.boxes[0].text, L"g_pSystem->preinit");
        EXPECT_FALSE(fileExists(folder / L"CIF.dat"));
    }
}

} // namespace
