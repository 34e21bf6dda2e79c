#include "app/config/config_path.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

namespace {

const char kDoc[] = R"(<root>
  <common>
    <regPath>SOFTWARE\Studio\Game</regPath>
    <log><logLauncher enable="true"/><logHTTP enable="yes"/></log>
    <empty></empty>
    <n hex="0x1F" dec="40" bad="4x" neg="-3"/>
  </common>
  <common><regPath>second is never read</regPath></common>
</root>)";

class ConfigPath : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(doc.Parse(kDoc), tinyxml2::XML_SUCCESS); }
    const tinyxml2::XMLElement* root() { return doc.RootElement(); }
    tinyxml2::XMLDocument doc;
};

TEST_F(ConfigPath, ResolvesElementsAttributesAndText) {
    EXPECT_EQ(readConfigPath(root(), "common").kind, EConfigNodeKind::Element);
    EXPECT_EQ(readConfigString(root(), "common/regPath/text()"), "SOFTWARE\\Studio\\Game");
    EXPECT_EQ(readConfigBool(root(), "common/log/logLauncher/@enable"), true);
    EXPECT_EQ(readConfigPath(root(), "common/log/logLauncher/@enable").kind,
              EConfigNodeKind::Attribute);
    // The kind must match what the path asks for.
    EXPECT_EQ(readConfigString(root(), "common/regPath"), std::nullopt);
    EXPECT_EQ(readConfigElement(root(), "common/regPath/text()"), nullptr);
    EXPECT_NE(readConfigElement(root(), "common/log"), nullptr);
}

TEST_F(ConfigPath, MissingAndUnreadableValues) {
    const char* missing[] = {
        "common/nope/text()",    "common/log/logLauncher/@other", "nope", "common/empty/text()", "",
        "common//regPath/text()"};
    for (const char* path : missing) {
        EXPECT_EQ(readConfigString(root(), path), std::nullopt) << path;
    }
    EXPECT_EQ(readConfigBool(root(), "common/log/logHTTP/@enable"), std::nullopt)
        << "yes is no bool";
    EXPECT_EQ(readConfigString(nullptr, "common"), std::nullopt);
}

TEST_F(ConfigPath, Numbers) {
    EXPECT_EQ(readConfigInt(root(), "common/n/@hex"), 31);
    EXPECT_EQ(readConfigInt(root(), "common/n/@dec"), 40);
    EXPECT_EQ(readConfigInt(root(), "common/n/@neg"), -3);
    EXPECT_EQ(readConfigInt(root(), "common/n/@bad"), std::nullopt);
    EXPECT_EQ(parseConfigInt(""), std::nullopt);
    EXPECT_EQ(parseConfigInt("0x"), std::nullopt);
    EXPECT_EQ(parseConfigInt("99999999999999999999999"), std::nullopt);
    // One sign only, before any "0x"; a second would reach LLONG_MIN and overflow.
    for (const char* text :
         {"--5", "0x-5", "-0x-5", "--9223372036854775808", "-0x-8000000000000000"})
        EXPECT_EQ(parseConfigInt(text), std::nullopt) << text;
    EXPECT_EQ(parseConfigInt("-0x7FFFFFFFFFFFFFFF"), -0x7FFFFFFFFFFFFFFF);
    EXPECT_EQ(parseConfigBool("0"), false);
    EXPECT_EQ(parseConfigBool("TRUE"), std::nullopt);
}

} // namespace
