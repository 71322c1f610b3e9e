// The launcher's two dialogs at 100 %, 150 % and 200 %, in English and in
// Japanese. Windows (and Wine) take the display's DPI once, when a program
// starts, so each case starts this test program again as a worker with
// Wine's DPI setting (HKCU\Control Panel\Desktop, LogPixels) changed first;
// the worker runs the launcher's real start-up in its own process, from the
// real templates, and checks that no control overlaps another and that
// every text fits its control in the control's own font. The worker also
// checks that it runs at that DPI at all: a program that declares no DPI
// awareness is shown 96 DPI by Windows and Wine alike.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "dialog_layout.h"
#include "launcher.h"
#include "resource.h"
#include "store_keys.h"
#include "testutil.h"

using namespace testutil;

namespace {

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const wchar_t kLogPixels[] = L"LogPixels";
const wchar_t kWorkerVariable[] = L"PIKRO_DPI_WORKER";
const DWORD kWaitMs = 20000;

// The start-up's state, cleared before and after each dialog.
void ClearLauncher() {
    memset(&g_state, 0, sizeof(g_state));
    memset(&g_catalogue, 0, sizeof(g_catalogue));
    memset(&g_settings, 0, sizeof(g_settings));
}

// Ends what the launcher's start-up made in this process.
void CloseLauncher() {
    if (g_state.hFrame && IsWindow(g_state.hFrame)) DestroyWindow(g_state.hFrame);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    UnregisterClassW(L"PikroBack", GetModuleHandleW(nullptr));
    ClearLauncher();
}

// The launcher's loop until the choice dialog shows itself.
int PumpUntilChoiceShown() {
    return PumpUntil(
        [] {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (g_state.hCurDlg && IsDialogMessageW(g_state.hCurDlg, &msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            return g_state.hChoiceDlg && IsWindowVisible(g_state.hChoiceDlg);
        },
        kWaitMs);
}

// The frame fits its dialog exactly, at whatever DPI the caption and borders
// have, and the dialog's controls are apart and hold their texts. Wine's
// null display is 1024 x 768 pixels at every DPI, smaller than any display
// Windows runs at 200 % (1920 x 1080 and more), and a window grows no larger
// than its screen: where the dialog is larger, the frame is as large as the
// screen lets it be.
void ExpectFrameAndDialogLaidOut(HWND dialog, int dpi) {
    RECT client, outer, frame;
    GetClientRect(g_state.hFrame, &client);
    GetWindowRect(dialog, &outer);
    GetWindowRect(g_state.hFrame, &frame);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    const int screenWidth = GetSystemMetrics(SM_CXMAXTRACK);
    const int screenHeight = GetSystemMetrics(SM_CYMAXTRACK);
    if (width + (frame.right - frame.left) - client.right <= screenWidth)
        EXPECT_EQ(width, client.right);
    else
        EXPECT_EQ(screenWidth, frame.right - frame.left);
    if (height + (frame.bottom - frame.top) - client.bottom <= screenHeight)
        EXPECT_EQ(height, client.bottom);
    else
        EXPECT_EQ(screenHeight, frame.bottom - frame.top);
    dialog_layout::ExpectControlsApartAndInside(dialog);
    dialog_layout::ExpectTextsFit(dialog, dpi);
}

// Editors whose rows the dialogs show; the longest description Visual Studio
// ships with, so that the rows are as long as they get.
void StoreEditors(const TempDir& dir) {
    std::vector<StoredEditor> editors;
    const wchar_t* descriptions[] = {L"Microsoft Visual Studio 2019",
                                     L"Microsoft Visual Studio 2022",
                                     L"Microsoft Visual Studio Community 2022 Preview"};
    for (size_t n = 0; n < 3; ++n) {
        const std::wstring folder = dir.Sub(L"vs" + std::to_wstring(n));
        ASSERT_EQ(1, WriteFileBytes(folder + L"\\devenv.exe", "MZ"));
        editors.push_back({descriptions[n], L"17." + std::to_wstring(n) + L".1", folder});
    }
    ASSERT_EQ(1, PutStoreCatalogue(editors));
    // Without a .vs folder the user is asked: the choice list shows.
    PutStoreDword(kSectProfiles, kKeyNoVsProc, 0);
}

// Starts this test program as the worker below with LogPixels set to dpi
// and waits for its verdict; the worker's failures come back through its
// report file.
void RunWorkerAt(DWORD dpi) {
    DWORD saved = 0;
    const int had = RegGetDword(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, &saved);
    ASSERT_EQ(1, RegPutDword(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, dpi));
    TempDir dir;
    const std::wstring report = dir.Sub(L"report.xml");
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    DWORD code = 99;
    const int ended = RunProgram(
        self,
        L"--gtest_also_run_disabled_tests --gtest_filter=LauncherDpiWorker.* "
        L"--gtest_output=xml:" + QuoteArg(report),
        L"", 100000, &code, {std::wstring(kWorkerVariable) + L"=" + std::to_wstring(dpi)});
    if (had) {
        RegPutDword(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, saved);
    } else {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, kLogPixels);
            RegCloseKey(key);
        }
    }
    ResetStore();
    ASSERT_EQ(1, ended);
    std::string text;
    ReadFileBytes(report, &text);
    EXPECT_EQ(0u, code) << text;
    // A worker that ran nothing would pass as well.
    EXPECT_NE(std::string::npos, text.find("tests=\"1\"")) << text;
    EXPECT_EQ(std::string::npos, text.find("<failure")) << text;
}

TEST(LauncherDpiLang, DialogsLayOutAt100Percent) { RunWorkerAt(96); }
TEST(LauncherDpiLang, DialogsLayOutAt150Percent) { RunWorkerAt(144); }
TEST(LauncherDpiLang, DialogsLayOutAt200Percent) { RunWorkerAt(192); }

// The worker: runs only when started by the tests above.
TEST(LauncherDpiWorker, DISABLED_DialogsLayOutAtThisDpi) {
    wchar_t value[16] = L"";
    ASSERT_NE(0u, GetEnvironmentVariableW(kWorkerVariable, value, _countof(value)));
    const int dpi = _wtoi(value);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(dpi, GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);

    TempDir dir;
    KalSetRegMidPathW(kAppMidPath);
    {
        SCOPED_TRACE("settings, no editor");
        ResetStore();
        ASSERT_EQ(1, PutStoreDword(kSectVsInst, kKeyCount, 0));
        ClearLauncher();
        ASSERT_EQ(1, LauncherStartup(GetModuleHandleW(nullptr), L""));
        ASSERT_TRUE(g_state.hSettingsDlg != nullptr);
        EXPECT_EQ(static_cast<UINT>(dpi), FrameDpi());
        ExpectFrameAndDialogLaidOut(g_state.hSettingsDlg, dpi);
        CloseLauncher();
    }
    {
        SCOPED_TRACE("settings, three editors");
        ResetStore();
        StoreEditors(dir);
        ClearLauncher();
        ASSERT_EQ(1, LauncherStartup(GetModuleHandleW(nullptr), L""));
        ASSERT_TRUE(g_state.hSettingsDlg != nullptr);
        ExpectFrameAndDialogLaidOut(g_state.hSettingsDlg, dpi);
        CloseLauncher();
    }
    {
        SCOPED_TRACE("choice");
        ResetStore();
        StoreEditors(dir);
        ClearLauncher();
        const std::wstring line = QuoteArg(dir.Sub(L"Source\\Shop\\Shop.Web.Services.sln"));
        ASSERT_EQ(1, LauncherStartup(GetModuleHandleW(nullptr), line.c_str()));
        ASSERT_TRUE(PumpUntilChoiceShown());
        ExpectFrameAndDialogLaidOut(g_state.hChoiceDlg, dpi);
        CloseLauncher();
    }
    ResetStore();
}

}  // namespace

namespace {

// Windows tells a per-monitor aware frame that its DPI changed (it moved to
// another monitor, or the user changed the scale) with a suggested place:
// the frame takes it, is then fitted around its dialog again, and the choice
// dialog's bold line gets a bold font made for the new DPI, and the stock one
// back at the system's DPI. Wine sends no such message, so the test does.
TEST(LauncherDpiChange, FrameRefitsAndTheBoldLineFollowsTheDpi) {
    TempDir dir;
    KalSetRegMidPathW(kAppMidPath);
    ResetStore();
    StoreEditors(dir);
    ClearLauncher();
    const std::wstring line = QuoteArg(dir.Sub(L"Shop\\Shop.sln"));
    ASSERT_EQ(1, LauncherStartup(GetModuleHandleW(nullptr), line.c_str()));
    ASSERT_TRUE(PumpUntilChoiceShown());
    HWND frame = g_state.hFrame;
    HWND note = GetDlgItem(g_state.hChoiceDlg, IDC_TXT_CHOOSE);
    HFONT stock = KalGetStockFont(kStockFontBold);
    ASSERT_EQ(stock, reinterpret_cast<HFONT>(SendMessageW(note, WM_GETFONT, 0, 0)));
    LOGFONTW stockFont;
    ASSERT_NE(0, GetObjectW(stock, sizeof(stockFont), &stockFont));
    HDC screen = GetDC(nullptr);
    const int systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    const int dpis[] = {systemDpi * 3 / 2, systemDpi * 2, systemDpi};
    for (int dpi : dpis) {
        SCOPED_TRACE(dpi);
        RECT suggested = {10, 20, 310, 220};
        SendMessageW(frame, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        RECT window;
        GetWindowRect(frame, &window);
        EXPECT_EQ(10, window.left);
        EXPECT_EQ(20, window.top);
        PumpMessages(100);
        EXPECT_EQ(static_cast<UINT>(dpi), FrameDpi());
        RECT client, outer;
        GetClientRect(frame, &client);
        GetWindowRect(g_state.hChoiceDlg, &outer);
        EXPECT_EQ(outer.right - outer.left, client.right);
        EXPECT_EQ(outer.bottom - outer.top, client.bottom);

        HFONT font = reinterpret_cast<HFONT>(SendMessageW(note, WM_GETFONT, 0, 0));
        LOGFONTW made;
        ASSERT_NE(0, GetObjectW(font, sizeof(made), &made));
        EXPECT_EQ(FW_BOLD, made.lfWeight);
        EXPECT_EQ(0, wcscmp(stockFont.lfFaceName, made.lfFaceName));
        EXPECT_NEAR(MulDiv(abs(stockFont.lfHeight), dpi, systemDpi), abs(made.lfHeight), 1);
        EXPECT_EQ(dpi == systemDpi, font == stock);
    }
    // The fonts made for other DPIs go with the frame.
    DestroyWindow(frame);
    EXPECT_TRUE(g_state.hNoteFont == nullptr);
    EXPECT_TRUE(g_state.hOldNoteFont == nullptr);
    CloseLauncher();
    ResetStore();
}

}  // namespace
