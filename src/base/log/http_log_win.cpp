#include "base/log/http_log_win.h"

#include "base/log/log_file_io_win.h"
#include "base/log/log_text.h"

#include <cstdio>

namespace {

constexpr int kRotateAttempts = 100;
// FILETIME counts 100 ns steps from 1601-01-01; the stamps count ms from 1970.
constexpr int64_t kEpochDifferenceMs = 11644473600000LL;
constexpr int64_t kFileTimeStepsPerMs = 10000;

int64_t unixNowMs() {
    FILETIME ft{};
    ::GetSystemTimeAsFileTime(&ft);
    const uint64_t steps = static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
    return static_cast<int64_t>(steps / kFileTimeStepsPerMs) - kEpochDifferenceMs;
}

LogDateTime fromSystemTime(const SYSTEMTIME& st) {
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

// The local time of a moment in ms since 1970; the current local time when
// the moment cannot be represented (a wild clock offset).
LogDateTime localTimeOf(int64_t unixMs) {
    SYSTEMTIME local{};
    const int64_t maxMs = INT64_MAX / kFileTimeStepsPerMs - kEpochDifferenceMs;
    if (unixMs >= -kEpochDifferenceMs && unixMs <= maxMs) {
        const uint64_t steps =
            static_cast<uint64_t>(unixMs + kEpochDifferenceMs) * kFileTimeStepsPerMs;
        FILETIME ft{static_cast<DWORD>(steps), static_cast<DWORD>(steps >> 32)};
        SYSTEMTIME utc{};
        if (::FileTimeToSystemTime(&ft, &utc) &&
            ::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
            return fromSystemTime(local);
    }
    ::GetLocalTime(&local);
    return fromSystemTime(local);
}

int64_t shiftedBy(int64_t nowMs, int64_t offsetMs) {
    int64_t shifted = 0;
    return __builtin_add_overflow(nowMs, offsetMs, &shifted) ? nowMs : shifted;
}

} // namespace

CLog::CLog() : sFiller(headerFillerSource(chFill, nLineWidth)) {}

CLog::~CLog() {
    close();
}

bool CLog::write(const void* bytes, size_t length) {
    if (!file.isOpen())
        return false;
    const size_t n = cappedWriteLength(length, nMaxBlock);
    if (!writeAllBytes(file.get(), bytes, n))
        return false;
    return n == length ||
           writeAllBytes(file.get(), kBlockTooLargeMarker, kBlockTooLargeMarkerLength);
}

bool CLog::rotate() {
    if (!file.isOpen() || sPath.empty())
        return false;
    const std::optional<uint64_t> size = fileSize();
    if (!size)
        return false;
    if (*size == 0)
        return true;
    file.close();
    const std::wstring path = wideFromAnsi(sPath);
    for (int i = 0; i < kRotateAttempts; ++i) {
        char suffix[8];
        std::snprintf(suffix, sizeof(suffix), ".%03d", i);
        // MoveFileW refuses an existing target, which skips used numbers.
        if (::MoveFileW(path.c_str(), wideFromAnsi(sPath + suffix).c_str()))
            break;
    }
    return openFile(path, GENERIC_READ | GENERIC_WRITE);
}

bool CLog::open(const char* path) {
    if (file.isOpen() || path == nullptr || *path == '\0')
        return false;
    sPath = path;
    const size_t separator = sPath.find_last_of("\\/");
    if (separator != std::string::npos) {
        sFolder = sPath.substr(0, separator + 1);
        if (separator > 0)
            ::CreateDirectoryW(wideFromAnsi(sPath.substr(0, separator)).c_str(), nullptr);
    }
    return openFile(wideFromAnsi(sPath), GENERIC_READ | GENERIC_WRITE);
}

bool CLog::openW(const wchar_t* path) {
    if (file.isOpen() || path == nullptr || *path == L'\0')
        return false;
    const std::wstring widePath = path;
    const size_t separator = widePath.find_last_of(L"\\/");
    if (separator != std::wstring::npos) {
        sFolderW = widePath.substr(0, separator + 1);
        if (separator > 0)
            ::CreateDirectoryW(widePath.substr(0, separator).c_str(), nullptr);
    }
    return openFile(widePath, GENERIC_WRITE);
}

bool CLog::close() {
    sFolderW.clear();
    return file.close();
}

bool CLog::writeHeaderLine(const char* text, size_t length) {
    if (!file.isOpen())
        return false;
    const size_t textLength = text != nullptr ? length : 0;
    if (textLength > 0 && !write(text, textLength))
        return false;
    const std::string tail = headerLineTail(textLength, formatTimeStamp(), sFiller, nLineWidth);
    return write(tail.data(), tail.size());
}

bool CLog::writeNumberLine(long long value) {
    const std::string line = std::to_string(value) + "\r\n";
    return write(line.data(), line.size());
}

bool CLog::writeEmptyLines() {
    std::string lines;
    for (int i = 0; i < nEmptyLines; ++i)
        lines += "\r\n";
    const bool ok = write(lines.data(), lines.size());
    if (ok && bFlushOnEmptyLines)
        ::FlushFileBuffers(file.get());
    return ok;
}

void CLog::setClockOffset(const int64_t* clockOffsetMs, long long zoneBiasSeconds) {
    if (!pTimeStamp)
        pTimeStamp = std::make_unique<CTimeStamp>();
    pTimeStamp->setClockOffset(clockOffsetMs, zoneBiasSeconds);
}

const std::string& CLog::formatTimeStamp() {
    if (!pTimeStamp)
        pTimeStamp = std::make_unique<CTimeStamp>();
    const int64_t now = unixNowMs();
    if (!pTimeStamp->isCurrent(now))
        pTimeStamp->rebuild(now, localTimeOf(shiftedBy(now, pTimeStamp->clockOffsetMs())));
    return pTimeStamp->text();
}

std::optional<uint64_t> CLog::fileSize() const {
    if (!file.isOpen())
        return std::nullopt;
    return fileSizeOf(file.get());
}

bool CLog::openFile(const std::wstring& path, DWORD access) {
    file.reset(::CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.isOpen() && !seekToEnd(file.get()))
        file.close();
    return file.isOpen();
}
