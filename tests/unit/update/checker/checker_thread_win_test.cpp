#include "update/checker/checker_thread_win.h"

#include "base/crc32.h"
#include "base/file_io_win.h"
#include "base/folder_tree_win.h"
#include "base/windows_win.h"
#include "support/temp_folder_win.h"
#include "update/checker/checker_records.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// Only a bound against hangs; no test depends on how long anything takes.
constexpr DWORD kTimeoutMs = 10000;

struct CheckResult {
    int code = -1;
    const UpdateManifest* document = nullptr;
};

// A message-only window on the test thread: the checker posts its results
// here, as it does to the dialog.
class CResultWindow {
public:
    CResultWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CheckerThreadTestResults";
        ::RegisterClassW(&wc);
        hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
    }
    CResultWindow(const CResultWindow&) = delete;
    CResultWindow& operator=(const CResultWindow&) = delete;
    ~CResultWindow() { ::DestroyWindow(hwnd); }

    HWND get() const { return hwnd; }

    // A result already in the queue.
    std::optional<CheckResult> queued() {
        MSG msg;
        if (!::PeekMessageW(&msg, hwnd, eWindowsMessage_CheckResult, eWindowsMessage_CheckResult,
                            PM_REMOVE))
            return std::nullopt;
        return CheckResult{static_cast<int>(msg.lParam),
                           reinterpret_cast<const UpdateManifest*>(msg.wParam)};
    }

    // The next result; nothing when none came within the bound.
    std::optional<CheckResult> next() {
        const ULONGLONG deadline = ::GetTickCount64() + kTimeoutMs;
        for (;;) {
            if (std::optional<CheckResult> result = queued())
                return result;
            const ULONGLONG now = ::GetTickCount64();
            if (now >= deadline)
                return std::nullopt;
            ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now),
                                          QS_POSTMESSAGE, MWMO_INPUTAVAILABLE);
        }
    }

private:
    HWND hwnd = nullptr;
};

std::string fileXml(const std::string& path, const std::string& content) {
    return "<FILE file=\"" + path + "\" crc=\"" +
           std::to_string(Crc32(content.data(), static_cast<unsigned>(content.size()))) +
           "\" size=\"" + std::to_string(content.size()) + "\"/>";
}

std::string packXml(const std::string& type, const std::string& file, const std::string& inner) {
    return "<PACK type=\"" + type + "\" file=\"" + file + "\" crc=\"7\" size=\"100\">" + inner +
           "</PACK>";
}

std::string manifestXml(const std::string& packs, const std::string& rootAttributes = "") {
    return "<update modification=\"r1\" clientVersion=\"1.2.3\"" + rootAttributes + ">" + packs +
           "</update>";
}

void writeFile(const std::wstring& path, const std::string& bytes) {
    ::CreateDirectoryW(folderOfPath(path).c_str(), nullptr);
    ASSERT_EQ(writeWholeFile(path, bytes.data(), static_cast<DWORD>(bytes.size())),
              static_cast<DWORD>(ERROR_SUCCESS));
}

void writeBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<std::wstring> queuedPackages(const CCheckerCore& core) {
    std::vector<std::wstring> names;
    for (const QueuedPackage& item : core.queue)
        names.push_back(std::wstring(item.name.begin(), item.name.end()));
    return names;
}

class CheckerThreadTest : public ::testing::Test {
protected:
    CheckThreadSettings settingsFor(const std::string& manifest) const {
        CheckThreadSettings settings;
        settings.check.language = "en";
        settings.check.bCanDelete = true;
        settings.sInstallFolder = install.path();
        settings.sManifestText = manifest;
        return settings;
    }

    CheckChoices choices(std::set<std::wstring> apps = {}) const {
        return {install.path(), std::move(apps)};
    }

    // Result codes until one that ends a check, waking the check after 2.
    std::vector<int> codesOfOneCheck(CCheckerThread& checker) {
        std::vector<int> codes;
        while (std::optional<CheckResult> result = window.next()) {
            codes.push_back(result->code);
            if (result->code != eCheckResult_ServerInfoReady)
                break;
            checker.Wake(choices());
        }
        return codes;
    }

    testwin::CTempFolder install;
    CResultWindow window;
};

struct OrderCase {
    const char* what;
    std::string manifest;
    std::vector<int> codes;
};

TEST_F(CheckerThreadTest, ResultsComeInOrderAndNothingFollowsTheLast) {
    const std::string files = packXml("full", "a.pkg", fileXml("a.bin", "A"));
    const std::vector<OrderCase> cases = {
        {"a manifest to compare", manifestXml(files), {2, 0}},
        {"a newer launcher",
         manifestXml(files, " launcherVersion=\"99.0.0.1\" launcherSize=\"1\""),
         {2, 1}},
        {"a broken manifest", "<update><PACK type=\"full\"", {3}},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.what);
        CCheckerThread checker;
        ASSERT_TRUE(checker.StartCheck(window.get(), settingsFor(c.manifest)));
        EXPECT_EQ(codesOfOneCheck(checker), c.codes);
        EXPECT_TRUE(checker.Stop(INFINITE));
        EXPECT_FALSE(window.queued());
        EXPECT_EQ(checker.LastResult(), c.codes.back());
    }
}

TEST_F(CheckerThreadTest, ComparesTheChosenFolderAndCleansItUp) {
    writeFile(install / L"a.bin", "A");
    writeFile(install / L"b.bin", "old");
    writeFile(install / L"e.bin", "old");
    writeFile(install / L"junk.dll", "x");
    writeFile(install / L"keep.log", "x");
    writeFile(install / L"sub\\old.dat", "x");
    const std::string manifest =
        manifestXml(packXml("full", "a.pkg", fileXml("a.bin", "A")) +
                    packXml("full", "b.pkg", fileXml("b.bin", "B")) +
                    packXml("full", "c.pkg", fileXml("c.bin", "C")) +
                    packXml("ext", "e.pkg",
                            "<INFO lang=\"en\"><NAME>E</NAME><EXEC>e.exe</EXEC></INFO>" +
                                fileXml("e.bin", "E")));

    // The folder is not known yet when the check starts; the wizard
    // settles it before waking the check.
    CheckThreadSettings settings = settingsFor(manifest);
    settings.sInstallFolder = install / L"not-chosen";
    CCheckerThread checker;
    ASSERT_TRUE(checker.StartCheck(window.get(), settings));

    const std::optional<CheckResult> ready = window.next();
    ASSERT_TRUE(ready);
    ASSERT_EQ(ready->code, eCheckResult_ServerInfoReady);
    ASSERT_NE(ready->document, nullptr);
    ASSERT_EQ(ready->document->extApps.size(), 1u);
    EXPECT_EQ(ready->document->extApps[0].exec, L"e.exe");
    checker.Wake(choices({L"e.exe"}));

    const std::optional<CheckResult> done = window.next();
    ASSERT_TRUE(done);
    ASSERT_EQ(done->code, eCheckResult_ListReady);
    EXPECT_EQ(done->document, ready->document);
    ASSERT_TRUE(checker.Stop(INFINITE));

    const CCheckerCore* results = checker.Results();
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(&results->manifest, done->document);
    EXPECT_EQ(queuedPackages(*results), (std::vector<std::wstring>{L"b.pkg", L"c.pkg", L"e.pkg"}));
    EXPECT_TRUE(fileExists(install / L"a.bin"));
    EXPECT_TRUE(fileExists(install / L"keep.log"));
    EXPECT_FALSE(fileExists(install / L"b.bin")) << "a listed file that differs is fetched again";
    EXPECT_FALSE(fileExists(install / L"junk.dll"));
    EXPECT_FALSE(folderExists(install / L"sub"));
}

TEST_F(CheckerThreadTest, UpdateCountsTheInstalledAddPackagesAndDropsABrokenAppList) {
    writeBytes(install / L"addpkg.dat", encodeAddPkg({L"add1.pkg"}));
    writeFile(install / L"applist.dat", std::string(100, 'x'));
    const std::string manifest = manifestXml(packXml("add", "add1.pkg", fileXml("one.bin", "1")) +
                                             packXml("add", "add2.pkg", fileXml("two.bin", "2")));
    CheckThreadSettings settings = settingsFor(manifest);
    settings.check.bIsUpdate = true;
    settings.check.bCanDelete = false; // the clean-up would delete both files

    CCheckerThread checker;
    ASSERT_TRUE(checker.StartCheck(window.get(), settings));
    ASSERT_EQ(codesOfOneCheck(checker), (std::vector<int>{2, 0}));
    ASSERT_TRUE(checker.Stop(INFINITE));
    EXPECT_EQ(queuedPackages(*checker.Results()), std::vector<std::wstring>{L"add1.pkg"});
    EXPECT_FALSE(fileExists(install / L"applist.dat"));
}

TEST_F(CheckerThreadTest, ShortcutChangesFollowTheInstalledAppList) {
    writeBytes(install / L"applist.dat", encodeAppList({{L"Old", L"old.exe"}}));
    const std::string manifest = manifestXml(
        packXml("int", "i.pkg", "<INFO lang=\"en\"><NAME>New</NAME><EXEC>new.exe</EXEC></INFO>"));
    CCheckerThread checker;
    CheckThreadSettings settings = settingsFor(manifest);
    settings.check.bCanDelete = false;
    ASSERT_TRUE(checker.StartCheck(window.get(), settings));
    ASSERT_EQ(codesOfOneCheck(checker), (std::vector<int>{2, 0}));
    ASSERT_TRUE(checker.Stop(INFINITE));

    std::vector<ShortcutChange> changes;
    ASSERT_TRUE(checker.listShortcutChanges(changes));
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].Exec, L"old.exe");
    EXPECT_EQ(changes[0].Action, 0);
    EXPECT_EQ(changes[1].Exec, L"new.exe");
    EXPECT_EQ(changes[1].Action, 1);
}

TEST_F(CheckerThreadTest, StopWhileWaitingForTheChoicesEndsWithoutAnotherResult) {
    writeFile(install / L"junk.dll", "x");
    CCheckerThread checker;
    ASSERT_TRUE(checker.StartCheck(
        window.get(), settingsFor(manifestXml(packXml("full", "a.pkg", fileXml("a.bin", "A"))))));
    const std::optional<CheckResult> ready = window.next();
    ASSERT_TRUE(ready);
    EXPECT_EQ(ready->code, eCheckResult_ServerInfoReady);

    EXPECT_TRUE(checker.Stop(CCheckerThread::kStopWaitMs));
    EXPECT_FALSE(window.queued());
    EXPECT_TRUE(fileExists(install / L"junk.dll"));
    // A late wake-up after the stop changes nothing.
    checker.Wake(choices());
    EXPECT_FALSE(window.queued());
}

// Holds the compare at its first yield until the stop flag is set, so the
// stop arrives in the middle of the files.
class CHeldChecker : public CCheckerThread {
public:
    // The thread calls this class's slot: it must end before this part goes.
    ~CHeldChecker() override { Stop(kStopWaitMs); }

    CHandle inCompare{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    // Instead of stopping, stays in the compare: only termination ends it.
    bool ignoreStop = false;

protected:
    void YieldToOthers() override {
        ::SetEvent(inCompare.get());
        const ULONGLONG deadline = ::GetTickCount64() + kTimeoutMs;
        while ((ignoreStop || !stopRequested()) && ::GetTickCount64() < deadline)
            ::Sleep(1);
    }
};

struct StopCase {
    const char* what;
    bool ignoreStop;
    bool ended; // Stop's result: false when the thread had to be terminated
};

TEST_F(CheckerThreadTest, StopDuringTheCompareEndsItWithinTheBoundAndPostsNothing) {
    std::string files;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "f" + std::to_string(i) + ".bin";
        writeFile(install / std::wstring(name.begin(), name.end()), "same");
        files += fileXml(name, "same");
    }
    writeFile(install / L"junk.dll", "x");
    const std::vector<StopCase> cases = {
        {"the compare sees the stop flag", false, true},
        {"a compare that does not stop is terminated", true, false},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.what);
        CHeldChecker checker;
        checker.ignoreStop = c.ignoreStop;
        ASSERT_TRUE(checker.StartCheck(window.get(),
                                       settingsFor(manifestXml(packXml("full", "a.pkg", files)))));
        const std::optional<CheckResult> ready = window.next();
        ASSERT_TRUE(ready);
        EXPECT_EQ(ready->code, eCheckResult_ServerInfoReady);
        checker.Wake(choices());
        ASSERT_EQ(::WaitForSingleObject(checker.inCompare.get(), kTimeoutMs), WAIT_OBJECT_0);

        EXPECT_EQ(checker.Stop(CCheckerThread::kStopWaitMs), c.ended);
        EXPECT_FALSE(window.queued());
        EXPECT_TRUE(fileExists(install / L"junk.dll")) << "no clean-up after a stop";
    }
}

TEST_F(CheckerThreadTest, StartingAgainReplacesTheRunningCheckAndItsQueuedResults) {
    const std::string first = manifestXml(packXml("full", "first.pkg", fileXml("a.bin", "A")));
    const std::string second = manifestXml(packXml("full", "second.pkg", fileXml("b.bin", "B")));
    CCheckerThread checker;
    ASSERT_TRUE(checker.StartCheck(window.get(), settingsFor(first)));
    // The first check's result 2 stays queued, unread.
    const ULONGLONG deadline = ::GetTickCount64() + kTimeoutMs;
    while (checker.LastResult() != eCheckResult_ServerInfoReady && ::GetTickCount64() < deadline)
        ::Sleep(1);
    ASSERT_EQ(checker.LastResult(), eCheckResult_ServerInfoReady);

    ASSERT_TRUE(checker.StartCheck(window.get(), settingsFor(second)));
    const std::optional<CheckResult> ready = window.next();
    ASSERT_TRUE(ready);
    ASSERT_EQ(ready->code, eCheckResult_ServerInfoReady);
    EXPECT_EQ(ready->document->packs.count(L"second.pkg"), 1u);
    EXPECT_EQ(ready->document->packs.count(L"first.pkg"), 0u);
    checker.Wake(choices());
    const std::optional<CheckResult> done = window.next();
    ASSERT_TRUE(done);
    EXPECT_EQ(done->code, eCheckResult_ListReady);
    ASSERT_TRUE(checker.Stop(INFINITE));
    EXPECT_FALSE(window.queued());
    EXPECT_EQ(queuedPackages(*checker.Results()), std::vector<std::wstring>{L"second.pkg"});
}

} // namespace
