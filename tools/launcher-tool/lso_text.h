// The studio's text form of a language table and the ".lso" bytes the
// launcher reads.
//
// Text form (UTF-8, an optional byte-order mark, LF or CRLF line ends):
//   # a comment line
//   000<TAB>
//   001<TAB>Skyreach
//   070<TAB>You don't have rights\nto write to selected folder
// One entry per line: the decimal index (leading zeros allowed), one tab,
// the text. Escapes: \n line feed, \r carriage return, \t tab, \\ backslash,
// \xHH any other byte below 0x20 or 0x7F. Raw tabs and other control
// characters are not allowed in a text. Blank lines and lines starting with
// "#" are skipped. Entries may come in any order, but every index from 0 to
// the highest must be there exactly once, and the texts must be UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Highest index the text form accepts; tables are around 120 entries.
inline constexpr uint32_t kLsoMaxIndex = 99999;

// False with "line N: reason" (or a table-wide reason) in `error`.
bool parseLsoText(std::string_view text, std::vector<std::string>& entries, std::string& error);

// One line per entry, the index written with at least three digits; the
// parser reads it back to the same entries. False when an entry is not
// UTF-8.
bool formatLsoText(const std::vector<std::string>& entries, std::string& text, std::string& error);

// count, reserved 0, then length + bytes per entry, little-endian.
std::vector<uint8_t> encodeLso(const std::vector<std::string>& entries);

// Reads the table as the launcher does; false with a reason when it would
// refuse it.
bool decodeLso(const std::vector<uint8_t>& bytes, std::vector<std::string>& entries,
               std::string& error);
