#include "net/context_log_win.h"

#include "base/windows_win.h"

namespace NetEx {

namespace {

constexpr unsigned char kUtf8Bom[] = {0xEF, 0xBB, 0xBF};
// An empty plain file, or an enciphered one holding just the new record's
// header: nothing was logged yet.
constexpr uint64_t kEmptyRecordSize = 8;
constexpr DWORD kMaxMessageLength = 2048;

std::string systemMessage(uint32_t code) {
    char text[kMaxMessageLength] = {};
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
        ::GetModuleHandleA("wininet.dll"), code, 0, text, kMaxMessageLength, nullptr);
    return std::string(text, length);
}

} // namespace

uint32_t CContextLog::open(const SNetLogSettings& settings, const std::string& name,
                           const int64_t* clockOffsetMs, uint32_t zoneBias) {
    const std::string path = settings.folder + httpLogFileName(::GetCurrentProcessId(), name);
    nMaxBlock = settings.maxBlockSize;
    log.setMaxBlock(nMaxBlock);
    log.setFlushOnEmptyLines(settings.flushEachEntry != 0);
    if (!log.openCiphered(path.c_str(), settings.key.GetData(), settings.key.GetLength(),
                          settings.bufferSize)) {
        const DWORD error = ::GetLastError();
        return error != 0 ? error : ERROR_OPEN_FAILED;
    }
    setClockOffset(clockOffsetMs, zoneBias);
    const std::optional<uint64_t> size = log.fileSize();
    if (size && (*size == 0 || *size == kEmptyRecordSize))
        log.write(kUtf8Bom, sizeof(kUtf8Bom));
    return 0;
}

void CContextLog::setClockOffset(const int64_t* clockOffsetMs, uint32_t zoneBias) {
    // The flag travels as a 32-bit LPARAM: a negative bias arrives wrapped.
    log.setClockOffset(clockOffsetMs, static_cast<int32_t>(zoneBias));
}

void CContextLog::writeEntry(const SLogEntry& entry) {
    log.writeHeaderLine(entry.title.data(), entry.title.size());
    for (const std::string& piece : entry.pieces)
        log.write(piece.data(), piece.size());
    log.writeEmptyLines();
}

void CContextLog::writeTitle(const std::string& title) {
    log.writeHeaderLine(title.data(), title.size());
}

void CContextLog::writeError(uint32_t code) {
    if (code == 0)
        return;
    const std::vector<std::string> pieces = errorPieces(code, systemMessage(code));
    if (pieces.empty())
        return;
    for (const std::string& piece : pieces)
        log.write(piece.data(), piece.size());
    log.writeEmptyLines();
}

void CContextLog::writeSeparator() {
    log.writeHeaderLine(nullptr, 0);
}

} // namespace NetEx
