// The frame on displays of different DPI. The programs declare themselves
// per-monitor aware, so Windows no longer stretches the launcher as a bitmap
// when it moves to a monitor of another scale: the dialog manager scales the
// dialog from its template, and the launcher itself fits the frame around it
// again and remakes the one font it sets by hand. The functions that tell a
// window's DPI are looked up at run time: Windows 7 and 8 lack them and run
// the launcher system aware, at one DPI for its whole life.
#include "launcher.h"
#include "resource.h"

namespace {

typedef UINT(WINAPI* GetDpiForWindowFn)(HWND);
typedef BOOL(WINAPI* AdjustWindowRectExForDpiFn)(RECT*, DWORD, BOOL, DWORD, UINT);
typedef BOOL(WINAPI* SystemParametersInfoForDpiFn)(UINT, UINT, void*, UINT, UINT);

// A function of user32 (which every launcher has loaded), or null where this
// Windows lacks it.
template <typename Fn>
Fn User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

// The DPI that the whole screen had when the launcher started, which system
// metrics and the library's stock fonts are made for.
UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

UINT FrameDpi() {
    if (g_state.uDpi != 0) return g_state.uDpi;
    GetDpiForWindowFn getDpi = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    const UINT dpi = getDpi && g_state.hFrame ? getDpi(g_state.hFrame) : 0;
    return dpi != 0 ? dpi : SystemDpi();
}

void AdjustFrameRect(RECT* rect, DWORD style, DWORD exStyle) {
    // The caption and borders are as high as the frame's own DPI makes them;
    // AdjustWindowRectEx knows only the system DPI.
    AdjustWindowRectExForDpiFn adjust =
        User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    if (!adjust || !adjust(rect, style, FALSE, exStyle, FrameDpi()))
        AdjustWindowRectEx(rect, style, FALSE, exStyle);
}

HFONT ChoiceNoteFont() {
    const UINT dpi = FrameDpi();
    const UINT systemDpi = SystemDpi();
    if (dpi == systemDpi) return KalGetStockFont(kStockFontBold);
    if (g_state.hNoteFont && g_state.uNoteFontDpi == dpi) return g_state.hNoteFont;

    // The bold message font, as the library's stock font is made, but for
    // the frame's DPI: from the metrics of that DPI where Windows gives
    // them, else the system DPI's font scaled.
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoForDpiFn forDpi =
        User32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    if (!forDpi || !forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        HFONT stock = KalGetStockFont(kStockFontBold);
        if (!GetObjectW(stock, sizeof(metrics.lfMessageFont), &metrics.lfMessageFont))
            return stock;
        metrics.lfMessageFont.lfHeight =
            MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi));
    }
    metrics.lfMessageFont.lfWeight = FW_BOLD;
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    if (!font) return KalGetStockFont(kStockFontBold);
    // The font it replaces may still be set on the control: it goes only
    // once the caller has handed the new one over.
    g_state.hOldNoteFont = g_state.hNoteFont;
    g_state.hNoteFont = font;
    g_state.uNoteFontDpi = dpi;
    return font;
}

void ReleaseNoteFonts() {
    if (g_state.hOldNoteFont) DeleteObject(g_state.hOldNoteFont);
    if (g_state.hNoteFont) DeleteObject(g_state.hNoteFont);
    g_state.hOldNoteFont = nullptr;
    g_state.hNoteFont = nullptr;
    g_state.uNoteFontDpi = 0;
}

// Sizes the frame so that its client area has the dialog's outer size,
// keeping the caption and borders the frame has now: after a change of DPI
// Windows has already drawn them for the new DPI, so what they measure is
// right even where no function tells a window's DPI.
void FitFrameAroundDialog(HWND dialog) {
    RECT window, client, outer;
    GetWindowRect(g_state.hFrame, &window);
    GetClientRect(g_state.hFrame, &client);
    GetWindowRect(dialog, &outer);
    if (client.right <= 0 || client.bottom <= 0) {
        FitFrameToDialog(dialog);
        return;
    }
    const int width = (outer.right - outer.left) + (window.right - window.left) - client.right;
    const int height = (outer.bottom - outer.top) + (window.bottom - window.top) - client.bottom;
    SetWindowPos(g_state.hFrame, nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The frame moved to a monitor of another DPI (or the user changed the
// scale): it takes the place Windows suggests, and once the dialog inside it
// has been scaled (after this message, top down through the children) it is
// fitted around it again.
int OnFrameDpiChanged(HWND window, UINT, WPARAM wParam, LPARAM lParam) {
    g_state.uDpi = HIWORD(wParam) != 0 ? HIWORD(wParam) : g_state.uDpi;
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    if (suggested) {
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PostMessageW(window, UM_REFIT_FRAME, 0, 0);
    return 0;
}

int OnFrameRefit(HWND, UINT, WPARAM, LPARAM) {
    // The dialog manager gives every control the dialog's font for the new
    // DPI, the choice dialog's bold line too.
    if (g_state.hChoiceDlg && IsWindow(g_state.hChoiceDlg)) {
        SendDlgItemMessageW(g_state.hChoiceDlg, IDC_TXT_CHOOSE, WM_SETFONT,
                            reinterpret_cast<WPARAM>(ChoiceNoteFont()), TRUE);
        if (g_state.hOldNoteFont) {
            DeleteObject(g_state.hOldNoteFont);
            g_state.hOldNoteFont = nullptr;
        }
    }
    if (g_state.hCurDlg && IsWindow(g_state.hCurDlg)) FitFrameAroundDialog(g_state.hCurDlg);
    return 0;
}
