// The floor of the launcher's start-up design, for bench_start: the least a
// program can do that starts as the launcher does. It registers a window
// class, creates the hidden tool-window frame and, as its child, the hidden
// choice dialog from the launcher's own template (Pikro.rc is linked in),
// posts one message to the dialog and, when that message arrives through
// the message loop, starts the launch shim beside it hidden with
// CreateProcessW, as the launcher does, and destroys the frame. It reads no
// catalogue, no settings and no .vs folder.
//
//   floor_start.exe "<editor path>" "<solution path>"
//
// The two quoted paths are handed to the shim as they stand, the parameters
// the launcher composes for it.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "resource.h"
#include "startup.h"

namespace {

// The message that stands for the launcher's start decision.
const UINT kStartMessage = WM_APP + 100;
const wchar_t kFrameClass[] = L"PikroFloorBack";

struct FloorState {
    HWND hFrame;
    HWND hDialog;
    const wchar_t* parameters;
};

FloorState g_floor;

// What follows the program's own name and the blanks after it.
const wchar_t* ArgumentsOf(const wchar_t* line) {
    bool quoted = false;
    while (*line > L' ' || (*line && quoted)) {
        if (*line == L'"') quoted = !quoted;
        ++line;
    }
    while (*line && *line <= L' ') ++line;
    return line;
}

// Starts the shim from the program's own folder, as the launcher names it
// by its full path, and ends the program.
void StartShim() {
    wchar_t folder[MAX_PATH] = L"";
    wchar_t shim[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, folder, _countof(folder));
    wchar_t* slash = length > 0 && length < _countof(folder) ? wcsrchr(folder, L'\\') : nullptr;
    if (slash) {
        *slash = L'\0';
        wchar_t line[2048] = L"";
        STARTUPINFOW startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION process;
        if (wcscat_s(folder, L"\\PikroExec") == 0 && wcscpy_s(shim, folder) == 0 &&
            wcscat_s(shim, L"\\PikroExec.exe") == 0 &&
            _snwprintf_s(line, _countof(line), _TRUNCATE, L"\"%s\" %s", shim,
                         g_floor.parameters) > 0 &&
            CreateProcessW(shim, line, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                           &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    DestroyWindow(g_floor.hFrame);
}

INT_PTR CALLBACK FloorDialogProc(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        PostMessageW(window, kStartMessage, 0, 0);
        return TRUE;
    }
    if (message == kStartMessage) {
        StartShim();
        return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK FloorFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        g_floor.hDialog = CreateDialogParamW(GetModuleHandleW(nullptr),
                                             MAKEINTRESOURCEW(IDD_CHOOSE), window,
                                             FloorDialogProc, 0);
        return g_floor.hDialog ? 0 : -1;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE hInst, HINSTANCE, PWSTR, int) {
    LoadDllsFromSystemFolderOnly();
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    g_floor.parameters = ArgumentsOf(GetCommandLineW());

    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.style = CS_NOCLOSE;
    wc.lpfnWndProc = FloorFrameProc;
    wc.hInstance = hInst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszClassName = kFrameClass;
    if (!RegisterClassW(&wc)) return 1;
    g_floor.hFrame = CreateWindowExW(WS_EX_TOOLWINDOW, kFrameClass, L"", WS_OVERLAPPED,
                                     CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, hInst,
                                     nullptr);
    if (!g_floor.hFrame) return 1;

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) {
        if (g_floor.hDialog && IsDialogMessageW(g_floor.hDialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
