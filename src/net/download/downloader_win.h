// The program's one network client. The logic asks it for the five kinds of
// downloads (download_rules.h); it keeps one transport context at the right
// server, builds and sends the requests, follows redirects, probes the size
// of the system-update package and reports every result through
// IDownloaderNotify.
//
// Threads: the entry points, HandleMessage and the setters run on the
// logic's thread, which owns `hwnd`. The transport slots run on the
// transport thread and only post messages to `hwnd`, so every report
// reaches the logic on its own thread. One download is in flight at a time;
// the logic starts the next one from the report of the previous one.
#pragma once

#include "net/download/download_rules.h"
#include "net/download/downloader_notify.h"
#include "net/net_client_win.h"

#include <atomic>
#include <memory>
#include <string>

class CLogImplW;

namespace NetEx {

class CRequestHttx;

// Posted by the downloader to the logic's window. The logic's window
// procedure hands all three to HandleMessage.
enum EDownloaderMessage : unsigned {
    // wParam 0, lParam the bytes of one burst of reads (kinds 2 and 5).
    eWindowsMessage_DownloaderProgress = 2714,
    // wParam 0, lParam the finished IRequestHttx*, owned by the message.
    eWindowsMessage_DownloaderRequestDone = 2715,
    // wParam the kind whose download a transport or context error ended.
    eWindowsMessage_DownloaderError = 2716,
};

class CDownloader : public CNetClient {
public:
    // `transport` must outlive the downloader.
    explicit CDownloader(CNetTransport* transport);
    // Detaches, then frees the finished requests still queued for `hwnd`
    // when called on its thread.
    ~CDownloader() override;

    // Logic thread, before the first download. Nothing is owned.
    void SetNotify(IDownloaderNotify* target) { notify = target; }
    void SetLog(CLogImplW* runLog) { log = runLog; }
    void SetWindow(HWND window) { hwnd = window; }
    void SetName(const std::string& contextName) { name = contextName; }
    void SetPartArgument(const std::string& argument) { partArgument = argument; }
    void SetLanguageCode(const std::string& code) { languageCode = code; }
    // Scheme, host and port of the selected update server (kinds 3 to 5).
    void SetServerBaseUrl(const std::string& url) { serverBaseUrl = url; }
    const std::string& GetServerBaseUrl() const { return serverBaseUrl; }
    int GetCurrentKind() const { return currentKind.load(); }

    // The entry points return false, reporting nothing, when there is no
    // notification target, the URL is empty or the request could not be
    // posted. `url` is absolute for kinds 1 and 2, a path on the selected
    // server for the others.
    bool DownloadCUDFile(const char* url, const char* extraHeader);
    bool DownloadKB(const char* url);
    bool DownloadLicense(const char* url);
    bool DownloadUpdateXml(const char* url);
    // `length` 0 asks for everything from `begin`.
    bool DownloadUpdate(const char* url, int, uint64_t begin, unsigned length);

    // Logic thread: the three messages above; false for any other.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ProcessRequestDone(std::unique_ptr<IRequestHttx> request);
    // Frees the finished requests still queued for `hwnd` (logic thread,
    // at shutdown after Detach).
    void DiscardPendingMessages();

    // Transport thread.
    void OnRequestProgress(IRequestHttx* request) override;
    void OnRequestCompleted(std::unique_ptr<IRequestHttx> request) override;
    void OnError(std::unique_ptr<SNetError> error) override;

private:
    // Moves the one context to `baseUrl`; false when none can be created
    // there.
    bool SetContext(const std::string& baseUrl);
    // A new request of `kind` for `path` (relative to the context).
    std::unique_ptr<CRequestHttx> newRequest(int kind, const std::string& path, int verb,
                                             int readBlock);
    // Marks `kind` in flight and sends; false (nothing in flight) on failure.
    bool send(int kind, std::unique_ptr<CRequestHttx> request);
    // Deliver a success to the kind's slot.
    void deliver(IRequestHttx& request);
    void onSizeProbed(IRequestHttx& request);
    void FollowRedirect(IRequestHttx& request);
    void ReportFailure(IRequestHttx& request);
    // The run-log line of an answer the request refused.
    void logRefusal(IRequestHttx& request);
    // A follow-up request of the download in flight could not be sent.
    void reportNotSent(int kind);
    void logLine(const std::string& text);

    std::string name;
    IDownloaderNotify* notify = nullptr;
    CLogImplW* log = nullptr;
    std::string partArgument;
    std::string serverBaseUrl;
    std::string contextBaseUrl;
    std::string languageCode;
    int contextId = 0;
    unsigned contextTimeout = kDownloaderTimeout;
    unsigned contextBlockLimit = kDownloaderBlockLimit;
    // Read and cleared on the transport thread by OnError.
    std::atomic<int> currentKind{eDownload_None};
    // Where the package range in flight begins.
    uint64_t rangeBegin = 0;
    unsigned kbReceived = 0;
    unsigned kbFileSize = kFileSizeNotProbed;
    std::string kbUrl;
    HWND hwnd = nullptr;
};

} // namespace NetEx
