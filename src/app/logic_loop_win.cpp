// The logic's window, message loop, user messages, timers and the end of a
// run.
#include "app/logic_win.h"

#include "base/log/run_log_win.h"
#include "base/utf8_text.h"
#include "net/download/downloader_win.h"
#include "net/net_transport_win.h"
#include "net/request_httx.h"
#include "update/flow/retry_rules.h"

namespace {

constexpr UINT kFirstUserMessage = 2324;
constexpr UINT kLastUserMessage = 2824;
constexpr UINT eWindowsMessage_DownloadTaskResult = 2675;

// Names of the run modes whose steps come with later versions.
const wchar_t* modeStepName(int runMode) {
    switch (runMode) {
    case rmInstall:
        return L"Install";
    case rmUninstaller:
        return L"Uninstall";
    case rmSetLongName:
        return L"Clone renaming";
    case rmDownload:
        return L"Download for the client";
    default:
        return L"Run mode";
    }
}

} // namespace

bool CLogic::run() {
    if (!createDialog())
        throw std::string("Unable to create dialog");
    const bool folderGiven = nRunMode == rmSetLongName ||
                             (nRunMode == rmUninstaller &&
                              (nRunCode == rcUninstallFrom || nRunCode == rcUninstallFromGuest));
    if (proposeInstallFolder(folderGiven ? sInstallFolder : std::wstring()))
        log(L"Install folder: " + sInstallFolder);
    dialog.Show();

    if (bForeignFolder)
        refuseForeignFolder();
    else if (nRunMode != rmUpdate)
        stepNotAvailable(modeStepName(nRunMode));
    else if (checkWriteRights())
        startNetwork();

    log(L"Msg cycle - start");
    runMessageLoop();
    log(L"Msg cycle - finish");
    box.Close();
    dialog.Destroy();
    ::PostQuitMessage(0);
    return true;
}

bool CLogic::createDialog() {
    std::wstring caption;
    if (const tinyxml2::XMLElement* common = config.common()) {
        const tinyxml2::XMLElement* e = common->FirstChildElement("taskbarCaption");
        if (e != nullptr && e->GetText() != nullptr)
            caption = wideFromUtf8(e->GetText());
    }
    if (caption.empty())
        caption = getLangString(2);
    log(L"Set dialog title: " + caption);
    const bool created = dialog.Create(
        caption, [this](UINT m, WPARAM w, LPARAM l) { return OnUserMessage(m, w, l); },
        [this](UINT_PTR id) { return OnTimer(id); }, [this] { quitLauncher(); });
    if (created)
        log(L"Dialog successfully created");
    return created;
}

void CLogic::runMessageLoop() {
    MSG message;
    while (!bStopLoop && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

LRESULT CLogic::OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (bShuttingDown) {
        // A finished request is a heap record owned by its message.
        if (message == NetEx::eWindowsMessage_DownloaderRequestDone)
            std::unique_ptr<NetEx::IRequestHttx>(reinterpret_cast<NetEx::IRequestHttx*>(lParam));
        return 0;
    }
    if (message < kFirstUserMessage || message > kLastUserMessage)
        return 0;
    if (downloader && downloader->HandleMessage(message, wParam, lParam))
        return 0;
    switch (message) {
    case eWindowsMessage_CheckResult:
        onCheckResult(wParam, lParam);
        break;
    case eWindowsMessage_UnpackProgress:
        showProgress(unpacker.GetUnpackProgress());
        break;
    case eWindowsMessage_UnpackResult:
        onUnpackResult(lParam);
        break;
    case eWindowsMessage_PartsMeasured:
        onPartsMeasured(lParam);
        break;
    case eWindowsMessage_PartWritten:
        onPartWritten();
        break;
    default:
        break;
    }
    return 0;
}

bool CLogic::OnTimer(UINT_PTR id) {
    if (id < eRetryTimer_ServerList || id > eRetryTimer_Part)
        return false;
    dialog.StopTimer(id);
    if (!bShuttingDown)
        onRetryTimer(static_cast<unsigned>(id));
    return true;
}

void CLogic::startRetryTimer(unsigned id) {
    dialog.StartTimer(id, kRetryDelayMs);
}

void CLogic::quitLauncher() {
    bShuttingDown = true;
    bStopLoop = true;
    ::PostQuitMessage(0);
}

void CLogic::stepNotAvailable(const wchar_t* step) {
    log(std::wstring(step) + L": not available in this version of the launcher");
    quitLauncher();
}

void CLogic::uninit() {
    log(L"");
    log(L"--- Start Uninit ---");
    log(L"");
    if (selector.IsInitialized())
        selector.SaveCudFile(true);
    if (nRunCode == rcDownload) {
        log(L"Send finish to client");
        ::PostMessageW(reinterpret_cast<HWND>(static_cast<uintptr_t>(hDownloadOwner)),
                       eWindowsMessage_DownloadTaskResult, 0, 2);
    }
    stopWorkers();
    stopNetwork();
    log(L"");
    log(L"--- Uninit finished ---");
    g_pLangTable = nullptr;
}

void CLogic::stopWorkers() {
    log(L"Stop checker & unpaker threads");
    const bool checkerEnded = logBoundedWait(
        L"Checker thread .. ", [this] { return checker.Stop(CCheckerThread::kStopWaitMs); });
    // Only a thread that ended by itself leaves its results whole.
    const CCheckerCore* results = checker.Results();
    if (checkerEnded && results != nullptr && !results->sStoppedWhileReading.empty())
        log(L"Checker stopped while reading " + results->sStoppedWhileReading);
    // Writes the parts still in memory, so the next run resumes from them.
    logBoundedWait(L"Unpacker thread .. ", [this] { return unpacker.StopAndWait(1000); });
}

bool CLogic::logBoundedWait(const wchar_t* step, const std::function<bool()>& wait) {
    if (pLog != nullptr)
        pLog->write(step, false);
    const bool ended = wait();
    log(ended ? L"OK" : L"timed out");
    return ended;
}
