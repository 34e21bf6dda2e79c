#include "app/config/embedded_archive_win.h"

#include "base/windows_win.h"

namespace {

constexpr WORD kBrandingResourceId = 130;

} // namespace

bool loadEmbeddedArchive(CArchiveHelperRar& store, std::string& error) {
    // Resources of the image stay mapped for the process's life: nothing to free.
    HRSRC info = ::FindResourceW(nullptr, MAKEINTRESOURCEW(kBrandingResourceId), L"ZIP");
    HGLOBAL loaded = info ? ::LoadResource(nullptr, info) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = info ? ::SizeofResource(nullptr, info) : 0;
    if (bytes == nullptr || size == 0) {
        error = "no branding archive (resource ZIP 130)";
        return false;
    }
    if (!store.LoadArchive(bytes, size)) {
        error = "branding archive: " + store.GetLastErrorText();
        return false;
    }
    return true;
}
