#include "ui/lang/language_list.h"

#include "base/mem_read_stream.h"

#include <tinyxml2.h>

#include <climits>
#include <utility>

namespace {

bool readTextAttribute(const tinyxml2::XMLElement* e, const char* name, std::string& out) {
    const char* value = e->Attribute(name);
    if (!value)
        return false;
    out = value;
    return true;
}

bool readIntAttribute(const tinyxml2::XMLElement* e, const char* name, int& out) {
    return e->QueryIntAttribute(name, &out) == tinyxml2::XML_SUCCESS;
}

bool readEntry(const tinyxml2::XMLElement* e, LanguageListEntry& out) {
    if (!readTextAttribute(e, "lang", out.sLang) || !readTextAttribute(e, "file", out.sFile) ||
        !readTextAttribute(e, "long", out.sLong) || !readTextAttribute(e, "locale", out.sLocale) ||
        !readIntAttribute(e, "id", out.nId) || !readIntAttribute(e, "icon", out.nIcon))
        return false;
    out.nFont = 0;
    e->QueryIntAttribute("font", &out.nFont);
    return true;
}

std::unique_ptr<CLauncherLang> loadTable(const LanguageListEntry& entry,
                                         const ArchiveFileLookup& lookup,
                                         const LangLocaleFactory& locales) {
    std::vector<uint8_t> bytes;
    if (!lookup || !lookup(entry.sFile, bytes) || bytes.size() > static_cast<size_t>(INT_MAX))
        return nullptr;
    CSimpleMemReadStream stream(bytes.data(), static_cast<int>(bytes.size()));
    auto lang = std::make_unique<CLauncherLang>(entry.sLong, entry.sLang, entry.sLocale, entry.nId);
    if (!lang->load(stream))
        return nullptr;
    if (!entry.sLocale.empty()) {
        if (locales.lcidOf)
            lang->nLcid = locales.lcidOf(entry.sLocale);
        if (locales.crtLocaleOf)
            lang->pCrtLocale = locales.crtLocaleOf(entry.sLocale);
    }
    return lang;
}

} // namespace

std::vector<LanguageListEntry> readLanguageList(const tinyxml2::XMLElement* languages) {
    std::vector<LanguageListEntry> list;
    if (!languages)
        return list;
    for (const tinyxml2::XMLElement* e = languages->FirstChildElement("enable"); e;
         e = e->NextSiblingElement("enable")) {
        LanguageListEntry entry;
        if (!readEntry(e, entry))
            break;
        entry.nOrdinal = static_cast<int>(list.size());
        list.push_back(std::move(entry));
    }
    return list;
}

const LanguageListEntry* CLauncherLanguages::find(const std::string& code) const {
    const auto it = ordinalByCode.find(code);
    return it == ordinalByCode.end() ? nullptr : &entries[static_cast<size_t>(it->second)];
}

bool loadLanguages(const tinyxml2::XMLElement* common, const ArchiveFileLookup& lookup,
                   const LangLocaleFactory& locales, CLauncherLanguages& out) {
    if (!common)
        return false;
    for (LanguageListEntry& entry : readLanguageList(common->FirstChildElement("languages"))) {
        std::unique_ptr<CLauncherLang> lang = loadTable(entry, lookup, locales);
        if (!lang || !out.table.add(std::move(lang)))
            continue;
        entry.nOrdinal = static_cast<int>(out.entries.size());
        // A code listed twice keeps its first ordinal.
        out.ordinalByCode.emplace(entry.sLang, entry.nOrdinal);
        if (out.sDefaultCode.empty())
            out.sDefaultCode = entry.sLang;
        out.entries.push_back(std::move(entry));
    }
    if (out.entries.empty())
        return false;
    out.table.select(out.table.defaultIndex());
    return true;
}
