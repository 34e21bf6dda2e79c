#include "base/log/time_stamp.h"

#include <cstdio>

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr uint64_t kSecondsPerMinute = 60;
constexpr uint64_t kSecondsPerHour = 60 * kSecondsPerMinute;
constexpr uint64_t kSecondsPerDay = 24 * kSecondsPerHour;

struct OffsetUnit {
    uint64_t seconds;
    const char* letter;
};

// Largest first; year and month lengths are a convention of this log.
constexpr OffsetUnit kOffsetUnits[] = {
    {365 * kSecondsPerDay, "y"},
    {30 * kSecondsPerDay, "m"},
    {7 * kSecondsPerDay, "w"},
    {kSecondsPerDay, "d"},
    {kSecondsPerHour, "h"},
    {kSecondsPerMinute, "m"},
    {1, "s"},
};

uint64_t magnitudeOf(int64_t value) {
    // Through unsigned arithmetic so INT64_MIN has a magnitude too.
    return value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
}

std::string brokenDownSeconds(uint64_t seconds) {
    std::string text;
    for (const OffsetUnit& unit : kOffsetUnits) {
        const uint64_t count = seconds / unit.seconds;
        seconds %= unit.seconds;
        if (count == 0)
            continue;
        char part[48];
        std::snprintf(part, sizeof(part), "%llu %s ", static_cast<unsigned long long>(count),
                      unit.letter);
        text += part;
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

} // namespace

std::string zoneText(long long biasSeconds) {
    if (biasSeconds == 0)
        return {};
    const uint64_t magnitude = magnitudeOf(biasSeconds);
    const char sign = biasSeconds <= 0 ? '+' : '-';
    char text[64];
    std::snprintf(text, sizeof(text), "GMT%c%llu", sign,
                  static_cast<unsigned long long>(magnitude / kSecondsPerHour));
    std::string zone = text;
    const uint64_t minutes = magnitude % kSecondsPerHour / kSecondsPerMinute;
    if (minutes != 0) {
        std::snprintf(text, sizeof(text), ":%02llu", static_cast<unsigned long long>(minutes));
        zone += text;
    }
    return zone;
}

std::string clockOffsetText(int64_t offsetMs) {
    if (offsetMs == 0)
        return {};
    const uint64_t magnitude = magnitudeOf(offsetMs);
    const bool underSecond = magnitude < static_cast<uint64_t>(kMsPerSecond);
    std::string text = "[";
    text += offsetMs < 0 || underSecond ? '+' : '-';
    text += underSecond ? "0" : brokenDownSeconds(magnitude / kMsPerSecond);
    text += "]L S";
    return text;
}

std::string timeStampText(int64_t offsetMs, const std::string& zone,
                          const LogDateTime& shiftedLocal) {
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on
    // "literal" + std::string at -O3.
    std::string text = " ";
    text += clockOffsetText(offsetMs);
    text += "[";
    if (!zone.empty())
        text.append(zone).append(" ");
    char when[96];
    std::snprintf(when, sizeof(when), "%02d.%02d.%d %02d:%02d:%02d]", shiftedLocal.day,
                  shiftedLocal.month, shiftedLocal.year, shiftedLocal.hour, shiftedLocal.minute,
                  shiftedLocal.second);
    text += when;
    if (text.size() > kTimeStampMaxLength)
        text.resize(kTimeStampMaxLength);
    return text;
}

void CTimeStamp::setClockOffset(const int64_t* clockOffsetMs, long long zoneBiasSeconds) {
    pClockOffsetMs = clockOffsetMs;
    sZone = zoneText(zoneBiasSeconds);
    nMadeAtMs.reset();
}

int64_t CTimeStamp::clockOffsetMs() const {
    return pClockOffsetMs != nullptr ? *pClockOffsetMs : 0;
}

bool CTimeStamp::isCurrent(int64_t nowMs) const {
    // A clock set back makes the difference negative: rebuild then too.
    return nMadeAtMs.has_value() && nowMs >= *nMadeAtMs && nowMs - *nMadeAtMs < kMsPerSecond;
}

void CTimeStamp::rebuild(int64_t nowMs, const LogDateTime& shiftedLocal) {
    sText = timeStampText(clockOffsetMs(), sZone, shiftedLocal);
    nMadeAtMs = nowMs;
}
