#include "net/download/downloader_win.h"

#include "base/log/log_file_io_win.h"
#include "base/log/run_log_win.h"
#include "net/context_httx_win.h"
#include "net/download/document_sizes.h"
#include "net/request_httx_win.h"
#include "net/request_rules.h"

#include <chrono>

namespace NetEx {

namespace {

constexpr const char* kAcceptXml = "Accept: application/xml\r\n";
constexpr const char* kAcceptCompressed = "Accept-Encoding: gzip, deflate\r\n";
constexpr int kStatusPartialContent = 206;

bool isEmptyText(const char* text) {
    return text == nullptr || *text == '\0';
}

int64_t millisecondsSinceEpoch() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

CDownloader::CDownloader(CNetTransport* transport) : CNetClient(transport) {}

CDownloader::~CDownloader() {
    Detach(INFINITE);
    DiscardPendingMessages();
}

bool CDownloader::SetContext(const std::string& baseUrl) {
    if (baseUrl.empty())
        return false;
    if (baseUrl == contextBaseUrl)
        return true;
    if (!contextBaseUrl.empty())
        DestroyContext(contextId);
    contextBaseUrl = baseUrl;
    auto context = std::make_unique<CContextHttx>();
    context->Setup(contextId, name.c_str(), baseUrl.c_str(), contextTimeout, contextBlockLimit);
    // The transport answers commands in order: the old context is gone
    // before the new one with the same id is created.
    if (context->GetUrl().IsHttx() && contextBlockLimit != 0 && CreateContext(std::move(context)))
        return true;
    contextBaseUrl.clear();
    return false;
}

std::unique_ptr<CRequestHttx> CDownloader::newRequest(int kind, const std::string& path, int verb,
                                                      int readBlock) {
    std::unique_ptr<CRequestHttx> request;
    if (!CreateRequest(request))
        return nullptr;
    // A package range's head names the range it brings, for the log of an
    // answer that is not the asked one.
    request->Setup(contextId, kind, path.c_str(), true, verb, 0, kDownloadFlags,
                   kDownloadSecurityFlags, readBlock, false,
                   kind == eDownload_KB || kind == eDownload_Update, nullptr, nullptr);
    request->SetBodyLimits(maxAnswerBody(kind), kMaxMaintenancePageBytes);
    request->AddHeader(kAcceptXml);
    return request;
}

bool CDownloader::send(int kind, std::unique_ptr<CRequestHttx> request) {
    if (!request)
        return false;
    // Set first: the answer may come back before SendRequest returns.
    currentKind = kind;
    if (SendRequest(std::move(request)))
        return true;
    currentKind = eDownload_None;
    return false;
}

bool CDownloader::DownloadCUDFile(const char* url, const char* extraHeader) {
    logLine("CDownloader::DownloadCUDFile");
    CUrlComponents target;
    if (notify == nullptr || isEmptyText(url) || !target.Parse(url))
        return false;
    serverBaseUrl = target.GetBaseUrl();
    if (!SetContext(serverBaseUrl))
        return false;
    auto request = newRequest(eDownload_CUDFile, target.GetRequestPath(), eHttpVerb_Get, 0);
    if (request && !isEmptyText(extraHeader))
        request->AddHeader(extraHeader);
    return send(eDownload_CUDFile, std::move(request));
}

bool CDownloader::DownloadKB(const char* url) {
    if (kbFileSize == kFileSizeNotProbed)
        logLine(std::string("CDownloader::DownloadKB: ") + (url ? url : ""));
    CUrlComponents target;
    if (notify == nullptr || isEmptyText(url) || !target.Parse(url))
        return false;
    kbUrl = url;
    serverBaseUrl = target.GetBaseUrl();
    // Only the probe moves the context; the download follows the probe's.
    if (kbFileSize == kFileSizeNotProbed && !SetContext(serverBaseUrl))
        return false;
    const int verb = kbFileSize == kFileSizeNotProbed ? eHttpVerb_Head : eHttpVerb_Get;
    return send(eDownload_KB,
                newRequest(eDownload_KB, target.GetRequestPath(), verb, kKbReadBlock));
}

bool CDownloader::DownloadLicense(const char* url) {
    logLine(std::string("CDownloader::DownloadLicense: ") + (url ? url : ""));
    if (notify == nullptr || isEmptyText(url) || !SetContext(serverBaseUrl))
        return false;
    auto request = newRequest(eDownload_License, url, eHttpVerb_Get, 0);
    if (request) {
        request->AddHeader(kAcceptCompressed);
        request->SetArgs(("LANG=" + languageCode).c_str());
    }
    return send(eDownload_License, std::move(request));
}

bool CDownloader::DownloadUpdateXml(const char* url) {
    logLine("");
    if (notify == nullptr || isEmptyText(url) || !SetContext(serverBaseUrl))
        return false;
    auto request = newRequest(eDownload_UpdateXml, url, eHttpVerb_Get, 0);
    if (!request)
        return false;
    // A fresh argument name each time, so that no cache answers.
    request->SetArgs(cacheBreakerArg(millisecondsSinceEpoch()).c_str());
    logLine("CDownloader::DownloadUpdateXml: " + request->GetRelativeUrl().GetRequestPath());
    return send(eDownload_UpdateXml, std::move(request));
}

bool CDownloader::DownloadUpdate(const char* url, int, uint64_t begin, unsigned length) {
    logLine("");
    if (notify == nullptr || isEmptyText(url) || !SetContext(serverBaseUrl))
        return false;
    auto request = newRequest(eDownload_Update, url, eHttpVerb_Get, kReadBlockAdaptive);
    if (!request)
        return false;
    request->AddRange(begin, length);
    rangeBegin = begin;
    if (!partArgument.empty())
        request->SetArgs(partArgument.c_str());
    logLine("CDownloader::DownloadUpdate: " +
            rangeLogText(request->GetRelativeUrl().GetRequestPath(), begin, length));
    return send(eDownload_Update, std::move(request));
}

bool CDownloader::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case eWindowsMessage_DownloaderProgress: {
        const auto bytes = static_cast<unsigned>(lParam);
        if (notify == nullptr)
            return true;
        if (currentKind == eDownload_Update) {
            notify->OnFilePartProgress(bytes, true);
        } else if (currentKind == eDownload_KB) {
            kbReceived += bytes;
            notify->OnKBFileProgress(kbReceived, kbFileSize);
        }
        return true;
    }
    case eWindowsMessage_DownloaderRequestDone:
        ProcessRequestDone(std::unique_ptr<IRequestHttx>(reinterpret_cast<IRequestHttx*>(lParam)));
        return true;
    case eWindowsMessage_DownloaderError:
        // The context may be broken: the next download starts a new one.
        // Destroying one that is already gone only earns an ignored error.
        DestroyContext(contextId);
        contextBaseUrl.clear();
        // Every routing or context error counts as "not found".
        if (notify != nullptr)
            notify->OnNetError(static_cast<int>(wParam), 0, 404, std::string());
        return true;
    default:
        return false;
    }
}

void CDownloader::ProcessRequestDone(std::unique_ptr<IRequestHttx> request) {
    if (!request)
        return;
    switch (classifyRequestDone(request->GetRequestId(), request->GetErrorSource(),
                                request->GetErrorCode(), request->GetHttpStatus())) {
    case EDoneAction::Discard:
        break;
    case EDoneAction::Fail:
        ReportFailure(*request);
        break;
    case EDoneAction::Redirect:
        FollowRedirect(*request);
        break;
    case EDoneAction::Deliver:
        deliver(*request);
        break;
    case EDoneAction::Damaged:
        logRefusal(*request);
        deliver(*request);
        break;
    case EDoneAction::Refused:
        logRefusal(*request);
        ReportFailure(*request);
        break;
    }
}

void CDownloader::logRefusal(IRequestHttx& request) {
    logLine(refusedAnswerText(
        request.GetRequestId(), request.GetRelativeUrl().GetRequestPath(), request.GetHttpStatus(),
        headerValue(bufferText(request.GetResponseHeaders()), "Content-Range"), rangeBegin));
}

void CDownloader::deliver(IRequestHttx& request) {
    const int kind = request.GetRequestId();
    if (kind == eDownload_KB && kbFileSize == kFileSizeNotProbed) {
        onSizeProbed(request);
        return;
    }
    // Cleared first: the slot may start the next download.
    currentKind = eDownload_None;
    if (notify == nullptr)
        return;
    CBuffer* body = &request.GetResponseBody();
    switch (kind) {
    case eDownload_CUDFile:
        notify->OnCUDFileReceived(body);
        break;
    case eDownload_KB:
        notify->OnKBFileReceived(body);
        break;
    case eDownload_License:
        notify->OnLicenseReceived(body);
        break;
    case eDownload_UpdateXml:
        notify->OnUpdateXmlReceived(body);
        break;
    case eDownload_Update:
        if (request.GetHttpStatus() != kStatusPartialContent)
            logLine(ignoredRangeText(request.GetHttpStatus(), body->GetLength()));
        notify->OnFilePartReceived(body, false);
        break;
    default:
        break;
    }
}

void CDownloader::onSizeProbed(IRequestHttx& request) {
    kbFileSize = fileSizeFromHead(bufferText(request.GetResponseHeaders()));
    if (kbFileSize == kFileSizeUnknown)
        logLine("failed to determine file size");
    else
        logLine(std::to_string(kbFileSize) + " bytes");
    if (notify != nullptr)
        notify->OnKBFileProgress(0, kbFileSize);
    kbReceived = 0;
    if (!DownloadKB(kbUrl.c_str()))
        reportNotSent(eDownload_KB);
}

void CDownloader::FollowRedirect(IRequestHttx& request) {
    const std::string location = bufferText(request.GetLocation());
    if (!mayFollowRedirect(location, request.GetRedirectCount())) {
        ReportFailure(request);
        return;
    }
    const int kind = request.GetRequestId();
    CUrlComponents target;
    std::unique_ptr<CRequestHttx> next;
    // A Location without a host stays on the current server.
    const bool placed = target.Parse(location.c_str()) &&
                        (target.GetHost().empty() || SetContext(target.GetBaseUrl()));
    if (!placed || !CreateRequest(next, &request) ||
        !next->SetRelativeUrl(target.GetRequestPath().c_str()) || !send(kind, std::move(next)))
        reportNotSent(kind);
}

void CDownloader::ReportFailure(IRequestHttx& request) {
    const int kind = request.GetRequestId();
    const int status = request.GetHttpStatus();
    const SFailurePlan plan =
        planFailure(kind, kbFileSize, status, request.GetErrorSource() == kErrorSourceAnswer);
    if (plan.fetchWithoutSize) {
        kbFileSize = kFileSizeUnknown;
        if (!DownloadKB(kbUrl.c_str()))
            reportNotSent(eDownload_KB);
        return;
    }
    const std::string text = plan.keepAnswerText ? bufferText(request.GetResponseBody()) : "";
    currentKind = eDownload_None;
    if (notify == nullptr)
        return;
    if (plan.deliverPartial)
        notify->OnFilePartReceived(&request.GetResponseBody(), true);
    notify->OnNetError(kind, request.GetErrorCode(), status, text);
}

void CDownloader::reportNotSent(int kind) {
    currentKind = eDownload_None;
    if (notify != nullptr)
        notify->OnNetError(kind, 0, 404, std::string());
}

// Without a window a post would land in the transport thread's own queue.
// A read step that waited and then read nothing is no progress: reported,
// it would look like a size announcement to the KB page.
void CDownloader::OnRequestProgress(IRequestHttx* request) {
    const int kind = request->GetRequestId();
    const unsigned bytes = request->GetBytesReceived();
    if (hwnd != nullptr && bytes != 0 && (kind == eDownload_KB || kind == eDownload_Update))
        ::PostMessageW(hwnd, eWindowsMessage_DownloaderProgress, 0, static_cast<LPARAM>(bytes));
}

void CDownloader::OnRequestCompleted(std::unique_ptr<IRequestHttx> request) {
    if (hwnd != nullptr && ::PostMessageW(hwnd, eWindowsMessage_DownloaderRequestDone, 0,
                                          reinterpret_cast<LPARAM>(request.get())))
        request.release();
}

void CDownloader::OnError(std::unique_ptr<SNetError> error) {
    // Destroying a context that is already gone harms no download.
    if (error->kind == eNetError_NotFound && error->requestId == kNoRequestId)
        return;
    // One report per download: a failed context also fails the request
    // sent through it.
    const int kind = currentKind.exchange(eDownload_None);
    if (kind != eDownload_None && hwnd != nullptr)
        ::PostMessageW(hwnd, eWindowsMessage_DownloaderError, static_cast<WPARAM>(kind), 0);
}

void CDownloader::DiscardPendingMessages() {
    if (hwnd == nullptr)
        return;
    MSG message;
    while (::PeekMessageW(&message, hwnd, eWindowsMessage_DownloaderRequestDone,
                          eWindowsMessage_DownloaderRequestDone, PM_REMOVE))
        delete reinterpret_cast<IRequestHttx*>(message.lParam);
}

void CDownloader::logLine(const std::string& text) {
    if (log != nullptr)
        log->write(wideFromAnsi(text).c_str(), true);
}

} // namespace NetEx
