#include "net/net_client_win.h"

#include "net/net_transport_win.h"

namespace NetEx {

CNetClient::CNetClient(CNetTransport* owner)
    : transport(owner), hDoneEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CNetClient::~CNetClient() {
    Detach(INFINITE);
}

void CNetClient::OnStatistics(std::unique_ptr<SNetStatistics>) {}
void CNetClient::OnContextCreated(int) {}
void CNetClient::OnContextModified(int) {}
void CNetClient::OnContextDestroyed(int) {}
void CNetClient::OnRequestProgress(IRequestHttx*) {}
void CNetClient::OnRequestCompleted(std::unique_ptr<IRequestHttx>) {}
void CNetClient::OnError(std::unique_ptr<SNetError>) {}

bool CNetClient::CreateRequest(std::unique_ptr<CRequestHttx>& out,
                               const IRequestHttx* pattern) const {
    if (transport == nullptr || !transport->isRunning())
        return false;
    if (pattern == nullptr) {
        out = std::make_unique<CRequestHttx>();
        return true;
    }
    const auto* source = dynamic_cast<const CRequestHttxBase*>(pattern);
    if (source == nullptr)
        return false;
    out = std::make_unique<CRequestHttx>(*source);
    return true;
}

bool CNetClient::SendRequest(std::unique_ptr<CRequestHttx> request) {
    if (transport == nullptr || !request)
        return false;
    if (!transport->PostCommand(eNetMsg_SendRequest, reinterpret_cast<WPARAM>(this),
                                reinterpret_cast<LPARAM>(request.get())))
        return false;
    request.release();
    return true;
}

bool CNetClient::CreateContext(std::unique_ptr<CContextHttx> context) {
    if (transport == nullptr || !context)
        return false;
    if (!transport->PostCommand(eNetMsg_CreateContext, reinterpret_cast<WPARAM>(this),
                                reinterpret_cast<LPARAM>(context.get())))
        return false;
    context.release();
    return true;
}

bool CNetClient::DestroyContext(int id) {
    return transport != nullptr &&
           transport->PostCommand(eNetMsg_DestroyContext, reinterpret_cast<WPARAM>(this),
                                  static_cast<LPARAM>(id));
}

bool CNetClient::Detach(unsigned milliseconds) {
    if (transport == nullptr || !hDoneEvent || !transport->isRunning())
        return false;
    ::ResetEvent(hDoneEvent.get());
    if (!transport->PostCommand(eNetMsg_DetachClient, reinterpret_cast<WPARAM>(this), 0))
        return false;
    return transport->WaitForCommand(hDoneEvent.get(), milliseconds) && transport->CommandResult();
}

} // namespace NetEx
