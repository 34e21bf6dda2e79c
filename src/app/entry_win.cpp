#include "app/entry_win.h"

#include "app/crc_mode_win.h"
#include "base/file_io_win.h"
#include "base/log/file_version_win.h"
#include "base/log/log_file_io_win.h"
#include "base/log/log_files_win.h"
#include "base/log/run_log_win.h"
#include "base/os_info_win.h"
#include "base/scoped_handle_win.h"
#include "system/assistant_entry_win.h"

#include <commctrl.h>
#include <objbase.h>

#include <string>

const char kUninstallMutexName[] = "Global\\{420B48D2-AC21-4ec6-8295-BB0C8D8BD72C}";

namespace {

const char kErrorCaption[] = "Installer Error";

void logLine(CLogImplW& log, const std::wstring& text) {
    log.write(text.c_str(), true);
}

void writeRawLine(CLogImplW& log, const std::wstring& text) {
    log.writeRaw(static_cast<unsigned>(text.size() * sizeof(wchar_t)), text.c_str());
    log.write(L"", true);
}

void reportError(CLogImplW& log, const std::string& text) {
    ::MessageBoxA(nullptr, text.c_str(), kErrorCaption, MB_OK | MB_ICONERROR);
    logLine(log, L"Installer Error: " + wideFromAnsi(text));
}

// Opens the run log beside the executable when the configuration asks for
// it; without a file every later write does nothing.
void openRunLog(CLogImplW& log, const std::wstring& ownPath) {
    const std::wstring folder = folderOfPath(ownPath);
    migrateOldLogs(folder);
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const std::wstring name = chooseLogFileName(folder, fileNameOfPath(ownPath), now);
    if (name.empty())
        return;
    log.setFlush(false);
    log.setUtf8(true);
    log.open(name.c_str());
}

void writeLogHeader(CLogImplW& log, const EntryContext& context, int runCode) {
    log.writeBanner(L"launcher started", true);
    writeRawLine(log, L"v" + wideFromAnsi(getFileVersion(context.ownPath)));
    log.writeTimeBanner();
    COsInfo os;
    os.Describe();
    writeRawLine(log, L"\nOS: " + os.description() + L"\n");
    writeRawLine(log, L"Command line:");
    writeRawLine(log, context.rawArguments);
    writeRawLine(log, L"Parse command line");
    writeRawLine(log, std::wstring(L"g_rc = ") + runCodeLogName(runCode));
}

// COM and the common controls for the whole run.
class CUiRuntime {
public:
    CUiRuntime() {
        comInitialized = SUCCEEDED(::CoInitialize(nullptr));
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
        ::InitCommonControlsEx(&icc);
    }
    CUiRuntime(const CUiRuntime&) = delete;
    CUiRuntime& operator=(const CUiRuntime&) = delete;
    ~CUiRuntime() {
        if (comInitialized)
            ::CoUninitialize();
    }

private:
    bool comInitialized = false;
};

// The uninstall mutex: opened to detect another uninstaller, or created and
// owned while this one uninstalls.
class CUninstallMutex {
public:
    bool openExisting() {
        handle.reset(::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kUninstallMutexName));
        return static_cast<bool>(handle);
    }
    void createOwned() {
        handle.reset(::CreateMutexA(nullptr, TRUE, kUninstallMutexName));
        owned = handle && ::GetLastError() != ERROR_ALREADY_EXISTS;
    }
    HANDLE get() const { return handle.get(); }
    ~CUninstallMutex() {
        if (owned)
            ::ReleaseMutex(handle.get());
    }

private:
    CHandle handle;
    bool owned = false;
};

bool isUninstallRun(int runCode) {
    return runCode == rcUninstall || runCode == rcUninstallFrom || runCode == rcUninstallFromGuest;
}

// init, run and uninit; every failure is reported here and the run goes
// on to the shutdown.
void runLogic(ILauncherLogic& logic, CLogImplW& log, const CommandLineState& st) {
    try {
        if (!logic.init(st.g_rc, st.sCmdArgument))
            throw 1;
        logLine(log, L"pLogic->init() succeed");
        if (!logic.run())
            throw 2;
        logLine(log, L"pLogic->run() succeed");
        logic.uninit();
        logLine(log, L"pLogic->uninit() succeed");
    } catch (const char* text) {
        reportError(log, text);
    } catch (const std::string& text) {
        reportError(log, text);
    } catch (int code) {
        if (code == 1) {
            reportError(log, "pLogic->init");
        } else if (code == 2) {
            logic.uninit();
            reportError(log, "pLogic->run");
        } else if (code == 3) {
            logic.uninit();
            logLine(log, L"Installer Error: 3");
        }
    } catch (...) {
        ::MessageBoxW(nullptr, L"unknown", L"error", MB_OK | MB_ICONERROR);
        logLine(log, L"Installer Error: unknown");
    }
}

int runWithLogic(const EntryContext& context, const CommandLineState& st,
                 std::unique_ptr<ILauncherLogic> logic) {
    const bool preinitOk = logic->preinit();
    CLogImplW log;
    if (preinitOk && logic->isLauncherLogEnabled())
        openRunLog(log, context.ownPath);
    writeLogHeader(log, context, st.g_rc);

    {
        CUiRuntime ui;
        logic->setRunLog(&log);
        g_pLog = &log;
        {
            CUninstallMutex mutex;
            const bool otherUninstaller = st.g_rc == rcUninstall && mutex.openExisting();
            if (!preinitOk) {
                reportError(log, "g_pSystem->preinit");
            } else if (otherUninstaller) {
                logLine(log, L"other launcher instance detected, exiting");
            } else {
                if (isUninstallRun(st.g_rc) && mutex.get() == nullptr)
                    mutex.createOwned();
                logic->setCommandLine(st, mutex.get());
                if (st.bFastMode)
                    logLine(log, L"Use fast update mode");
                runLogic(*logic, log, st);
            }
        }
        logic.reset();
        g_pLog = nullptr;
    }
    logLine(log, L"Launcher finished");
    log.close();
    return 0;
}

} // namespace

EntryContext currentEntryContext(const wchar_t* rawArguments) {
    EntryContext context;
    context.rawArguments = rawArguments ? rawArguments : L"";
    context.fullCommandLine = ::GetCommandLineW();
    context.ownPath = ownModulePath();
    return context;
}

int launcherMain(const EntryContext& context, const LogicFactory& createLogic) {
    const CommandLineState st = parseCommandLine(context.rawArguments);
    if (st.g_rc == rcCrc) {
        runCrcMode();
        return 0;
    }
    if (st.bAssistant) {
        runAssistantEntry(context.fullCommandLine);
        return 0;
    }
    std::unique_ptr<ILauncherLogic> logic;
    try {
        logic = createLogic ? createLogic() : nullptr;
    } catch (...) {
        logic.reset();
    }
    if (!logic) {
        ::MessageBoxA(nullptr, "pLogic: create", kErrorCaption, MB_OK | MB_ICONERROR);
        return 1;
    }
    return runWithLogic(context, st, std::move(logic));
}
