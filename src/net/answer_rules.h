// What a request accepts of the answer it gets: whether a range answer is
// the range that was asked for, and how much of a body may be held in
// memory. Portable; the transport side of a request (request_httx_win.cpp)
// only applies these decisions to what the system reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace NetEx {

// A satisfied Content-Range value, "bytes first-last/complete"; `complete`
// is empty for "bytes first-last/*".
struct SContentRange {
    uint64_t first = 0;
    uint64_t last = 0;
    std::optional<uint64_t> complete;
};

// Reads a satisfied Content-Range value (the unit in any letter case,
// blanks around the value allowed). Nothing for anything else: a missing
// unit, the unsatisfied "*/" form, signs, numbers beyond 64 bits, a first
// byte after the last, a last byte at or beyond the complete length,
// trailing text.
std::optional<SContentRange> parseContentRange(std::string_view text);

// What the client allows of an answer; set before the request is sent and
// kept by the copies a redirect makes.
struct SAnswerLimits {
    // Longest body of a 2xx answer; 0: no limit.
    uint64_t maxBody = 0;
    // Longest body of any other answer (a maintenance page, an error page,
    // a redirect's text); 0: no limit.
    uint64_t maxErrorBody = 0;
    // The request asked for the bytes from `rangeStart` on ("Range:
    // bytes=S-..."); maxBody is then the number of bytes asked for.
    bool range = false;
    uint64_t rangeStart = 0;
};

enum class EAnswerVerdict {
    eAccept,
    eTooLarge,   // the body, announced or received, is longer than allowed
    eWrongRange, // a 206 whose Content-Range is unreadable or starts elsewhere
    eWholeBody,  // the whole resource for a range that does not start at 0
    eNoStatus,   // no readable status line
};

struct SAnswerPlan {
    EAnswerVerdict verdict = EAnswerVerdict::eAccept;
    // Stop reading once the body holds this many bytes; 0: read to the end.
    uint64_t readLimit = 0;
    // Reaching readLimit means the body is longer than allowed (the limit
    // is one byte past the cap); otherwise the bytes read are the answer:
    // the asked range cut from a longer body, whose rest is never read.
    bool overLimitRefuses = false;
};

// Judges an answer from its head, before any byte of its body is read:
// `status`, its Content-Range value (empty when there is none) and the
// length its Content-Length announces for a body that is not content-coded.
//   - A range request accepts a 206 that starts at the asked byte, and any
//     other 2xx (a server that ignored the range) only when the range
//     starts at 0, since only then are its first bytes the asked ones; both
//     are cut at maxBody.
//   - Any other 2xx is refused when it announces more than maxBody, and
//     when more than maxBody arrives.
//   - 502 and 503 (maintenance pages) are bounded by maxErrorBody the same
//     way; other statuses are cut at maxErrorBody (nobody reads their text).
SAnswerPlan planAnswer(const SAnswerLimits& limits, int status, std::string_view contentRange,
                       std::optional<uint64_t> announced);

} // namespace NetEx
