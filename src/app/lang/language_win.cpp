#include "app/lang/language_win.h"

#include "ui/lang/lang_locale_win.h"

#include "app/config/user_settings_win.h"
#include "app/run_mode.h"
#include "app/stamp/stamp_resources_win.h"
#include "base/log/run_log_win.h"

namespace {

// HKEY_CURRENT_USER\<regPath>\Language, value "Language".
constexpr wchar_t kLanguageKey[] = L"Language";

LanguageCandidates gatherCandidates(const CLauncherLanguages& languages,
                                    const std::string& regPath) {
    LanguageCandidates c;
    c.sStamped = readStampValue("LANGUAGE", 134);
    c.sRemembered = readRememberedLanguage(regPath);
    c.sSystem = systemLanguage();
    c.sDefault = languages.sDefaultCode;
    return c;
}

void logLines(CLogImplW* log, const std::vector<std::wstring>& lines) {
    if (!log)
        return;
    for (const std::wstring& line : lines)
        log->write(line.c_str(), true);
}

} // namespace

std::string readRememberedLanguage(const std::string& regPath) {
    return readUserSetting(regPath, kLanguageKey, kLanguageKey);
}

bool saveLanguage(const std::string& regPath, const std::string& code, int runMode) {
    if (runMode == rmDownload)
        return true;
    return writeUserSetting(regPath, kLanguageKey, kLanguageKey, code);
}

bool chooseLanguage(CLauncherLanguages& languages, int runMode, const std::string& regPath,
                    CLogImplW* log, LanguageDecision& out) {
    out = decideLanguage(gatherCandidates(languages, regPath), runMode, languages);
    logLines(log, out.logLines);
    if (!languages.table.select(out.nIndex))
        return false;
    if (out.bRemember)
        saveLanguage(regPath, out.sCode, runMode);
    return true;
}
