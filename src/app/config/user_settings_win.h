// Per-user choices kept under HKEY_CURRENT_USER\<regPath>\<subkey> (the
// theme, the language).
#pragma once

#include <string>

// The REG_SZ value as UTF-8; empty when the key or value is missing, not a
// string or longer than 50 characters.
std::string readUserSetting(const std::string& regPath, const wchar_t* subkey,
                            const wchar_t* value);

// Writes the value, creating the key when needed.
bool writeUserSetting(const std::string& regPath, const wchar_t* subkey, const wchar_t* value,
                      const std::string& text);
