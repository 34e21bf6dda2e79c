// The real Launcher.exe, copied into a temporary folder and started as a
// child process: "/crc", the stamped slots, "/assistant", run modes.
#include "app/stamp/pe_resources.h"
#include "app/stamp/stamp_resources_win.h"
#include "app/stamp/stamp_slots.h"
#include "base/file_io_win.h"
#include "rar_writer.h"
#include "stamp_writer.h"

#include "support/files_win.h"
#include "support/launcher_image_win.h"
#include "support/message_box_watcher_win.h"
#include "support/process_win.h"
#include "support/temp_folder_win.h"
#include "support/update_server_win.h"

#include <gtest/gtest.h>

namespace {

using testwin::CTempFolder;
using testwin::filesIn;
using testwin::launcherImage;
using testwin::readText;
using testwin::widen;
using testwin::writeImage;

// The checksum as the studio's tool computes it: slot sizes from the
// image's own resource directory.
uint32_t toolCrc(const std::vector<uint8_t>& image) {
    return computeLauncherCrcOfImage(image.data(), image.size(), 0, [&](const StampSlot& s) {
        const auto r =
            findPeResource(image.data(), image.size(), s.type, static_cast<uint16_t>(s.id));
        return r ? std::optional<size_t>(r->size) : std::nullopt;
    });
}

TEST(LauncherExe, MarkersOccurOnlyInTheirSlots) {
    const std::vector<uint8_t> image = launcherImage();
    const std::string_view hay(reinterpret_cast<const char*>(image.data()), image.size());
    for (const StampSlot& s : kStampSlots) {
        SCOPED_TRACE(s.type);
        const auto where =
            findPeResource(image.data(), image.size(), s.type, static_cast<uint16_t>(s.id));
        ASSERT_TRUE(where);
        EXPECT_EQ(where->size, s.totalSize);
        EXPECT_EQ(hay.find(stampMarker(s)), where->fileOffset);
        EXPECT_EQ(hay.rfind(stampMarker(s)), where->fileOffset);
    }
}

TEST(LauncherExe, CrcModeWritesTheChecksumForPlainAndStampedCopies) {
    const std::vector<uint8_t> plain = launcherImage();
    StampValues values;
    for (const StampSlot& s : kStampSlots)
        values[s.type] = {std::string(s.valueSize - 1, static_cast<char>('a' + s.id % 26))};
    std::vector<uint8_t> stamped = plain;
    ASSERT_EQ(stampImage(stamped, values), "");
    ASSERT_NE(stamped, plain);

    const std::vector<uint8_t>* images[] = {&plain, &stamped};
    for (const std::vector<uint8_t>* image : images) {
        CTempFolder folder;
        writeImage(folder / L"Launcher.exe", *image);
        const auto r = testwin::runProcess(folder / L"Launcher.exe", L"/crc", folder.path());
        ASSERT_TRUE(r.started);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(readText(folder / L"crc.txt"), std::to_string(toolCrc(plain)));
        // No run log, nothing else beside it.
        EXPECT_EQ(filesIn(folder.path()).size(), 2u);
    }

    std::vector<uint8_t> changed = plain;
    changed[changed.size() / 2] ^= 0x01;
    EXPECT_NE(toolCrc(changed), toolCrc(plain));
}

TEST(LauncherExe, ReadsBackExactlyTheStampedValues) {
    std::vector<uint8_t> image = launcherImage();
    const std::string url1 = "http://127.0.0.1:8080/", url2(128 - url1.size() - 2, 'u');
    StampValues values = {
        {"SERVER_URL", {url1, url2}},         {"UPDATE_PATH", {std::string(128, 'p')}},
        {"LANGUAGE", {std::string(32, 'l')}}, {"AFFILIATE_ID", {std::string(64, 'a')}},
        {"REFERRER_ID", {"ref-7"}},           {"PROMOCODE", {std::string(64, 'c')}}};
    ASSERT_EQ(stampImage(image, values), "");
    CTempFolder folder;
    writeImage(folder / L"Launcher.exe", image);

    HMODULE module = ::LoadLibraryExW((folder / L"Launcher.exe").c_str(), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(readStampList("SERVER_URL", 132, module), values["SERVER_URL"]);
    for (const char* type :
         {"UPDATE_PATH", "LANGUAGE", "AFFILIATE_ID", "REFERRER_ID", "PROMOCODE"}) {
        const StampSlot& s = *findStampSlot(type);
        EXPECT_EQ(readStampValue(type, s.id, module), values[type][0]) << type;
    }
    ::FreeLibrary(module);
}

TEST(LauncherExe, AssistantWithWrongArgumentsExitsAtOnce) {
    for (const wchar_t* args : {L"/assistant", L"/assistant 1 2", L"/assistant a b c"}) {
        CTempFolder folder;
        writeImage(folder / L"Launcher.exe", launcherImage());
        const auto r = testwin::runProcess(folder / L"Launcher.exe", args, folder.path(), 20000);
        EXPECT_FALSE(r.timedOut) << args;
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(filesIn(folder.path()).size(), 1u) << "no log, no files";
    }
}

struct RunCase {
    const wchar_t* exeName;
    const wchar_t* arguments;
    bool guestFile;
    const char* modeLine;
    bool initFails;
};

const RunCase kRuns[] = {
    {L"Launcher.exe", L"", false, "Launcher run mode:   rmInstall", false},
    {L"Launcher.exe", L"", true, "Launcher run mode:   Portable, rmUpdate", false},
    {L"Renamed.exe", L"", true, "Launcher run mode:   rmInstall", false},
    {L"Launcher.tmp.exe", L"/restart", true, "Launcher run mode:   Portable, rmUpdate", false},
    {L"Launcher.exe", L"/ug \"C:\\Temp\\Launcher.exe\" C:\\Portable", false,
     "Launcher run mode:   rmUninstaller", false},
    {L"Launcher.exe", L"/download 4242", false, "Launcher run mode:   rmUnknown", true},
    {L"Launcher.exe", L"/download 4242", true, "Launcher run mode:   Portable, rmDownload", false},
    {L"Other.exe", L"/download 4242", true, "Launcher run mode:   rmUnknown", true},
};

// An update server with an empty release: update runs end without boxes.
std::string serveEmptyRelease(testwin::CUpdateServer& server) {
    const std::string xml = "<update clientVersion=\"1.0.0.1\"/>";
    std::vector<uint8_t> archive;
    std::string error;
    EXPECT_TRUE(writeStoredRar({{"update.xml", false, {xml.begin(), xml.end()}}}, kRarFixedDosTime,
                               archive, error))
        << error;
    server.writeFile("/live/update.rxml", std::string(archive.begin(), archive.end()));
    EXPECT_TRUE(server.start({})) << server.output();
    return server.baseUrl() + "/";
}

TEST(LauncherExe, DecidesTheRunMode) {
    testwin::CUpdateServer server;
    std::vector<uint8_t> image = launcherImage();
    ASSERT_EQ(stampImage(image, {{"SERVER_URL", {serveEmptyRelease(server)}},
                                 {"UPDATE_PATH", {"/live/"}}}),
              "");
    for (const RunCase& c : kRuns) {
        SCOPED_TRACE(testing::Message() << c.modeLine);
        CTempFolder folder;
        writeImage(folder / c.exeName, image);
        if (c.guestFile)
            writeWholeFile(folder / L"guest.dat", "", 0);
        testwin::CMessageBoxWatcher watcher(0);
        const auto r = testwin::runProcess(folder / c.exeName, c.arguments, folder.path(), 30000,
                                           [&](DWORD pid) { watcher.setProcess(pid); });
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u);
        const std::string log = testwin::runLogIn(folder.path());
        EXPECT_NE(log.find(std::string(c.modeLine) + "\r\n"), std::string::npos) << log;
        EXPECT_NE(log.find("Launcher finished\r\n"), std::string::npos) << log;
        const auto boxes = watcher.boxes();
        if (c.initFails) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, L"pLogic->init");
            EXPECT_NE(log.find("Installer Error: pLogic->init\r\n"), std::string::npos);
        } else {
            EXPECT_TRUE(boxes.empty());
        }
    }
}

} // namespace
