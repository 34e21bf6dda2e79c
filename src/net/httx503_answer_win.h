// The maintenance-page reader with the end time in the user's locale.
#pragma once

#include <cstdint>
#include <string>

namespace NetEx {

// `endTimeMs` (milliseconds since 1970 UTC) in local time: the date in
// `dateFormat` (skipped when null or empty), a space, the time in `timeFormat`
// (likewise), for the locale `lcid`, at most 128 UTF-16 units, as UTF-8 (at
// most 512 bytes). False when a conversion fails or nothing was formatted.
bool FormatLocalEndTime(uint64_t endTimeMs, unsigned long lcid, const wchar_t* dateFormat,
                        const wchar_t* timeFormat, std::string& text);

// ParseHttx503Answer of httx503_answer.h against the system clock, with the
// end time formatted by FormatLocalEndTime.
bool ParseHttx503Answer(const char* answer, const char* wantedId, std::string& title,
                        std::string& text, bool& hasTime, unsigned long lcid,
                        const wchar_t* dateFormat, const wchar_t* timeFormat);

} // namespace NetEx
