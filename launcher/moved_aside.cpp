// The place in a per-solution folder where cleaning moves the contents of
// the version folders before the editor starts, and their deletion once the
// launcher's message loop has ended. Moving takes a rename per entry on the
// same volume, whatever an entry holds, so the user does not wait for the
// caches to be deleted.
//
// Each launcher that cleans makes one folder "~PikroTrash.<process id>.<n>"
// inside the per-solution folder (no name beginning with v, so it is never
// taken for a version folder). It holds a named mutex for that folder from
// before the folder exists until it has been deleted. A launcher killed in
// between leaves the folder and an abandoned mutex; the next launcher that
// cleans the solution can take the mutex and deletes the folder first. A
// folder whose mutex somebody holds belongs to a launcher still at work and
// is never touched, so no two launchers delete the same folder.
#include "launcher.h"

#include <wchar.h>

namespace {

const wchar_t kMovedAsidePrefix[] = L"~PikroTrash.";

// How many names a launcher tries for its own folder before it gives up and
// moves nothing.
const unsigned kNameAttempts = 16;

// Parses "~PikroTrash." digits "." digits; 1 with the two numbers.
int ParseMovedAsideName(const wchar_t* name, DWORD* pid, DWORD* n) {
    const size_t prefix = _countof(kMovedAsidePrefix) - 1;
    if (wcsncmp(name, kMovedAsidePrefix, prefix) != 0) return 0;
    const wchar_t* p = name + prefix;
    DWORD* numbers[2] = {pid, n};
    for (int part = 0; part < 2; ++part) {
        ULONGLONG value = 0;
        const wchar_t* digits = p;
        while (*p >= L'0' && *p <= L'9' && p - digits < 10)
            value = value * 10 + static_cast<ULONGLONG>(*p++ - L'0');
        if (p == digits || value > 0xFFFFFFFFull) return 0;
        *numbers[part] = static_cast<DWORD>(value);
        if (part == 0 && *p++ != L'.') return 0;
    }
    return *p == L'\0';
}

// The mutex that marks the folder pid.n of this per-solution folder as
// taken: named after the per-solution folder's identity and the folder's
// name, so launchers reaching the solution by different paths agree.
int MovedAsideLockName(HANDLE perSln, DWORD pid, DWORD n, wchar_t (&name)[96]) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(perSln, &info) &&
           KalSnPrintFW(name, L"Local\\PikroSuite.Trash.%08X.%08X%08X.%u.%u",
                        info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, pid,
                        n) >= 0;
}

void Remember(HANDLE folder, HANDLE lock) {
    MovedAsideFolder& slot = g_state.movedAside[g_state.nMovedAside++];
    slot.hFolder = folder;
    slot.hLock = lock;
}

}  // namespace

void AdoptLeftBehind(HANDLE perSln) {
    KalFolderListing listing;
    if (!KalListOpen(&listing, perSln)) return;
    KalFolderEntry entry;
    while (g_state.nMovedAside < kMaxMovedAside - 1 && KalListNext(&listing, &entry)) {
        DWORD pid = 0;
        DWORD n = 0;
        wchar_t lockName[96] = L"";
        if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            KalIsLink(entry.attributes, entry.reparseTag) ||
            !ParseMovedAsideName(entry.name, &pid, &n) ||
            !MovedAsideLockName(perSln, pid, n, lockName))
            continue;
        HANDLE lock = CreateMutexW(nullptr, FALSE, lockName);
        if (!lock) continue;
        // Free (its launcher ended without deleting it) or abandoned (its
        // launcher was killed): it is ours now. Held: still at work.
        const DWORD waited = WaitForSingleObject(lock, 0);
        if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
            CloseHandle(lock);
            continue;
        }
        HANDLE folder = KalOpenListedFolder(perSln, &entry, 1);
        if (folder == INVALID_HANDLE_VALUE) {
            ReleaseMutex(lock);
            CloseHandle(lock);
            continue;
        }
        Remember(folder, lock);
    }
    KalListClose(&listing);
}

HANDLE OpenMovedAsideFolder(HANDLE perSln) {
    if (g_state.hOwnMovedAside) return g_state.hOwnMovedAside;
    if (g_state.nMovedAside >= kMaxMovedAside) return nullptr;
    const DWORD pid = GetCurrentProcessId();
    for (DWORD n = 0; n < kNameAttempts; ++n) {
        wchar_t lockName[96] = L"";
        wchar_t name[64] = L"";
        if (!MovedAsideLockName(perSln, pid, n, lockName) ||
            KalSnPrintFW(name, L"%s%u.%u", kMovedAsidePrefix, pid, n) < 0)
            return nullptr;
        // The mutex comes first, so that the folder is never seen without it.
        SetLastError(ERROR_SUCCESS);
        HANDLE lock = CreateMutexW(nullptr, TRUE, lockName);
        if (!lock) return nullptr;
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            CloseHandle(lock);
            continue;
        }
        HANDLE folder = KalCreateFolderIn(perSln, name);
        if (folder == INVALID_HANDLE_VALUE) {
            ReleaseMutex(lock);
            CloseHandle(lock);
            continue;
        }
        Remember(folder, lock);
        g_state.hOwnMovedAside = folder;
        return folder;
    }
    return nullptr;
}

void DeleteMovedAside() {
    // Whatever earlier launchers left goes first, then this launcher's own.
    for (int i = 0; i < g_state.nMovedAside; ++i) {
        MovedAsideFolder& slot = g_state.movedAside[i];
        // What cannot be deleted now (a file open elsewhere) stays in the
        // folder, and the next launcher that cleans takes it up again.
        KalDeleteFolderTree(slot.hFolder);
        CloseHandle(slot.hFolder);
        ReleaseMutex(slot.hLock);
        CloseHandle(slot.hLock);
        slot.hFolder = nullptr;
        slot.hLock = nullptr;
    }
    g_state.nMovedAside = 0;
    g_state.hOwnMovedAside = nullptr;
}
