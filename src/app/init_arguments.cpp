#include "app/init_arguments.h"

#include "app/command_line.h"

uint64_t parseDecimalHandle(const std::wstring& token) {
    uint64_t value = 0;
    for (const wchar_t c : token) {
        if (c < L'0' || c > L'9')
            return 0;
        const uint64_t digit = static_cast<uint64_t>(c - L'0');
        if (value > (UINT64_MAX - digit) / 10)
            return 0;
        value = value * 10 + digit;
    }
    return value;
}

InitArguments applyRunArgument(int runCode, const std::wstring& argument) {
    InitArguments a;
    a.sCmdArgument = argument;
    switch (runCode) {
    case rcUninstallFrom:
    case rcUninstallFromGuest:
        a.sInstallFolder = argument;
        break;
    case rcDownload:
        a.hDownloadOwner = parseDecimalHandle(argument.substr(0, argument.find(L' ')));
        break;
    case rcSetLongName: {
        const size_t open = argument.find(L'"');
        const size_t close = open == std::wstring::npos ? open : argument.find(L'"', open + 1);
        if (close == std::wstring::npos)
            break;
        a.sInstallFolder = argument.substr(open + 1, close - open - 1);
        const size_t next = argument.find(L'"', close + 1);
        a.sCmdArgument = next == std::wstring::npos ? std::wstring() : argument.substr(next);
        break;
    }
    default:
        break;
    }
    return a;
}

std::wstring debugModeKeyPath(const std::wstring& regPath) {
    const size_t last = regPath.rfind(L'\\');
    if (last == std::wstring::npos || last == 0)
        return regPath;
    return regPath.substr(0, last);
}
