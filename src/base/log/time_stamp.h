// The HTTP log's time stamp: the local time shifted by the server clock
// offset, with the offset and the server's zone spelled out. The Win32 side
// (CLog::formatTimeStamp) reads the clock and breaks the time down; the text
// and its once-a-second cache live here.
#pragma once

#include "base/log/log_text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

inline constexpr size_t kTimeStampMaxLength = 63;

// "GMT%c%d" from a zone bias in seconds (the bias is subtracted from local
// time to get UTC, so -7200 is "GMT+2"); ":%02d" minutes follow when the bias
// has a minutes part ("GMT+5:30"). Empty for 0.
std::string zoneText(long long biasSeconds);

// The offset part of a stamp, empty for 0: "[", then "+" for a negative
// offset or one under a second and "-" otherwise, then "0" under a second or
// the whole seconds broken into "%d y", "%d m", "%d w", "%d d", "%d h",
// "%d m", "%d s" (non-zero parts only, blank-separated), then "]L S".
// A year counts as 365 days and a month as 30 days; weeks and below are exact.
std::string clockOffsetText(int64_t offsetMs);

// " " + clockOffsetText + "[" + zone and a blank when there is one +
// "%d.%m.%Y %H:%M:%S" of `shiftedLocal` + "]", cut to 63 characters.
std::string timeStampText(int64_t offsetMs, const std::string& zone,
                          const LogDateTime& shiftedLocal);

// The stamp record of one HTTP log. Used by the log's one thread only.
class CTimeStamp {
public:
    // Remembers where the clock offset lives (null: no offset), forgets the
    // cached text and sets the zone text. The owner of `clockOffsetMs` keeps
    // it alive for as long as this record and may change it at any time.
    void setClockOffset(const int64_t* clockOffsetMs, long long zoneBiasSeconds);
    int64_t clockOffsetMs() const;
    // Whether the text made last can be reused at `nowMs` (made less than a
    // second earlier).
    bool isCurrent(int64_t nowMs) const;
    // Rebuilds the text; `shiftedLocal` is the local time of nowMs plus the
    // clock offset.
    void rebuild(int64_t nowMs, const LogDateTime& shiftedLocal);
    const std::string& text() const { return sText; }

private:
    std::string sText;
    std::string sZone;
    std::optional<int64_t> nMadeAtMs;
    const int64_t* pClockOffsetMs = nullptr;
};
