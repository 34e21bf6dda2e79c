#include "app/command_line.h"

namespace {

bool contains(const std::wstring& line, const wchar_t* sw) {
    return line.find(sw) != std::wstring::npos;
}

// The text of `line` from `offset` on; empty when the line is shorter.
std::wstring tailFrom(const std::wstring& line, size_t offset) {
    return offset < line.size() ? line.substr(offset) : std::wstring();
}

// The text after switch `sw`, skipping `skip` more characters behind it.
std::wstring textAfter(const std::wstring& line, const std::wstring& sw, size_t skip) {
    return tailFrom(line, line.find(sw) + sw.size() + skip);
}

} // namespace

std::wstring firstQuotedSubstring(const std::wstring& line) {
    std::wstring s = line;
    if (s.empty())
        return s;
    const size_t open = s.find(L'"');
    if (open == std::wstring::npos)
        return s;
    s.erase(0, open);
    if (s.size() > 1) {
        const size_t close = s.find(L'"', 1);
        if (close != std::wstring::npos)
            s.erase(close + 1);
    }
    return s;
}

CommandLineState parseCommandLine(const std::wstring& line) {
    CommandLineState st;
    if (contains(line, L"/assistant")) {
        st.bAssistant = true;
        return st;
    }
    if (contains(line, L"/fast")) {
        st.bFastMode = true;
        return st;
    }
    if (contains(line, L"/runByClientCritical")) {
        st.bRunByClientCritical = true;
        return st;
    }
    if (contains(line, L"/runByClient")) {
        st.bRunByClient = true;
        return st;
    }
    st.bRestart = contains(line, L"/restart");
    st.bAuto = contains(line, L"/auto");
    if (st.bRestart || st.bAuto)
        return st;

    if (contains(line, L"/setlongname")) {
        st.g_rc = rcSetLongName;
        // The line is expected to begin with the switch and one blank.
        st.sCmdArgument = tailFrom(line, 13);
    } else if (contains(line, L"/download")) {
        st.g_rc = rcDownload;
        st.sCmdArgument = textAfter(line, L"/download", 1);
    } else if (contains(line, L"/crc")) {
        st.g_rc = rcCrc;
    } else if (contains(line, L"/uninstall")) {
        st.g_rc = rcUninstall;
        st.sUninstallArg = firstQuotedSubstring(line);
    } else if (contains(line, L"/ug")) {
        st.g_rc = rcUninstallFromGuest;
        st.sUninstallArg = firstQuotedSubstring(line);
        st.sCmdArgument = textAfter(line, L"/ug", 1 + st.sUninstallArg.size() + 1);
    } else if (contains(line, L"/u")) {
        st.g_rc = rcUninstallFrom;
        st.sCmdArgument = textAfter(line, L"/u", 1);
    }
    return st;
}

const wchar_t* runCodeLogName(int runCode) {
    switch (runCode) {
    case rcUninstall:
        return L"CLogic::rcUninstall";
    case rcUninstallFrom:
        return L"CLogic::rcUninstallFrom";
    default:
        return L"CLogic::rcNone";
    }
}
