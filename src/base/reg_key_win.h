// Scoped owner of a registry key handle.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

class CRegKey {
public:
    CRegKey() = default;
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    ~CRegKey() {
        if (hKey != nullptr)
            ::RegCloseKey(hKey);
    }

    bool openRead(HKEY root, const std::wstring& path) {
        return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &hKey) == ERROR_SUCCESS;
    }
    HKEY get() const { return hKey; }

    // A REG_DWORD value; nullopt when missing or of another type.
    std::optional<DWORD> readDword(const wchar_t* name) const {
        DWORD type = 0, value = 0, size = sizeof(value);
        if (::RegQueryValueExW(hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                               &size) != ERROR_SUCCESS ||
            type != REG_DWORD)
            return std::nullopt;
        return value;
    }

private:
    HKEY hKey = nullptr;
};
