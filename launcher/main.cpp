// Entry point of the launcher Pikro.
#include "launcher.h"
#include "startup.h"

int WINAPI wWinMain(HINSTANCE hInst, HINSTANCE, PWSTR cmdLine, int) {
    // DLLs come from the system folder only, never from the folder of the
    // solution that was double-clicked, and a missing drive or file shows no
    // system error box. The error mode the launcher was started with is
    // kept for the editor.
    LoadDllsFromSystemFolderOnly();
    g_state.uStartErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    return LauncherMain(hInst, cmdLine);
}
