// The parts of an HTTP request that need no system: verb names, header
// lines, multipart framing and the read-size rules of the receive loop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class CBuffer;

namespace NetEx {

// A captured header or answer as text, without the zero bytes a capture
// ends with.
std::string bufferText(const CBuffer& buffer);

enum EHttpVerb : int {
    eHttpVerb_Get = 0,
    eHttpVerb_Post = 1,
    eHttpVerb_Delete = 2,
    eHttpVerb_Head = 3
};

// "GET", "POST", "DELETE", "HEAD"; null for anything else.
const char* verbText(int verb);

// "Range: bytes=%llu-%llu\r\n" with start and start + length, or the
// open-ended "Range: bytes=%llu-\r\n" when `length` is 0. Offsets are 64-bit:
// a package may be larger than 4 GiB.
std::string rangeHeader(uint64_t start, unsigned length);
// The bytes that range asks for: length + 1, as the end is inclusive; 0 (all
// from the start) for the open-ended form.
uint64_t rangeByteCount(unsigned length);

// "Content-Length: %u\r\n".
std::string contentLengthHeader(unsigned length);

// One step of the boundary scrambler on a rand() value (unsigned 32-bit):
// x *= 1025, x ^= x >> 6, x *= 9, x ^= x >> 11, x *= 32769.
uint32_t mixBoundaryValue(uint32_t x);
// "block%u%u" of the two mixed values.
std::string boundaryFromRandom(uint32_t a, uint32_t b);
// "Content-Type: multipart/form-data; boundary=%s\r\n".
std::string multipartContentTypeHeader(const std::string& boundary);
// Longest form-part head: the size of the buffer it was always built in,
// less its terminating zero.
inline constexpr size_t kFormPartHeadMax = 1023;
// "--b\r\nContent-Disposition: form-data; name=\"n\"" [; filename="f"]
// "\r\nContent-Type: t\r\n\r\n". False (out untouched) for an empty name or
// type, or a head longer than kFormPartHeadMax.
bool formPartHead(const std::string& boundary, const std::string& name, const std::string& fileName,
                  const std::string& contentType, std::string& out);
// "--%s--\r\n\r\n".
std::string multipartEnd(const std::string& boundary);

// Adaptive reading: the smallest block, and the start block of Setup(-1).
inline constexpr unsigned kMinAdaptiveBlock = 8192;

// The next read block after `bytesReceived` bytes came in `elapsedMs`: aims
// at one second of data, at most doubling per step (factor min(1000 /
// elapsed, 2), 2 for an elapsed 0), never below kMinAdaptiveBlock nor above
// `blockLimit`.
unsigned nextReadBlockSize(unsigned bytesReceived, uint64_t elapsedMs, unsigned blockLimit);

// How much room to make before a read: at least max(available, blockSize)
// bytes; while the body grows by small reads, half its current length more,
// so a long body is not copied once per block, but never room beyond
// `maxLength` bytes in all (0: no limit). 0 when the read does not fit in 32
// bits or within maxLength.
unsigned readReserveSize(unsigned bodyLength, unsigned available, unsigned blockSize,
                         uint64_t maxLength);

// The room to give a body before its first read, when its head announced
// `announced` bytes (a plain body): all of it at once, so it is never
// copied, plus what the last read may ask for beyond it (`largestRead`),
// never more than `maxLength` in all (0: no limit). 0 (let the reads grow
// it) without an announced length, or for more than 1 GiB: a header alone
// must not make the transport take that much.
unsigned announcedReserveSize(std::optional<uint64_t> announced, unsigned largestRead,
                              uint64_t maxLength);

// `count`, lowered so that a body of `bodyLength` bytes does not grow past
// `maxLength` (0: no limit).
unsigned countWithin(unsigned count, uint64_t bodyLength, uint64_t maxLength);

// A Content-Length value: decimal digits only (surrounding blanks allowed),
// nothing for anything else or a value beyond 64 bits.
std::optional<uint64_t> parseContentLength(const std::string& text);

// Whether a body that ended normally is shorter than its header promised:
// the connection closed early and the system reported the end of the body
// as a success. Only a plain (not content-coded) body of an answer that has
// one (not HEAD, 1xx, 204, 304) is judged.
bool isBodyTruncated(uint64_t bodyLength, std::optional<uint64_t> contentLength, bool contentCoded,
                     int verb, int httpStatus);

// The system's errors as WinINet codes: Wine passes socket errors through
// (a receive time-out arrives as WSAETIMEDOUT), Windows maps them.
unsigned internetErrorCode(unsigned code);

} // namespace NetEx
