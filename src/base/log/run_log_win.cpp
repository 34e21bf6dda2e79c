#include "base/log/run_log_win.h"

#include "base/log/log_file_io_win.h"
#include "base/log/log_text.h"

#include <cwchar>
#include <string>

CLogImplW* g_pLog = nullptr;

namespace {

LogDateTime localNow() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::wstring lineEnds(int count) {
    std::wstring text;
    for (int i = 0; i < count; ++i)
        text += L"\r\n";
    return text;
}

} // namespace

CLogImplW::~CLogImplW() = default;

bool CLogImplW::open(const wchar_t* path) {
    if (path == nullptr || file.isOpen())
        return false;
    file.reset(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.isOpen() && truncate();
}

bool CLogImplW::close() {
    return file.close();
}

bool CLogImplW::isOpen() {
    return file.isOpen();
}

bool CLogImplW::truncate() {
    if (!file.isOpen())
        return false;
    LARGE_INTEGER zero{};
    return ::SetFilePointerEx(file.get(), zero, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.get());
}

bool CLogImplW::writeBanner(const wchar_t* text, bool lineEnd) {
    return write(bannerLine(text != nullptr ? text : L"").c_str(), lineEnd);
}

bool CLogImplW::writeSeparator() {
    return write(separatorLine().c_str(), true);
}

bool CLogImplW::write(const wchar_t* text, bool lineEnd) {
    bool result = false;
    if (!mayWrite(result))
        return result;
    bool ok = text == nullptr || writeUnits(text, std::wcslen(text));
    if (ok && lineEnd)
        ok = writeLineEnds(1);
    return finishWrite(ok);
}

bool CLogImplW::writeTimePrefix() {
    return write(timePrefixText(localNow()).c_str(), false);
}

bool CLogImplW::writeTimeBanner() {
    return writeBanner(dateTimeText(localNow()).c_str(), true);
}

bool CLogImplW::writeNewLines(int count) {
    if (!isAcceptedNewLineCount(count))
        return false;
    bool result = false;
    if (!mayWrite(result))
        return result;
    return finishWrite(writeLineEnds(count));
}

bool CLogImplW::setMuted(bool muted) {
    const bool changed = bMuted != muted;
    bMuted = muted;
    return changed;
}

bool CLogImplW::isMuted() {
    return bMuted;
}

bool CLogImplW::setFlush(bool flush) {
    const bool changed = bFlush != flush;
    bFlush = flush;
    return changed;
}

bool CLogImplW::setUtf8(bool utf8) {
    const bool changed = bUtf8 != utf8;
    bUtf8 = utf8;
    return changed;
}

bool CLogImplW::writeRaw(unsigned byteCount, const wchar_t* text) {
    bool result = false;
    if (!mayWrite(result))
        return result;
    if (text == nullptr)
        return false;
    const bool ok = bUtf8 ? writeUnits(text, std::wcslen(text)) : writeBytes(text, byteCount);
    return finishWrite(ok);
}

bool CLogImplW::mayWrite(bool& result) {
    if (!isOpen()) {
        result = false;
        return false;
    }
    if (isMuted()) {
        result = true;
        return false;
    }
    return true;
}

bool CLogImplW::writeUnits(const wchar_t* text, size_t units) {
    if (!bUtf8)
        return writeBytes(text, units * sizeof(wchar_t));
    const std::optional<std::string> utf8 = utf8FromWide(text, units);
    return utf8 && writeBytes(utf8->data(), utf8->size());
}

bool CLogImplW::writeBytes(const void* bytes, size_t count) {
    return writeAllBytes(file.get(), bytes, count);
}

bool CLogImplW::writeLineEnds(int count) {
    const std::wstring text = lineEnds(count);
    return writeUnits(text.c_str(), text.size());
}

bool CLogImplW::finishWrite(bool written) {
    if (written && bFlush)
        ::FlushFileBuffers(file.get());
    return written;
}
