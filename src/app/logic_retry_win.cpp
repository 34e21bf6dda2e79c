// The retry ladder: attempts on the same server one second apart, the next
// server, fresh server data from the data-update addresses, the user's own
// server address, and the box with Retry and Cancel.
#include "app/logic_win.h"

#include "base/log/run_log_win.h"
#include "base/system_message_win.h"
#include "base/utf8_text.h"
#include "net/download/downloader_win.h"
#include "net/httx503_answer_win.h"
#include "ui/lang/lang_format.h"
#include "update/flow/retry_rules.h"
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
    const bool busy = httpStatus == 502 || httpStatus == 503;
    std::wstring message = composeNetError(errorCode, httpStatus, text);
    if (busy) {
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
    switch (kind) {
    case NetEx::eDownload_CUDFile:
        log(L"net error CUD file");
        sPendingError = message;
        startRetryTimer(eRetryTimer_ServerList);
        break;
    case NetEx::eDownload_KB:
        log(L"net error KB file");
        showMessageBox(message, eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Normal);
        break;
    case NetEx::eDownload_License:
        nAttempt = countAttempt(nAttempt, httpStatus, errorCode);
        if (!busy)
            log(L"net error License");
        sPendingError = message;
        startRetryTimer(eRetryTimer_License);
        break;
    case NetEx::eDownload_UpdateXml:
    case NetEx::eDownload_Update: {
        nAttempt = countAttempt(nAttempt, httpStatus, errorCode);
        const bool manifest = kind == NetEx::eDownload_UpdateXml;
        const std::string request =
            manifest ? "update.rxml" : (downloadQueue.empty() ? "" : downloadQueue.front().name);
        log(L"");
        log(wideFromUtf8(networkFailureText(
            request, errorCode, utf8FromWide(internetErrorText(errorCode)), httpStatus)));
        log(L"");
        sPendingError = message;
        startRetryTimer(manifest ? eRetryTimer_Manifest : eRetryTimer_Part);
        break;
    }
    default:
        if (!busy)
            log(L"net error update Affiliate");
        break;
    }
}

void CLogic::onEmptyPart() {
    ++nAttempt;
    if (!downloadQueue.empty()) {
        log(L"");
        log(L"Server answer is unexpected: " + wideFromUtf8(downloadQueue.front().name));
        log(L"");
        sPendingError = getLangString(30);
    }
    startRetryTimer(eRetryTimer_Part);
}

bool CLogic::retryLicense() {
    if (attemptsRunOut(nAttempt)) {
        log(L"attempts run out");
        return false;
    }
    log(L"continue downloading license attempt #" + std::to_wstring(nAttempt));
    downloader->DownloadLicense(settings.sLicensePath.c_str());
    return true;
}

bool CLogic::retryManifest() {
    dialog.SetText(kFirstPageInfoControl, L"");
    if (attemptsRunOut(nAttempt)) {
        log(L"attempts run out");
        return false;
    }
    log(L"continue downloading xml attempt #" + std::to_wstring(nAttempt));
    if (nAttempt > 0)
        dialog.SetText(kFirstPageInfoControl,
                       formatLangText(getLangString(37), {LangArg(nAttempt * 1LL)}));
    requestManifest();
    return true;
}

bool CLogic::retryPart() {
    if (attemptsRunOut(nAttempt)) {
        log(L"attempts run out");
        return false;
    }
    log(L"continue downloading attempt #" + std::to_wstring(nAttempt));
    if (downloadQueue.empty())
        return false;
    DownloadItem& item = downloadQueue.front();
    uint64_t held = 0;
    unpacker.GetFileCrc(tempFileOf(item).c_str(), nullptr, &held);
    item.downloaded = std::min(held, item.size);
    item.remaining = item.size - item.downloaded;
    if (nAttempt > 0)
        setProgressText(formatLangText(getLangString(37), {LangArg(nAttempt * 1LL)}));
    downloadNext();
    return true;
}

void CLogic::onRetryTimer(unsigned id) {
    if (id != eRetryTimer_ServerList) {
        const bool retried = id == eRetryTimer_License    ? retryLicense()
                             : id == eRetryTimer_Manifest ? retryManifest()
                                                          : retryPart();
        if (retried)
            return;
        nMsgReason = id == eRetryTimer_License    ? eMsgReason_License
                     : id == eRetryTimer_Manifest ? eMsgReason_Manifest
                                                  : eMsgReason_Package;
        if (selector.SelectServerUrl()) {
            useSelectedServer();
            restartStep();
            return;
        }
        if (!selector.Location().customUrl.empty()) {
            promptOrShowRetryError();
            return;
        }
    }
    if (trySelectDataUpdateUrl())
        return;
    promptOrShowRetryError();
}

bool CLogic::trySelectDataUpdateUrl() {
    if (!selector.IsInitialized() || !selector.SelectDataUpdateUrl())
        return false;
    nAttempt = 1;
    downloader->DownloadCUDFile(selector.Location().dataUpdateUrl.c_str(),
                                sUserAgentHeader.c_str());
    return true;
}

void CLogic::promptOrShowRetryError() {
    if (!selector.Face().askLoginURL) {
        showRetryError();
        return;
    }
    nSavedReason = nMsgReason;
    const std::string pending = selector.Location().customUrl;
    showMessageBox(sPendingError, eMsgReason_ServerPrompt, EBoxButtons::Ok, EBoxStyle::Normal,
                   true);
    if (!pending.empty())
        selector.RejectCustomUrl();
}

void CLogic::restartStep() {
    switch (nMsgReason) {
    case eMsgReason_License:
        if (bUseServer && bNetStarted) {
            nAttempt = 1;
            retryLicense();
        }
        break;
    case eMsgReason_Manifest:
        nAttempt = 1;
        retryManifest();
        break;
    case eMsgReason_Package:
        nAttempt = 1;
        retryPart();
        break;
    default:
        break;
    }
}

void CLogic::showRetryError() {
    if (selector.Location().SelectedURL.empty() && !selector.SelectServerUrl()) {
        abandonRetry();
        return;
    }
    useSelectedServer();
    showMessageBox(sPendingError, nMsgReason, EBoxButtons::RetryCancel, EBoxStyle::Error);
}

void CLogic::useSelectedServer() {
    const std::string& url = selector.Location().SelectedURL;
    if (!url.empty())
        downloader->SetServerBaseUrl(url);
}

void CLogic::abandonRetry() {
    selector.RejectCustomUrl();
    quitLauncher();
}
