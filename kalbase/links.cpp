// Which entries are links. Every walk and check of the suite asks here, so
// that all of them agree on what they step into and what they leave alone.
#include "KalBase32.h"

#include <wchar.h>

// Reparse points are more than links. The files and folders of a OneDrive
// folder, of a Projected File System (ProjFS) root, of a deduplicated volume
// or of a container (WCI) carry the attribute too, with a tag of their
// owner's, and are ordinary files and folders to everyone who reads them.
// Only a tag that is a name surrogate (symbolic links, junctions, mount
// points and their like) says that the entry stands for another one
// elsewhere. The reserved tags (0 and 1) belong to no reparse point: no file
// system stores them, so an entry that shows the attribute with one of them
// has had its tag withheld, and nothing shows that it is not a link.
int KalIsLink(DWORD attributes, DWORD reparseTag) {
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 0;
    return reparseTag <= IO_REPARSE_TAG_RESERVED_RANGE || IsReparseTagNameSurrogate(reparseTag);
}

// The attributes come from the path itself, which is answered for the entry
// and never for what a link points to; only a reparse point needs its tag,
// which the listing of its folder gives. A path that a listing would read as
// a pattern cannot be asked that way, and keeps the reserved tag.
int KalGetEntryInfoW(const wchar_t* path, DWORD* attributes, DWORD* reparseTag) {
    if (!attributes || !reparseTag) return 0;
    *attributes = INVALID_FILE_ATTRIBUTES;
    *reparseTag = IO_REPARSE_TAG_RESERVED_ZERO;
    if (!path || !path[0]) return 0;
    const DWORD found = GetFileAttributesW(path);
    if (found == INVALID_FILE_ATTRIBUTES) return 0;
    *attributes = found;
    if (!(found & FILE_ATTRIBUTE_REPARSE_POINT) || wcspbrk(path, L"*?<>\"") != nullptr) return 1;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileExW(path, FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return 1;
    FindClose(search);
    // The entry may have changed in between; what the listing says stands.
    *attributes = data.dwFileAttributes;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) *reparseTag = data.dwReserved0;
    return 1;
}
