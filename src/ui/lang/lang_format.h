// Filling the printf-style placeholders of a language string. The strings
// come from the branding's tables, so the placeholders are only read, never
// handed to printf: a table whose placeholders do not fit the values gives
// the values after the text instead of reading memory that is not there.
// Portable.
#pragma once

#include <string>
#include <variant>
#include <vector>

using LangArg = std::variant<long long, double, std::wstring>;

// Each placeholder ("%d", "%.1f", "%s", ...) takes the next value, "%%"
// gives "%". Numbers honour the precision of "f" placeholders. When the
// number of placeholders differs from the values, or a placeholder's kind
// does not fit its value, the text is returned without its placeholders
// and the values follow it, separated by blanks.
std::wstring formatLangText(const std::wstring& format, const std::vector<LangArg>& values);
