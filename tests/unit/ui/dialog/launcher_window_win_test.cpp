#include "ui/dialog/launcher_window_win.h"

#include "support/message_box_watcher_win.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct UserCall {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class LauncherWindow : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.Create(
            L"Game Launcher",
            [this](UINT m, WPARAM w, LPARAM l) {
                userCalls.push_back({m, w, l});
                return static_cast<LRESULT>(m) + 1000;
            },
            [this](UINT_PTR id) {
                timerCalls.push_back(id);
                return true;
            },
            [this] {
                ++closeCalls;
                if (destroyOnClose)
                    window.Destroy();
            }));
    }

    static std::wstring classOf(HWND w) {
        wchar_t name[64] = {};
        ::GetClassNameW(w, name, 63);
        return name;
    }

    CLauncherWindow window;
    std::vector<UserCall> userCalls;
    std::vector<UINT_PTR> timerCalls;
    int closeCalls = 0;
    bool destroyOnClose = false;
};

TEST_F(LauncherWindow, IsAHiddenTopLevelWindowWithItsControls) {
    const HWND w = window.Handle();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(classOf(w), L"LauncherDialogWndClass");
    EXPECT_FALSE(::IsWindowVisible(w));
    EXPECT_EQ(::GetParent(w), nullptr);
    wchar_t caption[64] = {};
    ::GetWindowTextW(w, caption, 63);
    EXPECT_STREQ(caption, L"Game Launcher");
    // Plain controls, so another process reads their texts.
    EXPECT_EQ(classOf(::GetDlgItem(w, CLauncherWindow::kProgressTextId)), L"Static");
    EXPECT_EQ(classOf(::GetDlgItem(w, CLauncherWindow::kPageInfoId)), L"Static");
    EXPECT_EQ(classOf(::GetDlgItem(w, CLauncherWindow::kProgressBarId)), PROGRESS_CLASSW);

    EXPECT_FALSE(window.Create(L"again", nullptr, nullptr, nullptr));
    EXPECT_EQ(window.Handle(), w);
    window.Show();
    EXPECT_TRUE(::IsWindowVisible(w));
}

TEST_F(LauncherWindow, HandsTheUserMessageRangeToItsHook) {
    COPYDATASTRUCT data = {7, 0, nullptr};
    const struct {
        UINT message;
        LPARAM lParam;
        bool forwarded;
    } cases[] = {
        {2323, 1, false},
        {2324, 2, true},
        {2824, 3, true},
        {2825, 4, false},
        {WM_COPYDATA, reinterpret_cast<LPARAM>(&data), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        userCalls.clear();
        const LRESULT result = ::SendMessageW(window.Handle(), c.message, 5, c.lParam);
        if (c.forwarded) {
            EXPECT_EQ(result, static_cast<LRESULT>(c.message) + 1000);
            ASSERT_EQ(userCalls.size(), 1u);
            EXPECT_EQ(userCalls[0].message, c.message);
            EXPECT_EQ(userCalls[0].wParam, 5u);
            EXPECT_EQ(userCalls[0].lParam, c.lParam);
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_TRUE(userCalls.empty());
        }
    }
}

TEST_F(LauncherWindow, TimerFiresIntoItsHookUntilStopped) {
    ASSERT_TRUE(window.StartTimer(2222, 1));
    EXPECT_TRUE(testwin::pumpMessagesUntil([&] { return !timerCalls.empty(); }));
    EXPECT_EQ(timerCalls[0], 2222u);
    window.StopTimer(2222);
    // Nothing left to kill: the timer is gone.
    EXPECT_FALSE(::KillTimer(window.Handle(), 2222));
}

TEST_F(LauncherWindow, CloseAsksTheHookAndKeepsTheWindow) {
    const HWND w = window.Handle();
    ::SendMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(closeCalls, 1);
    EXPECT_TRUE(::IsWindow(w));
    EXPECT_EQ(window.Handle(), w);

    // A hook that ends the window from inside its call.
    destroyOnClose = true;
    ::SendMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(closeCalls, 2);
    EXPECT_FALSE(::IsWindow(w));
    EXPECT_EQ(window.Handle(), nullptr);
    window.Destroy();
    EXPECT_EQ(window.GetText(CLauncherWindow::kPageInfoId), L"");
    EXPECT_FALSE(window.StartTimer(2223, 1));
}

TEST_F(LauncherWindow, ControlsKeepTextsAndClampedProgress) {
    const std::wstring longText(600, L'x');
    window.SetText(CLauncherWindow::kProgressTextId, L"Downloading & unpacking 42%");
    window.SetText(CLauncherWindow::kPageInfoId, longText);
    EXPECT_EQ(window.GetText(CLauncherWindow::kProgressTextId), L"Downloading & unpacking 42%");
    EXPECT_EQ(window.GetText(CLauncherWindow::kPageInfoId), longText);
    EXPECT_EQ(window.GetText(4242), L"");

    const HWND bar = ::GetDlgItem(window.Handle(), CLauncherWindow::kProgressBarId);
    const struct {
        int set;
        int shown;
    } cases[] = {{42, 42}, {-5, 0}, {100, 100}, {150, 100}, {0, 0}};
    for (const auto& c : cases) {
        window.SetProgress(c.set);
        EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), c.shown) << c.set;
    }
}

} // namespace
