// The loaded language tables in configuration order and which one is
// current. One per process, created, switched and read on the GUI thread.
#pragma once

#include "ui/lang/launcher_lang.h"

#include <memory>
#include <string>
#include <vector>

class CLauncherLangTable {
public:
    // Takes ownership of a loaded table. A table whose entry count differs
    // from the first table's is refused (and destroyed): false. The first
    // table added becomes the default.
    bool add(std::unique_ptr<CLauncherLang> lang);

    // True when `index` is already current, or valid and now current; then,
    // when the table has a locale name, the C runtime's LC_TIME category is
    // switched to it (a name the runtime does not know changes nothing).
    // False for a negative index or one past the tables.
    bool select(int index);

    size_t size() const { return langs.size(); }
    int defaultIndex() const { return nDefaultIndex; }
    int currentIndex() const { return nCurrentIndex; } // -1 until a table is selected
    const CLauncherLang* at(int index) const;
    const CLauncherLang* current() const { return at(nCurrentIndex); }

    // The current table's entry as UTF-16; empty when nothing is selected or
    // the index is outside the table.
    std::wstring getString(int index) const;

private:
    std::vector<std::unique_ptr<CLauncherLang>> langs;
    int nDefaultIndex = -1;
    int nCurrentIndex = -1;
};

// The process's table, set by the logic object while it owns one (null
// before and after). Not owned. GUI thread only.
extern CLauncherLangTable* g_pLangTable;

// Language string `index` of the current language through g_pLangTable;
// empty when there is no table, no current language or no such entry.
std::wstring getLangString(int index);
