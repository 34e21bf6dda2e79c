// CLogic: the one object that owns a launcher run. The entry point creates
// it, hands it the command line and the run log, and drives it through
// preinit, init, run and uninit on the GUI thread.
#pragma once

#include "app/command_line.h"
#include "app/entry_win.h"
#include "app/run_mode.h"

#include <windows.h>

#include <cstdint>
#include <string>

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

    bool preinit() override;
    bool isLauncherLogEnabled() const override { return bLogLauncher; }
    void setRunLog(CLogImplW* log) override { pLog = log; }
    void setCommandLine(const CommandLineState& state, HANDLE hMutex) override;
    bool init(int runCode, const std::wstring& argument) override;
    bool run() override;
    void uninit() override;

private:
    void log(const std::wstring& line);
    bool readDebugMode() const;
    void reportRunMode();

    CLogImplW* pLog = nullptr;
    HANDLE hUninstallMutex = nullptr;

    // Configuration (the embedded configuration is not read yet: the run
    // log is on and no product registry path is known).
    bool bLogLauncher = true;
    std::wstring sRegPath;

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
    uint64_t hDownloadOwner = 0;
    std::string sUpdatePath;
};
