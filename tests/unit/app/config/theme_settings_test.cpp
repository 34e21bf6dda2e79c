#include "app/config/theme_settings.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

namespace {

ThemeSettings read(const char* xml, std::string& error) {
    tinyxml2::XMLDocument doc;
    doc.Parse(xml);
    ThemeSettings settings;
    error = readThemeSettings(doc.RootElement(), settings);
    return settings;
}

TEST(ThemeSettings, ReadsTheCommonKeysWithTheirDefaults) {
    const struct {
        const char* xml;
        bool arrows, numbers, singlePage;
        int lineLength;
    } cases[] = {
        {"<t><common/></t>", true, true, false, 40},
        {"<t><common><backNextArrowsInText value='0'/><pageNumeration value='false'/>"
         "<singlePageMode value='1'/><MBLineLength value='0x30'/></common></t>",
         false, false, true, 48},
        {"<t><common><singlePageMode value='yes'/><MBLineLength value='9999999999'/></common></t>",
         true, true, false, 40},
        {"<t><common><MBLineLength>60</MBLineLength></common></t>", true, true, false, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        std::string error;
        const ThemeSettings s = read(c.xml, error);
        EXPECT_EQ(error, "");
        EXPECT_EQ(s.bBackNextArrowsInText, c.arrows);
        EXPECT_EQ(s.bPageNumeration, c.numbers);
        EXPECT_EQ(s.bSinglePageMode, c.singlePage);
        EXPECT_EQ(s.nMBLineLength, c.lineLength);
    }
}

TEST(ThemeSettings, ThemeWithoutCommonIsAnError) {
    for (const char* xml : {"<t><forms/></t>", "", "<t><common"}) {
        std::string error;
        read(xml, error);
        EXPECT_EQ(error, "theme: config/common") << xml;
    }
}

} // namespace
