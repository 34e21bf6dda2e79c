// Text helpers shared by the manifest and the checker: the manifest is UTF-8,
// paths and names are wide and compared in lower case, the launcher's record
// files hold UTF-16LE. All pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// UTF-8 for a wide string (UTF-16 units where wchar_t is 2 bytes, code points
// where it is 4); unpaired surrogates become U+FFFD.
std::string utf8FromWide(std::wstring_view text);

// Decodes `units` UTF-16LE code units from `bytes`, stopping at the first zero
// unit. Surrogate pairs become one code point where wchar_t is 4 bytes.
std::wstring wideFromUtf16Le(const uint8_t* bytes, size_t units);
// Appends `text` as UTF-16LE, exactly `units` code units: cut or zero-padded.
void appendUtf16Le(std::wstring_view text, size_t units, std::vector<uint8_t>& out);

// Lower case for ASCII letters only, the same on every platform; both sides
// of every comparison go through it.
std::wstring lowerWide(std::wstring_view text);

// Decimal digits only (no sign, no blanks), at most `limit`; nullopt
// otherwise. Manifest numbers come from a server: anything else is malformed.
std::optional<uint64_t> parseDecimal(std::string_view text, uint64_t limit = UINT64_MAX);
