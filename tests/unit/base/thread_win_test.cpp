#include "base/thread_win.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

// Only a bound against hangs; no test depends on how long anything takes.
constexpr DWORD kTimeoutMs = 10000;
constexpr DWORD kSetThreadNameException = 0x406D1388;

CHandle newEvent(bool manualReset) {
    return CHandle(::CreateEventW(nullptr, manualReset, FALSE, nullptr));
}

// Run signals `entered`, blocks until `release`, then counts itself done.
class CGateThread : public CThread {
public:
    explicit CGateThread(const char* threadName = "") { name = threadName; }
    ~CGateThread() override {
        ::SetEvent(release.get());
        CThread::Wait(kTimeoutMs);
    }

    void Run() override {
        HANDLE self = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self,
                          SYNCHRONIZE, FALSE, 0);
        selfHandle.reset(self);
        ::SetEvent(entered.get());
        ::WaitForSingleObject(release.get(), INFINITE);
        ++finished;
    }

    bool waitEntered() { return ::WaitForSingleObject(entered.get(), kTimeoutMs) == WAIT_OBJECT_0; }
    bool hasThread() const { return static_cast<bool>(hThread); }
    void dropThreadProc() { threadProc = nullptr; }
    void dropThreadParam() { threadParam = nullptr; }

    CHandle entered = newEvent(false);
    CHandle release = newEvent(true);
    // A handle of the worker's own, still valid after Wait closed hThread.
    CHandle selfHandle;
    std::atomic<int> finished{0};
};

TEST(Thread, WaitWithoutThreadIsTrue) {
    CGateThread thread;
    EXPECT_TRUE(thread.Wait(0));
    EXPECT_TRUE(thread.Wait(INFINITE));
}

TEST(Thread, StartFailsWhileAThreadExistsAndWorksAgainAfterWait) {
    CGateThread thread;
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.waitEntered());
    EXPECT_FALSE(thread.Start());

    ::SetEvent(thread.release.get());
    EXPECT_TRUE(thread.Wait(INFINITE));
    EXPECT_EQ(thread.finished, 1);
    EXPECT_FALSE(thread.hasThread());

    // The thread has ended but its handle is still held until Wait.
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.waitEntered());
    ASSERT_EQ(::WaitForSingleObject(thread.selfHandle.get(), kTimeoutMs), WAIT_OBJECT_0);
    EXPECT_FALSE(thread.Start());
    EXPECT_TRUE(thread.Wait(0));
    EXPECT_EQ(thread.finished, 2);
}

TEST(Thread, InfiniteWaitLetsTheWorkerFinish) {
    CGateThread thread;
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.waitEntered());
    ::SetEvent(thread.release.get());
    EXPECT_TRUE(thread.Wait(INFINITE));
    EXPECT_EQ(thread.finished, 1);
}

TEST(Thread, FiniteWaitTerminatesAStuckWorker) {
    CGateThread thread;
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.waitEntered());

    // The worker waits for `release`, which nobody sets: the wait must end
    // it by termination.
    EXPECT_FALSE(thread.Wait(50));
    EXPECT_FALSE(thread.hasThread());
    EXPECT_EQ(::WaitForSingleObject(thread.selfHandle.get(), 0), WAIT_OBJECT_0);
    ::SetEvent(thread.release.get());
    EXPECT_EQ(thread.finished, 0);
    EXPECT_TRUE(thread.Wait(0));

    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Wait(INFINITE));
    EXPECT_EQ(thread.finished, 1);
}

TEST(Thread, StartNeedsEntryRoutineAndParameter) {
    CGateThread noProc;
    noProc.dropThreadProc();
    EXPECT_FALSE(noProc.Start());
    EXPECT_FALSE(noProc.hasThread());

    CGateThread noParam;
    noParam.dropThreadParam();
    EXPECT_FALSE(noParam.Start());
    EXPECT_FALSE(noParam.hasThread());
}

TEST(Thread, EntryRejectsANullParameter) {
    EXPECT_EQ(ThreadEntry(nullptr), 1u);
}

std::atomic<int> gNameExceptions{0};

LONG NTAPI countNameExceptions(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != kSetThreadNameException)
        return EXCEPTION_CONTINUE_SEARCH;
    ++gNameExceptions;
    return EXCEPTION_CONTINUE_EXECUTION;
}

// Catches naming exceptions that reach the vectored handlers unhandled: a
// naming exception raised outside the thread's own scoped handler.
class ThreadNaming : public testing::Test {
protected:
    void SetUp() override {
        gNameExceptions = 0;
        handler = ::AddVectoredExceptionHandler(0, countNameExceptions);
        ASSERT_NE(handler, nullptr);
    }
    void TearDown() override { ::RemoveVectoredExceptionHandler(handler); }

    static void runToTheEnd(CGateThread& thread) {
        ASSERT_TRUE(thread.Start());
        ASSERT_TRUE(thread.waitEntered());
        ::SetEvent(thread.release.get());
        EXPECT_TRUE(thread.Wait(INFINITE));
        EXPECT_EQ(thread.finished, 1);
    }

    PVOID handler = nullptr;
};

TEST_F(ThreadNaming, UnnamedThreadRaisesNothing) {
    CGateThread thread("");
    runToTheEnd(thread);
    EXPECT_EQ(gNameExceptions, 0);
}

TEST_F(ThreadNaming, NamedThreadSurvivesItsNamingException) {
    CGateThread thread("CNetTransport thread");
    runToTheEnd(thread);
    EXPECT_EQ(gNameExceptions, 0);
}

} // namespace
