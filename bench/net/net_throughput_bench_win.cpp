// One GET through the net transport, made as the downloader makes a package
// request (flags 0x80283000, security flags 0x180, adaptive reading, a 4 MB
// block limit, the context's 15000 ms time-out), timed from SendRequest to
// OnRequestCompleted, which includes the connection. The body is checked
// against the expected length and CRC-32 so a short or torn transfer never
// counts as fast.
//
//   net_throughput_bench <base-url> <path> <expected-length> <expected-crc-hex>
//
// Prints one line of key=value fields (MB = 10^6 bytes):
//   transport bytes= seconds= mbps= status= crc= progress= last_block=
//             body_capacity= start_working_set= peak_working_set=
// peak_working_set is GetProcessMemoryInfo's PeakWorkingSetSize after the
// transfer, the process's peak so far (Wine fills it from VmHWM).
// Exit code 0 when the body is complete and intact, 1 otherwise.
#include "net/net_client_win.h"

#include "base/crc32.h"
#include "net/net_transport_win.h"
#include "net/request_httx_win.h"

#include <psapi.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

using namespace NetEx;

constexpr int kContextId = 1;
// The downloader's kind for a package part, used as the request id.
constexpr int kPackageKind = 5;
constexpr unsigned kContextTimeoutMs = 15000;
constexpr unsigned kBlockLimit = 4u << 20;
constexpr unsigned kDownloaderFlags = 0x80283000;
constexpr unsigned kIgnoreCaFlags = 0x180;
// Bounds a wait for the transport so a broken run ends; not a measurement.
constexpr auto kAnswerBound = std::chrono::minutes(5);

// Records the transport's answers; the main thread waits for them.
class CBenchClient : public CNetClient {
public:
    using CNetClient::CNetClient;
    // Detached here, before this object's members go.
    ~CBenchClient() override { Detach(INFINITE); }

    void OnContextCreated(int) override {
        update([&] { contextReady = true; });
    }
    void OnRequestProgress(IRequestHttx*) override {
        update([&] { ++progressCount; });
    }
    void OnRequestCompleted(std::unique_ptr<IRequestHttx> request) override {
        update([&] { completed = std::move(request); });
    }
    void OnError(std::unique_ptr<SNetError> error) override {
        update([&] { errorCode = error->code != 0 ? error->code : 1u; });
    }

    bool waitForContext() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kAnswerBound, [&] { return contextReady || errorCode; }) &&
               contextReady;
    }
    std::unique_ptr<IRequestHttx> waitForRequest() {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, kAnswerBound, [&] { return completed || errorCode; });
        return std::move(completed);
    }
    int progress() {
        std::lock_guard lock(mutex);
        return progressCount;
    }
    uint32_t error() {
        std::lock_guard lock(mutex);
        return errorCode;
    }

private:
    template <typename Change>
    void update(Change change) {
        {
            std::lock_guard lock(mutex);
            change();
        }
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool contextReady = false;
    std::unique_ptr<IRequestHttx> completed;
    int progressCount = 0;
    uint32_t errorCode = 0;
};

struct SArguments {
    std::string baseUrl;
    std::string path;
    unsigned long long length = 0;
    uint32_t crc = 0;
};

bool parseArguments(int argc, char** argv, SArguments& out) {
    if (argc != 5)
        return false;
    char* end = nullptr;
    out.baseUrl = argv[1];
    out.path = argv[2];
    out.length = std::strtoull(argv[3], &end, 10);
    if (*end != '\0' || out.length == 0 || out.length > UINT32_MAX)
        return false;
    out.crc = static_cast<uint32_t>(std::strtoul(argv[4], &end, 16));
    return *end == '\0';
}

struct SMemory {
    size_t workingSet = 0;
    size_t peakWorkingSet = 0;
};

SMemory processMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters)))
        return {};
    return {counters.WorkingSetSize, counters.PeakWorkingSetSize};
}

bool openTransport(CNetTransport& transport) {
    if (!transport.Start(5000))
        return false;
    auto params = std::make_unique<SNetOpenParams>();
    params->userAgent = "Mozilla/5.0 (Trident/7.0; rv:11.0)";
    return transport.Open(std::move(params));
}

std::unique_ptr<CRequestHttx> packageRequest(const CBenchClient& client, const SArguments& args) {
    std::unique_ptr<CRequestHttx> request;
    if (!client.CreateRequest(request))
        return nullptr;
    request->Setup(kContextId, kPackageKind, args.path.c_str(), true, eHttpVerb_Get, 0,
                   kDownloaderFlags, kIgnoreCaFlags, kReadBlockAdaptive, false, false, nullptr,
                   nullptr);
    request->AddHeader("Accept: application/xml\r\n");
    // The downloader asks for the rest of the file from `begin`; a whole
    // package starts at 0.
    request->AddRange(0, static_cast<unsigned>(args.length));
    return request;
}

// The transfer and its checks; 0 when the body is complete and intact.
int measure(CNetTransport& transport, const SArguments& args, const SMemory& start) {
    CBenchClient client(&transport);
    auto context = std::make_unique<CContextHttx>();
    context->Setup(kContextId, "bench", args.baseUrl.c_str(), kContextTimeoutMs, kBlockLimit);
    if (!client.CreateContext(std::move(context)) || !client.waitForContext()) {
        std::fprintf(stderr, "context not created (error %u)\n", client.error());
        return 1;
    }
    std::unique_ptr<CRequestHttx> request = packageRequest(client, args);
    const auto begin = std::chrono::steady_clock::now();
    if (!request || !client.SendRequest(std::move(request))) {
        std::fprintf(stderr, "request not sent\n");
        return 1;
    }
    std::unique_ptr<IRequestHttx> done = client.waitForRequest();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    const SMemory peak = processMemory();
    if (!done) {
        std::fprintf(stderr, "no answer (error %u)\n", client.error());
        return 1;
    }
    CBuffer& body = done->GetResponseBody();
    const unsigned length = body.GetLength();
    const uint32_t crc = Crc32(body.GetData(), length);
    std::printf("transport bytes=%u seconds=%.3f mbps=%.0f status=%d crc=%08x progress=%d "
                "last_block=%u body_capacity=%u start_working_set=%zu peak_working_set=%zu\n",
                length, seconds, length / seconds / 1e6, done->GetHttpStatus(),
                static_cast<unsigned>(crc), client.progress(), done->GetReadBlockSize(),
                length + body.GetFreeSpace(), start.workingSet, peak.peakWorkingSet);
    const int status = done->GetHttpStatus();
    if (done->GetErrorCode() != 0 || (status != 200 && status != 206) || length != args.length ||
        crc != args.crc) {
        std::fprintf(stderr,
                     "bad transfer: error %u, status %d, %u of %llu bytes, crc %08x expected "
                     "%08x\n",
                     done->GetErrorCode(), status, length, args.length, static_cast<unsigned>(crc),
                     static_cast<unsigned>(args.crc));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    SArguments args;
    if (!parseArguments(argc, argv, args)) {
        std::fprintf(stderr, "usage: net_throughput_bench <base-url> <path> <expected-length> "
                             "<expected-crc-hex>\n");
        return 2;
    }
    const SMemory start = processMemory();
    CNetTransport transport;
    if (!openTransport(transport)) {
        std::fprintf(stderr, "transport did not start\n");
        return 1;
    }
    const int result = measure(transport, args, start);
    transport.PostQuit();
    transport.Wait(5000);
    return result;
}
