// Releases for Wine tests that run the real Launcher.exe against the test
// update server: a client folder written from bytes, its release published
// by the native launcher-tool into a CUpdateServer, a portable folder whose
// stamped Launcher.exe updates from that server, and the independent
// install check (tests/e2e/verify_install.py). The Linux programs run by
// their Z: paths; Wine gives no process handle for them, so each run
// reports its output and exit code through files. Test thread only.
#pragma once

#include "base/file_io_win.h"
#include "base/scoped_handle_win.h"
#include "base/windows_win.h"
#include "stamp_writer.h"

#include "support/files_win.h"
#include "support/launcher_image_win.h"
#include "support/temp_folder_win.h"
#include "support/update_server_win.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace testwin {

// One file of a client folder: UTF-8 path relative to the folder ('/' or '\').
struct SClientFile {
    std::string path;
    std::string bytes;
};

// What a Linux program did: `finished` is false when it could not be
// started or did not end in time.
struct SLinuxRun {
    bool finished = false;
    int exitCode = -1;
    std::string output; // stdout and stderr together
};

struct SPublished {
    SLinuxRun run;
    std::map<std::string, std::string> files; // server file name -> bytes
    bool ok() const { return run.finished && run.exitCode == 0 && !files.empty(); }
};

// Creates the folder and its files (with their folders); false on the first
// file that cannot be written.
inline bool writeClientFolder(const std::wstring& folder, const std::vector<SClientFile>& files) {
    for (const SClientFile& file : files) {
        const std::filesystem::path path =
            std::filesystem::path(folder) /
            std::filesystem::path(std::u8string(file.path.begin(), file.path.end()))
                .make_preferred();
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        if (writeWholeFile(path.wstring(), file.bytes.data(),
                           static_cast<DWORD>(file.bytes.size())) != ERROR_SUCCESS)
            return false;
    }
    return true;
}

// The Linux path Wine maps a Windows path to; empty when there is none.
inline std::string unixPathOf(const std::wstring& windowsPath) {
    using Fn = char*(CDECL*)(LPCWSTR);
    const auto convert = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr)
        return {};
    struct CHeapFree {
        void operator()(char* p) const { ::HeapFree(::GetProcessHeap(), 0, p); }
    };
    const std::unique_ptr<char, CHeapFree> unix(convert(windowsPath.c_str()));
    return unix ? std::string(unix.get()) : std::string();
}

// The Linux path of a path the build gave (Z:/... in the Windows trees).
inline std::string unixPathOfBuildPath(const char* path) {
    return unixPathOf(std::filesystem::path(path).make_preferred().wstring());
}

// Runs argv[0] (a Linux path) with its arguments and waits at most
// `timeoutMs`; a watchdog ends the program at that time, so a hung program
// cannot keep CTest waiting either.
inline SLinuxRun runLinux(const std::vector<std::string>& argv, DWORD timeoutMs = 120000) {
    SLinuxRun result;
    CTempFolder work;
    const std::string unixWork = unixPathOf(work.path());
    if (unixWork.empty())
        return result;
    std::string command = "/usr/bin/timeout " + std::to_string(timeoutMs / 1000 + 1);
    for (const std::string& arg : argv) {
        // The script travels inside double quotes of a Windows command line.
        if (arg.find('"') != std::string::npos)
            return result;
        std::string quoted = "'";
        for (char c : arg)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += " " + quoted + "'";
    }
    // The descriptors Wine hands down (CTest's output pipes among them) are
    // closed first.
    const std::string script =
        "export PATH=/usr/bin:/bin; for f in /proc/$$/fd/*; do "
        "n=${f##*/}; [ $n -gt 2 ] && eval exec $n\\>\\&-; done 2>/dev/null; " +
        command + " >'" + unixWork + "/out' 2>&1 </dev/null; echo $? >'" + unixWork +
        "/rc.tmp'; mv '" + unixWork + "/rc.tmp' '" + unixWork + "/rc'";
    std::wstring line = L"Z:\\bin\\bash -c \"" + std::filesystem::path(script).wstring() + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi))
        return result;
    const CHandle process(pi.hProcess), thread(pi.hThread);
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs + 5000;
    while (!fileExists(work / L"rc") && ::GetTickCount64() < deadline)
        ::Sleep(50);
    std::istringstream code(readText(work / L"rc"));
    // timeout(1) ends a program that overran with exit code 124.
    result.finished = static_cast<bool>(code >> result.exitCode) && result.exitCode != 124;
    result.output = readText(work / L"out");
    return result;
}

// The native launcher-tool this Windows tree packs its branding with (its
// CMake cache entry): the tool the demo publishes with.
inline std::string hostToolPath() {
    std::ifstream cache(std::filesystem::path(LAUNCHER_BINARY_DIR "/CMakeCache.txt"));
    const std::string key = "LAUNCHER_HOST_TOOL:FILEPATH=";
    for (std::string line; std::getline(cache, line);) {
        if (line.rfind(key, 0) == 0)
            return line.substr(key.size());
    }
    return {};
}

// Publishes `clientFolder` with the layout text by `launcher-tool publish`
// and puts every file it made into the server's tree below `urlPrefix`
// ("/skyreach/live/": leading and trailing '/').
inline SPublished publishRelease(const std::wstring& clientFolder, const std::string& layoutText,
                                 const CUpdateServer& server, const std::string& urlPrefix) {
    SPublished published;
    CTempFolder work;
    std::ofstream(std::filesystem::path(work / L"layout.txt"), std::ios::binary) << layoutText;
    std::error_code ec;
    std::filesystem::create_directories(work / L"out", ec);
    published.run = runLinux({hostToolPath(), "publish", unixPathOf(clientFolder),
                              unixPathOf(work / L"layout.txt"), unixPathOf(work / L"out")});
    if (!published.run.finished || published.run.exitCode != 0)
        return published;
    for (const std::wstring& name : filesIn(work / L"out")) {
        const std::string narrow = std::filesystem::path(name).string();
        const std::string bytes = readText(work / (L"out\\" + name));
        if (!server.writeFile(urlPrefix + narrow, bytes)) {
            published.run.output += "cannot serve " + narrow + "\n";
            published.files.clear();
            return published;
        }
        published.files[narrow] = bytes;
    }
    return published;
}

// A portable folder that updates itself from `server`: an empty guest.dat
// and the Launcher.exe under test stamped with the server's URL and the
// update path. False (with a test failure) when a file cannot be made.
inline bool makePortableFolder(const std::wstring& folder, const CUpdateServer& server,
                               const std::string& updatePath) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::vector<uint8_t> image = launcherImage();
    const std::string error = stampImage(
        image, {{"SERVER_URL", {server.baseUrl() + "/"}}, {"UPDATE_PATH", {updatePath}}});
    EXPECT_EQ(error, "");
    const bool written = error.empty() &&
                         writeWholeFile(folder + L"\\Launcher.exe", image.data(),
                                        static_cast<DWORD>(image.size())) == ERROR_SUCCESS &&
                         writeWholeFile(folder + L"\\guest.dat", "", 0) == ERROR_SUCCESS;
    EXPECT_TRUE(written) << "portable folder not written";
    return written;
}

// verify_install.py: exit code 0 identical, 1 problems, 2 bad arguments.
inline SLinuxRun verifyInstall(const std::wstring& releaseFolder,
                               const std::wstring& installFolder) {
    const std::string script =
        unixPathOfBuildPath(LAUNCHER_FIXTURES_DIR) + "/../e2e/verify_install.py";
    return runLinux(
        {"/usr/bin/python3", script, unixPathOf(releaseFolder), unixPathOf(installFolder)});
}

// The sample client (Client.exe) this tree built.
inline std::wstring sampleClientPath() {
    return std::filesystem::path(LAUNCHER_BINARY_DIR "/tests/fixtures/sample-client/Client.exe")
        .make_preferred()
        .wstring();
}

inline std::string sampleClientImage() {
    const std::string image = readText(sampleClientPath());
    EXPECT_FALSE(image.empty()) << "Client.exe missing: build the Client target";
    return image;
}

} // namespace testwin
