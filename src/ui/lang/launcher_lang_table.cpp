#include "ui/lang/launcher_lang_table.h"

#include <clocale>
#include <utility>

CLauncherLangTable* g_pLangTable = nullptr;

bool CLauncherLangTable::add(std::unique_ptr<CLauncherLang> lang) {
    if (!lang || lang->count() == 0)
        return false;
    if (!langs.empty() && lang->count() != langs.front()->count())
        return false;
    langs.push_back(std::move(lang));
    if (nDefaultIndex < 0)
        nDefaultIndex = 0;
    return true;
}

bool CLauncherLangTable::select(int index) {
    if (index == nCurrentIndex && index >= 0)
        return true;
    if (index < 0 || static_cast<size_t>(index) >= langs.size())
        return false;
    nCurrentIndex = index;
    const std::string& locale = langs[static_cast<size_t>(index)]->localeName();
    if (!locale.empty())
        std::setlocale(LC_TIME, locale.c_str());
    return true;
}

const CLauncherLang* CLauncherLangTable::at(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= langs.size())
        return nullptr;
    return langs[static_cast<size_t>(index)].get();
}

std::wstring CLauncherLangTable::getString(int index) const {
    const CLauncherLang* lang = current();
    return lang ? lang->text(index) : std::wstring();
}

std::wstring getLangString(int index) {
    return g_pLangTable ? g_pLangTable->getString(index) : std::wstring();
}
