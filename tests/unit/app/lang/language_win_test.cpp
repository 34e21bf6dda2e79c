#include "app/lang/language_win.h"
#include "ui/lang/lang_locale_win.h"

#include "app/run_mode.h"
#include "base/reg_key_win.h"
#include "unit/ui/lang/lso_bytes.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

namespace {

// Each test works below an HKCU key of its own, named after the test, and
// removes it afterwards: CTest runs the tests of this fixture in parallel
// processes.
class LanguageRegistryTest : public ::testing::Test {
protected:
    LanguageRegistryTest()
        : regPath(std::string("Software\\LauncherTests\\LangProduct-") +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name()),
          productKey(regPath.begin(), regPath.end()) {}

    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, productKey.c_str());
        doc.Parse(R"(<config><common><languages>
            <enable lang="en" long="English" file="en" locale="en-US" id="1" icon="0"/>
            <enable lang="de" long="Deutsch" file="de" locale="de-DE" id="2" icon="1"/>
            <enable lang="es" long="Espanol" file="es" locale="es-ES" id="3" icon="2"/>
          </languages></common></config>)");
        const auto lookup = [](const std::string& name, std::vector<uint8_t>& bytes) {
            bytes = lsotest::lsoTable(3, name);
            return true;
        };
        ASSERT_TRUE(loadLanguages(doc.RootElement()->FirstChildElement("common"), lookup,
                                  windowsLangLocales(), languages));
    }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, productKey.c_str()); }

    void writeRaw(DWORD type, const std::wstring& value) {
        CRegKey key;
        ASSERT_TRUE(key.create(HKEY_CURRENT_USER, productKey + L"\\Language"));
        ASSERT_EQ(::RegSetValueExW(key.get(), L"Language", 0, type,
                                   reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    const std::string regPath;
    const std::wstring productKey;
    tinyxml2::XMLDocument doc;
    CLauncherLanguages languages;
};

TEST_F(LanguageRegistryTest, RemembersAndReadsBack) {
    EXPECT_EQ(readRememberedLanguage(regPath), "");
    ASSERT_TRUE(saveLanguage(regPath, "de", rmUpdate));
    EXPECT_EQ(readRememberedLanguage(regPath), "de");
    ASSERT_TRUE(saveLanguage(regPath, "es", rmInstall));
    EXPECT_EQ(readRememberedLanguage(regPath), "es");
    // A download run leaves the user's choice alone.
    EXPECT_TRUE(saveLanguage(regPath, "en", rmDownload));
    EXPECT_EQ(readRememberedLanguage(regPath), "es");
}

TEST_F(LanguageRegistryTest, IgnoresOverlongAndForeignValues) {
    writeRaw(REG_SZ, std::wstring(50, L'x'));
    EXPECT_EQ(readRememberedLanguage(regPath), std::string(50, 'x'));
    writeRaw(REG_SZ, std::wstring(51, L'x'));
    EXPECT_EQ(readRememberedLanguage(regPath), "");
    writeRaw(REG_EXPAND_SZ, L"de");
    EXPECT_EQ(readRememberedLanguage(regPath), "");
}

TEST_F(LanguageRegistryTest, ChooseSelectsTheRememberedLanguageAndKeepsIt) {
    // The test executable carries no stamped language.
    ASSERT_TRUE(saveLanguage(regPath, "es", rmUpdate));
    LanguageDecision d;
    ASSERT_TRUE(chooseLanguage(languages, rmUpdate, regPath, nullptr, d));
    EXPECT_EQ(d.sCode, "es");
    EXPECT_EQ(d.logLines[0], L"setup:");
    EXPECT_EQ(d.logLines[1], L"reg:es");
    EXPECT_EQ(d.logLines[3], L"default:en");
    EXPECT_EQ(languages.table.currentIndex(), 2);
    EXPECT_EQ(languages.table.getString(1), L"es 1");
    EXPECT_EQ(readRememberedLanguage(regPath), "es");
}

TEST_F(LanguageRegistryTest, ChooseFallsBackAndRemembersOnlyOutsideDownloads) {
    ASSERT_TRUE(saveLanguage(regPath, "fr", rmUpdate));
    LanguageDecision d;
    ASSERT_TRUE(chooseLanguage(languages, rmDownload, regPath, nullptr, d));
    EXPECT_EQ(d.sCode, "en");
    EXPECT_EQ(readRememberedLanguage(regPath), "fr");
    ASSERT_TRUE(chooseLanguage(languages, rmUpdate, regPath, nullptr, d));
    EXPECT_EQ(readRememberedLanguage(regPath), "en");
}

TEST(LangLocale, PlatformLocaleObjects) {
    EXPECT_EQ(localeIdOf("de-DE"), 0x0407u);
    EXPECT_EQ(localeIdOf(""), 0u);
    EXPECT_EQ(makeCrtLocale(""), nullptr);
    EXPECT_EQ(systemLanguage().empty(), false);
}

} // namespace
