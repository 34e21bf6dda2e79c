// The run-mode decision: from the run code and a few facts about the disk,
// what this start of the launcher is (install, update, uninstall, ...).
#pragma once

#include <string>

enum ERunMode {
    rmUnknown = -1,
    rmInstall = 0,
    rmUpdate = 1,
    rmUninstaller = 2,
    rmDownload = 3,
    rmSetLongName = 4,
};

// What the decision needs to know; gathered by the caller from the file
// system and the registry.
struct RunModeFacts {
    int runCode = 0;
    std::wstring ownFileName;              // file name of the running executable
    bool guestFileInOwnFolder = false;     // "guest.dat" beside the executable
    bool guestFileInInstallFolder = false; // "guest.dat" in sInstallFolder (run code 6)
    bool ownFolderRegistered = false;      // the own folder is a registered install
};

struct RunModeDecision {
    int nRunMode = rmUnknown;
    bool bGuest = false;
    bool bUseServer = false;
    // What follows "Launcher run mode: " in the run log, line by line.
    std::wstring logText;
};

RunModeDecision decideRunMode(const RunModeFacts& facts);

const wchar_t* runModeName(int runMode);

// The forms' size variant for a run mode.
int formSizeForRunMode(int runMode);
