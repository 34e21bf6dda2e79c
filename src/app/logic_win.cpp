#include "app/logic_win.h"

#include "app/config/install_folder_win.h"
#include "app/init_arguments.h"
#include "app/stamp/stamp_resources_win.h"
#include "base/file_io_win.h"
#include "base/log/run_log_win.h"
#include "base/reg_key_win.h"
#include "net/download/downloader_win.h"
#include "net/net_transport_win.h"
#include "system/install_folder_list_win.h"

CLogic::CLogic() {
    // The program's key of CUD.dat.
    selector.SetCudKey("7C1E93B04FD2A865E0B7194C3A5DF826");
}

CLogic::~CLogic() {
    if (g_pLangTable == &languages.table)
        g_pLangTable = nullptr;
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
    nRunCode = runCode;
    const InitArguments args = applyRunArgument(runCode, argument);
    sCmdArgument = args.sCmdArgument;
    hDownloadOwner = args.hDownloadOwner;
    if (!args.sInstallFolder.empty())
        sInstallFolder = args.sInstallFolder;
    bDebugMode = readDebugMode();

    readLauncherKeys();
    sUpdatePath = readStampValue("UPDATE_PATH", 133);
    if (sUpdatePath.empty())
        sUpdatePath = settings.sConfigUpdatePath;
    readThemeKeys();

    reportRunMode();
    if (nRunMode == rmUnknown)
        return false;
    if (nRunMode != rmUpdate)
        bFastMode = false;
    nFormSize = formSizeForRunMode(nRunMode);

    if (!selectStartLanguage())
        return false;
    // Before the server data are kept in the folder: a folder that is not
    // the client's gets nothing written into it and nothing deleted.
    if ((nRunMode == rmUpdate || nRunMode == rmDownload) && !checkFolderIsOurs())
        return true;
    if (bUseServer)
        prepareServerData();
    return true;
}
