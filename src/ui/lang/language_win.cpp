#include "ui/lang/language_win.h"

#include "ui/lang/lang_locale_win.h"
#include "ui/lang/utf8_text.h"

#include "app/log/log_file_io_win.h"
#include "app/log/run_log_win.h"
#include "app/run_mode.h"
#include "app/stamp/stamp_resources_win.h"
#include "base/reg_key_win.h"

#include <optional>

namespace {

constexpr size_t kMaxRememberedChars = 50;
constexpr wchar_t kLanguageValue[] = L"Language";

std::wstring languageKeyPath(const std::string& regPath) {
    return wideFromUtf8(regPath) + L"\\Language";
}

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
    CRegKey key;
    if (!key.openRead(HKEY_CURRENT_USER, languageKeyPath(regPath)))
        return {};
    const std::optional<std::wstring> code = key.readString(kLanguageValue, kMaxRememberedChars);
    if (!code)
        return {};
    return utf8FromWide(code->c_str(), code->size()).value_or(std::string());
}

bool saveLanguage(const std::string& regPath, const std::string& code, int runMode) {
    if (runMode == rmDownload)
        return true;
    CRegKey key;
    return key.create(HKEY_CURRENT_USER, languageKeyPath(regPath)) &&
           key.writeString(kLanguageValue, wideFromUtf8(code));
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
