#include "update/unpack/entry_path.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <vector>

namespace {

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::vector<std::wstring> splitSteps(const std::wstring& name) {
    std::vector<std::wstring> steps;
    std::wstring step;
    for (const wchar_t c : name) {
        if (!isSeparator(c)) {
            step += c;
            continue;
        }
        steps.push_back(step);
        step.clear();
    }
    steps.push_back(step);
    return steps;
}

// Windows drops trailing dots and blanks of a step: "..." and ".. " open
// the parent folder, "CON. " the console.
std::wstring trimmedAsWindowsDoes(const std::wstring& step) {
    const size_t end = step.find_last_not_of(L". ");
    return end == std::wstring::npos ? std::wstring() : step.substr(0, end + 1);
}

std::wstring upper(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) {
        return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    });
    return text;
}

// The device names hold whatever the extension, and with blanks before it.
bool isDeviceName(const std::wstring& step) {
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

bool hasBadCharacter(const std::wstring& step) {
    return std::any_of(step.begin(), step.end(), [](wchar_t c) {
        return c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' ||
               c == L'*';
    });
}

EEntryPath checkStep(const std::wstring& step) {
    if (step.find(L':') != std::wstring::npos)
        return eEntryPath_Drive;
    if (hasBadCharacter(step))
        return eEntryPath_BadCharacter;
    const std::wstring trimmed = trimmedAsWindowsDoes(step);
    if (trimmed.empty() && step.find(L"..") != std::wstring::npos)
        return eEntryPath_ParentStep;
    if (isDeviceName(step))
        return eEntryPath_Device;
    return eEntryPath_Ok;
}

} // namespace

EEntryPath checkEntryPath(const std::wstring& name, std::wstring& relative) {
    relative.clear();
    if (!name.empty() && isSeparator(name[0]))
        return eEntryPath_Absolute;
    std::wstring path;
    for (const std::wstring& step : splitSteps(name)) {
        const EEntryPath verdict = checkStep(step);
        if (verdict != eEntryPath_Ok)
            return verdict;
        // "." and blank or dot-only steps name the folder they are in.
        if (trimmedAsWindowsDoes(step).empty())
            continue;
        if (!path.empty())
            path += L'\\';
        path += step;
    }
    if (path.empty())
        return eEntryPath_Empty;
    relative = path;
    return eEntryPath_Ok;
}

const wchar_t* entryPathProblem(EEntryPath verdict) {
    switch (verdict) {
    case eEntryPath_Ok:
        return L"no problem";
    case eEntryPath_Empty:
        return L"an empty name";
    case eEntryPath_Absolute:
        return L"an absolute path";
    case eEntryPath_Drive:
        return L"a drive or stream name";
    case eEntryPath_Device:
        return L"a device name";
    case eEntryPath_ParentStep:
        return L"a '..' step";
    case eEntryPath_BadCharacter:
        return L"a character not allowed in file names";
    }
    return L"an unknown problem";
}
