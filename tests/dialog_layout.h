// Checks of a dialog as the dialog manager built it, in pixels of the
// running machine's fonts and DPI: controls inside the dialog and apart, and
// every text of a static or button fitting its control when drawn in that
// control's own font.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

namespace dialog_layout {

// Group boxes (BS_GROUPBOX) frame other controls; every other control owns
// its rectangle.
inline bool IsGroupBox(HWND control) {
    return _wcsicmp(testutil::ClassName(control).c_str(), L"Button") == 0 &&
           (GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

inline RECT RectInDialog(HWND dialog, HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

inline bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

inline std::vector<HWND> Controls(HWND dialog) {
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back(child);
    return controls;
}

// Every control lies inside the client area, no two controls that are not
// group boxes overlap, and group boxes either nest or stay apart.
inline void ExpectControlsApartAndInside(HWND dialog) {
    RECT client;
    GetClientRect(dialog, &client);
    const std::vector<HWND> controls = Controls(dialog);
    for (size_t i = 0; i < controls.size(); ++i) {
        const RECT a = RectInDialog(dialog, controls[i]);
        const int idA = GetDlgCtrlID(controls[i]);
        EXPECT_TRUE(Inside(a, client)) << "control " << idA;
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const RECT b = RectInDialog(dialog, controls[j]);
            const int idB = GetDlgCtrlID(controls[j]);
            const bool boxA = IsGroupBox(controls[i]);
            const bool boxB = IsGroupBox(controls[j]);
            RECT both;
            const bool meet = IntersectRect(&both, &a, &b) != 0;
            if (boxA && boxB) {
                EXPECT_TRUE(!meet || Inside(a, b) || Inside(b, a)) << idA << " and " << idB;
            } else if (boxA || boxB) {
                // A control is either inside a group box or clear of it.
                EXPECT_TRUE(!meet || Inside(boxA ? b : a, boxA ? a : b)) << idA << " and " << idB;
            } else {
                EXPECT_FALSE(meet) << idA << " and " << idB;
            }
        }
    }
}

// The text of every static and button control fits it, measured with
// GetTextExtentPoint32W (a wrapping static or a multi-line button:
// DrawTextW's calculation) in the control's font: push buttons keep a
// margin on each side, check boxes and radio buttons the room of their box,
// group boxes that of their frame; a control one line high holds the line's
// height. dpi scales those fixed parts, which Windows draws at the window's
// DPI.
inline void ExpectTextsFit(HWND dialog, int dpi) {
    for (HWND control : Controls(dialog)) {
        const std::wstring cls = testutil::ClassName(control);
        const bool isStatic = _wcsicmp(cls.c_str(), L"Static") == 0;
        const bool isButton = _wcsicmp(cls.c_str(), L"Button") == 0;
        const std::wstring text = testutil::WindowText(control);
        if ((!isStatic && !isButton) || text.empty()) continue;
        SCOPED_TRACE(testing::Message() << "control " << GetDlgCtrlID(control) << " \""
                                        << testutil::ToUtf8(text) << "\"");
        const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
        RECT client;
        GetClientRect(control, &client);
        HDC dc = GetDC(control);
        ASSERT_TRUE(dc != nullptr);
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        ASSERT_TRUE(font != nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICW metrics;
        GetTextMetricsW(dc, &metrics);
        SIZE extent = {0, 0};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        if (isStatic && !(style & (SS_ENDELLIPSIS | SS_PATHELLIPSIS | SS_WORDELLIPSIS))) {
            RECT needed = {0, 0, client.right, 0};
            DrawTextW(dc, text.c_str(), -1, &needed,
                      DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
            EXPECT_LE(needed.right, client.right);
            EXPECT_LE(needed.bottom, client.bottom);
        } else if (isStatic) {
            EXPECT_LE(extent.cx, client.right);
            EXPECT_LE(metrics.tmHeight, client.bottom);
        } else {
            const LONG_PTR type = style & BS_TYPEMASK;
            int room = client.right;
            if (type == BS_GROUPBOX) {
                room -= 2 * metrics.tmAveCharWidth;
            } else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                       type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE) {
                room -= MulDiv(16, dpi, 96);
            } else {
                room -= 2 * MulDiv(4, dpi, 96);
            }
            if (type != BS_GROUPBOX && (style & BS_MULTILINE)) {
                // A multi-line button wraps its text in the room beside its box.
                RECT needed = {0, 0, room, 0};
                DrawTextW(dc, text.c_str(), -1, &needed,
                          DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
                EXPECT_LE(needed.right, room);
                EXPECT_LE(needed.bottom, client.bottom);
            } else {
                if (type != BS_GROUPBOX) {
                    EXPECT_LE(metrics.tmHeight, client.bottom);
                }
                EXPECT_LE(extent.cx, room);
            }
        }
        SelectObject(dc, old);
        ReleaseDC(control, dc);
    }
}

}  // namespace dialog_layout
