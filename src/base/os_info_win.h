// The description of the running Windows, read once at start-up by the entry
// code for the run log and for choosing the system update package. Not
// thread-safe; fill it on one thread, then only read it.
#pragma once

#include "base/os_info.h"
#include "base/windows_win.h"

#include <string>

class COsInfo {
public:
    COsInfo();

    // Reads the version, the native processor architecture, the R2 flag
    // and the edition, and builds the text. False (text "Unknown operating
    // system") when the version cannot be read or is not NT 5.0 or later.
    bool Describe();

    // Zeroed until Describe has read it.
    const OSVERSIONINFOEXW& version() const { return osvi; }
    bool is64BitSystem() const { return is64Bit; }
    const std::wstring& description() const { return text; }

private:
    // Extended record first, the plain one where the extended one fails.
    bool readVersion();
    // The version record with the machine's processor architecture and the
    // R2 flag, without the edition.
    OsVersionRecord systemRecord() const;
    // Adds the GetProductInfo product type for Windows 6.0 and later; older
    // systems have no such call in kernel32 and get no edition.
    void AppendEdition(OsVersionRecord& record) const;

    OSVERSIONINFOEXW osvi;
    bool is64Bit = false;
    std::wstring text;
};
