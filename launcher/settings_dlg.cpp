// The settings dialog.
#include "launcher.h"

int SettingsInitDialog(HWND, UINT, WPARAM, LPARAM) { return 1; }
int SettingsVsFixChanged(HWND, UINT, WPARAM, LPARAM) { return 1; }
int SettingsNoVsFixChanged(HWND, UINT, WPARAM, LPARAM) { return 1; }

int SettingsOk(HWND, UINT, WPARAM, LPARAM) {
    DestroyWindow(g_state.hFrame);
    return 1;
}

wchar_t* SettingsListTipText(UINT_PTR, wchar_t* buf, int capacity, HWND) {
    if (buf && capacity > 0) buf[0] = L'\0';
    return buf;
}
