// Entries opened relative to the handle of the folder that listed them,
// checked to be the objects the listing named, and listed, moved and
// deleted through handles. Whoever can write into a folder can swap its
// entries for links at any moment; nothing here ever goes by a path read
// again later.
#include "handles.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace kalhandles {

namespace {

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

int IsGoneStatus(LONG status) {
    return status == kStatusObjectNameNotFound || status == kStatusObjectPathNotFound ||
           status == kStatusDeletePending;
}

LONGLONG FileIndexOf(const NtCalls& nt, HANDLE handle) {
    LARGE_INTEGER index;
    IO_STATUS_BLOCK io;
    if (nt.queryInformation(handle, &io, &index, sizeof(index), kFileInternalInformation) < 0)
        return -1;
    return index.QuadPart;
}

}  // namespace

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
    const LONG status = nt.createFile(
        &handle, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, share, disposition,
        options | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT |
            FILE_SYNCHRONOUS_IO_NONALERT,
        nullptr, 0);
    if (status >= 0) {
        *opened = handle;
        return 1;
    }
    return IsGoneStatus(status) ? 0 : -1;
}

// Opens the listed entry and keeps it only when it is the object the
// listing named: the same file index (a link put in its place since is
// another object, and so is whatever a link that got followed points to),
// and for a folder a folder that is no link, as the handle tells (a
// OneDrive folder is one). Returns 1 with the handle, 0 when the entry is
// gone, -1 when it is refused or cannot be opened.
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
               !KalIsLink(tag.FileAttributes, tag.ReparseTag);
    }
    if (!same) {
        CloseHandle(*opened);
        *opened = INVALID_HANDLE_VALUE;
        return -1;
    }
    return 1;
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
int DeleteOpened(HANDLE handle, int* dispositionEx) {
    if (*dispositionEx) {
        struct {
            DWORD Flags;
        } ex = {kDispositionDelete | kDispositionPosixSemantics | kDispositionIgnoreReadOnly};
        if (SetFileInformationByHandle(handle, kFileDispositionInfoEx, &ex, sizeof(ex))) return 1;
        const DWORD error = GetLastError();
        if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED &&
            error != ERROR_INVALID_FUNCTION)
            return 0;
        *dispositionEx = 0;
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
    const int marked = SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                                  sizeof(disposition)) != 0;
    SetAttributes(handle, original & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    return marked;
}

// Returns 1 when it moved.
int MoveOpened(const NtCalls& nt, HANDLE handle, HANDLE moveTo, unsigned* counter) {
    union {
        FILE_RENAME_INFO info;
        BYTE bytes[sizeof(FILE_RENAME_INFO) + 16 * sizeof(wchar_t)];
    } rename;
    for (int attempt = 0; attempt < 4; ++attempt) {
        wchar_t number[12] = L"";
        KalSnPrintFW(number, L"%u", (*counter)++);
        const size_t units = wcslen(number);
        ZeroMemory(&rename, sizeof(rename));
        rename.info.ReplaceIfExists = FALSE;
        rename.info.RootDirectory = moveTo;
        rename.info.FileNameLength = static_cast<DWORD>(units * sizeof(wchar_t));
        wmemcpy(rename.info.FileName, number, units);
        IO_STATUS_BLOCK io;
        const LONG status =
            nt.setInformation(handle, &io, &rename, sizeof(rename), kFileRenameInformation);
        if (status >= 0) return 1;
        // A number already taken (by a file put there by hand) tries the next.
        if (status != static_cast<LONG>(0xC0000035)) return 0;
    }
    return 0;
}

}  // namespace kalhandles

using namespace kalhandles;

namespace {

// Reads the next entry of a listing, "." and ".." passed over.
int NextEntry(KalFolderListing* listing, KalFolderEntry* entry) {
    for (;;) {
        if (listing->next == 0) {
            if (listing->ended) return 0;
            const FILE_INFO_BY_HANDLE_CLASS what =
                listing->started ? FileIdBothDirectoryInfo : FileIdBothDirectoryRestartInfo;
            listing->started = 1;
            if (!GetFileInformationByHandleEx(listing->folder, what, listing->buffer,
                                              kListingBytes)) {
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
        if (entry->name[0] == L'.' && (units == 1 || (units == 2 && entry->name[1] == L'.')))
            continue;
        entry->attributes = info->FileAttributes;
        entry->id = info->FileId.QuadPart;
        // For a reparse point the listing gives its tag where the size of
        // its extended attributes would stand.
        entry->reparseTag =
            (info->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? info->EaSize : 0;
        return 1;
    }
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
    // The entry at the path itself is tested too: not every file system
    // opens a link itself when asked to.
    DWORD attributes = 0;
    DWORD reparseTag = 0;
    if (!KalGetEntryInfoW(path, &attributes, &reparseTag) ||
        !(attributes & FILE_ATTRIBUTE_DIRECTORY) || KalIsLink(attributes, reparseTag))
        return INVALID_HANDLE_VALUE;
    HANDLE opened = CreateFileW(
        path, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareHeld,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return opened;
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!GetFileInformationByHandleEx(opened, FileAttributeTagInfo, &tag, sizeof(tag)) ||
        !(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        KalIsLink(tag.FileAttributes, tag.ReparseTag)) {
        CloseHandle(opened);
        return INVALID_HANDLE_VALUE;
    }
    return opened;
}

HANDLE KalOpenListedFolder(HANDLE parent, const KalFolderEntry* entry, int forDeleting) {
    NtCalls nt;
    HANDLE child = INVALID_HANDLE_VALUE;
    const ACCESS_MASK access =
        forDeleting ? kFolderAccess : kFolderAccess & ~static_cast<ACCESS_MASK>(DELETE);
    if (!entry || !(entry->attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        KalIsLink(entry->attributes, entry->reparseTag) || !LoadNtCalls(&nt) ||
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
