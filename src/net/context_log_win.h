// The HTTP log of one transport context: a CCypherLog file named after the
// process and the context, enciphered when the settings carry a key, plain
// text otherwise. Written by the transport thread only; owned by its context.
#pragma once

#include "base/log/cypher_log_win.h"
#include "net/http_log_text.h"
#include "net/net_records.h"

#include <cstdint>
#include <string>

namespace NetEx {

class CContextLog {
public:
    // Opens settings.folder + httpLogFileName(pid, name). `clockOffsetMs`
    // (the transport's log time base) must outlive this log. Returns 0, or
    // the system error code of the failed opening.
    uint32_t open(const SNetLogSettings& settings, const std::string& name,
                  const int64_t* clockOffsetMs, uint32_t zoneBias);
    // The time stamps follow the transport's eNetMsg_SetLogTime values.
    void setClockOffset(const int64_t* clockOffsetMs, uint32_t zoneBias);

    void writeEntry(const SLogEntry& entry);
    // A title line alone, without value lines or the empty line.
    void writeTitle(const std::string& title);
    // The error lines of a code (nothing for 0), with the system's message.
    void writeError(uint32_t code);
    // A line of fill characters and the time stamp.
    void writeSeparator();
    // The settings' cut for single writes (0: none).
    unsigned maxBlock() const { return nMaxBlock; }

private:
    CCypherLog log;
    unsigned nMaxBlock = 0;
};

} // namespace NetEx
