#include "app/init_arguments.h"

#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(InitArguments, ByRunCode) {
    InitArguments a = applyRunArgument(rcUninstallFrom, L"C:\\Games\\Demo");
    EXPECT_EQ(a.sInstallFolder, L"C:\\Games\\Demo");

    a = applyRunArgument(rcDownload, L"197642 -silent");
    EXPECT_EQ(a.hDownloadOwner, 197642u);
    EXPECT_EQ(a.sCmdArgument, L"197642 -silent");
    EXPECT_EQ(applyRunArgument(rcDownload, L"12x4").hDownloadOwner, 0u);
    EXPECT_EQ(applyRunArgument(rcDownload, L"99999999999999999999999").hDownloadOwner, 0u);
    EXPECT_EQ(applyRunArgument(rcDownload, L"").hDownloadOwner, 0u);

    a = applyRunArgument(rcSetLongName, L"\"C:\\Old Game\" \"New Game\" \"NG\"");
    EXPECT_EQ(a.sInstallFolder, L"C:\\Old Game");
    EXPECT_EQ(a.sCmdArgument, L"\"New Game\" \"NG\"");
    a = applyRunArgument(rcSetLongName, L"\"C:\\Unterminated");
    EXPECT_EQ(a.sInstallFolder, L"");

    a = applyRunArgument(rcNone, L"anything");
    EXPECT_EQ(a.sInstallFolder, L"");
    EXPECT_EQ(a.sCmdArgument, L"anything");
}

TEST(InitArguments, DebugModeKeyIsTheParentOfTheProductKey) {
    EXPECT_EQ(debugModeKeyPath(L"Software\\Studio\\Game"), L"Software\\Studio");
    EXPECT_EQ(debugModeKeyPath(L"Software"), L"Software");
    EXPECT_EQ(debugModeKeyPath(L"\\Software"), L"\\Software");
}

} // namespace
