// The download flow: from the checker's results to the last unpacked
// package. One request is in flight at a time; each answer's handler starts
// the next one. Packages are asked for in ranges of at most kMaxRangeLength
// bytes, so a response body never holds a whole package. A received range
// goes to the unpacker's writer and the next one is asked for at once,
// unless the writer is a range behind (kMaxUnwrittenBytes): then the next
// request waits for its eWindowsMessage_PartWritten.
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

std::wstring CLogic::tempFileOf(const DownloadItem& item) const {
    return tempFileName(sInstallFolder, item, std::string());
}

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
    downloadQueue.clear();
    for (const QueuedPackage& package : results.queue) {
        DownloadItem item;
        item.name = package.name;
        item.crc = package.crc;
        item.size = package.size;
        item.remaining = package.size;
        downloadQueue.push_back(item);
    }
    bytes = ByteCounters{};
    bytes.nBytesTotal = results.nBytesTotal;
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
    measureResumeParts();
}

// The files earlier runs left in tmp\ are checksummed on the unpacker's
// thread: a part of gigabytes would keep the window from painting for
// seconds. The flow goes on in onPartsMeasured.
void CLogic::measureResumeParts() {
    std::vector<std::wstring> paths;
    for (const DownloadItem& item : downloadQueue)
        paths.push_back(tempFileOf(item));
    if (!unpacker.MeasureParts(std::move(paths), ++nMeasureRequest))
        askUser(20, eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Error);
}

void CLogic::onPartsMeasured(LPARAM request) {
    if (static_cast<unsigned>(request) != nMeasureRequest)
        return;
    const bool handed = prepareDownloadItems();
    if (!downloadQueue.empty() || handed) {
        showProgress(0);
        if (!hasDiskSpaceFor(bytes.nBytesTotal)) {
            askUser(22, eMsgReason_DiskSpace, EBoxButtons::Ok, EBoxStyle::Error);
            return;
        }
    }
    if (downloadQueue.empty() && !handed) {
        processAfterDownload();
    } else {
        // An interrupted run then resumes against the same manifest.
        saveManifest();
        showDownloadPage();
        downloadNext();
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

bool CLogic::prepareDownloadItems() {
    nRunBytes = 0;
    bool handed = false;
    std::deque<DownloadItem> pending;
    while (!downloadQueue.empty()) {
        DownloadItem item = downloadQueue.front();
        downloadQueue.pop_front();
        const std::wstring path = tempFileOf(item);
        // The record exists since onPartsMeasured: nothing is read here.
        unpacker.AddFilePart(path.c_str(), nullptr, 0);
        uint32_t crc = 0;
        uint64_t held = 0;
        unpacker.GetFileCrc(path.c_str(), &crc, &held);
        nRunBytes += item.size;
        item.downloaded = held;
        if (classifyResume(held, crc, item) == EResumeState::eDiscard)
            addUnpackTask(item, true, true);
        item.remaining = item.size - item.downloaded;
        item.partCount = 0;
        if (settings.bProgressFromZero)
            bytes.nBytesTotal -= std::min(bytes.nBytesTotal, item.downloaded);
        else
            bytes.nBytesReceived += item.downloaded;
        if (item.remaining == 0) {
            addUnpackTask(item, true, false);
            unpacker.QueuePackage(path.c_str());
            handed = true;
        } else {
            pending.push_back(item);
        }
    }
    if (!settings.bProgressFromZero)
        bytes.nBytesCommitted = bytes.nBytesReceived;
    downloadQueue = std::move(pending);
    return handed;
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

bool CLogic::downloadNext() {
    if (downloadQueue.empty()) {
        unpacker.FinishRun();
        return true;
    }
    DownloadItem& item = downloadQueue.front();
    if (item.downloaded == item.size && item.remaining == 0) {
        onPackageDownloaded();
        return true;
    }
    bWaitingForWriter = unpacker.GetPendingBytes() > kMaxUnwrittenBytes;
    if (bWaitingForWriter)
        return true;
    const std::string address = sUpdatePath + item.name;
    if (!downloader->DownloadUpdate(address.c_str(), 0, item.downloaded,
                                    nextRangeLength(item.remaining)))
        OnNetError(NetEx::eDownload_Update, 0, 0, std::string());
    return true;
}

void CLogic::onPartWritten() {
    if (bWaitingForWriter && !bShuttingDown)
        downloadNext();
}

void CLogic::OnFilePartReceived(CBuffer* body, bool incomplete) {
    selector.AcceptCustomUrl();
    const unsigned length = body != nullptr ? body->GetLength() : 0;
    if (length == 0 && !incomplete) {
        log(L"fireFilePartReceived() : buf empty (zero size)");
        onEmptyPart();
        return;
    }
    if (length == 0) {
        log(L"fireFilePartReceived() : buf empty");
        return;
    }
    if (downloadQueue.empty()) {
        log(L"fireFilePartReceived() : queue empty");
        return;
    }
    ladder.OnPartReceived();
    DownloadItem& item = downloadQueue.front();
    ++item.partCount;
    OnFilePartProgress(length, false);
    log(L"filePartReceived: file: " + wideFromUtf8(item.name) + L" (part size: " +
        std::to_wstring(length) + L")");
    const std::wstring path = tempFileOf(item);
    // The range began where the store's record ended when it was asked for.
    if (!unpacker.AddFilePart(path.c_str(), body, length, item.downloaded)) {
        log(L"fireFilePartReceived() : addFilePart false");
        if (unpacker.HasWriteFailed(path.c_str()))
            showFileError(utf8FromWide(path), 0);
        return;
    }
    if (incomplete) {
        log(L"fireFilePartReceived() : bError");
        return;
    }
    uint64_t held = 0;
    if (unpacker.GetFileCrc(path.c_str(), nullptr, &held) && held < item.size)
        retryPart();
    else
        onPackageDownloaded();
}

void CLogic::onPackageDownloaded() {
    DownloadItem item = downloadQueue.front();
    downloadQueue.pop_front();
    const std::wstring path = tempFileOf(item);
    unpacker.SetFileCompleted(path.c_str());
    if (hasPackageExtension(item.name)) {
        uint32_t crc = 0;
        uint64_t held = 0;
        if (unpacker.GetFileCrc(path.c_str(), &crc, &held) && held == item.size &&
            crc == item.crc) {
            addUnpackTask(item, false, false);
            unpacker.QueuePackage(path.c_str());
        } else {
            addUnpackTask(item, false, true);
            bytes.forget(item.size);
            item.remaining = item.size;
            downloadQueue.push_back(item);
            askUser(40, eMsgReason_Package, EBoxButtons::RetryCancel, EBoxStyle::Normal);
            return;
        }
    }
    downloadNext();
    if (bShuttingDown)
        quitLauncher();
}

void CLogic::addUnpackTask(DownloadItem& item, bool fromTmp, bool bad) {
    const std::wstring path = tempFileOf(item);
    log(L"Add task for unpacker: " + wideFromUtf8(item.name));
    log(std::wstring(L"  .. from ") + (fromTmp ? L"tmp" : L"received") + L" file: " + path);
    if (!bad)
        return;
    log(L"    .. warning: crc or size is not correct, file will be added to download queue");
    // Parts first: the writer may still be appending the last of them.
    unpacker.DropFileParts(path.c_str());
    ::DeleteFileW(path.c_str());
    item.downloaded = 0;
}

void CLogic::OnFilePartProgress(unsigned count, bool continuing) {
    if (continuing)
        bytes.addBurst(count);
    else
        bytes.commitAnswer(count);
    showProgress(0);
}

void CLogic::showProgress(uint64_t unpackBytes) {
    if (unpackBytes > 0)
        nUnpackedKb = unpackBytes / 1024;
    // Reads arrive in bursts of a few KB: redrawing for each would cost more
    // than the download itself under Wine's window system.
    const ULONGLONG now = ::GetTickCount64();
    if (now - nLastProgressTick < kProgressRedrawMs)
        return;
    nLastProgressTick = now;
    const ProgressView view =
        computeProgress(bytes, nRunBytes, nUnpackedKb, /*launcherOnly=*/false);
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
