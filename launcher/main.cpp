// Entry point of the launcher Pikro.
#include "launcher.h"

int WINAPI wWinMain(HINSTANCE hInst, HINSTANCE, PWSTR cmdLine, int) {
    // DLLs come from the system folder only, never from the folder of the
    // solution that was double-clicked. The error mode is left alone: it
    // would be inherited by the editor through the shim.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return LauncherMain(hInst, cmdLine);
}
