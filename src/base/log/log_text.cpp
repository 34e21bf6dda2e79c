#include "base/log/log_text.h"

#include "base/utf8_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

constexpr size_t kLongTextFrame = 3;
constexpr int64_t kShortestFiller = 3;

} // namespace

std::wstring bannerLine(const std::wstring& text) {
    const size_t n = text.size();
    if (n > kRunLogLongestCentredText) {
        std::wstring line(kLongTextFrame, L'=');
        line.append(1, L' ').append(text).append(1, L' ').append(kLongTextFrame, L'=');
        return line;
    }
    const size_t blank = (kRunLogLineWidth - 2 - n) / 2;
    std::wstring line(kRunLogLineWidth, L'=');
    line[blank] = L' ';
    line.replace(blank + 1, n, text);
    line[blank + 1 + n] = L' ';
    return line;
}

std::wstring separatorLine() {
    return std::wstring(kRunLogLineWidth, L'=');
}

std::wstring dateTimeText(const LogDateTime& t) {
    char text[96];
    std::snprintf(text, sizeof(text), "%d/%d/%d -- %02d:%02d:%02d", t.day, t.month, t.year, t.hour,
                  t.minute, t.second);
    return wideFromUtf8(text);
}

std::wstring timePrefixText(const LogDateTime& t) {
    return dateTimeText(t) + L"  :";
}

bool isAcceptedNewLineCount(int count) {
    return count >= 1 && count <= 10;
}

size_t cappedWriteLength(size_t length, unsigned maxBlock) {
    return maxBlock != 0 && length > maxBlock ? maxBlock : length;
}

std::string headerFillerSource(char fillChar, int width) {
    std::string source = " ";
    source.append(static_cast<size_t>(std::max(width, 0)), fillChar);
    return source;
}

std::string headerLineTail(size_t textLength, const std::string& stamp,
                           const std::string& fillerSource, int lineWidth) {
    const int64_t wanted = static_cast<int64_t>(lineWidth) - static_cast<int64_t>(stamp.size()) -
                           static_cast<int64_t>(std::min<size_t>(textLength, INT32_MAX));
    const size_t start = textLength == 0 ? 1 : 0;
    const size_t available = fillerSource.size() > start ? fillerSource.size() - start : 0;
    const size_t fillerLength =
        std::min(static_cast<size_t>(std::max(wanted, kShortestFiller)), available);
    std::string tail;
    if (fillerLength > 0)
        tail.assign(fillerSource, start, fillerLength);
    tail += stamp;
    tail += "\r\n";
    return tail;
}
