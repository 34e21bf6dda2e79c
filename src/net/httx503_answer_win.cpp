#include "net/httx503_answer_win.h"

#include "base/windows_win.h"
#include "net/httx503_answer.h"

namespace NetEx {

namespace {

constexpr size_t kMaxWideText = 128;
constexpr int kMaxUtf8Text = 512;
// FILETIME counts 100 ns from 1601-01-01; these are milliseconds to 1970.
constexpr uint64_t kEpochOffsetMs = 11644473600000ULL;
constexpr uint64_t kTicksPerMs = 10000;

bool hasText(const wchar_t* format) {
    return format != nullptr && *format != L'\0';
}

bool toLocalTime(uint64_t unixMs, SYSTEMTIME& local) {
    if (unixMs > UINT64_MAX / kTicksPerMs - kEpochOffsetMs)
        return false;
    ULARGE_INTEGER ticks{};
    ticks.QuadPart = (unixMs + kEpochOffsetMs) * kTicksPerMs;
    const FILETIME fileTime{ticks.LowPart, ticks.HighPart};
    SYSTEMTIME utc{};
    return ::FileTimeToSystemTime(&fileTime, &utc) &&
           ::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
}

uint64_t currentUnixMs() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    return ticks.QuadPart / kTicksPerMs - kEpochOffsetMs;
}

} // namespace

bool FormatLocalEndTime(uint64_t endTimeMs, unsigned long lcid, const wchar_t* dateFormat,
                        const wchar_t* timeFormat, std::string& text) {
    SYSTEMTIME local{};
    if (!toLocalTime(endTimeMs, local))
        return false;
    wchar_t wide[kMaxWideText] = {};
    size_t used = 0;
    if (hasText(dateFormat)) {
        const int written = ::GetDateFormatW(lcid, 0, &local, dateFormat, wide, kMaxWideText);
        if (written <= 0)
            return false;
        used = static_cast<size_t>(written) - 1;
    }
    if (hasText(timeFormat)) {
        if (used != 0)
            wide[used++] = L' ';
        // A zero room would make the call report the size it needs instead.
        if (used + 1 >= kMaxWideText)
            return false;
        const int written = ::GetTimeFormatW(lcid, 0, &local, timeFormat, wide + used,
                                             static_cast<int>(kMaxWideText - used));
        if (written <= 0)
            return false;
        used += static_cast<size_t>(written) - 1;
    }
    if (used == 0)
        return false;
    char utf8[kMaxUtf8Text];
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(used), utf8,
                                            kMaxUtf8Text, nullptr, nullptr);
    if (bytes <= 0)
        return false;
    text.assign(utf8, static_cast<size_t>(bytes));
    return true;
}

bool ParseHttx503Answer(const char* answer, const char* wantedId, std::string& title,
                        std::string& text, bool& hasTime, unsigned long lcid,
                        const wchar_t* dateFormat, const wchar_t* timeFormat) {
    const C503TimeFormatter format = [&](uint64_t endTimeMs, std::string& formatted) {
        return FormatLocalEndTime(endTimeMs, lcid, dateFormat, timeFormat, formatted);
    };
    return ParseHttx503Answer(answer, wantedId, currentUnixMs(), format, title, text, hasTime);
}

} // namespace NetEx
