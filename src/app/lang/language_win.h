// The start-up language and the user's remembered choice, kept under
// HKEY_CURRENT_USER\<regPath>\Language, value "Language" (REG_SZ). GUI
// thread only.
#pragma once

#include "app/lang/language_choice.h"

#include <string>

class CLogImplW;

// The remembered code; empty when the key or value is missing, not a string
// or longer than 50 characters.
std::string readRememberedLanguage(const std::string& regPath);

// Remembers `code`, creating the key when needed; skipped (true) in
// rmDownload. Failures are reported but meant to be ignored.
bool saveLanguage(const std::string& regPath, const std::string& code, int runMode);

// Gathers the candidates (stamped slot, registry, system, default), writes
// the four candidate lines to `log` (may be null), selects the chosen
// language's table and remembers the code unless the run mode is
// rmDownload. False when no offered language could be selected; `out` holds
// the decision either way.
bool chooseLanguage(CLauncherLanguages& languages, int runMode, const std::string& regPath,
                    CLogImplW* log, LanguageDecision& out);
