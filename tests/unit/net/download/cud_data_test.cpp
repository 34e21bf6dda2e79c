#include "net/download/cud_data.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

namespace {

const tinyxml2::XMLElement* parse(tinyxml2::XMLDocument& doc, const char* xml) {
    EXPECT_EQ(doc.Parse(xml), tinyxml2::XML_SUCCESS) << xml;
    return CudRoot(doc);
}

const char kTwoFaces[] = R"(<ClientUpdateData>
  <Face id="alpha" askLoginURL="true">
    <LoginURLs><URL>https://a1</URL></LoginURLs>
  </Face>
  <Location country="DE" city="Berlin"/>
  <Face id="beta">
    <LoginURLs><URL> https://b1 </URL><URL></URL><URL>https://b2</URL></LoginURLs>
    <DataUpdateURLs><URL>https://d1</URL></DataUpdateURLs>
    <ReplaceURLs>
      <Replace from="https://old" to="https://new"/>
      <Replace from="https://gone"/>
      <Replace from="" to="https://x"/>
      <Replace from="https://same" to="https://same"/>
    </ReplaceURLs>
  </Face>
</ClientUpdateData>)";

TEST(CudFace, ChoosesTheFaceByMatchKind) {
    tinyxml2::XMLDocument doc;
    const tinyxml2::XMLElement* root = parse(doc, kTwoFaces);
    ASSERT_NE(root, nullptr);
    const SLocationData location;

    SFaceData first;
    ASSERT_NE(ParseFace(*root, EFaceMatch::eFirst, "beta", location, first), nullptr);
    EXPECT_EQ(first.id, "alpha") << "the configuration takes the first face whatever its id";
    EXPECT_TRUE(first.askLoginURL);

    SFaceData beta;
    ASSERT_NE(ParseFace(*root, EFaceMatch::eById, "beta", location, beta), nullptr);
    EXPECT_EQ(beta.id, "beta");
    EXPECT_FALSE(beta.askLoginURL) << "the flag belongs to the chosen face";
    EXPECT_EQ(beta.loginUrls, (CUrlList{"https://b1", "https://b2"}));
    EXPECT_EQ(beta.dataUpdateUrls, (CUrlList{"https://d1"}));

    SFaceData untouched;
    untouched.id = "keep";
    EXPECT_EQ(ParseFace(*root, EFaceMatch::eById, "gamma", location, untouched), nullptr);
    EXPECT_EQ(ParseFace(*root, EFaceMatch::eById, "", location, untouched), nullptr);
    EXPECT_EQ(untouched.id, "keep");
}

TEST(CudFace, FailsWithoutAFaceOrAnId) {
    const char* documents[] = {
        "<ClientUpdateData/>",
        "<ClientUpdateData><Location/></ClientUpdateData>",
        "<ClientUpdateData><Face><LoginURLs><URL>u</URL></LoginURLs></Face></ClientUpdateData>",
    };
    for (const char* xml : documents) {
        tinyxml2::XMLDocument doc;
        const tinyxml2::XMLElement* root = parse(doc, xml);
        ASSERT_NE(root, nullptr);
        SFaceData face;
        EXPECT_EQ(ParseFace(*root, EFaceMatch::eFirst, "", SLocationData(), face), nullptr) << xml;
    }
}

TEST(CudFace, ReadsTheReplacePairsThatChangeSomething) {
    tinyxml2::XMLDocument doc;
    const tinyxml2::XMLElement* root = parse(doc, kTwoFaces);
    SFaceData face;
    const tinyxml2::XMLElement* beta = ParseFace(*root, EFaceMatch::eById, "beta", {}, face);
    ASSERT_NE(beta, nullptr);
    CReplaceList list;
    ReadReplaceList(*beta, list);
    EXPECT_EQ(list, (CReplaceList{{"https://old", "https://new"}, {"https://gone", ""}}));
}

const char kByLocation[] = R"(<ClientUpdateData><Face id="f">
  <LoginURLs country="US, ca"><URL>https://america</URL></LoginURLs>
  <LoginURLs country="DE,  at ,ch" city="Wien, graz"><URL>https://austria</URL></LoginURLs>
  <LoginURLs country="de"><URL>https://germany</URL></LoginURLs>
  <DataUpdateURLs><URL>https://data</URL></DataUpdateURLs>
  <LoginURLs country=" , "><URL>https://anywhere</URL></LoginURLs>
</Face></ClientUpdateData>)";

TEST(CudFace, PicksTheLoginBlockByCountryAndCity) {
    struct Case {
        const char* country;
        const char* city;
        const char* expected; // null: no login block qualifies
    };
    const Case cases[] = {
        {"CA", "Toronto", "https://america"}, // lower case after ", " in the list
        {"us", "N/A", "https://america"},
        {"At", "GRAZ", "https://austria"},
        {"AT", "Linz", "https://anywhere"}, // the city list excludes the Austrian block
        {"DE", "Berlin", "https://germany"},
        {"FR", "Paris", "https://anywhere"}, // an empty list is everyone's
    };
    tinyxml2::XMLDocument doc;
    const tinyxml2::XMLElement* root = parse(doc, kByLocation);
    for (const Case& c : cases) {
        SLocationData location;
        location.country = c.country;
        location.city = c.city;
        SFaceData face;
        ASSERT_NE(ParseFace(*root, EFaceMatch::eByIdAndLocation, "f", location, face), nullptr);
        EXPECT_EQ(face.loginUrls, CUrlList{c.expected}) << c.country << "/" << c.city;
        EXPECT_EQ(face.dataUpdateUrls, CUrlList{"https://data"});
    }
    // Without location matching only the first block counts.
    SFaceData face;
    ASSERT_NE(ParseFace(*root, EFaceMatch::eById, "f", SLocationData(), face), nullptr);
    EXPECT_EQ(face.loginUrls, CUrlList{"https://america"});
}

TEST(CudFace, NoQualifyingBlockLeavesTheLoginListEmpty) {
    tinyxml2::XMLDocument doc;
    const tinyxml2::XMLElement* root = parse(doc, R"(<ClientUpdateData><Face id="f">
      <LoginURLs country="US"><URL>https://america</URL></LoginURLs>
      <DataUpdateURLs><URL>https://data</URL></DataUpdateURLs></Face></ClientUpdateData>)");
    SLocationData location;
    location.country = "JP";
    SFaceData face;
    ASSERT_NE(ParseFace(*root, EFaceMatch::eByIdAndLocation, "f", location, face), nullptr);
    EXPECT_TRUE(face.loginUrls.empty()) << "the data-update block is no login block";
    EXPECT_EQ(face.dataUpdateUrls, CUrlList{"https://data"});
}

TEST(CudLocationList, SplitsTrimsAndUpperCases) {
    struct Case {
        const char* value;
        std::vector<std::string> expected;
    };
    const std::string longList = std::string(250, ' ') + ",ab,cd";
    const Case cases[] = {
        {nullptr, {}},
        {"", {}},
        {" ,, ", {}},
        {"de", {"DE"}},
        {"US, ca ,\tMx", {"US", "CA", "MX"}},
        {"new york,São Paulo", {"NEW YORK", "SãO PAULO"}},
        {longList.c_str(), {"AB", "C"}}, // only the first 255 characters count
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitLocationList(c.value), c.expected) << (c.value ? c.value : "null");
}

TEST(CudReplace, RenamesOrRemovesTheFirstMatchInEachList) {
    struct Case {
        const char* what;
        CReplaceList pairs;
        CUrlList login;
        CUrlList data;
        int count;
        CUrlList expectedLogin;
        CUrlList expectedData;
    };
    const Case cases[] = {
        {"rename in both lists", {{"a", "z"}}, {"a", "b"}, {"c", "a"}, 2, {"z", "b"}, {"c", "z"}},
        {"empty target removes", {{"b", ""}}, {"a", "b"}, {}, 1, {"a"}, {}},
        {"present target removes", {{"a", "b"}}, {"a", "b"}, {}, 1, {"b"}, {}},
        {"only the first match", {{"a", "z"}}, {"a", "a"}, {}, 1, {"z", "a"}, {}},
        {"no match", {{"x", "y"}}, {"a"}, {"b"}, 0, {"a"}, {"b"}},
        {"pairs apply in order", {{"a", "b"}, {"b", "c"}}, {"a"}, {}, 2, {"c"}, {}},
    };
    for (const Case& c : cases) {
        SFaceData face;
        face.loginUrls = c.login;
        face.dataUpdateUrls = c.data;
        EXPECT_EQ(ReplaceUrls(c.pairs, face), c.count) << c.what;
        EXPECT_EQ(face.loginUrls, c.expectedLogin) << c.what;
        EXPECT_EQ(face.dataUpdateUrls, c.expectedData) << c.what;
    }
}

TEST(CudMerge, TakesOverDifferingNonEmptyListsOfTheSameFace) {
    struct Case {
        const char* what;
        const char* otherId;
        CUrlList otherLogin;
        CUrlList otherData;
        bool changed;
        CUrlList expectedLogin;
        CUrlList expectedData;
    };
    const Case cases[] = {
        {"same lists", "f", {"a", "b"}, {"d"}, false, {"a", "b"}, {"d"}},
        {"reordered", "f", {"b", "a"}, {}, true, {"b", "a"}, {"d"}},
        {"shorter", "f", {"a"}, {}, true, {"a"}, {"d"}},
        {"empty lists are no news", "f", {}, {}, false, {"a", "b"}, {"d"}},
        {"data list only", "f", {}, {"e"}, true, {"a", "b"}, {"e"}},
        {"other face", "g", {"x"}, {"y"}, false, {"a", "b"}, {"d"}},
    };
    for (const Case& c : cases) {
        SFaceData inner{"f", false, {"a", "b"}, {"d"}};
        const SFaceData other{c.otherId, true, c.otherLogin, c.otherData};
        EXPECT_EQ(MergeFace(inner, other), c.changed) << c.what;
        EXPECT_EQ(inner.loginUrls, c.expectedLogin) << c.what;
        EXPECT_EQ(inner.dataUpdateUrls, c.expectedData) << c.what;
        EXPECT_EQ(inner.askLoginURL, std::string(c.otherId) == "f") << c.what;
    }
}

TEST(CudCompose, WritesWhatTheReaderReadsBack) {
    const SFaceData face{"f", true, {"https://a", "https://b&c"}, {"https://d"}};
    SLocationData location;
    location.country = "DE";
    location.city = "Köln";
    location.SelectedURL = "https://b&c";
    location.LastKnownGoodURL = "https://a";
    location.customUrl = "https://custom";
    location.replaceList = {{"x", "y"}};
    std::string xml;
    ASSERT_TRUE(ComposeCudXml(face, location, xml));
    EXPECT_EQ(xml.rfind("<ClientUpdateData>", 0), 0u) << "no declaration:\n" << xml;
    EXPECT_EQ(xml.find("custom"), std::string::npos);
    EXPECT_EQ(xml.find("Replace"), std::string::npos);
    EXPECT_NE(xml.find("askLoginURL=\"true\""), std::string::npos);

    tinyxml2::XMLDocument doc;
    const tinyxml2::XMLElement* root = parse(doc, xml.c_str());
    ASSERT_NE(root, nullptr);
    SFaceData read;
    ASSERT_NE(ParseFace(*root, EFaceMatch::eById, "f", {}, read), nullptr);
    EXPECT_EQ(read.loginUrls, face.loginUrls);
    EXPECT_EQ(read.dataUpdateUrls, face.dataUpdateUrls);
    EXPECT_TRUE(read.askLoginURL);
    SLocationData readLocation;
    ReadLocation(*root, readLocation);
    EXPECT_EQ(readLocation.country, "DE");
    EXPECT_EQ(readLocation.city, "Köln");
    EXPECT_EQ(readLocation.SelectedURL, "https://b&c");
    EXPECT_EQ(readLocation.LastKnownGoodURL, "https://a");
}

TEST(CudCompose, LeavesOutEmptyPartsButAlwaysTheLocation) {
    std::string xml;
    EXPECT_FALSE(ComposeCudXml(SFaceData(), SLocationData(), xml));
    EXPECT_TRUE(xml.empty());
    ASSERT_TRUE(ComposeCudXml(SFaceData{"f", false, {}, {}}, SLocationData(), xml));
    EXPECT_EQ(xml, "<ClientUpdateData>\n    <Face id=\"f\"/>\n    <Location country=\"N/A\" "
                   "city=\"N/A\"/>\n</ClientUpdateData>\n");
}

} // namespace
