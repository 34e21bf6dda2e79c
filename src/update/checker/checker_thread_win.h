// CCheckerThread: the checker's worker thread. It parses the new and the
// previous manifest, reports that the server information is ready, waits
// until the logic has the user's choices, then tests the launcher, compares
// the install folder, chooses the packages and cleans up, reporting each
// stage to the dialog. Every decision is CCheckerCore's; this class adds the
// thread, the hand-shake with the logic and the Windows files.
//
// Threads: StartCheck, Wake, Stop, LastResult, Results, listShortcutChanges
// and the destructor are called on the thread that owns the dialog window
// (the GUI thread); Run and YieldToOthers run on the checker thread.
//
// Results: eWindowsMessage_CheckResult is posted to the dialog with lParam
// an ECheckResult, in this order: eCheckResult_ServerInfoReady (2), then,
// after Wake, one of eCheckResult_ListReady (0) or
// eCheckResult_LauncherOutdated (1); or eCheckResult_Failed (3) alone. No
// result is posted once Stop has set the stop flag.
//
// The document in wParam (results 2 and 0) is the check's own
// `const UpdateManifest*`: lent, never handed over. The receiver does not
// free it, so nothing leaks when the post fails or the window is gone
// before the message is read. It stays valid until the next StartCheck or
// the destructor; StartCheck removes the previous check's results still
// queued, so no message ever points to a replaced document. Read it between
// result 2 and Wake, and after result 0 (the thread changes it in between).
#pragma once

#include "base/scoped_handle_win.h"
#include "base/thread_win.h"
#include "base/windows_win.h"
#include "update/checker/checker_core.h"
#include "update/checker/checker_decisions.h"
#include "update/checker/checker_records.h"
#include "update/checker/install_files_win.h"

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

inline constexpr UINT eWindowsMessage_CheckResult = 2625;

enum ECheckResult : int {
    eCheckResult_ListReady = 0,        // wParam: the document
    eCheckResult_LauncherOutdated = 1, // wParam: 0
    eCheckResult_ServerInfoReady = 2,  // wParam: the document
    eCheckResult_Failed = 3,           // wParam: 0
};

// What the logic sets before each check.
struct CheckThreadSettings {
    // Platform, launcher name, language, additional packages, protected
    // names, bQuickCheck, bOnlyAddPackages, bIsUpdate, bCanDelete.
    CheckSettings check;
    std::wstring sInstallFolder;  // absolute, no trailing '\'
    std::string sManifestText;    // UTF-8
    std::string sOldManifestText; // UTF-8; empty: no previous manifest
    // The running launcher, as the logic finds it (version, size, checksum):
    // the checker compares it with the manifest's.
    OwnLauncher ownLauncher;
};

// What the logic knows once the user has chosen, handed over with Wake.
struct CheckChoices {
    std::wstring sInstallFolder; // absolute, no trailing '\'
    // EXEC values of the chosen ext applications; they replace the
    // settings' selectedApps.
    std::set<std::wstring> selectedApps;
};

class CCheckerThread : public CThread {
public:
    // The bounded wait of a stop at shutdown; a check still running after it
    // is terminated.
    static constexpr unsigned kStopWaitMs = 1000;

    CCheckerThread();
    // Stop(kStopWaitMs).
    ~CCheckerThread() override;

    // Stops a running check, waiting for it without a time-out, removes its
    // results still queued for `hDialog`, and starts a new check with
    // `settings`. False when the thread cannot be started.
    bool StartCheck(HWND hDialog, CheckThreadSettings settings);
    // Lets the check go on after result 2 with the user's choices.
    void Wake(CheckChoices choices);
    // Sets the stop flag and signals the wake-up event under the lock, then
    // waits up to `milliseconds` (INFINITE allowed); a thread still running
    // after a finite wait is terminated. False only then.
    bool Stop(unsigned milliseconds = kStopWaitMs);

    // The last result posted by the current check; -1 before the first.
    int LastResult() const;
    // The tables and decisions of the current check (null before the first
    // StartCheck); complete after result 0.
    const CCheckerCore* Results() const;
    // The shortcuts to delete and create so "applist.dat" matches the
    // internal applications of the manifest. After result 0.
    bool listShortcutChanges(std::vector<ShortcutChange>& changes);

protected:
    void Run() override;
    // Lets other threads run; called on the checker thread after every ten
    // files. The base sleeps for zero milliseconds.
    virtual void YieldToOthers();
    bool stopRequested() const;

private:
    // One check's state: replaced as a whole by StartCheck.
    struct CheckRun {
        explicit CheckRun(const std::wstring& installFolder) : files(installFolder) {}
        CWinInstallFiles files;
        CheckerControl control;
        CCheckerCore core{files, control};
        std::string sManifestText;
        std::string sOldManifestText;
        OwnLauncher ownLauncher;
    };

    // The steps of one check; every way out ends it quietly.
    void check(CheckRun& work);
    void readAddPkg(CheckRun& work);
    void dropBrokenAppList(CheckRun& work);
    // Posts result 2 and waits for Wake or Stop; then takes the choices.
    // False when the check must end (stopped, or the post failed so nobody
    // would ever wake it).
    bool waitForChoices(CheckRun& work);
    bool postResult(ECheckResult result, const UpdateManifest* document);
    void endCheck();

    HWND hDialog = nullptr;
    std::unique_ptr<CheckRun> run;

    // Guards everything below; the thread takes it only briefly.
    mutable std::mutex lock;
    bool bStop = false;
    CHandle hWake; // manual reset; signalled by Wake and Stop
    int nLastResult = -1;
    bool bHaveChoices = false;
    CheckChoices choices;
    std::wstring sInstallFolder; // the folder of the current check
};
