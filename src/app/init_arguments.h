// What init takes from the command-line argument, by run code.
#pragma once

#include <cstdint>
#include <string>

struct InitArguments {
    std::wstring sInstallFolder;
    // Run code 4: the client's window that receives the download results.
    uint64_t hDownloadOwner = 0;
    // The argument as the later steps read it (run code 6 keeps only the
    // part from the second quoted text on).
    std::wstring sCmdArgument;
};

InitArguments applyRunArgument(int runCode, const std::wstring& argument);

// The registry key (under HKEY_CURRENT_USER) holding the debug switch: the
// product's registry path without its last component.
std::wstring debugModeKeyPath(const std::wstring& regPath);
