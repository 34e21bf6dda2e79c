// The transport the program creates: CHttxTransport on its own window
// thread with a hidden window of class "NetTransportWndClass".
//
// Owner's thread: Start(5000), Open, SetLogSettings; at shutdown the
// clients detach, then PostQuit and Wait(5000). OnExit closes the internet
// handle and every context.
#pragma once

#include "net/http_transport_win.h"

namespace NetEx {

class CNetTransport : public CHttxTransport {
public:
    CNetTransport();
    // Stops the thread if the owner did not (bounded), then releases what
    // the thread left.
    ~CNetTransport() override;

    // On the transport thread: the window, the status callback's target
    // and the message table.
    bool OnInit() override;
    // Closes everything, destroys the window; also after a termination, on
    // the owner's thread.
    void OnExit(bool normal) override;
};

} // namespace NetEx
