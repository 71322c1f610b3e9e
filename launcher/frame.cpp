// The launcher's skeleton: start-up, the hidden or visible frame window that
// hosts one dialog, the message maps of all four window procedures, and the
// message loop.
#include <string.h>
#include <wchar.h>

#include "launcher.h"
#include "resource.h"
#include "store_keys.h"

LauncherState g_state;

namespace {

const wchar_t kFrameClass[] = L"PikroBack";
const wchar_t kFrameTitle[] = L"Travuna";
const COLORREF kDialogBackground = 0xFFFFFF;
// The switch that the right-click verb "Choose Visual Studio" puts before
// the solution path: the choice list opens whatever would decide.
const wchar_t kChooseSwitch[] = L"/choose";

const MessageMapEntry kFrameMap[] = {
    {MMP_KIND_MESSAGE, WM_CREATE, 0, OnFrameCreate, 0, 0},
    {MMP_KIND_MESSAGE, WM_DESTROY, 0, OnFrameDestroy, 0, 0},
    {MMP_KIND_MESSAGE, WM_DPICHANGED, 0, OnFrameDpiChanged, 0, 0},
    {MMP_KIND_MESSAGE, UM_REFIT_FRAME, 0, OnFrameRefit, 0, 0},
    {0, 0, 0, nullptr, 0, 0},
};

const MessageMapEntry kSettingsMap[] = {
    {MMP_KIND_MESSAGE, WM_INITDIALOG, 0, SettingsInitDialog, 0, 0},
    {MMP_KIND_MESSAGE, WM_DESTROY, 0, OnDialogDestroy, 0, 0},
    {MMP_KIND_COMMAND, WM_COMMAND, IDC_CBO_VSFIX, SettingsVsFixChanged, 0, 0},
    {MMP_KIND_COMMAND, WM_COMMAND, IDC_CBO_NOVSFIX, SettingsNoVsFixChanged, 0, 0},
    {MMP_KIND_COMMAND, WM_COMMAND, IDOK, SettingsOk, 0, 0},
    {MMP_KIND_COMMAND, WM_COMMAND, IDCANCEL, OnCancel, 0, 0},
    {0, 0, 0, nullptr, 0, 0},
};

const MessageMapEntry kChoiceMap[] = {
    {MMP_KIND_MESSAGE, WM_INITDIALOG, 0, OnChoiceInitDialog, 0, 0},
    {MMP_KIND_MESSAGE, WM_DESTROY, 0, OnDialogDestroy, 0, 0},
    {MMP_KIND_MESSAGE, UM_START_EDITOR, 0, OnStartEditor, 0, 0},
    {MMP_KIND_MESSAGE, UM_SHOW_CHOICE, 0, OnShowChoice, 0, 0},
    {MMP_KIND_COMMAND, WM_COMMAND, IDOK, OnChoiceOk, 0, 0},
    {MMP_KIND_COMMAND, WM_COMMAND, IDCANCEL, OnCancel, 0, 0},
    {MMP_KIND_COMMAND, WM_COMMAND, IDC_LST_EDITORS, OnChoiceListCommand, 0, 0},
    {0, 0, 0, nullptr, 0, 0},
};

const MessageMapEntry kListBoxMap[] = {
    {MMP_KIND_MESSAGE, WM_DROPFILES, 0, ListDropFiles, 0, 0},
    {0, 0, 0, nullptr, 0, 0},
};

// Prepares a procedure's message table at its first message of any kind.
void PrepareMapOnce(int* firstUse, const MessageMapEntry* table, KalMmpWork* work) {
    if (!*firstUse) return;
    *firstUse = 0;
    KalMmpInitTblW(table, work);
}

// Centres the frame on the primary monitor.
void CentreFrame() {
    RECT monitor = {0, 0, 0, 0};
    RECT window = {0, 0, 0, 0};
    KalGetPrimaryMonitorInfo(0, &monitor);
    GetWindowRect(g_state.hFrame, &window);
    int x = 0;
    int y = 0;
    CentredPosition(&monitor, &window, &x, &y);
    SetWindowPos(g_state.hFrame, nullptr, x, y, 0, 0, SWP_NOSIZE);
}

// What follows the switch of the right-click verb when the command line
// begins with it (in any case, unquoted, then a blank, a tab or the end),
// with the blanks after it skipped; nullptr otherwise. Windows hands a
// double-clicked solution over by its full path, so only a path typed by
// hand can begin like the switch: given quoted ("/choose x.sln") it stays a
// path, and so do "/chooser.sln" and "-choose.sln".
const wchar_t* AfterChooseSwitch(const wchar_t* cmdLine) {
    const size_t length = _countof(kChooseSwitch) - 1;
    if (_wcsnicmp(cmdLine, kChooseSwitch, length) != 0) return nullptr;
    const wchar_t* rest = cmdLine + length;
    if (*rest != L'\0' && *rest != L' ' && *rest != L'\t') return nullptr;
    return rest + wcsspn(rest, L" \t");
}

}  // namespace

int TakeSolutionPath(const wchar_t* cmdLine) {
    g_state.szSlnPath[0] = L'\0';
    g_state.fForceChoice = 0;
    if (!cmdLine) return 1;
    const wchar_t* afterSwitch = AfterChooseSwitch(cmdLine);
    if (afterSwitch) cmdLine = afterSwitch;
    if (*cmdLine == L'"') ++cmdLine;
    // The path ends at the next double quote (whatever follows a quoted path
    // is dropped) or at the end of the line. A path that does not fit is not
    // taken at all: cut, it could name another solution.
    wchar_t given[_countof(g_state.szSlnPath)] = L"";
    size_t length = wcscspn(cmdLine, L"\"");
    if (length >= _countof(given)) return -1;
    wmemcpy(given, cmdLine, length);
    given[length] = L'\0';
    // No path is settings mode, but the switch without a solution has
    // nothing to choose an editor for.
    if (length == 0) return afterSwitch == nullptr;
    // A path typed in a console is relative to the launcher's current folder,
    // which the editor does not share: it is started from the shim's folder.
    // So the path is made whole before anything looks at it.
    const DWORD full = GetFullPathNameW(given, _countof(g_state.szSlnPath), g_state.szSlnPath,
                                        nullptr);
    if (full >= _countof(g_state.szSlnPath)) {
        g_state.szSlnPath[0] = L'\0';
        return -1;
    }
    // A path that ends in a backslash names no solution, and the editor's
    // own command-line parser would read its closing \" as a quote.
    if (full == 0 || given[length - 1] == L'\\' || g_state.szSlnPath[full - 1] == L'\\') {
        g_state.szSlnPath[0] = L'\0';
        return 0;
    }
    g_state.fForceChoice = afterSwitch != nullptr;
    return 1;
}

void CentredPosition(const RECT* monitor, const RECT* window, int* x, int* y) {
    *x = monitor->left + ((monitor->right - monitor->left) - (window->right - window->left)) / 2;
    *y = monitor->top + ((monitor->bottom - monitor->top) - (window->bottom - window->top)) / 2;
}

void FitFrameToDialog(HWND dialog) {
    DWORD style = static_cast<DWORD>(KalGetWindowLongPtr(g_state.hFrame, GWL_STYLE));
    DWORD exStyle = static_cast<DWORD>(KalGetWindowLongPtr(g_state.hFrame, GWL_EXSTYLE));
    RECT r = {0, 0, 0, 0};
    GetWindowRect(dialog, &r);
    RECT rc = {0, 0, r.right - r.left, r.bottom - r.top};
    AdjustFrameRect(&rc, style, exStyle);
    SetWindowPos(g_state.hFrame, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOMOVE);
}

void PrepareFrameForShow(HWND dialog) {
    wchar_t path[260] = L"";
    wchar_t version[256] = L"";
    wchar_t caption[256] = L"";
    if (KalGetAppPathW(path) && KalPathCatW(path, kLauncherExe))
        KalGetVerInfoW(path, L"FileVersion", version);
    KalSnPrintFW(caption, L"Travuna ( Ver %s )", version);
    SetWindowTextW(g_state.hFrame, caption);
    FitFrameToDialog(dialog);
    CentreFrame();
}

int OnFrameCreate(HWND window, UINT, WPARAM, LPARAM) {
    // CreateWindowExW has not returned yet, but the dialog handlers that run
    // inside this call need the frame.
    g_state.hFrame = window;

    // Without its dialog the frame would be a window nobody can use or
    // close, so a dialog that cannot be created ends the launcher.
    if (g_state.szSlnPath[0] == L'\0') {
        HWND dialog = CreateDialogParamW(g_state.hInst, MAKEINTRESOURCEW(IDD_SETTINGS), window,
                                         SettingsDlgProc, 0);
        if (!dialog) return -1;
        g_state.hSettingsDlg = dialog;
        g_state.hCurDlg = dialog;
        PrepareFrameForShow(dialog);
        ShowWindow(dialog, SW_SHOW);
        ShowWindow(window, SW_SHOW);
    } else {
        // The dialog's WM_INITDIALOG handler only posts the start decision;
        // it is acted on once the message loop runs. The frame is made ready
        // to be seen only if the list is shown.
        HWND dialog = CreateDialogParamW(g_state.hInst, MAKEINTRESOURCEW(IDD_CHOOSE), window,
                                         ChoiceDlgProc, 0);
        if (!dialog) return -1;
        g_state.hChoiceDlg = dialog;
        g_state.hCurDlg = dialog;
    }
    return 0;
}

int OnFrameDestroy(HWND, UINT, WPARAM, LPARAM) {
    DestroyWindow(g_state.hCurDlg);
    ReleaseNoteFonts();
    PostQuitMessage(0);
    return 0;
}

int OnDialogDestroy(HWND, UINT, WPARAM, LPARAM) {
    return 1;
}

int OnCancel(HWND, UINT, WPARAM, LPARAM) {
    DestroyWindow(g_state.hFrame);
    return 1;
}

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static int firstUse = 1;
    static KalMmpWork work;
    PrepareMapOnce(&firstUse, kFrameMap, &work);
    LRESULT result =
        KalMmpWndMsgHandle(&work, window, message, wParam, lParam, FrameWndProc, "Back");
    if (message == WM_CREATE)
        KalDgcSubclassEx(window, kDialogBackground);
    else if (message == WM_DESTROY)
        KalMmpDelSubclass(window, "Back");
    return result;
}

INT_PTR CALLBACK SettingsDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static int firstUse = 1;
    static KalMmpWork work;
    PrepareMapOnce(&firstUse, kSettingsMap, &work);
    INT_PTR result = KalMmpDlgMsgHandle(&work, window, message, wParam, lParam);
    if (message == WM_INITDIALOG) KalDgcSubclassEx(window, kDialogBackground);
    return result;
}

INT_PTR CALLBACK ChoiceDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static int firstUse = 1;
    static KalMmpWork work;
    PrepareMapOnce(&firstUse, kChoiceMap, &work);
    INT_PTR result = KalMmpDlgMsgHandle(&work, window, message, wParam, lParam);
    if (message == WM_INITDIALOG) KalDgcSubclassEx(window, kDialogBackground);
    return result;
}

LRESULT CALLBACK ListBoxSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static int firstUse = 1;
    static KalMmpWork work;
    PrepareMapOnce(&firstUse, kListBoxMap, &work);
    LRESULT result = KalMmpWndMsgHandle(&work, window, message, wParam, lParam,
                                        ListBoxSubclassProc, "ListBox");
    if (message == WM_DESTROY) KalMmpDelSubclass(window, "ListBox");
    return result;
}

int LauncherStartup(HINSTANCE hInst, const wchar_t* cmdLine) {
    g_state.hInst = hInst;
    g_state.hFrameIcon = LoadIconW(hInst, MAKEINTRESOURCEW(IDI_PIKRO));
    const int taken = TakeSolutionPath(cmdLine);
    if (taken < 0) TellPathTooLong();
    if (taken <= 0) return 0;
    KalSetRegMidPathW(kAppMidPath);
    KalDgcSetup();
    BuildFirstCatalogue();
    g_catalogue.count = LoadCatalogue();
    LoadSettings();
    // With no editor known even after the search, a solution cannot be
    // opened: the user is told so and how to add one. Started alone, the
    // launcher opens its settings dialog all the same, with an empty list on
    // which the user can drop a devenv.exe.
    if (g_catalogue.count == 0 && g_state.szSlnPath[0] != L'\0') {
        TellNoEditorFound(g_state.szSlnPath);
        return 0;
    }

    WNDCLASSW wc;
    memset(&wc, 0, sizeof(wc));
    wc.style = CS_NOCLOSE;
    wc.lpfnWndProc = FrameWndProc;
    wc.hInstance = hInst;
    wc.hIcon = g_state.hFrameIcon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszClassName = kFrameClass;
    if (!RegisterClassW(&wc)) return 0;

    g_state.hFrame = CreateWindowExW(WS_EX_TOOLWINDOW, kFrameClass, kFrameTitle, WS_OVERLAPPED,
                                     CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, hInst,
                                     nullptr);
    return g_state.hFrame != nullptr;
}

int LauncherMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) {
        if (g_state.hCurDlg && IsDialogMessageW(g_state.hCurDlg, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

int LauncherMain(HINSTANCE hInst, const wchar_t* cmdLine) {
    if (LauncherStartup(hInst, cmdLine)) LauncherMessageLoop();
    // The editor has been started (or none is to be) and no window is left:
    // the caches that cleaning moved aside are deleted now, while nobody
    // waits for them, in the background, so that the starting editor gets
    // the processor and the disk first.
    if (g_state.nMovedAside > 0) {
        if (!SetThreadPriority(GetCurrentThread(), THREAD_MODE_BACKGROUND_BEGIN))
            SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
        DeleteMovedAside();
    }
    return 0;
}
