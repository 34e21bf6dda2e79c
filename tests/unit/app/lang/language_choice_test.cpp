#include "app/lang/language_choice.h"

#include "app/run_mode.h"
#include "unit/ui/lang/lso_bytes.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

namespace {

// en (font 2), de (font -1), es offered, in that order.
class LanguageChoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc.Parse(R"(<config><common><languages>
            <enable lang="en" long="English" file="en" locale="" id="1" icon="0" font="2"/>
            <enable lang="de" long="Deutsch" file="de" locale="" id="2" icon="1" font="-1"/>
            <enable lang="es" long="Espanol" file="es" locale="" id="3" icon="2"/>
          </languages></common></config>)");
        const auto lookup = [](const std::string& name, std::vector<uint8_t>& bytes) {
            bytes = lsotest::lsoTable(4, name);
            return true;
        };
        ASSERT_TRUE(
            loadLanguages(doc.RootElement()->FirstChildElement("common"), lookup, {}, languages));
    }

    tinyxml2::XMLDocument doc;
    CLauncherLanguages languages;
};

struct ChoiceCase {
    const char* what;
    int runMode;
    const char* stamped;
    const char* remembered;
    const char* system;
    const char* code;
    int index;
    bool remember;
};

TEST_F(LanguageChoiceTest, PicksByRunModeAndFallsBack) {
    const ChoiceCase cases[] = {
        {"install prefers the stamped language", rmInstall, "de", "es", "en", "de", 1, true},
        {"update prefers the remembered language", rmUpdate, "de", "es", "en", "es", 2, true},
        {"uninstall prefers the remembered language", rmUninstaller, "de", "es", "", "es", 2, true},
        {"install without stamp takes the remembered", rmInstall, "", "es", "de", "es", 2, true},
        {"update without memory takes the stamp", rmUpdate, "de", "", "es", "de", 1, true},
        {"both empty: system language", rmUpdate, "", "", "es", "es", 2, true},
        {"remembered fr is not offered", rmUpdate, "", "fr", "de", "en", 0, true},
        {"system language not offered", rmInstall, "", "", "ja", "en", 0, true},
        {"nothing at all", rmInstall, "", "", "", "en", 0, true},
        {"download does not remember", rmDownload, "de", "es", "en", "es", 2, false},
        {"codes are case-sensitive", rmUpdate, "", "DE", "", "en", 0, true},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.what);
        const LanguageDecision d = decideLanguage(
            {c.stamped, c.remembered, c.system, languages.sDefaultCode}, c.runMode, languages);
        EXPECT_EQ(d.sCode, c.code);
        EXPECT_EQ(d.nIndex, c.index);
        EXPECT_EQ(d.bRemember, c.remember);
        EXPECT_EQ(d.sImagePrefix, std::string(c.code) + "_");
    }
}

TEST_F(LanguageChoiceTest, LogsTheFourCandidatesInOrder) {
    const LanguageDecision d = decideLanguage({"de", "", "fr", "en"}, rmInstall, languages);
    EXPECT_EQ(d.logLines,
              (std::vector<std::wstring>{L"setup:de", L"reg:", L"local:fr", L"default:en"}));
}

TEST_F(LanguageChoiceTest, FontIndexIsNeverNegative) {
    EXPECT_EQ(decideLanguage({"en", "", "", "en"}, rmInstall, languages).nFont, 2);
    EXPECT_EQ(decideLanguage({"de", "", "", "en"}, rmInstall, languages).nFont, 0);
    EXPECT_EQ(decideLanguage({"es", "", "", "en"}, rmInstall, languages).nFont, 0);
}

TEST(LanguageChoice, NoOfferedLanguageGivesNoIndex) {
    const CLauncherLanguages none;
    const LanguageDecision d = decideLanguage({"de", "es", "en", ""}, rmUpdate, none);
    EXPECT_EQ(d.nIndex, -1);
    EXPECT_EQ(d.sCode, "");
}

} // namespace
