// Cleaning of a solution's version folders: the caches that Visual Studio
// keeps in .vs\<solution>\v<nn> are moved aside before the editor starts
// (moved_aside.cpp deletes them after), the user's own state files beside
// them stay, and launchers that open the same solution at once take turns.
#include "launcher.h"

#include <wchar.h>

namespace {

// The files of a version folder that hold the user's own state: the options
// file (start-up project, open documents, breakpoints), the second options
// file .wsuo that Visual Studio 2026 keeps beside it, and, from Visual Studio
// 2022 17.9 on, the document layout and its backup. Cleaning is there to
// remove the caches beside them.
const wchar_t* const kUserStateFiles[] = {L".suo", L".wsuo", L"DocumentLayout.json",
                                          L"DocumentLayout.backup.json"};

// Earlier launchers parked the per-solution .suo file under
// ".suo.<process id>.<n>.tmp" while they cleaned; one that was killed then
// left it there.
const wchar_t kParkedSuoPattern[] = L".suo.*.tmp";

// How long a launcher waits for another one cleaning the same solution.
const DWORD kCleaningWaitMs = 30000;

// ".suo." digits "." digits ".tmp": the name under which a .suo file was
// parked.
int IsParkedSuoName(const wchar_t* name) {
    if (wcsncmp(name, L".suo.", 5) != 0) return 0;
    const wchar_t* p = name + 5;
    for (int part = 0; part < 2; ++part) {
        const wchar_t* digits = p;
        while (*p >= L'0' && *p <= L'9') ++p;
        if (p == digits) return 0;
        if (part == 0 && *p++ != L'.') return 0;
    }
    return wcscmp(p, L".tmp") == 0;
}

}  // namespace

// Puts back a .suo file that an earlier launcher parked and could not
// return. A parked copy goes back when the place is free; when a .suo file
// is there again, the newer of the two stays, and the parked copy never
// overwrites a newer file.
void RestoreParkedSuo(const wchar_t* perSlnFolder) {
    wchar_t pattern[260] = L"";
    wchar_t suoFile[260] = L"";
    wcscpy_s(pattern, perSlnFolder);
    wcscpy_s(suoFile, perSlnFolder);
    if (!KalPathCatW(pattern, kParkedSuoPattern) || !KalPathCatW(suoFile, L".suo")) return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            KalIsLink(found.dwFileAttributes, found.dwReserved0) ||
            !IsParkedSuoName(found.cFileName))
            continue;
        wchar_t parked[260] = L"";
        wcscpy_s(parked, perSlnFolder);
        if (!KalPathCatW(parked, found.cFileName)) continue;
        if (MoveFileW(parked, suoFile)) continue;
        WIN32_FILE_ATTRIBUTE_DATA present;
        if (!GetFileAttributesExW(suoFile, GetFileExInfoStandard, &present) ||
            (present.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (CompareFileTime(&found.ftLastWriteTime, &present.ftLastWriteTime) > 0)
            MoveFileExW(parked, suoFile, MOVEFILE_REPLACE_EXISTING);
        else
            DeleteFileW(parked);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Moves the contents of every folder whose name begins with v out of the
// per-solution folder's way, into this launcher's moved-aside folder, but
// for the user's state files, which never move, and links. A version folder
// is taken only as the plain folder the listing named, never through a
// link, and entered through its handle.
void MoveAsideVersionFolders(HANDLE perSln) {
    AdoptLeftBehind(perSln);
    KalFolderListing listing;
    if (!KalListOpen(&listing, perSln)) return;
    KalFolderEntry entry;
    while (KalListNext(&listing, &entry)) {
        if ((entry.name[0] != L'v' && entry.name[0] != L'V') ||
            !(entry.attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            KalIsLink(entry.attributes, entry.reparseTag))
            continue;
        HANDLE version = KalOpenListedFolder(perSln, &entry, 0);
        if (version == INVALID_HANDLE_VALUE) continue;
        HANDLE aside = OpenMovedAsideFolder(perSln);
        if (aside) KalMoveAside(version, kUserStateFiles, _countof(kUserStateFiles), aside,
                                &g_state.uMovedAsideCount);
        CloseHandle(version);
    }
    KalListClose(&listing);
}

// Launchers opening the same solution at once clean its version folders one
// after the other: two walks through one tree trip over each other's
// deletions and open folders and leave folders behind. The lock is named
// after the per-solution folder's identity, whatever path reached it. A
// launcher that cannot have it in this time cleans all the same.
HANDLE LockForCleaning(HANDLE perSlnFolder) {
    BY_HANDLE_FILE_INFORMATION info;
    wchar_t name[64] = L"";
    if (!GetFileInformationByHandle(perSlnFolder, &info) ||
        KalSnPrintFW(name, L"Local\\PikroSuite.Clean.%08X.%08X%08X", info.dwVolumeSerialNumber,
                     info.nFileIndexHigh, info.nFileIndexLow) < 0)
        return nullptr;
    HANDLE lock = CreateMutexW(nullptr, FALSE, name);
    if (!lock) return nullptr;
    const DWORD waited = WaitForSingleObject(lock, kCleaningWaitMs);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return lock;
    CloseHandle(lock);
    return nullptr;
}

void UnlockCleaning(HANDLE lock) {
    if (!lock) return;
    ReleaseMutex(lock);
    CloseHandle(lock);
}
