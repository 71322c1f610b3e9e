// Dialog item helpers: texts, check boxes, combo box rows, radio groups owned
// by a group box, and the library's fonts.
#include "KalBase32.h"

#include <commctrl.h>
#include <stdlib.h>

namespace {

// A group box made a radio group keeps the buttons it found in a record
// named by a window property (the 64-bit MinGW import library lacks
// GetWindowSubclass); a subclass frees the record with the window.
const UINT_PTR kRadioSubclassId = 0x4B52;  // "KR"
const wchar_t kRadioProp[] = L"KalRadioGroup";
const int kMaxRadios = 32;

struct RadioGroup {
    int count;
    HWND buttons[kMaxRadios];
};

LRESULT CALLBACK RadioGroupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                UINT_PTR id, DWORD_PTR data) {
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, RadioGroupProc, id);
        RemovePropW(window, kRadioProp);
        free(reinterpret_cast<RadioGroup*>(data));
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

RadioGroup* FindRadioGroup(HWND control) {
    if (!control) return NULL;
    return static_cast<RadioGroup*>(GetPropW(control, kRadioProp));
}

int IsRadioButton(HWND control) {
    wchar_t className[16];
    if (!GetClassNameW(control, className, _countof(className)) ||
        CompareStringOrdinal(className, -1, L"Button", -1, TRUE) != CSTR_EQUAL)
        return 0;
    LONG_PTR type = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON;
}

int RectInside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

HFONT g_plainFont;
HFONT g_boldFont;

}  // namespace

int KalSetDlgItemStrW(HWND dialog, int id, const wchar_t* text) {
    return SetDlgItemTextW(dialog, id, text ? text : L"") ? 1 : 0;
}

int KalSetDlgItemChk(HWND dialog, int id, UINT checked) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return 0;
    SendMessageW(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    return 1;
}

UINT KalGetDlgItemChk(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return 0;
    return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1u : 0u;
}

int KalSetDlgItemUInt(HWND dialog, int id, UINT value) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return 0;
    RadioGroup* group = FindRadioGroup(control);
    if (!group) return SetDlgItemInt(dialog, id, value, FALSE) ? 1 : 0;
    // A position without a button leaves the whole group unchecked.
    for (int i = 0; i < group->count; ++i)
        SendMessageW(group->buttons[i], BM_SETCHECK,
                     static_cast<UINT>(i) == value ? BST_CHECKED : BST_UNCHECKED, 0);
    return value < static_cast<UINT>(group->count) ? 1 : 0;
}

UINT KalGetDlgItemUInt(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return 0;
    RadioGroup* group = FindRadioGroup(control);
    if (!group) {
        BOOL ok = FALSE;
        UINT value = GetDlgItemInt(dialog, id, &ok, FALSE);
        return ok ? value : 0;
    }
    for (int i = 0; i < group->count; ++i) {
        if (SendMessageW(group->buttons[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
            return static_cast<UINT>(i);
    }
    return 0;
}

int KalSetDlgItemCboIx(HWND dialog, int id, UINT index) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return 0;
    // An index that is not a row leaves the combo box without a selection.
    // Windows clears the selection itself then, Wine keeps the old one, so
    // the library clears it explicitly.
    LRESULT count = SendMessageW(control, CB_GETCOUNT, 0, 0);
    if (count == CB_ERR || count < 0 || index >= static_cast<UINT>(count)) {
        SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        return 0;
    }
    return SendMessageW(control, CB_SETCURSEL, index, 0) != CB_ERR ? 1 : 0;
}

UINT KalGetDlgItemCboIx(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return 0;
    LRESULT row = SendMessageW(control, CB_GETCURSEL, 0, 0);
    return row == CB_ERR || row < 0 ? 0u : static_cast<UINT>(row);
}

int KalSbcRadioBtns(HWND groupBox) {
    if (!IsWindow(groupBox)) return 0;
    RECT box;
    GetWindowRect(groupBox, &box);
    RadioGroup* group = FindRadioGroup(groupBox);
    if (!group) {
        group = static_cast<RadioGroup*>(calloc(1, sizeof(RadioGroup)));
        if (!group) return 0;
        if (!SetPropW(groupBox, kRadioProp, group)) {
            free(group);
            return 0;
        }
        if (!SetWindowSubclass(groupBox, RadioGroupProc, kRadioSubclassId,
                               reinterpret_cast<DWORD_PTR>(group))) {
            RemovePropW(groupBox, kRadioProp);
            free(group);
            return 0;
        }
    }
    // Collected afresh, so a second call sees the dialog as it is now.
    group->count = 0;
    for (HWND w = GetWindow(groupBox, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (GetWindowLongPtrW(w, GWL_STYLE) & WS_GROUP) break;
        if (!IsRadioButton(w)) continue;
        RECT r;
        GetWindowRect(w, &r);
        if (!RectInside(r, box)) continue;
        if (group->count < kMaxRadios) group->buttons[group->count++] = w;
    }
    return group->count;
}

HFONT KalGetStockFont(int which) {
    if (!g_plainFont) {
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = sizeof(metrics);
        if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
            // Older systems know the structure without its last field.
            metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
            if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
                GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(metrics.lfMessageFont),
                           &metrics.lfMessageFont);
        }
        g_plainFont = CreateFontIndirectW(&metrics.lfMessageFont);
        LOGFONTW bold = metrics.lfMessageFont;
        bold.lfWeight = FW_BOLD;
        g_boldFont = CreateFontIndirectW(&bold);
    }
    HFONT font = which == 11 ? g_boldFont : g_plainFont;
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}
