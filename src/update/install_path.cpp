#include "update/install_path.h"

#include <algorithm>
#include <array>

namespace {

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring upper(std::wstring_view text) {
    std::wstring out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](wchar_t c) {
        return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    });
    return out;
}

// The device names hold whatever the extension, and with blanks before it.
bool isDeviceName(std::wstring_view step) {
    static const std::array<const wchar_t*, 6> kPlain = {L"CON", L"PRN",    L"AUX",
                                                         L"NUL", L"CONIN$", L"CONOUT$"};
    std::wstring base = upper(step.substr(0, step.find(L'.')));
    base.erase(base.find_last_not_of(L' ') + 1);
    if (std::find(kPlain.begin(), kPlain.end(), base) != kPlain.end())
        return true;
    // COM1..COM9 and LPT1..LPT9, also with the superscript digits Windows
    // accepts there.
    if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0))
        return false;
    const wchar_t digit = base[3];
    return (digit >= L'1' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

bool isBadCharacter(wchar_t c) {
    return c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*';
}

// Windows drops a step's trailing dots and blanks: "a." opens "a", "..."
// and ".. " the parent folder, "." the folder itself.
EInstallPath checkStep(std::wstring_view step) {
    if (step.find(L':') != std::wstring_view::npos)
        return eInstallPath_Drive;
    if (std::any_of(step.begin(), step.end(), isBadCharacter))
        return eInstallPath_BadCharacter;
    if (step.find_first_not_of(L". ") == std::wstring_view::npos)
        return step.find(L"..") != std::wstring_view::npos ? eInstallPath_ParentStep
                                                           : eInstallPath_EmptyStep;
    if (step.back() == L'.' || step.back() == L' ')
        return eInstallPath_TrailingDot;
    if (isDeviceName(step))
        return eInstallPath_Device;
    return eInstallPath_Ok;
}

} // namespace

EInstallPath checkInstallPath(std::wstring_view name, EPathKind kind, std::wstring& relative) {
    relative.clear();
    if (name.empty())
        return eInstallPath_Empty;
    if (isSeparator(name[0]))
        return eInstallPath_Absolute;
    if (kind == EPathKind::FileOrFolder && isSeparator(name.back()))
        name.remove_suffix(1);
    std::wstring path;
    for (size_t begin = 0;;) {
        size_t end = begin;
        while (end < name.size() && !isSeparator(name[end]))
            ++end;
        const std::wstring_view step = name.substr(begin, end - begin);
        const EInstallPath verdict = checkStep(step);
        if (verdict != eInstallPath_Ok)
            return verdict;
        path.append(step);
        if (end == name.size())
            break;
        path += L'\\';
        begin = end + 1;
    }
    relative = std::move(path);
    return eInstallPath_Ok;
}

const wchar_t* installPathProblem(EInstallPath verdict) {
    switch (verdict) {
    case eInstallPath_Ok:
        return L"no problem";
    case eInstallPath_Empty:
        return L"an empty name";
    case eInstallPath_Absolute:
        return L"an absolute path";
    case eInstallPath_Drive:
        return L"a drive or stream name";
    case eInstallPath_Device:
        return L"a device name";
    case eInstallPath_ParentStep:
        return L"a '..' step";
    case eInstallPath_EmptyStep:
        return L"an empty step";
    case eInstallPath_TrailingDot:
        return L"a name ending in a dot or blank";
    case eInstallPath_BadCharacter:
        return L"a character not allowed in file names";
    }
    return L"an unknown problem";
}
