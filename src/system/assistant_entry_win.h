// The "/assistant" start: the elevated copy of the launcher that serves one
// command for the launcher window named on its command line.
#pragma once

#include <string>

// The window message that tells the launcher the assistant lacks rights.
constexpr unsigned eWindowsMessage_AssistantNoRights = 2326;

// Checks the arguments (exactly one after the program: the launcher's
// window handle in decimal) and the Administrators membership; returns when
// the assistant is done. Anything else returns at once.
void runAssistantEntry(const std::wstring& fullCommandLine);
