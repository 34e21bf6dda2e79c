#include "app/run_mode.h"

#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    int runCode;
    const wchar_t* exe;
    bool guestOwn;
    bool guestInstall;
    bool registered;
    int mode;
    bool guest;
    bool useServer;
    const wchar_t* log;
};

const Case kCases[] = {
    {rcNone, L"Launcher.exe", false, false, false, rmInstall, false, true, L"  rmInstall"},
    {rcNone, L"LAUNCHER.EXE", false, false, true, rmUpdate, false, true, L"  rmUpdate"},
    {rcNone, L"Launcher.exe", true, false, false, rmUpdate, true, true, L"  Portable, rmUpdate"},
    // A renamed copy never counts as portable; the temporary copy does.
    {rcNone, L"Setup.exe", true, false, false, rmInstall, false, true, L"  rmInstall"},
    {rcNone, L"Launcher.tmp.exe", true, false, false, rmUpdate, true, true,
     L"  Portable, rmUpdate"},
    {rcNone, L"Setup.exe", false, false, true, rmUpdate, false, true, L"  rmUpdate"},
    {rcUninstall, L"Launcher.exe", false, false, true, rmUninstaller, false, false,
     L"  rmUninstaller"},
    {rcUninstallFrom, L"Launcher.exe", true, false, false, rmUninstaller, true, false,
     L"  Portable, rmUninstaller"},
    {rcUninstallFromGuest, L"Launcher.tmp.exe", false, false, false, rmUninstaller, true, false,
     L"  rmUninstaller"},
    {rcDownload, L"Launcher.exe", false, false, true, rmDownload, false, true, L"  rmDownload"},
    {rcDownload, L"Launcher.exe", true, false, false, rmDownload, true, true,
     L"  Portable, rmDownload"},
    {rcDownload, L"Launcher.exe", false, false, false, rmUnknown, false, false, L"  rmUnknown"},
    {rcDownload, L"Client.exe", true, false, true, rmUnknown, true, false, L"  rmUnknown"},
    {rcSetLongName, L"Launcher.exe", false, true, false, rmSetLongName, true, false,
     L"  rmSetLongName"},
    {rcSetLongName, L"Launcher.exe", true, false, true, rmSetLongName, false, false,
     L"  rmSetLongName"},
};

TEST(RunMode, DecisionTable) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message()
                     << "rc " << c.runCode << " log " << std::string(c.log, c.log + wcslen(c.log)));
        RunModeFacts f;
        f.runCode = c.runCode;
        f.ownFileName = c.exe;
        f.guestFileInOwnFolder = c.guestOwn;
        f.guestFileInInstallFolder = c.guestInstall;
        f.ownFolderRegistered = c.registered;
        const RunModeDecision d = decideRunMode(f);
        EXPECT_EQ(d.nRunMode, c.mode);
        EXPECT_EQ(d.bGuest, c.guest);
        EXPECT_EQ(d.bUseServer, c.useServer);
        EXPECT_EQ(d.logText, c.log);
    }
}

TEST(RunMode, FormSizes) {
    EXPECT_EQ(formSizeForRunMode(rmUpdate), 1);
    EXPECT_EQ(formSizeForRunMode(rmSetLongName), 1);
    EXPECT_EQ(formSizeForRunMode(rmUninstaller), 2);
    EXPECT_EQ(formSizeForRunMode(rmInstall), 0);
    EXPECT_EQ(formSizeForRunMode(rmDownload), 0);
}

} // namespace
