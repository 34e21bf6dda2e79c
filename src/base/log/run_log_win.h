// The run log: one text file per run beside the launcher (the assistant
// keeps its own). Written from the GUI thread and, through g_pLog and the
// logic object, from worker threads without a lock: each write is one or two
// file writes, so lines of different threads may interleave.
#pragma once

#include "base/scoped_handle_win.h"

// No base class; the virtual slots keep this order.
class CLogImplW {
public:
    // Starts closed, not muted, flushing after every write, writing the
    // UTF-16LE code units as they are. No byte-order mark is ever written.
    CLogImplW() = default;
    CLogImplW(const CLogImplW&) = delete;
    CLogImplW& operator=(const CLogImplW&) = delete;
    // Closes the file.
    virtual ~CLogImplW();

    // Creates or opens the file (read/write, others may read) and empties it.
    // Fails for a null path or when a file is already open.
    virtual bool open(const wchar_t* path);
    virtual bool close();
    virtual bool isOpen();
    // File pointer to 0 and the end of the file there.
    virtual bool truncate();

    // Every write below returns false when closed, true without writing when
    // muted, and flushes after a successful write in flush mode.

    // `text` centred in a line of 80 "=" (see bannerLine in log_text.h).
    virtual bool writeBanner(const wchar_t* text, bool lineEnd);
    // 80 "=" and a line end.
    virtual bool writeSeparator();
    // The text (null writes nothing), then "\r\n" when asked.
    virtual bool write(const wchar_t* text, bool lineEnd);
    // The local time as "%d/%d/%d -- %02d:%02d:%02d  :", no line end.
    virtual bool writeTimePrefix();
    // The local time "%d/%d/%d -- %02d:%02d:%02d" through writeBanner, with a
    // line end.
    virtual bool writeTimeBanner();
    // `count` line ends; only 1 to 10 are accepted, anything else is false.
    virtual bool writeNewLines(int count);
    // The set* calls return whether the value changed.
    virtual bool setMuted(bool muted);
    virtual bool isMuted();
    virtual bool setFlush(bool flush);
    virtual bool setUtf8(bool utf8);
    // `byteCount` bytes of the UTF-16 text; in UTF-8 mode the whole
    // zero-terminated text is converted and written instead and the count is
    // not used.
    virtual bool writeRaw(unsigned byteCount, const wchar_t* text);

private:
    // isOpen, then isMuted: false when the write is settled with `result`.
    bool mayWrite(bool& result);
    bool writeUnits(const wchar_t* text, size_t units);
    bool writeBytes(const void* bytes, size_t count);
    bool writeLineEnds(int count);
    bool finishWrite(bool written);

    CFile file;
    bool bMuted = false;
    bool bFlush = true;
    bool bUtf8 = false;
};

// The run log of this process, set by the entry point for code that has no
// logic object at hand (null before and after). Not owned.
extern CLogImplW* g_pLog;
