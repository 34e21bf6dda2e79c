#include "net/http_log_text.h"

#include "net/log_mask.h"
#include "net/request_httx.h"
#include "net/request_rules.h"

#include <cstring>

namespace NetEx {

namespace {

constexpr uint32_t kFailedCode = 0xFFFFFFFF;

bool isFileNameHostile(unsigned char c) {
    return c <= 30 || c >= 0x80 || std::strchr("\"/:<>\\|", static_cast<char>(c)) != nullptr;
}

std::string rawText(const CBuffer& buffer) {
    std::string text;
    buffer.ToString(text);
    return text;
}

std::string withLineEnd(std::string text) {
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)
        text += "\r\n";
    return text;
}

void addBody(SLogEntry& entry, const CRequestHttxBase& request, const CBuffer& body,
             unsigned maxBlock) {
    if (body.GetLength() == 0)
        return;
    entry.pieces.push_back(valueLine(kLabelSize, static_cast<long long>(body.GetLength())));
    entry.pieces.push_back("Data:\r\n");
    // The log cuts every write at maxBlock; an unmasked body is cut here
    // already, so a large one is not copied whole.
    const bool cut =
        maxBlock != 0 && maxBlock < body.GetLength() && request.GetLogMaskPattern().empty();
    const std::string text =
        cut ? std::string(reinterpret_cast<const char*>(body.GetData()), maxBlock) : rawText(body);
    entry.pieces.push_back(maskedBody(request, text, maxBlock));
    entry.pieces.push_back("\r\n");
}

const char* errorLabel(uint32_t code) {
    if (code >= 10000 && code <= 11999)
        return "Winsock error";
    if (code >= 12000 && code <= 12174)
        return "WinInet error";
    return "Error";
}

} // namespace

std::string contextName(const std::string& givenName, int id) {
    if (givenName.empty())
        return "Httx.Context" + std::to_string(id);
    return "Httx." + givenName;
}

std::string httpLogFileName(uint32_t processId, const std::string& name) {
    std::string safe = name;
    for (char& c : safe) {
        if (isFileNameHostile(static_cast<unsigned char>(c)))
            c = '-';
    }
    return std::to_string(processId) + "." + safe + ".log";
}

std::string valueLine(const char* label, const std::string& value) {
    return label + value + "\r\n";
}

std::string valueLine(const char* label, long long value) {
    return valueLine(label, std::to_string(value));
}

SLogEntry contextEntry(const std::string& title, const std::string* url, int id,
                       const std::string& args, unsigned timeout, unsigned blockLimit) {
    SLogEntry entry{title, {}};
    if (url != nullptr)
        entry.pieces.push_back(valueLine(kLabelUrl, *url));
    entry.pieces.push_back(valueLine(kLabelId, id));
    entry.pieces.push_back(valueLine(kLabelArgs, args));
    entry.pieces.push_back(valueLine(kLabelTimeout, static_cast<long long>(timeout)));
    entry.pieces.push_back(valueLine(kLabelBlockLimit, static_cast<long long>(blockLimit)));
    return entry;
}

SLogEntry sendingEntry(const CRequestHttxBase& request, const std::string& cookies,
                       unsigned maxBlock) {
    SLogEntry entry = requestEntry("Sending request >>>", request);
    const char* verb = verbText(request.GetVerb());
    entry.pieces.insert(entry.pieces.begin() + 1, valueLine(kLabelType, verb ? verb : "?"));
    if ((request.GetFlags() & kInternetFlagNoCookies) != 0) {
        if (!request.GetExtraHeaderText().empty())
            entry.pieces.push_back(withLineEnd(request.GetExtraHeaderText()));
    } else {
        entry.pieces.push_back("IE Cookie:\r\n");
        entry.pieces.push_back(withLineEnd(cookies));
    }
    if (request.RequestHeaders().GetLength() != 0) {
        entry.pieces.push_back("Header:\r\n");
        entry.pieces.push_back(withLineEnd(rawText(request.RequestHeaders())));
    }
    addBody(entry, request, request.RequestBody(), maxBlock);
    return entry;
}

SLogEntry requestEntry(const std::string& title, const CRequestHttxBase& request) {
    return {title,
            {valueLine(kLabelPath, request.GetRelativeUrl().GetRequestPath()),
             valueLine(kLabelId, request.GetRequestId())}};
}

SLogEntry progressEntry(const CRequestHttxBase& request) {
    SLogEntry entry = requestEntry("Request progress", request);
    entry.pieces.push_back(
        valueLine(kLabelSize, static_cast<long long>(request.GetBytesReceived())));
    return entry;
}

SLogEntry dataReceivedEntry(const CRequestHttxBase& request, unsigned maxBlock) {
    SLogEntry entry = requestEntry("Request data received <<<", request);
    entry.pieces.push_back(valueLine(kLabelHttx, request.GetHttpStatus()));
    if (request.CapturesResponseHeaders()) {
        entry.pieces.push_back("Header:\r\n");
        entry.pieces.push_back(withLineEnd(bufferText(request.ResponseHeaders())));
    }
    addBody(entry, request, request.ResponseBody(), maxBlock);
    return entry;
}

SLogEntry redirectedEntry(const std::string& url, int requestId) {
    return {"Request redirected", {valueLine(kLabelUrl, url), valueLine(kLabelId, requestId)}};
}

std::vector<std::string> errorPieces(uint32_t code, const std::string& systemMessage) {
    if (code == 0)
        return {};
    if (code == kFailedCode)
        return {"Failed\r\n"};
    std::string message = systemMessage;
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                                message.back() == ' ' || message.back() == '\0'))
        message.pop_back();
    std::vector<std::string> pieces = {std::string(errorLabel(code)) + " " + std::to_string(code) +
                                       ":\r\n"};
    if (!message.empty())
        pieces.push_back(withLineEnd(message));
    return pieces;
}

std::string maskedBody(const CRequestHttxBase& request, const std::string& body,
                       unsigned maxBlock) {
    if (request.GetLogMaskPattern().empty())
        return body;
    return maskLogText(body, request.GetLogMaskPattern(), request.GetLogMaskReplacement(),
                       maxBlock);
}

} // namespace NetEx
