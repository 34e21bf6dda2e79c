#include "update/checker/checker_thread_win.h"

#include "base/file_io_win.h"

namespace {

// The record files are a few records long; anything near this size is not
// one of ours.
constexpr size_t kMaxRecordFileSize = 1u << 20;

const wchar_t* const kAddPkgFile = L"addpkg.dat";
const wchar_t* const kAppListFile = L"applist.dat";

// Results of a check that was replaced must not reach the logic: they would
// point to a document that no longer exists.
void discardQueuedResults(HWND hDialog) {
    MSG msg;
    while (::PeekMessageW(&msg, hDialog, eWindowsMessage_CheckResult, eWindowsMessage_CheckResult,
                          PM_REMOVE)) {
    }
}

} // namespace

CCheckerThread::CCheckerThread() : hWake(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CCheckerThread::~CCheckerThread() {
    // The thread works on this object's members: end it before they go.
    Stop(kStopWaitMs);
}

bool CCheckerThread::StartCheck(HWND dialog, CheckThreadSettings settings) {
    Stop(INFINITE);
    if (hDialog)
        discardQueuedResults(hDialog);
    auto work = std::make_unique<CheckRun>(settings.sInstallFolder);
    work->core.settings = std::move(settings.check);
    work->sManifestText = std::move(settings.sManifestText);
    work->sOldManifestText = std::move(settings.sOldManifestText);
    work->ownLauncher = std::move(settings.ownLauncher);
    work->control.stopRequested = [this] { return stopRequested(); };
    work->control.yield = [this] { YieldToOthers(); };
    run = std::move(work);
    hDialog = dialog;
    {
        const std::lock_guard<std::mutex> guard(lock);
        // Cleared here rather than on the thread, so a Stop right after
        // StartCheck cannot be lost.
        bStop = false;
        nLastResult = -1;
        bHaveChoices = false;
        choices = CheckChoices();
        sInstallFolder = settings.sInstallFolder;
        ::ResetEvent(hWake.get());
    }
    return hWake && Start();
}

void CCheckerThread::Wake(CheckChoices chosen) {
    const std::lock_guard<std::mutex> guard(lock);
    choices = std::move(chosen);
    bHaveChoices = true;
    ::SetEvent(hWake.get());
}

bool CCheckerThread::Stop(unsigned milliseconds) {
    {
        const std::lock_guard<std::mutex> guard(lock);
        bStop = true;
        ::SetEvent(hWake.get());
    }
    return Wait(milliseconds);
}

int CCheckerThread::LastResult() const {
    const std::lock_guard<std::mutex> guard(lock);
    return nLastResult;
}

const CCheckerCore* CCheckerThread::Results() const {
    return run ? &run->core : nullptr;
}

bool CCheckerThread::listShortcutChanges(std::vector<ShortcutChange>& changes) {
    changes.clear();
    if (!run)
        return false;
    const std::lock_guard<std::mutex> guard(lock);
    CWinInstallFiles files(sInstallFolder);
    std::vector<uint8_t> bytes;
    std::vector<AppListRecord> installed;
    if (readSmallFile(files, kAppListFile, kMaxRecordFileSize, bytes))
        if (auto records = parseAppList(bytes.data(), bytes.size()))
            installed = std::move(*records);
    changes = ::listShortcutChanges(installed, run->core.manifest.intApps);
    return true;
}

void CCheckerThread::YieldToOthers() {
    ::Sleep(0);
}

bool CCheckerThread::stopRequested() const {
    const std::lock_guard<std::mutex> guard(lock);
    return bStop;
}

bool CCheckerThread::postResult(ECheckResult result, const UpdateManifest* document) {
    const std::lock_guard<std::mutex> guard(lock);
    if (bStop)
        return false;
    nLastResult = result;
    return ::PostMessageW(hDialog, eWindowsMessage_CheckResult, reinterpret_cast<WPARAM>(document),
                          static_cast<LPARAM>(result)) != FALSE;
}

// The check is over whichever way it ended: later Wake or Stop calls find
// nothing to release, and no stray result can follow.
void CCheckerThread::endCheck() {
    const std::lock_guard<std::mutex> guard(lock);
    bStop = true;
    ::SetEvent(hWake.get());
}

void CCheckerThread::readAddPkg(CheckRun& work) {
    std::vector<uint8_t> bytes;
    if (readSmallFile(work.files, kAddPkgFile, kMaxRecordFileSize, bytes))
        work.core.useAddPkg(bytes.data(), bytes.size());
}

// The records themselves are read again by listShortcutChanges, when they
// are needed; a file of the wrong size is of no use to anybody.
void CCheckerThread::dropBrokenAppList(CheckRun& work) {
    std::vector<uint8_t> bytes;
    if (readSmallFile(work.files, kAppListFile, kMaxRecordFileSize, bytes) &&
        !parseAppList(bytes.data(), bytes.size()))
        work.files.RemoveFile(kAppListFile);
}

bool CCheckerThread::waitForChoices(CheckRun& work) {
    if (!postResult(eCheckResult_ServerInfoReady, &work.core.manifest))
        return false;
    if (::WaitForSingleObject(hWake.get(), INFINITE) != WAIT_OBJECT_0) {
        postResult(eCheckResult_Failed, nullptr);
        return false;
    }
    const std::lock_guard<std::mutex> guard(lock);
    if (bStop || !bHaveChoices)
        return false;
    work.core.settings.selectedApps = std::move(choices.selectedApps);
    sInstallFolder = choices.sInstallFolder;
    work.files = CWinInstallFiles(choices.sInstallFolder);
    return true;
}

void CCheckerThread::Run() {
    check(*run);
    endCheck();
}

void CCheckerThread::check(CheckRun& work) {
    CCheckerCore& core = work.core;
    readAddPkg(work);
    std::string error;
    if (!core.parseDocuments(work.sManifestText, work.sOldManifestText, error)) {
        postResult(eCheckResult_Failed, nullptr);
        return;
    }
    if (!waitForChoices(work))
        return;
    dropBrokenAppList(work);
    if (core.checkLauncher(work.ownLauncher) && !core.settings.bOnlyAddPackages) {
        postResult(eCheckResult_LauncherOutdated, nullptr);
        return;
    }
    if (!core.buildDownloadList())
        return;
    core.runCleanup(false);
    postResult(eCheckResult_ListReady, &core.manifest);
}
