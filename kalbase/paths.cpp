// Path helpers: the program's own folder, joining path elements without ever
// cutting them, existence tests and the folder-walk guard.
#include "KalBase32.h"

#include <stdlib.h>
#include <wchar.h>

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
