// libFuzzer target: any bytes as a captured response head of a package
// range, judged the way the downloader judges it. A Content-Range value that
// reads must be consistent (first <= last < complete) and read back the same
// when written again; a 206 is accepted exactly when it starts at the asked
// byte, and an accepted range answer is never read past the asked bytes.
#include "net/answer_rules.h"
#include "net/download/download_rules.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace NetEx;

constexpr size_t kMaxHead = 64 * 1024;
constexpr uint64_t kAsked = 5001;

std::string written(const SContentRange& range) {
    return "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
           (range.complete ? std::to_string(*range.complete) : std::string("*"));
}

bool sameRange(const SContentRange& a, const SContentRange& b) {
    return a.first == b.first && a.last == b.last && a.complete == b.complete;
}

void checkJudgement(const std::string& value, uint64_t start, bool accepted) {
    SAnswerLimits limits;
    limits.range = true;
    limits.rangeStart = start;
    limits.maxBody = kAsked;
    const SAnswerPlan plan = planAnswer(limits, 206, value, std::nullopt);
    if ((plan.verdict == EAnswerVerdict::eAccept) != accepted)
        __builtin_trap();
    if (accepted && (plan.readLimit != kAsked || plan.overLimitRefuses))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxHead)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The value alone, and the value as a head's header.
    const std::optional<std::string> fromHead = headerValue(bytes, "Content-Range");
    for (const std::string& value : {std::string(bytes), fromHead.value_or(std::string())}) {
        const std::optional<SContentRange> range = parseContentRange(value);
        if (!range) {
            checkJudgement(value, 0, false);
            continue;
        }
        if (range->first > range->last || (range->complete && range->last >= *range->complete))
            __builtin_trap();
        const std::optional<SContentRange> again = parseContentRange(written(*range));
        if (!again || !sameRange(*range, *again))
            __builtin_trap();
        checkJudgement(value, range->first, true);
        checkJudgement(value, range->first + 1, false);
    }
    return 0;
}
