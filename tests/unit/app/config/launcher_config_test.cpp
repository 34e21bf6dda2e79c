#include "app/config/launcher_config.h"

#include "base/crc32.h"

#include <gtest/gtest.h>

namespace {

bool parse(CLauncherConfig& config, const std::string& text, std::string* error = nullptr) {
    std::string e;
    const bool ok = config.parse(reinterpret_cast<const uint8_t*>(text.data()), text.size(), e);
    if (error)
        *error = e;
    return ok;
}

const char kMinimal[] = R"(<launcher>
  <common>
    <regPath>SOFTWARE\Studio\Game</regPath>
    <log><logLauncher enable="1"/></log>
    <shortName>Game</shortName><fullName>The Game</fullName>
  </common>
  <launch><WindowClassName>GameWnd</WindowClassName><Process>Client.exe</Process>
    <ProcessArgs></ProcessArgs></launch>
  <themes>
    <theme name="nopath"/>
    <theme name="a" path="themes\a"/>
    <theme name="b" path="themes\b"/>
  </themes>
</launcher>)";

TEST(LauncherConfig, ParsesTheStartKeys) {
    CLauncherConfig config;
    ASSERT_TRUE(parse(config, kMinimal));
    EXPECT_EQ(config.sRegPath, "SOFTWARE\\Studio\\Game");
    EXPECT_TRUE(config.bLogLauncher);
    EXPECT_FALSE(config.bLogHttp);
    EXPECT_EQ(config.nConfigCrc, Crc32(kMinimal, sizeof(kMinimal) - 1));
}

TEST(LauncherConfig, RefusesUnusableDocuments) {
    const char* docs[] = {"",
                          "<launcher>",
                          "<launcher/>",
                          "<launcher><common/></launcher>",
                          "<launcher><common><regPath/></common></launcher>",
                          "<launcher><other><regPath>x</regPath></other></launcher>"};
    for (const char* doc : docs) {
        CLauncherConfig config;
        std::string error;
        EXPECT_FALSE(parse(config, doc, &error)) << doc;
        EXPECT_NE(error, "");
    }
}

TEST(LauncherConfig, ThemeChoice) {
    CLauncherConfig config;
    ASSERT_TRUE(parse(config, kMinimal));
    EXPECT_EQ(config.chooseThemePath(""), "themes\\a");
    EXPECT_EQ(config.chooseThemePath("b"), "themes\\b");
    EXPECT_EQ(config.chooseThemePath("unknown"), "themes\\a");
    EXPECT_EQ(config.chooseThemePath("nopath"), std::nullopt) << "a named theme without a path";

    CLauncherConfig none;
    ASSERT_TRUE(parse(none, "<l><common><regPath>x</regPath></common></l>"));
    EXPECT_EQ(none.chooseThemePath(""), std::nullopt);
}

TEST(LauncherConfig, LaunchSettings) {
    CLauncherConfig config;
    ASSERT_TRUE(parse(config, kMinimal));
    LaunchSettings s;
    EXPECT_EQ(readLaunchSettings(config, false, 10, 0, s), "");
    EXPECT_EQ(s.sClientCommand, "Client.exe") << "no trailing blank for empty arguments";
    EXPECT_EQ(s.sLicensePath, "/client/license");
    EXPECT_TRUE(s.bIconCreateDesktop);
    EXPECT_FALSE(s.bIconCreateProgramsFolder);

    // Windows 8 and 8.1 turn the desktop shortcut off unless automatic.
    for (int minor : {2, 3}) {
        LaunchSettings w8;
        readLaunchSettings(config, false, 6, minor, w8);
        EXPECT_FALSE(w8.bIconCreateDesktop);
        LaunchSettings automatic;
        readLaunchSettings(config, true, 6, minor, automatic);
        EXPECT_TRUE(automatic.bIconCreateDesktop);
        EXPECT_TRUE(automatic.bIconCreateProgramsFolder);
    }
}

TEST(LauncherConfig, MissingRequiredKeysRaiseTheirTexts) {
    struct Case {
        const char* doc;
        const char* error;
    };
    const Case cases[] = {
        {"<l><common><regPath>x</regPath></common></l>", "Unable to load window class name"},
        {"<l><common><regPath>x</regPath></common><launch><WindowClassName>W</WindowClassName>"
         "</launch></l>",
         "Unable to load short clone name"},
        {"<l><common><regPath>x</regPath><shortName>s</shortName><fullName>f</fullName></common>"
         "<launch><WindowClassName>W</WindowClassName><Process></Process></launch></l>",
         "Unable load client file name"},
    };
    for (const Case& c : cases) {
        CLauncherConfig config;
        ASSERT_TRUE(parse(config, c.doc));
        LaunchSettings s;
        EXPECT_EQ(readLaunchSettings(config, false, 10, 0, s), c.error);
    }
}

TEST(LauncherConfig, AutomaticModeAndMigrations) {
    const char doc[] = R"(<l><common><regPath>x</regPath><shortName>s</shortName>
      <fullName>f</fullName><automaticInstallMode enable="true" promoURL="http://promo.example/"/>
      <migrations>
        <migration/>
        <migration><shortName>old</shortName><fullName>Old</fullName><regPath>r</regPath></migration>
        <migration><shortName>broken</shortName></migration>
      </migrations></common>
      <launch><WindowClassName>W</WindowClassName><Process>C.exe</Process>
      <ProcessArgs>-x 1</ProcessArgs></launch></l>)";
    CLauncherConfig config;
    ASSERT_TRUE(parse(config, doc));
    LaunchSettings s;
    ASSERT_EQ(readLaunchSettings(config, false, 10, 0, s), "");
    EXPECT_TRUE(s.bAuto);
    EXPECT_EQ(s.sPromoUrl, "http://promo.example/");
    EXPECT_EQ(s.sClientCommand, "C.exe -x 1");
    ASSERT_EQ(s.migrations.size(), 1u);
    EXPECT_EQ(s.migrations[0].shortName, "old");

    LaunchSettings fromCommandLine;
    readLaunchSettings(config, true, 10, 0, fromCommandLine);
    EXPECT_FALSE(fromCommandLine.bAuto) << "the element is not read";
    EXPECT_EQ(fromCommandLine.sPromoUrl, "");
}

} // namespace
