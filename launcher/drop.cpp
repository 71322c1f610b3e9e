// Adding an editor by dropping its devenv.exe on the settings dialog's list.
#include "launcher.h"

#include <shellapi.h>

int ListDropFiles(HWND, UINT, WPARAM wParam, LPARAM) {
    DragFinish(reinterpret_cast<HDROP>(wParam));
    return 0;
}

void AddDroppedEditor(const wchar_t*) {}
