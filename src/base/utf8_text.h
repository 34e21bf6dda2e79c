// UTF-8 decoding for the language tables, done by hand so the result is the
// same on every platform: std::wstring holds UTF-16 code units where wchar_t
// is 2 bytes (Windows) and code points where it is 4 bytes (Linux).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Each malformed sequence (bad lead or continuation byte, overlong form,
// surrogate code point, value above U+10FFFF, truncated tail) becomes one
// U+FFFD, and decoding goes on after it.
std::wstring wideFromUtf8(std::string_view text);

// Byte offset of the first malformed sequence; nullopt when `text` is
// well-formed UTF-8.
std::optional<size_t> findInvalidUtf8(std::string_view text);
