#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

struct ParseCase {
    const wchar_t* line;
    int rc;
    const char* flags; // letters: a assistant, f fast, C critical, c client, r restart, u auto
    const wchar_t* cmdArgument;
    const wchar_t* uninstallArg;
};

std::string flagsOf(const CommandLineState& st) {
    std::string f;
    f += st.bAssistant ? "a" : "";
    f += st.bFastMode ? "f" : "";
    f += st.bRunByClientCritical ? "C" : "";
    f += st.bRunByClient ? "c" : "";
    f += st.bRestart ? "r" : "";
    f += st.bAuto ? "u" : "";
    return f;
}

const ParseCase kCases[] = {
    {L"", rcNone, "", L"", L""},
    {L"/assistant 1234", rcNone, "a", L"", L""},
    {L"/fast /restart /auto", rcNone, "f", L"", L""},
    {L"/restart /auto", rcNone, "ru", L"", L""},
    {L"/restart /uninstall \"C:\\Games\"", rcNone, "r", L"", L""},
    {L"/auto /crc", rcNone, "u", L"", L""},
    {L"/runByClientCritical", rcNone, "C", L"", L""},
    {L"/runByClient -x", rcNone, "c", L"", L""},
    {L"/setlongname \"C:\\Game\" \"New Name\"", rcSetLongName, "", L"\"C:\\Game\" \"New Name\"",
     L""},
    {L"/setlongname", rcSetLongName, "", L"", L""},
    {L"/download 65812 extra", rcDownload, "", L"65812 extra", L""},
    {L"/download", rcDownload, "", L"", L""},
    {L"/crc", rcCrc, "", L"", L""},
    {L"/uninstall \"C:\\Games\\My Game\" more", rcUninstall, "", L"", L"\"C:\\Games\\My Game\""},
    {L"/uninstall", rcUninstall, "", L"", L"/uninstall"},
    {L"/ug \"C:\\Temp\\Launcher.exe\" D:\\Portable Game", rcUninstallFromGuest, "",
     L"D:\\Portable Game", L"\"C:\\Temp\\Launcher.exe\""},
    {L"/ug", rcUninstallFromGuest, "", L"", L"/ug"},
    {L"/u C:\\Games\\My Game", rcUninstallFrom, "", L"C:\\Games\\My Game", L""},
    {L"/u", rcUninstallFrom, "", L"", L""},
    // Case matters: an upper-case switch is not a switch.
    {L"/CRC", rcNone, "", L"", L""},
};

TEST(CommandLine, ParsesTheSwitchTable) {
    for (const ParseCase& c : kCases) {
        SCOPED_TRACE(testing::Message()
                     << "line: " << std::string(c.line, c.line + wcslen(c.line)));
        const CommandLineState st = parseCommandLine(c.line);
        EXPECT_EQ(st.g_rc, c.rc);
        EXPECT_EQ(flagsOf(st), c.flags);
        EXPECT_EQ(st.sCmdArgument, c.cmdArgument);
        EXPECT_EQ(st.sUninstallArg, c.uninstallArg);
    }
}

TEST(CommandLine, FirstQuotedSubstring) {
    EXPECT_EQ(firstQuotedSubstring(L""), L"");
    EXPECT_EQ(firstQuotedSubstring(L"no quotes"), L"no quotes");
    EXPECT_EQ(firstQuotedSubstring(L"a \"b c\" \"d\""), L"\"b c\"");
    EXPECT_EQ(firstQuotedSubstring(L"x \"unterminated"), L"\"unterminated");
    EXPECT_EQ(firstQuotedSubstring(L"x \""), L"\"");
}

TEST(CommandLine, RunCodeLogNames) {
    EXPECT_STREQ(runCodeLogName(rcUninstall), L"CLogic::rcUninstall");
    EXPECT_STREQ(runCodeLogName(rcUninstallFrom), L"CLogic::rcUninstallFrom");
    EXPECT_STREQ(runCodeLogName(rcUninstallFromGuest), L"CLogic::rcNone");
    EXPECT_STREQ(runCodeLogName(rcNone), L"CLogic::rcNone");
}

} // namespace
