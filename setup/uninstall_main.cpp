// Entry point of the removal program PikroUninstall.
#include "setup.h"
#include "startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int) {
    LoadDllsFromSystemFolderOnly();
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Removal shows no message box: "/quiet" is taken as the installer
    // passes it, and only "/user" and "/machine" change what it does.
    SetupSwitches switches;
    ParseSetupSwitches(cmdLine, &switches);
    return RunUninstall(switches.fUser, switches.fMachine);
}
