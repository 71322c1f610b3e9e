#include "setup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RunUninstall();
    return 0;
}
