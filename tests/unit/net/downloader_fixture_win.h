// The downloader against the project's update server, under Wine: a
// notification target that records every report and checks the thread it
// arrives on, and a fixture with a transport, a downloader, a run log and
// the server.
#pragma once

#include "net/download/downloader_win.h"

#include "net_test_client_win.h"

#include "base/log/run_log_win.h"
#include "net/net_transport_win.h"
#include "support/message_window_win.h"
#include "support/temp_folder_win.h"
#include "support/update_server_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace downloadertest {

using namespace NetEx;
using nettest::fillerBytes;
using nettest::patternBytes;

// Only a bound against hangs; nothing depends on how long anything takes.
inline constexpr DWORD kWaitMs = 40000;

struct SEvent {
    std::string slot;
    int kind = 0;
    unsigned code = 0;
    int status = 0;
    std::string body; // body or answer text
    bool incomplete = false;
    unsigned received = 0;
    unsigned total = 0;
};

// Records every report and checks that each arrives on the window's thread.
class CRecordingNotify : public IDownloaderNotify {
public:
    void OnCUDFileReceived(CBuffer* body) override { add("cud", body, true); }
    void OnKBFileProgress(unsigned received, unsigned total) override {
        SEvent event;
        event.slot = "kb-progress";
        event.received = received;
        event.total = total;
        push(event, false);
    }
    void OnKBFileReceived(CBuffer* body) override { add("kb", body, true); }
    void OnLicenseReceived(CBuffer* body) override { add("license", body, true); }
    void OnUpdateXmlReceived(CBuffer* body) override { add("xml", body, true); }
    void OnFilePartReceived(CBuffer* body, bool incomplete) override {
        SEvent event;
        event.slot = "part";
        body->ToString(event.body);
        event.incomplete = incomplete;
        push(event, !incomplete);
    }
    void OnFilePartProgress(unsigned bytes, bool) override {
        partProgress += bytes;
        checkThread();
    }
    void OnNetError(int kind, unsigned errorCode, int httpStatus,
                    const std::string& text) override {
        SEvent event;
        event.slot = "error";
        event.kind = kind;
        event.code = errorCode;
        event.status = httpStatus;
        event.body = text;
        push(event, true);
    }

    std::vector<SEvent> events;
    bool finished = false;
    unsigned partProgress = 0;
    DWORD threadId = ::GetCurrentThreadId();
    bool wrongThread = false;

private:
    void add(const char* slot, CBuffer* body, bool last) {
        SEvent event;
        event.slot = slot;
        body->ToString(event.body);
        push(event, last);
    }
    void push(const SEvent& event, bool last) {
        events.push_back(event);
        finished = finished || last;
        checkThread();
    }
    void checkThread() { wrongThread = wrongThread || ::GetCurrentThreadId() != threadId; }
};

// Counts the context answers of the transport, which the downloader leaves
// to the base class.
class CCountingDownloader : public CDownloader {
public:
    using CDownloader::CDownloader;
    void OnContextCreated(int) override { ++created; }
    void OnContextDestroyed(int) override { ++destroyed; }
    std::atomic<int> created{0};
    std::atomic<int> destroyed{0};
};

inline std::wstring readLog(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string raw = bytes.str();
    return std::wstring(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / 2);
}

class DownloaderTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(window.get(), nullptr);
        ASSERT_TRUE(transport.Start(5000));
        auto params = std::make_unique<SNetOpenParams>();
        params->userAgent = "Mozilla/5.0 (Trident/7.0; rv:11.0)";
        ASSERT_TRUE(transport.Open(std::move(params)));
        ASSERT_TRUE(runLog.open((temp / L"run.log").c_str()));
        downloader.SetNotify(&notify);
        downloader.SetWindow(window.get());
        downloader.SetLog(&runLog);
        downloader.SetName("CLogic thread");
        server.writeFile("/pkg/game.pkg", file);
        server.writeFile("/update.rxml", manifest);
    }
    void TearDown() override {
        downloader.Detach(5000);
        downloader.DiscardPendingMessages();
        transport.PostQuit();
        transport.Wait(5000);
    }

    bool startServer(const std::string& rules = {}, bool https = false) {
        if (server.start({https, rules}))
            return true;
        ADD_FAILURE() << "update server did not start: " << server.output();
        return false;
    }

    // Runs the logic's side of the message loop until a download's last
    // report, or for `ms` when nothing is expected to end it.
    bool pump(CDownloader& target, DWORD ms = kWaitMs) {
        const ULONGLONG end = ::GetTickCount64() + ms;
        for (;;) {
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.hwnd == window.get() &&
                    target.HandleMessage(message.message, message.wParam, message.lParam))
                    continue;
                ::DispatchMessageW(&message);
            }
            if (notify.finished)
                return true;
            const ULONGLONG now = ::GetTickCount64();
            if (now >= end)
                return false;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now),
                                        QS_ALLINPUT);
        }
    }

    // Waits for the last report of the download just started.
    void finish() { finish(downloader); }
    void finish(CDownloader& target) {
        ASSERT_TRUE(pump(target)) << "the download did not end";
        EXPECT_FALSE(notify.wrongThread) << "a report arrived on another thread";
        EXPECT_EQ(target.GetCurrentKind(), eDownload_None);
    }

    void restart() {
        notify.events.clear();
        notify.finished = false;
        notify.partProgress = 0;
    }

    std::wstring logText() const { return readLog(temp / L"run.log"); }

    const std::string file = patternBytes(300000);
    const std::string manifest = "Rar!manifest-body";
    testwin::CTempFolder temp;
    CLogImplW runLog;
    testwin::CMessageWindow window;
    CRecordingNotify notify;
    // Members go in reverse: the downloader detaches before the transport.
    CNetTransport transport;
    CCountingDownloader downloader{&transport};
    testwin::CUpdateServer server;
};

} // namespace downloadertest
