#include "system/install_folder_list.h"

#include <cwctype>

std::wstring CInstallFolderList::normalizeFolder(const std::wstring& folder) {
    std::wstring out;
    out.reserve(folder.size());
    for (const wchar_t c : folder) {
        if (c == L'"')
            continue;
        out += c == L'/' ? L'\\' : c;
    }
    while (!out.empty() && out.back() == L'\\')
        out.pop_back();
    return out;
}

std::wstring CInstallFolderList::valueName(int slot) {
    return slot == 0 ? std::wstring(L"Directory") : L"Directory" + std::to_wstring(slot);
}

void CInstallFolderList::setSlot(int slot, const std::wstring& folder) {
    if (slot >= 0 && slot < kSlots)
        folders[static_cast<size_t>(slot)] = folder;
}

namespace {

bool sameFolder(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return true;
}

} // namespace

int CInstallFolderList::findFolder(const std::wstring& folder) const {
    const std::wstring wanted = normalizeFolder(folder);
    if (wanted.empty())
        return -1;
    for (int i = 0; i < kSlots; ++i)
        if (sameFolder(normalizeFolder(folders[static_cast<size_t>(i)]), wanted))
            return i;
    return -1;
}

std::wstring CInstallFolderList::firstRegisteredFolder() const {
    for (const std::wstring& f : folders)
        if (f.size() >= 4)
            return f;
    return {};
}
