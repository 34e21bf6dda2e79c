// The logic's message boxes and what their answers do.
#include "app/logic_win.h"

#include "base/log/run_log_win.h"
#include "base/system_message_win.h"
#include "base/utf8_text.h"
#include "net/download/downloader_win.h"
#include "ui/lang/lang_format.h"
#include "update/flow/retry_rules.h"
#include "update/manifest/manifest_text.h"

namespace {

std::wstring trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

} // namespace

void CLogic::setProgressText(const std::wstring& text) {
    dialog.SetText(kProgressTextControl, text);
}

void CLogic::showMessageBox(const std::wstring& text, int reason, EBoxButtons buttons,
                            EBoxStyle style, bool withEdit) {
    nMsgReason = reason;
    log(L" --------------------------------------");
    log(L"|              MessageBox              |");
    log(L"|--------------------------------------|");
    log(text);
    log(L" --------------------------------------");
    std::optional<std::wstring> editCaption;
    std::wstring editText;
    if (withEdit) {
        editCaption = getLangString(113);
        editText = wideFromUtf8(selector.Location().customUrl);
    }
    const bool shown = box.Show(
        dialog.Handle(), sFullNameW, text, buttons, style,
        [this](int answer, const std::wstring& edit) { onBoxAnswered(answer, edit); }, editCaption,
        editText);
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
    switch (nMsgReason) {
    case eMsgReason_ServerPrompt:
        nMsgReason = nSavedReason;
        if (selector.SetCustomUrl(utf8FromWide(trimmed(editText)))) {
            useSelectedServer();
            restartStep();
        } else {
            showRetryError();
        }
        break;
    case eMsgReason_License:
    case eMsgReason_Manifest:
    case eMsgReason_Package:
        if (answer == IDRETRY)
            restartStep();
        else
            abandonRetry();
        break;
    default:
        quitLauncher();
        break;
    }
}
