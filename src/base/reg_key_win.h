// Scoped owner of a registry key handle.
#pragma once

#include "base/scoped_handle_win.h"

#include <optional>
#include <string>

class CRegKey {
public:
    bool openRead(HKEY root, const std::wstring& path) {
        return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
    }
    // Opens the key for reading and writing, creating it (and the missing
    // keys above it) when needed.
    bool create(HKEY root, const std::wstring& path) {
        return ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                 key.receive(), nullptr) == ERROR_SUCCESS;
    }
    HKEY get() const { return key.get(); }

    // A REG_DWORD value; nullopt when missing or of another type.
    std::optional<DWORD> readDword(const wchar_t* name) const {
        DWORD type = 0, value = 0, size = sizeof(value);
        if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                               &size) != ERROR_SUCCESS ||
            type != REG_DWORD)
            return std::nullopt;
        return value;
    }

    // A REG_SZ value of at most `maxChars` characters (terminating zeros in
    // the data are dropped); nullopt when missing, longer or of another type.
    std::optional<std::wstring> readString(const wchar_t* name, size_t maxChars) const {
        std::wstring buffer(maxChars + 1, L'\0');
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (::RegQueryValueExW(key.get(), name, nullptr, &type,
                               reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return std::nullopt;
        buffer.resize(size / sizeof(wchar_t));
        while (!buffer.empty() && buffer.back() == L'\0')
            buffer.pop_back();
        if (buffer.size() > maxChars)
            return std::nullopt;
        return buffer;
    }

    // Writes `value` as REG_SZ, terminating zero included.
    bool writeString(const wchar_t* name, const std::wstring& value) const {
        const DWORD size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        return ::RegSetValueExW(key.get(), name, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()),
                                size) == ERROR_SUCCESS;
    }

private:
    CScopedHandle<SRegKeyTraits> key;
};
