// A transport client for the tests: records every notification and lets
// the test thread wait for them with a bound; a started and opened
// transport, and the update server, in one fixture.
#pragma once

#include "net/net_client_win.h"
#include "net/net_transport_win.h"
#include "support/update_server_win.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace nettest {

using namespace NetEx;

// Only a bound against hangs; nothing depends on how long anything takes.
constexpr DWORD kWaitMs = 30000;
constexpr unsigned kBlockLimit = 4u << 20;
constexpr unsigned kDownloaderFlags = 0x80283000;
constexpr unsigned kIgnoreCaFlags = 0x180;

class CRecordingClient : public CNetClient {
public:
    using CNetClient::CNetClient;
    ~CRecordingClient() override { Detach(INFINITE); }

    void OnContextCreated(int id) override {
        add([&] { created.push_back(id); });
    }
    void OnContextDestroyed(int id) override {
        add([&] { destroyed.push_back(id); });
    }
    void OnContextModified(int id) override {
        add([&] { modified.push_back(id); });
    }
    void OnRequestProgress(IRequestHttx*) override {
        add([&] { ++progress; });
    }
    void OnRequestCompleted(std::unique_ptr<IRequestHttx> request) override {
        add([&] { completed.push_back(std::move(request)); });
    }
    void OnError(std::unique_ptr<SNetError> error) override {
        add([&] { errors.push_back(*error); });
    }
    void OnStatistics(std::unique_ptr<SNetStatistics> statistics) override {
        add([&] { stats.push_back(*statistics); });
    }

    // Waits until `ready` holds (checked under the lock).
    bool waitFor(const std::function<bool()>& ready, DWORD ms = kWaitMs) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(ms), ready);
    }
    std::unique_ptr<IRequestHttx> takeCompleted(DWORD ms = kWaitMs) {
        if (!waitFor([&] { return !completed.empty(); }, ms))
            return nullptr;
        std::lock_guard lock(mutex);
        std::unique_ptr<IRequestHttx> first = std::move(completed.front());
        completed.erase(completed.begin());
        return first;
    }

    std::mutex mutex;
    std::vector<int> created;
    std::vector<int> destroyed;
    std::vector<int> modified;
    std::vector<SNetError> errors;
    std::vector<SNetStatistics> stats;
    std::vector<std::unique_ptr<IRequestHttx>> completed;
    int progress = 0;

private:
    void add(const std::function<void()>& change) {
        {
            std::lock_guard lock(mutex);
            change();
        }
        changed.notify_all();
    }

    std::condition_variable changed;
};

inline std::string bodyText(IRequestHttx& request) {
    std::string text;
    request.GetResponseBody().ToString(text);
    return text;
}

// Deterministic bytes of every value, so a shifted or torn body shows.
inline std::string patternBytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

// The test server's filler answer: byte p is p % 251.
inline std::string fillerBytes(size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

class TransportFixture : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(transport.Start(5000));
        auto params = std::make_unique<SNetOpenParams>();
        params->userAgent = "Mozilla/5.0 (Trident/7.0; rv:11.0)";
        ASSERT_TRUE(transport.Open(std::move(params)));
    }
    void TearDown() override {
        client.Detach(5000);
        transport.PostQuit();
        transport.Wait(5000);
    }

    bool startServer(const std::string& faultsJson = {}, bool https = false) {
        if (server.start({https, faultsJson}))
            return true;
        ADD_FAILURE() << "update server did not start: " << server.output();
        return false;
    }

    // Creates context `id` at `url` and waits for the transport's answer.
    bool createContext(int id, const std::string& url, const char* name = "test") {
        auto context = std::make_unique<CContextHttx>();
        context->Setup(id, name, url.c_str(), 15000, kBlockLimit);
        if (!client.CreateContext(std::move(context)))
            return false;
        return client.waitFor([&] {
            for (const int created : client.created) {
                if (created == id)
                    return true;
            }
            return !client.errors.empty();
        }) && client.errors.empty();
    }

    // A GET (or another verb) of `path` through context `contextId`; the
    // caller may add to the request before it is sent.
    std::unique_ptr<IRequestHttx> fetch(
        int contextId, const std::string& path,
        const std::function<void(CRequestHttx&)>& fill = [](CRequestHttx&) {}) {
        std::unique_ptr<CRequestHttx> request;
        if (!client.CreateRequest(request))
            return nullptr;
        request->Setup(contextId, 5, path.c_str(), true, 0, 0, kDownloaderFlags, kIgnoreCaFlags, 0,
                       false, true, nullptr, nullptr);
        fill(*request);
        if (!client.SendRequest(std::move(request)))
            return nullptr;
        return client.takeCompleted();
    }

    // Members go in reverse: the client detaches before the transport ends.
    CNetTransport transport;
    CRecordingClient client{&transport};
    testwin::CUpdateServer server;
};

} // namespace nettest
