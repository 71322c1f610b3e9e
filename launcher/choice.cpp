// The choice dialog and the start of the chosen editor. The dialog is created
// hidden; it shows itself only when the start decision asks the user, and it
// starts an editor through the launch shim, which waits for the editor while
// the launcher ends at once.
#include "launcher.h"
#include "resource.h"
#include "store_keys.h"

#include <shlwapi.h>
#include <string.h>
#include <wchar.h>

namespace {

// Two quotes around each of a 259-unit editor path and a 1023-unit solution
// path, the blank between them and the terminator: any path the launcher
// accepts fits, so a command is never cut.
const size_t kCommandUnits = 1300;

// The longest file name a solution path can end in, and the words before it.
const size_t kLineUnits = 1100;

// Composes the shim's parameters: the editor path and the solution path,
// each in double quotes, one blank between. Returns 0 when a part does not
// fit; a cut command could open another file or start another program.
int ComposeEditorCommand(const EditorEntry* entry, const wchar_t* slnPath,
                         wchar_t (&command)[kCommandUnits]) {
    wchar_t editorPath[260] = L"";
    command[0] = L'\0';
    if (wcslen(entry->folder) >= _countof(editorPath)) return 0;
    wcscpy_s(editorPath, entry->folder);
    if (!KalPathCatW(editorPath, kEditorExe)) return 0;
    if (KalSnPrintFW(command, L"\"%s\" \"%s\"", editorPath, slnPath) < 0) {
        command[0] = L'\0';
        return 0;
    }
    return 1;
}

// The line that names the solution about to open: its file name is enough
// to tell one double-click from another, and the static cuts a name too long
// for it in the middle, keeping the extension.
int ShowSolutionName(HWND dialog) {
    wchar_t line[kLineUnits] = L"";
    const wchar_t* format = KalGetLangId() == kLangJapanese ? L"開くソリューション: %s" : L"To open: %s";
    if (KalSnPrintFW(line, format, PathFindFileNameW(g_state.szSlnPath)) < 0) return 0;
    return KalSetDlgItemStrW(dialog, IDC_TXT_SOLUTION, line);
}

// The folder of the solution being opened, or null (the launcher's own
// current folder) when its path names none.
const wchar_t* SolutionFolder(wchar_t (&folder)[_countof(g_state.szSlnPath)]) {
    wcscpy_s(folder, g_state.szSlnPath);
    wchar_t* last = wcsrchr(folder, L'\\');
    if (!last) return nullptr;
    // A drive's root keeps its backslash ("C:\").
    last[last > folder && last[-1] == L':' ? 1 : 0] = L'\0';
    return folder;
}

// Starts the shim hidden in the solution's folder with the editor's command.
// CreateProcessW starts the program it is given and nothing else: the
// shell's look-up of the file's type and its COM set-up are not needed to
// start a program of the suite.
int StartShim(const wchar_t* shimPath, const wchar_t* workFolder,
              const wchar_t (&command)[kCommandUnits]) {
    wchar_t line[kCommandUnits + 264] = L"";
    if (KalSnPrintFW(line, L"\"%s\" %s", shimPath, command) < 0) return 0;
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    // A solution whose folder is gone (or cannot be a current folder) still
    // reaches its editor, which then says what it makes of the path.
    if (!CreateProcessW(shimPath, line, nullptr, nullptr, FALSE, 0, nullptr, workFolder, &startup,
                        &process) &&
        (!workFolder || !CreateProcessW(shimPath, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &process)))
        return 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

// The row selected when the list opens: the one picked last time, which may
// have been picked for an .sln. The list for an .slnx (shown where its file
// could not be read, or named no editor of the catalogue) never preselects
// an editor that cannot open .slnx by default: the best one that can is
// selected instead, or none when no editor can.
int PreselectedRow() {
    const UINT remembered = g_settings.ixLstSel;
    if (_wcsicmp(PathFindExtensionW(g_state.szSlnPath), kSlnxExtension) != 0 ||
        (remembered < static_cast<UINT>(g_catalogue.count) &&
         OpensSlnx(g_catalogue.entries[remembered])))
        return static_cast<int>(remembered);
    return NewestSlnxEditor();
}

}  // namespace

int OnChoiceInitDialog(HWND window, UINT, WPARAM, LPARAM) {
    if (KalGetLangId() != kLangJapanese) {
        KalSetDlgItemStrW(window, IDC_GRP_INSTALLED, L"Visual Studio installed");
        KalSetDlgItemStrW(window, IDC_TXT_CHOOSE, L"Select Visual Studio to start.");
        KalSetDlgItemStrW(window, IDCANCEL, L"Cancel");
    }
    SendDlgItemMessageW(window, IDC_TXT_CHOOSE, WM_SETFONT,
                        reinterpret_cast<WPARAM>(ChoiceNoteFont()), TRUE);
    DecideStart(window);
    // No default focus: the dialog is hidden and mostly never shown, and
    // focusing a control would activate the hidden frame for nothing.
    // OnShowChoice gives the list the focus when it shows the dialog.
    return 0;
}

int OnShowChoice(HWND window, UINT, WPARAM, LPARAM) {
    // Inserting at the catalogue index bypasses the list's sorting, so row i
    // stays catalogue entry i.
    for (int i = 0; i < g_catalogue.count; ++i) {
        wchar_t row[kEditorRowUnits] = L"";
        EditorRowText(i, row);
        SendDlgItemMessageW(window, IDC_LST_EDITORS, LB_INSERTSTRING, static_cast<WPARAM>(i),
                            reinterpret_cast<LPARAM>(row));
    }
    SendDlgItemMessageW(window, IDC_LST_EDITORS, LB_SETCURSEL,
                        static_cast<WPARAM>(PreselectedRow()), 0);
    ShowSolutionName(window);
    PrepareFrameForShow(window);
    ShowWindow(window, SW_SHOW);
    ShowWindow(g_state.hFrame, SW_SHOW);
    // A tool window has no taskbar button: opened behind other windows, the
    // list could not be found at all.
    SetForegroundWindow(g_state.hFrame);
    // The dialog was created hidden, so nothing in it has the focus yet;
    // Enter and Escape reach the dialog only through a control of its own.
    SetFocus(GetDlgItem(window, IDC_LST_EDITORS));
    return 1;
}

int OnChoiceOk(HWND window, UINT, WPARAM, LPARAM) {
    const LRESULT row = SendDlgItemMessageW(window, IDC_LST_EDITORS, LB_GETCURSEL, 0, 0);
    if (row < 0) {
        DestroyWindow(g_state.hFrame);
        return 1;
    }
    g_settings.ixLstSel = static_cast<UINT>(row);
    KalPutProfileUIntW(kSectProfiles, kKeyLstSel, g_settings.ixLstSel);
    if (g_state.fForceChoice) CleanForChosenStart();
    PostMessageW(window, UM_START_EDITOR, static_cast<WPARAM>(row), 0);
    return 1;
}

// A double-click on a row is OK for that row, as in every Windows list; the
// click before it has selected the row. The list's other notifications, and
// a double-click that selected no row, are left alone.
int OnChoiceListCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != LBN_DBLCLK) return 0;
    if (SendDlgItemMessageW(window, IDC_LST_EDITORS, LB_GETCURSEL, 0, 0) < 0) return 1;
    return OnChoiceOk(window, message, wParam, lParam);
}

int OnStartEditor(HWND, UINT, WPARAM wParam, LPARAM) {
    const int index = static_cast<int>(wParam);
    if (index >= 0 && index < g_catalogue.count) {
        wchar_t shimFolder[260] = L"";
        wchar_t shimPath[260] = L"";
        wchar_t command[kCommandUnits] = L"";
        // The shim is named by its full path: a bare name would let the
        // search order pick up another program of that name.
        if (KalGetAppPathW(shimFolder) && KalPathCatW(shimFolder, kShimFolder)) {
            wcscpy_s(shimPath, shimFolder);
            if (KalPathCatW(shimPath, kShimExe) &&
                ComposeEditorCommand(&g_catalogue.entries[index], g_state.szSlnPath, command)) {
                // The editor inherits the error mode through the shim: it gets
                // the one the launcher was started with, not the launcher's own.
                SetErrorMode(g_state.uStartErrorMode);
                // The editor inherits the shim's current folder: the
                // solution's, as Explorer gives it, so that no editor keeps
                // the suite's folder in use and updates can replace it.
                wchar_t workFolder[_countof(g_state.szSlnPath)] = L"";
                StartShim(shimPath, SolutionFolder(workFolder), command);
            }
        }
    }
    DestroyWindow(g_state.hFrame);
    return 1;
}
