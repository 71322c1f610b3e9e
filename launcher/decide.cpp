// Start decision for a solution: which editor of the catalogue opens it, or
// whether the user has to choose. The .vs folder that Visual Studio keeps
// beside a solution names the versions that have opened it; its greatest
// version folder picks the editor, unless the settings fix one.
#include "launcher.h"
#include "store_keys.h"

#include <io.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

// How many unique names are tried for the parked .suo file before giving up.
// The process id makes the name unique among running launchers; the counter
// only steps over names that a launcher which died while cleaning left behind.
const unsigned kParkTries = 64;

// Moves the .suo file out of the way under a name of its own in the same
// folder, so that the move never crosses volumes and never meets the parked
// file of another launcher. Returns 1 and the parked path when it was moved.
int ParkSuoFile(const wchar_t* perSlnFolder, const wchar_t* suoFile, wchar_t (&parked)[260]) {
    if (!KalPathExistsW(suoFile)) return 0;
    const unsigned pid = GetCurrentProcessId();
    for (unsigned n = 0; n < kParkTries; ++n) {
        wchar_t name[64] = L"";
        if (KalSnPrintFW(name, L".suo.%u.%u.tmp", pid, n) < 0) return 0;
        wcscpy_s(parked, perSlnFolder);
        if (!KalPathCatW(parked, name)) return 0;
        if (MoveFileW(suoFile, parked)) return 1;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return 0;
    }
    return 0;
}

// Empties one version folder while the .suo file of the solution is parked.
// MoveFileW never replaces: when a new .suo file appeared in the meantime,
// the parked one stays under its parked name rather than overwrite it.
// Returns 0 when a path does not fit and nothing was touched, else 1.
int CleanVersionFolder(const wchar_t* perSlnFolder, const wchar_t* name) {
    wchar_t suoFile[260] = L"";
    wchar_t folder[260] = L"";
    wcscpy_s(suoFile, perSlnFolder);
    wcscpy_s(folder, perSlnFolder);
    if (!KalPathCatW(suoFile, L".suo") || !KalPathCatW(folder, name)) return 0;

    // A version folder that is itself a link would have its target emptied,
    // which lies outside the solution's .vs folder.
    const DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 1;

    wchar_t parked[260] = L"";
    const int moved = ParkSuoFile(perSlnFolder, suoFile, parked);
    KalCleanFolderW(folder, 0, 0);
    if (moved) MoveFileW(parked, suoFile);
    return 1;
}

// The version-folder rule: the greatest folder whose name begins with v,
// compared as text, names the version; every such folder is emptied first
// when the settings ask for it. Returns the catalogue index to start, or -1
// when the user has to choose.
int DecideByVersionFolder(const wchar_t* vsPath, const wchar_t* baseName) {
    // A path with no file name has no per-solution folder.
    if (baseName[0] == L'\0') return -1;
    wchar_t perSlnFolder[260] = L"";
    wchar_t pattern[260] = L"";
    wcscpy_s(perSlnFolder, vsPath);
    if (!KalPathCatW(perSlnFolder, baseName)) return -1;
    wcscpy_s(pattern, perSlnFolder);
    if (!KalPathCatW(pattern, L"v*")) return -1;

    wchar_t chosen[256] = L"";
    // A folder whose name or path does not fit could be the greatest one;
    // deciding without it could start the wrong editor.
    int unfit = 0;
    _wfinddata64i32_t found;
    const intptr_t search = _wfindfirst64i32(pattern, &found);
    if (search != -1) {
        do {
            if (!(found.attrib & _A_SUBDIR)) continue;
            // Short names can match the pattern when the long name does not.
            if (found.name[0] != L'v' && found.name[0] != L'V') continue;
            if (wcslen(found.name) >= _countof(chosen)) {
                unfit = 1;
                continue;
            }
            if (chosen[0] == L'\0' || _wcsicmp(found.name, chosen) > 0) wcscpy_s(chosen, found.name);
            if (g_settings.fDelVsFolder && !CleanVersionFolder(perSlnFolder, found.name)) unfit = 1;
        } while (_wfindnext64i32(search, &found) == 0);
        _findclose(search);
    }
    if (unfit || chosen[0] == L'\0') return -1;

    const wchar_t* key = chosen + 1;
    const size_t keyLength = wcslen(key);
    for (int i = 0; i < g_catalogue.count; ++i) {
        if (_wcsnicmp(g_catalogue.entries[i].version, key, keyLength) == 0) return i;
    }
    return -1;
}

void PostStart(HWND dialog, int index) {
    if (index < 0) {
        PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
    } else {
        PostMessageW(dialog, UM_START_EDITOR, static_cast<WPARAM>(index), 0);
    }
}

}  // namespace

void DecideStart(HWND dialog) {
    wchar_t drive[260] = L"";
    wchar_t directory[260] = L"";
    wchar_t baseName[260] = L"";
    wchar_t vsPath[260] = L"";
    // A part that does not fit would leave a cut path that can name another
    // folder: nothing is searched or cleaned then, and the user chooses.
    if (_wsplitpath_s(g_state.szSlnPath, drive, _countof(drive), directory, _countof(directory),
                      baseName, _countof(baseName), nullptr, 0) != 0 ||
        _wmakepath_s(vsPath, _countof(vsPath), drive, directory, L".vs", nullptr) != 0) {
        PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
        return;
    }

    // Fixed indexes go out as stored; the start tests them against the
    // catalogue. A rule value that no dialog writes falls back to asking, so
    // the launcher never keeps running with no window to reach.
    if (KalPathIsDirectoryW(vsPath)) {
        if (g_settings.VsProc == 0) {
            PostStart(dialog, DecideByVersionFolder(vsPath, baseName));
        } else if (g_settings.VsProc == 1) {
            PostMessageW(dialog, UM_START_EDITOR, g_settings.ixVsFix, 0);
        } else {
            PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
        }
    } else if (g_settings.NoVsProc == 1) {
        PostMessageW(dialog, UM_START_EDITOR, g_settings.ixNoVsFix, 0);
    } else {
        PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
    }
}
