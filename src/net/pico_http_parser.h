// An HTTP response head (status line and header lines) read with
// picohttpparser. Portable; one parser belongs to one thread at a time.
#pragma once

#include <picohttpparser.h>

#include <cstddef>
#include <string_view>

namespace NetEx {

class CPicoHttpParser {
public:
    static constexpr size_t kMaxHeaders = 32;

    enum EResult { eParsed = 0, eMalformed = -1, eIncomplete = -2, eTooManyHeaders = -3 };

    CPicoHttpParser() = default;
    virtual ~CPicoHttpParser() = default;

    // Parses the head at the start of `data`. Returns an EResult; on anything
    // but eParsed the status, reason and headers are cleared. The header
    // entries, the reason phrase and the values point into `data` (they are
    // not zero-terminated) and are valid while it is. After eIncomplete, call
    // again with the same bytes followed by more: the second call first checks
    // only the new bytes for the end of the head.
    int ParseResponse(const char* data, int length);

    // The first header named `name` in any letter case, or null.
    const phr_header* FindHeader(std::string_view name) const;
    const phr_header* FindContentLength() const;

    int GetResult() const { return result; }
    // Bytes of the head, blank line included, after eParsed.
    int GetHeadBytes() const { return headBytes; }
    // The x of HTTP/1.x; -1 until a status line was read.
    int GetMinorVersion() const { return minorVersion; }
    int GetStatus() const { return status; }
    std::string_view GetReason() const { return {message, messageLength}; }
    int GetHeaderCount() const { return headerCount; }
    // Entry `index` (< GetHeaderCount()); a continuation line has a null name.
    const phr_header& GetHeader(int index) const { return headers[index]; }

private:
    void clear();

    int result = eIncomplete;
    int headBytes = 0;
    int lastLength = 0;
    int minorVersion = -1;
    phr_header headers[kMaxHeaders] = {};
    int headerCount = 0;
    int status = 0;
    const char* message = nullptr;
    size_t messageLength = 0;
};

} // namespace NetEx
