// GCC 12 reports std::function members inside <regex> as maybe
// uninitialized at -O2 (a false positive of its inliner); this file holds
// nothing but the one regex call, so the warning is off for it alone.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "net/log_mask.h"

#include <regex>

namespace NetEx {

namespace {

constexpr char kMaskFailedText[] = "(body hidden: the log mask pattern is invalid)";

} // namespace

std::string maskLogText(const std::string& text, const std::string& pattern,
                        const std::string& replacement, unsigned maxBlock) {
    const std::string input =
        maxBlock != 0 && text.size() > maxBlock ? text.substr(0, size_t{maxBlock} + 1) : text;
    try {
        const std::regex expression(pattern, std::regex::ECMAScript);
        return std::regex_replace(input, expression, replacement);
    } catch (const std::exception&) {
        return kMaskFailedText;
    }
}

} // namespace NetEx
