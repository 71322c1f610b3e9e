// Adding an editor by dropping its devenv.exe, or the folder that holds it,
// on the settings dialog's editor list.
#include "launcher.h"

#include <shellapi.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "resource.h"
#include "store_keys.h"

namespace {

const UINT kTipMilliseconds = 5000;

// "\x1b[31m" shows the tip in red; the tip never shows the sequence itself.
const wchar_t kNoEditorInFolderJa[] = L"\x1b[31m\n このフォルダ内に \"devenv.exe\" がありません。\n";
const wchar_t kNoEditorInFolderEn[] = L"\x1b[31m\n There is no \"devenv.exe\" in this folder. \n";
const wchar_t kNotEditorFileJa[] = L"\x1b[31m\n \"devenv.exe\" ではありません。\n";
const wchar_t kNotEditorFileEn[] = L"\x1b[31m\n It's not a \"devenv.exe\". \n";
// An editor leaves the list when its devenv.exe is gone: at the next start
// the catalogue drops it.
const wchar_t kListFullJa[] =
    L"\x1b[31m\n 一覧に登録できる Visual Studio は %d 個までです。\n"
    L" 空きを作るには、使わなくなった Visual Studio をアンインストールするか、\n"
    L" ドロップして追加したコピーを削除してください。次の起動で一覧から外れます。\n";
const wchar_t kListFullEn[] =
    L"\x1b[31m\n The list holds at most %d editors of Visual Studio. \n"
    L" To make room, uninstall a Visual Studio you no longer use, or delete a copy \n"
    L" you added by dropping it: it leaves the list at the next start. \n";

void ShowDropTip(HWND list, const wchar_t* japanese, const wchar_t* english) {
    KalTipTextShowCenterW(list, KalGetLangId() == kLangJapanese ? japanese : english,
                          kTipMilliseconds, 0);
}

// A dropped folder counts when it holds a file named devenv.exe.
void DropFolder(HWND list, const wchar_t (&folder)[260]) {
    wchar_t exePath[260];
    wcscpy_s(exePath, folder);
    if (KalPathCatW(exePath, kEditorExe) && KalPathIsFileW(exePath)) {
        AddDroppedEditor(exePath);
    } else {
        ShowDropTip(list, kNoEditorInFolderJa, kNoEditorInFolderEn);
    }
}

// A dropped file counts when its name is devenv.exe in any letter case; what
// is inside is the version reader's matter.
void DropFile(HWND list, const wchar_t (&path)[260]) {
    wchar_t name[256] = L"";
    wchar_t ext[256] = L"";
    wchar_t joined[260] = L"";
    int isEditor = _wsplitpath_s(path, NULL, 0, NULL, 0, name, _countof(name), ext,
                                 _countof(ext)) == 0 &&
                   _wmakepath_s(joined, _countof(joined), NULL, NULL, name, ext) == 0 &&
                   _wcsicmp(joined, kEditorExe) == 0;
    if (isEditor) {
        AddDroppedEditor(path);
    } else {
        ShowDropTip(list, kNotEditorFileJa, kNotEditorFileEn);
    }
}

// The catalogue index of the entry that equals the remembered one, or -1.
// Identical records start the same editor, so any one of them will do.
int FindEntry(const EditorEntry& wanted, int count) {
    for (int i = 0; i < count; ++i) {
        const EditorEntry& entry = g_catalogue.entries[i];
        if (wcscmp(entry.folder, wanted.folder) == 0 &&
            wcscmp(entry.description, wanted.description) == 0 &&
            wcscmp(entry.version, wanted.version) == 0) {
            return i;
        }
    }
    return -1;
}

// What a control showed before the catalogue changed: a copy of the entry
// of its selected row, or nothing.
struct Chosen {
    int selected;
    EditorEntry entry;
};

void RememberChoice(HWND dialog, int id, UINT getCurSel, int count, Chosen* chosen) {
    memset(chosen, 0, sizeof *chosen);
    LRESULT sel = SendDlgItemMessageW(dialog, id, getCurSel, 0, 0);
    chosen->selected = sel >= 0 && sel < count;
    if (chosen->selected) chosen->entry = g_catalogue.entries[sel];
}

// The row that shows the remembered editor after the sort; a combo box that
// had no choice gets the first row, as if the user had never touched it.
int RowAfterSort(const Chosen& chosen, int count) {
    if (!chosen.selected) return 0;
    int row = FindEntry(chosen.entry, count);
    return row < 0 ? 0 : row;
}

// The shell's functions that read a drop.
struct DropFunctions {
    UINT(WINAPI* queryFile)(HDROP, UINT, LPWSTR, UINT);
    void(WINAPI* finish)(HDROP);
};

// Binds the drop functions from the shell's library in the system folder
// when something is dropped. The library is large and pulls in more, and a
// launcher that only starts an editor never needs it, so it is not loaded
// at every start. It stays loaded once bound. Returns 1 when both are there.
int BindDropFunctions(DropFunctions* functions) {
    ZeroMemory(functions, sizeof(*functions));
    wchar_t library[260] = L"";
    const UINT units = GetSystemDirectoryW(library, _countof(library));
    if (units == 0 || units >= _countof(library) || !KalPathCatW(library, L"shell32.dll"))
        return 0;
    HMODULE shell = LoadLibraryW(library);
    if (!shell) return 0;
    // Through a plain function pointer, as GetProcAddress gives every
    // function whatever its type.
    typedef void (*AnyFunction)(void);
    functions->queryFile = reinterpret_cast<decltype(functions->queryFile)>(
        reinterpret_cast<AnyFunction>(GetProcAddress(shell, "DragQueryFileW")));
    functions->finish = reinterpret_cast<decltype(functions->finish)>(
        reinterpret_cast<AnyFunction>(GetProcAddress(shell, "DragFinish")));
    return functions->queryFile && functions->finish;
}

}  // namespace

int ListDropFiles(HWND window, UINT, WPARAM wParam, LPARAM) {
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    DropFunctions shell;
    if (!BindDropFunctions(&shell)) return 0;
    // Only the first item counts. A path that does not fit the buffer is
    // refused rather than cut, since a cut path can name another file.
    if (shell.queryFile(drop, 0xFFFFFFFF, NULL, 0) > 0 &&
        shell.queryFile(drop, 0, NULL, 0) < 260) {
        wchar_t path[260] = L"";
        shell.queryFile(drop, 0, path, _countof(path));
        path[_countof(path) - 1] = L'\0';
        if (KalPathExistsW(path)) {
            if (KalPathIsDirectoryW(path)) {
                DropFolder(window, path);
            } else {
                DropFile(window, path);
            }
        }
    }
    shell.finish(drop);
    return 0;
}

// Registers the editor into the free slot. Returns 1 when it was stored.
static int StoreDroppedEditor(const wchar_t* exePath, int slot) {
    EditorEntry* entry = &g_catalogue.entries[slot];
    if (RegisterEditor(exePath, entry) == 0) {
        memset(entry, 0, sizeof *entry);
        return 0;
    }
    return 1;
}

// Stores the editor at once and shows it. The catalogue is sorted and the
// rows are put in afresh, so that row i stays entry i; each control then
// selects again the editor it showed before, found by its record and not by
// its text, which another entry may share.
void AddDroppedEditor(const wchar_t* exePath) {
    const int slot = g_catalogue.count;
    if (slot < 0 || slot >= kCatalogueSlots) {
        wchar_t tip[512] = L"";
        KalSnPrintFW(tip, KalGetLangId() == kLangJapanese ? kListFullJa : kListFullEn,
                     static_cast<int>(kCatalogueSlots));
        KalTipTextShowCenterW(GetDlgItem(g_state.hSettingsDlg, IDC_LST_EDITORS), tip,
                              kTipMilliseconds, 0);
        return;
    }
    // The look-up and the registration go under one hold of the catalogue
    // lock, so that the same editor dropped on two launchers at once is
    // stored once.
    HANDLE lock = nullptr;
    if (!LockCatalogue(&lock)) return;
    const int stored = !IsEditorRegistered(exePath) && StoreDroppedEditor(exePath, slot);
    UnlockCatalogue(lock);
    if (!stored) return;

    HWND dialog = g_state.hSettingsDlg;
    Chosen list, vsFix, noVsFix;
    RememberChoice(dialog, IDC_LST_EDITORS, LB_GETCURSEL, slot, &list);
    RememberChoice(dialog, IDC_CBO_VSFIX, CB_GETCURSEL, slot, &vsFix);
    RememberChoice(dialog, IDC_CBO_NOVSFIX, CB_GETCURSEL, slot, &noVsFix);

    // The count follows the slots filled here, not the stored "Count": that
    // one also counts stored entries the load passed over, and another
    // program may have changed it since.
    const int count = slot + 1;
    g_catalogue.count = count;
    SortCatalogue(count);

    SettingsFillEditorRows(dialog);
    if (list.selected) {
        SendDlgItemMessageW(dialog, IDC_LST_EDITORS, LB_SETCURSEL,
                            static_cast<WPARAM>(RowAfterSort(list, count)), 0);
    }
    int row = RowAfterSort(vsFix, count);
    g_settings.ixVsFix = static_cast<UINT>(row);
    SendDlgItemMessageW(dialog, IDC_CBO_VSFIX, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
    row = RowAfterSort(noVsFix, count);
    g_settings.ixNoVsFix = static_cast<UINT>(row);
    SendDlgItemMessageW(dialog, IDC_CBO_NOVSFIX, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
}
