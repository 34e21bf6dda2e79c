#include "base/log/log_file_names.h"

#include "base/utf8_text.h"

#include <cstdio>

namespace {

// Digit count of each field in "YYYYMMDD_hhmmss." and where it starts.
struct StampField {
    size_t start;
    size_t digits;
    int LogDateTime::*field;
    int lowest;
    int highest;
};

constexpr StampField kStampFields[] = {
    {0, 4, &LogDateTime::year, 0, 9999},  {4, 2, &LogDateTime::month, 1, 12},
    {6, 2, &LogDateTime::day, 1, 31},     {9, 2, &LogDateTime::hour, 0, 23},
    {11, 2, &LogDateTime::minute, 0, 59}, {13, 2, &LogDateTime::second, 0, 59},
};
constexpr size_t kStampUnderscore = 8;
constexpr size_t kStampDot = 15;

bool readDigits(const std::wstring& name, const StampField& f, int& value) {
    value = 0;
    for (size_t i = f.start; i < f.start + f.digits; ++i) {
        const wchar_t c = name[i];
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + static_cast<int>(c - L'0');
    }
    return value >= f.lowest && value <= f.highest;
}

wchar_t asciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

} // namespace

std::vector<std::wstring> runLogNameCandidates(const std::wstring& folder,
                                               const std::wstring& ownFileName,
                                               const LogDateTime& t) {
    if (folder.empty())
        return {ownFileName + L".log"};
    std::wstring prefix = folder;
    if (prefix.back() != L'\\')
        prefix += L'\\';
    char stamp[96];
    std::snprintf(stamp, sizeof(stamp), "%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    prefix += wideFromUtf8(stamp);
    std::vector<std::wstring> names;
    names.reserve(kRunLogNameAttempts);
    for (int i = 0; i < kRunLogNameAttempts; ++i) {
        const std::wstring suffix = i == 0 ? std::wstring() : L"_" + std::to_wstring(i);
        names.push_back(prefix + suffix + L"." + ownFileName + L".log");
    }
    return names;
}

std::optional<LogDateTime> parseDatedFolderName(const std::wstring& name) {
    if (name.size() <= kStampDot || name[kStampUnderscore] != L'_' || name[kStampDot] != L'.')
        return std::nullopt;
    LogDateTime t;
    for (const StampField& f : kStampFields) {
        if (!readDigits(name, f, t.*f.field))
            return std::nullopt;
    }
    return t;
}

uint64_t twoSecondKey(const LogDateTime& t) {
    uint64_t key = static_cast<uint64_t>(t.year);
    key = key * 16 + static_cast<uint64_t>(t.month);
    key = key * 32 + static_cast<uint64_t>(t.day);
    key = key * 32 + static_cast<uint64_t>(t.hour);
    key = key * 64 + static_cast<uint64_t>(t.minute);
    key = key * 32 + static_cast<uint64_t>(t.second / 2);
    return key;
}

std::optional<size_t> newestDatedFolder(const std::vector<std::wstring>& names) {
    std::optional<size_t> newest;
    uint64_t newestKey = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::optional<LogDateTime> t = parseDatedFolderName(names[i]);
        if (!t)
            continue;
        const uint64_t key = twoSecondKey(*t);
        if (!newest || key > newestKey) {
            newest = i;
            newestKey = key;
        }
    }
    return newest;
}

std::wstring migrationTargetPrefix(const std::wstring& datedFolderPath) {
    const size_t dot = datedFolderPath.rfind(L'.');
    const std::wstring tag =
        dot == std::wstring::npos ? std::wstring() : datedFolderPath.substr(dot + 1);
    return datedFolderPath + L"\\" + tag + L".";
}

bool isLogFileName(const std::wstring& name) {
    static constexpr wchar_t kExtension[] = L".log";
    constexpr size_t n = sizeof(kExtension) / sizeof(kExtension[0]) - 1;
    if (name.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (asciiLower(name[name.size() - n + i]) != kExtension[i])
            return false;
    }
    return true;
}

std::wstring logBaseName(const std::wstring& fileName) {
    const size_t dot = fileName.rfind(L'.');
    return dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
}

std::wstring migrationTargetName(const std::wstring& prefix, const std::wstring& base,
                                 int attempt) {
    if (attempt == 0)
        return prefix + base + L".log";
    return prefix + base + L"(" + std::to_wstring(attempt) + L").log";
}
