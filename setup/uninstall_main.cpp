// Entry point of the removal program PikroUninstall.
#include "setup.h"
#include "startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    LoadDllsFromSystemFolderOnly();
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    RunUninstall();
    return 0;
}
