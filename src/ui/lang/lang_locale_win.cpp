#include "ui/lang/lang_locale_win.h"

#include "base/utf8_text.h"

uint32_t localeIdOf(const std::string& localeName) {
    if (localeName.empty())
        return 0;
    return ::LocaleNameToLCID(wideFromUtf8(localeName).c_str(), 0);
}

std::unique_ptr<IUnk> makeCrtLocale(const std::string& localeName) {
    if (localeName.empty())
        return nullptr;
    _locale_t locale = ::_create_locale(LC_ALL, localeName.c_str());
    if (!locale)
        return nullptr;
    return std::make_unique<CCrtLocale>(locale);
}

LangLocaleFactory windowsLangLocales() {
    return {localeIdOf, makeCrtLocale};
}

std::string systemLanguage() {
    // ISO 639 names are at most 9 characters with the terminator.
    char name[16] = {};
    if (::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, name, sizeof(name)) <= 0)
        return {};
    return name;
}
