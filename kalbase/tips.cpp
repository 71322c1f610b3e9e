// Tooltips attached to controls, with fixed or callback text, and the
// centred tips that close themselves after a while.
#include "KalBase32.h"

#include <commctrl.h>
#include <stdlib.h>
#include <wchar.h>

namespace {

// --- tooltips on controls ---------------------------------------------------

// The control is the tool's window, so the tooltip's TTN_GETDISPINFOW comes
// to the control itself; a subclass there answers it from this record.
const UINT_PTR kTipSubclassId = 0x4B54;  // "KT"
// The record is also named by a window property, for lookups from outside
// the subclass (the 64-bit MinGW import library lacks GetWindowSubclass).
const wchar_t kTipProp[] = L"KalTipData";
const int kTipTextUnits = 1024;

struct TipData {
    HWND tip;
    HWND owner;
    UINT_PTR value;
    KalTipTextCallBack callBack;
    wchar_t fixed[kTipTextUnits];
    wchar_t shown[kTipTextUnits];
};

// The text the tip shows now: the fixed text, or what the callback writes
// into the record's own buffer.
const wchar_t* CurrentText(TipData* data) {
    if (!data->callBack) return data->fixed;
    data->shown[0] = 0;
    data->callBack(data->value, data->shown, kTipTextUnits, data->owner);
    data->shown[kTipTextUnits - 1] = 0;
    return data->shown;
}

LRESULT CALLBACK TipControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                UINT_PTR id, DWORD_PTR ref) {
    TipData* data = reinterpret_cast<TipData*>(ref);
    switch (message) {
    case WM_NOTIFYFORMAT:
        if (reinterpret_cast<HWND>(wParam) == data->tip && lParam == NF_QUERY) return NFR_UNICODE;
        break;
    case WM_NOTIFY: {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        if (header && header->hwndFrom == data->tip && header->code == TTN_GETDISPINFOW) {
            NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            info->hinst = NULL;
            info->szText[0] = 0;
            info->lpszText = const_cast<wchar_t*>(CurrentText(data));
            return 0;
        }
        break;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, TipControlProc, id);
        RemovePropW(window, kTipProp);
        if (IsWindow(data->tip)) DestroyWindow(data->tip);
        free(data);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

TipData* TipOf(HWND control) {
    if (!control) return NULL;
    return static_cast<TipData*>(GetPropW(control, kTipProp));
}

void FillToolInfo(TOOLINFOW* info, HWND control, wchar_t* text) {
    ZeroMemory(info, sizeof(*info));
    // The version-2 size is understood by every comctl32 version.
    info->cbSize = TTTOOLINFOW_V2_SIZE;
    info->uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info->hwnd = control;
    info->uId = reinterpret_cast<UINT_PTR>(control);
    info->lpszText = text;
}

void CopyBounded(wchar_t* dst, size_t size, const wchar_t* src) {
    size_t len = wcsnlen(src, size - 1);
    wmemcpy(dst, src, len);
    dst[len] = 0;
}

// --- centred tips -----------------------------------------------------------

// Window slots of a centred tip: its text colour at KAL_TIP_SLOT_COLOUR, then
// the window it is centred on.
const int kSlotOwner = static_cast<int>(sizeof(LONG_PTR));
const int kSlotCount = 2;
const UINT_PTR kCloseTimer = 1;
const int kMargin = 8;
const wchar_t kOwnerTipProp[] = L"KalCenterTipWnd";

// The usual colours of SGR 30 to 37, as the console shows them.
const COLORREF kSgrColours[8] = {RGB(0, 0, 0),     RGB(128, 0, 0),   RGB(0, 128, 0),
                                 RGB(128, 128, 0), RGB(0, 0, 128),   RGB(128, 0, 128),
                                 RGB(0, 128, 128), RGB(192, 192, 192)};

// Parses a leading "ESC [ params m". Returns the units it takes (0 when the
// text does not start with a complete sequence) and updates colour.
size_t ParseSgr(const wchar_t* text, COLORREF* colour, COLORREF plain) {
    if (text[0] != 0x1B || text[1] != L'[') return 0;
    size_t i = 2;
    unsigned param = 0;
    int digits = 0;
    COLORREF result = *colour;
    for (;; ++i) {
        wchar_t c = text[i];
        if (c >= L'0' && c <= L'9') {
            if (param < 1000) param = param * 10 + static_cast<unsigned>(c - L'0');
            digits = 1;
            continue;
        }
        if (c != L';' && c != L'm') return 0;
        // An empty parameter means 0, as in "ESC[m".
        unsigned p = digits ? param : 0;
        if (p == 0 || p == 39)
            result = plain;
        else if (p >= 30 && p <= 37)
            result = kSgrColours[p - 30];
        param = 0;
        digits = 0;
        if (c == L'm') break;
    }
    *colour = result;
    return i + 1;
}

void DrawTipText(HWND tip, HDC dc) {
    RECT client;
    GetClientRect(tip, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_INFOBK));
    int len = GetWindowTextLengthW(tip);
    wchar_t* text = static_cast<wchar_t*>(calloc(static_cast<size_t>(len) + 1, sizeof(wchar_t)));
    if (!text) return;
    GetWindowTextW(tip, text, len + 1);
    HGDIOBJ old = SelectObject(dc, KalGetStockFont(0));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, static_cast<COLORREF>(GetWindowLongPtrW(tip, KAL_TIP_SLOT_COLOUR)));
    InflateRect(&client, -kMargin, -kMargin / 2);
    DrawTextW(dc, text, len, &client, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(dc, old);
    free(text);
}

LRESULT CALLBACK CenterTipProc(HWND tip, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(tip, &ps);
        if (dc) DrawTipText(tip, dc);
        EndPaint(tip, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_TIMER:
        if (wParam == kCloseTimer) {
            DestroyWindow(tip);
            return 0;
        }
        break;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_DESTROY: {
        KillTimer(tip, kCloseTimer);
        HWND owner = reinterpret_cast<HWND>(GetWindowLongPtrW(tip, kSlotOwner));
        if (owner && IsWindow(owner) && GetPropW(owner, kOwnerTipProp) == tip)
            RemovePropW(owner, kOwnerTipProp);
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(tip, message, wParam, lParam);
}

int RegisterCenterTipClass(HINSTANCE instance) {
    WNDCLASSEXW wc = {};
    if (GetClassInfoExW(instance, KAL_TIP_CLASS, &wc)) return 1;
    wc.cbSize = sizeof(wc);
    wc.style = CS_SAVEBITS;
    wc.lpfnWndProc = CenterTipProc;
    wc.cbWndExtra = static_cast<int>(sizeof(LONG_PTR)) * kSlotCount;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_INFOBK + 1));
    wc.lpszClassName = KAL_TIP_CLASS;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

int KalTipTextAddW(HWND control, const wchar_t* text) {
    if (!IsWindow(control)) return 0;
    if (!text) text = L"";
    TipData* data = TipOf(control);
    if (data) {
        // A second call replaces the text and drops any callback.
        CopyBounded(data->fixed, _countof(data->fixed), text);
        data->callBack = NULL;
        TOOLINFOW info;
        FillToolInfo(&info, control, data->fixed);
        SendMessageW(data->tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
        return 1;
    }
    data = static_cast<TipData*>(calloc(1, sizeof(TipData)));
    if (!data) return 0;
    CopyBounded(data->fixed, _countof(data->fixed), text);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(control, GWLP_HINSTANCE));
    data->tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, NULL,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, control, NULL,
                                instance, NULL);
    if (!data->tip) {
        free(data);
        return 0;
    }
    // The subclass goes on before the tool is added: adding it asks the
    // control which notification format it wants.
    if (!SetPropW(control, kTipProp, data)) {
        DestroyWindow(data->tip);
        free(data);
        return 0;
    }
    if (!SetWindowSubclass(control, TipControlProc, kTipSubclassId, reinterpret_cast<DWORD_PTR>(data))) {
        RemovePropW(control, kTipProp);
        DestroyWindow(data->tip);
        free(data);
        return 0;
    }
    TOOLINFOW info;
    FillToolInfo(&info, control, data->fixed);
    if (!SendMessageW(data->tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info))) {
        RemoveWindowSubclass(control, TipControlProc, kTipSubclassId);
        RemovePropW(control, kTipProp);
        DestroyWindow(data->tip);
        free(data);
        return 0;
    }
    // Several lines, and long enough on screen to read them.
    SendMessageW(data->tip, TTM_SETMAXTIPWIDTH, 0, 600);
    SendMessageW(data->tip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(30000, 0));
    return 1;
}

int KalTipTextSetCallBackW(HWND control, HWND owner, UINT_PTR value, KalTipTextCallBack callBack) {
    TipData* data = TipOf(control);
    if (!data) {
        if (!KalTipTextAddW(control, L"")) return 0;
        data = TipOf(control);
        if (!data) return 0;
    }
    data->owner = owner;
    data->value = value;
    data->callBack = callBack;
    TOOLINFOW info;
    FillToolInfo(&info, control, callBack ? LPSTR_TEXTCALLBACKW : data->fixed);
    SendMessageW(data->tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    return 1;
}

int KalTipTextGetW(HWND control, wchar_t* buf, size_t size) {
    if (!buf || size == 0) return 0;
    buf[0] = 0;
    TipData* data = TipOf(control);
    if (!data) return 0;
    CopyBounded(buf, size, CurrentText(data));
    return static_cast<int>(wcslen(buf));
}

int KalTipTextShowCenterW(HWND window, const wchar_t* text, UINT ms, UINT flags) {
    (void)flags;
    if (!IsWindow(window) || !text) return 0;
    HINSTANCE instance = GetModuleHandleW(NULL);
    if (!RegisterCenterTipClass(instance)) return 0;

    COLORREF plain = GetSysColor(COLOR_INFOTEXT);
    COLORREF colour = plain;
    const wchar_t* shown = text + ParseSgr(text, &colour, plain);

    // Only one tip per window: a new message replaces the one still up.
    HWND previous = static_cast<HWND>(GetPropW(window, kOwnerTipProp));
    if (previous && IsWindow(previous)) DestroyWindow(previous);
    RemovePropW(window, kOwnerTipProp);

    // Measure the text in the font it is drawn in, wrapped at most at
    // three quarters of the monitor.
    RECT monitor = {0, 0, 1024, 768};
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &mi)) monitor = mi.rcWork;
    RECT textRect = {0, 0, (monitor.right - monitor.left) * 3 / 4, 0};
    HDC dc = GetDC(NULL);
    HGDIOBJ old = SelectObject(dc, KalGetStockFont(0));
    DrawTextW(dc, shown, -1, &textRect,
              DT_CALCRECT | DT_LEFT | DT_NOPREFIX | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(NULL, dc);

    RECT frame = {0, 0, textRect.right - textRect.left + 2 * kMargin,
                  textRect.bottom - textRect.top + kMargin};
    const DWORD style = WS_POPUP | WS_BORDER;
    const DWORD exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    RECT owner;
    GetWindowRect(window, &owner);
    int x = owner.left + ((owner.right - owner.left) - width) / 2;
    int y = owner.top + ((owner.bottom - owner.top) - height) / 2;

    HWND tip = CreateWindowExW(exStyle, KAL_TIP_CLASS, shown, style, x, y, width, height, window,
                               NULL, instance, NULL);
    if (!tip) return 0;
    SetWindowLongPtrW(tip, KAL_TIP_SLOT_COLOUR, static_cast<LONG_PTR>(colour));
    SetWindowLongPtrW(tip, kSlotOwner, reinterpret_cast<LONG_PTR>(window));
    SetPropW(window, kOwnerTipProp, tip);
    SetTimer(tip, kCloseTimer, ms ? ms : USER_TIMER_MINIMUM, NULL);
    SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return 1;
}
