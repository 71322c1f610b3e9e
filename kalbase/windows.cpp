// Window helpers: the primary monitor, window longs, common-control set-up
// and the light look-and-feel subclass that paints windows and dialogs in
// one background colour.
#include "KalBase32.h"

#include <commctrl.h>
#include <stdlib.h>

namespace {

const UINT_PTR kLookSubclassId = 0x4B44;  // "KD"
// Names the subclass record for a second call (the 64-bit MinGW import
// library lacks GetWindowSubclass).
const wchar_t kLookProp[] = L"KalLookData";

struct LookData {
    COLORREF colour;
    HBRUSH brush;
};

LRESULT CALLBACK LookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                          DWORD_PTR data) {
    LookData* look = reinterpret_cast<LookData*>(data);
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, look->brush);
        return 1;
    }
    case WM_CTLCOLORDLG:
        return reinterpret_cast<LRESULT>(look->brush);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        SetBkColor(reinterpret_cast<HDC>(wParam), look->colour);
        return reinterpret_cast<LRESULT>(look->brush);
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, LookProc, id);
        RemovePropW(window, kLookProp);
        DeleteObject(look->brush);
        free(look);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

int KalGetPrimaryMonitorInfo(int reserved, RECT* rect) {
    (void)reserved;
    if (!rect) return 0;
    POINT origin = {0, 0};
    HMONITOR monitor = MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!monitor || !GetMonitorInfoW(monitor, &info)) return 0;
    *rect = info.rcMonitor;
    return 1;
}

LONG_PTR KalGetWindowLongPtr(HWND window, int index) {
    return GetWindowLongPtrW(window, index);
}

int KalDgcSetup() {
    INITCOMMONCONTROLSEX init = {};
    init.dwSize = sizeof(init);
    init.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    return InitCommonControlsEx(&init) ? 1 : 0;
}

int KalDgcSubclassEx(HWND window, COLORREF background) {
    if (!IsWindow(window)) return 0;
    LookData* look = static_cast<LookData*>(GetPropW(window, kLookProp));
    if (look) {
        // Already dressed: just change the colour.
        HBRUSH brush = CreateSolidBrush(background);
        if (!brush) return 0;
        DeleteObject(look->brush);
        look->brush = brush;
        look->colour = background;
        InvalidateRect(window, NULL, TRUE);
        return 1;
    }
    look = static_cast<LookData*>(calloc(1, sizeof(LookData)));
    if (!look) return 0;
    look->colour = background;
    look->brush = CreateSolidBrush(background);
    if (!look->brush || !SetPropW(window, kLookProp, look)) {
        if (look->brush) DeleteObject(look->brush);
        free(look);
        return 0;
    }
    if (!SetWindowSubclass(window, LookProc, kLookSubclassId, reinterpret_cast<DWORD_PTR>(look))) {
        RemovePropW(window, kLookProp);
        DeleteObject(look->brush);
        free(look);
        return 0;
    }
    InvalidateRect(window, NULL, TRUE);
    return 1;
}
