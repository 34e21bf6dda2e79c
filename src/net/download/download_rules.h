// The downloader's decisions that need no system: what a finished request
// leads to, what a failed one reports, the size a probe's answer announces,
// and the texts the downloader adds to its requests and its log.
#pragma once

#include <cstdint>
#include <optional>
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
    // The request refused the answer (kErrorSourceAnswer) and kept no body:
    Damaged, // a document over its size: its slot gets the empty body, the
             // way of a damaged document of its kind
    Refused, // anything else (a range other than the asked one, a maintenance
             // page over its size): ReportFailure, without a body
};

// What a finished request leads to: an error or a status outside 200 to
// 399 is a failure, 300 to 399 a redirect.
EDoneAction classifyRequestDone(int kind, int errorSource, unsigned errorCode, int httpStatus);

// The longest body kept of a 2xx answer of `kind` (document_sizes.h); 0
// for no limit. A package range is bounded by its Range header instead.
uint64_t maxAnswerBody(int kind);

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
// `refused`: the request refused the answer and kept nothing of it.
SFailurePlan planFailure(int kind, unsigned kbFileSize, int httpStatus, bool refused);

// The probe's Content-Length from a captured response head (status line
// and headers); kFileSizeUnknown when there is none, it is zero, or the
// head cannot be read.
unsigned fileSizeFromHead(std::string_view head);

// The name of the argument that keeps caches from answering a manifest
// request: milliseconds since 1970-01-01 UTC in decimal.
std::string cacheBreakerArg(int64_t millisecondsSinceEpoch);

// "<path> (begin: <begin>, length: <length>)" for the run log.
std::string rangeLogText(const std::string& path, uint64_t begin, unsigned length);

// The value of the header `name` in a captured response head; nothing when
// the head cannot be read or has no such header.
std::optional<std::string> headerValue(std::string_view head, std::string_view name);

// The run-log line of an answer the request refused: the path, the status,
// and why: the Content-Range received (a package range asked from byte
// `rangeBegin`), or the size the answer went beyond.
std::string refusedAnswerText(int kind, const std::string& path, int httpStatus,
                              const std::optional<std::string>& contentRange, uint64_t rangeBegin);

// The run-log line of a package range answered with the whole package
// (status `httpStatus`, not 206), of which the first `kept` bytes were the
// asked ones.
std::string ignoredRangeText(int httpStatus, unsigned kept);

} // namespace NetEx
