// The configured languages ("common/languages" of the launcher
// configuration) and the loading of their tables from the embedded archive.
//
// Each language is one `enable` element whose values are attributes:
//   <languages>
//     <enable lang="en" long="English" file="lang\en.lso" locale="en-US"
//             id="1033" icon="0" font="0"/>
//   </languages>
// lang, long, file and locale are strings; id, icon and font are ints in the
// XML library's syntax (decimal or 0x hexadecimal). font may be left out
// (0); the first `enable` lacking any other attribute, or with an unreadable
// int, ends the list there.
#pragma once

#include "ui/lang/launcher_lang_table.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tinyxml2 {
class XMLElement;
}

struct LanguageListEntry {
    std::string sLang;   // short code, e.g. "en"
    std::string sLong;   // display name
    std::string sFile;   // table file inside the embedded archive
    std::string sLocale; // locale name, e.g. "en-US"
    int nId = 0;
    int nIcon = 0; // icon index in the language selector
    int nFont = 0; // face of a multi-face font
    int nOrdinal = 0;
};

// The `enable` children of `languages` (may be null: no entries) in order,
// up to the first incomplete one. Ordinals count from 0.
std::vector<LanguageListEntry> readLanguageList(const tinyxml2::XMLElement* languages);

// Fetches a file of the embedded archive by its stored name; false when
// there is no such file.
using ArchiveFileLookup = std::function<bool(const std::string& name, std::vector<uint8_t>& bytes)>;

// Platform objects for a table's locale name, made by the Windows side; either
// may be empty (the table then keeps 0 and null).
struct LangLocaleFactory {
    std::function<uint32_t(const std::string& localeName)> lcidOf;
    std::function<std::unique_ptr<IUnk>(const std::string& localeName)> crtLocaleOf;
};

// The offered languages: only those whose table loaded and was accepted, so
// an entry's ordinal is also its index in `table`. Owned by the logic object.
struct CLauncherLanguages {
    std::vector<LanguageListEntry> entries;
    std::map<std::string, int> ordinalByCode;
    std::string sDefaultCode; // code of the first offered language
    CLauncherLangTable table;

    // The entry with that code, or null.
    const LanguageListEntry* find(const std::string& code) const;
};

// Builds `out` (which must be empty) from the `languages` child of `common`:
// reads each listed table through `lookup`, loads it, and keeps it unless
// the file is missing, the table is unusable or its entry count differs
// from the first accepted table's. The first accepted table becomes the
// default and current one. True when at least one language was loaded.
bool loadLanguages(const tinyxml2::XMLElement* common, const ArchiveFileLookup& lookup,
                   const LangLocaleFactory& locales, CLauncherLanguages& out);
