#include "net/download/download_rules.h"

#include "net/download/document_sizes.h"
#include "net/pico_http_parser.h"
#include "net/request_httx.h"
#include "net/request_rules.h"

#include <climits>
#include <optional>

namespace NetEx {

namespace {

// A refused answer's header value goes into the log: short and printable.
constexpr size_t kMaxLoggedValue = 80;

bool isSuccess(int httpStatus) {
    return httpStatus >= 200 && httpStatus <= 299;
}

bool isMaintenancePage(int httpStatus) {
    return httpStatus == 502 || httpStatus == 503;
}

std::string printable(const std::string& value) {
    std::string text = value.substr(0, kMaxLoggedValue);
    for (char& c : text) {
        if (c < ' ' || c > '~')
            c = '?';
    }
    return value.size() > kMaxLoggedValue ? text + "..." : text;
}

} // namespace

EDoneAction classifyRequestDone(int kind, int errorSource, unsigned errorCode, int httpStatus) {
    if (kind < eDownload_CUDFile || kind > eDownload_Reserved)
        return EDoneAction::Discard;
    if (errorSource == kErrorSourceAnswer)
        return maxAnswerBody(kind) != 0 && isSuccess(httpStatus) ? EDoneAction::Damaged
                                                                 : EDoneAction::Refused;
    if (errorSource != 0 || errorCode != 0 ||
        (httpStatus != 0 && (httpStatus < 200 || httpStatus > 399)))
        return EDoneAction::Fail;
    if (httpStatus >= 300)
        return EDoneAction::Redirect;
    return EDoneAction::Deliver;
}

uint64_t maxAnswerBody(int kind) {
    switch (kind) {
    case eDownload_CUDFile:
        return kMaxCudFileBytes;
    case eDownload_License:
        return kMaxTermsBytes;
    case eDownload_UpdateXml:
        return kMaxManifestArchiveBytes;
    default:
        return 0;
    }
}

bool mayFollowRedirect(std::string_view location, int redirectCount) {
    return !location.empty() && redirectCount <= kMaxRedirects;
}

SFailurePlan planFailure(int kind, unsigned kbFileSize, int httpStatus, bool refused) {
    SFailurePlan plan;
    if (kind == eDownload_KB && kbFileSize == kFileSizeNotProbed) {
        plan.fetchWithoutSize = true;
        return plan;
    }
    plan.deliverPartial =
        !refused && kind == eDownload_Update && (httpStatus == 0 || isSuccess(httpStatus));
    plan.keepAnswerText = !refused && isMaintenancePage(httpStatus);
    return plan;
}

unsigned fileSizeFromHead(std::string_view head) {
    if (head.size() > INT_MAX)
        return kFileSizeUnknown;
    CPicoHttpParser parser;
    if (parser.ParseResponse(head.data(), static_cast<int>(head.size())) !=
        CPicoHttpParser::eParsed)
        return kFileSizeUnknown;
    const phr_header* header = parser.FindContentLength();
    if (header == nullptr)
        return kFileSizeUnknown;
    const std::optional<uint64_t> size =
        parseContentLength(std::string(header->value, header->value_len));
    if (!size || *size == 0 || *size >= kFileSizeUnknown)
        return kFileSizeUnknown;
    return static_cast<unsigned>(*size);
}

std::string cacheBreakerArg(int64_t millisecondsSinceEpoch) {
    return std::to_string(millisecondsSinceEpoch);
}

std::string rangeLogText(const std::string& path, uint64_t begin, unsigned length) {
    return path + " (begin: " + std::to_string(begin) + ", length: " + std::to_string(length) + ")";
}

std::optional<std::string> headerValue(std::string_view head, std::string_view name) {
    if (head.size() > INT_MAX)
        return std::nullopt;
    CPicoHttpParser parser;
    if (parser.ParseResponse(head.data(), static_cast<int>(head.size())) !=
        CPicoHttpParser::eParsed)
        return std::nullopt;
    const phr_header* header = parser.FindHeader(name);
    if (header == nullptr)
        return std::nullopt;
    return std::string(header->value, header->value_len);
}

std::string refusedAnswerText(int kind, const std::string& path, int httpStatus,
                              const std::optional<std::string>& contentRange, uint64_t rangeBegin) {
    const std::string text =
        "CDownloader: answer refused: " + path + ", status " + std::to_string(httpStatus) + ", ";
    if (httpStatus < 100 || httpStatus > 599)
        return text + "no readable status";
    if (isMaintenancePage(httpStatus))
        return text + "a page larger than " + std::to_string(kMaxMaintenancePageBytes) + " bytes";
    if (kind == eDownload_Update)
        return text + "Content-Range: " + (contentRange ? printable(*contentRange) : "none") +
               ", asked from byte " + std::to_string(rangeBegin);
    return text + "larger than " + std::to_string(maxAnswerBody(kind)) + " bytes";
}

std::string ignoredRangeText(int httpStatus, unsigned kept) {
    return "CDownloader::DownloadUpdate: the server ignored the range (status " +
           std::to_string(httpStatus) + "), its first " + std::to_string(kept) + " bytes kept";
}

} // namespace NetEx
