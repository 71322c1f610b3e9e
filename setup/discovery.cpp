// Editor discovery: the setup program brings the stored catalogue up to
// date with the Visual Studio folders under the two Program Files folders of
// the system drive, registering the first devenv.exe of each in depth-first
// order, and with the instances Windows lists.
#include "setup.h"

#include <wchar.h>

#include "catalogue.h"
#include "settings.h"
#include "store_keys.h"

SetupState g_setup;

static const wchar_t kVsFolderPrefix[] = L"Microsoft Visual Studio";
static const size_t kVsFolderPrefixLen = _countof(kVsFolderPrefix) - 1;
static const wchar_t kNotFoundTextJa[] = L"インストール済の VisualStudio が見つかりませんでした。";
static const wchar_t kNotFoundTextEn[] = L"No installed Visual Studio was found.";
static const wchar_t kInstallCaption[] = L"PikroInstall";

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

// Registers folder\devenv.exe unless the catalogue holds it already (an
// earlier run found it). A path that does not fit, or an editor the
// catalogue refuses to store, does not end the search: a later devenv.exe
// of the same tree may still be usable.
static int RegisterFoundEditor(const wchar_t* folder) {
    wchar_t szEditor[260];
    if (wcscpy_s(szEditor, folder) != 0 || !KalPathCatW(szEditor, kEditorExe)) return 0;
    HANDLE lock = nullptr;
    if (!LockCatalogue(&lock)) return 0;
    int found = IsEditorRegistered(szEditor);
    if (!found) {
        EditorEntry entry;
        ZeroMemory(&entry, sizeof(entry));
        found = RegisterEditor(szEditor, &entry) > 0;
        if (found) g_setup.nAdded++;
    }
    UnlockCatalogue(lock);
    if (!found) return 0;
    g_setup.nEditors++;
    g_setup.fFound = 1;
    return 1;
}

void FindEditorInFolder(const wchar_t* folder) {
    wchar_t szPattern[260];
    if (g_setup.fFound) return;
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
            // drive; the editors of an install lie in real folders.
            if (IsDotEntry(data.cFileName) || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            if (!entered) {
                if (!KalWalkEnterW(&g_setup.walk, folder)) break;
                entered = 1;
            }
            wchar_t szSub[260];
            if (wcscpy_s(szSub, folder) != 0 || !KalPathCatW(szSub, data.cFileName)) continue;
            FindEditorInFolder(szSub);
        } else if (_wcsicmp(data.cFileName, kEditorExe) == 0) {
            RegisterFoundEditor(folder);
        }
    } while (!g_setup.fFound && FindNextFileW(hFind, &data));
    FindClose(hFind);
    if (entered) KalWalkLeave(&g_setup.walk);
}

int SearchTopFolder(const wchar_t* topFolder) {
    int nBefore = g_setup.nEditors;
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
        g_setup.fFound = 0;
        FindEditorInFolder(szFolder);
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
    return g_setup.nEditors - nBefore;
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
static void SearchProgramFiles() {
    // Without SystemDrive the Windows folder's drive is taken: an empty drive
    // would search the current drive instead. A value that does not fit, or
    // a Windows folder without a drive letter, leaves a drive that cannot be
    // named: it is searched nowhere.
    SetLastError(ERROR_SUCCESS);
    DWORD cch = GetEnvironmentVariableW(L"SystemDrive", g_setup.szSystemDrive,
                                        _countof(g_setup.szSystemDrive));
    if (cch >= _countof(g_setup.szSystemDrive)) return;
    if (cch == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND &&
        !GetWindowsDrive(g_setup.szSystemDrive))
        return;
    static const wchar_t* const kTopFormats[2] = {L"%s\\Program Files", L"%s\\Program Files (x86)"};
    for (int i = 0; i < 2; i++) {
        if (KalSnPrintFW(g_setup.szTopFolder[i], kTopFormats[i], g_setup.szSystemDrive) < 0) {
            g_setup.szTopFolder[i][0] = L'\0';
            continue;
        }
        SearchTopFolder(g_setup.szTopFolder[i]);
    }
}

int DiscoverEditors() {
    // What the user made stays: an editor an earlier run found or a drop
    // added is kept while its devenv.exe is there. The file type that .sln
    // had before the first setup stays too, since removal gives it back;
    // one that cannot be read whole is dropped rather than kept cut. The
    // same goes for .slnx.
    for (int i = 0; i < kSolutionKindCount; i++) {
        const wchar_t* key = kSolutionKinds[i].orgFTypeKey;
        if (!ReadRememberedFileType(g_setup.szOrgFType[i], key)) KalDelProfileKeyW(kSectVsInst, key);
    }
    g_setup.nKept = PruneStoredCatalogue();

    SearchProgramFiles();
    // Then the instances Windows lists, wherever they lie; the catalogue's
    // duplicate test passes over those the walk found.
    g_setup.nAdded += RegisterInstalledInstances();
    return g_setup.nKept + g_setup.nAdded;
}

int IsQuietSwitch(const wchar_t* cmdLine) {
    if (cmdLine == NULL) return 0;
    cmdLine += wcsspn(cmdLine, L" \t");
    static const wchar_t kQuiet[] = L"/quiet";
    const size_t length = _countof(kQuiet) - 1;
    if (_wcsnicmp(cmdLine, kQuiet, length) != 0) return 0;
    cmdLine += length;
    return cmdLine[wcsspn(cmdLine, L" \t")] == L'\0';
}

int RunInstall(int fQuiet) {
    ZeroMemory(&g_setup, sizeof(g_setup));
    KalSetRegMidPathW(kAppMidPath);
    if (DiscoverEditors() == 0) {
        if (!fQuiet) {
            MessageBoxW(NULL, KalGetLangId() == 1041 ? kNotFoundTextJa : kNotFoundTextEn,
                        kInstallCaption, MB_OK | MB_ICONERROR);
        }
        return 0;
    }
    AssociateSolutions();
    return 0;
}
