// Entry point of the launcher Pikro.
#include "launcher.h"

int WINAPI wWinMain(HINSTANCE hInst, HINSTANCE, PWSTR cmdLine, int) {
    return LauncherMain(hInst, cmdLine);
}
