#include "update/manifest/update_manifest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

namespace {

std::string doc(const std::string& body, const std::string& rootAttributes = "") {
    return "<?xml version=\"1.0\"?><update" + rootAttributes + ">" + body + "</update>";
}

// path -> pack, for comparing the file table at a glance.
std::map<std::wstring, std::wstring> packsOf(const FileTable& files) {
    std::map<std::wstring, std::wstring> out;
    for (const auto& [path, entry] : files)
        out[path] = entry.pack;
    return out;
}

struct TableCase {
    const char* what;
    std::string xml;
    int platform;
    std::set<std::wstring> additional;
    bool onlyAdd;
    std::map<std::wstring, std::wstring> files;
};

TEST(UpdateManifest, FileTableFollowsPackKindsAndPlatforms) {
    const std::vector<TableCase> cases = {
        {"a 64-bit package on a 32-bit system contributes nothing",
         doc(R"(<PACK type="full" platform="64" file="x64.pkg"><FILE file="a.dll"/></PACK>)"
             R"(<PACK type="full" platform="32" file="x86.pkg"><FILE file="b.dll"/></PACK>)"),
         pp32,
         {},
         false,
         {{L"b.dll", L"x86.pkg"}}},
        {"type Full with a capital is not counted",
         doc(R"(<PACK type="Full" file="a.pkg"><FILE file="a.txt"/></PACK>)"),
         pp64,
         {},
         false,
         {}},
        {"the later package wins for a shared path",
         doc(R"(<PACK type="full" file="a.pkg"><FILE file="Data\X.bin" crc="1"/></PACK>)"
             R"(<PACK type="int" file="b.pkg"><FILE file="data\x.bin" crc="2"/></PACK>)"),
         pp64,
         {},
         false,
         {{L"data\\x.bin", L"b.pkg"}}},
        {"an add package counts only when listed",
         doc(R"(<PACK type="add" file="hd.pkg"><FILE file="hd.bin"/></PACK>)"
             R"(<PACK type="add" file="vo.pkg"><FILE file="vo.bin"/></PACK>)"),
         pp64,
         {L"vo.pkg"},
         false,
         {{L"vo.bin", L"vo.pkg"}}},
        {"only additional packages: full, ext and int files are left out",
         doc(R"(<PACK type="full" file="a.pkg"><FILE file="a.bin"/></PACK>)"
             R"(<PACK type="add" file="hd.pkg"><FILE file="hd.bin"/></PACK>)"),
         pp64,
         {L"hd.pkg"},
         true,
         {{L"hd.bin", L"hd.pkg"}}},
        {"file entries start at the first FILE and take every following sibling",
         doc(R"(<PACK type="full" file="a.pkg"><INFO/><FILE file="one"/><X file="two"/></PACK>)"),
         pp64,
         {},
         false,
         {{L"one", L"a.pkg"}, {L"two", L"a.pkg"}}},
        {"a FILE without file is a damaged entry, left out",
         doc(R"(<PACK type="full" file="a.pkg"><FILE crc="5"/><FILE file="b"/></PACK>)"),
         pp64,
         {},
         false,
         {{L"b", L"a.pkg"}}},
    };
    for (const TableCase& c : cases) {
        ManifestParseOptions options;
        options.platform = c.platform;
        options.language = "en";
        options.additionalPackages = c.additional;
        options.onlyAddPackages = c.onlyAdd;
        UpdateManifest manifest;
        std::string error;
        ASSERT_TRUE(parseUpdateManifest(c.xml, options, manifest, error)) << c.what << error;
        EXPECT_EQ(packsOf(manifest.files), c.files) << c.what;
    }
}

TEST(UpdateManifest, ReadsApplicationsOnlyFromFittingPacksAndMatchingLanguage) {
    const std::string xml = doc(
        R"(<PACK type="ext" file="tool.pkg"><INFO lang="de"><NAME>Werkzeug</NAME></INFO>)"
        R"(<INFO lang="en" sel="false"><NAME>Tool</NAME><EXEC>tool.exe</EXEC><CMDL>-x</CMDL>)"
        R"(<HELP>one\ntwo</HELP></INFO><FILE file="tool.exe"/></PACK>)"
        R"(<PACK type="ext" file="fr.pkg"><INFO lang="fr"><EXEC>fr.exe</EXEC></INFO>)"
        R"(<FILE file="fr.exe"/></PACK>)"
        R"(<PACK type="int" platform="32" file="i32.pkg"><INFO lang="en"><EXEC>i.exe</EXEC></INFO></PACK>)"
        R"(<PACK type="int" file="int.pkg"><INFO lang="en"><NAME>Editor</NAME><EXEC>ed.exe</EXEC></INFO></PACK>)");
    ManifestParseOptions options;
    options.language = "en";
    UpdateManifest m;
    std::string error;
    ASSERT_TRUE(parseUpdateManifest(xml, options, m, error)) << error;
    ASSERT_EQ(m.extApps.size(), 1u);
    EXPECT_EQ(m.extApps[0].name, L"Tool");
    EXPECT_EQ(m.extApps[0].exec, L"tool.exe");
    EXPECT_EQ(m.extApps[0].cmdl, L"-x");
    EXPECT_EQ(m.extApps[0].help, L"one\ntwo");
    EXPECT_FALSE(m.extApps[0].sel);
    EXPECT_EQ(m.files.at(L"tool.exe").exec, L"tool.exe");
    // No matching INFO: no application, but the files stay listed.
    EXPECT_EQ(m.files.at(L"fr.exe").exec, L"");
    EXPECT_EQ(m.files.at(L"fr.exe").type, ptExt);
    ASSERT_EQ(m.intApps.size(), 1u);
    EXPECT_EQ(m.intApps[0].exec, L"ed.exe");
    EXPECT_EQ(m.packs.count(L"i32.pkg"), 0u);
}

// A damaged entry costs only itself: the manifest and its other entries
// stay usable, in the new and in the previous manifest alike.
TEST(UpdateManifest, PathsThatFailTheInstallPathCheckAreSkippedEntries) {
    const std::vector<std::pair<std::string, EInstallPath>> damaged = {
        {"C:\\Windows\\evil.dll", eInstallPath_Drive},
        {"\\Windows\\evil.dll", eInstallPath_Absolute},
        {"\\\\server\\share\\x", eInstallPath_Absolute},
        {"a\\..\\..\\x", eInstallPath_ParentStep},
        {"a/../../x", eInstallPath_ParentStep},
        {"file.txt:stream", eInstallPath_Drive},
        {"COM1", eInstallPath_Device},
        {"bin\\nul.dll", eInstallPath_Device},
        {"launcher.exe.", eInstallPath_TrailingDot},
        {"bin\\\\x", eInstallPath_EmptyStep},
        {"&#9;tab", eInstallPath_BadCharacter},
        {"", eInstallPath_Empty},
    };
    std::string files = R"(<FILE file="ok\a..b.txt"/><FILE file="Data/Maps/One.bin"/>)";
    for (const auto& [path, problem] : damaged)
        files += "<FILE file=\"" + path + "\"/>";
    const std::string xml =
        doc(R"(<PACK type="full" file="a.pkg">)" + files +
            R"(</PACK><PACK type="increment" file="i.pkg" size="1"><FILE file="..\y"/></PACK>)");
    UpdateManifest m;
    std::string error;
    ASSERT_TRUE(parseUpdateManifest(xml, {}, m, error)) << error;
    EXPECT_EQ(packsOf(m.files),
              (std::map<std::wstring, std::wstring>{{L"ok\\a..b.txt", L"a.pkg"},
                                                    {L"data\\maps\\one.bin", L"a.pkg"}}));
    EXPECT_TRUE(m.increments.at(0).files.empty());
    ASSERT_EQ(m.brokenPaths.size(), damaged.size() + 1);
    for (size_t i = 0; i < damaged.size(); ++i)
        EXPECT_EQ(m.brokenPaths[i].problem, damaged[i].second) << damaged[i].first;
    EXPECT_EQ(m.brokenPaths[6].path, L"com1");
    EXPECT_EQ(describeBrokenPath(m.brokenPaths[6]), L"com1 (a device name)");

    OldManifest old;
    ASSERT_TRUE(parseOldManifest(xml, {}, old, error)) << error;
    EXPECT_EQ(old.files.size(), 2u);
    EXPECT_EQ(old.files.count(L"data\\maps\\one.bin"), 1u);
}

TEST(UpdateManifest, MalformedNumbersReadAsZero) {
    const std::string xml = doc(
        R"(<PACK type="full" file="a.pkg" crc="-1" size="1e9">)"
        R"(<FILE file="a" crc="4294967296" size="-1"/>)"
        R"(<FILE file="b" crc=" 7" size="12x"/><FILE file="c" crc="4294967295" size="5000000000"/>)"
        "</PACK>");
    UpdateManifest m;
    std::string error;
    ASSERT_TRUE(parseUpdateManifest(xml, {}, m, error)) << error;
    EXPECT_EQ(m.packs.at(L"a.pkg").crc, 0u);
    EXPECT_EQ(m.packs.at(L"a.pkg").size, 0u);
    EXPECT_EQ(m.files.at(L"a").crc, 0u);
    EXPECT_EQ(m.files.at(L"a").size, 0u);
    EXPECT_EQ(m.files.at(L"b").crc, 0u);
    EXPECT_EQ(m.files.at(L"b").size, 0u);
    EXPECT_EQ(m.files.at(L"c").crc, 4294967295u);
    EXPECT_EQ(m.files.at(L"c").size, 5000000000u);
}

// A wrapped or zero size would make the checker and the download flow
// believe a wrong size; the manifest is damaged instead.
TEST(UpdateManifest, SizesBeyondSixtyFourBitsMakeItDamaged) {
    for (
        const char* element :
        {R"(<PACK type="full" file="a.pkg" size="18446744073709551616"></PACK>)",
         R"(<PACK type="full" file="a.pkg"><FILE file="a" size="99999999999999999999999"/></PACK>)"}) {
        UpdateManifest m;
        std::string error;
        EXPECT_FALSE(parseUpdateManifest(doc(element), {}, m, error)) << element;
        EXPECT_NE(error.find("does not fit 64 bits"), std::string::npos) << error;
    }
    UpdateManifest m;
    std::string error;
    ASSERT_TRUE(parseUpdateManifest(
        doc(R"(<PACK type="full" file="a.pkg" size="18446744073709551615"></PACK>)"), {}, m,
        error));
    EXPECT_EQ(m.packs.at(L"a.pkg").size, UINT64_MAX);
}

TEST(UpdateManifest, IgnoreRulesAndFailures) {
    UpdateManifest m;
    std::string error;
    ASSERT_TRUE(parseUpdateManifest(
        doc(R"(<IGNORE><FILE file="*\ReadMe.txt"/><FILE file="*\*.dmp"/><FILE file="Data\readme.txt"/></IGNORE>)"),
        {}, m, error));
    EXPECT_EQ(m.ignoredNames, (std::set<std::wstring>{L"readme.txt", L"*.dmp"}));
    EXPECT_EQ(m.ignoredPaths, (std::set<std::wstring>{L"data\\readme.txt"}));

    const std::vector<std::string> failing = {doc(R"(<IGNORE><FILE file="a"/><FILE/></IGNORE>)"),
                                              "", "not xml", "<a><b></a>", std::string(200, '<')};
    for (const std::string& text : failing)
        EXPECT_FALSE(parseUpdateManifest(text, {}, m, error)) << text;
}

TEST(UpdateManifest, StopRequestEndsParsingSuccessfully) {
    std::string body = R"(<PACK type="full" file="a.pkg">)";
    for (int i = 0; i < 50; ++i)
        body += "<FILE file=\"f" + std::to_string(i) + "\"/>";
    body += "</PACK>";
    ManifestParseOptions options;
    int tested = 0;
    options.stopRequested = [&] { return ++tested > 5; };
    UpdateManifest m;
    std::string error;
    ASSERT_TRUE(parseUpdateManifest(doc(body), options, m, error));
    EXPECT_EQ(m.files.size(), 5u);
}

TEST(UpdateManifest, OldManifestSkipsExtAndIncrementPackages) {
    const std::string xml =
        doc(R"(<PACK type="full" file="a.pkg"><FILE file="a" crc="1" size="2"/></PACK>)"
            R"(<PACK type="ext" file="e.pkg"><FILE file="e"/></PACK>)"
            R"(<PACK type="increment" file="i.pkg"><FILE file="i"/></PACK>)"
            R"(<PACK type="int" file="n.pkg"><FILE file="n"/></PACK>)"
            R"(<PACK type="add" file="d.pkg"><FILE file="d"/></PACK>)"
            R"(<PACK type="full" platform="32" file="x.pkg"><FILE file="x"/></PACK>)",
            R"( modification="m1" clientVersion="1.2.3")");
    ManifestParseOptions options;
    options.additionalPackages = {L"d.pkg"};
    OldManifest old;
    std::string error;
    ASSERT_TRUE(parseOldManifest(xml, options, old, error)) << error;
    std::vector<std::wstring> paths;
    for (const auto& [path, entry] : old.files)
        paths.push_back(path);
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"a", L"d", L"n"}));
    EXPECT_EQ(old.files.at(L"a").crc, 1u);
    EXPECT_EQ(old.files.at(L"a").size, 2u);
    EXPECT_EQ(old.modification, "m1");
    EXPECT_EQ(old.clientVersion, "1.2.3");
}

TEST(UpdateManifest, LauncherInfoNeedsVersionAndDecimalSize) {
    struct Case {
        std::string attributes;
        bool present;
        uint64_t size;
        std::optional<uint32_t> crc;
    };
    const std::vector<Case> cases = {
        {R"( launcherVersion="1.0.0.1" launcherSize="123" launcherCRC="77" launcherUrl="u")", true,
         123, 77u},
        {R"( launcherVersion="1.0.0.1" launcherSize="123" launcherCRC="")", true, 123, {}},
        {R"( launcherVersion="1.0.0.1" launcherSize="123" launcherCRC="x")", true, 123, {}},
        {R"( launcherVersion="1.0.0.1")", false, 0, {}},
        {R"( launcherVersion="1.0.0.1" launcherSize="12a")", false, 0, {}},
        {R"( launcherSize="123")", false, 0, {}},
    };
    for (const Case& c : cases) {
        const auto info = readLauncherInfo(doc("", c.attributes));
        ASSERT_EQ(info.has_value(), c.present) << c.attributes;
        if (!info)
            continue;
        EXPECT_EQ(info->size, c.size);
        EXPECT_EQ(info->crc, c.crc) << c.attributes;
    }
}

} // namespace
