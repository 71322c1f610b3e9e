// Start decision for a solution: which editor opens it, or ask the user.
#include "launcher.h"

void DecideStart(HWND dialog) {
    PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
}
