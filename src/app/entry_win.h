// The process entry: parses the command line, serves "/crc" and
// "/assistant", and otherwise drives one logic object through preinit, init,
// run and uninit, turning every failure into an "Installer Error" report.
#pragma once

#include "app/command_line.h"
#include "base/windows_win.h"

#include <functional>
#include <memory>
#include <string>

class CLogImplW;

// The logic object as the entry point drives it (CLogic in the product; a
// scripted fake in the entry tests). init and run may throw a narrow text
// (const char* or std::string) or an int; see launcherMain.
class ILauncherLogic {
public:
    virtual ~ILauncherLogic() = default;
    virtual bool preinit() = 0;
    // The configuration's switch for the run log; read after preinit.
    virtual bool isLauncherLogEnabled() const = 0;
    // The run log lives on the entry point's stack; the logic only points
    // to it.
    virtual void setRunLog(CLogImplW* log) = 0;
    // The logic keeps the mutex handle value; the entry point owns it.
    virtual void setCommandLine(const CommandLineState& state, HANDLE hUninstallMutex) = 0;
    virtual bool init(int runCode, const std::wstring& argument) = 0;
    virtual bool run() = 0;
    virtual void uninit() = 0;
};

using LogicFactory = std::function<std::unique_ptr<ILauncherLogic>()>;

struct EntryContext {
    std::wstring rawArguments;    // the command line without the program name
    std::wstring fullCommandLine; // as the system reports it, program included
    std::wstring ownPath;         // the running executable; the run log goes beside it
};

// The context of the running process.
EntryContext currentEntryContext(const wchar_t* rawArguments);

// Runs the launcher; returns the process exit code (1 only when the logic
// object cannot be created).
int launcherMain(const EntryContext& context, const LogicFactory& createLogic);

// Name of the kernel mutex held by an uninstalling launcher.
extern const char kUninstallMutexName[];
