// The release fixtures the launcher's end-to-end tests stand on: a release
// published by launcher-tool and served by the test update server, a
// portable folder, the independent install check, and the sample client.
#include "base/file_io_win.h"
#include "base/scoped_handle_win.h"
#include "base/windows_win.h"
#include "net/internet_handle_win.h"
#include "stamp_writer.h"

#include "support/files_win.h"
#include "support/release_win.h"
#include "support/temp_folder_win.h"
#include "support/update_server_win.h"

#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using testwin::CTempFolder;
using testwin::CUpdateServer;
using testwin::readText;

const char kLivePath[] = "/skyreach/live/";

const char kLayout[] = "modification fixture-1\n"
                       "client-version 1.0.0\n"
                       "pack core.pkg full\n"
                       "  add Client.exe\n"
                       "  add client.cfg\n"
                       "pack data.pkg full\n"
                       "  rest\n";

std::vector<testwin::SClientFile> sampleRelease() {
    std::string terrain(100000, '\0');
    for (size_t i = 0; i < terrain.size(); ++i)
        terrain[i] = static_cast<char>(i * 131 % 251);
    return {{"Client.exe", testwin::sampleClientImage()},
            {"client.cfg", "release=1\n"},
            {"data/terrain.bin", terrain},
            {"data/empty.dat", ""}};
}

struct SHttpAnswer {
    DWORD status = 0;
    std::string body;
};

SHttpAnswer httpGet(const std::string& url) {
    SHttpAnswer answer;
    const NetEx::CInternetHandle session(
        ::InternetOpenA("release-fixture-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    const NetEx::CInternetHandle request(
        ::InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0,
                           INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request)
        return answer;
    DWORD size = sizeof(answer.status);
    ::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &answer.status,
                     &size, nullptr);
    char chunk[65536];
    DWORD read = 0;
    while (::InternetReadFile(request.get(), chunk, sizeof(chunk), &read) && read > 0)
        answer.body.append(chunk, read);
    return answer;
}

bool hasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(ReleaseFixture, PublishedReleaseIsServedAndTheInstallCheckJudgesCopies) {
    CTempFolder work;
    const std::vector<testwin::SClientFile> files = sampleRelease();
    ASSERT_TRUE(testwin::writeClientFolder(work / L"client", files));
    CUpdateServer server;
    ASSERT_TRUE(server.start({})) << server.output();

    const testwin::SPublished release =
        testwin::publishRelease(work / L"client", kLayout, server, kLivePath);
    ASSERT_TRUE(release.ok()) << release.run.output;
    for (const char* name : {"update.rxml", "core.pkg", "data.pkg"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(release.files.count(name), 1u);
        const SHttpAnswer answer = httpGet(server.baseUrl() + kLivePath + name);
        EXPECT_EQ(answer.status, 200u);
        EXPECT_TRUE(answer.body == release.files.at(name)) << answer.body.size() << " bytes";
    }

    // A copy of the client in a portable folder: the launcher's files there
    // are not the release's business.
    const std::wstring install = work / L"install";
    ASSERT_TRUE(testwin::writeClientFolder(install, files));
    ASSERT_TRUE(testwin::makePortableFolder(install, server, kLivePath));
    std::vector<uint8_t> stamped;
    ASSERT_EQ(readWholeFile(install + L"\\Launcher.exe", stamped), 0u);
    std::string error;
    const std::vector<std::string> stamps = showStamps(stamped, error);
    for (const std::string& line :
         {"SERVER_URL=" + server.baseUrl() + "/", std::string("UPDATE_PATH=") + kLivePath})
        EXPECT_NE(std::find(stamps.begin(), stamps.end(), line), stamps.end()) << line;
    EXPECT_TRUE(fileExists(install + L"\\guest.dat"));

    const size_t releaseBytes = files[0].bytes.size() + 10 + 100000;
    const testwin::SLinuxRun same = testwin::verifyInstall(work / L"client", install);
    ASSERT_TRUE(same.finished) << same.output;
    EXPECT_EQ(same.exitCode, 0) << same.output;
    EXPECT_TRUE(
        hasLine(same.output, "4 files, " + std::to_string(releaseBytes) + " bytes: identical"))
        << same.output;

    ASSERT_TRUE(testwin::writeClientFolder(install, {{"data/terrain.bin", "changed"}}));
    const testwin::SLinuxRun changed = testwin::verifyInstall(work / L"client", install);
    ASSERT_TRUE(changed.finished) << changed.output;
    EXPECT_EQ(changed.exitCode, 1) << changed.output;
    EXPECT_TRUE(hasLine(changed.output, "differs: data/terrain.bin")) << changed.output;
}

TEST(ReleaseFixture, FailedPublishReportsTheToolsMessage) {
    CTempFolder work;
    ASSERT_TRUE(testwin::writeClientFolder(work / L"client", {{"a.txt", "a"}}));
    CUpdateServer server;
    const testwin::SPublished release = testwin::publishRelease(
        work / L"client", "pack core.pkg full\n  add missing.txt\n", server, kLivePath);
    EXPECT_FALSE(release.ok());
    EXPECT_TRUE(release.run.finished);
    EXPECT_NE(release.run.exitCode, 0);
    EXPECT_NE(release.run.output.find("missing.txt"), std::string::npos) << release.run.output;
}

struct SClientWindowSearch {
    DWORD pid;
    HWND found;
};

// A named callback: on i686 a lambda does not convert to the stdcall type.
BOOL CALLBACK visitClientWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<SClientWindowSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t cls[64] = {};
    ::GetClassNameW(window, cls, 63);
    if (owner != search->pid || std::wstring(cls) != L"SkyreachClientWindow")
        return TRUE;
    search->found = window;
    return FALSE;
}

// The sample client's top-level window of its class, or null.
HWND clientWindowOf(DWORD processId) {
    SClientWindowSearch search{processId, nullptr};
    ::EnumWindows(visitClientWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForClientWindow(DWORD processId) {
    for (int i = 0; i < 400; ++i) {
        if (HWND window = clientWindowOf(processId))
            return window;
        ::Sleep(50);
    }
    return nullptr;
}

std::wstring windowTitle(HWND window) {
    wchar_t title[128] = {};
    ::GetWindowTextW(window, title, 127);
    return title;
}

TEST(SampleClient, ConfirmsItsStartRecordsItsCommandLineAndEnds) {
    const struct {
        const char* name;
        bool launcherWaits; // the launcher's start event exists
        const wchar_t* arguments;
    } cases[] = {
        {"started by a launcher, ends by itself", true,
         L"-server http://127.0.0.1:1/ -affiliateid \u00c4rger -exitAfter 3"},
        {"started by hand, stays until closed", false, L"-server x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTempFolder folder;
        ASSERT_TRUE(::CopyFileW(testwin::sampleClientPath().c_str(),
                                (folder / L"Client.exe").c_str(), FALSE));
        CHandle event;
        if (c.launcherWaits) {
            event.reset(
                ::CreateEventA(nullptr, TRUE, FALSE, "{E44BFF50-25BA-49A3-9C71-EBC1AAC8D22E}"));
            ASSERT_TRUE(event);
        }
        std::wstring line = L"\"" + (folder / L"Client.exe") + L"\" " + c.arguments;
        const std::wstring commandLine = line;
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                     folder.path().c_str(), &si, &pi));
        const CHandle process(pi.hProcess), thread(pi.hThread);

        if (c.launcherWaits) {
            EXPECT_EQ(::WaitForSingleObject(event.get(), 30000), WAIT_OBJECT_0);
        }
        // The window exists before the start is confirmed.
        const HWND window =
            c.launcherWaits ? clientWindowOf(pi.dwProcessId) : waitForClientWindow(pi.dwProcessId);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(windowTitle(window), L"Skyreach (sample client)");
        if (!c.launcherWaits)
            ::PostMessageW(window, WM_CLOSE, 0, 0);

        ASSERT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
        DWORD exitCode = 99;
        ::GetExitCodeProcess(process.get(), &exitCode);
        EXPECT_EQ(exitCode, 0u);
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, commandLine.c_str(), -1, nullptr, 0,
                                               nullptr, nullptr);
        std::string utf8(static_cast<size_t>(size), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, commandLine.c_str(), -1, utf8.data(), size, nullptr,
                              nullptr);
        utf8.pop_back();
        EXPECT_EQ(readText(folder / L"client-started.txt"), utf8);
    }
}

} // namespace
