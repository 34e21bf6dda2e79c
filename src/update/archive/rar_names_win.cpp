#include "update/archive/rar_names_win.h"

#include "update/archive/rar_reader.h"

#include <windows.h>

std::string oemToAnsiRarName(const std::string& stored) {
    std::string converted = stored;
    if (!converted.empty())
        OemToCharBuffA(stored.c_str(), converted.data(), static_cast<DWORD>(stored.size()));
    return converted;
}

void installRarNameConversion() {
    CRarReader::SetNameConversion(&oemToAnsiRarName);
}
