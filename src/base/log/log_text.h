// The texts both log writers put into their files, built without the system
// so the exact bytes can be checked natively. The Win32 writers
// (run_log_win.h, http_log_win.h) only add the clock and the file.
#pragma once

#include <cstddef>
#include <string>

// A broken-down local date and time as the system reports it (month and day
// counted from 1, four-digit year).
struct LogDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Width of the run log's banner and separator lines.
inline constexpr size_t kRunLogLineWidth = 80;
// Longest text that is centred; longer ones get "=== text ===".
inline constexpr size_t kRunLogLongestCentredText = 75;

// `text` centred in a line of 80 "=" with one blank on each side: the blank
// before the text sits at (78 - n) / 2. Texts over 75 characters give
// "=== " + text + " ===" instead. No line end.
std::wstring bannerLine(const std::wstring& text);

// 80 "=", no line end.
std::wstring separatorLine();

// "%d/%d/%d -- %02d:%02d:%02d": day/month/year -- hours:minutes:seconds.
std::wstring dateTimeText(const LogDateTime& t);

// The run log's line prefix: dateTimeText + "  :".
std::wstring timePrefixText(const LogDateTime& t);

// writeNewLines takes 1 to 10 line ends; anything else is refused.
bool isAcceptedNewLineCount(int count);

// The HTTP log's cut for oversized writes and the marker that follows the cut.
inline constexpr char kBlockTooLargeMarker[] = " ...block is too large...";
inline constexpr size_t kBlockTooLargeMarkerLength = sizeof(kBlockTooLargeMarker) - 1;

// How many of `length` bytes one write passes on; maxBlock 0 means no limit.
size_t cappedWriteLength(size_t length, unsigned maxBlock);

// The HTTP log's header filler source: one blank, then `width` fill characters.
std::string headerFillerSource(char fillChar, int width);

// What follows the text of an HTTP log header line, line end included: a
// filler run taken from `fillerSource` (from its start when there is a text,
// so it begins with a blank, from its second character otherwise) of
// lineWidth - stamp length - text length characters but at least 3, then the
// stamp and "\r\n". The run never reaches past the end of `fillerSource`.
std::string headerLineTail(size_t textLength, const std::string& stamp,
                           const std::string& fillerSource, int lineWidth);
