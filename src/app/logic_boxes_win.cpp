// The logic's message boxes. The retry ladder says what their answers lead to.
#include "app/logic_win.h"

#include "base/log/run_log_win.h"
#include "base/system_message_win.h"
#include "base/utf8_text.h"
#include "ui/lang/lang_format.h"
#include "update/flow/retry_rules.h"

void CLogic::setProgressText(const std::wstring& text) {
    dialog.SetText(kProgressTextControl, text);
}

void CLogic::showMessageBox(const std::wstring& text, int reason, EBoxButtons buttons,
                            EBoxStyle style, const std::optional<std::wstring>& editText) {
    ladder.OnBoxShown(reason);
    log(L" --------------------------------------");
    log(L"|              MessageBox              |");
    log(L"|--------------------------------------|");
    log(text);
    log(L" --------------------------------------");
    std::optional<std::wstring> editCaption;
    if (editText)
        editCaption = getLangString(113);
    const bool shown = box.Show(
        dialog.Handle(), sFullNameW, text, buttons, style,
        [this](int answer, const std::wstring& edit) { onBoxAnswered(answer, edit); }, editCaption,
        editText.value_or(std::wstring()));
    // A box that cannot be shown cannot be answered: end instead of waiting.
    if (!shown)
        quitLauncher();
}

void CLogic::askUser(int langIndex, int reason, EBoxButtons buttons, EBoxStyle style) {
    showMessageBox(getLangString(langIndex), reason, buttons, style);
}

void CLogic::showFileError(const std::string& name, uint32_t code) {
    std::wstring text = formatLangText(getLangString(39), {LangArg(wideFromUtf8(name))});
    const std::wstring system = systemMessageText(code, nullptr, true);
    if (!system.empty())
        text += L"\n\n" + system;
    showMessageBox(text, eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Error);
}

void CLogic::onBoxAnswered(int answer, const std::wstring& editText) {
    if (bShuttingDown)
        return;
    carryOut(ladder.OnBoxAnswered(answer == IDRETRY, editText));
}
