#include "app/run_mode.h"

#include "app/command_line.h"

#include <cwctype>

namespace {

bool equalsNoCase(const std::wstring& a, const wchar_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != 0; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return i == a.size() && b[i] == 0;
}

const wchar_t kPortable[] = L"  Portable, ";

} // namespace

RunModeDecision decideRunMode(const RunModeFacts& facts) {
    RunModeDecision d;
    if (facts.runCode == rcSetLongName) {
        d.nRunMode = rmSetLongName;
        d.bGuest = facts.guestFileInInstallFolder;
        d.logText = L"  rmSetLongName";
        return d;
    }
    d.bGuest = facts.guestFileInOwnFolder;
    const bool isRunAsLauncherExe = equalsNoCase(facts.ownFileName, L"Launcher.exe");

    if (facts.runCode == rcDownload) {
        if (isRunAsLauncherExe && (d.bGuest || facts.ownFolderRegistered)) {
            d.nRunMode = rmDownload;
            d.bUseServer = true;
            d.logText = d.bGuest ? std::wstring(kPortable) + L"rmDownload" : L"  rmDownload";
        } else {
            d.logText = L"  rmUnknown";
        }
        return d;
    }

    // A portable install is recognised only from the launcher itself or its
    // temporary copy, never from a renamed executable.
    if (!isRunAsLauncherExe)
        d.bGuest = d.bGuest && equalsNoCase(facts.ownFileName, L"Launcher.tmp.exe");
    if (d.bGuest)
        d.logText = kPortable;
    switch (facts.runCode) {
    case rcUninstallFromGuest:
        d.bGuest = true;
        [[fallthrough]];
    case rcUninstall:
    case rcUninstallFrom:
        d.nRunMode = rmUninstaller;
        break;
    default:
        d.nRunMode = facts.ownFolderRegistered || d.bGuest ? rmUpdate : rmInstall;
        d.bUseServer = true;
        break;
    }
    if (d.logText.empty())
        d.logText = L"  ";
    d.logText += runModeName(d.nRunMode);
    return d;
}

const wchar_t* runModeName(int runMode) {
    switch (runMode) {
    case rmInstall:
        return L"rmInstall";
    case rmUpdate:
        return L"rmUpdate";
    case rmUninstaller:
        return L"rmUninstaller";
    case rmDownload:
        return L"rmDownload";
    case rmSetLongName:
        return L"rmSetLongName";
    default:
        return L"rmUnknown";
    }
}

int formSizeForRunMode(int runMode) {
    switch (runMode) {
    case rmUpdate:
    case rmSetLongName:
        return 1;
    case rmUninstaller:
        return 2;
    default:
        return 0;
    }
}
