// The texts of a context's HTTP log, built without the system so the layout
// can be checked natively. context_log_win.h writes them through CCypherLog:
// an entry is a title line (CLog::writeHeaderLine: title, filler, time
// stamp), then its pieces one write each, so only an oversized piece (a
// body) is cut at the log's block limit, then one empty line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace NetEx {

class CRequestHttxBase;

struct SLogEntry {
    std::string title;
    std::vector<std::string> pieces;
};

// Six-character labels of the value lines.
inline constexpr char kLabelUrl[] = "Url:  ";
inline constexpr char kLabelId[] = "Id:   ";
inline constexpr char kLabelArgs[] = "Args: ";
inline constexpr char kLabelTimeout[] = "T/o:  ";
inline constexpr char kLabelBlockLimit[] = "BGS:  ";
inline constexpr char kLabelPath[] = "Path: ";
inline constexpr char kLabelType[] = "Type: ";
inline constexpr char kLabelSize[] = "Size: ";
inline constexpr char kLabelHttx[] = "Httx: ";

// "Httx.<name>", or "Httx.Context<id>" without a name.
std::string contextName(const std::string& givenName, int id);

// "%u.%s.log" of the process id and the context name, where every byte 0 to
// 30, '"', '/', ':', '<', '>', '\\', '|' and every byte from 0x80 up in the
// name becomes '-'.
std::string httpLogFileName(uint32_t processId, const std::string& contextName);

// label + value + "\r\n"; numbers in signed decimal.
std::string valueLine(const char* label, const std::string& value);
std::string valueLine(const char* label, long long value);

// "Creating context" (with the URL) or "Modifying context" (without).
SLogEntry contextEntry(const std::string& title, const std::string* url, int id,
                       const std::string& args, unsigned timeout, unsigned blockLimit);

// "Sending request >>>". With the no-cookies flag the extra header text is
// logged, otherwise `cookies` (what the system holds for the URL) under
// "IE Cookie:". A body is logged masked when the request has a mask
// pattern; `maxBlock` (0: no limit) bounds the text the mask runs over.
SLogEntry sendingEntry(const CRequestHttxBase& request, const std::string& cookies,
                       unsigned maxBlock);
// "Request completed" and "Canceling request": path and id.
SLogEntry requestEntry(const std::string& title, const CRequestHttxBase& request);
// "Request progress": path, id and the bytes of the current burst.
SLogEntry progressEntry(const CRequestHttxBase& request);
// "Request data received <<<": path, id, status, captured headers, body.
SLogEntry dataReceivedEntry(const CRequestHttxBase& request, unsigned maxBlock);
// "Request redirected": the new location and the id.
SLogEntry redirectedEntry(const std::string& url, int requestId);

// What the log says about an error code: nothing for 0, "Failed" for
// 0xFFFFFFFF, else "Winsock error %u:" (10000 to 11999), "WinInet error
// %u:" (12000 to 12174) or "Error %u:", then the system's message text
// when it has one.
std::vector<std::string> errorPieces(uint32_t code, const std::string& systemMessage);

// The body text as it goes into the log: masked (log_mask.h) when the
// request has a mask pattern.
std::string maskedBody(const CRequestHttxBase& request, const std::string& body, unsigned maxBlock);

} // namespace NetEx
