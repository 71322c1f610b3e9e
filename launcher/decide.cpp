// Start decision for a solution (.sln or .slnx): which editor of the
// catalogue opens it, or whether the user has to choose. The .vs folder that
// Visual Studio keeps beside a solution names the versions that have opened
// it; its greatest version folder picks the editor, unless the settings fix
// one. Without a .vs folder the settings ask, fix an editor, or let the
// solution file itself name its version.
#include "launcher.h"
#include "store_keys.h"

#include <io.h>
#include <stdlib.h>
#include <wchar.h>

namespace {

// A base name that names exactly the folder it spells: not empty, not made
// of dots and blanks only ("..", which would climb out of .vs), and not
// ending in a dot or a blank, which Windows drops ("App." names "App").
int IsPlainBaseName(const wchar_t* name) {
    const size_t length = wcslen(name);
    if (length == 0 || name[length - 1] == L'.' || name[length - 1] == L' ') return 0;
    return wcsspn(name, L". ") != length;
}

// The name of the solution's own folder inside .vs: the base name of an
// .sln (.vs\App), the whole file name of an .slnx (.vs\App.slnx), so that
// both kinds of one solution keep their state apart. A solution whose base
// name is not plain gets none, whatever its kind: the same names are refused
// for both. Returns 0 with an empty name then, or when the name does not fit.
int PerSolutionFolderName(const wchar_t* baseName, const wchar_t* extension, int isSlnx,
                          wchar_t (&name)[260]) {
    name[0] = L'\0';
    if (!IsPlainBaseName(baseName)) return 0;
    if (KalSnPrintFW(name, L"%s%s", baseName, isSlnx ? extension : L"") < 0) {
        name[0] = L'\0';
        return 0;
    }
    return 1;
}

// 1 when the per-solution folder really is the entry folderName of the .vs
// folder: its final path is the .vs folder's final path, one backslash and
// that name. A short (8.3) name or any other spelling that reaches
// another folder fails.
int IsChildOf(HANDLE vsFolder, HANDLE perSlnFolder, const wchar_t* folderName) {
    wchar_t vsFinal[1024] = L"";
    wchar_t perSlnFinal[1024] = L"";
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    DWORD got = GetFinalPathNameByHandleW(vsFolder, vsFinal, _countof(vsFinal), flags);
    if (got == 0 || got >= _countof(vsFinal)) return 0;
    got = GetFinalPathNameByHandleW(perSlnFolder, perSlnFinal, _countof(perSlnFinal), flags);
    if (got == 0 || got >= _countof(perSlnFinal)) return 0;
    wchar_t expected[1024] = L"";
    if (KalSnPrintFW(expected, L"%s\\%s", vsFinal, folderName) < 0) return 0;
    return _wcsicmp(expected, perSlnFinal) == 0;
}

// Searches the per-solution folder for the greatest folder whose name
// begins with v. Returns 0 when a name or path does not fit: deciding
// without that folder, which could be the greatest, could start the wrong
// editor.
int SearchVersionFolders(const wchar_t* perSlnFolder, wchar_t (&chosen)[256]) {
    wchar_t pattern[260] = L"";
    wcscpy_s(pattern, perSlnFolder);
    if (!KalPathCatW(pattern, L"v*")) return 0;
    int fits = 1;
    _wfinddata64i32_t found;
    const intptr_t search = _wfindfirst64i32(pattern, &found);
    if (search == -1) return 1;
    do {
        if (!(found.attrib & _A_SUBDIR)) continue;
        // Short names can match the pattern when the long name does not.
        if (found.name[0] != L'v' && found.name[0] != L'V') continue;
        if (wcslen(found.name) >= _countof(chosen)) {
            fits = 0;
            continue;
        }
        if (chosen[0] == L'\0' || _wcsicmp(found.name, chosen) > 0) wcscpy_s(chosen, found.name);
    } while (_wfindnext64i32(search, &found) == 0);
    _findclose(search);
    return fits;
}

// The editors a version folder names: those whose version begins with what
// follows the v ("v17" names every 17.x), A to Z compared without regard to
// case.
int VersionBeginsWith(const EditorEntry& entry, const void* context) {
    const wchar_t* key = static_cast<const wchar_t*>(context);
    return _wcsnicmp(entry.version, key, wcslen(key)) == 0;
}

// The version-folder rule: the greatest folder whose name begins with v,
// compared as text, names the version, and of the editors of that version
// the best one starts (BestMatchingEditor); every such folder is emptied first
// when the settings ask for it, its contents moved aside to be deleted once
// the editor has been started. Nothing is searched or cleaned unless the
// per-solution folder folderName is a real folder right inside a real .vs
// folder. Returns the catalogue index to start, or -1 when the user has to
// choose.
int DecideByVersionFolder(const wchar_t* vsPath, const wchar_t* folderName) {
    if (!IsPlainBaseName(folderName)) return -1;
    wchar_t perSlnFolder[260] = L"";
    wcscpy_s(perSlnFolder, vsPath);
    if (!KalPathCatW(perSlnFolder, folderName)) return -1;

    HANDLE vsFolder = KalOpenFolderW(vsPath);
    if (vsFolder == INVALID_HANDLE_VALUE) return -1;
    HANDLE perSln = KalOpenFolderW(perSlnFolder);
    wchar_t chosen[256] = L"";
    int fits = 0;
    if (perSln != INVALID_HANDLE_VALUE) {
        if (IsChildOf(vsFolder, perSln, folderName)) {
            HANDLE cleaning = g_settings.fDelVsFolder ? LockForCleaning(perSln) : nullptr;
            if (g_settings.fDelVsFolder) {
                RestoreParkedSuo(perSlnFolder);
                MoveAsideVersionFolders(perSln);
            }
            fits = SearchVersionFolders(perSlnFolder, chosen);
            UnlockCleaning(cleaning);
        }
        CloseHandle(perSln);
    }
    CloseHandle(vsFolder);
    if (!fits || chosen[0] == L'\0') return -1;

    return BestMatchingEditor(VersionBeginsWith, chosen + 1);
}

void PostStart(HWND dialog, int index) {
    if (index < 0) {
        PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
    } else {
        PostMessageW(dialog, UM_START_EDITOR, static_cast<WPARAM>(index), 0);
    }
}

// The .vs folder beside the solution and the name of the solution's own
// folder in it (empty when the base name is not plain). Returns 0 when a
// part does not fit: a cut path could name another folder.
int SolutionVsFolder(wchar_t (&vsPath)[260], wchar_t (&folderName)[260], int* isSlnx) {
    wchar_t drive[260] = L"";
    wchar_t directory[260] = L"";
    wchar_t baseName[260] = L"";
    wchar_t extension[260] = L"";
    if (_wsplitpath_s(g_state.szSlnPath, drive, _countof(drive), directory, _countof(directory),
                      baseName, _countof(baseName), extension, _countof(extension)) != 0 ||
        _wmakepath_s(vsPath, _countof(vsPath), drive, directory, L".vs", nullptr) != 0)
        return 0;
    *isSlnx = _wcsicmp(extension, kSlnxExtension) == 0;
    PerSolutionFolderName(baseName, extension, *isSlnx, folderName);
    return 1;
}

}  // namespace

void CleanForChosenStart() {
    wchar_t vsPath[260] = L"";
    wchar_t folderName[260] = L"";
    int isSlnx = 0;
    if (g_settings.fDelVsFolder && g_settings.VsProc == 0 &&
        SolutionVsFolder(vsPath, folderName, &isSlnx) && KalPathIsDirectoryW(vsPath))
        DecideByVersionFolder(vsPath, folderName);
}

void DecideStart(HWND dialog) {
    // The right-click verb asks the user whatever would decide; the cleaning
    // that the settings ask for waits for the user's pick.
    if (g_state.fForceChoice) {
        PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
        return;
    }
    wchar_t vsPath[260] = L"";
    wchar_t folderName[260] = L"";
    int isSlnx = 0;
    // Nothing is searched or cleaned when a part of the path does not fit,
    // and the user chooses.
    if (!SolutionVsFolder(vsPath, folderName, &isSlnx)) {
        PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
        return;
    }

    // Fixed indexes go out as stored; the start tests them against the
    // catalogue. A rule value that no dialog writes falls back to asking, so
    // the launcher never keeps running with no window to reach.
    if (KalPathIsDirectoryW(vsPath)) {
        if (g_settings.VsProc == 0) {
            PostStart(dialog, DecideByVersionFolder(vsPath, folderName));
        } else if (g_settings.VsProc == 1) {
            PostMessageW(dialog, UM_START_EDITOR, g_settings.ixVsFix, 0);
        } else {
            PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
        }
    } else if (g_settings.NoVsProc == 1) {
        PostMessageW(dialog, UM_START_EDITOR, g_settings.ixNoVsFix, 0);
    } else if (g_settings.NoVsProc == 2) {
        PostStart(dialog, EditorForSolutionFile(g_state.szSlnPath, isSlnx));
    } else {
        PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
    }
}
