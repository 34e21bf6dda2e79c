// The transport's routing, contexts, HTTP log and shutdown, against the
// project's test update server on loopback.
#include "net_test_client_win.h"

#include "net/request_rules.h"
#include "net/status_callback_win.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace nettest;

using Flag = std::shared_ptr<std::atomic<bool>>;

// A request that reports its own destruction, which may come after the
// test body when the transport had to keep it.
class CTrackedRequest : public CRequestHttx {
public:
    explicit CTrackedRequest(Flag destroyedFlag) : destroyed(std::move(destroyedFlag)) {}
    ~CTrackedRequest() override { *destroyed = true; }

private:
    Flag destroyed;
};

Flag newFlag() {
    return std::make_shared<std::atomic<bool>>(false);
}

std::unique_ptr<CRequestHttx> requestFor(int contextId, int requestId, const Flag& destroyed,
                                         const char* path = "/x", unsigned timeout = 0) {
    auto request = std::make_unique<CTrackedRequest>(destroyed);
    request->Setup(contextId, requestId, path, true, eHttpVerb_Get, timeout, kDownloaderFlags,
                   kIgnoreCaFlags, 0, false, false, nullptr, nullptr);
    return request;
}

class TransportTest : public TransportFixture {};

TEST_F(TransportTest, OpenTwiceFailsAndCloseAnswers) {
    EXPECT_FALSE(transport.Open(std::make_unique<SNetOpenParams>()));
    EXPECT_TRUE(transport.IsOpen());
    EXPECT_TRUE(transport.Close());
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_FALSE(transport.Close());
}

TEST_F(TransportTest, CommandsWhileClosedAnswerKindOne) {
    ASSERT_TRUE(transport.Close());
    const Flag destroyed = newFlag();
    auto context = std::make_unique<CContextHttx>();
    context->Setup(4, "c", "http://127.0.0.1:1", 15000, kBlockLimit);
    ASSERT_TRUE(client.CreateContext(std::move(context)));
    ASSERT_TRUE(client.SendRequest(requestFor(4, 8, destroyed)));
    ASSERT_TRUE(client.DestroyContext(4));
    ASSERT_TRUE(client.waitFor([&] { return client.errors.size() == 3; }));
    const int requestIds[] = {kNoRequestId, 8, kNoRequestId};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(client.errors[i].kind, eNetError_NotOpen);
        EXPECT_EQ(client.errors[i].code, 0u);
        EXPECT_EQ(client.errors[i].contextId, 4);
        EXPECT_EQ(client.errors[i].requestId, requestIds[i]);
    }
    EXPECT_TRUE(*destroyed);
    EXPECT_TRUE(client.created.empty());
}

TEST_F(TransportTest, DuplicateContextIdFailsAndKeepsTheFirst) {
    ASSERT_TRUE(server.writeFile("/a.bin", "first"));
    ASSERT_TRUE(startServer());
    ASSERT_TRUE(createContext(2, server.baseUrl()));
    auto duplicate = std::make_unique<CContextHttx>();
    duplicate->Setup(2, "other", "http://127.0.0.1:1", 15000, kBlockLimit);
    ASSERT_TRUE(client.CreateContext(std::move(duplicate)));
    ASSERT_TRUE(client.waitFor([&] { return !client.errors.empty(); }));
    EXPECT_EQ(client.errors[0].kind, eNetError_Failed);
    EXPECT_EQ(client.errors[0].code, static_cast<uint32_t>(ERROR_INTERNET_HANDLE_EXISTS));
    EXPECT_EQ(client.errors[0].contextId, 2);
    EXPECT_EQ(client.errors[0].requestId, kNoRequestId);
    auto request = fetch(2, "/a.bin");
    ASSERT_TRUE(request);
    EXPECT_EQ(bodyText(*request), "first");
}

TEST_F(TransportTest, UnknownContextAnswersKindThreeAndDropsTheRequest) {
    ASSERT_TRUE(startServer());
    ASSERT_TRUE(createContext(1, server.baseUrl()));
    const Flag destroyed = newFlag();
    ASSERT_TRUE(client.SendRequest(requestFor(9, 6, destroyed)));
    ASSERT_TRUE(client.DestroyContext(9));
    ASSERT_TRUE(client.waitFor([&] { return client.errors.size() == 2; }));
    EXPECT_EQ(client.errors[0].kind, eNetError_NotFound);
    EXPECT_EQ(client.errors[0].contextId, 9);
    EXPECT_EQ(client.errors[0].requestId, 6);
    EXPECT_EQ(client.errors[1].kind, eNetError_NotFound);
    EXPECT_EQ(client.errors[1].requestId, kNoRequestId);
    EXPECT_TRUE(*destroyed);
    // Another client's context of the same id is not ours either.
    CRecordingClient other(&transport);
    const Flag otherDestroyed = newFlag();
    ASSERT_TRUE(other.SendRequest(requestFor(1, 7, otherDestroyed)));
    ASSERT_TRUE(other.waitFor([&] { return !other.errors.empty(); }));
    EXPECT_EQ(other.errors[0].kind, eNetError_NotFound);
    EXPECT_TRUE(*otherDestroyed);
}

TEST_F(TransportTest, DestroyedContextTakesItsRequestsWithoutNotification) {
    ASSERT_TRUE(server.writeFile("/slow.bin", patternBytes(100000)));
    ASSERT_TRUE(startServer(R"({"rules": [{"path": "/slow.bin", "stall_after": 100}]})"));
    ASSERT_TRUE(createContext(3, server.baseUrl()));
    const Flag destroyed = newFlag();
    ASSERT_TRUE(client.SendRequest(requestFor(3, 1, destroyed, "/slow.bin", 2000)));
    const auto log = server.entries("/slow.bin");
    ASSERT_EQ(log.size(), 1u);
    ASSERT_EQ(log[0].outcome, "stalled");
    ASSERT_TRUE(client.DestroyContext(3));
    ASSERT_TRUE(client.waitFor([&] { return !client.destroyed.empty(); }));
    EXPECT_EQ(client.destroyed[0], 3);
    EXPECT_TRUE(client.completed.empty());
    EXPECT_TRUE(client.errors.empty());
    // Kept while WinINet may still write into it (its read ends with the
    // request's time-out), freed when the handle reports closing.
    for (int i = 0; i < 600 && !*destroyed; ++i)
        ::Sleep(50);
    EXPECT_TRUE(*destroyed);
}

TEST_F(TransportTest, CancelAndModifyFindOnlyWhatExists) {
    ASSERT_TRUE(server.writeFile("/slow.bin", patternBytes(100000)));
    ASSERT_TRUE(startServer(R"({"rules": [{"path": "/slow.bin", "stall_after": 100}]})"));
    ASSERT_TRUE(createContext(3, server.baseUrl()));
    const Flag destroyed = newFlag();
    ASSERT_TRUE(client.SendRequest(requestFor(3, 11, destroyed, "/slow.bin", 2000)));
    ASSERT_EQ(server.entries("/slow.bin").size(), 1u);
    const auto post = [&](ENetMsg message, void* payload) {
        return transport.PostCommand(message, reinterpret_cast<WPARAM>(&client),
                                     reinterpret_cast<LPARAM>(payload));
    };
    ASSERT_TRUE(post(eNetMsg_CancelRequest, new SNetRequestIds{3, 11}));
    ASSERT_TRUE(post(eNetMsg_CancelRequest, new SNetRequestIds{3, 11}));
    auto same = std::make_unique<CContextHttx>();
    same->Setup(3, "test", server.baseUrl().c_str(), 0, 0);
    same->SetArgs("k=v");
    ASSERT_TRUE(post(eNetMsg_ModifyContext, same.release()));
    auto elsewhere = std::make_unique<CContextHttx>();
    elsewhere->Setup(3, "test", "http://127.0.0.1:1", 0, 0);
    ASSERT_TRUE(post(eNetMsg_ModifyContext, elsewhere.release()));
    ASSERT_TRUE(client.waitFor([&] { return client.errors.size() == 2; }));
    EXPECT_EQ(client.errors[0].kind, eNetError_NotFound);
    EXPECT_EQ(client.errors[0].requestId, 11);
    EXPECT_EQ(client.errors[1].kind, eNetError_NotFound);
    EXPECT_EQ(client.modified, std::vector<int>{3});
    EXPECT_TRUE(client.completed.empty());
    for (int i = 0; i < 600 && !*destroyed; ++i)
        ::Sleep(50);
    EXPECT_TRUE(*destroyed);
}

TEST_F(TransportTest, ShutdownWithRequestInFlightEndsWithinBoundedWaits) {
    ASSERT_TRUE(server.writeFile("/big.pkg", patternBytes(200000)));
    ASSERT_TRUE(startServer(R"({"rules": [{"path": "/big.pkg", "stall_after": 5000}]})"));
    ASSERT_TRUE(createContext(1, server.baseUrl()));
    std::unique_ptr<CRequestHttx> request;
    ASSERT_TRUE(client.CreateRequest(request));
    request->Setup(1, 5, "/big.pkg", true, eHttpVerb_Get, 60000, kDownloaderFlags, kIgnoreCaFlags,
                   kReadBlockAdaptive, false, false, nullptr, nullptr);
    ASSERT_TRUE(client.SendRequest(std::move(request)));
    const auto log = server.entries("/big.pkg");
    ASSERT_EQ(log.size(), 1u);
    ASSERT_EQ(log[0].outcome, "stalled");

    EXPECT_TRUE(client.Detach(5000));
    transport.PostQuit();
    EXPECT_TRUE(transport.Wait(5000)) << "the transport thread had to be terminated";
    EXPECT_FALSE(transport.isRunning());
    EXPECT_TRUE(client.completed.empty());
    EXPECT_FALSE(client.Detach(5000)) << "a stopped transport answers nothing";
}

TEST_F(TransportTest, StatisticsCountBodyBytes) {
    ASSERT_TRUE(server.writeFile("/s.bin", patternBytes(12345)));
    ASSERT_TRUE(startServer());
    ASSERT_TRUE(createContext(1, server.baseUrl()));
    const std::string header = "Accept: application/xml\r\n";
    ASSERT_TRUE(fetch(1, "/s.bin", [&](CRequestHttx& r) { r.AddHeader(header.c_str()); }));
    ASSERT_TRUE(
        transport.PostCommand(eNetMsg_QueryStatistics, reinterpret_cast<WPARAM>(&client), 0));
    ASSERT_TRUE(client.waitFor([&] { return !client.stats.empty(); }));
    EXPECT_EQ(client.stats[0].bytesReceived, 12345u);
    // What the client gave to send: its header lines (no body).
    EXPECT_EQ(client.stats[0].bytesSent, header.size());
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(TransportTest, HttpLogPerContextWithSanitisedName) {
    ASSERT_TRUE(server.writeFile("/log.txt", "logged body"));
    ASSERT_TRUE(startServer());
    const std::filesystem::path folder = std::filesystem::path(LAUNCHER_BINARY_DIR) / "net-logs" /
                                         std::to_string(::GetCurrentProcessId());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    auto settings = std::make_unique<SNetLogSettings>();
    settings->enabled = 1;
    settings->folder = folder.string() + "\\";
    ASSERT_TRUE(transport.SetLogSettings(std::move(settings)));
    ASSERT_TRUE(createContext(1, server.baseUrl(), "CLogic/thread"));
    auto request = fetch(1, "/log.txt");
    ASSERT_TRUE(request);
    ASSERT_TRUE(client.DestroyContext(1));
    ASSERT_TRUE(client.waitFor([&] { return !client.destroyed.empty(); }));

    const std::filesystem::path file =
        folder / (std::to_string(::GetCurrentProcessId()) + ".Httx.CLogic-thread.log");
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    const std::string log = readFile(file);
    EXPECT_EQ(log.compare(0, 3, "\xEF\xBB\xBF"), 0);
    for (const char* text : {"Creating context", "Url:  ", "Sending request >>>", "Path: /log.txt",
                             "Request completed", "Request data received <<<", "Httx: 200",
                             "logged body", "Destroying context"}) {
        EXPECT_NE(log.find(text), std::string::npos) << text << " missing in\n" << log;
    }
    EXPECT_NE(log.find("Url:  " + server.baseUrl()), std::string::npos) << log;
    std::filesystem::remove_all(folder);
}

TEST(NetStatusCallback, PostsOnlyTheNeededStatusesWithAContext) {
    const HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    setStatusWindow(window);
    INTERNET_ASYNC_RESULT result{1, 0};
    const HINTERNET handle = reinterpret_cast<HINTERNET>(0x1234);
    struct Case {
        DWORD status;
        DWORD_PTR context;
        bool posted;
    };
    for (const Case& c : {Case{INTERNET_STATUS_REQUEST_COMPLETE, 0, false},
                          Case{INTERNET_STATUS_RESPONSE_RECEIVED, 7, false},
                          Case{INTERNET_STATUS_REQUEST_COMPLETE, 7, true},
                          Case{INTERNET_STATUS_CONNECTION_CLOSED, 7, true}}) {
        SCOPED_TRACE(c.status);
        netStatusCallback(handle, c.context, c.status, &result, sizeof(result));
        MSG msg{};
        const bool got = ::PeekMessageW(&msg, window, eNetMsg_InternetStatus,
                                        eNetMsg_InternetStatus, PM_REMOVE) != FALSE;
        EXPECT_EQ(got, c.posted);
        if (got) {
            const std::unique_ptr<SInternetStatus> record(
                reinterpret_cast<SInternetStatus*>(msg.lParam));
            EXPECT_EQ(record->handle, handle);
            EXPECT_EQ(record->contextValue, c.context);
            EXPECT_EQ(record->status, c.status);
            EXPECT_EQ(record->info.GetLength(), sizeof(result));
        }
    }
    clearStatusWindow(window);
    ::DestroyWindow(window);
}

} // namespace
