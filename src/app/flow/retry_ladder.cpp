#include "app/flow/retry_ladder.h"

#include "base/utf8_text.h"
#include "net/download/download_rules.h"
#include "net/download/url_selector.h"
#include "update/manifest/manifest_text.h"

namespace {

// Each repeated request: its timer, the reason of its box and the run-log
// line of a new attempt.
struct SRequestRule {
    ERetryRequest request;
    unsigned timer;
    int reason;
    const wchar_t* attemptLine;
};

// In the order of ERetryRequest.
constexpr SRequestRule kRequestRules[] = {
    {ERetryRequest::eLicense, eRetryTimer_License, eMsgReason_License,
     L"continue downloading license attempt #"},
    {ERetryRequest::eManifest, eRetryTimer_Manifest, eMsgReason_Manifest,
     L"continue downloading xml attempt #"},
    {ERetryRequest::ePart, eRetryTimer_Part, eMsgReason_Package, L"continue downloading attempt #"},
};

const SRequestRule& ruleOf(ERetryRequest request) {
    return kRequestRules[static_cast<size_t>(request)];
}

// The part timer stands for every id the other two are not.
const SRequestRule& ruleOfTimer(unsigned id) {
    for (const SRequestRule& rule : kRequestRules)
        if (rule.timer == id)
            return rule;
    return ruleOf(ERetryRequest::ePart);
}

const SRequestRule* ruleOfReason(int reason) {
    for (const SRequestRule& rule : kRequestRules)
        if (rule.reason == reason)
            return &rule;
    return nullptr;
}

SRetryAction step(ERetryStep kind) {
    SRetryAction action;
    action.step = kind;
    return action;
}

SRetryAction startTimer(unsigned id) {
    SRetryAction action = step(ERetryStep::eStartTimer);
    action.timer = id;
    return action;
}

std::wstring trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

} // namespace

CRetryLadder::CRetryLadder(CUrlSelector& urlSelector, IRetryLadderOwner& ladderOwner)
    : selector(urlSelector), owner(ladderOwner) {}

SRetryAction CRetryLadder::OnNetError(int kind, unsigned errorCode, int httpStatus,
                                      const std::wstring& message, const std::string& systemText) {
    const bool busy = httpStatus == 502 || httpStatus == 503;
    switch (kind) {
    case NetEx::eDownload_CUDFile:
        log(L"net error CUD file");
        sPendingError = message;
        return startTimer(eRetryTimer_ServerList);
    case NetEx::eDownload_KB: {
        log(L"net error KB file");
        SRetryAction action = step(ERetryStep::eShowErrorBox);
        action.text = message;
        return action;
    }
    case NetEx::eDownload_License:
        nAttempt = countAttempt(nAttempt, httpStatus, errorCode);
        if (!busy)
            log(L"net error License");
        sPendingError = message;
        return startTimer(eRetryTimer_License);
    case NetEx::eDownload_UpdateXml:
    case NetEx::eDownload_Update: {
        nAttempt = countAttempt(nAttempt, httpStatus, errorCode);
        const bool manifest = kind == NetEx::eDownload_UpdateXml;
        const std::string request =
            manifest ? "update.rxml" : owner.FrontPackageName().value_or(std::string());
        log(L"");
        log(wideFromUtf8(networkFailureText(request, errorCode, systemText, httpStatus)));
        log(L"");
        sPendingError = message;
        return startTimer(manifest ? eRetryTimer_Manifest : eRetryTimer_Part);
    }
    default:
        if (!busy)
            log(L"net error update Affiliate");
        return {};
    }
}

SRetryAction CRetryLadder::OnEmptyPart(const std::wstring& unexpectedText) {
    ++nAttempt;
    if (const std::optional<std::string> name = owner.FrontPackageName()) {
        log(L"");
        log(L"Server answer is unexpected: " + wideFromUtf8(*name));
        log(L"");
        sPendingError = unexpectedText;
    }
    return startTimer(eRetryTimer_Part);
}

void CRetryLadder::OnPartReceived() {
    nAttempt = 0;
}

void CRetryLadder::EndAttempts() {
    nAttempt = kAttemptsUseless;
}

SRetryAction CRetryLadder::RetryPart() {
    return retry(ERetryRequest::ePart);
}

SRetryAction CRetryLadder::retry(ERetryRequest request) {
    if (attemptsRunOut(nAttempt)) {
        log(L"attempts run out");
        return {};
    }
    log(ruleOf(request).attemptLine + std::to_wstring(nAttempt));
    if (request == ERetryRequest::ePart && !owner.FrontPackageName())
        return {};
    SRetryAction action = step(ERetryStep::eResend);
    action.request = request;
    action.attempt = nAttempt;
    return action;
}

SRetryAction CRetryLadder::OnRetryTimer(unsigned id) {
    if (id != eRetryTimer_ServerList) {
        const SRequestRule& rule = ruleOfTimer(id);
        SRetryAction action = retry(rule.request);
        if (action.step == ERetryStep::eResend)
            return action;
        nMsgReason = rule.reason;
        if (selector.SelectServerUrl())
            return onSelectedServer(restartStep());
        // A custom address that failed goes back to the user.
        if (!selector.Location().customUrl.empty())
            return promptOrShowRetryError();
    }
    return fetchServerDataOrAsk();
}

SRetryAction CRetryLadder::OnServerData(bool serversChanged) {
    if (serversChanged && selector.SelectServerUrl())
        return onSelectedServer(restartStep());
    return fetchServerDataOrAsk();
}

SRetryAction CRetryLadder::restartStep() {
    const SRequestRule* rule = ruleOfReason(nMsgReason);
    if (rule == nullptr || (rule->request == ERetryRequest::eLicense && !owner.CanRequestTerms()))
        return {};
    nAttempt = 1;
    return retry(rule->request);
}

SRetryAction CRetryLadder::fetchServerDataOrAsk() {
    if (!selector.SelectDataUpdateUrl())
        return promptOrShowRetryError();
    nAttempt = 1;
    SRetryAction action = step(ERetryStep::eFetchServerData);
    action.url = selector.Location().dataUpdateUrl;
    return action;
}

SRetryAction CRetryLadder::promptOrShowRetryError() {
    if (!selector.Face().askLoginURL)
        return showRetryError();
    nSavedReason = nMsgReason;
    SRetryAction action = step(ERetryStep::eShowServerPrompt);
    action.text = sPendingError;
    // The address that failed is offered for correcting, and forgotten.
    action.editText = wideFromUtf8(selector.Location().customUrl);
    selector.RejectCustomUrl();
    return action;
}

SRetryAction CRetryLadder::showRetryError() {
    if (selector.Location().SelectedURL.empty() && !selector.SelectServerUrl())
        return abandon();
    SRetryAction action = step(ERetryStep::eShowRetryBox);
    action.reason = nMsgReason;
    action.text = sPendingError;
    return onSelectedServer(std::move(action));
}

SRetryAction CRetryLadder::abandon() {
    selector.RejectCustomUrl();
    return step(ERetryStep::eQuit);
}

SRetryAction CRetryLadder::onSelectedServer(SRetryAction action) const {
    action.server = selector.Location().SelectedURL;
    return action;
}

void CRetryLadder::OnBoxShown(int reason) {
    nMsgReason = reason;
}

SRetryAction CRetryLadder::OnBoxAnswered(bool retryPressed, const std::wstring& editText) {
    switch (nMsgReason) {
    case eMsgReason_ServerPrompt:
        nMsgReason = nSavedReason;
        if (selector.SetCustomUrl(utf8FromWide(trimmed(editText))))
            return onSelectedServer(restartStep());
        return showRetryError();
    case eMsgReason_License:
    case eMsgReason_Manifest:
    case eMsgReason_Package:
        return retryPressed ? restartStep() : abandon();
    default:
        return step(ERetryStep::eQuit);
    }
}
