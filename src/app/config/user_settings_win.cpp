#include "app/config/user_settings_win.h"

#include "base/log/log_file_io_win.h"
#include "base/reg_key_win.h"
#include "base/utf8_text.h"

#include <optional>

namespace {

constexpr size_t kMaxSettingChars = 50;

std::wstring settingKeyPath(const std::string& regPath, const wchar_t* subkey) {
    return wideFromUtf8(regPath) + L"\\" + subkey;
}

} // namespace

std::string readUserSetting(const std::string& regPath, const wchar_t* subkey,
                            const wchar_t* value) {
    CRegKey key;
    if (!key.openRead(HKEY_CURRENT_USER, settingKeyPath(regPath, subkey)))
        return {};
    const std::optional<std::wstring> text = key.readString(value, kMaxSettingChars);
    if (!text)
        return {};
    return utf8FromWide(text->c_str(), text->size()).value_or(std::string());
}

bool writeUserSetting(const std::string& regPath, const wchar_t* subkey, const wchar_t* value,
                      const std::string& text) {
    CRegKey key;
    return key.create(HKEY_CURRENT_USER, settingKeyPath(regPath, subkey)) &&
           key.writeString(value, wideFromUtf8(text));
}
