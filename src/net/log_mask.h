// Masking of body text before it goes into the HTTP log (passwords, tokens):
// an ECMAScript regular expression replaced by a fixed text.
#pragma once

#include <string>

namespace NetEx {

// `text` with every match of `pattern` replaced (ECMAScript replacement
// syntax), over at most maxBlock + 1 bytes when maxBlock is not 0 (the log
// cuts there anyway, and the regex engine recurses per character). A
// pattern that does not compile hides the text instead of logging it
// unmasked.
std::string maskLogText(const std::string& text, const std::string& pattern,
                        const std::string& replacement, unsigned maxBlock);

} // namespace NetEx
