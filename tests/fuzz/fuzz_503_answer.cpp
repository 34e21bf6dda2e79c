// libFuzzer target: any bytes as the body of a 502/503 answer, read for the
// "en" block. The page is read twice: at a fixed "now" (a time on the page may
// lie ahead and is formatted) and at the end of time (no time is ever kept).
// Both readings must agree on the title and the first line, a failure must
// leave the outputs alone, and a kept time must appear in the text.
#include "net/httx503_answer.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace {

// 2024-06-01 00:00 UTC.
constexpr uint64_t kNow = 1717200000000ULL;
constexpr uint64_t kEndOfTime = std::numeric_limits<uint64_t>::max();
// 10000-01-01 00:00 UTC: like a locale formatter, this one writes four-digit
// years only, so the failure path is reached too.
constexpr uint64_t kYear10000 = 253402300800000ULL;
constexpr char kUntouched[] = "<untouched>";

struct SReading {
    bool ok = false;
    std::string title = kUntouched;
    std::string text = kUntouched;
    bool hasTime = false;
    bool timeAsked = false; // the formatter was called
    std::string formatted;  // what it wrote
};

SReading read(const std::string& answer, uint64_t nowMs) {
    SReading r;
    const NetEx::C503TimeFormatter format = [&](uint64_t endTimeMs, std::string& text) {
        if (endTimeMs <= nowMs || r.timeAsked)
            __builtin_trap();
        r.timeAsked = true;
        if (endTimeMs >= kYear10000)
            return false;
        text = "[" + std::to_string(endTimeMs) + "]";
        r.formatted = text;
        return true;
    };
    r.ok =
        NetEx::ParseHttx503Answer(answer.c_str(), "en", nowMs, format, r.title, r.text, r.hasTime);
    return r;
}

std::string blanked(std::string text) {
    for (size_t at = text.find("\xC2\xA0"); at != std::string::npos;
         at = text.find("\xC2\xA0", at + 2))
        text.replace(at, 2, "  ");
    return text;
}

void checkUntouchedOnFailure(const SReading& r) {
    if (!r.ok && (r.title != kUntouched || r.text != kUntouched || r.hasTime))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The parser takes zero-terminated text.
    const std::string answer(reinterpret_cast<const char*>(data), size);
    const SReading now = read(answer, kNow);
    const SReading never = read(answer, kEndOfTime);
    checkUntouchedOnFailure(now);
    checkUntouchedOnFailure(never);
    if (never.ok && (never.title.empty() || never.text.empty() || never.hasTime))
        __builtin_trap();
    // Only the formatting can make the reading at kNow fail where the other
    // one succeeds.
    if (now.ok && !never.ok)
        __builtin_trap();
    if (never.ok && !now.ok && (!now.timeAsked || !now.formatted.empty()))
        __builtin_trap();
    if (!now.ok)
        return 0;
    if (now.title != never.title || now.hasTime != now.timeAsked)
        __builtin_trap();
    if (!now.hasTime) {
        if (now.text != never.text)
            __builtin_trap();
        return 0;
    }
    const std::string head = blanked(never.text) + "\n\n";
    if (now.text.compare(0, head.size(), head) != 0 ||
        now.text.find(now.formatted, head.size()) == std::string::npos ||
        now.text.find("\xC2\xA0") != std::string::npos)
        __builtin_trap();
    return 0;
}
