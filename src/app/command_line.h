// The launcher's command line: one parse per process into a small record
// that the entry point reads and copies into the logic object.
#pragma once

#include <string>

// Run codes carried by the command line; the logic object decides the run
// mode from them (see run_mode.h).
enum ERunCode {
    rcNone = 0,
    rcUninstall = 1,
    rcUninstallFrom = 2,
    rcUninstallFromGuest = 3,
    rcDownload = 4,
    rcCrc = 5,
    rcSetLongName = 6,
};

struct CommandLineState {
    int g_rc = rcNone;
    bool bAssistant = false;
    bool bFastMode = false;
    bool bRunByClientCritical = false;
    bool bRunByClient = false;
    bool bRestart = false;
    bool bAuto = false;
    std::wstring sCmdArgument;
    // The first double-quoted part of the whole line, quotes included.
    std::wstring sUninstallArg;
};

// Parses the raw command line (without the program name). Switches are found
// by case-sensitive substring search anywhere in the line, longer switches
// before their prefixes; the first match of the ordered list decides.
CommandLineState parseCommandLine(const std::wstring& line);

// The first double-quoted part of `line` with its quotes; the whole line when
// it holds no quote.
std::wstring firstQuotedSubstring(const std::wstring& line);

// The name the run log uses for a run code ("g_rc = ...").
const wchar_t* runCodeLogName(int runCode);
