#include "net/answer_rules.h"

#include <climits>

namespace NetEx {

namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kByteUnit = "bytes";

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool startsWithUnit(std::string_view text) {
    if (text.size() < kByteUnit.size())
        return false;
    for (size_t i = 0; i < kByteUnit.size(); ++i) {
        const char c =
            text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != kByteUnit[i])
            return false;
    }
    return true;
}

// Reads the decimal number at the start of `text` and moves past it; at
// least one digit, nothing beyond 64 bits.
std::optional<uint64_t> takeNumber(std::string_view& text) {
    size_t used = 0;
    uint64_t value = 0;
    for (; used < text.size() && text[used] >= '0' && text[used] <= '9'; ++used) {
        const auto digit = static_cast<uint64_t>(text[used] - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    if (used == 0)
        return std::nullopt;
    text.remove_prefix(used);
    return value;
}

bool takeChar(std::string_view& text, char wanted) {
    if (text.empty() || text.front() != wanted)
        return false;
    text.remove_prefix(1);
    return true;
}

SAnswerPlan refused(EAnswerVerdict verdict) {
    SAnswerPlan plan;
    plan.verdict = verdict;
    return plan;
}

// The first `cap` bytes are the answer; the rest is never read.
SAnswerPlan cutAt(uint64_t cap) {
    SAnswerPlan plan;
    plan.readLimit = cap;
    return plan;
}

// A body longer than `cap` is refused: before reading when its length is
// announced, else as soon as one byte more than `cap` has arrived.
SAnswerPlan boundedBy(uint64_t cap, std::optional<uint64_t> announced) {
    if (cap == 0)
        return {};
    if (announced && *announced > cap)
        return refused(EAnswerVerdict::eTooLarge);
    SAnswerPlan plan;
    plan.readLimit = cap == UINT64_MAX ? cap : cap + 1;
    plan.overLimitRefuses = true;
    return plan;
}

bool isMaintenancePage(int status) {
    return status == 502 || status == 503;
}

} // namespace

std::optional<SContentRange> parseContentRange(std::string_view text) {
    text = trimmed(text);
    if (!startsWithUnit(text))
        return std::nullopt;
    text.remove_prefix(kByteUnit.size());
    const size_t blanks = text.find_first_not_of(kBlanks);
    if (blanks == 0 || blanks == std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(blanks);
    SContentRange range;
    const std::optional<uint64_t> first = takeNumber(text);
    if (!first || !takeChar(text, '-'))
        return std::nullopt;
    const std::optional<uint64_t> last = takeNumber(text);
    if (!last || !takeChar(text, '/'))
        return std::nullopt;
    if (!takeChar(text, '*')) {
        range.complete = takeNumber(text);
        if (!range.complete)
            return std::nullopt;
    }
    if (!text.empty() || *first > *last || (range.complete && *last >= *range.complete))
        return std::nullopt;
    range.first = *first;
    range.last = *last;
    return range;
}

SAnswerPlan planAnswer(const SAnswerLimits& limits, int status, std::string_view contentRange,
                       std::optional<uint64_t> announced) {
    if (status < 100 || status > 599)
        return refused(EAnswerVerdict::eNoStatus);
    if (status < 200 || status > 299) {
        return isMaintenancePage(status) ? boundedBy(limits.maxErrorBody, announced)
                                         : cutAt(limits.maxErrorBody);
    }
    if (!limits.range)
        return boundedBy(limits.maxBody, announced);
    if (status == 206) {
        const std::optional<SContentRange> range = parseContentRange(contentRange);
        if (!range || range->first != limits.rangeStart)
            return refused(EAnswerVerdict::eWrongRange);
    } else if (limits.rangeStart != 0) {
        return refused(EAnswerVerdict::eWholeBody);
    }
    return cutAt(limits.maxBody);
}

} // namespace NetEx
