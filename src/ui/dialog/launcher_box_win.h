// A modeless message box: a dialog of the system class "#32770" built from
// an in-memory template, owned by the launcher's window. No nested message
// loop runs while it is open, so the logic keeps handling its messages; the
// answer arrives through a hook.
//
// Threads: every member runs on the owner window's thread, which must run a
// message loop (GetMessageW or PeekMessageW with PM_REMOVE). While a box is
// open, a message hook on that thread gives the box its keyboard (Tab,
// Enter, Escape), so the loop needs no IsDialogMessage of its own.
// Not copyable: the box keeps a pointer to this object.
#pragma once

#include "base/windows_win.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

enum class EBoxButtons { Ok, RetryCancel };
// Error: the system's error icon beside the text; the caption stays the same.
enum class EBoxStyle { Normal, Error };

class CLauncherBox {
public:
    // Called once, on the owner's thread, after the box is gone: IDOK, IDRETRY or IDCANCEL.
    // Closing the box (WM_CLOSE, Escape) answers IDCANCEL for RetryCancel and IDOK for Ok.
    // The hook may call Show again.
    using AnswerHook = std::function<void(int answer, const std::wstring& editText)>;

    // Control ids besides the buttons' standard ones.
    static constexpr int kTextId = 0xFFFF;
    static constexpr int kErrorIconId = 12401;
    static constexpr int kEditId = 12417;
    static constexpr int kEditCaptionId = 12419;

    CLauncherBox();
    // Closes a shown box without calling the hook.
    ~CLauncherBox();
    CLauncherBox(const CLauncherBox&) = delete;
    CLauncherBox& operator=(const CLauncherBox&) = delete;

    // Shows a box with the wrapped text (about six lines fit), the buttons
    // "OK" (IDOK) or "Retry" (IDRETRY) and "Cancel" (IDCANCEL), and with
    // `editCaption` an edit box holding `editText` under that caption (its
    // text then goes to the hook). A box already shown is closed first
    // without calling its hook. A box whose owner is destroyed goes with it,
    // also without a hook call. False when it cannot be created.
    bool Show(HWND owner, const std::wstring& caption, const std::wstring& text,
              EBoxButtons buttons, EBoxStyle style, AnswerHook answered,
              std::optional<std::wstring> editCaption = std::nullopt,
              const std::wstring& editText = L"");
    bool IsOpen() const { return hBox != nullptr; }
    // Without calling the hook; nothing when no box is open.
    void Close();

private:
    struct CUnhook {
        void operator()(HHOOK hook) const { ::UnhookWindowsHookEx(hook); }
    };
    using CKeyboardHook = std::unique_ptr<std::remove_pointer_t<HHOOK>, CUnhook>;

    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK keyboardProc(int code, WPARAM wParam, LPARAM lParam);
    // The answer a button id (or the close request IDCANCEL) gives; 0 when
    // the box has no such button.
    int answerFor(int id) const;
    std::wstring editBoxText() const;
    // Destroys the box, then calls the hook.
    void answer(int button);
    // The box is being destroyed, by us or with its owner.
    void forget();

    HWND hBox = nullptr;
    EBoxButtons buttonSet = EBoxButtons::Ok;
    AnswerHook answerHook;
    CKeyboardHook keyboardHook;
};
