// Whole update runs of the real Launcher.exe against the test update server
// on loopback, faults included; every run that completes is checked file by
// file against the published client folder (verify_install.py).
#include "base/crc32.h"
#include "zip_writer.h"

#include "support/launcher_watch_win.h"
#include "support/update_run_fixture_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using testwin::kLivePath;
using testwin::kServerDataPath;
using testwin::SClientFile;
using testwin::SLauncherRun;
using testwin::SRelease;

const char kCorePath[] = "/skyreach/live/core.pkg";
const char kDataPath[] = "/skyreach/live/data.pkg";
const char kMediaPath[] = "/skyreach/live/media.pkg";
const char kManifestPath[] = "/skyreach/live/update.rxml";

// Just over one range of 16 MiB: the package takes two requests.
constexpr size_t kWorldSize = (16u << 20) + (1u << 20) + 12345;

std::vector<SClientFile> releaseV1() {
    return {{"bin/game.exe", testwin::noiseBytes(300000, 1)},
            {"client.cfg", "release=1\n"},
            {"data/world.bin", testwin::noiseBytes(kWorldSize, 2)},
            {"media/intro.txt", "Welcome to Skyreach.\n"},
            {"media/old.txt", "retired in the next release\n"},
            {"media/empty.dat", ""}};
}

// One file changed and one added (core.pkg), one removed (media.pkg),
// data.pkg the same bytes.
std::vector<SClientFile> releaseV2() {
    return {{"bin/game.exe", testwin::noiseBytes(300000, 1)},
            {"bin/extra.dll", testwin::noiseBytes(5000, 3)},
            {"client.cfg", "release=2\n"},
            {"data/world.bin", testwin::noiseBytes(kWorldSize, 2)},
            {"media/intro.txt", "Welcome to Skyreach.\n"},
            {"media/empty.dat", ""}};
}

// The manifest's attributes of a package with these bytes.
std::string packAttributes(const std::string& name, const std::string& bytes) {
    return "file=\"" + name + "\" crc=\"" +
           std::to_string(Crc32(bytes.data(), static_cast<unsigned>(bytes.size()))) + "\" size=\"" +
           std::to_string(bytes.size()) + "\"";
}

std::string zipOf(const std::vector<ZipWriterEntry>& entries) {
    std::vector<uint8_t> archive;
    std::string error;
    EXPECT_TRUE(writeZip(entries, archive, error)) << error;
    return std::string(archive.begin(), archive.end());
}

ZipWriterEntry zipEntry(const std::string& name, const std::string& bytes) {
    return {name, std::vector<uint8_t>(bytes.begin(), bytes.end())};
}

class UpdateRunExe : public testwin::UpdateRunFixture {
protected:
    SLauncherRun interruptThenResume(const std::function<bool(DWORD)>& interrupt, bool killed);
};

TEST_F(UpdateRunExe, FreshInstallThenAnUpdateFetchesOnlyWhatChanged) {
    const SRelease v1 = publish(L"client-v1", releaseV1());
    startServer();
    makeInstallFolder({liveUrl()});
    const SLauncherRun fresh = run();
    expectCompleted(fresh, v1);
    EXPECT_TRUE(
        testwin::inOrder(fresh.log, {"Install folder check: ", "  .. holds only the launcher",
                                     "Start check thread"}));
    // data.pkg is larger than one range: the second request starts where the
    // first answer ended (the server sends the inclusive end byte).
    const auto data = server.entries(kDataPath, 2);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].range, "bytes=0-16777216");
    EXPECT_EQ(data[1].range.rfind("bytes=" + std::to_string(data[0].sent) + "-", 0), 0u)
        << data[1].range;

    // A new minor version: the clean-up then goes by the new file list, so
    // the removed file goes too.
    const SRelease v2 = publish(L"client-v2", releaseV2(), "1.1.0.0");
    const size_t coreBefore = server.entries(kCorePath).size();
    const SLauncherRun update = run();
    expectCompleted(update, v2);
    EXPECT_TRUE(testwin::inOrder(update.log, {"  .. holds the client", "Start check thread"}));
    EXPECT_EQ(server.entries(kCorePath, coreBefore + 1).size(), coreBefore + 1);
    // Unchanged, or only a file less: nothing to fetch.
    EXPECT_EQ(server.entries(kDataPath, 0, 0).size(), 2u);
    EXPECT_EQ(server.entries(kMediaPath, 0, 0).size(), 1u);
}

TEST_F(UpdateRunExe, DroppedConnectionResumesAtTheByteItStopped) {
    const size_t cut = 5000003;
    const SRelease v1 = publish(L"client-v1", releaseV1());
    startServer(
        testwin::oneRule(kDataPath, R"("times": 1, "close_after": )" + std::to_string(cut)));
    makeInstallFolder({liveUrl()});
    const SLauncherRun r = run();
    expectCompleted(r, v1);
    // The rest fits one range.
    const auto data = server.entries(kDataPath, 2);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].outcome, "closed");
    EXPECT_EQ(data[0].sent, static_cast<long long>(cut));
    EXPECT_EQ(data[1].range.rfind("bytes=" + std::to_string(cut) + "-", 0), 0u) << data[1].range;
    EXPECT_TRUE(testwin::inOrder(r.log, {"filePartReceived: file: data.pkg (part size: 5000003)",
                                         "continue downloading attempt #",
                                         "data.pkg?1.0.0.1 (begin: 5000003, "}));
}

// Ends the launcher while the second range of data.pkg stalls, by
// `interrupt` (the process id; true when it acted), then lets a second run
// finish. Returns the interrupted run. A run that ends by itself writes what
// it received; a `killed` one may be caught while its writer appends the
// first answer, and its file may still grow while the process dies, so the
// disk then holds a prefix of that answer and the next run resumes from
// whatever it finds.
SLauncherRun UpdateRunExe::interruptThenResume(const std::function<bool(DWORD)>& interrupt,
                                               bool killed) {
    const SRelease v1 = publish(L"client-v1", releaseV1());
    // The second range of data.pkg stalls after 500 kB; the server logs the
    // stall when it begins.
    startServer(testwin::oneRule(
        kDataPath, R"("after": 1, "times": 1, "stall_after": 500000, "stall_seconds": null)"));
    makeInstallFolder({liveUrl()});
    bool interrupted = false;
    const SLauncherRun first = run({}, [&](DWORD pid) {
        const auto data = server.entries(kDataPath, 2, 60000);
        if (data.size() == 2 && data[1].outcome == "stalled")
            interrupted = interrupt(pid);
    });
    EXPECT_TRUE(interrupted) << first.log;
    const auto data = server.entries(kDataPath, 2);
    EXPECT_EQ(data.size(), 2u);
    if (!interrupted || data.size() != 2)
        return first;

    // The complete first answer is on disk (a prefix of it after a kill);
    // the stalled one was still in memory.
    const std::string suffix = "." + std::to_string(v1.files.at("data.pkg").size());
    uint64_t onDisk = 0;
    for (const auto& [name, size] : testwin::tempFileSizes(install)) {
        if (testwin::narrowPath(name).ends_with(suffix))
            onDisk = size;
    }
    const auto sent = static_cast<uint64_t>(data[0].sent);
    if (killed)
        EXPECT_LE(onDisk, sent);
    else
        EXPECT_EQ(onDisk, sent);

    // The next run asks from the end of what the disk holds, never beyond
    // what was received; the verified install shows the bytes fit.
    const SLauncherRun resumed = run();
    expectCompleted(resumed, v1);
    const auto after = server.entries(kDataPath, 3);
    EXPECT_EQ(after.size(), 3u);
    if (after.size() == 3 && after[2].range.rfind("bytes=", 0) == 0) {
        const uint64_t from = std::stoull(after[2].range.substr(6));
        EXPECT_GE(from, killed ? onDisk : sent) << after[2].range;
        EXPECT_LE(from, sent);
    } else {
        ADD_FAILURE() << "no ranged third request of data.pkg";
    }
    // core.pkg was whole before the interruption: not fetched again.
    EXPECT_EQ(server.entries(kCorePath, 0, 0).size(), 1u);
    return first;
}

TEST_F(UpdateRunExe, KilledLauncherResumesFromWhatIsOnDisk) {
    interruptThenResume(testwin::killProcess, true);
}

// The player closes the window during a download that hangs: the launcher
// ends by itself within its bounded waits, and the next run resumes.
TEST_F(UpdateRunExe, ClosedWindowEndsTheRunAndTheNextOneResumes) {
    const SLauncherRun closed = interruptThenResume(
        [](DWORD pid) {
            const HWND window = testwin::launcherWindowOf(pid);
            return window != nullptr && ::PostMessageW(window, WM_CLOSE, 0, 0) != FALSE;
        },
        false);
    EXPECT_EQ(closed.process.exitCode, 0u);
    EXPECT_TRUE(
        testwin::inOrder(closed.log, {"Msg cycle - finish", "Stop checker & unpaker threads",
                                      "Checker thread .. OK", "Unpacker thread .. OK",
                                      "Downloader uninit .. OK", "--- Uninit finished ---"}))
        << closed.log;
}

// A file of 2 GiB that costs no disk space; reading it takes seconds here.
constexpr uint64_t kHugeSize = 2ull << 30;

// The player closes the window while the checker reads a listed file of
// 2 GiB: the checker sees the stop between two blocks, so the run ends
// within the bounded waits with no thread terminated, and the check decides
// nothing: nothing is fetched, nothing deleted.
TEST_F(UpdateRunExe, ClosedWindowStopsTheCheckerInsideAHugeFile) {
    const SRelease v1 = publish(L"client-v1", releaseV1());
    std::string xml = v1.files.at("update.xml");
    const size_t at = xml.find(packAttributes("data.pkg", v1.files.at("data.pkg")));
    ASSERT_NE(at, std::string::npos) << xml;
    // A damaged entry beside it is skipped, not opened.
    xml.insert(xml.find('>', at) + 1, "<FILE file=\"COM1\" crc=\"1\" size=\"1\"/>"
                                      "<FILE file=\"data\\huge.bin\" crc=\"1\" size=\"" +
                                          std::to_string(kHugeSize) + "\"/>");
    serve("update.rxml", zipOf({zipEntry("update.xml", xml)}));
    startServer();
    makeInstallFolder({liveUrl()});
    // The installed client, with the manifest its update left.
    ASSERT_TRUE(testwin::writeClientFolder(install, releaseV1()));
    ASSERT_TRUE(testwin::writeClientFolder(install, {{"update.xml", v1.files.at("update.xml")}}));
    const std::wstring huge = install + L"\\data\\huge.bin";
    ASSERT_TRUE(testwin::makeSparseFile(huge, kHugeSize));

    long long endMs = -1;
    const SLauncherRun closed = run({}, [&](DWORD pid) {
        if (!testwin::waitUntilHeldOpen(huge))
            return;
        const HWND window = testwin::launcherWindowOf(pid);
        if (window != nullptr && ::PostMessageW(window, WM_CLOSE, 0, 0))
            endMs = testwin::millisecondsUntilEnd(pid);
    });
    std::printf("[ measured ] closed while the checker read 2 GiB: ended after %lld ms\n", endMs);
    ASSERT_GE(endMs, 0) << closed.log;
    EXPECT_EQ(closed.process.exitCode, 0u);
    EXPECT_TRUE(testwin::inOrder(
        closed.log, {"Server info ready", "Manifest entry skipped: com1 (a device name)",
                     "Msg cycle - finish", "Stop checker & unpaker threads", "Checker thread .. OK",
                     "Checker stopped while reading data\\huge.bin", "Unpacker thread .. OK",
                     "--- Uninit finished ---"}));
    EXPECT_EQ(closed.log.find("timed out"), std::string::npos) << closed.log;
    EXPECT_EQ(closed.log.find("Finish check thread"), std::string::npos) << closed.log;
    for (const char* package : {kCorePath, kDataPath, kMediaPath})
        EXPECT_TRUE(server.entries(package, 0, 0).empty()) << package;
    std::error_code ec;
    EXPECT_EQ(std::filesystem::file_size(huge, ec), kHugeSize);
    EXPECT_EQ(testwin::readText(install + L"\\client.cfg"), "release=1\n");
}

// What the window did while it was pinged.
struct SPings {
    int sent = 0;
    int answered = 0;
    DWORD slowestMs = 0;
};

// Sends WM_NULL (2 s to answer) to the launcher's window every 100 ms from
// the moment `part` is open until `enough` says so.
SPings pingWhileOpen(DWORD pid, const std::wstring& part, const std::function<bool(int)>& enough) {
    SPings pings;
    if (!testwin::waitUntilHeldOpen(part))
        return pings;
    const HWND window = testwin::launcherWindowOf(pid);
    while (window != nullptr && !enough(pings.sent)) {
        DWORD elapsed = 0;
        ++pings.sent;
        if (testwin::windowAnswers(window, 2000, elapsed))
            ++pings.answered;
        pings.slowestMs = std::max(pings.slowestMs, elapsed);
        ::Sleep(100);
    }
    return pings;
}

// An earlier run left a part of 2 GiB in tmp\ for data.pkg. It is
// checksummed while the window keeps answering; closing the window
// meanwhile ends the run within the bounded waits and decides nothing. The
// next run finds the part longer than its package, drops it and completes.
TEST_F(UpdateRunExe, HugePartIsChecksummedWhileTheWindowAnswers) {
    const SRelease v1 = publish(L"client-v1", releaseV1());
    startServer();
    makeInstallFolder({liveUrl()});
    const std::string& data = v1.files.at("data.pkg");
    wchar_t name[32] = {};
    std::swprintf(name, 32, L"%08X.%d", Crc32(data.data(), static_cast<unsigned>(data.size())),
                  static_cast<int>(data.size()));
    ::CreateDirectoryW((install + L"\\tmp").c_str(), nullptr);
    const std::wstring part = install + L"\\tmp\\" + name;
    ASSERT_TRUE(testwin::makeSparseFile(part, kHugeSize));
    const std::string decided = "Add task for unpacker: data.pkg";

    SPings first;
    bool stillMeasuring = false;
    long long endMs = -1;
    const SLauncherRun closed = run({}, [&](DWORD pid) {
        first = pingWhileOpen(pid, part, [](int sent) { return sent >= 5; });
        stillMeasuring = testwin::liveRunLog(install).find(decided) == std::string::npos;
        const HWND window = testwin::launcherWindowOf(pid);
        if (window != nullptr && ::PostMessageW(window, WM_CLOSE, 0, 0))
            endMs = testwin::millisecondsUntilEnd(pid);
    });
    std::printf("[ measured ] part of 2 GiB: %d of %d pings answered, slowest %lu ms; closed: "
                "ended after %lld ms\n",
                first.answered, first.sent, static_cast<unsigned long>(first.slowestMs), endMs);
    EXPECT_EQ(first.sent, 5) << closed.log;
    EXPECT_EQ(first.answered, first.sent);
    EXPECT_TRUE(stillMeasuring) << closed.log;
    ASSERT_GE(endMs, 0) << closed.log;
    EXPECT_TRUE(testwin::inOrder(closed.log, {"Remove ext directory", "Msg cycle - finish",
                                              "Checker thread .. OK", "Unpacker thread .. OK",
                                              "--- Uninit finished ---"}));
    EXPECT_EQ(closed.log.find("timed out"), std::string::npos) << closed.log;
    EXPECT_EQ(closed.log.find(decided), std::string::npos) << closed.log;
    std::error_code ec;
    EXPECT_EQ(std::filesystem::file_size(part, ec), kHugeSize);
    EXPECT_TRUE(server.entries(kDataPath, 0, 0).empty());

    SPings second;
    const SLauncherRun completed = run({}, [&](DWORD pid) {
        second = pingWhileOpen(pid, part, [&](int) {
            return testwin::liveRunLog(install).find(decided) != std::string::npos;
        });
    });
    std::printf("[ measured ] whole part of 2 GiB: %d of %d pings answered, slowest %lu ms\n",
                second.answered, second.sent, static_cast<unsigned long>(second.slowestMs));
    EXPECT_GT(second.sent, 0) << completed.log;
    EXPECT_EQ(second.answered, second.sent);
    expectCompleted(completed, v1);
    EXPECT_TRUE(testwin::inOrder(completed.log,
                                 {"Remove ext directory", decided, "  .. from tmp file: ",
                                  "warning: crc or size is not correct", "Save update.xml"}));
}

// No server answers and the server data allow the player's own address:
// the ladder ends in the prompt, and the address typed there is used.
TEST_F(UpdateRunExe, PromptedServerAddressIsTriedAndKept) {
    const SRelease v1 = publish(L"client-v1", releaseV1());
    startServer();
    const std::string dead = "http://127.0.0.1:1/";
    makeInstallFolder({dead});
    ASSERT_TRUE(server.writeFile(kServerDataPath,
                                 "<ClientUpdateData><Face id=\"skyreach\" askLoginURL=\"true\">"
                                 "<LoginURLs><URL>" +
                                     dead + "</URL></LoginURLs></Face></ClientUpdateData>"));
    const SLauncherRun r = run([&](const testwin::SeenBox& box) {
        const HWND edit = ::GetDlgItem(box.hwnd, 12417);
        if (edit == nullptr)
            return IDCANCEL;
        ::SetWindowTextW(edit, testwin::widen(liveUrl().c_str()).c_str());
        return IDOK;
    });
    expectCompleted(r, v1);
    ASSERT_EQ(r.boxes.size(), 1u) << r.log;
    EXPECT_EQ(r.boxes[0].buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(testwin::inOrder(r.log, {"attempts run out", "Selecting update URL: ",
                                         "Setting custom URL: ", "update.rxml Received",
                                         "Accepting custom server URL... "}))
        << r.log;
}

TEST_F(UpdateRunExe, TruncatedManifestChangesNothingUntilTheServerIsFixed) {
    const SRelease v1 = publish(L"client-v1", releaseV1());
    const SRelease v2 = publish(L"client-v2", releaseV2(), "1.1.0.0");
    const std::string manifest = v2.files.at("update.rxml");
    serve("update.rxml", manifest.substr(0, manifest.size() / 2));
    startServer();
    makeInstallFolder({liveUrl()});
    // An older client is in place, with the manifest its update left.
    ASSERT_TRUE(testwin::writeClientFolder(install, releaseV1()));
    ASSERT_TRUE(testwin::writeClientFolder(install, {{"update.xml", v1.files.at("update.xml")}}));
    const auto before = testwin::filesBelow(install);

    const SLauncherRun failed = run(testwin::press(IDCANCEL));
    EXPECT_EQ(failed.process.exitCode, 0u);
    EXPECT_TRUE(testwin::inOrder(failed.log,
                                 {"Network error, Request: update.rxml", "attempts run out",
                                  "Selecting server URL: list depleted", "Selecting update URL: OK",
                                  "no new URLs", "Selecting update URL: list depleted"}));
    ASSERT_EQ(failed.boxes.size(), 1u) << failed.log;
    EXPECT_NE(failed.boxes[0].text.find(L"Invalid update information"), std::wstring::npos)
        << testwin::narrowPath(failed.boxes[0].text);
    EXPECT_EQ(failed.boxes[0].buttons, (std::vector<int>{IDRETRY, IDCANCEL}));
    // Nothing was checked, nothing fetched.
    EXPECT_EQ(failed.log.find("Start check thread"), std::string::npos) << failed.log;
    for (const char* package : {kCorePath, kDataPath, kMediaPath})
        EXPECT_TRUE(server.entries(package, 0, 0).empty()) << package;
    auto after = testwin::filesBelow(install);
    // The launcher keeps its server data beside the client; nothing else changed.
    std::erase_if(after, [](const auto& file) {
        return lstrcmpiW(file.first.c_str(), L"cud.dat") == 0 ||
               lstrcmpiW(file.first.c_str(), L"cif.dat") == 0;
    });
    EXPECT_EQ(after.size(), before.size());
    for (const auto& [path, bytes] : after)
        EXPECT_TRUE(before.count(path) == 1 && before.at(path) == bytes)
            << testwin::narrowPath(path);

    serve("update.rxml", manifest);
    expectCompleted(run(), v2);
}

TEST_F(UpdateRunExe, PackageEntryLeavingTheFolderFailsTheUnpackAndWritesNothingOutside) {
    const SRelease v1 = publish(L"client-v1", releaseV1());
    const std::string& core = v1.files.at("core.pkg");
    const std::vector<SClientFile> files = releaseV1();
    const std::string evil =
        zipOf({zipEntry("bin/game.exe", files[0].bytes), zipEntry("..\\..\\evil.txt", "escaped"),
               zipEntry("client.cfg", files[1].bytes)});
    std::string xml = v1.files.at("update.xml");
    const size_t at = xml.find(packAttributes("core.pkg", core));
    ASSERT_NE(at, std::string::npos) << xml;
    xml.replace(at, packAttributes("core.pkg", core).size(), packAttributes("core.pkg", evil));
    serve("core.pkg", evil);
    serve("update.rxml", zipOf({zipEntry("update.xml", xml)}));
    startServer();
    makeInstallFolder({liveUrl()});

    const SLauncherRun failed = run();
    EXPECT_EQ(failed.process.exitCode, 0u);
    ASSERT_EQ(failed.boxes.size(), 1u) << failed.log;
    EXPECT_NE(failed.boxes[0].text.find(L"Invalid update package"), std::wstring::npos)
        << testwin::narrowPath(failed.boxes[0].text);
    EXPECT_EQ(failed.boxes[0].buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(testwin::inOrder(
        failed.log, {"Finish unpack thread .. Fail", "unsafe entry name", "..\\..\\evil.txt"}));
    // Where the entry points, and anywhere else.
    EXPECT_FALSE(std::filesystem::exists(work / L"site\\evil.txt"));
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(work.path(), ec), end; !ec && it != end;
         it.increment(ec))
        EXPECT_NE(it->path().filename(), L"evil.txt") << testwin::narrowPath(it->path().wstring());

    serve("core.pkg", core);
    serve("update.rxml", v1.files.at("update.rxml"));
    expectCompleted(run(), v1);
}

// Faults that one run gets over by itself, or with the user's Retry.
struct SRecoveryCase {
    const char* name;
    int deadServers; // closed loopback ports stamped before the server
    int liveServers; // copies of the server's address
    std::string faults;
    std::vector<std::string> logInOrder;
    std::wstring boxText; // empty: no box; else the box is answered Retry
    std::vector<std::pair<const char*, size_t>> requests; // path, count at the server
};

const SRecoveryCase kRecoveryCases[] = {
    {"FirstServerRefusesConnections",
     1,
     1,
     "",
     {"Network error, Request: update.rxml", "System error code: 12029",
      "continue downloading xml attempt #1", "continue downloading xml attempt #5",
      "System error code: 12029", "attempts run out", "Selecting server URL: OK",
      "continue downloading xml attempt #1", "update.rxml Received"},
     L"",
     {{kManifestPath, 1}, {kServerDataPath, 0}}},
    // A 503 ends the attempts on a server at once: the next server, then
    // fresh server data, then the box.
    {"ManifestAnswers503Twice",
     0,
     2,
     testwin::oneRule(kManifestPath,
                      R"("times": 2, "maintenance": {"format": "xml", "languages": )"
                      R"({"en": {"title": "Maintenance", "line1": "Skyreach is serviced."}}})"),
     {"Http error code: 503", "attempts run out", "Selecting server URL: OK",
      "continue downloading xml attempt #1", "Http error code: 503", "attempts run out",
      "Selecting server URL: list depleted", "Selecting update URL: OK", "no new URLs",
      "Selecting update URL: list depleted", "Skyreach is serviced.",
      "continue downloading xml attempt #1", "update.rxml Received"},
     L"Skyreach is serviced.",
     {{kManifestPath, 3}, {kServerDataPath, 1}}},
    // The damaged package goes to the end of the queue; Retry goes on with
    // the others and fetches it again.
    {"PackageArrivesDamaged",
     0,
     1,
     testwin::oneRule(kCorePath, R"("times": 1, "corrupt": "flip")"),
     {"filePartReceived: file: core.pkg", "warning: crc or size is not correct",
      "CRC check failed.", "continue downloading attempt #1", "media.pkg?1.0.0.1 (begin: 0, ",
      "core.pkg?1.0.0.1 (begin: 0, "},
     L"CRC check failed.\nPress Retry to download the damaged files again.",
     {{kCorePath, 2}, {kServerDataPath, 0}}},
};

void PrintTo(const SRecoveryCase& c, std::ostream* out) {
    *out << c.name;
}

class UpdateRunExeRecovery : public UpdateRunExe,
                             public testing::WithParamInterface<SRecoveryCase> {};

TEST_P(UpdateRunExeRecovery, CompletesTheUpdate) {
    const SRecoveryCase& c = GetParam();
    const SRelease v1 = publish(L"client-v1", releaseV1());
    startServer(c.faults);
    // Port 1 on loopback: nothing listens there.
    std::vector<std::string> urls(static_cast<size_t>(c.deadServers), "http://127.0.0.1:1/");
    urls.insert(urls.end(), static_cast<size_t>(c.liveServers), liveUrl());
    makeInstallFolder(urls);

    const SLauncherRun r = run(testwin::press(IDRETRY));
    expectCompleted(r, v1);
    EXPECT_TRUE(testwin::inOrder(r.log, c.logInOrder));
    for (const auto& [path, count] : c.requests)
        EXPECT_EQ(server.entries(path, count, count == 0 ? 0 : 10000).size(), count) << path;
    if (c.boxText.empty()) {
        EXPECT_TRUE(r.boxes.empty());
        return;
    }
    ASSERT_EQ(r.boxes.size(), 1u) << r.log;
    EXPECT_NE(r.boxes[0].text.find(c.boxText), std::wstring::npos)
        << testwin::narrowPath(r.boxes[0].text);
    EXPECT_EQ(r.boxes[0].buttons, (std::vector<int>{IDRETRY, IDCANCEL}));
}

INSTANTIATE_TEST_SUITE_P(UpdateRunExe, UpdateRunExeRecovery, testing::ValuesIn(kRecoveryCases),
                         [](const testing::TestParamInfo<SRecoveryCase>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
