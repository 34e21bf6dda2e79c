#include "net/pico_http_parser.h"

#include <cstring>

namespace NetEx {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(const char* name, size_t length, std::string_view wanted) {
    if (name == nullptr || length != wanted.size())
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (lowerAscii(name[i]) != lowerAscii(wanted[i]))
            return false;
    }
    return true;
}

} // namespace

void CPicoHttpParser::clear() {
    std::memset(headers, 0, sizeof(headers));
    headBytes = 0;
    headerCount = 0;
    minorVersion = -1;
    status = 0;
    message = nullptr;
    messageLength = 0;
}

int CPicoHttpParser::ParseResponse(const char* data, int length) {
    clear();
    if (data == nullptr || length < 0) {
        lastLength = 0;
        return result = eMalformed;
    }
    // The library's resume check starts at lastLength - 3: a shorter buffer
    // than last time is a new head, never a continuation.
    if (length < lastLength)
        lastLength = 0;
    size_t count = kMaxHeaders;
    const int parsed =
        phr_parse_response(data, static_cast<size_t>(length), &minorVersion, &status, &message,
                           &messageLength, headers, &count, static_cast<size_t>(lastLength));
    if (parsed < 0) {
        clear();
        lastLength = parsed == eIncomplete ? length : 0;
        // The library stops at the 33rd header line with the table full.
        if (parsed != eIncomplete && count == kMaxHeaders)
            return result = eTooManyHeaders;
        return result = parsed == eIncomplete ? eIncomplete : eMalformed;
    }
    lastLength = 0;
    headBytes = parsed;
    headerCount = static_cast<int>(count);
    return result = eParsed;
}

// Names must match in full: a prefix such as "Content" or a continuation
// line (null name) is not the header.
const phr_header* CPicoHttpParser::FindHeader(std::string_view name) const {
    for (int i = 0; i < headerCount; ++i) {
        if (equalsIgnoringCase(headers[i].name, headers[i].name_len, name))
            return &headers[i];
    }
    return nullptr;
}

const phr_header* CPicoHttpParser::FindContentLength() const {
    return FindHeader("Content-Length");
}

} // namespace NetEx
