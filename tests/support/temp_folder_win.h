// A fresh folder under the system's temporary folder, removed with all its
// content at the end of the test.
#pragma once

#include "base/windows_win.h"

#include <filesystem>
#include <string>

namespace testwin {

class CTempFolder {
public:
    // Wine reuses process ids, and a folder an earlier test process could not
    // remove (a child still held a file) may carry this one's name: such a
    // folder is skipped, never taken over.
    CTempFolder() {
        wchar_t base[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, base);
        static LONG counter = 0;
        do {
            folder = std::wstring(base) + L"launcher-test-" +
                     std::to_wstring(::GetCurrentProcessId()) + L"-" +
                     std::to_wstring(::InterlockedIncrement(&counter));
        } while (!::CreateDirectoryW(folder.c_str(), nullptr) &&
                 ::GetLastError() == ERROR_ALREADY_EXISTS);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;
    ~CTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    const std::wstring& path() const { return folder; }
    std::wstring operator/(const std::wstring& name) const { return folder + L"\\" + name; }

private:
    std::wstring folder;
};

} // namespace testwin
