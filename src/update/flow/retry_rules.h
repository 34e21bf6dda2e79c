// The fixed parts of the retry ladder: which timer retries which request,
// how attempts are counted, and the texts it logs. Portable.
#pragma once

#include <string>

// One-shot retry timers of the logic's window, one per request kind.
enum ERetryTimer : unsigned {
    eRetryTimer_ServerList = 2222,
    eRetryTimer_License = 2223,
    eRetryTimer_Manifest = 2224,
    eRetryTimer_Part = 2225,
};
inline constexpr unsigned kRetryDelayMs = 1000;

// What a box is about (the retry box's reason names the request to repeat).
enum EMsgReason : int {
    eMsgReason_None = 0,
    eMsgReason_ServerPrompt = 2,
    eMsgReason_DiskSpace = 3,
    eMsgReason_License = 5,
    eMsgReason_Manifest = 6,
    eMsgReason_Package = 7,
    eMsgReason_Assistant = 9,
    eMsgReason_Fatal = 10, // closing the box ends the launcher
};

// Attempts on one server before the ladder moves on.
inline constexpr int kMaxAttempts = 5;
// Set by an answer that makes further attempts on the server useless.
inline constexpr int kAttemptsUseless = kMaxAttempts + 1;

// The attempt counter after a failure: a 503 or the internet library's
// time-out (12002) ends the attempts on this server at once.
int countAttempt(int nAttempt, int httpStatus, unsigned errorCode);
inline bool attemptsRunOut(int nAttempt) {
    return nAttempt > kMaxAttempts;
}

// The run-log lines of a failed manifest or package request.
std::string networkFailureText(const std::string& request, unsigned errorCode,
                               const std::string& systemText, int httpStatus);
