#include "net/request_rules.h"

#include "base/buffer.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>

namespace NetEx {

std::string bufferText(const CBuffer& buffer) {
    std::string text;
    buffer.ToString(text);
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

namespace {

constexpr std::array<const char*, 4> kVerbs = {"GET", "POST", "DELETE", "HEAD"};
constexpr double kMaxGrowthFactor = 2.0;
constexpr double kTargetMsPerBlock = 1000.0;
constexpr unsigned kSocketConnectionAborted = 10053; // WSAECONNABORTED
constexpr unsigned kSocketConnectionReset = 10054;   // WSAECONNRESET
constexpr unsigned kSocketTimedOut = 10060;          // WSAETIMEDOUT
constexpr unsigned kInternetTimeout = 12002;
constexpr unsigned kInternetConnectionAborted = 12030;
constexpr unsigned kInternetConnectionReset = 12031;
constexpr uint64_t kMaxAnnouncedRoom = 1u << 30;

} // namespace

const char* verbText(int verb) {
    if (verb < 0 || static_cast<size_t>(verb) >= kVerbs.size())
        return nullptr;
    return kVerbs[static_cast<size_t>(verb)];
}

std::string rangeHeader(uint64_t start, unsigned length) {
    const std::string first = "Range: bytes=" + std::to_string(start) + "-";
    if (length == 0)
        return first + "\r\n";
    return first + std::to_string(start + length) + "\r\n";
}

uint64_t rangeByteCount(unsigned length) {
    return length == 0 ? 0 : uint64_t{length} + 1;
}

std::string contentLengthHeader(unsigned length) {
    return "Content-Length: " + std::to_string(length) + "\r\n";
}

uint32_t mixBoundaryValue(uint32_t x) {
    x *= 1025u;
    x ^= x >> 6;
    x *= 9u;
    x ^= x >> 11;
    x *= 32769u;
    return x;
}

std::string boundaryFromRandom(uint32_t a, uint32_t b) {
    return "block" + std::to_string(mixBoundaryValue(a)) + std::to_string(mixBoundaryValue(b));
}

std::string multipartContentTypeHeader(const std::string& boundary) {
    return "Content-Type: multipart/form-data; boundary=" + boundary + "\r\n";
}

bool formPartHead(const std::string& boundary, const std::string& name, const std::string& fileName,
                  const std::string& contentType, std::string& out) {
    if (name.empty() || contentType.empty())
        return false;
    std::string head =
        "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"";
    if (!fileName.empty())
        head += "; filename=\"" + fileName + "\"";
    head += "\r\nContent-Type: " + contentType + "\r\n\r\n";
    if (head.size() > kFormPartHeadMax)
        return false;
    out = std::move(head);
    return true;
}

std::string multipartEnd(const std::string& boundary) {
    return "--" + boundary + "--\r\n\r\n";
}

unsigned nextReadBlockSize(unsigned bytesReceived, uint64_t elapsedMs, unsigned blockLimit) {
    const double factor =
        elapsedMs == 0
            ? kMaxGrowthFactor
            : std::min(kTargetMsPerBlock / static_cast<double>(elapsedMs), kMaxGrowthFactor);
    // Clamped before the conversion: a double beyond UINT_MAX does not
    // convert to unsigned.
    const double candidate =
        std::min(static_cast<double>(bytesReceived) * factor, static_cast<double>(UINT_MAX));
    const unsigned limited = std::min(static_cast<unsigned>(candidate), blockLimit);
    return std::max(kMinAdaptiveBlock, limited);
}

unsigned readReserveSize(unsigned bodyLength, unsigned available, unsigned blockSize,
                         uint64_t maxLength) {
    const uint64_t needed = std::max(available, blockSize);
    uint64_t room = UINT_MAX - uint64_t{bodyLength};
    if (maxLength != 0)
        room = std::min(room, maxLength > bodyLength ? maxLength - bodyLength : 0);
    if (needed > room)
        return 0;
    const uint64_t wanted = std::max(needed, uint64_t{bodyLength / 2});
    return static_cast<unsigned>(std::min(wanted, room));
}

unsigned announcedReserveSize(std::optional<uint64_t> announced, unsigned largestRead,
                              uint64_t maxLength) {
    if (!announced)
        return 0;
    const uint64_t body = maxLength != 0 ? std::min(*announced, maxLength) : *announced;
    if (body == 0 || body > kMaxAnnouncedRoom)
        return 0;
    const uint64_t room = body + std::min(uint64_t{largestRead}, body);
    return static_cast<unsigned>(maxLength != 0 ? std::min(room, maxLength) : room);
}

unsigned countWithin(unsigned count, uint64_t bodyLength, uint64_t maxLength) {
    if (maxLength == 0)
        return count;
    const uint64_t room = maxLength > bodyLength ? maxLength - bodyLength : 0;
    return static_cast<unsigned>(std::min<uint64_t>(count, room));
}

std::optional<uint64_t> parseContentLength(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    const size_t last = text.find_last_not_of(" \t");
    uint64_t value = 0;
    for (size_t i = first; i <= last; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        const auto digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

bool isBodyTruncated(uint64_t bodyLength, std::optional<uint64_t> contentLength, bool contentCoded,
                     int verb, int httpStatus) {
    if (!contentLength || contentCoded || verb == eHttpVerb_Head)
        return false;
    if (httpStatus < 200 || httpStatus == 204 || httpStatus == 304)
        return false;
    return bodyLength < *contentLength;
}

unsigned internetErrorCode(unsigned code) {
    switch (code) {
    case kSocketTimedOut:
        return kInternetTimeout;
    case kSocketConnectionReset:
        return kInternetConnectionReset;
    case kSocketConnectionAborted:
        return kInternetConnectionAborted;
    default:
        return code;
    }
}

} // namespace NetEx
