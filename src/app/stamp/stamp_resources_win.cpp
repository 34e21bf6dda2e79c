#include "app/stamp/stamp_resources_win.h"

#include "app/stamp/stamp_slots.h"
#include "base/file_io_win.h"

namespace {

std::wstring widen(const char* ascii) {
    return std::wstring(ascii, ascii + strlen(ascii));
}

// The image file may be briefly locked (an antivirus scan, a copy in
// progress): retry for about two and a half seconds.
constexpr int kReadAttempts = 11;
constexpr DWORD kRetryDelayMs = 250;

DWORD readOwnImage(std::vector<uint8_t>& image) {
    const std::wstring path = ownModulePath();
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        if (attempt > 0)
            ::Sleep(kRetryDelayMs);
        error = readWholeFile(path, image);
        if (error == ERROR_SUCCESS)
            return error;
    }
    return error;
}

} // namespace

std::optional<std::basic_string_view<uint8_t>> getStampResource(const char* type, int id,
                                                                HMODULE module) {
    if (module == nullptr)
        module = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), widen(type).c_str());
    if (info == nullptr)
        return std::nullopt;
    const DWORD size = ::SizeofResource(module, info);
    HGLOBAL loaded = ::LoadResource(module, info);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0)
        return std::nullopt;
    return std::basic_string_view<uint8_t>(static_cast<const uint8_t*>(bytes), size);
}

std::string readStampValue(const char* type, int id, HMODULE module) {
    const StampSlot* slot = findStampSlot(type);
    const auto r = slot ? getStampResource(type, id, module) : std::nullopt;
    return r ? readStampValueFrom(*slot, r->data(), r->size()) : std::string();
}

std::vector<std::string> readStampList(const char* type, int id, HMODULE module) {
    const StampSlot* slot = findStampSlot(type);
    const auto r = slot ? getStampResource(type, id, module) : std::nullopt;
    return r ? readStampListFrom(*slot, r->data(), r->size()) : std::vector<std::string>();
}

DWORD computeLauncherCrc(const uint8_t* image, size_t length, int variant, uint32_t& crc) {
    std::vector<uint8_t> own;
    if (image == nullptr) {
        const DWORD error = readOwnImage(own);
        if (error != ERROR_SUCCESS)
            return error;
        image = own.data();
        length = own.size();
    }
    crc = computeLauncherCrcOfImage(image, length, variant, [](const StampSlot& slot) {
        const auto r = getStampResource(slot.type, slot.id);
        return r ? std::optional<size_t>(r->size()) : std::nullopt;
    });
    return ERROR_SUCCESS;
}
