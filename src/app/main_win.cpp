// Launcher.exe's entry point.
// First: logic_win.h brings buffer.h before any Windows header.
#include "app/logic_win.h"

#include "app/entry_win.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    return launcherMain(currentEntryContext(commandLine),
                        [] { return std::make_unique<CLogic>(); });
}
