// Which language a start of the launcher uses: a pure decision over the
// candidate codes, the run mode and the offered languages.
#pragma once

#include "ui/lang/language_list.h"

#include <string>
#include <vector>

struct LanguageCandidates {
    std::string sStamped;    // the stamped LANGUAGE slot
    std::string sRemembered; // the user's last choice (registry)
    std::string sSystem;     // ISO 639 name of the user's locale
    std::string sDefault;    // the first offered language
};

struct LanguageDecision {
    std::string sCode;        // chosen code; an offered one whenever any is offered
    int nIndex = -1;          // its table index, -1 when nothing is offered
    bool bRemember = false;   // store the code as the user's choice
    std::string sImagePrefix; // code + "_", for the language's images
    int nFont = 0;            // the entry's font, negative values as 0
    // The run-log lines "setup:", "reg:", "local:" and "default:", each
    // followed by its candidate, in that order.
    std::vector<std::wstring> logLines;
};

// rmInstall prefers the stamped language over the remembered one, every
// other run mode the remembered one; with both empty the system language is
// taken; a code that is not offered falls back to the default. Nothing is
// remembered in rmDownload.
LanguageDecision decideLanguage(const LanguageCandidates& candidates, int runMode,
                                const CLauncherLanguages& languages);
