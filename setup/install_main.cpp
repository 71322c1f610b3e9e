// Entry point of the setup program PikroInstall.
#include "setup.h"
#include "startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int) {
    LoadDllsFromSystemFolderOnly();
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    SetupSwitches switches;
    ParseSetupSwitches(cmdLine, &switches);
    return RunInstall(switches.fQuiet, switches.fUser);
}
