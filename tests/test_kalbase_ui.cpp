// The support library's window parts on real windows: radio groups and item
// helpers on the settings dialog built from its template, the message-map
// dispatcher and subclassing, tooltips and the centred tips.
#include <gtest/gtest.h>

#include "KalBase32.h"

#include <commctrl.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "resource.h"
#include "testutil.h"

using namespace testutil;

namespace {

INT_PTR CALLBACK PlainDlgProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// A top-level window to hold the child dialogs and controls of one test.
class Host {
public:
    Host() {
        window_ = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 100, 80, 700, 500,
                                  NULL, NULL, GetModuleHandleW(NULL), NULL);
    }
    ~Host() {
        if (IsWindow(window_)) DestroyWindow(window_);
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_;
};

HWND SettingsDialog(HWND host) {
    return CreateDialogParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_SETTINGS), host,
                              PlainDlgProc, 0);
}

bool Checked(HWND dialog, int id) {
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace

// --- dialog items ------------------------------------------------------------

TEST(KalDialogItems, RadioGroupsOfTheSettingsTemplate) {
    Host host;
    HWND dlg = SettingsDialog(host.get());
    ASSERT_NE(nullptr, dlg);
    // The launcher moves group box 1001 behind the list box before it makes
    // the groups; the groups must come out the same.
    SetWindowPos(GetDlgItem(dlg, IDC_GRP_INSTALLED), GetDlgItem(dlg, IDC_LST_EDITORS), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(2, KalSbcRadioBtns(GetDlgItem(dlg, IDC_GRP_VS)));
    EXPECT_EQ(3, KalSbcRadioBtns(GetDlgItem(dlg, IDC_GRP_NOVS)));

    EXPECT_EQ(0u, KalGetDlgItemUInt(dlg, IDC_GRP_VS));  // nothing selected yet
    EXPECT_EQ(1, KalSetDlgItemUInt(dlg, IDC_GRP_VS, 1));
    EXPECT_FALSE(Checked(dlg, IDC_RAD_VSMATCH));
    EXPECT_TRUE(Checked(dlg, IDC_RAD_VSFIX));
    EXPECT_EQ(1u, KalGetDlgItemUInt(dlg, IDC_GRP_VS));

    KalSetDlgItemUInt(dlg, IDC_GRP_NOVS, 0);
    EXPECT_TRUE(Checked(dlg, IDC_RAD_NOVSASK));
    EXPECT_FALSE(Checked(dlg, IDC_RAD_NOVSFIX));
    EXPECT_EQ(0u, KalGetDlgItemUInt(dlg, IDC_GRP_NOVS));
    KalSetDlgItemUInt(dlg, IDC_GRP_NOVS, 1);
    EXPECT_TRUE(Checked(dlg, IDC_RAD_NOVSFIX));
    EXPECT_EQ(1u, KalGetDlgItemUInt(dlg, IDC_GRP_NOVS));
    // The third button, the solution file's version line, is position 2.
    EXPECT_EQ(1, KalSetDlgItemUInt(dlg, IDC_GRP_NOVS, 2));
    EXPECT_FALSE(Checked(dlg, IDC_RAD_NOVSFIX));
    EXPECT_TRUE(Checked(dlg, IDC_RAD_NOVSLINE));
    EXPECT_EQ(2u, KalGetDlgItemUInt(dlg, IDC_GRP_NOVS));
    EXPECT_EQ(0, KalSetDlgItemUInt(dlg, IDC_GRP_NOVS, 3));
    EXPECT_FALSE(Checked(dlg, IDC_RAD_NOVSLINE));
    SendDlgItemMessageW(dlg, IDC_RAD_NOVSLINE, BM_CLICK, 0, 0);
    EXPECT_EQ(2u, KalGetDlgItemUInt(dlg, IDC_GRP_NOVS));
    KalSetDlgItemUInt(dlg, IDC_GRP_NOVS, 1);
    // The groups are independent of each other.
    EXPECT_TRUE(Checked(dlg, IDC_RAD_VSFIX));
    EXPECT_EQ(1u, KalGetDlgItemUInt(dlg, IDC_GRP_VS));

    // A position without a button clears the group.
    EXPECT_EQ(0, KalSetDlgItemUInt(dlg, IDC_GRP_VS, 2));
    EXPECT_FALSE(Checked(dlg, IDC_RAD_VSMATCH));
    EXPECT_FALSE(Checked(dlg, IDC_RAD_VSFIX));
    EXPECT_EQ(0u, KalGetDlgItemUInt(dlg, IDC_GRP_VS));
    KalSetDlgItemUInt(dlg, IDC_GRP_VS, 0xFFFFFFFFu);
    EXPECT_EQ(0u, KalGetDlgItemUInt(dlg, IDC_GRP_VS));

    // A click on a radio button is what Get reports afterwards.
    SendDlgItemMessageW(dlg, IDC_RAD_VSFIX, BM_CLICK, 0, 0);
    EXPECT_EQ(1u, KalGetDlgItemUInt(dlg, IDC_GRP_VS));
    DestroyWindow(dlg);
}

TEST(KalDialogItems, OnlyRadioButtonsInsideTheGroupBoxCount) {
    Host host;
    HWND dlg = SettingsDialog(host.get());
    ASSERT_NE(nullptr, dlg);
    RECT box;
    GetWindowRect(GetDlgItem(dlg, IDC_GRP_VS), &box);
    MapWindowPoints(NULL, dlg, reinterpret_cast<POINT*>(&box), 2);
    HWND first = GetDlgItem(dlg, IDC_RAD_VSMATCH);
    // One radio button outside the box and one inside, both right after the
    // first radio button in z-order.
    HWND outside = CreateWindowExW(0, L"BUTTON", L"out", WS_CHILD | BS_AUTORADIOBUTTON,
                                   box.right + 5, box.top, 40, 10, dlg, NULL, NULL, NULL);
    HWND inside = CreateWindowExW(0, L"BUTTON", L"in", WS_CHILD | BS_AUTORADIOBUTTON, box.left + 4,
                                  box.bottom - 12, 40, 8, dlg, NULL, NULL, NULL);
    ASSERT_TRUE(outside && inside);
    SetWindowPos(outside, first, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(inside, outside, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(3, KalSbcRadioBtns(GetDlgItem(dlg, IDC_GRP_VS)));
    KalSetDlgItemUInt(dlg, IDC_GRP_VS, 1);
    EXPECT_EQ(BST_CHECKED, SendMessageW(inside, BM_GETCHECK, 0, 0));
    EXPECT_FALSE(Checked(dlg, IDC_RAD_VSFIX));
    KalSetDlgItemUInt(dlg, IDC_GRP_VS, 2);
    EXPECT_TRUE(Checked(dlg, IDC_RAD_VSFIX));
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(outside, BM_GETCHECK, 0, 0));
    EXPECT_EQ(2u, KalGetDlgItemUInt(dlg, IDC_GRP_VS));
    DestroyWindow(dlg);
}

TEST(KalDialogItems, CheckBoxComboAndNumbers) {
    Host host;
    HWND dlg = SettingsDialog(host.get());
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ(1, KalSetDlgItemChk(dlg, IDC_CHK_DELVS, 1));
    EXPECT_TRUE(Checked(dlg, IDC_CHK_DELVS));
    EXPECT_EQ(1u, KalGetDlgItemChk(dlg, IDC_CHK_DELVS));
    KalSetDlgItemChk(dlg, IDC_CHK_DELVS, 0);
    EXPECT_FALSE(Checked(dlg, IDC_CHK_DELVS));
    EXPECT_EQ(0u, KalGetDlgItemChk(dlg, IDC_CHK_DELVS));
    KalSetDlgItemChk(dlg, IDC_CHK_DELVS, 7);
    EXPECT_EQ(1u, KalGetDlgItemChk(dlg, IDC_CHK_DELVS));

    HWND combo = GetDlgItem(dlg, IDC_CBO_VSFIX);
    for (const wchar_t* row : {L"A 2017", L"B 2019", L"C 2022"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
    EXPECT_EQ(0u, KalGetDlgItemCboIx(dlg, IDC_CBO_VSFIX));  // none selected
    EXPECT_EQ(1, KalSetDlgItemCboIx(dlg, IDC_CBO_VSFIX, 2));
    EXPECT_EQ(2, SendMessageW(combo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(2u, KalGetDlgItemCboIx(dlg, IDC_CBO_VSFIX));
    KalSetDlgItemCboIx(dlg, IDC_CBO_VSFIX, 9);
    EXPECT_EQ(CB_ERR, SendMessageW(combo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(0u, KalGetDlgItemCboIx(dlg, IDC_CBO_VSFIX));

    // Controls that are no radio group take numbers as their text.
    EXPECT_EQ(1, KalSetDlgItemUInt(dlg, IDC_CBO_NOVSFIX, 4000000000u));
    EXPECT_EQ(L"4000000000", ControlText(dlg, IDC_CBO_NOVSFIX));
    EXPECT_EQ(4000000000u, KalGetDlgItemUInt(dlg, IDC_CBO_NOVSFIX));
    EXPECT_EQ(1, KalSetDlgItemStrW(dlg, IDC_CBO_NOVSFIX, L"x"));
    EXPECT_EQ(0u, KalGetDlgItemUInt(dlg, IDC_CBO_NOVSFIX));
    EXPECT_EQ(1, KalSetDlgItemStrW(dlg, IDC_GRP_VS, L"Exist .vs folder"));
    EXPECT_EQ(L"Exist .vs folder", ControlText(dlg, IDC_GRP_VS));

    // Ids that are not in the dialog.
    EXPECT_EQ(0, KalSetDlgItemChk(dlg, 4242, 1));
    EXPECT_EQ(0u, KalGetDlgItemUInt(dlg, 4242));
    EXPECT_EQ(0u, KalGetDlgItemCboIx(dlg, 4242));
    DestroyWindow(dlg);
}

TEST(KalDialogItems, StockFontsAreTheMessageFont) {
    HFONT bold = KalGetStockFont(11);
    HFONT plain = KalGetStockFont(0);
    ASSERT_NE(nullptr, bold);
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ(bold, KalGetStockFont(11));
    EXPECT_EQ(plain, KalGetStockFont(3));
    LOGFONTW b = {}, p = {};
    ASSERT_TRUE(GetObjectW(bold, sizeof(b), &b));
    ASSERT_TRUE(GetObjectW(plain, sizeof(p), &p));
    EXPECT_GE(b.lfWeight, FW_BOLD);
    EXPECT_LT(p.lfWeight, FW_BOLD);
    EXPECT_STREQ(p.lfFaceName, b.lfFaceName);
    EXPECT_EQ(p.lfHeight, b.lfHeight);
}

// --- the dispatcher ----------------------------------------------------------

namespace {

struct Call {
    int handler;
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Call> g_calls;

int HandlerA(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    g_calls.push_back({1, w, m, wp, lp});
    return 11;
}
int HandlerB(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    g_calls.push_back({2, w, m, wp, lp});
    return 22;
}
int HandlerC(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    g_calls.push_back({3, w, m, wp, lp});
    return 33;
}

const UINT kMsgA = WM_APP + 100;
const UINT kMsgB = WM_APP + 101;

const MessageMapEntry kTable[] = {
    {MMP_KIND_MESSAGE, kMsgA, 0, HandlerA, 0, 0},
    {MMP_KIND_COMMAND, WM_COMMAND, 1007, HandlerB, 0, 0},
    {MMP_KIND_MESSAGE, kMsgA, 0, HandlerC, 0, 0},  // never reached: the first row wins
    {MMP_KIND_MESSAGE, kMsgB, 0, HandlerC, 0, 0},
    {0, 0, 0, NULL, 0, 0},
};

KalMmpWork g_frameWork;
LRESULT CALLBACK TestFrameProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return KalMmpWndMsgHandle(&g_frameWork, w, m, wp, lp, TestFrameProc, "Back");
}

const MessageMapEntry kSubTable[] = {
    {MMP_KIND_MESSAGE, kMsgA, 0, HandlerA, 0, 0},
    {0, 0, 0, NULL, 0, 0},
};
KalMmpWork g_subWork;
int g_delOnDestroy = -1;
LRESULT CALLBACK TestSubProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    LRESULT r = KalMmpWndMsgHandle(&g_subWork, w, m, wp, lp, TestSubProc, "ListBox");
    if (m == WM_DESTROY) g_delOnDestroy = KalMmpDelSubclass(w, "ListBox");
    return r;
}

WNDPROC g_outerPrevious;
LRESULT CALLBACK OuterProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return CallWindowProcW(g_outerPrevious, w, m, wp, lp);
}

}  // namespace

TEST(KalMessageMap, RowsMatchMessagesAndCommandIds) {
    KalMmpWork work = {};
    EXPECT_EQ(4, KalMmpInitTblW(kTable, &work));
    g_calls.clear();
    HWND some = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    EXPECT_EQ(11, KalMmpDlgMsgHandle(&work, some, kMsgA, 5, 6));
    ASSERT_EQ(1u, g_calls.size());
    EXPECT_EQ(1, g_calls[0].handler);
    EXPECT_EQ(some, g_calls[0].window);
    EXPECT_EQ(kMsgA, g_calls[0].message);
    EXPECT_EQ(5u, g_calls[0].wParam);
    EXPECT_EQ(6, g_calls[0].lParam);
    // Kind 2 ignores the notification code in the high word.
    EXPECT_EQ(22, KalMmpDlgMsgHandle(&work, some, WM_COMMAND, MAKEWPARAM(1007, CBN_SELCHANGE), 9));
    EXPECT_EQ(22, KalMmpDlgMsgHandle(&work, some, WM_COMMAND, MAKEWPARAM(1007, 0), 0));
    EXPECT_EQ(33, KalMmpDlgMsgHandle(&work, some, kMsgB, 0, 0));
    g_calls.clear();
    EXPECT_EQ(FALSE, KalMmpDlgMsgHandle(&work, some, WM_COMMAND, MAKEWPARAM(1008, 0), 0));
    EXPECT_EQ(FALSE, KalMmpDlgMsgHandle(&work, some, 1007, 0, 0));  // message 1007 is no command
    EXPECT_TRUE(g_calls.empty());

    KalMmpWork empty = {};
    EXPECT_EQ(0, KalMmpInitTblW(kTable + 4, &empty));
    EXPECT_EQ(FALSE, KalMmpDlgMsgHandle(&empty, some, kMsgA, 0, 0));
    EXPECT_TRUE(g_calls.empty());
}

TEST(KalMessageMap, WindowProcedureFallsBackToDefaultProcessing) {
    KalMmpInitTblW(kTable, &g_frameWork);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = TestFrameProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"KalTestBack";
    RegisterClassW(&wc);
    HWND frame = CreateWindowExW(WS_EX_TOOLWINDOW, L"KalTestBack", L"start", WS_OVERLAPPED, 0, 0, 100,
                                 100, NULL, NULL, GetModuleHandleW(NULL), NULL);
    ASSERT_NE(nullptr, frame);
    g_calls.clear();
    EXPECT_EQ(11, SendMessageW(frame, kMsgA, 1, 2));
    EXPECT_EQ(22, SendMessageW(frame, WM_COMMAND, MAKEWPARAM(1007, 1), 0));
    ASSERT_EQ(2u, g_calls.size());
    EXPECT_EQ(frame, g_calls[0].window);
    // No row: DefWindowProcW keeps the caption.
    EXPECT_TRUE(SetWindowTextW(frame, L"Travuna ( Ver 1.0.0.2 )"));
    EXPECT_EQ(L"Travuna ( Ver 1.0.0.2 )", WindowText(frame));
    // "Back" names no subclass.
    EXPECT_EQ(0, KalMmpDelSubclass(frame, "Back"));
    DestroyWindow(frame);
    UnregisterClassW(L"KalTestBack", GetModuleHandleW(NULL));
}

TEST(KalMessageMap, SubclassPassesOnAndRestoresThePreviousProcedure) {
    Host host;
    KalMmpInitTblW(kSubTable, &g_subWork);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 100, 20, host.get(), NULL, NULL, NULL);
    ASSERT_NE(nullptr, edit);
    LONG_PTR original = GetWindowLongPtrW(edit, GWLP_WNDPROC);
    SendMessageW(edit, EM_LIMITTEXT, 77, 0);

    ASSERT_EQ(1, KalMmpSetSubclass(edit, "ListBox", TestSubProc));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(TestSubProc), GetWindowLongPtrW(edit, GWLP_WNDPROC));
    EXPECT_EQ(0, KalMmpSetSubclass(edit, "ListBox", TestSubProc));  // already there
    g_calls.clear();
    EXPECT_EQ(11, SendMessageW(edit, kMsgA, 0, 0));
    EXPECT_EQ(1u, g_calls.size());
    // Everything else reaches the edit control itself, not DefWindowProcW.
    EXPECT_EQ(77, SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
    SetWindowTextW(edit, L"text");
    EXPECT_EQ(L"text", WindowText(edit));

    EXPECT_EQ(1, KalMmpDelSubclass(edit, "ListBox"));
    EXPECT_EQ(original, GetWindowLongPtrW(edit, GWLP_WNDPROC));
    EXPECT_EQ(0, KalMmpDelSubclass(edit, "ListBox"));
    g_calls.clear();
    SendMessageW(edit, kMsgA, 0, 0);
    EXPECT_TRUE(g_calls.empty());

    // Removed by the subclass procedure itself at WM_DESTROY, as the
    // launcher's list box does.
    ASSERT_EQ(1, KalMmpSetSubclass(edit, "ListBox", TestSubProc));
    g_delOnDestroy = -1;
    DestroyWindow(edit);
    EXPECT_EQ(1, g_delOnDestroy);
}

TEST(KalMessageMap, SubclassUnderAnotherOneStaysInTheChain) {
    Host host;
    KalMmpInitTblW(kSubTable, &g_subWork);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 100, 20, host.get(), NULL, NULL, NULL);
    ASSERT_NE(nullptr, edit);
    SendMessageW(edit, EM_LIMITTEXT, 55, 0);
    ASSERT_EQ(1, KalMmpSetSubclass(edit, "ListBox", TestSubProc));
    g_outerPrevious = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OuterProc)));
    // Taking the previous procedure away now would break the chain above.
    EXPECT_EQ(0, KalMmpDelSubclass(edit, "ListBox"));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(OuterProc), GetWindowLongPtrW(edit, GWLP_WNDPROC));
    EXPECT_EQ(55, SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
    g_calls.clear();
    EXPECT_EQ(11, SendMessageW(edit, kMsgA, 0, 0));
    // Once on top again it can go.
    SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_outerPrevious));
    EXPECT_EQ(1, KalMmpDelSubclass(edit, "ListBox"));
    EXPECT_EQ(55, SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
    DestroyWindow(edit);
}

// --- tooltips ----------------------------------------------------------------

namespace {

struct TipCall {
    UINT_PTR value;
    int capacity;
    HWND owner;
};
std::vector<TipCall> g_tipCalls;
int g_tipRow;

wchar_t* TipText(UINT_PTR value, wchar_t* buf, int capacity, HWND owner) {
    g_tipCalls.push_back({value, capacity, owner});
    KalSnPrintFW(buf, static_cast<size_t>(capacity), L"Installed Visual Studio\n\nrow %d", g_tipRow);
    return buf;
}

struct TipSearch {
    HWND control;
    HWND found;
};

BOOL CALLBACK FindToolTip(HWND w, LPARAM lp) {
    TipSearch* s = reinterpret_cast<TipSearch*>(lp);
    if (ClassName(w) != TOOLTIPS_CLASSW) return TRUE;
    TOOLINFOW ti = {};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = s->control;
    ti.uId = reinterpret_cast<UINT_PTR>(s->control);
    if (SendMessageW(w, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti))) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND ToolTipOf(HWND control) {
    TipSearch search = {control, NULL};
    EnumThreadWindows(GetCurrentThreadId(), FindToolTip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

TEST(KalTooltip, FixedAndCallbackText) {
    KalDgcSetup();
    Host host;
    HWND dlg = SettingsDialog(host.get());
    ASSERT_NE(nullptr, dlg);
    HWND list = GetDlgItem(dlg, IDC_LST_EDITORS);
    wchar_t buf[1024];
    EXPECT_EQ(0, KalTipTextGetW(list, buf));  // no tooltip yet
    EXPECT_STREQ(L"", buf);

    ASSERT_EQ(1, KalTipTextAddW(list, L"fixed text"));
    HWND tip = ToolTipOf(list);
    ASSERT_NE(nullptr, tip);
    EXPECT_TRUE(GetWindowLongPtrW(tip, GWL_STYLE) & TTS_NOPREFIX);
    EXPECT_TRUE(GetWindowLongPtrW(tip, GWL_STYLE) & TTS_ALWAYSTIP);
    EXPECT_EQ(10, KalTipTextGetW(list, buf));
    EXPECT_STREQ(L"fixed text", buf);

    g_tipCalls.clear();
    g_tipRow = 2;
    ASSERT_EQ(1, KalTipTextSetCallBackW(list, dlg, 0, TipText));
    EXPECT_GT(KalTipTextGetW(list, buf), 0);
    EXPECT_STREQ(L"Installed Visual Studio\n\nrow 2", buf);
    ASSERT_FALSE(g_tipCalls.empty());
    EXPECT_EQ(0u, g_tipCalls.back().value);
    EXPECT_GE(g_tipCalls.back().capacity, 1024);
    EXPECT_EQ(dlg, g_tipCalls.back().owner);
    // The text follows what the callback says now.
    g_tipRow = 0;
    KalTipTextGetW(list, buf);
    EXPECT_STREQ(L"Installed Visual Studio\n\nrow 0", buf);
    // Bounded by the caller's buffer.
    wchar_t small[10];
    EXPECT_EQ(9, KalTipTextGetW(list, small));
    EXPECT_STREQ(L"Installed", small);

    // The tooltip itself asks for the text with TTN_GETDISPINFOW, sent to the
    // tool's window: the control answers it with the callback's text.
    TOOLINFOW ti = {};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = list;
    ti.uId = reinterpret_cast<UINT_PTR>(list);
    ASSERT_TRUE(SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)));
    EXPECT_TRUE(ti.uFlags & TTF_IDISHWND);
    // TTM_GETTEXTW makes the tooltip ask the control for the text.
    g_tipCalls.clear();
    g_tipRow = 3;
    wchar_t got[1024] = L"";
    ti.lpszText = got;
    SendMessageW(tip, TTM_GETTEXTW, _countof(got), reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(L"Installed Visual Studio\n\nrow 3", got);
    EXPECT_EQ(1u, g_tipCalls.size());
    // The same notification sent by hand.
    NMTTDISPINFOW info = {};
    info.hdr.hwndFrom = tip;
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(list);
    info.hdr.code = TTN_GETDISPINFOW;
    g_tipRow = 1;
    SendMessageW(list, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    ASSERT_NE(nullptr, info.lpszText);
    EXPECT_STREQ(L"Installed Visual Studio\n\nrow 1", info.lpszText);

    DestroyWindow(dlg);
    EXPECT_FALSE(IsWindow(tip));
}

// --- centred tips ------------------------------------------------------------

namespace {

BOOL CALLBACK CollectCenterTip(HWND w, LPARAM lp) {
    if (ClassName(w) == KAL_TIP_CLASS) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
    return TRUE;
}

std::vector<HWND> CenterTips() {
    std::vector<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), CollectCenterTip, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

TEST(KalCenterTip, ShowsTheTextCentredInColourAndCloses) {
    Host host;
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE, 40, 30, 400, 200,
                                host.get(), NULL, NULL, NULL);
    ASSERT_NE(nullptr, list);
    ASSERT_TRUE(CenterTips().empty());
    const wchar_t* text = L"\x1b[31m\n There is no \"devenv.exe\" in this folder. \n";
    ASSERT_EQ(1, KalTipTextShowCenterW(list, text, 300, 0));
    std::vector<HWND> tips = CenterTips();
    ASSERT_EQ(1u, tips.size());
    HWND tip = tips[0];
    EXPECT_TRUE(IsWindowVisible(tip));
    EXPECT_EQ(L"\n There is no \"devenv.exe\" in this folder. \n", WindowText(tip));
    COLORREF colour = static_cast<COLORREF>(GetWindowLongPtrW(tip, KAL_TIP_SLOT_COLOUR));
    EXPECT_GT(GetRValue(colour), 0);
    EXPECT_EQ(0, GetGValue(colour));
    EXPECT_EQ(0, GetBValue(colour));

    LONG_PTR style = GetWindowLongPtrW(tip, GWL_STYLE);
    LONG_PTR exStyle = GetWindowLongPtrW(tip, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_BORDER);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(exStyle & WS_EX_NOACTIVATE);
    EXPECT_NE(tip, GetActiveWindow());

    RECT owner, r;
    GetWindowRect(list, &owner);
    GetWindowRect(tip, &r);
    EXPECT_LE(abs((owner.left + owner.right) - (r.left + r.right)), 1);
    EXPECT_LE(abs((owner.top + owner.bottom) - (r.top + r.bottom)), 1);
    // Sized to the text: wider than a few characters, and two lines or more.
    HDC dc = GetDC(NULL);
    HGDIOBJ old = SelectObject(dc, KalGetStockFont(0));
    SIZE line;
    GetTextExtentPoint32W(dc, L" There is no \"devenv.exe\" in this folder. ", 42, &line);
    SelectObject(dc, old);
    ReleaseDC(NULL, dc);
    EXPECT_GE(r.right - r.left, line.cx);
    EXPECT_GE(r.bottom - r.top, 2 * line.cy);

    EXPECT_TRUE(PumpUntil([tip]() { return !IsWindow(tip); }, 10000));
    EXPECT_TRUE(CenterTips().empty());
    DestroyWindow(list);
}

TEST(KalCenterTip, ANewTipReplacesTheOldAndPlainTextStaysWhole) {
    Host host;
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE, 10, 10, 300, 200,
                                host.get(), NULL, NULL, NULL);
    ASSERT_EQ(1, KalTipTextShowCenterW(list, L"\x1b[31mfirst", 60000, 0));
    ASSERT_EQ(1, KalTipTextShowCenterW(list, L"\x1b[0msecond", 60000, 0));
    std::vector<HWND> tips = CenterTips();
    ASSERT_EQ(1u, tips.size());
    EXPECT_EQ(L"second", WindowText(tips[0]));
    EXPECT_EQ(GetSysColor(COLOR_INFOTEXT),
              static_cast<COLORREF>(GetWindowLongPtrW(tips[0], KAL_TIP_SLOT_COLOUR)));

    ASSERT_EQ(1, KalTipTextShowCenterW(list, L"no colour \x1b[31m here", 60000, 0));
    tips = CenterTips();
    ASSERT_EQ(1u, tips.size());
    EXPECT_EQ(L"no colour \x1b[31m here", WindowText(tips[0]));
    // An incomplete sequence is not taken for one.
    ASSERT_EQ(1, KalTipTextShowCenterW(list, L"\x1b[31", 60000, 0));
    tips = CenterTips();
    ASSERT_EQ(1u, tips.size());
    EXPECT_EQ(L"\x1b[31", WindowText(tips[0]));

    EXPECT_EQ(0, KalTipTextShowCenterW(NULL, L"x", 10, 0));
    EXPECT_EQ(0, KalTipTextShowCenterW(list, NULL, 10, 0));
    // Tips of a destroyed window go with it.
    DestroyWindow(host.get());
    EXPECT_TRUE(PumpUntil([]() { return CenterTips().empty(); }, 5000));
}

// --- windows -----------------------------------------------------------------

TEST(KalWindows, PrimaryMonitorAndWindowLongs) {
    RECT r = {};
    ASSERT_EQ(1, KalGetPrimaryMonitorInfo(0, &r));
    EXPECT_EQ(0, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), r.right);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), r.bottom);
    EXPECT_EQ(0, KalGetPrimaryMonitorInfo(0, NULL));

    Host host;
    EXPECT_EQ(GetWindowLongPtrW(host.get(), GWL_STYLE), KalGetWindowLongPtr(host.get(), GWL_STYLE));
    EXPECT_TRUE(KalGetWindowLongPtr(host.get(), GWL_STYLE) & WS_POPUP);
}

TEST(KalWindows, LookAndFeelPaintsInTheGivenColour) {
    ASSERT_EQ(1, KalDgcSetup());
    Host host;
    HWND dlg = SettingsDialog(host.get());
    ASSERT_NE(nullptr, dlg);
    ASSERT_EQ(1, KalDgcSubclassEx(dlg, RGB(0x12, 0x34, 0x56)));
    HDC dc = GetDC(dlg);
    HBRUSH brush = reinterpret_cast<HBRUSH>(
        SendMessageW(dlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_GRP_VS))));
    LOGBRUSH lb = {};
    ASSERT_TRUE(GetObjectW(brush, sizeof(lb), &lb));
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), lb.lbColor);
    ReleaseDC(dlg, dc);
    // A second call changes the colour.
    ASSERT_EQ(1, KalDgcSubclassEx(dlg, RGB(255, 255, 255)));
    brush = reinterpret_cast<HBRUSH>(SendMessageW(dlg, WM_CTLCOLORDLG, 0, reinterpret_cast<LPARAM>(dlg)));
    ASSERT_TRUE(GetObjectW(brush, sizeof(lb), &lb));
    EXPECT_EQ(RGB(255, 255, 255), lb.lbColor);
    DestroyWindow(dlg);
}
