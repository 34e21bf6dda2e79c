// The networking layer's HTTP log: an append-only file with 90-column header
// lines whose time stamps carry the server clock offset. Written by the
// networking thread only; owned, opened once, closed and destroyed by its
// owner (the transport's context).
#pragma once

#include "base/log/time_stamp.h"
#include "base/scoped_handle_win.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// No base class; the virtual slots keep this order.
class CLog {
public:
    CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;
    // Closes the file.
    virtual ~CLog();

    // Writes `length` bytes; with a block limit set and exceeded, only the
    // limit and then " ...block is too large...". False when closed.
    virtual bool write(const void* bytes, size_t length);
    // Moves a non-empty file aside to the first free "%s.%03d" (000 to 099)
    // and starts the path anew; an empty file is kept. Only for a file opened
    // by narrow path.
    virtual bool rotate();
    // Only when closed: creates the folder of `path` (one level, errors
    // ignored), opens the file for reading and appending (created if missing,
    // others may read). The path is in the ANSI code page.
    virtual bool open(const char* path);
    // The same with a wide path, for appending only.
    virtual bool openW(const wchar_t* path);
    virtual bool close();

    // The text (may be null), a filler and the time stamp: a line exactly
    // 90 columns wide unless the text is too long for a 3-character filler.
    bool writeHeaderLine(const char* text, size_t length);
    // The signed decimal number and a line end.
    bool writeNumberLine(long long value);
    // One line end, then a flush unless switched off.
    bool writeEmptyLines();
    // `clockOffsetMs` (milliseconds added to the local clock in the stamps;
    // may be null) stays owned by the caller and must outlive this log.
    // `zoneBiasSeconds` names the server's zone ("GMT+2" for -7200).
    void setClockOffset(const int64_t* clockOffsetMs, long long zoneBiasSeconds);
    // The stamp text, rebuilt at most once a second.
    const std::string& formatTimeStamp();

    bool isOpen() const { return file.isOpen(); }
    std::optional<uint64_t> fileSize() const;
    // 0 means no limit.
    void setMaxBlock(unsigned maxBlock) { nMaxBlock = maxBlock; }
    void setFlushOnEmptyLines(bool flush) { bFlushOnEmptyLines = flush; }

protected:
    HANDLE handle() const { return file.get(); }
    unsigned maxBlock() const { return nMaxBlock; }

private:
    bool openFile(const std::wstring& path, DWORD access);

    CFile file;
    std::wstring sFolderW; // folder of the file when opened by wide path
    std::string sFolder;   // folder of the file when opened by narrow path
    std::string sPath;     // the narrow path given to open
    bool bFlushOnEmptyLines = true;
    char chFill = '=';
    int nLineWidth = 90;
    std::string sFiller; // one blank, then nLineWidth fill characters
    int nEmptyLines = 1;
    unsigned nMaxBlock = 0;
    std::unique_ptr<CTimeStamp> pTimeStamp; // made on first use
};
