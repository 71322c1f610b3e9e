// Entries opened, moved and deleted one at a time through handles: the
// pieces that the folder walks (handle_walk.cpp) and the listing and
// opening calls of the library's interface are made of. Internal to the
// library.
#pragma once

#include "KalBase32.h"

#include <winternl.h>

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

namespace kalhandles {

// The few native calls that have no documented Win32 counterpart taking a
// parent handle: opening relative to a folder handle, renaming into another
// folder's handle, and reading an object's file index alone.
typedef LONG(NTAPI* NtCreateFileFn)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                    PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
typedef LONG(NTAPI* NtInformationFileFn)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, int);

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

int LoadNtCalls(NtCalls* nt);
// Opens name inside the folder open as parent, as itself (a link is never
// followed). Returns 1 with the handle, 0 when the entry is gone, -1 when it
// cannot be opened.
int OpenRelative(const NtCalls& nt, HANDLE parent, const wchar_t* name, ACCESS_MASK access,
                 DWORD share, ULONG disposition, ULONG options, HANDLE* opened);
// Opens the listed entry only when it is the object the listing named; the
// same results as OpenRelative, -1 also when refused.
int OpenListed(const NtCalls& nt, HANDLE parent, const KalFolderEntry* entry, ACCESS_MASK access,
               DWORD share, HANDLE* opened);
int SetAttributes(HANDLE handle, DWORD attributes);
// Marks an opened entry for deletion. *dispositionEx starts at 1 and is
// cleared once the system turns FileDispositionInfoEx down.
int DeleteOpened(HANDLE handle, int* dispositionEx);
// Renames an opened entry into the folder open as moveTo under the next
// free number from *counter.
int MoveOpened(const NtCalls& nt, HANDLE handle, HANDLE moveTo, unsigned* counter);

}  // namespace kalhandles
