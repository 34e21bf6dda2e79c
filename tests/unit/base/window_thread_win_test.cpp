#include "base/window_thread_win.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Only a bound against hangs; no test depends on how long anything takes.
constexpr DWORD kTimeoutMs = 10000;
constexpr const wchar_t* kClassName = L"LauncherTestWindowThread";

constexpr UINT kMsgStore = WM_APP + 1; // posted: keeps lParam, signals `stored`
constexpr UINT kMsgSum = WM_APP + 2;   // sent: answers wParam + lParam
constexpr UINT kMsgBlock = WM_APP + 3; // posted: signals `blocked`, waits for `release`
constexpr UINT kMsgEmpty = WM_APP + 4; // registered without an object
constexpr LPARAM kFilteredValue = 7;   // PreTranslate swallows kMsgStore with this

CHandle newEvent() {
    return CHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

enum class EInit { Succeed, Fail, Block };

struct ExitCall {
    bool normal;
    DWORD threadId;
};

class CTestWindowThread : public CWindowThread {
public:
    ~CTestWindowThread() override {
        ::SetEvent(release.get());
        PostQuit();
        Wait(kTimeoutMs);
    }

    bool OnInit() override {
        workerThreadId = ::GetCurrentThreadId();
        ++initCalls;
        if (initMode == EInit::Block)
            ::WaitForSingleObject(release.get(), INFINITE);
        if (initMode != EInit::Succeed)
            return false;
        hwnd = createThreadWindow(kClassName, true);
        // Bound to this object but not its window: never dispatched
        // through the handler table.
        stray = createThreadWindow(kClassName, true);
        ::SetWindowLongPtrW(stray, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetHandler(kMsgStore, this, &CTestWindowThread::onStore);
        SetHandler(kMsgSum, this, &CTestWindowThread::onSum);
        SetHandler(kMsgBlock, this, &CTestWindowThread::onBlock);
        SetHandler<CTestWindowThread>(kMsgEmpty, nullptr, &CTestWindowThread::onSum);
        return CWindowThread::OnInit();
    }

    void OnExit(bool normal) override {
        exits.push_back({normal, ::GetCurrentThreadId()});
        if (normal)
            ::DestroyWindow(stray);
        stray = nullptr;
        destroyThreadWindow(normal);
        CWindowThread::OnExit(normal);
    }

    bool PreTranslate(const MSG* msg) override {
        return msg->message == kMsgStore && msg->lParam == kFilteredValue;
    }

    bool hasThread() const { return static_cast<bool>(hThread); }

    EInit initMode = EInit::Succeed;
    int initCalls = 0;
    DWORD workerThreadId = 0;
    HWND stray = nullptr;
    std::vector<ExitCall> exits;
    std::vector<LPARAM> storedValues;
    CHandle stored = newEvent();
    CHandle blocked = newEvent();
    CHandle release = newEvent();

private:
    LRESULT onStore(WPARAM, LPARAM lParam) {
        storedValues.push_back(lParam);
        ::SetEvent(stored.get());
        return 0;
    }
    LRESULT onSum(WPARAM wParam, LPARAM lParam) { return static_cast<LRESULT>(wParam) + lParam; }
    LRESULT onBlock(WPARAM, LPARAM) {
        ::SetEvent(blocked.get());
        ::WaitForSingleObject(release.get(), INFINITE);
        return 0;
    }
};

class WindowThread : public testing::Test {
protected:
    void stopNormally() {
        thread.PostQuit();
        ASSERT_TRUE(thread.Wait(kTimeoutMs));
        ASSERT_EQ(thread.exits.size(), 1u);
        EXPECT_TRUE(thread.exits[0].normal);
        EXPECT_EQ(thread.exits[0].threadId, thread.workerThreadId);
        EXPECT_NE(thread.workerThreadId, ::GetCurrentThreadId());
        EXPECT_FALSE(thread.isRunning());
    }

    static bool quitPostedHere() {
        MSG msg;
        return ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    }

    CTestWindowThread thread;
};

TEST_F(WindowThread, RunsTheLoopUntilPostQuit) {
    ASSERT_TRUE(thread.Start(kTimeoutMs));
    EXPECT_TRUE(thread.isRunning());
    EXPECT_NE(thread.window(), nullptr);
    EXPECT_FALSE(thread.Start(kTimeoutMs));
    EXPECT_EQ(thread.initCalls, 1);
    stopNormally();
}

TEST_F(WindowThread, HandlersAnswerPostedAndSentMessages) {
    ASSERT_TRUE(thread.Start(kTimeoutMs));
    const HWND window = thread.window();

    ASSERT_TRUE(::PostMessageW(window, kMsgStore, 0, kFilteredValue));
    ASSERT_TRUE(::PostMessageW(window, kMsgStore, 0, 42));
    ASSERT_EQ(::WaitForSingleObject(thread.stored.get(), kTimeoutMs), WAIT_OBJECT_0);

    EXPECT_EQ(::SendMessageW(window, kMsgSum, 40, 2), 42);
    EXPECT_EQ(::SendMessageW(window, kMsgEmpty, 40, 2), 0);
    EXPECT_EQ(::SendMessageW(thread.stray, kMsgSum, 40, 2), 0);
    stopNormally();
    // Messages are handled in order, so the filtered one came first.
    EXPECT_EQ(thread.storedValues, std::vector<LPARAM>{42});
}

TEST_F(WindowThread, MessagesWithoutHandlerReachDefWindowProc) {
    ASSERT_TRUE(thread.Start(kTimeoutMs));
    const HWND window = thread.window();

    const wchar_t* title = L"window thread probe";
    EXPECT_TRUE(::SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title)));
    wchar_t buffer[64] = {};
    const LRESULT length =
        ::SendMessageW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer));
    EXPECT_EQ(length, static_cast<LRESULT>(std::wstring(title).size()));
    EXPECT_EQ(std::wstring(buffer), title);
    stopNormally();
}

TEST_F(WindowThread, FailedInitEndsTheThreadAndAllowsAnotherStart) {
    thread.initMode = EInit::Fail;
    EXPECT_FALSE(thread.Start(kTimeoutMs));
    EXPECT_FALSE(thread.isRunning());
    EXPECT_FALSE(thread.hasThread());
    EXPECT_TRUE(thread.exits.empty());

    thread.initMode = EInit::Succeed;
    ASSERT_TRUE(thread.Start(kTimeoutMs));
    EXPECT_EQ(thread.initCalls, 2);
    stopNormally();
}

TEST_F(WindowThread, StartTimeOutTerminatesAndExitsOnTheCallersThread) {
    thread.initMode = EInit::Block;
    EXPECT_FALSE(thread.Start(50));
    EXPECT_FALSE(thread.isRunning());
    EXPECT_FALSE(thread.hasThread());
    ASSERT_EQ(thread.exits.size(), 1u);
    EXPECT_FALSE(thread.exits[0].normal);
    EXPECT_EQ(thread.exits[0].threadId, ::GetCurrentThreadId());

    thread.initMode = EInit::Succeed;
    thread.exits.clear();
    ASSERT_TRUE(thread.Start(kTimeoutMs));
    stopNormally();
}

TEST_F(WindowThread, WaitTimeOutTerminatesAndExitsOnTheCallersThread) {
    ASSERT_TRUE(thread.Start(kTimeoutMs));
    ASSERT_TRUE(::PostMessageW(thread.window(), kMsgBlock, 0, 0));
    ASSERT_EQ(::WaitForSingleObject(thread.blocked.get(), kTimeoutMs), WAIT_OBJECT_0);

    // The quit message waits behind the blocked handler.
    thread.PostQuit();
    EXPECT_FALSE(thread.Wait(50));
    EXPECT_FALSE(thread.isRunning());
    EXPECT_FALSE(thread.hasThread());
    ASSERT_EQ(thread.exits.size(), 1u);
    EXPECT_FALSE(thread.exits[0].normal);
    EXPECT_EQ(thread.exits[0].threadId, ::GetCurrentThreadId());
    EXPECT_EQ(thread.window(), nullptr);
}

TEST_F(WindowThread, PostQuitOnAnIdleObjectPostsNothing) {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // gives this thread a queue
    thread.PostQuit();
    EXPECT_FALSE(quitPostedHere());

    ASSERT_TRUE(thread.Start(kTimeoutMs));
    stopNormally();
    thread.PostQuit();
    EXPECT_FALSE(quitPostedHere());
}

TEST_F(WindowThread, HandleMessageLooksUpTheTable) {
    ASSERT_TRUE(thread.Start(kTimeoutMs));
    LRESULT result = -1;
    EXPECT_FALSE(thread.HandleMessage(WM_APP + 99, 1, 2, &result));
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(thread.HandleMessage(kMsgEmpty, 1, 2, &result));
    EXPECT_EQ(result, 0);
    stopNormally();
}

} // namespace
