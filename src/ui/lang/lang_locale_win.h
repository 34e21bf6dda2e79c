// The platform's view of a language: locale ids and C-runtime locales for
// the tables' locale names, and the user's own language.
#pragma once

#include "base/unk.h"
#include "base/windows_win.h"
#include "ui/lang/language_list.h"

#include <locale.h>

#include <cstdint>
#include <memory>
#include <string>

// Owns a C-runtime locale; this is what CLauncherLang::pCrtLocale holds on
// Windows (cast back from IUnk by the code that formats with it).
class CCrtLocale : public IUnk {
public:
    explicit CCrtLocale(_locale_t locale) : hLocale(locale) {}
    CCrtLocale(const CCrtLocale&) = delete;
    CCrtLocale& operator=(const CCrtLocale&) = delete;
    ~CCrtLocale() override { ::_free_locale(hLocale); }

    _locale_t get() const { return hLocale; }

private:
    _locale_t hLocale;
};

// LocaleNameToLCID of a locale name such as "de-DE"; 0 when empty or unknown.
uint32_t localeIdOf(const std::string& localeName);

// A C-runtime locale for the name; null when empty or unknown to the runtime.
std::unique_ptr<IUnk> makeCrtLocale(const std::string& localeName);

// Both of the above, for loadLanguages.
LangLocaleFactory windowsLangLocales();

// The ISO 639 name of the user's default locale ("en"); empty on failure.
std::string systemLanguage();
