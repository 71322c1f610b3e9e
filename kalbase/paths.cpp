// Path helpers: the program's own folder, joining path elements without ever
// cutting them, existence tests, the folder-walk guard, and emptying a folder
// but for the links inside it, which are neither followed nor removed.
#include "KalBase32.h"

#include <stdlib.h>
#include <wchar.h>

namespace {

// Longest path that the cleaning handles; longer entries are skipped (and
// the folder then does not end clean) rather than reached through a cut path.
const size_t kCleanPathUnits = 1024;

int IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// Clears the read-only attribute of an entry so that it can be deleted,
// keeping the other attributes that can be set.
void ClearReadOnly(const wchar_t* path, DWORD attributes) {
    DWORD keep = attributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY);
    SetFileAttributesW(path, keep ? keep : FILE_ATTRIBUTE_NORMAL);
}

// Another program cleaning the same folder may have removed an entry first:
// gone is as good as removed.
int IsGone(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Deletes a file. The listing's attributes say whether it is read-only; a
// delete refused with access denied also gets one retry with the attribute
// cleared, as the listing may be stale.
int RemoveFileEntry(const wchar_t* path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) ClearReadOnly(path, attributes);
    if (DeleteFileW(path) || IsGone(GetLastError())) return 1;
    if (GetLastError() != ERROR_ACCESS_DENIED) return 0;
    ClearReadOnly(path, attributes);
    return DeleteFileW(path) != 0;
}

int RemoveFolderEntry(const wchar_t* path, DWORD attributes) {
    if (RemoveDirectoryW(path) || IsGone(GetLastError())) return 1;
    if (GetLastError() != ERROR_ACCESS_DENIED) return 0;
    ClearReadOnly(path, attributes);
    return RemoveDirectoryW(path) != 0;
}

// One cleaning: the path buffer shared by every level of the walk (each
// level appends its entry's name and restores the terminator before it
// returns), the walk's guard, and the names of the files kept at the top.
struct CleanWalk {
    wchar_t path[kCleanPathUnits];
    KalWalkGuard guard;
    const wchar_t* const* keepNames;
    int keepCount;
};

int IsKeptName(const CleanWalk* walk, const wchar_t* name) {
    for (int i = 0; i < walk->keepCount; ++i) {
        if (walk->keepNames[i] && _wcsicmp(walk->keepNames[i], name) == 0) return 1;
    }
    return 0;
}

// Empties the folder whose path fills walk->path[0..len) but for its links
// and, at the top, the kept files. Returns 1 when nothing else is left in
// the folder.
//
// The folder goes on the guard's chain only when the walk is about to go
// below it, at its first subfolder: a folder without subfolders leads
// nowhere, and cannot be one the walk is already below (each of those holds
// the next), so the many folders that hold only files are spared the
// identity query, which on some systems costs as much as listing a folder.
// When the guard refuses, the folder's files still go but its subfolders
// stay.
int CleanListing(CleanWalk* walk, size_t len, int top) {
    wchar_t* path = walk->path;
    if (len + 2 >= kCleanPathUnits) return 0;
    path[len] = L'\\';
    path[len + 1] = L'*';
    path[len + 2] = 0;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileExW(path, FindExInfoBasic, &fd, FindExSearchNameMatch, NULL,
                                   FIND_FIRST_EX_LARGE_FETCH);
    path[len] = 0;
    if (find == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        return IsGone(err) || err == ERROR_NO_MORE_FILES;
    }
    int clean = 1;
    int entered = 0;  // 1: on the chain; -1: refused by the guard
    do {
        if (IsDotEntry(fd.cFileName)) continue;
        // A link stays where it is: following one would empty a folder
        // outside, and removing one can reach what it points to on some
        // file systems.
        DWORD attributes = fd.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        const int folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // Kept files are left untouched: not even their attributes change.
        if (top && !folder && IsKeptName(walk, fd.cFileName)) continue;
        if (folder && entered == 0) entered = KalWalkEnterW(&walk->guard, path) ? 1 : -1;
        size_t nameLen = wcsnlen(fd.cFileName, _countof(fd.cFileName));
        if ((folder && entered < 0) || len + 1 + nameLen >= kCleanPathUnits) {
            clean = 0;
            continue;
        }
        path[len] = L'\\';
        wmemcpy(path + len + 1, fd.cFileName, nameLen);
        path[len + 1 + nameLen] = 0;
        int removed;
        if (folder) {
            // Under Wine a read-only folder refuses changes to its entries,
            // so the attribute goes before the walk into it.
            if (attributes & FILE_ATTRIBUTE_READONLY) {
                ClearReadOnly(path, attributes);
                attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
            }
            removed = CleanListing(walk, len + 1 + nameLen, 0) && RemoveFolderEntry(path, attributes);
        } else {
            removed = RemoveFileEntry(path, attributes);
        }
        if (!removed) clean = 0;
        path[len] = 0;
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    if (entered > 0) KalWalkLeave(&walk->guard);
    return clean;
}

}  // namespace

int KalWalkEnterW(KalWalkGuard* guard, const wchar_t* folder) {
    if (!guard || !folder || !folder[0] || guard->depth < 0 || guard->depth >= KAL_WALK_MAX_DEPTH)
        return 0;
    // The folder itself is opened, not what a link in its place points to,
    // and with no right that would keep anyone from changing or removing it.
    HANDLE handle = CreateFileW(folder, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                NULL);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL known = GetFileInformationByHandle(handle, &info);
    CloseHandle(handle);
    if (!known || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    // A file system that numbers no file (index 0) cannot tell its folders
    // apart; there the depth alone bounds the walk.
    if (info.nFileIndexHigh != 0 || info.nFileIndexLow != 0) {
        for (int i = 0; i < guard->depth; ++i) {
            const KalWalkFolderId& id = guard->chain[i];
            if (id.volume == info.dwVolumeSerialNumber && id.indexHigh == info.nFileIndexHigh &&
                id.indexLow == info.nFileIndexLow)
                return 0;
        }
    }
    KalWalkFolderId& entered = guard->chain[guard->depth++];
    entered.volume = info.dwVolumeSerialNumber;
    entered.indexHigh = info.nFileIndexHigh;
    entered.indexLow = info.nFileIndexLow;
    return 1;
}

int KalWalkLeave(KalWalkGuard* guard) {
    if (!guard || guard->depth <= 0) return 0;
    --guard->depth;
    return 1;
}

int KalGetAppPathW(wchar_t* buf, size_t size) {
    if (!buf || size == 0) return 0;
    buf[0] = 0;
    // The longest path Windows hands out; a result that fills the buffer was cut.
    wchar_t module[32768];
    DWORD len = GetModuleFileNameW(NULL, module, _countof(module));
    if (len == 0 || len >= _countof(module)) return 0;
    const wchar_t* slash = wcsrchr(module, L'\\');
    if (!slash) return 0;
    size_t folderLen = static_cast<size_t>(slash - module);
    if (folderLen >= size) return 0;
    wmemcpy(buf, module, folderLen);
    buf[folderLen] = 0;
    return 1;
}

int KalPathCatW(wchar_t* buf, const wchar_t* part, size_t size) {
    if (!buf || size == 0) return 0;
    if (!part) part = L"";
    size_t left = wcsnlen(buf, size);
    if (left >= size) return 0;  // not terminated within its size
    size_t partLen = wcslen(part);
    if (left == 0) {
        if (partLen >= size) return 0;
        wmemmove(buf, part, partLen + 1);
        return 1;
    }
    while (*part == L'\\') {
        ++part;
        --partLen;
    }
    if (partLen == 0) return 1;
    size_t keep = left;
    while (keep > 0 && buf[keep - 1] == L'\\') --keep;
    if (keep + 1 + partLen >= size) return 0;
    buf[keep] = L'\\';
    wmemmove(buf + keep + 1, part, partLen);
    buf[keep + 1 + partLen] = 0;
    return 1;
}

int KalPathExistsW(const wchar_t* path) {
    if (!path || !path[0]) return 0;
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

int KalPathIsDirectoryW(const wchar_t* path) {
    if (!path || !path[0]) return 0;
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int KalPathIsFileW(const wchar_t* path) {
    if (!path || !path[0]) return 0;
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int KalCleanFolderExW(const wchar_t* folder, const wchar_t* const* keepNames, int keepCount) {
    if (!folder || !folder[0] || keepCount < 0 || (keepCount > 0 && !keepNames)) return 0;
    size_t len = wcsnlen(folder, kCleanPathUnits);
    if (len >= kCleanPathUnits) return 0;
    CleanWalk walk;
    ZeroMemory(&walk.guard, sizeof(walk.guard));
    walk.keepNames = keepNames;
    walk.keepCount = keepCount;
    wmemcpy(walk.path, folder, len + 1);
    // "C:\x\" and "C:\x" name the same folder; the walk adds its own separator.
    while (len > 0 && walk.path[len - 1] == L'\\') walk.path[--len] = 0;
    // A folder that is itself a link is not emptied: its entries belong to
    // the folder it points to.
    DWORD attributes = GetFileAttributesW(walk.path);
    if (len == 0 || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return 0;
    return CleanListing(&walk, len, 1);
}

int KalCleanFolderW(const wchar_t* folder, int reserved1, int reserved2) {
    (void)reserved1;
    (void)reserved2;
    return KalCleanFolderExW(folder, NULL, 0);
}
