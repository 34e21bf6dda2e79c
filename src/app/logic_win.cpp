#include "app/logic_win.h"

#include "app/init_arguments.h"
#include "app/log/run_log_win.h"
#include "app/stamp/stamp_resources_win.h"
#include "base/file_io_win.h"
#include "base/reg_key_win.h"
#include "system/install_folder_list_win.h"

bool CLogic::preinit() {
    return true;
}

void CLogic::setCommandLine(const CommandLineState& state, HANDLE hMutex) {
    nRunCode = state.g_rc;
    sCmdArgument = state.sCmdArgument;
    sUninstallArg = state.sUninstallArg;
    bFastMode = state.bFastMode;
    bRestart = state.bRestart;
    bAuto = state.bAuto;
    bRunByClient = state.bRunByClient || state.bRunByClientCritical;
    bRunByClientCritical = state.bRunByClientCritical;
    hUninstallMutex = hMutex;
}

void CLogic::log(const std::wstring& line) {
    if (pLog != nullptr)
        pLog->write(line.c_str(), true);
}

bool CLogic::readDebugMode() const {
    if (sRegPath.empty())
        return false;
    CRegKey key;
    if (!key.openRead(HKEY_CURRENT_USER, debugModeKeyPath(sRegPath)))
        return false;
    const auto value = key.readDword(L"VelmoraDebugMode");
    return value && *value != 0;
}

void CLogic::reportRunMode() {
    RunModeFacts facts;
    facts.runCode = nRunCode;
    const std::wstring ownPath = ownModulePath();
    const std::wstring ownFolder = folderOfPath(ownPath);
    facts.ownFileName = fileNameOfPath(ownPath);
    facts.guestFileInOwnFolder = fileExists(ownFolder + L"\\guest.dat");
    facts.guestFileInInstallFolder =
        !sInstallFolder.empty() && fileExists(sInstallFolder + L"\\guest.dat");
    CInstallFolderList registered;
    facts.ownFolderRegistered =
        loadFolderList(sRegPath, registered) && registered.findFolder(ownFolder) >= 0;

    const RunModeDecision d = decideRunMode(facts);
    nRunMode = d.nRunMode;
    bGuest = d.bGuest;
    bUseServer = d.bUseServer;
    log(L"Launcher run mode: " + d.logText);
}

bool CLogic::init(int runCode, const std::wstring& argument) {
    bDebugMode = readDebugMode();
    const InitArguments args = applyRunArgument(runCode, argument);
    nRunCode = runCode;
    sCmdArgument = args.sCmdArgument;
    hDownloadOwner = args.hDownloadOwner;
    if (!args.sInstallFolder.empty())
        sInstallFolder = args.sInstallFolder;
    sUpdatePath = readStampValue("UPDATE_PATH", 133);

    reportRunMode();
    if (nRunMode != rmUpdate)
        bFastMode = false;
    nFormSize = formSizeForRunMode(nRunMode);
    return nRunMode != rmUnknown;
}

bool CLogic::run() {
    return true;
}

void CLogic::uninit() {
    log(L"");
    log(L"--- Start Uninit ---");
    log(L"");
    log(L"--- Uninit finished ---");
}
