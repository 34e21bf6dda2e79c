#include "ui/dialog/launcher_box_win.h"

#include <utility>
#include <vector>

namespace {

// Layout in dialog units of the 8 pt "MS Shell Dlg" font: about 1.5 px
// across and 1.6 px down per unit, so the text is ~360 px wide and holds
// six lines of 8 units.
constexpr short kBoxWidth = 254;
constexpr short kMargin = 7;
constexpr short kGap = 4;
constexpr short kTextHeight = 50;
constexpr short kIconSize = 21;
constexpr short kEditCaptionHeight = 9;
constexpr short kEditHeight = 14;
constexpr short kButtonWidth = 50;
constexpr short kButtonHeight = 14;

// Predefined window classes of dialog items, by atom.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;

struct BoxButton {
    int id;
    const wchar_t* text;
};

// An in-memory DLGTEMPLATE with its items; each item starts on a DWORD
// boundary. The memory comes from operator new, aligned for any type.
class CBoxTemplate {
public:
    explicit CBoxTemplate(const std::wstring& caption) {
        addDword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER);
        addDword(0);        // extended style
        words.push_back(0); // item count
        words.insert(words.end(), {0, 0, 0, 0});
        words.push_back(0); // no menu
        words.push_back(0); // the system's dialog class "#32770"
        addString(caption);
        words.push_back(8); // point size
        addString(L"MS Shell Dlg");
    }

    void addItem(WORD classAtom, DWORD style, int id, short x, short y, short cx, short cy,
                 const std::wstring& text) {
        if (words.size() % 2 != 0)
            words.push_back(0);
        addDword(WS_CHILD | WS_VISIBLE | style);
        addDword(0);
        for (const short value : {x, y, cx, cy})
            words.push_back(static_cast<WORD>(value));
        words.push_back(static_cast<WORD>(id));
        words.insert(words.end(), {0xFFFF, classAtom});
        addString(text);
        words.push_back(0); // no creation data
        ++words[kCountIndex];
    }

    // The template with its final size; valid while this object lives.
    const DLGTEMPLATE* finish(short cx, short cy) {
        words[kWidthIndex] = static_cast<WORD>(cx);
        words[kWidthIndex + 1] = static_cast<WORD>(cy);
        return reinterpret_cast<const DLGTEMPLATE*>(words.data());
    }

private:
    static constexpr size_t kCountIndex = 4;
    static constexpr size_t kWidthIndex = 7;

    void addDword(DWORD value) {
        words.push_back(LOWORD(value));
        words.push_back(HIWORD(value));
    }
    void addString(const std::wstring& text) {
        words.insert(words.end(), text.begin(), text.end());
        words.push_back(0);
    }

    std::vector<WORD> words;
};

// Returns the top of the next row.
short addText(CBoxTemplate& t, const std::wstring& text, EBoxStyle style) {
    short x = kMargin;
    if (style == EBoxStyle::Error) {
        // The icon itself is set once the box exists.
        t.addItem(kStaticClass, SS_ICON, CLauncherBox::kErrorIconId, kMargin, kMargin, kIconSize,
                  kIconSize, L"");
        x += kIconSize + kMargin;
    }
    t.addItem(kStaticClass, SS_LEFT | SS_NOPREFIX, CLauncherBox::kTextId, x, kMargin,
              static_cast<short>(kBoxWidth - kMargin - x), kTextHeight, text);
    return kMargin + kTextHeight + kGap;
}

short addEdit(CBoxTemplate& t, short y, const std::wstring& caption, const std::wstring& text) {
    constexpr short width = kBoxWidth - 2 * kMargin;
    t.addItem(kStaticClass, SS_LEFT | SS_NOPREFIX, CLauncherBox::kEditCaptionId, kMargin, y, width,
              kEditCaptionHeight, caption);
    y += kEditCaptionHeight + kGap;
    t.addItem(kEditClass, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, CLauncherBox::kEditId, kMargin,
              y, width, kEditHeight, text);
    return y + kEditHeight + kMargin;
}

std::vector<BoxButton> buttonsOf(EBoxButtons buttons) {
    if (buttons == EBoxButtons::RetryCancel)
        return {{IDRETRY, L"Retry"}, {IDCANCEL, L"Cancel"}};
    return {{IDOK, L"OK"}};
}

// A centred row; the first button is the default one.
void addButtons(CBoxTemplate& t, short y, EBoxButtons buttons) {
    const std::vector<BoxButton> row = buttonsOf(buttons);
    const auto count = static_cast<short>(row.size());
    short x = static_cast<short>((kBoxWidth - count * kButtonWidth - (count - 1) * kGap) / 2);
    DWORD kind = BS_DEFPUSHBUTTON;
    for (const BoxButton& b : row) {
        t.addItem(kButtonClass, WS_TABSTOP | kind, b.id, x, y, kButtonWidth, kButtonHeight, b.text);
        x += kButtonWidth + kGap;
        kind = BS_PUSHBUTTON;
    }
}

} // namespace

CLauncherBox::CLauncherBox() = default;

CLauncherBox::~CLauncherBox() {
    Close();
}

bool CLauncherBox::Show(HWND owner, const std::wstring& caption, const std::wstring& text,
                        EBoxButtons buttons, EBoxStyle style, AnswerHook answered,
                        std::optional<std::wstring> editCaption, const std::wstring& editText) {
    Close();
    CBoxTemplate t(caption);
    short y = addText(t, text, style);
    if (editCaption)
        y = addEdit(t, y, *editCaption, editText);
    addButtons(t, y, buttons);
    const DLGTEMPLATE* dialogTemplate = t.finish(kBoxWidth, y + kButtonHeight + kMargin);

    buttonSet = buttons;
    // WM_INITDIALOG sets hBox.
    if (::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), dialogTemplate, owner, dialogProc,
                                     reinterpret_cast<LPARAM>(this)) == nullptr)
        return false;
    answerHook = std::move(answered);
    if (style == EBoxStyle::Error) {
        // A shared system icon: never destroyed.
        ::SendDlgItemMessageW(hBox, kErrorIconId, STM_SETICON,
                              reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_ERROR)), 0);
    }
    // Without the hook the box still answers its buttons and WM_CLOSE.
    keyboardHook.reset(
        ::SetWindowsHookExW(WH_GETMESSAGE, keyboardProc, nullptr, ::GetCurrentThreadId()));
    ::ShowWindow(hBox, SW_SHOW);
    return true;
}

void CLauncherBox::Close() {
    // WM_NCDESTROY forgets the box and its hook.
    if (hBox != nullptr)
        ::DestroyWindow(hBox);
}

int CLauncherBox::answerFor(int id) const {
    if (buttonSet == EBoxButtons::RetryCancel)
        return id == IDRETRY || id == IDCANCEL ? id : 0;
    return id == IDOK || id == IDCANCEL ? IDOK : 0;
}

std::wstring CLauncherBox::editBoxText() const {
    const HWND edit = ::GetDlgItem(hBox, kEditId);
    if (edit == nullptr)
        return {};
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

void CLauncherBox::answer(int button) {
    const std::wstring text = editBoxText();
    // Taken out first: the hook may show the next box on this object.
    const AnswerHook hook = std::exchange(answerHook, nullptr);
    Close();
    if (hook)
        hook(button, text);
}

void CLauncherBox::forget() {
    hBox = nullptr;
    answerHook = nullptr;
    keyboardHook.reset();
}

INT_PTR CALLBACK CLauncherBox::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        reinterpret_cast<CLauncherBox*>(lParam)->hBox = dialog;
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE; // focus goes to the first tab stop
    }
    auto* self = reinterpret_cast<CLauncherBox*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr || self->hBox != dialog)
        return FALSE;
    // After answer() neither `self` nor the box may be touched: the hook
    // may have replaced the box or ended its owner.
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (const int button = self->answerFor(LOWORD(wParam)); button != 0) {
                self->answer(button);
                return TRUE;
            }
        }
        return FALSE;
    case WM_CLOSE:
        self->answer(self->answerFor(IDCANCEL));
        return TRUE;
    case WM_NCDESTROY:
        self->forget();
        return FALSE;
    default:
        return FALSE;
    }
}

LRESULT CALLBACK CLauncherBox::keyboardProc(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->hwnd != nullptr &&
        msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
        const HWND root = ::GetAncestor(msg->hwnd, GA_ROOT);
        const bool ourBox = ::GetWindowLongPtrW(root, DWLP_DLGPROC) ==
                            reinterpret_cast<LONG_PTR>(&CLauncherBox::dialogProc);
        // A handled message becomes WM_NULL, which the loop then dispatches
        // to nobody.
        if (ourBox && ::IsDialogMessageW(root, msg))
            *msg = MSG{};
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
