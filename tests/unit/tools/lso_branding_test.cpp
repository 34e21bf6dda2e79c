// The default branding's language sources compile into tables the launcher
// accepts, and its configuration offers both.
#include "lso_text.h"

#include "image_file.h"
#include "ui/lang/language_list.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

namespace {

const std::string kBrandingDir = std::string(LAUNCHER_FIXTURES_DIR) + "/../../branding/default/";

std::vector<std::string> compileBrandingTable(const char* name) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(readImageFile(kBrandingDir + "lang/" + name, bytes, error)) << error;
    std::vector<std::string> entries;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    EXPECT_TRUE(parseLsoText(text, entries, error)) << name << ": " << error;
    return entries;
}

TEST(BrandingLanguages, BothTablesHaveEveryString) {
    const std::vector<std::string> en = compileBrandingTable("en.txt");
    const std::vector<std::string> de = compileBrandingTable("de.txt");
    ASSERT_EQ(en.size(), 121u);
    ASSERT_EQ(de.size(), 121u);
    EXPECT_EQ(en[0], "");
    EXPECT_EQ(de[0], "");
    EXPECT_EQ(en[41], "STEP %d/%d");
    EXPECT_EQ(de[41], "SCHRITT %d/%d");
    EXPECT_EQ(en[70], "You don't have rights\nto write to selected folder");
    EXPECT_EQ(en[111], "uninstall.dat");
    // The folder-holds-other-files box names the new folder once.
    for (const std::string* text : {&en[120], &de[120]}) {
        EXPECT_NE(text->find("%s"), std::string::npos) << *text;
        EXPECT_EQ(text->find("%s"), text->rfind('%')) << *text;
    }
    for (size_t i = 1; i < en.size(); ++i) {
        EXPECT_FALSE(en[i].empty()) << "en " << i;
        EXPECT_FALSE(de[i].empty()) << "de " << i;
    }
}

TEST(BrandingLanguages, ConfigurationOffersEnglishFirstAndGerman) {
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(readImageFile(kBrandingDir + "config.xml", bytes, error)) << error;
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.Parse(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
              tinyxml2::XML_SUCCESS);
    const auto lookup = [](const std::string& name, std::vector<uint8_t>& out) {
        const std::string source = name == "lang\\en.lso"   ? "en.txt"
                                   : name == "lang\\de.lso" ? "de.txt"
                                                            : "";
        if (source.empty())
            return false;
        out = encodeLso(compileBrandingTable(source.c_str()));
        return true;
    };
    CLauncherLanguages languages;
    ASSERT_TRUE(
        loadLanguages(doc.RootElement()->FirstChildElement("common"), lookup, {}, languages));
    ASSERT_EQ(languages.entries.size(), 2u);
    EXPECT_EQ(languages.sDefaultCode, "en");
    ASSERT_NE(languages.find("de"), nullptr);
    ASSERT_TRUE(languages.table.select(languages.find("de")->nOrdinal));
    EXPECT_EQ(languages.table.getString(41), L"SCHRITT %d/%d");
}

} // namespace
