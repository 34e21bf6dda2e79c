#include "net/http_transport_win.h"

#include "net/event_riser_win.h"
#include "net/net_client_win.h"
#include "net/status_callback_win.h"

#include <algorithm>

namespace NetEx {

namespace {

constexpr DWORD kMinConnectionsPerServer = 32;
constexpr DWORD kDisconnectedByUser = 0x10; // INTERNET_STATE_DISCONNECTED_BY_USER
// Slice of the waits for synchronous commands: how soon a waiter notices a
// transport that ended without answering.
constexpr DWORD kCommandWaitSliceMs = 50;

CNetClient* clientOf(WPARAM wParam) {
    return reinterpret_cast<CNetClient*>(wParam);
}

void reportError(CNetClient* client, int kind, uint32_t code, int contextId, int requestId) {
    if (client == nullptr)
        return;
    auto error = std::make_unique<SNetError>();
    error->kind = kind;
    error->code = code;
    error->contextId = contextId;
    error->requestId = requestId;
    client->OnError(std::move(error));
}

} // namespace

CNetTransportBase::CNetTransportBase() {
    name = "CNetTransport thread";
}

bool CNetTransportBase::PostCommand(ENetMsg message, WPARAM wParam, LPARAM lParam) {
    const HWND window = hwnd;
    return running && window != nullptr && ::PostMessageW(window, message, wParam, lParam);
}

bool CNetTransportBase::WaitForCommand(HANDLE event, unsigned milliseconds) const {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        const ULONGLONG waited = ::GetTickCount64() - start;
        if (milliseconds != INFINITE && waited >= milliseconds)
            return false;
        const DWORD left =
            milliseconds == INFINITE ? INFINITE : static_cast<DWORD>(milliseconds - waited);
        if (::WaitForSingleObject(event, std::min(left, kCommandWaitSliceMs)) == WAIT_OBJECT_0)
            return true;
        if (!running)
            return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
    }
}

CHttxTransport::CHttxTransport() = default;

// The owner stops the thread first (PostQuit, Wait); whatever it left
// behind goes with the members.
CHttxTransport::~CHttxTransport() = default;

bool CHttxTransport::Open(std::unique_ptr<SNetOpenParams> params) {
    if (isOpen || !running || !params)
        return false;
    ::ResetEvent(hInitEvent.get());
    if (!PostCommand(eNetMsg_Open, 0, reinterpret_cast<LPARAM>(params.get())))
        return false;
    params.release();
    return WaitForCommand(hInitEvent.get(), INFINITE) && commandResult;
}

bool CHttxTransport::Close() {
    if (!running)
        return false;
    ::ResetEvent(hInitEvent.get());
    if (!PostCommand(eNetMsg_Close, 0, 0))
        return false;
    return WaitForCommand(hInitEvent.get(), INFINITE) && commandResult;
}

bool CHttxTransport::SetLogSettings(std::unique_ptr<SNetLogSettings> settings) {
    if (!isOpen || !settings ||
        !PostCommand(eNetMsg_SetLogSettings, 0, reinterpret_cast<LPARAM>(settings.get())))
        return false;
    settings.release();
    return true;
}

void CHttxTransport::registerHandlers() {
    SetHandler(eNetMsg_Open, this, &CHttxTransport::onOpen);
    SetHandler(eNetMsg_Close, this, &CHttxTransport::onClose);
    SetHandler(eNetMsg_SetLogSettings, this, &CHttxTransport::onSetLogSettings);
    SetHandler(eNetMsg_CreateContext, this, &CHttxTransport::onCreateContext);
    SetHandler(eNetMsg_ModifyContext, this, &CHttxTransport::onModifyContext);
    SetHandler(eNetMsg_DestroyContext, this, &CHttxTransport::onDestroyContext);
    SetHandler(eNetMsg_SendRequest, this, &CHttxTransport::onSendRequest);
    SetHandler(eNetMsg_CancelRequest, this, &CHttxTransport::onCancelRequest);
    SetHandler(eNetMsg_InternetStatus, this, &CHttxTransport::onInternetStatus);
    SetHandler(eNetMsg_SetLogTime, this, &CHttxTransport::onSetLogTime);
    SetHandler(eNetMsg_QueryStatistics, this, &CHttxTransport::onQueryStatistics);
    SetHandler(eNetMsg_DetachClient, this, &CHttxTransport::onDetachClient);
}

LRESULT CHttxTransport::onSetLogTime(WPARAM wParam, LPARAM lParam) {
    logTimeBase = static_cast<int64_t>(static_cast<INT_PTR>(wParam));
    logTimeFlag = static_cast<uint32_t>(lParam);
    for (const auto& context : contexts) {
        if (context->HasLog())
            context->Log()->setClockOffset(&logTimeBase, logTimeFlag);
    }
    return 0;
}

LRESULT CHttxTransport::onQueryStatistics(WPARAM wParam, LPARAM) {
    CNetClient* client = clientOf(wParam);
    if (client == nullptr)
        return 0;
    auto statistics = std::make_unique<SNetStatistics>();
    statistics->bytesSent = bytesSent;
    statistics->bytesReceived = bytesReceived;
    client->OnStatistics(std::move(statistics));
    return 0;
}

LRESULT CHttxTransport::onDetachClient(WPARAM wParam, LPARAM) {
    CNetClient* client = clientOf(wParam);
    CEventRiser done(client != nullptr ? client->DoneEvent() : nullptr);
    destroyContexts(client);
    commandResult = true;
    return 0;
}

LRESULT CHttxTransport::onOpen(WPARAM, LPARAM lParam) {
    const std::unique_ptr<SNetOpenParams> params(reinterpret_cast<SNetOpenParams*>(lParam));
    CEventRiser done(hInitEvent.get());
    commandResult = false;
    if (isOpen || !params || !openSession(*params))
        return 0;
    isOpen = true;
    commandResult = true;
    return 0;
}

bool CHttxTransport::openSession(const SNetOpenParams& params) {
    hSession.reset(::InternetOpenA(
        params.userAgent.c_str(), params.accessType,
        params.proxy.empty() ? nullptr : params.proxy.c_str(),
        params.proxyBypass.empty() ? nullptr : params.proxyBypass.c_str(), INTERNET_FLAG_ASYNC));
    if (!hSession)
        return false;
    if (::InternetSetStatusCallbackA(hSession.get(), netStatusCallback) ==
        INTERNET_INVALID_STATUS_CALLBACK) {
        hSession.reset();
        return false;
    }
    // The system's offline mode must not block the launcher.
    DWORD state = 0;
    DWORD size = sizeof(state);
    if (::InternetQueryOptionA(hSession.get(), INTERNET_OPTION_CONNECTED_STATE, &state, &size) &&
        (state & kDisconnectedByUser) != 0) {
        INTERNET_CONNECTED_INFO connected{INTERNET_STATE_CONNECTED, 0};
        ::InternetSetOptionA(hSession.get(), INTERNET_OPTION_CONNECTED_STATE, &connected,
                             sizeof(connected));
    }
    DWORD connections = 0;
    size = sizeof(connections);
    if (::InternetQueryOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections,
                               &size) &&
        connections < kMinConnectionsPerServer) {
        connections = kMinConnectionsPerServer;
        ::InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections,
                             sizeof(connections));
    }
    BOOL decoding = TRUE;
    ::InternetSetOptionA(hSession.get(), INTERNET_OPTION_HTTP_DECODING, &decoding,
                         sizeof(decoding));
    return true;
}

LRESULT CHttxTransport::onClose(WPARAM, LPARAM) {
    CEventRiser done(hInitEvent.get());
    commandResult = false;
    if (!isOpen)
        return 0;
    closeAll();
    commandResult = true;
    return 0;
}

void CHttxTransport::closeAll() {
    if (!isOpen)
        return;
    destroyContexts(nullptr);
    // Parked requests stay until their handles report closing, or until
    // the transport is deleted.
    hSession.reset();
    isOpen = false;
}

LRESULT CHttxTransport::onSetLogSettings(WPARAM, LPARAM lParam) {
    std::unique_ptr<SNetLogSettings> settings(reinterpret_cast<SNetLogSettings*>(lParam));
    if (!isOpen)
        return 0;
    logSettings = std::move(settings);
    return 1;
}

LRESULT CHttxTransport::onCreateContext(WPARAM wParam, LPARAM lParam) {
    std::unique_ptr<CContextHttx> context(reinterpret_cast<CContextHttx*>(lParam));
    if (context)
        createContext(clientOf(wParam), std::move(context));
    return 0;
}

void CHttxTransport::createContext(CNetClient* client, std::unique_ptr<CContextHttx> context) {
    const int id = context->GetId();
    if (!isOpen) {
        reportError(client, eNetError_NotOpen, 0, id, kNoRequestId);
        return;
    }
    if (findContext(client, id) != nullptr) {
        reportError(client, eNetError_Failed, ERROR_INTERNET_HANDLE_EXISTS, id, kNoRequestId);
        return;
    }
    uint32_t error = context->Attach(client, this);
    if (error == 0)
        error = context->Connect(hSession.get());
    if (error != 0) {
        reportError(client, eNetError_Failed, error, id, kNoRequestId);
        return;
    }
    contexts.push_back(std::move(context));
    if (client != nullptr)
        client->OnContextCreated(id);
}

LRESULT CHttxTransport::onModifyContext(WPARAM wParam, LPARAM lParam) {
    const std::unique_ptr<CContextHttx> carrier(reinterpret_cast<CContextHttx*>(lParam));
    CNetClient* client = clientOf(wParam);
    if (!carrier)
        return 0;
    if (!isOpen) {
        reportError(client, eNetError_NotOpen, 0, carrier->GetId(), kNoRequestId);
        return 0;
    }
    CContextHttx* context = findContext(client, carrier->GetId());
    // The carrier brings new arguments: only server and path must match.
    const auto place = [](const CUrlComponents& url) { return url.GetBaseUrl() + url.GetPath(); };
    if (context == nullptr || place(context->GetUrl()) != place(carrier->GetUrl())) {
        reportError(client, eNetError_NotFound, 0, carrier->GetId(), kNoRequestId);
        return 0;
    }
    context->Modify(*carrier);
    if (client != nullptr)
        client->OnContextModified(context->GetId());
    return 0;
}

LRESULT CHttxTransport::onDestroyContext(WPARAM wParam, LPARAM lParam) {
    CNetClient* client = clientOf(wParam);
    const int id = static_cast<int>(lParam);
    if (!isOpen) {
        reportError(client, eNetError_NotOpen, 0, id, kNoRequestId);
        return 0;
    }
    const auto it = std::find_if(contexts.begin(), contexts.end(), [&](const auto& context) {
        return context->Client() == client && context->GetId() == id;
    });
    if (it == contexts.end()) {
        reportError(client, eNetError_NotFound, 0, id, kNoRequestId);
        return 0;
    }
    const std::unique_ptr<CContextHttx> context = std::move(*it);
    contexts.erase(it);
    context->CloseContext();
    if (client != nullptr)
        client->OnContextDestroyed(id);
    return 0;
}

LRESULT CHttxTransport::onSendRequest(WPARAM wParam, LPARAM lParam) {
    std::unique_ptr<CRequestHttx> request(reinterpret_cast<CRequestHttx*>(lParam));
    CNetClient* client = clientOf(wParam);
    if (!request)
        return 0;
    CContextHttx* context = isOpen ? findContext(client, request->GetContextId()) : nullptr;
    if (context == nullptr) {
        // Dropped before the client hears of it, so the report is the end.
        const int contextId = request->GetContextId();
        const int requestId = request->GetRequestId();
        request.reset();
        reportError(client, isOpen ? eNetError_NotFound : eNetError_NotOpen, 0, contextId,
                    requestId);
        return 0;
    }
    context->SendRequest(std::move(request));
    return 0;
}

LRESULT CHttxTransport::onCancelRequest(WPARAM wParam, LPARAM lParam) {
    const std::unique_ptr<SNetRequestIds> ids(reinterpret_cast<SNetRequestIds*>(lParam));
    CNetClient* client = clientOf(wParam);
    if (!ids)
        return 0;
    CContextHttx* context = findContext(client, ids->contextId);
    if (context == nullptr || !context->CancelRequest(ids->requestId))
        reportError(client, eNetError_NotFound, 0, ids->contextId, ids->requestId);
    return 0;
}

LRESULT CHttxTransport::onInternetStatus(WPARAM, LPARAM lParam) {
    const std::unique_ptr<SInternetStatus> status(reinterpret_cast<SInternetStatus*>(lParam));
    if (!status)
        return 0;
    if (status->status == INTERNET_STATUS_HANDLE_CLOSING) {
        unpark(status->contextValue);
        return 0;
    }
    for (const auto& context : contexts) {
        if (CRequestHttx* request = context->FindRequest(status->contextValue, status->handle)) {
            context->OnStatus(*request, *status);
            return 0;
        }
    }
    return 0;
}

CContextHttx* CHttxTransport::findContext(const CNetClient* client, int id) const {
    for (const auto& context : contexts) {
        if (context->Client() == client && context->GetId() == id)
            return context.get();
    }
    return nullptr;
}

void CHttxTransport::destroyContexts(const CNetClient* client) {
    for (auto it = contexts.begin(); it != contexts.end();) {
        if (client != nullptr && (*it)->Client() != client) {
            ++it;
            continue;
        }
        const std::unique_ptr<CContextHttx> context = std::move(*it);
        it = contexts.erase(it);
        context->CloseContext();
    }
}

void CHttxTransport::Park(std::unique_ptr<CRequestHttx> request) {
    const uintptr_t key = request->StatusKey();
    parked.push_back({key, std::move(request), nullptr});
}

void CHttxTransport::Park(uintptr_t key, std::unique_ptr<CBuffer> blockInUse) {
    parked.push_back({key, nullptr, std::move(blockInUse)});
}

void CHttxTransport::unpark(uintptr_t key) {
    parked.remove_if([key](const SParked& entry) { return entry.key == key; });
}

} // namespace NetEx
