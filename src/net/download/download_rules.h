// The downloader's decisions that need no system: what a finished request
// leads to, what a failed one reports, the size a probe's answer announces,
// and the texts the downloader adds to its requests and its log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace NetEx {

// The request id of every download says what it fetches.
enum EDownloadKind : int {
    eDownload_None = 0,
    eDownload_CUDFile = 1,   // client update data
    eDownload_KB = 2,        // the operating-system update package
    eDownload_License = 3,   // the terms-of-use text
    eDownload_UpdateXml = 4, // the update manifest
    eDownload_Update = 5,    // one byte range of an update package
    eDownload_Reserved = 6,  // never issued
};

// INTERNET_FLAG_RELOAD | NO_AUTO_REDIRECT | NO_COOKIES |
// IGNORE_CERT_DATE_INVALID | IGNORE_CERT_CN_INVALID.
inline constexpr unsigned kDownloadFlags = 0x80283000;
// SECURITY_FLAG_IGNORE_REVOCATION | SECURITY_FLAG_IGNORE_UNKNOWN_CA.
inline constexpr unsigned kDownloadSecurityFlags = 0x180;
inline constexpr int kKbReadBlock = 102400;
inline constexpr unsigned kDownloaderTimeout = 15000;
inline constexpr unsigned kDownloaderBlockLimit = 0x400000;
// kbFileSize before the probe answered, and when it could not tell.
inline constexpr unsigned kFileSizeNotProbed = 0;
inline constexpr unsigned kFileSizeUnknown = 0xFFFFFFFF;
inline constexpr int kMaxRedirects = 2;

enum class EDoneAction {
    Discard,  // not a download of this program
    Fail,     // ReportFailure
    Redirect, // FollowRedirect
    Deliver,  // the kind's notification
};

// What a finished request leads to: an error or a status outside 200 to
// 399 is a failure, 300 to 399 a redirect.
EDoneAction classifyRequestDone(int kind, int errorSource, unsigned errorCode, int httpStatus);

// Whether a redirect answer may be followed: it names a place, and this
// download has not been redirected more than kMaxRedirects times.
bool mayFollowRedirect(std::string_view location, int redirectCount);

struct SFailurePlan {
    // The size probe failed: fetch the package without a size, report nothing.
    bool fetchWithoutSize = false;
    // A package range broke after a good start: hand over what arrived.
    bool deliverPartial = false;
    // The answer body is the server's explanation (a maintenance page).
    bool keepAnswerText = false;
};
SFailurePlan planFailure(int kind, unsigned kbFileSize, int httpStatus);

// The probe's Content-Length from a captured response head (status line
// and headers); kFileSizeUnknown when there is none, it is zero, or the
// head cannot be read.
unsigned fileSizeFromHead(std::string_view head);

// The name of the argument that keeps caches from answering a manifest
// request: milliseconds since 1970-01-01 UTC in decimal.
std::string cacheBreakerArg(int64_t millisecondsSinceEpoch);

// "<path> (begin: <begin>, length: <length>)" for the run log.
std::string rangeLogText(const std::string& path, unsigned begin, unsigned length);

} // namespace NetEx
