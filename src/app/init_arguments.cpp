#include "app/init_arguments.h"

#include "app/command_line.h"
#include "base/decimal_handle.h"

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
