// Whole update runs of the real Launcher.exe for Wine tests: a portable
// folder whose launcher is stamped with one or more server addresses and
// branded with a data-update address of the test's own, one launcher run
// with its boxes answered and its own run log, and looks at the install
// folder (files, temporary package files). Test thread only.
#pragma once

#include "base/file_io_win.h"
#include "base/scoped_handle_win.h"
#include "base/windows_win.h"
#include "pack_command.h"
#include "rar_writer.h"
#include "stamp_writer.h"

#include "support/files_win.h"
#include "support/launcher_image_win.h"
#include "support/message_box_watcher_win.h"
#include "support/process_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testwin {

// Bytes that do not compress, so a package is as large as its files; the
// same for the same seed.
inline std::string noiseBytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return bytes;
}

inline std::string narrowPath(const std::wstring& path) {
    return std::filesystem::path(path).string();
}

// Bounds one launcher run; the retry ladder with two servers and 1 s timers
// ends well inside it.
inline constexpr DWORD kLauncherRunTimeoutMs = 120000;

struct SLauncherRun {
    ProcessResult process;
    std::string log; // this run's log only
    std::vector<SeenBox> boxes;
};

// The branding this tree packed into Launcher.exe, with `dataUpdateUrl` as
// its only data-update address, as a branding resource.
inline std::vector<uint8_t> brandingWithDataUpdateUrl(const std::string& dataUpdateUrl) {
    return brandingWithConfig([&](std::string& text) {
        const std::string open = "<DataUpdateURLs>", close = "</DataUpdateURLs>";
        const size_t begin = text.find(open);
        const size_t end = text.find(close);
        const bool found = begin != std::string::npos && end != std::string::npos && begin < end;
        EXPECT_TRUE(found) << "config.xml has no DataUpdateURLs";
        if (found)
            text.replace(begin + open.size(), end - begin - open.size(),
                         "<URL>" + dataUpdateUrl + "</URL>");
    });
}

// A portable folder (an empty guest.dat beside Launcher.exe) whose launcher
// tries `serverUrls` in this order ("http://127.0.0.1:N/") with
// `updatePath`, and asks `dataUpdateUrl` for fresh server data. False (with
// a test failure) when a file cannot be made.
inline bool makePortableLauncher(const std::wstring& folder,
                                 const std::vector<std::string>& serverUrls,
                                 const std::string& updatePath, const std::string& dataUpdateUrl) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::wstring launcher = folder + L"\\Launcher.exe";
    EXPECT_TRUE(writeRebrandedLauncher(launcher, brandingWithDataUpdateUrl(dataUpdateUrl)));
    std::vector<uint8_t> image;
    EXPECT_EQ(readWholeFile(launcher, image), 0u);
    const std::string error =
        stampImage(image, {{"SERVER_URL", serverUrls}, {"UPDATE_PATH", {updatePath}}});
    EXPECT_EQ(error, "");
    const bool written =
        error.empty() &&
        writeWholeFile(launcher, image.data(), static_cast<DWORD>(image.size())) == ERROR_SUCCESS &&
        writeWholeFile(folder + L"\\guest.dat", "", 0) == ERROR_SUCCESS;
    EXPECT_TRUE(written) << "portable folder not written";
    return written;
}

// Starts the folder's Launcher.exe with `arguments` (none by default), the
// folder as its current one, and waits for its end. Boxes are answered by `answer` (OK
// and close when empty). `whileRunning` gets the process id on the test
// thread before the wait begins (it may end the process). The run logs are
// read and then deleted, so the next run's log is its own.
inline SLauncherRun runLauncherIn(const std::wstring& folder,
                                  const CMessageBoxWatcher::AnswerPolicy& answer = {},
                                  const std::function<void(DWORD)>& whileRunning = {},
                                  const std::wstring& arguments = L"") {
    SLauncherRun run;
    {
        CMessageBoxWatcher watcher(0);
        if (answer)
            watcher.setAnswer(answer);
        run.process = runProcess(folder + L"\\Launcher.exe", arguments, folder,
                                 kLauncherRunTimeoutMs, [&](DWORD pid) {
                                     watcher.setProcess(pid);
                                     if (whileRunning)
                                         whileRunning(pid);
                                 });
        run.boxes = watcher.boxes();
    }
    for (const std::wstring& name : filesIn(folder, L"*.log")) {
        run.log += readText(folder + L"\\" + name);
        ::DeleteFileW((folder + L"\\" + name).c_str());
    }
    return run;
}

// Ends a process at once, as a crash or the task manager would: nothing of
// it runs any more, nothing is flushed.
inline bool killProcess(DWORD pid) {
    const CHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    return process && ::TerminateProcess(process.get(), 1) &&
           ::WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0;
}

// Every file below `folder` (relative path -> bytes), run logs left out.
inline std::map<std::wstring, std::string> filesBelow(const std::wstring& folder) {
    std::map<std::wstring, std::string> files;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!it->is_regular_file() || it->path().extension() == L".log")
            continue;
        files[it->path().lexically_relative(folder).wstring()] = readText(it->path().wstring());
    }
    return files;
}

// The size of every file in the folder's tmp\ (name -> bytes).
inline std::map<std::wstring, uint64_t> tempFileSizes(const std::wstring& installFolder) {
    std::map<std::wstring, uint64_t> sizes;
    const std::wstring tmp = installFolder + L"\\tmp";
    for (const std::wstring& name : filesIn(tmp)) {
        std::error_code ec;
        sizes[name] = std::filesystem::file_size(tmp + L"\\" + name, ec);
    }
    return sizes;
}

// The server's configuration with one rule for `path`; `settings` are the
// rule's further keys as JSON members.
inline std::string oneRule(const char* path, const std::string& settings) {
    return R"({"rules": [{"path": ")" + std::string(path) + "\", " + settings + "}]}";
}

// Whether `fragments` occur in `log` in this order.
inline testing::AssertionResult inOrder(const std::string& log,
                                        const std::vector<std::string>& fragments) {
    size_t at = 0;
    for (const std::string& fragment : fragments) {
        const size_t found = log.find(fragment, at);
        if (found == std::string::npos)
            return testing::AssertionFailure()
                   << "\"" << fragment << "\" missing or out of order in\n"
                   << log;
        at = found + fragment.size();
    }
    return testing::AssertionSuccess();
}

inline bool offers(const SeenBox& box, int button) {
    return std::find(box.buttons.begin(), box.buttons.end(), button) != box.buttons.end();
}

// Presses `button` on a box that offers it, OK on any other.
inline CMessageBoxWatcher::AnswerPolicy press(int button) {
    return [button](const SeenBox& box) { return offers(box, button) ? button : IDOK; };
}

} // namespace testwin
