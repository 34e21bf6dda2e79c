// The retry ladder: what the logic does after a request failed. A few
// attempts on the same server one second apart, then the next server of the
// list, then fresh server data from the data-update addresses, then the
// user's own server address (when the server data allow it), and last the box
// with Retry and Cancel.
//
// The ladder decides, keeps the counts and writes its run-log lines; the logic
// carries out the action each call answers (timers, requests, boxes) and keeps
// the window texts. Used on the logic's (GUI) thread only; not reentrant:
// carry out one action before the next call.
#pragma once

#include "update/flow/retry_rules.h"

#include <optional>
#include <string>

class CUrlSelector;

// What the ladder reads from its owner, and where its run-log lines go.
// Called only from inside the ladder's own calls.
class IRetryLadderOwner {
public:
    virtual ~IRetryLadderOwner() = default;
    virtual void LogRetry(const std::wstring& line) = 0;
    // The name of the package at the front of the download queue; nothing
    // when the queue is empty.
    virtual std::optional<std::string> FrontPackageName() const = 0;
    // The terms text may be requested again: the run uses a server and the
    // network is started.
    virtual bool CanRequestTerms() const = 0;
};

// The requests the ladder repeats.
enum class ERetryRequest { eLicense, eManifest, ePart };

// What the logic does next.
enum class ERetryStep {
    eNone,
    eStartTimer,       // the one-shot retry timer `timer`
    eResend,           // `request` again; an `attempt` above 0 is shown to the user
    eFetchServerData,  // client update data from the data-update address `url`
    eShowErrorBox,     // `text` with OK; closing it ends the launcher
    eShowRetryBox,     // `text` with Retry and Cancel for the request of `reason`
    eShowServerPrompt, // `text` with an edit box that holds `editText`
    eQuit,
};

struct SRetryAction {
    ERetryStep step = ERetryStep::eNone;
    // When not empty, the downloader's server base URL becomes this first
    // (whatever the step).
    std::string server;
    unsigned timer = 0;
    ERetryRequest request = ERetryRequest::eLicense;
    int attempt = 0;
    std::string url;
    int reason = eMsgReason_None;
    std::wstring text;
    std::wstring editText;
};

class CRetryLadder {
public:
    // Neither is owned; both must outlive the ladder.
    CRetryLadder(CUrlSelector& selector, IRetryLadderOwner& owner);
    CRetryLadder(const CRetryLadder&) = delete;
    CRetryLadder& operator=(const CRetryLadder&) = delete;

    // A request of `kind` (NetEx::EDownloadKind) failed. `message` is what the
    // user is shown when the ladder reaches them; `systemText` the internet
    // library's text for `errorCode` (UTF-8, may be empty).
    SRetryAction OnNetError(int kind, unsigned errorCode, int httpStatus,
                            const std::wstring& message, const std::string& systemText);
    // A package answer without data; `unexpectedText` is shown when the
    // ladder reaches the user.
    SRetryAction OnEmptyPart(const std::wstring& unexpectedText);
    // A package answer with data: the attempts on this server start again.
    void OnPartReceived();
    // An answer that makes further attempts on this server useless; its
    // OnNetError follows.
    void EndAttempts();
    // The next range of the front package: after a short package answer, and
    // on every retry of a part.
    SRetryAction RetryPart();
    // The retry timer `id` (eRetryTimer_*) fired.
    SRetryAction OnRetryTimer(unsigned id);
    // Client update data arrived; `serversChanged` when they changed the
    // server lists.
    SRetryAction OnServerData(bool serversChanged);
    // The logic showed a box about `reason` (eMsgReason_*); its answer comes
    // to OnBoxAnswered.
    void OnBoxShown(int reason);
    // The box was answered: `retryPressed` for its Retry button; `editText`
    // is the text of its edit box.
    SRetryAction OnBoxAnswered(bool retryPressed, const std::wstring& editText);

private:
    SRetryAction retry(ERetryRequest request);
    SRetryAction restartStep();
    SRetryAction fetchServerDataOrAsk();
    SRetryAction promptOrShowRetryError();
    SRetryAction showRetryError();
    SRetryAction abandon();
    // `action` after the downloader follows the selector's server.
    SRetryAction onSelectedServer(SRetryAction action) const;
    void log(const std::wstring& line) { owner.LogRetry(line); }

    CUrlSelector& selector;
    IRetryLadderOwner& owner;
    // Attempts made for the current request; above kMaxAttempts the retries
    // give up on this server.
    int nAttempt = 0;
    // The text of the last failure.
    std::wstring sPendingError;
    // The reason of the box shown last, or of the request the ladder gave up.
    int nMsgReason = eMsgReason_None;
    // nMsgReason while the server-address prompt is open.
    int nSavedReason = eMsgReason_None;
};
