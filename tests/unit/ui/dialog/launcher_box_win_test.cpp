#include "ui/dialog/launcher_box_win.h"

#include "ui/dialog/launcher_window_win.h"

#include "support/message_box_watcher_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using testwin::CMessageBoxWatcher;
using testwin::pumpMessagesUntil;
using testwin::SeenBox;

struct Answer {
    int button;
    std::wstring editText;
};

BOOL CALLBACK findDialog(HWND w, LPARAM param) {
    wchar_t name[16] = {};
    ::GetClassNameW(w, name, 15);
    if (lstrcmpW(name, L"#32770") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(param) = w;
    return FALSE;
}

// The box this thread shows, or null.
HWND shownBox() {
    HWND box = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), findDialog, reinterpret_cast<LPARAM>(&box));
    return box;
}

class LauncherBox : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(owner.Create(L"Owner", nullptr, nullptr, nullptr)); }

    CLauncherBox::AnswerHook recorder(std::function<void()> then = nullptr) {
        return [this, then](int button, const std::wstring& text) {
            // The box is gone before its answer arrives.
            EXPECT_FALSE(box.IsOpen());
            answers.push_back({button, text});
            if (then)
                then();
        };
    }

    bool show(const std::wstring& text, EBoxButtons buttons, EBoxStyle style,
              CLauncherBox::AnswerHook hook) {
        return box.Show(owner.Handle(), L"Game Launcher", text, buttons, style, std::move(hook));
    }

    bool waitForAnswers(size_t count) {
        return pumpMessagesUntil([&] { return answers.size() >= count; });
    }

    CLauncherWindow owner;
    CLauncherBox box;
    std::vector<Answer> answers;
};

TEST_F(LauncherBox, WatcherReadsTheBoxAndPressesItsButton) {
    const std::wstring longText =
        L"The update could not be downloaded. Check the connection and that no firewall blocks "
        L"the launcher, then try again. " +
        std::wstring(400, L'w') + L" & the end";
    const struct {
        EBoxButtons buttons;
        EBoxStyle style;
        int press; // 0: the watcher's default
        std::vector<int> seenButtons;
        int answer;
    } cases[] = {
        {EBoxButtons::Ok, EBoxStyle::Normal, 0, {IDOK}, IDOK},
        {EBoxButtons::RetryCancel, EBoxStyle::Error, IDRETRY, {IDRETRY, IDCANCEL}, IDRETRY},
        {EBoxButtons::RetryCancel, EBoxStyle::Normal, IDCANCEL, {IDRETRY, IDCANCEL}, IDCANCEL},
        // The default press of OK finds no OK button; its WM_CLOSE cancels.
        {EBoxButtons::RetryCancel, EBoxStyle::Normal, 0, {IDRETRY, IDCANCEL}, IDCANCEL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        answers.clear();
        CMessageBoxWatcher watcher;
        if (c.press != 0)
            watcher.setAnswer([&c](const SeenBox&) { return c.press; });
        ASSERT_TRUE(show(longText, c.buttons, c.style, recorder()));
        const HWND w = shownBox();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(::GetWindow(w, GW_OWNER), owner.Handle());
        const HWND icon = ::GetDlgItem(w, CLauncherBox::kErrorIconId);
        EXPECT_EQ(icon != nullptr && ::SendMessageW(icon, STM_GETICON, 0, 0) != 0,
                  c.style == EBoxStyle::Error);

        ASSERT_TRUE(waitForAnswers(1));
        pumpMessagesUntil([] { return true; });
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_EQ(answers[0].button, c.answer);
        EXPECT_EQ(answers[0].editText, L"");
        EXPECT_FALSE(::IsWindow(w));
        const auto seen = watcher.boxes();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, L"Game Launcher");
        EXPECT_EQ(seen[0].text, longText);
        EXPECT_EQ(seen[0].buttons, c.seenButtons);
    }
}

TEST_F(LauncherBox, TextHasRoomForSeveralLines) {
    ASSERT_TRUE(show(L"text", EBoxButtons::Ok, EBoxStyle::Normal, recorder()));
    const HWND text = ::GetDlgItem(shownBox(), CLauncherBox::kTextId);
    ASSERT_NE(text, nullptr);
    const HDC dc = ::GetDC(text);
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(text, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(text, dc);
    RECT area = {};
    ::GetClientRect(text, &area);
    EXPECT_GE(area.bottom, 6 * metrics.tmHeight);
    EXPECT_GE(area.right, 300);
}

TEST_F(LauncherBox, ClosingAnswersTheBoxsCancelOrOk) {
    const struct {
        EBoxButtons buttons;
        bool escape; // else WM_CLOSE
        int answer;
    } cases[] = {
        {EBoxButtons::Ok, false, IDOK},
        {EBoxButtons::RetryCancel, false, IDCANCEL},
        {EBoxButtons::Ok, true, IDOK},
        {EBoxButtons::RetryCancel, true, IDCANCEL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.escape << " " << c.answer);
        answers.clear();
        ASSERT_TRUE(show(L"Close me", c.buttons, EBoxStyle::Normal, recorder()));
        const HWND w = shownBox();
        if (c.escape) {
            // The loop has no IsDialogMessage: the box's message hook
            // turns the key into its cancel command.
            const HWND child = ::GetWindow(w, GW_CHILD);
            ::PostMessageW(child, WM_KEYDOWN, VK_ESCAPE, 1);
            ::PostMessageW(child, WM_KEYUP, VK_ESCAPE, 0xC0000001);
        } else {
            ::PostMessageW(w, WM_CLOSE, 0, 0);
        }
        ASSERT_TRUE(waitForAnswers(1));
        pumpMessagesUntil([] { return true; });
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_EQ(answers[0].button, c.answer);
        EXPECT_FALSE(box.IsOpen());
    }
}

TEST_F(LauncherBox, GoesWithoutAnAnswerWhenReplacedClosedOrOrphaned) {
    ASSERT_TRUE(show(L"first", EBoxButtons::RetryCancel, EBoxStyle::Error, recorder()));
    const HWND first = shownBox();
    ASSERT_TRUE(show(L"second", EBoxButtons::Ok, EBoxStyle::Normal, recorder()));
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_TRUE(box.IsOpen());
    const HWND second = shownBox();
    EXPECT_NE(second, nullptr);

    box.Close();
    EXPECT_FALSE(::IsWindow(second));
    EXPECT_FALSE(box.IsOpen());
    box.Close();

    ASSERT_TRUE(show(L"third", EBoxButtons::Ok, EBoxStyle::Normal, recorder()));
    owner.Destroy();
    EXPECT_FALSE(box.IsOpen());
    {
        CLauncherBox scoped;
        ASSERT_TRUE(scoped.Show(nullptr, L"Unowned", L"fourth", EBoxButtons::Ok, EBoxStyle::Normal,
                                recorder()));
    }
    EXPECT_EQ(shownBox(), nullptr);
    pumpMessagesUntil([] { return true; });
    EXPECT_TRUE(answers.empty());
}

TEST_F(LauncherBox, HookMayShowTheNextBox) {
    CMessageBoxWatcher watcher;
    watcher.setAnswer([](const SeenBox& seen) { return seen.text == L"first" ? IDRETRY : IDOK; });
    ASSERT_TRUE(show(L"first", EBoxButtons::RetryCancel, EBoxStyle::Normal, recorder([this] {
                         EXPECT_TRUE(
                             show(L"second", EBoxButtons::Ok, EBoxStyle::Normal, recorder()));
                     })));
    ASSERT_TRUE(waitForAnswers(2));
    EXPECT_EQ(answers[0].button, IDRETRY);
    EXPECT_EQ(answers[1].button, IDOK);
    const auto seen = watcher.boxes();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, L"first");
    EXPECT_EQ(seen[1].text, L"second");
}

TEST_F(LauncherBox, EditTextReachesTheHook) {
    ASSERT_TRUE(box.Show(owner.Handle(), L"Game Launcher", L"No server answered.", EBoxButtons::Ok,
                         EBoxStyle::Error, recorder(), L"Server address:", L"http://old.example"));
    const HWND w = shownBox();
    wchar_t text[64] = {};
    ::GetDlgItemTextW(w, CLauncherBox::kEditCaptionId, text, 63);
    EXPECT_STREQ(text, L"Server address:");
    ::GetDlgItemTextW(w, CLauncherBox::kEditId, text, 63);
    EXPECT_STREQ(text, L"http://old.example");

    // The watcher leaves the box open until the address is typed.
    CMessageBoxWatcher watcher;
    watcher.setAnswer([w](const SeenBox&) {
        wchar_t typed[64] = {};
        ::GetDlgItemTextW(w, CLauncherBox::kEditId, typed, 63);
        return lstrcmpW(typed, L"update.example") == 0 ? IDOK : 0;
    });
    ASSERT_TRUE(pumpMessagesUntil([&] { return !watcher.boxes().empty(); }));
    ::SetDlgItemTextW(w, CLauncherBox::kEditId, L"update.example");
    ASSERT_TRUE(waitForAnswers(1));
    EXPECT_EQ(answers[0].button, IDOK);
    EXPECT_EQ(answers[0].editText, L"update.example");
    EXPECT_EQ(watcher.boxes().size(), 1u);
}

} // namespace
