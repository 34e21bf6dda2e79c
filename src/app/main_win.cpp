// Launcher.exe's entry point.
#include "app/entry_win.h"
#include "app/logic_win.h"
#include "base/windows_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    return launcherMain(currentEntryContext(commandLine),
                        [] { return std::make_unique<CLogic>(); });
}
