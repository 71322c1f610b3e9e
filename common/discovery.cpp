// The walk of editor discovery: the Visual Studio folders under the two
// Program Files folders of the system drive, each searched for its first
// devenv.exe in depth-first order; then the instances Windows lists.
#include "discovery.h"

#include <wchar.h>

#include "store_keys.h"

static const wchar_t kVsFolderPrefix[] = L"Microsoft Visual Studio";
static const size_t kVsFolderPrefixLen = _countof(kVsFolderPrefix) - 1;

// Large fetches and the basic information level make a listing cost about
// what a plain walk costs; the order of the entries is the same as with the
// C runtime's search.
static HANDLE OpenListing(const wchar_t* pattern, WIN32_FIND_DATAW* data) {
    return FindFirstFileExW(pattern, FindExInfoBasic, data, FindExSearchNameMatch, NULL,
                            FIND_FIRST_EX_LARGE_FETCH);
}

static int IsDotEntry(const wchar_t* name) {
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

// Adds folder\devenv.exe to what the discovery found. A path that does not
// fit an entry does not end the search: a later devenv.exe of the same tree
// may still be usable.
static int RegisterFoundEditor(DiscoveryState* state, const wchar_t* folder) {
    wchar_t szEditor[260];
    if (wcscpy_s(szEditor, folder) != 0 || !KalPathCatW(szEditor, kEditorExe)) return 0;
    if (!AddFoundEditor(&state->found, szEditor, 0, 0)) return 0;
    state->nEditors++;
    state->fFound = 1;
    return 1;
}

void FindEditorInFolder(DiscoveryState* state, const wchar_t* folder) {
    wchar_t szPattern[260];
    if (state->fFound) return;
    if (wcscpy_s(szPattern, folder) != 0 || !KalPathCatW(szPattern, L"*")) return;

    WIN32_FIND_DATAW data;
    HANDLE hFind = OpenListing(szPattern, &data);
    if (hFind == INVALID_HANDLE_VALUE) return;
    // The folder goes on the walk's chain only when the search is about to
    // go below it: a folder without subfolders leads nowhere and cannot be
    // one the search is already below, and on some systems the identity
    // query costs as much as listing a folder. A folder the guard refuses
    // (reached again through a link that shows as a plain folder, or too
    // deep) is searched no further; reached again, what is left of it is
    // searched where it was first reached.
    int entered = 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A folder link can lead back to an ancestor or out into a whole
            // drive; the editors of an install lie in real folders (which
            // may be OneDrive's or another owner's reparse points).
            if (IsDotEntry(data.cFileName) || KalIsLink(data.dwFileAttributes, data.dwReserved0))
                continue;
            if (!entered) {
                if (!KalWalkEnterW(&state->walk, folder)) break;
                entered = 1;
            }
            wchar_t szSub[260];
            if (wcscpy_s(szSub, folder) != 0 || !KalPathCatW(szSub, data.cFileName)) continue;
            FindEditorInFolder(state, szSub);
        } else if (_wcsicmp(data.cFileName, kEditorExe) == 0) {
            RegisterFoundEditor(state, folder);
        }
    } while (!state->fFound && FindNextFileW(hFind, &data));
    FindClose(hFind);
    if (entered) KalWalkLeave(&state->walk);
}

int SearchTopFolder(DiscoveryState* state, const wchar_t* topFolder) {
    int nBefore = state->nEditors;
    wchar_t szPattern[260];
    if (wcscpy_s(szPattern, topFolder) != 0 || !KalPathCatW(szPattern, L"*")) return 0;

    WIN32_FIND_DATAW data;
    HANDLE hFind = OpenListing(szPattern, &data);
    if (hFind == INVALID_HANDLE_VALUE) return 0;
    do {
        // The Visual Studio folder itself may be a link (an install moved to
        // another drive); links are only left alone further down.
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            _wcsnicmp(data.cFileName, kVsFolderPrefix, kVsFolderPrefixLen) != 0)
            continue;
        wchar_t szFolder[260];
        if (wcscpy_s(szFolder, topFolder) != 0 || !KalPathCatW(szFolder, data.cFileName)) continue;
        state->fFound = 0;
        FindEditorInFolder(state, szFolder);
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
    return state->nEditors - nBefore;
}

// The drive ("C:") of the Windows folder, which is the system drive.
static int GetWindowsDrive(wchar_t (&drive)[260]) {
    wchar_t szWindows[260];
    drive[0] = L'\0';
    UINT cch = GetWindowsDirectoryW(szWindows, _countof(szWindows));
    if (cch < 2 || cch >= _countof(szWindows) || szWindows[1] != L':') return 0;
    drive[0] = szWindows[0];
    drive[1] = L':';
    drive[2] = L'\0';
    return 1;
}

// Searches the two Program Files folders of the system drive.
static void SearchProgramFiles(DiscoveryState* state) {
    // Without SystemDrive the Windows folder's drive is taken: an empty drive
    // would search the current drive instead. A value that does not fit, or
    // a Windows folder without a drive letter, leaves a drive that cannot be
    // named: it is searched nowhere.
    SetLastError(ERROR_SUCCESS);
    DWORD cch = GetEnvironmentVariableW(L"SystemDrive", state->szSystemDrive,
                                        _countof(state->szSystemDrive));
    if (cch >= _countof(state->szSystemDrive)) return;
    if (cch == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND &&
        !GetWindowsDrive(state->szSystemDrive))
        return;
    static const wchar_t* const kTopFormats[2] = {L"%s\\Program Files", L"%s\\Program Files (x86)"};
    for (int i = 0; i < 2; i++) {
        if (KalSnPrintFW(state->szTopFolder[i], kTopFormats[i], state->szSystemDrive) < 0) {
            state->szTopFolder[i][0] = L'\0';
            continue;
        }
        SearchTopFolder(state, state->szTopFolder[i]);
    }
}

int DiscoverInstalledEditors(DiscoveryState* state) {
    SearchProgramFiles(state);
    // Then the instances Windows lists, wherever they lie; one the walk found
    // already only gets its marks.
    ListInstalledInstances(state);
    StoreFoundEditors(state);
    FreeFoundEditors(&state->found);
    return state->nAdded;
}
