// Folder walks through handles: emptying a folder, moving its contents
// aside, deleting a whole tree. Every entry is opened relative to the
// handle of the folder that listed it, never through a path read again
// later, never through a link, and a folder only when it is the one the
// listing named (handles.cpp). Whoever can write into a folder being walked
// can swap its subfolders for links at any moment; a walk that went by
// paths would then empty whatever the links point to.
#include "handles.h"

#include <wchar.h>

using namespace kalhandles;

namespace {

// One walk: the native calls, the guard against loops and depth, the names
// kept at the top, where moved entries go, and whether the system takes
// FileDispositionInfoEx (asked once, then remembered for the walk).
struct HandleWalk {
    NtCalls nt;
    KalWalkGuard guard;
    KalWalkFolderId top;
    DWORD volume;
    const wchar_t* const* keepNames;
    int keepCount;
    HANDLE moveTo;
    unsigned* moveCounter;
    int deleteLinks;
    int dispositionEx;
};

int StartWalk(HandleWalk* walk, HANDLE top) {
    ZeroMemory(walk, sizeof(*walk));
    walk->dispositionEx = 1;
    BY_HANDLE_FILE_INFORMATION info;
    if (!LoadNtCalls(&walk->nt) || !GetFileInformationByHandle(top, &info)) return 0;
    walk->volume = info.dwVolumeSerialNumber;
    // The top folder is known too, so that nothing inside leads back to it;
    // the chain itself holds only the folders below it.
    walk->top.volume = info.dwVolumeSerialNumber;
    walk->top.indexHigh = info.nFileIndexHigh;
    walk->top.indexLow = info.nFileIndexLow;
    return 1;
}

// 1 when the object's own name (not the listing's) is one of the kept names.
// A name that cannot be read counts as kept: the file is left alone.
int IsKeptObject(const HandleWalk* walk, HANDLE handle) {
    union {
        FILE_NAME_INFO info;
        BYTE bytes[sizeof(FILE_NAME_INFO) + 2048 * sizeof(wchar_t)];
    } name;
    if (!GetFileInformationByHandleEx(handle, FileNameInfo, &name, sizeof(name))) return 1;
    const size_t units = name.info.FileNameLength / sizeof(wchar_t);
    if (units >= 2048) return 1;
    name.info.FileName[units] = L'\0';
    const wchar_t* last = wcsrchr(name.info.FileName, L'\\');
    last = last ? last + 1 : name.info.FileName;
    for (int i = 0; i < walk->keepCount; ++i) {
        if (walk->keepNames[i] && _wcsicmp(walk->keepNames[i], last) == 0) return 1;
    }
    return 0;
}

int IsKeptListedName(const HandleWalk* walk, const wchar_t* name) {
    for (int i = 0; i < walk->keepCount; ++i) {
        if (walk->keepNames[i] && _wcsicmp(walk->keepNames[i], name) == 0) return 1;
    }
    return 0;
}

int EnterFolder(HandleWalk* walk, const KalFolderEntry* entry) {
    KalWalkGuard& guard = walk->guard;
    if (guard.depth >= KAL_WALK_MAX_DEPTH) return 0;
    const DWORD high = static_cast<DWORD>(static_cast<ULONGLONG>(entry->id) >> 32);
    const DWORD low = static_cast<DWORD>(entry->id);
    if (entry->id != 0) {
        if (walk->top.indexHigh == high && walk->top.indexLow == low) return 0;
        for (int i = 0; i < guard.depth; ++i) {
            if (guard.chain[i].volume == walk->volume && guard.chain[i].indexHigh == high &&
                guard.chain[i].indexLow == low)
                return 0;
        }
    }
    KalWalkFolderId& id = guard.chain[guard.depth++];
    id.volume = walk->volume;
    id.indexHigh = high;
    id.indexLow = low;
    return 1;
}

int MoveOrEmpty(HandleWalk* walk, HANDLE folder, int top, int moving);

int MoveChild(HandleWalk* walk, HANDLE child) {
    return MoveOpened(walk->nt, child, walk->moveTo, walk->moveCounter);
}

int DeleteChild(HandleWalk* walk, HANDLE child) {
    return DeleteOpened(child, &walk->dispositionEx);
}

// Deletes a listed file the quick way, opened for deletion on close: the
// bulk of a cache is its files, and this takes one call fewer per file than
// marking. No check of what was opened is needed: the name is looked up in
// the folder being emptied, a link there is opened and deleted as itself,
// and deleting one name of a hard-linked file leaves its other names and
// its content alone. A file that refuses (read-only, in use) goes the long
// way. Returns 1 when the file is gone.
int DeleteListedFile(HandleWalk* walk, HANDLE parent, const KalFolderEntry* entry) {
    HANDLE file = INVALID_HANDLE_VALUE;
    const int opened = OpenRelative(walk->nt, parent, entry->name, DELETE, kShareAll, FILE_OPEN,
                                    FILE_NON_DIRECTORY_FILE | FILE_DELETE_ON_CLOSE, &file);
    if (opened >= 0) {
        if (opened > 0) CloseHandle(file);
        return 1;
    }
    const int again = OpenListed(walk->nt, parent, entry, kFileAccess, kShareAll, &file);
    if (again <= 0) return again == 0;
    const int deleted = DeleteChild(walk, file);
    CloseHandle(file);
    return deleted;
}

// Deletes a listed link as itself: only when the object opened is a link
// too, which proves that the link was opened and not what it points to
// (some systems open the target all the same). Returns 1 when it was
// deleted or is gone.
int DeleteLink(HandleWalk* walk, HANDLE parent, const KalFolderEntry* entry) {
    HANDLE link = INVALID_HANDLE_VALUE;
    const int opened =
        OpenRelative(walk->nt, parent, entry->name, kFileAccess, kShareAll, FILE_OPEN, 0, &link);
    if (opened <= 0) return opened == 0;
    FILE_ATTRIBUTE_TAG_INFO tag;
    const int deleted =
        GetFileInformationByHandleEx(link, FileAttributeTagInfo, &tag, sizeof(tag)) &&
        KalIsLink(tag.FileAttributes, tag.ReparseTag) && DeleteChild(walk, link);
    CloseHandle(link);
    return deleted;
}

// Deals with one opened subfolder: moved as a whole when moving, else (or
// when it cannot move) walked into and emptied, then removed when empty.
int HandleSubfolder(HandleWalk* walk, const KalFolderEntry* entry, HANDLE child, int moving) {
    if (moving && MoveChild(walk, child)) return 1;
    // Under Wine a read-only folder refuses changes to its entries, so the
    // attribute goes before the walk into it.
    if (entry->attributes & FILE_ATTRIBUTE_READONLY)
        SetAttributes(child, entry->attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY |
                                                                     FILE_ATTRIBUTE_DIRECTORY));
    if (moving && (entry->attributes & FILE_ATTRIBUTE_READONLY) && MoveChild(walk, child)) return 1;
    if (!EnterFolder(walk, entry)) return 0;
    const int emptied = MoveOrEmpty(walk, child, 0, moving);
    --walk->guard.depth;
    return emptied && DeleteChild(walk, child);
}

// Empties the folder open as folder, or moves its entries into walk->moveTo
// when moving, but for its links and, at the top, the kept files. Returns 1
// when nothing else is left in it.
int MoveOrEmpty(HandleWalk* walk, HANDLE folder, int top, int moving) {
    KalFolderListing listing;
    if (!KalListOpen(&listing, folder)) return 0;
    int clean = 1;
    KalFolderEntry entry;
    while (KalListNext(&listing, &entry)) {
        // A link is never followed. Emptying and moving leave it where it
        // is; deleting a whole tree deletes it as a link, or leaves it.
        // Other reparse points (OneDrive's, for one) go like anything else.
        if (KalIsLink(entry.attributes, entry.reparseTag)) {
            if (walk->deleteLinks && !DeleteLink(walk, folder, &entry)) clean = 0;
            continue;
        }
        const int isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // Kept files are left untouched: not even opened for deleting.
        if (top && !isFolder && IsKeptListedName(walk, entry.name)) continue;
        if (!isFolder && !moving && !(top && walk->keepCount > 0)) {
            if (!DeleteListedFile(walk, folder, &entry)) clean = 0;
            continue;
        }
        HANDLE child = INVALID_HANDLE_VALUE;
        const int opened =
            OpenListed(walk->nt, folder, &entry, isFolder ? kFolderAccess : kFileAccess,
                       isFolder ? kShareHeld : kShareAll, &child);
        if (opened == 0) continue;  // gone already
        int done = 0;
        if (opened > 0) {
            if (isFolder) {
                done = HandleSubfolder(walk, &entry, child, moving);
            } else if (top && walk->keepCount > 0 && IsKeptObject(walk, child)) {
                done = 1;
            } else {
                done = moving ? MoveChild(walk, child) : DeleteChild(walk, child);
            }
            CloseHandle(child);
        }
        if (!done) clean = 0;
    }
    if (listing.failed || listing.skipped) clean = 0;
    KalListClose(&listing);
    return clean;
}

}  // namespace

int KalMoveAside(HANDLE folder, const wchar_t* const* keepNames, int keepCount, HANDLE moveTo,
                 unsigned* counter) {
    if (keepCount < 0 || (keepCount > 0 && !keepNames) || !counter) return 0;
    HandleWalk walk;
    if (!StartWalk(&walk, folder)) return 0;
    walk.keepNames = keepNames;
    walk.keepCount = keepCount;
    walk.moveTo = moveTo;
    walk.moveCounter = counter;
    return MoveOrEmpty(&walk, folder, 1, 1);
}

int KalDeleteFolderTree(HANDLE folder) {
    HandleWalk walk;
    if (!StartWalk(&walk, folder)) return 0;
    walk.deleteLinks = 1;
    return MoveOrEmpty(&walk, folder, 0, 0) && DeleteOpened(folder, &walk.dispositionEx);
}

int KalCleanFolderExW(const wchar_t* folder, const wchar_t* const* keepNames, int keepCount) {
    if (!folder || !folder[0] || keepCount < 0 || (keepCount > 0 && !keepNames)) return 0;
    HANDLE top = KalOpenFolderW(folder);
    if (top == INVALID_HANDLE_VALUE) return 0;
    HandleWalk walk;
    int clean = 0;
    if (StartWalk(&walk, top)) {
        walk.keepNames = keepNames;
        walk.keepCount = keepCount;
        clean = MoveOrEmpty(&walk, top, 1, 0);
    }
    CloseHandle(top);
    return clean;
}

int KalCleanFolderW(const wchar_t* folder, int reserved1, int reserved2) {
    (void)reserved1;
    (void)reserved2;
    return KalCleanFolderExW(folder, NULL, 0);
}
