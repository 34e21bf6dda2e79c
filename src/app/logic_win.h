// CLogic: the one object that owns a launcher run. The entry point creates
// it, hands it the command line and the run log, and drives it through
// preinit, init, run and uninit on the GUI thread.
//
// Every handler runs on the GUI thread. Worker threads (checker, unpacker)
// and the downloader only post messages to the window; run's message loop
// brings them here. The work is spread over files by stage: configuration
// (logic_config_win.cpp), window and loop (logic_loop_win.cpp), network
// (logic_network_win.cpp), download flow (logic_download_win.cpp), retries
// (logic_retry_win.cpp), boxes (logic_boxes_win.cpp) and the install
// folder's ownership (logic_folder_win.cpp).
#pragma once

#include "app/command_line.h"
#include "app/config/launcher_config.h"
#include "app/config/theme_settings.h"
#include "app/entry_win.h"
#include "app/flow/download_flow.h"
#include "app/flow/retry_ladder.h"
#include "app/flow/unpacker_part_store_win.h"
#include "app/lang/language_choice.h"
#include "app/run_mode.h"
#include "base/buffer.h"
#include "base/windows_win.h"
#include "net/download/cud_store_win.h"
#include "net/download/downloader_notify.h"
#include "net/download/url_selector.h"
#include "ui/dialog/launcher_box_win.h"
#include "ui/dialog/launcher_window_win.h"
#include "ui/lang/language_list.h"
#include "update/archive/archive_store.h"
#include "update/checker/checker_thread_win.h"
#include "update/unpack/unpacker_thread_win.h"

#include <tinyxml2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CLogImplW;
namespace NetEx {
class CNetTransport;
class CDownloader;
} // namespace NetEx

class CLogic : public ILauncherLogic,
               public IDownloaderNotify,
               private IRetryLadderOwner,
               private IDownloadFlowOwner {
public:
    // Run codes under the names the run log uses.
    static constexpr int rcNone = ::rcNone;
    static constexpr int rcUninstall = ::rcUninstall;
    static constexpr int rcUninstallFrom = ::rcUninstallFrom;
    static constexpr int rcUninstallFromGuest = ::rcUninstallFromGuest;
    static constexpr int rcDownload = ::rcDownload;
    static constexpr int rcCrc = ::rcCrc;
    static constexpr int rcSetLongName = ::rcSetLongName;

    // Controls of the window: the progress text and the first page's text.
    static constexpr int kProgressTextControl = 12361;
    static constexpr int kFirstPageInfoControl = 12411;

    CLogic();
    CLogic(const CLogic&) = delete;
    CLogic& operator=(const CLogic&) = delete;
    ~CLogic() override;

    bool preinit() override;
    bool isLauncherLogEnabled() const override { return config.bLogLauncher; }
    void setRunLog(CLogImplW* log) override { pLog = log; }
    void setCommandLine(const CommandLineState& state, HANDLE hMutex) override;
    bool init(int runCode, const std::wstring& argument) override;
    bool run() override;
    void uninit() override;

    // Fills sInstallFolder: the folder `chosen` by the user when given, else
    // the one already set, else the default of the run mode.
    bool proposeInstallFolder(const std::wstring& chosen);

    // The downloader's reports (logic_network_win.cpp, logic_download_win.cpp,
    // logic_retry_win.cpp).
    void OnCUDFileReceived(CBuffer* body) override;
    void OnKBFileProgress(unsigned received, unsigned total) override;
    void OnKBFileReceived(CBuffer* body) override;
    void OnLicenseReceived(CBuffer* body) override;
    void OnUpdateXmlReceived(CBuffer* body) override;
    void OnFilePartReceived(CBuffer* body, bool incomplete) override;
    void OnFilePartProgress(unsigned bytes, bool continuing) override;
    void OnNetError(int kind, unsigned errorCode, int httpStatus, const std::string& text) override;

private:
    // Window and loop, in logic_loop_win.cpp.
    bool createDialog();
    void runMessageLoop();
    LRESULT OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnTimer(UINT_PTR id);
    void startRetryTimer(unsigned id);
    void quitLauncher();
    // A step that a later version of the launcher provides: logged, then the
    // run ends cleanly.
    void stepNotAvailable(const wchar_t* step);
    void stopWorkers();
    // Writes `step`, runs the bounded `wait` and logs "OK", or "timed out"
    // when it returned false.
    bool logBoundedWait(const wchar_t* step, const std::function<bool()>& wait);

    // Network, in logic_network_win.cpp.
    bool checkWriteRights();
    bool startNetwork();
    void stopNetwork();
    void requestManifest();
    void startCheckThread();
    void onCudReceived(CBuffer* body);

    // Download flow, in logic_download_win.cpp.
    void onCheckResult(WPARAM wParam, LPARAM lParam);
    void onServerInfoReady(const UpdateManifest* manifest);
    void takeDownloadList();
    void onCheckDone();
    void processStartDownload();
    bool beginUnpackRun();
    void onPartsMeasured(LPARAM request);
    bool hasDiskSpaceFor(uint64_t bytes) const;
    void showDownloadPage();
    // Carries out what the flow (app/flow/download_flow.h) answered.
    void carryOutFlow(const SFlowAction& action);
    void onPartWritten();
    void showProgress(uint64_t unpackBytes);
    void onUnpackResult(LPARAM result);
    void processAfterDownload();
    void saveManifest();
    void LogFlow(const std::wstring& line) override { log(line); }
    void ShowFlowProgress() override { showProgress(0); }

    // Retries, in logic_retry_win.cpp: the ladder decides, these carry out.
    void onEmptyPart();
    bool retryPart();
    void onRetryTimer(unsigned id);
    void carryOut(const SRetryAction& action);
    void resend(ERetryRequest request, int attempt);
    void resendPart(int attempt);
    std::wstring attemptText(int attempt) const;
    // The downloader follows the selector's server (when one is selected).
    void useSelectedServer();
    std::wstring composeNetError(unsigned errorCode, int httpStatus, const std::string& text) const;
    void LogRetry(const std::wstring& line) override { log(line); }
    std::optional<std::string> FrontPackageName() const override { return flow.FrontPackageName(); }
    bool CanRequestTerms() const override { return bUseServer && bNetStarted; }

    // Boxes, in logic_boxes_win.cpp.
    // `editText`: the box has the edit box, holding this text.
    void showMessageBox(const std::wstring& text, int reason, EBoxButtons buttons, EBoxStyle style,
                        const std::optional<std::wstring>& editText = std::nullopt);
    void askUser(int langIndex, int reason, EBoxButtons buttons, EBoxStyle style);
    void onBoxAnswered(int answer, const std::wstring& editText);
    void showFileError(const std::string& name, uint32_t code);
    void setProgressText(const std::wstring& text);

    // preinit, in logic_config_win.cpp.
    bool loadLauncherConfig();
    bool loadThemeConfig();
    bool archiveFile(const std::string& name, std::vector<uint8_t>& bytes) const;

    // init's configuration steps, in logic_config_win.cpp; they throw the
    // error text of a missing required key.
    void readLauncherKeys();
    void readThemeKeys();
    bool selectStartLanguage();
    void prepareServerData();

    void log(const std::wstring& line);
    bool readDebugMode() const;
    void reportRunMode();

    // The install folder, in logic_folder_win.cpp. False (and the reason
    // logged) when the own folder holds files that are not the launcher's
    // or the client's.
    bool checkFolderIsOurs();
    // The box that ends a run refused by checkFolderIsOurs.
    void refuseForeignFolder();

    CLogImplW* pLog = nullptr;
    HANDLE hUninstallMutex = nullptr;

    // Configuration.
    singleton_ptr<CArchiveHelperRar> archive;
    CLauncherConfig config;
    tinyxml2::XMLDocument themeConfig;
    LaunchSettings settings;
    ThemeSettings theme;
    std::wstring sRegPath;
    std::wstring sFullNameW; // captions
    std::string sUpdatePath;
    std::wstring sCudPath;
    int nPlatform = pp32; // the checker's: pp64 on a 64-bit system

    // Languages.
    CLauncherLanguages languages;
    LanguageDecision language;

    // Command line and run.
    int nRunCode = rcNone;
    std::wstring sCmdArgument;
    std::wstring sUninstallArg;
    int nRunMode = rmUnknown;
    int nFormSize = 0;
    bool bFastMode = false;
    bool bRestart = false;
    bool bAuto = false;
    bool bRunByClient = false;
    bool bRunByClientCritical = false;
    bool bDebugMode = false;
    bool bGuest = false;
    bool bUseServer = false;
    bool bForeignFolder = false; // the own folder is not the client's: nothing is done
    std::wstring sInstallFolder;
    std::wstring sTypedInstallFolder; // what the user typed into the folder box
    uint64_t hDownloadOwner = 0;

    // Window. The boxes go before the window that owns them.
    CLauncherWindow dialog;
    CLauncherBox box;
    bool bShuttingDown = false;
    bool bStopLoop = false;

    // Network. The downloader is destroyed before the transport it uses.
    CCudFileStore cudStore;
    CUrlSelector selector{cudStore};
    std::unique_ptr<NetEx::CNetTransport> transport;
    std::unique_ptr<NetEx::CDownloader> downloader;
    bool bNetStarted = false;
    std::string sUserAgentHeader;

    // The update run.
    CCheckerThread checker;
    CUnpackerThread unpacker;
    std::string sManifestText;
    std::string sOldManifestText;
    CUnpackerPartStore partStore{unpacker};
    CDownloadFlow flow{partStore, *this};
    static constexpr ULONGLONG kProgressRedrawMs = 50;
    ULONGLONG nLastProgressTick = 0;

    // Retries and the answers of the boxes.
    CRetryLadder ladder{selector, *this};
};
