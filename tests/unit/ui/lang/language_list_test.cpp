#include "ui/lang/language_list.h"

#include "lso_bytes.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <map>

namespace {

class LanguageListTest : public ::testing::Test {
protected:
    const tinyxml2::XMLElement* common(const char* xml) {
        doc.Parse(xml);
        EXPECT_FALSE(doc.Error()) << doc.ErrorStr();
        return doc.RootElement()->FirstChildElement("common");
    }

    ArchiveFileLookup lookup() {
        return [this](const std::string& name, std::vector<uint8_t>& bytes) {
            const auto it = files.find(name);
            if (it == files.end())
                return false;
            bytes = it->second;
            return true;
        };
    }

    tinyxml2::XMLDocument doc;
    std::map<std::string, std::vector<uint8_t>> files;
};

TEST_F(LanguageListTest, ReadsEntriesUpToTheFirstIncompleteOne) {
    const auto* c = common(R"(<config><common><languages>
        <enable lang="en" long="English" file="lang\en.lso" locale="en-US" id="1033" icon="0"/>
        <other lang="xx"/>
        <enable lang="de" long="Deutsch" file="lang\de.lso" locale="" id="0x407" icon="1" font="-2"/>
        <enable lang="fr" long="Francais" file="lang\fr.lso" locale="fr-FR" id="1036"/>
        <enable lang="es" long="Espanol" file="lang\es.lso" locale="es-ES" id="1034" icon="3"/>
      </languages></common></config>)");
    const std::vector<LanguageListEntry> list = readLanguageList(c->FirstChildElement("languages"));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].sLang, "en");
    EXPECT_EQ(list[0].sLong, "English");
    EXPECT_EQ(list[0].sFile, "lang\\en.lso");
    EXPECT_EQ(list[0].sLocale, "en-US");
    EXPECT_EQ(list[0].nId, 1033);
    EXPECT_EQ(list[0].nFont, 0);
    EXPECT_EQ(list[0].nOrdinal, 0);
    EXPECT_EQ(list[1].nId, 0x407);
    EXPECT_EQ(list[1].nIcon, 1);
    EXPECT_EQ(list[1].nFont, -2);
    EXPECT_EQ(list[1].nOrdinal, 1);
    EXPECT_TRUE(readLanguageList(nullptr).empty());
}

TEST_F(LanguageListTest, AnUnreadableIntEndsTheList) {
    const auto* c = common(R"(<config><common><languages>
        <enable lang="en" long="English" file="en.lso" locale="" id="x" icon="0"/>
        <enable lang="de" long="Deutsch" file="de.lso" locale="" id="1" icon="0"/>
      </languages></common></config>)");
    EXPECT_TRUE(readLanguageList(c->FirstChildElement("languages")).empty());
}

constexpr const char* kThreeLanguages = R"(<config><common><languages>
    <enable lang="en" long="English" file="en.lso" locale="en-US" id="1" icon="0"/>
    <enable lang="de" long="Deutsch" file="de.lso" locale="de-DE" id="2" icon="1" font="1"/>
    <enable lang="fr" long="Francais" file="fr.lso" locale="" id="3" icon="2"/>
  </languages></common></config>)";

TEST_F(LanguageListTest, OffersOnlyLanguagesWhoseTableMatchesTheFirst) {
    files["en.lso"] = lsotest::lsoTable(120, "en");
    files["de.lso"] = lsotest::lsoTable(119, "de");
    files["fr.lso"] = lsotest::lsoTable(120, "fr");
    std::vector<std::string> localesAsked;
    LangLocaleFactory locales;
    locales.lcidOf = [&](const std::string& name) {
        localesAsked.push_back(name);
        return name == "en-US" ? 0x409u : 0u;
    };
    CLauncherLanguages out;
    ASSERT_TRUE(loadLanguages(common(kThreeLanguages), lookup(), locales, out));
    ASSERT_EQ(out.entries.size(), 2u);
    EXPECT_EQ(out.entries[1].sLang, "fr");
    EXPECT_EQ(out.entries[1].nOrdinal, 1); // ordinal == table index
    EXPECT_EQ(out.find("de"), nullptr);
    ASSERT_NE(out.find("fr"), nullptr);
    EXPECT_EQ(out.find("fr")->nOrdinal, 1);
    EXPECT_EQ(out.sDefaultCode, "en");
    EXPECT_EQ(out.table.size(), 2u);
    EXPECT_EQ(out.table.currentIndex(), 0);
    EXPECT_EQ(out.table.getString(119), L"en 119");
    EXPECT_EQ(out.table.at(0)->nLcid, 0x409u);
    EXPECT_EQ(out.table.at(1)->nLcid, 0u);
    // Only non-empty locale names reach the platform.
    EXPECT_EQ(localesAsked, (std::vector<std::string>{"en-US", "de-DE"}));
}

TEST_F(LanguageListTest, AMissingOrBrokenFirstTableLetsTheNextBecomeTheDefault) {
    files["de.lso"] = lsotest::lsoBytes(2, 7, {"", "x"}); // reserved word set
    files["fr.lso"] = lsotest::lsoTable(50, "fr");
    CLauncherLanguages out;
    ASSERT_TRUE(loadLanguages(common(kThreeLanguages), lookup(), {}, out));
    ASSERT_EQ(out.entries.size(), 1u);
    EXPECT_EQ(out.sDefaultCode, "fr");
    EXPECT_EQ(out.table.getString(49), L"fr 49");
}

TEST_F(LanguageListTest, NothingLoadsWithoutLanguagesOrTables) {
    CLauncherLanguages none;
    EXPECT_FALSE(loadLanguages(nullptr, lookup(), {}, none));
    CLauncherLanguages noList;
    EXPECT_FALSE(loadLanguages(common("<config><common/></config>"), lookup(), {}, noList));
    CLauncherLanguages noFiles;
    EXPECT_FALSE(loadLanguages(common(kThreeLanguages), lookup(), {}, noFiles));
    EXPECT_EQ(noFiles.table.size(), 0u);
    EXPECT_EQ(noFiles.table.getString(1), L"");
}

} // namespace
