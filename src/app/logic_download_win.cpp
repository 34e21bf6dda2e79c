// The download flow's Windows side: from the checker's results to the last
// unpacked package. The flow (app/flow/download_flow.h) decides; these carry
// out its answers: the requests, the window's progress, the boxes, the
// folders and the disk space. One request is in flight at a time; each
// answer's handler starts the next one. A range that waits for the
// unpacker's writer is asked for on its eWindowsMessage_PartWritten.
#include "app/logic_win.h"

#include "base/file_io_win.h"
#include "base/folder_tree_win.h"
#include "base/log/run_log_win.h"
#include "base/utf8_text.h"
#include "net/download/downloader_win.h"
#include "ui/lang/lang_format.h"
#include "update/flow/retry_rules.h"
#include "update/manifest/manifest_file.h"
#include "update/manifest/manifest_text.h"
#include "update/manifest/update_manifest.h"

#include <shlobj.h>

namespace {

// A folder path that is surely below a drive root ("C:\x\tmp"), so a broken
// install folder can never make the tree deletion reach a whole drive.
constexpr size_t kMinWorkFolderLength = 7;

void deleteWorkFolder(const std::wstring& path) {
    if (path.size() > kMinWorkFolderLength)
        deleteFolderTree(path);
}

// "tmp" receives the downloads: a link in its place would send them out of
// the install folder. The link goes (only the link) and a real folder is
// made; false when that cannot be done.
bool makeTempFolder(const std::wstring& path) {
    if (isLink(path) && !deleteFolderTree(path))
        return false;
    ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    return folderExists(path) && !isLink(path);
}

} // namespace

void CLogic::onCheckResult(WPARAM wParam, LPARAM lParam) {
    switch (lParam) {
    case eCheckResult_ServerInfoReady:
        log(L"Server info ready");
        onServerInfoReady(reinterpret_cast<const UpdateManifest*>(wParam));
        break;
    case eCheckResult_ListReady:
        log(L"Finish check thread .. OK");
        if (wParam == 0 || checker.Results() == nullptr) {
            askUser(21, eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Normal);
            break;
        }
        takeDownloadList();
        onCheckDone();
        break;
    case eCheckResult_LauncherOutdated:
        log(L"Finish check thread .. OK, only launcher update");
        stepNotAvailable(L"Launcher self-update");
        break;
    default:
        log(L"Finish check thread .. Fail");
        askUser(21, eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Normal);
        break;
    }
}

void CLogic::onServerInfoReady(const UpdateManifest* manifest) {
    if (manifest != nullptr) {
        for (const BrokenPath& broken : manifest->brokenPaths)
            log(L"Manifest entry skipped: " + describeBrokenPath(broken));
        if (!manifest->clientVersion.empty())
            downloader->SetPartArgument(manifest->clientVersion);
    }
    // An update continues at once: there are no choices to wait for.
    CheckChoices choices;
    choices.sInstallFolder = sInstallFolder;
    checker.Wake(std::move(choices));
}

void CLogic::takeDownloadList() {
    const CCheckerCore& results = *checker.Results();
    SFlowRun run;
    run.installFolder = sInstallFolder;
    run.bProgressFromZero = settings.bProgressFromZero;
    run.packages = results.queue;
    run.nBytesTotal = results.nBytesTotal;
    flow.TakeQueue(std::move(run));
}

void CLogic::onCheckDone() {
    processStartDownload();
}

void CLogic::processStartDownload() {
    log(L"processStartDownload();");
    if (!beginUnpackRun())
        return;
    if (!makeTempFolder(sInstallFolder + L"\\tmp")) {
        log(L"tmp cannot be made a folder of its own: nothing is downloaded");
        showFileError(utf8FromWide(sInstallFolder + L"\\tmp"), 0);
        return;
    }
    if (nRunMode != rmDownload) {
        log(L"Remove ext directory");
        deleteWorkFolder(sInstallFolder + L"\\ext");
    }
    if (bShuttingDown)
        return;
    // The files earlier runs left in tmp\ are measured on the unpacker's
    // thread: a part of gigabytes would keep the window from painting for
    // seconds. The flow goes on in onPartsMeasured.
    if (!flow.MeasureResumeParts())
        askUser(20, eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Error);
}

void CLogic::onPartsMeasured(LPARAM request) {
    const EMeasuredParts measured = flow.OnPartsMeasured(static_cast<unsigned>(request));
    if (measured == EMeasuredParts::eStale)
        return;
    if (measured == EMeasuredParts::eDownload) {
        showProgress(0);
        if (!hasDiskSpaceFor(flow.BytesTotal())) {
            askUser(22, eMsgReason_DiskSpace, EBoxButtons::Ok, EBoxStyle::Error);
            return;
        }
        // An interrupted run then resumes against the same manifest.
        saveManifest();
        showDownloadPage();
        carryOutFlow(flow.Next());
    } else {
        processAfterDownload();
    }
    if (bShuttingDown)
        quitLauncher();
}

bool CLogic::beginUnpackRun() {
    if (unpacker.IsRunning())
        return true;
    log(L"Init/start unpack thread");
    SUnpackRunSettings unpackRun;
    unpackRun.installFolder = sInstallFolder;
    unpackRun.hwnd = dialog.Handle();
    unpackRun.ignoreWriteErrors = nRunMode == rmDownload;
    unpackRun.log = pLog;
    if (unpacker.BeginRun(unpackRun))
        return true;
    askUser(20, eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Error);
    return false;
}

bool CLogic::hasDiskSpaceFor(uint64_t needed) const {
    ULARGE_INTEGER available{};
    if (::GetDiskFreeSpaceExW(sInstallFolder.c_str(), &available, nullptr, nullptr))
        return available.QuadPart >= needed;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!::GetDiskFreeSpaceW(sInstallFolder.c_str(), &sectorsPerCluster, &bytesPerSector,
                             &freeClusters, &clusters))
        return false;
    return uint64_t{sectorsPerCluster} * bytesPerSector * freeClusters >= needed;
}

void CLogic::showDownloadPage() {
    dialog.SetProgress(0);
    setProgressText(getLangString(18));
}

void CLogic::carryOutFlow(const SFlowAction& action) {
    if (action.bAnswerTaken)
        ladder.OnPartReceived();
    switch (action.step) {
    case EFlowStep::eNone:
    case EFlowStep::eWaitForWriter:
        break;
    case EFlowStep::eRequest: {
        const std::string address = sUpdatePath + action.name;
        if (!downloader->DownloadUpdate(address.c_str(), 0, action.begin, action.length))
            OnNetError(NetEx::eDownload_Update, 0, 0, std::string());
        break;
    }
    case EFlowStep::eRetryPart:
        retryPart();
        break;
    case EFlowStep::eEmptyPart:
        onEmptyPart();
        break;
    case EFlowStep::eFileError:
        showFileError(utf8FromWide(action.path), 0);
        break;
    case EFlowStep::eBadPackage:
        askUser(40, eMsgReason_Package, EBoxButtons::RetryCancel, EBoxStyle::Normal);
        break;
    }
}

void CLogic::onPartWritten() {
    if (!bShuttingDown)
        carryOutFlow(flow.OnPartWritten());
}

void CLogic::OnFilePartReceived(CBuffer* body, bool incomplete) {
    selector.AcceptCustomUrl();
    const unsigned length = body != nullptr ? body->GetLength() : 0;
    carryOutFlow(flow.OnPartReceived(body, length, incomplete));
}

void CLogic::OnFilePartProgress(unsigned count, bool continuing) {
    flow.OnPartProgress(count, continuing);
}

void CLogic::showProgress(uint64_t unpackBytes) {
    flow.OnUnpackProgress(unpackBytes);
    // Reads arrive in bursts of a few KB: redrawing for each would cost more
    // than the download itself under Wine's window system.
    const ULONGLONG now = ::GetTickCount64();
    if (now - nLastProgressTick < kProgressRedrawMs)
        return;
    nLastProgressTick = now;
    const ProgressView view = flow.Progress();
    if (view.downloadPhase) {
        setProgressText(formatLangText(
            getLangString(4), {LangArg(double{view.receivedKb}), LangArg(double{view.totalKb})}));
    } else {
        setProgressText(formatLangText(
            getLangString(16), {LangArg(static_cast<long long>(view.percent)), LangArg(L"%")}));
    }
    dialog.SetProgress(view.barValue);
}

void CLogic::onUnpackResult(LPARAM result) {
    if (result == 0) {
        log(L"Finish unpack thread .. OK");
        processAfterDownload();
        return;
    }
    log(L"Finish unpack thread .. Fail");
    log(unpacker.GetStatusText());
    if (result == 1)
        askUser(19, eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Normal);
    else
        showFileError(unpacker.GetCurrentName(), unpacker.GetStatusCode());
}

void CLogic::processAfterDownload() {
    log(L"processAfterDownload();");
    log(L"Remove tmp directory");
    deleteWorkFolder(sInstallFolder + L"\\tmp");
    ::DeleteFileW((sInstallFolder + L"\\silent.dat").c_str());
    saveManifest();
    if (bFastMode) {
        log(L"Fast update finished .. OK");
        quitLauncher();
        return;
    }
    stepNotAvailable(L"Client launch");
}

void CLogic::saveManifest() {
    if (saveManifestFile(sInstallFolder, sManifestText))
        log(L"Save update.xml");
}
