#include "net/download/download_rules.h"

#include "net/pico_http_parser.h"
#include "net/request_rules.h"

#include <climits>
#include <optional>

namespace NetEx {

EDoneAction classifyRequestDone(int kind, int errorSource, unsigned errorCode, int httpStatus) {
    if (kind < eDownload_CUDFile || kind > eDownload_Reserved)
        return EDoneAction::Discard;
    if (errorSource != 0 || errorCode != 0 ||
        (httpStatus != 0 && (httpStatus < 200 || httpStatus > 399)))
        return EDoneAction::Fail;
    if (httpStatus >= 300)
        return EDoneAction::Redirect;
    return EDoneAction::Deliver;
}

bool mayFollowRedirect(std::string_view location, int redirectCount) {
    return !location.empty() && redirectCount <= kMaxRedirects;
}

SFailurePlan planFailure(int kind, unsigned kbFileSize, int httpStatus) {
    SFailurePlan plan;
    if (kind == eDownload_KB && kbFileSize == kFileSizeNotProbed) {
        plan.fetchWithoutSize = true;
        return plan;
    }
    plan.deliverPartial =
        kind == eDownload_Update && (httpStatus == 0 || (httpStatus >= 200 && httpStatus <= 299));
    plan.keepAnswerText = httpStatus == 502 || httpStatus == 503;
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

std::string rangeLogText(const std::string& path, unsigned begin, unsigned length) {
    return path + " (begin: " + std::to_string(begin) + ", length: " + std::to_string(length) + ")";
}

} // namespace NetEx
