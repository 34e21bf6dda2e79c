#include "net/download/url_selector.h"

#include "base/buffer.h"
#include "net/download/cud_cipher.h"
#include "net/download/cud_store.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <map>
#include <optional>

namespace {

constexpr char kKey[] = "7C1E93B04FD2A865E0B7194C3A5DF826";
const std::wstring kPath = L"C:\\Game\\CUD.dat";

class CMemCudStore : public ICudStore {
public:
    ECudReadResult ReadCud(const std::wstring& path, std::vector<uint8_t>& bytes) override {
        const auto file = files.find(path);
        if (file == files.end())
            return ECudReadResult::eCannotOpen;
        if (file->second.size() > kMaxCudFileBytes)
            return ECudReadResult::eTooLarge;
        bytes = file->second;
        return ECudReadResult::eOk;
    }
    ECudWriteResult WriteCud(const std::wstring& path, const uint8_t* bytes,
                             unsigned count) override {
        ++writes;
        if (writeResult != ECudWriteResult::eOk)
            return writeResult;
        files[path].assign(bytes, bytes + count);
        return ECudWriteResult::eOk;
    }

    void put(const std::string& text) { files[kPath].assign(text.begin(), text.end()); }
    std::string text() const {
        const std::vector<uint8_t>& bytes = files.at(kPath);
        return {bytes.begin(), bytes.end()};
    }

    std::map<std::wstring, std::vector<uint8_t>> files;
    ECudWriteResult writeResult = ECudWriteResult::eOk;
    int writes = 0;
};

std::string encipher(const std::string& plain, const char* key = kKey) {
    CBuffer out;
    EXPECT_TRUE(EncryptCud(key, reinterpret_cast<const uint8_t*>(plain.data()),
                           static_cast<unsigned>(plain.size()), out));
    std::string text;
    out.ToString(text);
    return text;
}

std::string decipher(const std::string& cipher) {
    CBuffer out;
    if (!DecryptCud(kKey, reinterpret_cast<const uint8_t*>(cipher.data()),
                    static_cast<unsigned>(cipher.size()), out))
        return {};
    std::string text;
    out.ToString(text);
    return text;
}

std::string cudXml(const std::string& faceId, const CUrlList& login, const CUrlList& data = {},
                   const std::string& rest = "") {
    std::string xml = "<ClientUpdateData><Face id=\"" + faceId + "\"><LoginURLs>";
    for (const std::string& url : login)
        xml += "<URL>" + url + "</URL>";
    xml += "</LoginURLs><DataUpdateURLs>";
    for (const std::string& url : data)
        xml += "<URL>" + url + "</URL>";
    return xml + "</DataUpdateURLs></Face>" + rest + "</ClientUpdateData>";
}

class UrlSelector : public testing::Test {
protected:
    UrlSelector() {
        selector.SetCudKey(kKey);
        selector.SetLog([this](const std::string& text, bool lineEnd) {
            log += text;
            if (lineEnd)
                log += "|\n";
        });
    }

    // The configuration's ClientUpdateData element.
    const tinyxml2::XMLElement* predefined(const std::string& xml) {
        config.Parse(xml.c_str());
        return config.FirstChildElement("ClientUpdateData");
    }

    bool initWith(const CUrlList& configUrls, const CUrlList& stamped = {}, bool plainCud = false) {
        return selector.Init(predefined(cudXml("game", configUrls)), stamped, kPath, plainCud);
    }

    std::vector<std::string> selections(int count) {
        std::vector<std::string> picked;
        for (int i = 0; i < count; ++i)
            picked.push_back(selector.SelectServerUrl() ? selector.Location().SelectedURL
                                                        : "<fail>");
        return picked;
    }

    bool logged(const std::string& text) const { return log.find(text) != std::string::npos; }

    CMemCudStore store;
    CUrlSelector selector{store};
    tinyxml2::XMLDocument config;
    std::string log;
};

TEST_F(UrlSelector, StrongerSourcesReplaceWeakerOnes) {
    struct Case {
        const char* what;
        CUrlList stamped;
        std::optional<std::string> file; // plain CUD.dat text
        const char* incoming;            // null: none
        CUrlList expected;
    };
    const Case cases[] = {
        {"configuration only", {}, std::nullopt, nullptr, {"https://cfg"}},
        {"stamped over configuration",
         {"https://stamp1", "https://stamp2"},
         std::nullopt,
         nullptr,
         {"https://stamp1", "https://stamp2"}},
        {"file over stamped",
         {"https://stamp1"},
         cudXml("game", {"https://file"}),
         nullptr,
         {"https://file"}},
        {"file of another face is ignored",
         {"https://stamp1"},
         cudXml("other", {"https://file"}),
         nullptr,
         {"https://stamp1"}},
        {"incoming over file",
         {"https://stamp1"},
         cudXml("game", {"https://file"}),
         "<ClientUpdateData><Face id=\"game\"><LoginURLs><URL>https://net</URL></LoginURLs>"
         "</Face></ClientUpdateData>",
         {"https://net"}},
    };
    for (const Case& c : cases) {
        store.files.clear();
        if (c.file)
            store.put(*c.file);
        ASSERT_TRUE(initWith({"https://cfg"}, c.stamped)) << c.what;
        if (c.incoming) {
            EXPECT_TRUE(selector.ApplyIncomingCud(c.incoming)) << c.what;
        }
        EXPECT_EQ(selector.Face().loginUrls, c.expected) << c.what;
    }
}

TEST_F(UrlSelector, InitFailsWithoutServerUrls) {
    EXPECT_FALSE(selector.Init(nullptr, {}, L"", false));
    EXPECT_TRUE(logged("Initializing CUD... OK|\nlist of predefined server URLs is empty|"));
    EXPECT_FALSE(selector.Init(predefined("<ClientUpdateData/>"), {"https://s"}, L"", false));
    EXPECT_TRUE(logged("failed to parse predefined CUD|"));
    EXPECT_FALSE(initWith({}));
    EXPECT_FALSE(selector.IsInitialized());
    EXPECT_FALSE(selector.SelectServerUrl());
}

TEST_F(UrlSelector, StampedListAloneIsEnough) {
    ASSERT_TRUE(selector.Init(nullptr, {"https://s1", "", "https://s2"}, L"", false));
    EXPECT_EQ(selector.Face().loginUrls, (CUrlList{"https://s1", "https://s2"}));
}

TEST_F(UrlSelector, SelectionStartsAtTheSavedUrlAndWrapsOnce) {
    struct Case {
        const char* saved;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"https://b", {"https://b", "https://c", "https://a", "<fail>", "https://a", "https://b"}},
        {"https://gone", {"https://a", "https://b", "https://c", "<fail>", "https://a"}},
        {"", {"https://a", "https://b", "https://c", "<fail>", "https://a"}},
    };
    for (const Case& c : cases) {
        store.put(cudXml("game", {"https://a", "https://b", "https://c"}, {},
                         std::string("<SelectedURL>") + c.saved + "</SelectedURL>"));
        ASSERT_TRUE(initWith({"https://cfg"}));
        EXPECT_EQ(selections(static_cast<int>(c.expected.size())), c.expected) << c.saved;
    }
    EXPECT_TRUE(logged(std::string(80, '-') + "|\nSelecting server URL: list depleted|"));
}

TEST_F(UrlSelector, DataUpdateUrlsRotateOnTheirOwn) {
    store.put(cudXml("game", {"https://a", "https://b"}, {"https://d1", "https://d2"}));
    ASSERT_TRUE(initWith({"https://cfg"}));
    ASSERT_TRUE(selector.SelectServerUrl());
    std::vector<std::string> picked;
    for (int i = 0; i < 4; ++i)
        picked.push_back(selector.SelectDataUpdateUrl() ? selector.Location().dataUpdateUrl
                                                        : "<fail>");
    EXPECT_EQ(picked,
              (std::vector<std::string>{"https://d1", "https://d2", "<fail>", "https://d1"}));
    EXPECT_EQ(selector.Location().SelectedURL, "https://a");
    EXPECT_TRUE(logged("Selecting update URL: list depleted|"));
}

TEST_F(UrlSelector, CustomUrlIsOnTrialUntilAcceptedOrRejected) {
    ASSERT_TRUE(initWith({"https://a", "https://b"}));
    ASSERT_TRUE(selector.SelectServerUrl());
    EXPECT_FALSE(selector.SetCustomUrl(""));
    EXPECT_TRUE(logged("Setting custom URL: URL is empty|"));
    EXPECT_FALSE(selector.SetCustomUrl("https://b"));
    EXPECT_TRUE(logged("URL already exist|"));

    ASSERT_TRUE(selector.SetCustomUrl("https://mine"));
    EXPECT_EQ(selector.Location().SelectedURL, "https://mine");
    EXPECT_FALSE(selector.SelectServerUrl());
    EXPECT_TRUE(logged("cannot select while custom URL is set|"));

    ASSERT_TRUE(selector.AcceptCustomUrl());
    EXPECT_EQ(selector.Face().loginUrls, (CUrlList{"https://a", "https://b", "https://mine"}));
    EXPECT_TRUE(selector.Location().customUrl.empty());
    // Accepted counts as the first of a pass: the others follow once.
    EXPECT_EQ(selections(4),
              (std::vector<std::string>{"https://a", "https://b", "<fail>", "https://a"}));
    EXPECT_FALSE(selector.AcceptCustomUrl()) << "nothing pending";
}

TEST_F(UrlSelector, RejectedCustomUrlIsForgotten) {
    ASSERT_TRUE(initWith({"https://a", "https://b"}));
    ASSERT_TRUE(selector.SelectServerUrl());
    ASSERT_TRUE(selector.SetCustomUrl("https://mine"));
    selector.RejectCustomUrl();
    EXPECT_TRUE(selector.Location().customUrl.empty());
    EXPECT_TRUE(selector.Location().SelectedURL.empty());
    EXPECT_EQ(selector.Face().loginUrls, (CUrlList{"https://a", "https://b"}));
    EXPECT_EQ(selections(3), (std::vector<std::string>{"https://a", "https://b", "<fail>"}));
}

TEST_F(UrlSelector, AcceptingAUrlTheServerListedMeanwhileFails) {
    ASSERT_TRUE(initWith({"https://a"}));
    ASSERT_TRUE(selector.SetCustomUrl("https://mine"));
    ASSERT_TRUE(selector.ApplyIncomingCud(cudXml("game", {"https://a", "https://mine"}).c_str()));
    EXPECT_FALSE(selector.AcceptCustomUrl());
    EXPECT_TRUE(logged("Accepting custom server URL... URL already exist|"));
    EXPECT_TRUE(selector.Location().customUrl.empty());
}

TEST_F(UrlSelector, IncomingDataMatchesFaceAndLocation) {
    store.put(cudXml("game", {"https://a"}, {}, R"(<Location country="at" city="Wien"/>)"));
    ASSERT_TRUE(initWith({"https://cfg"}));
    EXPECT_EQ(selector.Location().country, "at");

    const std::string otherFace = cudXml("other", {"https://x"});
    EXPECT_FALSE(selector.ApplyIncomingCud(otherFace.c_str()));
    EXPECT_TRUE(logged("Updating CUD by incoming data... \nFailed to parse CUD file|"));
    EXPECT_EQ(selector.Face().loginUrls, CUrlList{"https://a"});

    const char* byCountry = R"(<ClientUpdateData><Face id="game">
        <LoginURLs country="DE"><URL>https://germany</URL></LoginURLs>
        <LoginURLs country="ch, At"><URL>https://austria</URL></LoginURLs>
        </Face></ClientUpdateData>)";
    EXPECT_TRUE(selector.ApplyIncomingCud(byCountry));
    EXPECT_EQ(selector.Face().loginUrls, CUrlList{"https://austria"});
    EXPECT_FALSE(selector.ApplyIncomingCud(byCountry)) << "the same data bring nothing new";
    EXPECT_TRUE(logged("no new URLs|"));

    const char* hostile[] = {"", "<ClientUpdateData>", "not xml at all", "<Other/>"};
    for (const char* xml : hostile)
        EXPECT_FALSE(selector.ApplyIncomingCud(xml)) << xml;
    EXPECT_FALSE(selector.ApplyIncomingCud(nullptr));
    EXPECT_EQ(selector.Face().loginUrls, CUrlList{"https://austria"});
}

TEST_F(UrlSelector, IncomingListStartsANewPass) {
    ASSERT_TRUE(initWith({"https://a", "https://b", "https://c"}));
    EXPECT_EQ(selections(3), (std::vector<std::string>{"https://a", "https://b", "https://c"}));
    ASSERT_TRUE(selector.ApplyIncomingCud(cudXml("game", {"https://x", "https://c"}).c_str()));
    EXPECT_EQ(selections(3), (std::vector<std::string>{"https://c", "https://x", "<fail>"}));
}

TEST_F(UrlSelector, IncomingDataNeedAnInitializedSelector) {
    EXPECT_FALSE(selector.ApplyIncomingCud(cudXml("game", {"https://x"}).c_str()));
    EXPECT_FALSE(selector.SaveCudFile(false));
    EXPECT_EQ(store.writes, 0);
}

TEST_F(UrlSelector, SavesEncipheredAndPlainAndReadsBoth) {
    for (const bool plain : {false, true}) {
        store.files.clear();
        ASSERT_TRUE(initWith({"https://a", "https://b"}, {}, plain));
        ASSERT_TRUE(selector.SelectServerUrl());
        ASSERT_TRUE(selector.SelectServerUrl());
        ASSERT_TRUE(selector.SaveCudFile(false));
        EXPECT_FALSE(selector.IsModified());
        const std::string saved = store.text();
        EXPECT_EQ(saved.rfind("<Client", 0) == 0, plain);
        const std::string xml = plain ? saved : decipher(saved);
        EXPECT_NE(xml.find("<SelectedURL>https://b</SelectedURL>"), std::string::npos) << xml;

        // The next run starts from the saved state whatever its own switch.
        CUrlSelector next(store);
        next.SetCudKey(kKey);
        ASSERT_TRUE(next.Init(predefined(cudXml("game", {"https://cfg"})), {}, kPath, !plain));
        EXPECT_EQ(next.Face().loginUrls, (CUrlList{"https://a", "https://b"}));
        EXPECT_EQ(next.Location().SelectedURL, "https://b");
        ASSERT_TRUE(next.SelectServerUrl());
        EXPECT_EQ(next.Location().SelectedURL, "https://b");
    }
    EXPECT_TRUE(logged("\n--- initial CUD data ---\n<ClientUpdateData>"));
}

TEST_F(UrlSelector, DamagedCudFileLeavesTheOtherSources) {
    const std::string good = cudXml("game", {"https://file"});
    const std::string cipher = encipher(good);
    const char kGarbage[] = "\x01\xff\x7f garbage \0\0 bytes";
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<a>";
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"other key", encipher(good, "00000000000000000000000000000001"),
         "failed to parse CUD file"},
        {"truncated cipher text", cipher.substr(0, cipher.size() - 7), "failed to parse CUD file"},
        {"garbage", std::string(kGarbage, sizeof(kGarbage) - 1), "failed to parse CUD file"},
        {"seven bytes", "<Clien>", "failed to parse CUD file"},
        {"empty", "", "failed to parse CUD file"},
        {"not CUD", "<Client/>", "failed to parse CUD file"},
        {"deep XML", "<ClientUpdateData>" + deep, "failed to parse CUD file"},
        {"deep enciphered XML", encipher("<ClientUpdateData>" + deep), "failed to parse CUD file"},
        {"huge", std::string(kMaxCudFileBytes + 1, '<'), "CUD file is too large"},
    };
    for (const Case& c : cases) {
        store.files.clear();
        store.files[kPath].assign(c.bytes.begin(), c.bytes.end());
        log.clear();
        ASSERT_TRUE(initWith({"https://cfg"}, {"https://stamped"})) << c.what;
        EXPECT_EQ(selector.Face().loginUrls, CUrlList{"https://stamped"}) << c.what;
        EXPECT_TRUE(logged(std::string("Loading CUD file... ") + c.message + "|")) << c.what << log;
        // The next save replaces the damaged file.
        ASSERT_TRUE(selector.SaveCudFile(false)) << c.what;
        EXPECT_EQ(decipher(store.text()).rfind("<ClientUpdateData>", 0), 0u) << c.what;
    }
}

TEST_F(UrlSelector, PlainFileIsReadWithoutTheKey) {
    store.put(cudXml("game", {"https://file"}));
    selector.SetCudKey("not a key");
    ASSERT_TRUE(initWith({"https://cfg"}));
    EXPECT_EQ(selector.Face().loginUrls, CUrlList{"https://file"});
    // Without a usable key the file is written plain rather than lost.
    ASSERT_TRUE(selector.SaveCudFile(false));
    EXPECT_EQ(store.text().rfind("<ClientUpdateData>", 0), 0u);
}

TEST_F(UrlSelector, ConfiguredReplacementsApplyToTheLoadedFile) {
    store.put(cudXml("game", {"https://old", "https://keep", "https://dup"}, {"https://old"}));
    const std::string withPairs = R"(<ClientUpdateData><Face id="game">
        <LoginURLs><URL>https://cfg</URL></LoginURLs>
        <ReplaceURLs><Replace from="https://old" to="https://new"/>
                     <Replace from="https://dup" to="https://keep"/></ReplaceURLs>
        </Face></ClientUpdateData>)";
    ASSERT_TRUE(selector.Init(predefined(withPairs), {}, kPath, false));
    EXPECT_EQ(selector.Face().loginUrls, (CUrlList{"https://new", "https://keep"}));
    EXPECT_EQ(selector.Face().dataUpdateUrls, CUrlList{"https://new"});
    EXPECT_TRUE(logged("Replacing URLs in loaded CUD file... 3 URLs replaced/removed|"));
    EXPECT_TRUE(logged("Updating inner CUD by loaded CUD file... URLs updated|"));
}

TEST_F(UrlSelector, SaveWithoutChangesLeavesTheFileAlone) {
    ASSERT_TRUE(initWith({"https://a"}));
    ASSERT_TRUE(selector.SaveCudFile(false));
    const int writes = store.writes;
    EXPECT_FALSE(selector.SaveCudFile(true));
    EXPECT_TRUE(logged("Saving CUD file... not modified|"));
    EXPECT_EQ(store.writes, writes);
}

TEST_F(UrlSelector, SaveTakesOverRunTimeValuesWrittenMeanwhile) {
    store.put(cudXml("game", {"https://a"}, {}, R"(<Location country="DE" city="Berlin"/>)"));
    ASSERT_TRUE(initWith({"https://cfg"}));
    ASSERT_TRUE(selector.SelectServerUrl());
    // The game client rewrote the file: new last good URL and city, no country.
    store.put(
        cudXml("game", {"https://zzz"}, {},
               R"(<Location city="Hamburg"/><LastKnownGoodURL>https://a</LastKnownGoodURL>)"));
    ASSERT_TRUE(selector.SaveCudFile(true));
    EXPECT_TRUE(logged("Updating RTD... RTD updated|"));
    EXPECT_EQ(selector.Location().LastKnownGoodURL, "https://a");
    EXPECT_EQ(selector.Location().city, "Hamburg");
    EXPECT_EQ(selector.Location().country, "DE") << "a missing value is no value";
    EXPECT_EQ(selector.Face().loginUrls, CUrlList{"https://a"}) << "the face is not reloaded";
}

TEST_F(UrlSelector, WriteFailuresKeepTheChangesPending) {
    struct Case {
        ECudWriteResult result;
        const char* message;
    };
    const Case cases[] = {{ECudWriteResult::eCannotOpen, "cannot open CUD file for writing|"},
                          {ECudWriteResult::eShortWrite, "CUD file writing failed|"}};
    for (const Case& c : cases) {
        ASSERT_TRUE(initWith({"https://a"}));
        store.writeResult = c.result;
        EXPECT_FALSE(selector.SaveCudFile(false));
        EXPECT_TRUE(logged(c.message));
        EXPECT_TRUE(selector.IsModified());
    }
}

TEST_F(UrlSelector, StampedOnlySetupCannotBeSaved) {
    ASSERT_TRUE(selector.Init(nullptr, {"https://s"}, kPath, false));
    EXPECT_FALSE(selector.SaveCudFile(false));
    EXPECT_TRUE(logged("CUD not initialized properly|"));
}

TEST_F(UrlSelector, LogContinuesLinesEndingInDots) {
    ASSERT_TRUE(initWith({"https://a"}));
    EXPECT_EQ(
        log.rfind("|\nInitializing CUD... OK|\nLoading CUD file... cannot open CUD file|\n", 0), 0u)
        << log;
    selector.EnableLog(false);
    log.clear();
    ASSERT_TRUE(selector.SelectServerUrl());
    EXPECT_TRUE(log.empty());
}

} // namespace
