// What the retry ladder (app/flow/retry_ladder.h) decides, carried out: the
// timers, the requests again, the boxes, and the texts of the window.
#include "app/logic_win.h"

#include "base/log/run_log_win.h"
#include "base/system_message_win.h"
#include "base/utf8_text.h"
#include "net/download/downloader_win.h"
#include "net/httx503_answer_win.h"
#include "ui/lang/lang_format.h"
#include "update/manifest/manifest_text.h"

namespace {

// The internet library's message for `code`; empty when it has none.
std::wstring internetErrorText(unsigned code) {
    return systemMessageText(code, ::GetModuleHandleW(L"wininet.dll"), false);
}

// The locale's date or time picture for the maintenance end time.
std::wstring localeFormat(unsigned long lcid, LCTYPE type) {
    wchar_t picture[80] = {};
    if (::GetLocaleInfoW(lcid != 0 ? lcid : LOCALE_USER_DEFAULT, type, picture, 80) <= 0)
        return {};
    return picture;
}

} // namespace

std::wstring CLogic::composeNetError(unsigned errorCode, int httpStatus,
                                     const std::string& text) const {
    const bool busy = httpStatus == 502 || httpStatus == 503;
    const std::wstring systemText = internetErrorText(errorCode);
    const std::wstring numbers = L"\n" + getLangString(27) + L": " + std::to_wstring(httpStatus) +
                                 L"\n" + getLangString(28) + L": " + std::to_wstring(errorCode);
    if (!systemText.empty())
        return getLangString(26) + numbers + L"\n \n" + getLangString(29) + L":\n" + systemText;
    const std::wstring title = busy || text.empty() ? getLangString(26) : wideFromUtf8(text);
    return title + numbers;
}

void CLogic::OnNetError(int kind, unsigned errorCode, int httpStatus, const std::string& text) {
    std::wstring message = composeNetError(errorCode, httpStatus, text);
    if (httpStatus == 502 || httpStatus == 503) {
        std::string title;
        std::string page;
        bool hasTime = false;
        const CLauncherLang* lang = languages.table.current();
        const unsigned long lcid = lang != nullptr ? lang->nLcid : 0;
        if (NetEx::ParseHttx503Answer(text.c_str(), language.sCode.c_str(), title, page, hasTime,
                                      lcid, localeFormat(lcid, LOCALE_SSHORTDATE).c_str(),
                                      localeFormat(lcid, LOCALE_STIMEFORMAT).c_str()))
            message = wideFromUtf8(page);
        else
            message = getLangString(32);
        if (!hasTime)
            message += L"\n\n" + getLangString(33);
    }
    carryOut(ladder.OnNetError(kind, errorCode, httpStatus, message,
                               utf8FromWide(internetErrorText(errorCode))));
}

void CLogic::onEmptyPart() {
    carryOut(ladder.OnEmptyPart(getLangString(30)));
}

bool CLogic::retryPart() {
    const SRetryAction action = ladder.RetryPart();
    carryOut(action);
    return action.step == ERetryStep::eResend;
}

void CLogic::onRetryTimer(unsigned id) {
    // A manifest attempt's number shows only while that attempt runs.
    if (id == eRetryTimer_Manifest)
        dialog.SetText(kFirstPageInfoControl, L"");
    carryOut(ladder.OnRetryTimer(id));
}

void CLogic::carryOut(const SRetryAction& action) {
    if (!action.server.empty())
        downloader->SetServerBaseUrl(action.server);
    switch (action.step) {
    case ERetryStep::eNone:
        break;
    case ERetryStep::eStartTimer:
        startRetryTimer(action.timer);
        break;
    case ERetryStep::eResend:
        resend(action.request, action.attempt);
        break;
    case ERetryStep::eFetchServerData:
        downloader->DownloadCUDFile(action.url.c_str(), sUserAgentHeader.c_str());
        break;
    case ERetryStep::eShowErrorBox:
        showMessageBox(action.text, eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Normal);
        break;
    case ERetryStep::eShowRetryBox:
        showMessageBox(action.text, action.reason, EBoxButtons::RetryCancel, EBoxStyle::Error);
        break;
    case ERetryStep::eShowServerPrompt:
        showMessageBox(action.text, eMsgReason_ServerPrompt, EBoxButtons::Ok, EBoxStyle::Normal,
                       action.editText);
        break;
    case ERetryStep::eQuit:
        quitLauncher();
        break;
    }
}

void CLogic::resend(ERetryRequest request, int attempt) {
    switch (request) {
    case ERetryRequest::eLicense:
        downloader->DownloadLicense(settings.sLicensePath.c_str());
        break;
    case ERetryRequest::eManifest:
        dialog.SetText(kFirstPageInfoControl, attempt > 0 ? attemptText(attempt) : L"");
        requestManifest();
        break;
    case ERetryRequest::ePart:
        resendPart(attempt);
        break;
    }
}

// Goes on from what the part store holds of the front package.
void CLogic::resendPart(int attempt) {
    if (attempt > 0)
        setProgressText(attemptText(attempt));
    carryOutFlow(flow.ResendPart());
}

std::wstring CLogic::attemptText(int attempt) const {
    return formatLangText(getLangString(37), {LangArg(attempt * 1LL)});
}

void CLogic::useSelectedServer() {
    const std::string& url = selector.Location().SelectedURL;
    if (!url.empty())
        downloader->SetServerBaseUrl(url);
}
