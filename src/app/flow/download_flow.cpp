#include "app/flow/download_flow.h"

#include "base/utf8_text.h"

#include <algorithm>

namespace {

SFlowAction step(EFlowStep kind) {
    SFlowAction action;
    action.step = kind;
    return action;
}

// `action` after an answer with data reached the front package.
SFlowAction taken(SFlowAction action) {
    action.bAnswerTaken = true;
    return action;
}

} // namespace

CDownloadFlow::CDownloadFlow(IPartStore& partStore, IDownloadFlowOwner& flowOwner)
    : store(partStore), owner(flowOwner) {}

std::wstring CDownloadFlow::tempFileOf(const DownloadItem& item) const {
    return tempFileName(sInstallFolder, item, std::string());
}

void CDownloadFlow::TakeQueue(SFlowRun run) {
    sInstallFolder = std::move(run.installFolder);
    bProgressFromZero = run.bProgressFromZero;
    downloadQueue.clear();
    for (const QueuedPackage& package : run.packages) {
        DownloadItem item;
        item.name = package.name;
        item.crc = package.crc;
        item.size = package.size;
        item.remaining = package.size;
        downloadQueue.push_back(item);
    }
    bytes = ByteCounters{};
    bytes.nBytesTotal = run.nBytesTotal;
}

// The files are checksummed on the store's thread: a part of gigabytes would
// keep the window from painting for seconds.
bool CDownloadFlow::MeasureResumeParts() {
    std::vector<std::wstring> paths;
    for (const DownloadItem& item : downloadQueue)
        paths.push_back(tempFileOf(item));
    return store.MeasureParts(std::move(paths), ++nMeasureRequest);
}

EMeasuredParts CDownloadFlow::OnPartsMeasured(unsigned request) {
    if (request != nMeasureRequest)
        return EMeasuredParts::eStale;
    const bool handed = prepareDownloadItems();
    return downloadQueue.empty() && !handed ? EMeasuredParts::eNothing : EMeasuredParts::eDownload;
}

bool CDownloadFlow::prepareDownloadItems() {
    nRunBytes = 0;
    bool handed = false;
    std::deque<DownloadItem> pending;
    while (!downloadQueue.empty()) {
        DownloadItem item = downloadQueue.front();
        downloadQueue.pop_front();
        const std::wstring path = tempFileOf(item);
        // The record exists since the measurement: nothing is read here.
        store.AddFilePart(path, nullptr, 0, std::nullopt);
        uint32_t crc = 0;
        uint64_t held = 0;
        store.GetFileCrc(path, &crc, &held);
        nRunBytes += item.size;
        item.downloaded = held;
        if (classifyResume(held, crc, item) == EResumeState::eDiscard)
            addUnpackTask(item, true, true);
        item.remaining = item.size - item.downloaded;
        item.partCount = 0;
        if (bProgressFromZero)
            bytes.nBytesTotal -= std::min(bytes.nBytesTotal, item.downloaded);
        else
            bytes.nBytesReceived += item.downloaded;
        if (item.remaining == 0) {
            addUnpackTask(item, true, false);
            store.QueuePackage(path);
            handed = true;
        } else {
            pending.push_back(item);
        }
    }
    if (!bProgressFromZero)
        bytes.nBytesCommitted = bytes.nBytesReceived;
    downloadQueue = std::move(pending);
    return handed;
}

SFlowAction CDownloadFlow::Next() {
    if (downloadQueue.empty()) {
        store.FinishRun();
        return {};
    }
    const DownloadItem& item = downloadQueue.front();
    if (item.downloaded == item.size && item.remaining == 0)
        return onPackageDownloaded();
    const unsigned length = nextRangeLength(item.remaining);
    bWaitingForWriter = !mayAskRange(store.GetPendingBytes(), length);
    if (bWaitingForWriter)
        return step(EFlowStep::eWaitForWriter);
    SFlowAction request = step(EFlowStep::eRequest);
    request.name = item.name;
    request.begin = item.downloaded;
    request.length = length;
    return request;
}

SFlowAction CDownloadFlow::OnPartWritten() {
    if (!bWaitingForWriter)
        return {};
    return Next();
}

SFlowAction CDownloadFlow::OnPartReceived(CBuffer* body, unsigned length, bool incomplete) {
    if (length == 0 && !incomplete) {
        log(L"fireFilePartReceived() : buf empty (zero size)");
        return step(EFlowStep::eEmptyPart);
    }
    if (length == 0) {
        log(L"fireFilePartReceived() : buf empty");
        return {};
    }
    if (downloadQueue.empty()) {
        log(L"fireFilePartReceived() : queue empty");
        return {};
    }
    DownloadItem& item = downloadQueue.front();
    ++item.partCount;
    OnPartProgress(length, false);
    log(L"filePartReceived: file: " + wideFromUtf8(item.name) + L" (part size: " +
        std::to_wstring(length) + L")");
    const std::wstring path = tempFileOf(item);
    // The range began where the store's record ended when it was asked for.
    if (!store.AddFilePart(path, body, length, item.downloaded)) {
        log(L"fireFilePartReceived() : addFilePart false");
        if (!store.HasWriteFailed(path))
            return taken({});
        SFlowAction fileError = step(EFlowStep::eFileError);
        fileError.path = path;
        return taken(std::move(fileError));
    }
    if (incomplete) {
        log(L"fireFilePartReceived() : bError");
        return taken({});
    }
    uint64_t held = 0;
    if (store.GetFileCrc(path, nullptr, &held) && held < item.size)
        return taken(step(EFlowStep::eRetryPart));
    return taken(onPackageDownloaded());
}

SFlowAction CDownloadFlow::ResendPart() {
    if (downloadQueue.empty())
        return {};
    DownloadItem& item = downloadQueue.front();
    uint64_t held = 0;
    store.GetFileCrc(tempFileOf(item), nullptr, &held);
    item.downloaded = std::min(held, item.size);
    item.remaining = item.size - item.downloaded;
    return Next();
}

SFlowAction CDownloadFlow::onPackageDownloaded() {
    DownloadItem item = downloadQueue.front();
    downloadQueue.pop_front();
    const std::wstring path = tempFileOf(item);
    store.SetFileCompleted(path);
    if (hasPackageExtension(item.name)) {
        uint32_t crc = 0;
        uint64_t held = 0;
        if (store.GetFileCrc(path, &crc, &held) && held == item.size && crc == item.crc) {
            addUnpackTask(item, false, false);
            store.QueuePackage(path);
        } else {
            addUnpackTask(item, false, true);
            bytes.forget(item.size);
            item.remaining = item.size;
            downloadQueue.push_back(item);
            return step(EFlowStep::eBadPackage);
        }
    }
    return Next();
}

void CDownloadFlow::addUnpackTask(DownloadItem& item, bool fromTmp, bool bad) {
    const std::wstring path = tempFileOf(item);
    log(L"Add task for unpacker: " + wideFromUtf8(item.name));
    log(std::wstring(L"  .. from ") + (fromTmp ? L"tmp" : L"received") + L" file: " + path);
    if (!bad)
        return;
    log(L"    .. warning: crc or size is not correct, file will be added to download queue");
    store.DiscardFile(path);
    item.downloaded = 0;
}

void CDownloadFlow::OnPartProgress(unsigned count, bool continuing) {
    if (continuing)
        bytes.addBurst(count);
    else
        bytes.commitAnswer(count);
    owner.ShowFlowProgress();
}

void CDownloadFlow::OnUnpackProgress(uint64_t unpackBytes) {
    if (unpackBytes > 0)
        nUnpackedKb = unpackBytes / 1024;
}

ProgressView CDownloadFlow::Progress() const {
    return computeProgress(bytes, nRunBytes, nUnpackedKb, /*launcherOnly=*/false);
}

std::optional<std::string> CDownloadFlow::FrontPackageName() const {
    if (downloadQueue.empty())
        return std::nullopt;
    return downloadQueue.front().name;
}
