// CLogic: the one object that owns a launcher run. The entry point creates
// it, hands it the command line and the run log, and drives it through
// preinit, init, run and uninit on the GUI thread.
#pragma once

#include "app/command_line.h"
#include "app/config/launcher_config.h"
#include "app/config/theme_settings.h"
#include "app/entry_win.h"
#include "app/run_mode.h"
#include "ui/lang/language_choice.h"
#include "ui/lang/language_list.h"
#include "update/archive/archive_store.h"

#include <tinyxml2.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class CLogImplW;

class CLogic : public ILauncherLogic {
public:
    // Run codes under the names the run log uses.
    static constexpr int rcNone = ::rcNone;
    static constexpr int rcUninstall = ::rcUninstall;
    static constexpr int rcUninstallFrom = ::rcUninstallFrom;
    static constexpr int rcUninstallFromGuest = ::rcUninstallFromGuest;
    static constexpr int rcDownload = ::rcDownload;
    static constexpr int rcCrc = ::rcCrc;
    static constexpr int rcSetLongName = ::rcSetLongName;

    CLogic() = default;
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

private:
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
    std::wstring sInstallFolder;
    std::wstring sTypedInstallFolder; // what the user typed into the folder box
    uint64_t hDownloadOwner = 0;
};
