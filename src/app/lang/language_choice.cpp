#include "app/lang/language_choice.h"

#include "app/run_mode.h"
#include "base/utf8_text.h"

#include <algorithm>

namespace {

std::vector<std::wstring> candidateLogLines(const LanguageCandidates& c) {
    return {L"setup:" + wideFromUtf8(c.sStamped), L"reg:" + wideFromUtf8(c.sRemembered),
            L"local:" + wideFromUtf8(c.sSystem), L"default:" + wideFromUtf8(c.sDefault)};
}

const std::string& preferredCode(const LanguageCandidates& c, int runMode) {
    const std::string& first = runMode == rmInstall ? c.sStamped : c.sRemembered;
    const std::string& second = runMode == rmInstall ? c.sRemembered : c.sStamped;
    if (!first.empty())
        return first;
    if (!second.empty())
        return second;
    return c.sSystem;
}

} // namespace

LanguageDecision decideLanguage(const LanguageCandidates& candidates, int runMode,
                                const CLauncherLanguages& languages) {
    LanguageDecision d;
    d.logLines = candidateLogLines(candidates);
    d.sCode = preferredCode(candidates, runMode);
    const LanguageListEntry* entry = languages.find(d.sCode);
    if (!entry) {
        d.sCode = candidates.sDefault;
        entry = languages.find(d.sCode);
    }
    if (entry) {
        d.nIndex = entry->nOrdinal;
        d.nFont = std::max(entry->nFont, 0);
    }
    d.bRemember = runMode != rmDownload;
    d.sImagePrefix = d.sCode + "_";
    return d;
}
