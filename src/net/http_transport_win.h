// The network transport: one WinINet root handle in asynchronous mode,
// served by its own window thread ("CNetTransport thread"). Every other
// thread talks to it only by posting the eNetMsg_* messages (net_records.h)
// to its window, and WinINet's status callback only posts status records,
// so every internet handle is created, used and closed on the transport
// thread and the lists below need no lock.
//
// Ownership: the transport owns every context it accepted and every request
// between SendRequest and the hand-back through OnRequestCompleted. Objects
// it cannot deliver are freed where they are.
#pragma once

#include "base/window_thread_win.h"
#include "net/context_httx_win.h"
#include "net/net_records.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>

namespace NetEx {

class CNetClient;

class CNetTransportBase : public CWindowThread {
public:
    CNetTransportBase();

    // Posts a command to the transport window; false when the thread does
    // not run or the post failed (the caller still owns the payload then).
    bool PostCommand(ENetMsg message, WPARAM wParam, LPARAM lParam);
    // Waits for a synchronous command's event while the transport runs, up
    // to `milliseconds` (INFINITE: as long as it runs). A transport that
    // ends or is terminated ends the wait, so nobody waits for a dead thread.
    bool WaitForCommand(HANDLE event, unsigned milliseconds) const;
    // The result of the last synchronous command.
    bool CommandResult() const { return commandResult; }

protected:
    int64_t logTimeBase = 0;
    uint32_t logTimeFlag = 0;
    std::atomic<bool> commandResult{false};
};

class CHttxTransport : public virtual CNetTransportBase {
public:
    CHttxTransport();
    ~CHttxTransport() override;

    // Caller's thread (the owner). Opens the internet handle: false at once
    // when already open or not running; otherwise waits for the transport
    // thread's answer.
    bool Open(std::unique_ptr<SNetOpenParams> params);
    // Posts eNetMsg_Close and waits for it.
    bool Close();
    // Posts the settings when open; they are dropped otherwise.
    bool SetLogSettings(std::unique_ptr<SNetLogSettings> settings);
    bool IsOpen() const { return isOpen; }

    // Transport thread, for the contexts.
    uintptr_t NewStatusKey() { return ++lastStatusKey; }
    const SNetLogSettings* LogSettings() const { return logSettings.get(); }
    const int64_t* LogTimeBase() const { return &logTimeBase; }
    uint32_t LogTimeFlag() const { return logTimeFlag; }
    void AddBytesSent(uint64_t count) { bytesSent += count; }
    void AddBytesReceived(uint64_t count) { bytesReceived += count; }
    // Keeps a request whose handle was closed with an operation in flight
    // until WinINet reports the handle closed: its buffers may still be
    // written until then.
    void Park(std::unique_ptr<CRequestHttx> request);
    // The same for a response block a handed-back request left behind.
    void Park(uintptr_t key, std::unique_ptr<CBuffer> blockInUse);

protected:
    // Registers the handlers of the message table (on the thread, OnInit).
    void registerHandlers();
    // Closes every context and the internet handle (eNetMsg_Close, OnExit).
    void closeAll();

private:
    struct SParked {
        uintptr_t key = 0;
        std::unique_ptr<CRequestHttx> request;
        std::unique_ptr<CBuffer> block;
    };

    LRESULT onSetLogTime(WPARAM wParam, LPARAM lParam);
    LRESULT onQueryStatistics(WPARAM wParam, LPARAM lParam);
    LRESULT onDetachClient(WPARAM wParam, LPARAM lParam);
    LRESULT onOpen(WPARAM wParam, LPARAM lParam);
    LRESULT onClose(WPARAM wParam, LPARAM lParam);
    LRESULT onSetLogSettings(WPARAM wParam, LPARAM lParam);
    LRESULT onCreateContext(WPARAM wParam, LPARAM lParam);
    LRESULT onModifyContext(WPARAM wParam, LPARAM lParam);
    LRESULT onDestroyContext(WPARAM wParam, LPARAM lParam);
    LRESULT onSendRequest(WPARAM wParam, LPARAM lParam);
    LRESULT onCancelRequest(WPARAM wParam, LPARAM lParam);
    LRESULT onInternetStatus(WPARAM wParam, LPARAM lParam);

    bool openSession(const SNetOpenParams& params);
    void createContext(CNetClient* client, std::unique_ptr<CContextHttx> context);
    CContextHttx* findContext(const CNetClient* client, int id) const;
    // Unlinks, closes and deletes the contexts of `client` (all for null).
    void destroyContexts(const CNetClient* client);
    void unpark(uintptr_t key);

    std::atomic<bool> isOpen{false};
    std::unique_ptr<SNetLogSettings> logSettings;
    CInternetSession hSession;
    std::list<std::unique_ptr<CContextHttx>> contexts;
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;
    uintptr_t lastStatusKey = 0;
    std::list<SParked> parked;
};

} // namespace NetEx
