// The retry ladder driven by scripts of events, as the logic would: each
// event's answer is carried out on paper, boxes are reported shown, and a
// timer fires when the script says so.
#include "app/flow/retry_ladder.h"

#include "base/utf8_text.h"
#include "net/download/cud_store.h"
#include "net/download/download_rules.h"
#include "net/download/url_selector.h"
#include "update/manifest/manifest_text.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <sstream>
#include <vector>

namespace {

class CNoCudStore : public ICudStore {
public:
    ECudReadResult ReadCud(const std::wstring&, std::vector<uint8_t>&) override {
        return ECudReadResult::eCannotOpen;
    }
    ECudWriteResult WriteCud(const std::wstring&, const uint8_t*, unsigned) override {
        return ECudWriteResult::eOk;
    }
};

class CFakeOwner : public IRetryLadderOwner {
public:
    void LogRetry(const std::wstring& line) override { lines.push_back(utf8FromWide(line)); }
    std::optional<std::string> FrontPackageName() const override { return package; }
    bool CanRequestTerms() const override { return termsAllowed; }

    std::vector<std::string> lines;
    std::optional<std::string> package = "core.pkg";
    bool termsAllowed = true;
};

// What the script calls each request, and the download kind of its failures;
// in the order of ERetryRequest.
struct SRequestNaming {
    const char* name;
    int kind;
};
constexpr SRequestNaming kRequestNaming[] = {{"lic", NetEx::eDownload_License},
                                             {"xml", NetEx::eDownload_UpdateXml},
                                             {"part", NetEx::eDownload_Update}};

const SRequestNaming& namingOf(ERetryRequest request) {
    return kRequestNaming[static_cast<size_t>(request)];
}

// One run over the servers http://a/ (selected at the start) and http://b/,
// with the data-update address http://d/, for failures of `request`.
class CLadderRun {
public:
    CLadderRun(ERetryRequest failing, bool askLoginURL) : request(failing) {
        const std::string xml = std::string("<ClientUpdateData><Face id=\"game\"") +
                                (askLoginURL ? " askLoginURL=\"true\"" : "") +
                                "><LoginURLs><URL>http://a/</URL><URL>http://b/</URL></LoginURLs>"
                                "<DataUpdateURLs><URL>http://d/</URL></DataUpdateURLs></Face>"
                                "</ClientUpdateData>";
        config.Parse(xml.c_str());
        EXPECT_TRUE(selector.Init(config.FirstChildElement("ClientUpdateData"), {}, L"", false));
        EXPECT_TRUE(selector.SelectServerUrl());
    }

    // The answers to the events of `script` (separated by single spaces; an
    // event may hold other white space), joined by spaces; events that answer
    // nothing add nothing.
    std::string run(const std::string& script) {
        std::istringstream events(script);
        std::string answers;
        for (std::string event; std::getline(events, event, ' ');) {
            const std::string answer = play(event);
            if (!answer.empty())
                answers += (answers.empty() ? "" : " ") + answer;
        }
        return answers;
    }

    CFakeOwner owner;

private:
    // Failures: [cud|kb|other]fail[status] (status 500 when left out), and
    // timeout; the kind is the run's request unless named. Each failure's
    // text is its own event name.
    std::string play(const std::string& event) {
        const size_t fail = event.find("fail");
        if (fail != std::string::npos) {
            const std::string prefix = event.substr(0, fail);
            const std::string status = event.substr(fail + 4);
            const int kind = prefix == "cud"     ? NetEx::eDownload_CUDFile
                             : prefix == "kb"    ? NetEx::eDownload_KB
                             : prefix == "other" ? NetEx::eDownload_Reserved
                                                 : namingOf(request).kind;
            return carryOut(ladder.OnNetError(kind, 0, status.empty() ? 500 : std::stoi(status),
                                              wideFromUtf8(event), "sys"));
        }
        if (event == "timeout")
            return carryOut(ladder.OnNetError(namingOf(request).kind, 12002, 0, L"timeout", "sys"));
        if (event == "empty")
            return carryOut(ladder.OnEmptyPart(L"unexpected"));
        if (event == "part") {
            ladder.OnPartReceived();
            return {};
        }
        if (event == "more")
            return carryOut(ladder.RetryPart());
        if (event == "timer")
            return carryOut(ladder.OnRetryTimer(timer));
        if (event == "cud+" || event == "cud-")
            return carryOut(ladder.OnServerData(event == "cud+"));
        if (event == "retry" || event == "cancel" || event == "ok")
            return carryOut(ladder.OnBoxAnswered(event == "retry", L""));
        if (event.rfind("typed:", 0) == 0)
            return carryOut(ladder.OnBoxAnswered(false, wideFromUtf8(event.substr(6))));
        // The download flow's own boxes.
        if (event == "crcbox")
            ladder.OnBoxShown(eMsgReason_Package);
        else if (event == "diskbox")
            ladder.OnBoxShown(eMsgReason_DiskSpace);
        else if (event == "noqueue")
            owner.package.reset();
        else if (event == "noterms")
            owner.termsAllowed = false;
        else
            ADD_FAILURE() << "unknown event " << event;
        return {};
    }

    // What the logic would do, written down: "<server>>" when the server
    // changes first, then the step.
    std::string carryOut(const SRetryAction& action) {
        std::string done = action.server.empty() ? "" : action.server + ">";
        const std::string text = utf8FromWide(action.text);
        switch (action.step) {
        case ERetryStep::eNone:
            return done + "-";
        case ERetryStep::eStartTimer:
            timer = action.timer;
            return done + "t" + std::to_string(action.timer);
        case ERetryStep::eResend:
            return done + namingOf(action.request).name + "#" + std::to_string(action.attempt);
        case ERetryStep::eFetchServerData:
            return done + "cud:" + action.url;
        case ERetryStep::eShowErrorBox:
            ladder.OnBoxShown(eMsgReason_Fatal);
            return done + "errorbox(" + text + ")";
        case ERetryStep::eShowRetryBox:
            ladder.OnBoxShown(action.reason);
            return done + "box" + std::to_string(action.reason) + "(" + text + ")";
        case ERetryStep::eShowServerPrompt:
            ladder.OnBoxShown(eMsgReason_ServerPrompt);
            return done + "prompt(" + text + ")[" + utf8FromWide(action.editText) + "]";
        case ERetryStep::eQuit:
            return done + "quit";
        }
        return "?";
    }

    ERetryRequest request;
    CNoCudStore store;
    tinyxml2::XMLDocument config;
    CUrlSelector selector{store};
    CRetryLadder ladder{selector, owner};
    unsigned timer = 0;
};

TEST(RetryLadder, ClimbsFromAttemptsToServersToServerDataToTheUser) {
    const struct {
        const char* what;
        ERetryRequest request;
        bool askLoginURL;
        const char* script;
        const char* answers;
    } cases[] = {
        {"five attempts one timer apart, then the next server from attempt 1",
         ERetryRequest::eManifest, false,
         "fail timer fail timer fail timer fail timer fail timer fail timer",
         "t2224 xml#1 t2224 xml#2 t2224 xml#3 t2224 xml#4 t2224 xml#5 t2224 http://b/>xml#1"},
        {"a 502 is one attempt; a 503 or a time-out ends the attempts on a server at once",
         ERetryRequest::ePart, false, "fail502 timer fail503 timer timeout timer",
         "t2225 part#1 t2225 http://b/>part#1 t2225 cud:http://d/"},
        {"a part received starts the count again; its continuation is attempt 0",
         ERetryRequest::ePart, false, "fail fail fail fail fail part more fail timer",
         "t2225 t2225 t2225 t2225 t2225 part#0 t2225 part#1"},
        {"empty answers count as failures and their text reaches the box", ERetryRequest::ePart,
         false, "fail503 timer empty timer empty timer empty timer empty timer empty timer cud-",
         "t2225 http://b/>part#1 t2225 part#2 t2225 part#3 t2225 part#4 t2225 part#5 "
         "t2225 cud:http://d/ http://a/>box7(unexpected)"},
        {"new servers in fresh server data: the request starts again on them", ERetryRequest::ePart,
         false, "fail503 timer fail503 timer cud+",
         "t2225 http://b/>part#1 t2225 cud:http://d/ http://a/>part#1"},
        {"the box shows the last error; Retry starts again from attempt 1",
         ERetryRequest::eManifest, false,
         "fail503 timer fail503 timer cudfail timer retry fail timer",
         "t2224 http://b/>xml#1 t2224 cud:http://d/ t2222 http://a/>box6(cudfail) xml#1 "
         "t2224 xml#2"},
        {"the user's own address is tried, offered again when it fails, and Cancel ends",
         ERetryRequest::eManifest, true,
         "fail503 timer fail503 timer cud- typed:\thttp://x/\n fail503 timer typed: cancel",
         "t2224 http://b/>xml#1 t2224 cud:http://d/ prompt(fail503)[] http://x/>xml#1 t2224 "
         "prompt(fail503)[http://x/] http://a/>box6(fail503) quit"},
        {"the download flow's boxes: Retry on a damaged package, OK on the others",
         ERetryRequest::ePart, false, "crcbox retry diskbox ok kbfail ok",
         "part#1 quit errorbox(kbfail) quit"},
        {"nothing queued: no part is asked for, the ladder goes on", ERetryRequest::ePart, false,
         "noqueue more fail timer", "- t2225 http://b/>-"},
        {"the terms are not asked for while the network is down", ERetryRequest::eLicense, false,
         "noterms fail503 timer", "t2223 http://b/>-"},
    };
    for (const auto& c : cases) {
        CLadderRun run(c.request, c.askLoginURL);
        EXPECT_EQ(run.run(c.script), c.answers) << c.what;
    }
}

TEST(RetryLadder, RunLogLines) {
    const struct {
        ERetryRequest request;
        const char* script;
        std::vector<std::string> lines;
    } cases[] = {
        {ERetryRequest::ePart,
         "fail timer",
         {"",
          "Network error, Request: core.pkg\n  .. System error code: 0, sys\n"
          "  .. Http error code: 500",
          "", "continue downloading attempt #1"}},
        {ERetryRequest::eManifest,
         "fail503 timer",
         {"",
          "Network error, Request: update.rxml\n  .. System error code: 0, sys\n"
          "  .. Http error code: 503",
          "", "attempts run out", "continue downloading xml attempt #1"}},
        {ERetryRequest::eLicense,
         "fail503 timer fail timer",
         {"attempts run out", "continue downloading license attempt #1", "net error License",
          "continue downloading license attempt #2"}},
        {ERetryRequest::ePart,
         "empty noqueue empty fail",
         {"", "Server answer is unexpected: core.pkg", "", "",
          "Network error, Request: \n  .. System error code: 0, sys\n  .. Http error code: 500",
          ""}},
        {ERetryRequest::ePart,
         "cudfail kbfail otherfail otherfail503",
         {"net error CUD file", "net error KB file", "net error update Affiliate"}},
    };
    for (const auto& c : cases) {
        CLadderRun run(c.request, false);
        run.run(c.script);
        EXPECT_EQ(run.owner.lines, c.lines) << c.script;
    }
}

} // namespace
