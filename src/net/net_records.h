// The records and message numbers of the network transport. Records travel
// as heap objects in posted window messages: the receiver owns and frees
// them, and a sender whose post failed frees them itself.
#pragma once

#include "base/buffer.h"

#include <climits>
#include <cstdint>
#include <string>

namespace NetEx {

// Messages posted to the transport window (WM_USER based). wParam is the
// posting client unless noted.
enum ENetMsg : unsigned {
    eNetMsg_SetLogTime = 1024,      // clock offset (sign-extended) / zone bias
    eNetMsg_QueryStatistics = 1025, // client / -
    eNetMsg_DetachClient = 1026,    // client (null: all clients) / -
    eNetMsg_Open = 1027,            // - / SNetOpenParams*
    eNetMsg_Close = 1028,           // - / -
    eNetMsg_SetLogSettings = 1029,  // - / SNetLogSettings*
    eNetMsg_CreateContext = 1030,   // client / CContextHttx*
    eNetMsg_ModifyContext = 1031,   // client / CContextHttx* carrying new values
    eNetMsg_DestroyContext = 1032,  // client / context id
    eNetMsg_SendRequest = 1033,     // client / IRequestHttx*
    eNetMsg_CancelRequest = 1034,   // client / SNetRequestIds*
    eNetMsg_InternetStatus = 1036,  // 0 / SInternetStatus*
};

// SNetError::kind.
enum ENetErrorKind : int {
    eNetError_NotOpen = 1,  // the internet handle is not open
    eNetError_Failed = 2,   // the operation failed with `code`
    eNetError_NotFound = 3, // no such context or request
};

// SNetError::requestId when the error concerns no request.
inline constexpr int kNoRequestId = INT_MIN;

// How the internet handle is opened. Access type is an INTERNET_OPEN_TYPE_*
// value (0: the system's configuration); empty strings mean none.
struct SNetOpenParams {
    std::string userAgent;
    uint32_t accessType = 0;
    std::string proxy;
    std::string proxyBypass;
};

// The per-context HTTP log. With `key` empty the logs are plain text.
struct SNetLogSettings {
    uint8_t enabled = 0;
    uint8_t flushEachEntry = 0;
    std::string folder; // ends with a backslash
    uint32_t reserved = 0;
    CBuffer key;
    uint32_t bufferSize = 4096;   // the log's work buffers
    uint32_t maxBlockSize = 4096; // longer single writes are cut
};

// One WinINet status callback, copied on WinINet's thread and handled on the
// transport thread. `handle` is the HINTERNET the callback was called for.
struct SInternetStatus {
    void* handle = nullptr;
    uintptr_t contextValue = 0;
    uint32_t status = 0;
    CBuffer info;
};

struct SNetError {
    int kind = 0;
    uint32_t code = 0; // Win32 or WinINet error code, 0 if none
    uint32_t reserved = 0;
    int contextId = 0;
    int requestId = kNoRequestId;
};

struct SNetStatistics {
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;
    uint8_t reserved[16] = {};
};

// eNetMsg_CancelRequest's payload.
struct SNetRequestIds {
    int contextId = 0;
    int requestId = 0;
};

} // namespace NetEx
