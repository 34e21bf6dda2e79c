#include "system/install_folder_list_win.h"

#include "base/reg_key_win.h"
#include "base/windows_win.h"

#include <vector>

namespace {

constexpr DWORD kMaxValueBytes = 2046;

std::wstring readFolderValue(HKEY key, const std::wstring& name) {
    std::vector<wchar_t> buf(kMaxValueBytes / sizeof(wchar_t) + 1, L'\0');
    DWORD type = 0;
    DWORD bytes = kMaxValueBytes;
    if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                           &bytes) != ERROR_SUCCESS)
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return {};
    // The stored text need not be terminated; the buffer keeps a spare zero.
    return std::wstring(buf.data(), wcsnlen(buf.data(), bytes / sizeof(wchar_t)));
}

} // namespace

bool loadFolderList(const std::wstring& regPath, CInstallFolderList& list) {
    CRegKey key;
    if (regPath.empty() || !key.openRead(HKEY_LOCAL_MACHINE, regPath + L"\\Install"))
        return false;
    for (int i = 0; i < CInstallFolderList::kSlots; ++i)
        list.setSlot(i, readFolderValue(key.get(), CInstallFolderList::valueName(i)));
    return true;
}
