// The choice dialog and the start of the chosen editor.
#include "launcher.h"

int OnChoiceInitDialog(HWND window, UINT, WPARAM, LPARAM) {
    DecideStart(window);
    return 1;
}

int OnShowChoice(HWND, UINT, WPARAM, LPARAM) {
    ShowWindow(g_state.hChoiceDlg, SW_SHOW);
    ShowWindow(g_state.hFrame, SW_SHOW);
    return 1;
}

int OnChoiceOk(HWND, UINT, WPARAM, LPARAM) {
    DestroyWindow(g_state.hFrame);
    return 1;
}

int OnStartEditor(HWND, UINT, WPARAM, LPARAM) {
    DestroyWindow(g_state.hFrame);
    return 1;
}
