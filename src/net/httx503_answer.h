// The maintenance page that update servers send with a 502 or 503 answer: an
// XHTML document with a title, a message and, optionally, the end of the
// maintenance. Portable: the local-time formatting comes from the caller
// (httx503_answer_win.h on Windows).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace NetEx {

// Formats an end time (milliseconds since 1970-01-01 UTC) as the user's local
// date and time, UTF-8. False when it cannot.
using C503TimeFormatter = std::function<bool(uint64_t endTimeMs, std::string& text)>;

// Reads `answer` (zero-terminated) for the language block whose id is
// `wantedId`. On success `title` is its title and `text` its first line; when
// the page announces an end time later than `nowMs`, `text` continues with a
// blank line and the second line with the formatted time in its place, and
// `hasTime` is set. False (outputs untouched) when either argument is null or
// empty, the answer is not well-formed XML (a plain HTML error page), the
// block lacks its title or first line, or the time cannot be formatted: the
// caller then shows its own texts.
bool ParseHttx503Answer(const char* answer, const char* wantedId, uint64_t nowMs,
                        const C503TimeFormatter& formatTime, std::string& title, std::string& text,
                        bool& hasTime);

// A UTC date and time as milliseconds since 1970-01-01; 0 when a field is out
// of range (month 1-12, a day of that month, hour 0-23, minute 0-59, year
// 1970-30827) or the moment lies before 1970.
uint64_t UtcToUnixMs(int year, int month, int day, int hour, int minute);

} // namespace NetEx
