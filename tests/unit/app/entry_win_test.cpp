// The entry sequence driven in-process with a scripted logic object: what
// is logged, which "Installer Error" box appears, which steps run.
#include "app/entry_win.h"

#include "support/files_win.h"
#include "support/message_box_watcher_win.h"
#include "support/temp_folder_win.h"

#include <gtest/gtest.h>

namespace {

using testwin::CMessageBoxWatcher;
using testwin::CTempFolder;

enum class Step {
    Ok,
    ReturnFalse,
    ThrowText,
    ThrowString,
    ThrowInt1,
    ThrowInt3,
    ThrowInt7,
    ThrowOther
};

struct Script {
    bool preinit = true;
    bool logEnabled = true;
    Step init = Step::Ok;
    Step run = Step::Ok;
};

struct Trace {
    std::vector<std::string> calls;
    CommandLineState state;
    bool gotMutex = false;
};

class CScriptedLogic : public ILauncherLogic {
public:
    CScriptedLogic(const Script& s, Trace& t) : script(s), trace(t) {}
    bool preinit() override {
        trace.calls.push_back("preinit");
        return script.preinit;
    }
    bool isLauncherLogEnabled() const override { return script.logEnabled; }
    void setRunLog(CLogImplW*) override { trace.calls.push_back("setRunLog"); }
    void setCommandLine(const CommandLineState& state, HANDLE mutex) override {
        trace.state = state;
        trace.gotMutex = mutex != nullptr;
    }
    bool init(int, const std::wstring&) override {
        trace.calls.push_back("init");
        return perform(script.init);
    }
    bool run() override {
        trace.calls.push_back("run");
        return perform(script.run);
    }
    void uninit() override { trace.calls.push_back("uninit"); }

private:
    static bool perform(Step step) {
        switch (step) {
        case Step::ReturnFalse:
            return false;
        case Step::ThrowText:
            throw "config/launch";
        case Step::ThrowString:
            throw std::string("Failed to select server URL");
        case Step::ThrowInt1:
            throw 1;
        case Step::ThrowInt3:
            throw 3;
        case Step::ThrowInt7:
            throw 7;
        case Step::ThrowOther:
            throw std::runtime_error("boom");
        default:
            return true;
        }
    }
    Script script;
    Trace& trace;
};

struct EntryRun {
    int exitCode = -1;
    Trace trace;
    std::vector<testwin::SeenBox> boxes;
    std::string log; // the run log's text, empty when none was written
};

// Runs the entry point for a launcher "installed" in a temporary folder.
EntryRun runEntry(const std::wstring& arguments, const Script& script) {
    CTempFolder folder;
    EntryRun r;
    {
        CMessageBoxWatcher watcher;
        EntryContext context{arguments, L"Launcher.exe " + arguments, folder / L"Launcher.exe"};
        r.exitCode = launcherMain(
            context, [&] { return std::make_unique<CScriptedLogic>(script, r.trace); });
        r.boxes = watcher.boxes();
    }
    r.log = testwin::runLogIn(folder.path());
    return r;
}

std::string joined(const std::vector<std::string>& calls) {
    std::string s;
    for (const std::string& c : calls)
        s += (s.empty() ? "" : ",") + c;
    return s;
}

TEST(Entry, WritesTheRunLogHeaderAndTheSteps) {
    const EntryRun r = runEntry(L"/u C:\\Games\\Demo", Script{});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(joined(r.trace.calls), "preinit,setRunLog,init,run,uninit");
    // Banner of 80 columns, then the raw lines in order.
    const std::string banner = std::string(31, '=') + " launcher started " + std::string(31, '=');
    ASSERT_EQ(r.log.rfind(banner + "\r\n", 0), 0u) << r.log;
    const char* inOrder[] = {"\r\nv",
                             " -- ",
                             "\r\n\nOS: Microsoft Windows",
                             "\n\r\nCommand line:\r\n/u C:\\Games\\Demo\r\n",
                             "Parse command line\r\ng_rc = CLogic::rcUninstallFrom\r\n",
                             "pLogic->init() succeed\r\n",
                             "pLogic->run() succeed\r\n",
                             "pLogic->uninit() succeed\r\n",
                             "Launcher finished\r\n"};
    size_t at = 0;
    for (const char* piece : inOrder) {
        const size_t found = r.log.find(piece, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << piece << "\n"
                                            << r.log;
        at = found;
    }
    EXPECT_TRUE(r.trace.gotMutex) << "an uninstall run holds the uninstall mutex";
}

struct FailureCase {
    const char* name;
    Script script;
    const wchar_t* caption; // expected box, or null for none
    const wchar_t* text;
    const char* logLine; // expected in the run log, or null
    const char* calls;
};

const FailureCase kFailures[] = {
    {"preinit fails",
     {false, true},
     L"Installer Error",
     L"g_pSystem->preinit",
     nullptr,
     "preinit,setRunLog"},
    {"init false",
     {true, true, Step::ReturnFalse},
     L"Installer Error",
     L"pLogic->init",
     "Installer Error: pLogic->init",
     "preinit,setRunLog,init"},
    {"init raises a text",
     {true, true, Step::ThrowText},
     L"Installer Error",
     L"config/launch",
     "Installer Error: config/launch",
     "preinit,setRunLog,init"},
    {"init raises a string",
     {true, true, Step::ThrowString},
     L"Installer Error",
     L"Failed to select server URL",
     "Installer Error: Failed to select server URL",
     "preinit,setRunLog,init"},
    {"init raises 1",
     {true, true, Step::ThrowInt1},
     L"Installer Error",
     L"pLogic->init",
     "Installer Error: pLogic->init",
     "preinit,setRunLog,init"},
    {"run false",
     {true, true, Step::Ok, Step::ReturnFalse},
     L"Installer Error",
     L"pLogic->run",
     "Installer Error: pLogic->run",
     "preinit,setRunLog,init,run,uninit"},
    {"run raises 3",
     {true, true, Step::Ok, Step::ThrowInt3},
     nullptr,
     nullptr,
     "Installer Error: 3",
     "preinit,setRunLog,init,run,uninit"},
    {"run raises 7",
     {true, true, Step::Ok, Step::ThrowInt7},
     nullptr,
     nullptr,
     nullptr,
     "preinit,setRunLog,init,run"},
    {"run raises something else",
     {true, true, Step::Ok, Step::ThrowOther},
     L"error",
     L"unknown",
     "Installer Error: unknown",
     "preinit,setRunLog,init,run"},
};

TEST(Entry, ReportsFailuresAsInstallerErrors) {
    for (const FailureCase& c : kFailures) {
        SCOPED_TRACE(c.name);
        const EntryRun r = runEntry(L"", c.script);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(joined(r.trace.calls), c.calls);
        if (c.caption == nullptr) {
            EXPECT_TRUE(r.boxes.empty());
        } else {
            ASSERT_EQ(r.boxes.size(), 1u);
            EXPECT_EQ(r.boxes[0].caption, c.caption);
            EXPECT_EQ(r.boxes[0].text, c.text);
        }
        if (c.logLine != nullptr) {
            EXPECT_NE(r.log.find(std::string(c.logLine) + "\r\n"), std::string::npos) << r.log;
        }
        if (c.script.preinit) {
            EXPECT_NE(r.log.find("Launcher finished\r\n"), std::string::npos);
        } else {
            EXPECT_EQ(r.log, "") << "no run log before the configuration is read";
        }
    }
}

TEST(Entry, CommandLineReachesTheLogic) {
    EntryRun r = runEntry(L"/fast /restart /auto", Script{});
    EXPECT_TRUE(r.trace.state.bFastMode);
    EXPECT_FALSE(r.trace.state.bRestart);
    EXPECT_FALSE(r.trace.gotMutex);
    EXPECT_NE(r.log.find("Use fast update mode\r\n"), std::string::npos);

    r = runEntry(L"/restart /uninstall \"C:\\x\"", Script{});
    EXPECT_EQ(r.trace.state.g_rc, rcNone);
    EXPECT_NE(r.log.find("g_rc = CLogic::rcNone\r\n"), std::string::npos);

    r = runEntry(L"/ug \"C:\\Temp\\Launcher.exe\" D:\\Portable", Script{});
    EXPECT_EQ(r.trace.state.g_rc, rcUninstallFromGuest);
    EXPECT_EQ(r.trace.state.sUninstallArg, L"\"C:\\Temp\\Launcher.exe\"");
    EXPECT_EQ(r.trace.state.sCmdArgument, L"D:\\Portable");
    EXPECT_TRUE(r.trace.gotMutex);
}

TEST(Entry, SecondUninstallerStopsOnTheMutex) {
    CHandle held(::CreateMutexA(nullptr, TRUE, kUninstallMutexName));
    ASSERT_TRUE(held);
    const EntryRun r = runEntry(L"/uninstall \"C:\\Games\\Demo\"", Script{});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(joined(r.trace.calls), "preinit,setRunLog");
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_NE(r.log.find("other launcher instance detected, exiting\r\n"), std::string::npos);
    ::ReleaseMutex(held.get());
}

TEST(Entry, DisabledLogWritesNoFile) {
    const EntryRun r = runEntry(L"", Script{true, false});
    EXPECT_EQ(joined(r.trace.calls), "preinit,setRunLog,init,run,uninit");
    EXPECT_EQ(r.log, "");
}

TEST(Entry, LogicThatCannotBeCreated) {
    CTempFolder folder;
    CMessageBoxWatcher watcher;
    const EntryContext context{L"", L"Launcher.exe", folder / L"Launcher.exe"};
    EXPECT_EQ(launcherMain(context, [] { return std::unique_ptr<ILauncherLogic>(); }), 1);
    const auto boxes = watcher.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"pLogic: create");
}

} // namespace
