// Folder walks through handles: every entry is opened relative to the handle
// of the folder that listed it, never through a path read again later, never
// through a link, and only when the object opened is the one the listing
// named. Folders are listed through their handles and entries are moved and
// deleted through theirs. Whoever can write into a folder being walked can
// swap its subfolders for links at any moment; a walk that went by paths
// would then empty whatever the links point to.
#include "KalBase32.h"

#include <winternl.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#ifndef FILE_OPEN
#define FILE_OPEN 0x00000001
#endif
#ifndef FILE_CREATE
#define FILE_CREATE 0x00000002
#endif
#ifndef FILE_DIRECTORY_FILE
#define FILE_DIRECTORY_FILE 0x00000001
#endif
#ifndef FILE_NON_DIRECTORY_FILE
#define FILE_NON_DIRECTORY_FILE 0x00000040
#endif
#ifndef FILE_SYNCHRONOUS_IO_NONALERT
#define FILE_SYNCHRONOUS_IO_NONALERT 0x00000020
#endif
#ifndef FILE_OPEN_FOR_BACKUP_INTENT
#define FILE_OPEN_FOR_BACKUP_INTENT 0x00004000
#endif
#ifndef FILE_DELETE_ON_CLOSE
#define FILE_DELETE_ON_CLOSE 0x00001000
#endif
#ifndef FILE_OPEN_REPARSE_POINT
#define FILE_OPEN_REPARSE_POINT 0x00200000
#endif

namespace {

// The few native calls that have no documented Win32 counterpart taking a
// parent handle: opening relative to a folder handle, renaming into another
// folder's handle, and reading an object's file index alone.
typedef LONG(NTAPI* NtCreateFileFn)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                    PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
typedef LONG(NTAPI* NtInformationFileFn)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, int);

const int kFileInternalInformation = 6;
const int kFileRenameInformation = 10;
// FileDispositionInfoEx (Windows 10 1809 and later) and its flags.
const FILE_INFO_BY_HANDLE_CLASS kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
const DWORD kDispositionDelete = 0x1;
const DWORD kDispositionPosixSemantics = 0x2;
const DWORD kDispositionIgnoreReadOnly = 0x10;

const LONG kStatusObjectNameNotFound = static_cast<LONG>(0xC0000034);
const LONG kStatusObjectPathNotFound = static_cast<LONG>(0xC000003A);
const LONG kStatusDeletePending = static_cast<LONG>(0xC0000056);

// Listing buffer per folder being read: large enough that a folder of
// caches is read in a few calls, small enough for a walk 64 levels deep.
const DWORD kListingBytes = 16 * 1024;

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Folders being worked in are not shared for deleting, so nobody can move
// one away (and put a link in its place) while the walk is inside it.
const DWORD kShareHeld = FILE_SHARE_READ | FILE_SHARE_WRITE;
const ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES |
                                  FILE_WRITE_ATTRIBUTES | DELETE | SYNCHRONIZE;
const ACCESS_MASK kFileAccess = FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | DELETE | SYNCHRONIZE;

struct NtCalls {
    NtCreateFileFn createFile;
    NtInformationFileFn setInformation;
    NtInformationFileFn queryInformation;
};

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

int LoadNtCalls(NtCalls* nt) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return 0;
    nt->createFile = reinterpret_cast<NtCreateFileFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")));
    nt->setInformation = reinterpret_cast<NtInformationFileFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtSetInformationFile")));
    nt->queryInformation = reinterpret_cast<NtInformationFileFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationFile")));
    return nt->createFile && nt->setInformation && nt->queryInformation;
}

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

int IsGoneStatus(LONG status) {
    return status == kStatusObjectNameNotFound || status == kStatusObjectPathNotFound ||
           status == kStatusDeletePending;
}

// Opens name inside the folder open as parent. Returns 1 with the handle,
// 0 when the entry is gone, -1 when it cannot be opened.
int OpenRelative(const NtCalls& nt, HANDLE parent, const wchar_t* name, ACCESS_MASK access,
                 DWORD share, ULONG disposition, ULONG options, HANDLE* opened) {
    *opened = INVALID_HANDLE_VALUE;
    const size_t length = wcslen(name);
    if (length == 0 || length > 255) return -1;
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<PWSTR>(name);
    objectName.Length = static_cast<USHORT>(length * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, parent, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE handle = nullptr;
    // FILE_OPEN_REPARSE_POINT: a link is opened as itself, never followed.
    const LONG status = nt.createFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, 0,
                                      share, disposition,
                                      options | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT |
                                          FILE_SYNCHRONOUS_IO_NONALERT,
                                      nullptr, 0);
    if (status >= 0) {
        *opened = handle;
        return 1;
    }
    return IsGoneStatus(status) ? 0 : -1;
}

LONGLONG FileIndexOf(const NtCalls& nt, HANDLE handle) {
    LARGE_INTEGER index;
    IO_STATUS_BLOCK io;
    if (nt.queryInformation(handle, &io, &index, sizeof(index), kFileInternalInformation) < 0)
        return -1;
    return index.QuadPart;
}

// Opens the listed entry and keeps it only when it is the object the
// listing named: the same file index (a link put in its place since is
// another object, and so is whatever a link that got followed points to),
// and for a folder a plain folder that is no link. Returns 1 with the
// handle, 0 when the entry is gone, -1 when it is refused or cannot be
// opened.
int OpenListed(const NtCalls& nt, HANDLE parent, const KalFolderEntry* entry, ACCESS_MASK access,
               DWORD share, HANDLE* opened) {
    const int folder = (entry->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const int got = OpenRelative(nt, parent, entry->name, access, share, FILE_OPEN,
                                 folder ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE, opened);
    if (got <= 0) return got;
    int same = entry->id == 0 || FileIndexOf(nt, *opened) == entry->id;
    if (same && folder) {
        FILE_ATTRIBUTE_TAG_INFO tag;
        same = GetFileInformationByHandleEx(*opened, FileAttributeTagInfo, &tag, sizeof(tag)) &&
               (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
               !(tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }
    if (!same) {
        CloseHandle(*opened);
        *opened = INVALID_HANDLE_VALUE;
        return -1;
    }
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

int SetAttributes(HANDLE handle, DWORD attributes) {
    FILE_BASIC_INFO basic;
    ZeroMemory(&basic, sizeof(basic));  // zero times: left as they are
    basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof(basic)) != 0;
}

// Marks an opened entry for deletion; it goes when its handle closes. A
// read-only file is deleted without its attribute ever changing where the
// system can (FileDispositionInfoEx); elsewhere the attribute is cleared
// for the moment of marking and put back before the handle closes, so that
// a file that is a hard link of a read-only file outside loses nothing but
// this one name.
int DeleteOpened(HandleWalk* walk, HANDLE handle) {
    if (walk->dispositionEx) {
        struct {
            DWORD Flags;
        } ex = {kDispositionDelete | kDispositionPosixSemantics | kDispositionIgnoreReadOnly};
        if (SetFileInformationByHandle(handle, kFileDispositionInfoEx, &ex, sizeof(ex))) return 1;
        const DWORD error = GetLastError();
        if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED &&
            error != ERROR_INVALID_FUNCTION)
            return 0;
        walk->dispositionEx = 0;
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition)))
        return 1;
    if (GetLastError() != ERROR_ACCESS_DENIED) return 0;
    FILE_BASIC_INFO basic;
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic)) ||
        !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return 0;
    const DWORD original = basic.FileAttributes;
    if (!SetAttributes(handle, original & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))) return 0;
    const int marked =
        SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition)) != 0;
    SetAttributes(handle, original & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    return marked;
}

// Renames the opened entry into the folder walk->moveTo under the next
// free number. Returns 1 when it moved.
int MoveOpened(HandleWalk* walk, HANDLE handle) {
    union {
        FILE_RENAME_INFO info;
        BYTE bytes[sizeof(FILE_RENAME_INFO) + 16 * sizeof(wchar_t)];
    } rename;
    for (int attempt = 0; attempt < 4; ++attempt) {
        wchar_t number[12] = L"";
        KalSnPrintFW(number, L"%u", (*walk->moveCounter)++);
        const size_t units = wcslen(number);
        ZeroMemory(&rename, sizeof(rename));
        rename.info.ReplaceIfExists = FALSE;
        rename.info.RootDirectory = walk->moveTo;
        rename.info.FileNameLength = static_cast<DWORD>(units * sizeof(wchar_t));
        wmemcpy(rename.info.FileName, number, units);
        IO_STATUS_BLOCK io;
        const LONG status =
            walk->nt.setInformation(handle, &io, &rename, sizeof(rename), kFileRenameInformation);
        if (status >= 0) return 1;
        // A number already taken (by a file put there by hand) tries the next.
        if (status != static_cast<LONG>(0xC0000035)) return 0;
    }
    return 0;
}

// Reads the next entry of a listing, "." and ".." passed over.
int NextEntry(KalFolderListing* listing, KalFolderEntry* entry) {
    for (;;) {
        if (listing->next == 0) {
            if (listing->ended) return 0;
            const FILE_INFO_BY_HANDLE_CLASS what =
                listing->started ? FileIdBothDirectoryInfo : FileIdBothDirectoryRestartInfo;
            listing->started = 1;
            if (!GetFileInformationByHandleEx(listing->folder, what, listing->buffer, kListingBytes)) {
                listing->ended = 1;
                listing->failed = GetLastError() != ERROR_NO_MORE_FILES;
                return 0;
            }
            listing->next = 1;
            listing->offset = 0;
        }
        const FILE_ID_BOTH_DIR_INFO* info =
            reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(listing->buffer + listing->offset);
        if (info->NextEntryOffset == 0) {
            listing->next = 0;
        } else {
            listing->offset += info->NextEntryOffset;
        }
        const size_t units = info->FileNameLength / sizeof(wchar_t);
        if (units == 0 || units >= _countof(entry->name)) {
            if (units != 0) listing->skipped = 1;
            continue;
        }
        wmemcpy(entry->name, info->FileName, units);
        entry->name[units] = L'\0';
        if (entry->name[0] == L'.' &&
            (units == 1 || (units == 2 && entry->name[1] == L'.')))
            continue;
        entry->attributes = info->FileAttributes;
        entry->id = info->FileId.QuadPart;
        return 1;
    }
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
    const int deleted = DeleteOpened(walk, file);
    CloseHandle(file);
    return deleted;
}

// Deletes a listed link as itself: only when the object opened carries the
// reparse-point attribute, which proves that the link was opened and not
// what it points to (some systems open the target all the same). Returns 1
// when it was deleted or is gone.
int DeleteLink(HandleWalk* walk, HANDLE parent, const KalFolderEntry* entry) {
    HANDLE link = INVALID_HANDLE_VALUE;
    const int opened = OpenRelative(walk->nt, parent, entry->name, kFileAccess, kShareAll, FILE_OPEN,
                                    0, &link);
    if (opened <= 0) return opened == 0;
    FILE_ATTRIBUTE_TAG_INFO tag;
    const int deleted =
        GetFileInformationByHandleEx(link, FileAttributeTagInfo, &tag, sizeof(tag)) &&
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && DeleteOpened(walk, link);
    CloseHandle(link);
    return deleted;
}

// Deals with one opened subfolder: moved as a whole when moving, else (or
// when it cannot move) walked into and emptied, then removed when empty.
int HandleSubfolder(HandleWalk* walk, const KalFolderEntry* entry, HANDLE child, int moving) {
    if (moving && MoveOpened(walk, child)) return 1;
    // Under Wine a read-only folder refuses changes to its entries, so the
    // attribute goes before the walk into it.
    if (entry->attributes & FILE_ATTRIBUTE_READONLY)
        SetAttributes(child, entry->attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY |
                                                                       FILE_ATTRIBUTE_DIRECTORY));
    if (moving && (entry->attributes & FILE_ATTRIBUTE_READONLY) && MoveOpened(walk, child)) return 1;
    if (!EnterFolder(walk, entry)) return 0;
    const int emptied = MoveOrEmpty(walk, child, 0, moving);
    --walk->guard.depth;
    return emptied && DeleteOpened(walk, child);
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
        if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
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
        const int opened = OpenListed(walk->nt, folder, &entry, isFolder ? kFolderAccess : kFileAccess,
                                      isFolder ? kShareHeld : kShareAll, &child);
        if (opened == 0) continue;  // gone already
        int done = 0;
        if (opened > 0) {
            if (isFolder) {
                done = HandleSubfolder(walk, &entry, child, moving);
            } else if (top && walk->keepCount > 0 && IsKeptObject(walk, child)) {
                done = 1;
            } else {
                done = moving ? MoveOpened(walk, child) : DeleteOpened(walk, child);
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

int KalListOpen(KalFolderListing* listing, HANDLE folder) {
    if (!listing) return 0;
    ZeroMemory(listing, sizeof(*listing));
    listing->folder = folder;
    listing->buffer = static_cast<BYTE*>(malloc(kListingBytes));
    return listing->buffer != nullptr;
}

int KalListNext(KalFolderListing* listing, KalFolderEntry* entry) {
    if (!listing || !listing->buffer || !entry) return 0;
    return NextEntry(listing, entry);
}

void KalListClose(KalFolderListing* listing) {
    if (!listing) return;
    free(listing->buffer);
    listing->buffer = nullptr;
}

HANDLE KalOpenFolderW(const wchar_t* folder) {
    if (!folder || !folder[0]) return INVALID_HANDLE_VALUE;
    // "C:\x\" and "C:\x" name the same folder, but a trailing backslash
    // makes some systems look through a link.
    wchar_t path[1024];
    size_t length = wcsnlen(folder, _countof(path));
    if (length >= _countof(path)) return INVALID_HANDLE_VALUE;
    wmemcpy(path, folder, length + 1);
    while (length > 0 && path[length - 1] == L'\\') path[--length] = L'\0';
    if (length == 0) return INVALID_HANDLE_VALUE;
    // The attributes of the path itself are tested too: not every file
    // system opens a link itself when asked to.
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return INVALID_HANDLE_VALUE;
    HANDLE opened = CreateFileW(path, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES |
                                          SYNCHRONIZE,
                                kShareHeld, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return opened;
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!GetFileInformationByHandleEx(opened, FileAttributeTagInfo, &tag, sizeof(tag)) ||
        !(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(opened);
        return INVALID_HANDLE_VALUE;
    }
    return opened;
}

HANDLE KalOpenListedFolder(HANDLE parent, const KalFolderEntry* entry, int forDeleting) {
    NtCalls nt;
    HANDLE child = INVALID_HANDLE_VALUE;
    const ACCESS_MASK access = forDeleting ? kFolderAccess : kFolderAccess & ~static_cast<ACCESS_MASK>(DELETE);
    if (!entry || !(entry->attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (entry->attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !LoadNtCalls(&nt) ||
        OpenListed(nt, parent, entry, access, kShareHeld, &child) <= 0)
        return INVALID_HANDLE_VALUE;
    return child;
}

HANDLE KalCreateFolderIn(HANDLE parent, const wchar_t* name) {
    NtCalls nt;
    HANDLE child = INVALID_HANDLE_VALUE;
    if (!name || !LoadNtCalls(&nt) ||
        OpenRelative(nt, parent, name, kFolderAccess, kShareHeld, FILE_CREATE, FILE_DIRECTORY_FILE,
                     &child) <= 0)
        return INVALID_HANDLE_VALUE;
    return child;
}

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
    return MoveOrEmpty(&walk, folder, 0, 0) && DeleteOpened(&walk, folder);
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
