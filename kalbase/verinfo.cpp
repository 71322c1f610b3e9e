// Reads one string item of an executable's version resource, trying the
// translations the resource lists first and then the usual ones.
//
// The resource is taken straight from the file's resources (the file is
// mapped as data, none of its code runs) and its tree is walked here, never
// beyond the pages that are really mapped. A
// version resource is a tree of nodes; each node is a header of three words
// (its length in bytes, the length of its value, the type of the value: 1
// for text counted in UTF-16 units, 0 for binary data counted in bytes), a
// NUL-terminated UTF-16 key, padding to four bytes, the value, padding, and
// then its child nodes, each starting on four bytes. The files the suite
// reads come from anywhere, so every length is checked against the node
// that holds it before anything behind it is read.
#include "KalBase32.h"

#include <wchar.h>

namespace {

const size_t kHeaderBytes = 6;
// The header and the shortest key, its terminator alone. A length below it
// cannot be a node, and stepping over it might not even move forward.
const size_t kMinNodeBytes = kHeaderBytes + 2;
const WORD kTypeText = 1;
// A resource lists one or two translations; a list of thousands could only
// make the search slow.
const size_t kMaxTranslations = 64;

// The resource's bytes. Offsets count from its first byte, as the four-byte
// alignment of the nodes does.
struct VerBytes {
    const unsigned char* data;
    size_t size;
};

struct VerNode {
    size_t end;          // one past its last byte; never past its parent
    int keyEnds;         // the key's terminator lies inside the node
    size_t key;          // offset of the key
    size_t keyUnits;     // the key's length without the terminator
    size_t valueLength;  // as written: units or bytes, as the reader of the value knows
    size_t value;        // offset of the value
    size_t valueRoom;    // bytes from the value to the node's end
    size_t children;     // offset of the first child; end when there is none
};

size_t Align4(size_t offset) {
    return (offset + 3) & ~static_cast<size_t>(3);
}

// Resources are little-endian; the caller has checked that both bytes lie
// inside the resource.
WORD WordAt(const VerBytes& bytes, size_t at) {
    return static_cast<WORD>(bytes.data[at] | (bytes.data[at + 1] << 8));
}

// Reads the node at start, which must end by limit (the end of the node that
// holds it). Returns 0 when its length cannot be trusted, being too short
// for a node or running past limit: then neither it nor anything after it
// can be found.
int ReadNode(const VerBytes& bytes, size_t start, size_t limit, VerNode* node) {
    if (start > limit || limit - start < kMinNodeBytes) return 0;
    const size_t length = WordAt(bytes, start);
    if (length < kMinNodeBytes || length > limit - start) return 0;
    node->end = start + length;
    node->valueLength = WordAt(bytes, start + 2);
    const WORD type = WordAt(bytes, start + 4);
    node->key = start + kHeaderBytes;
    node->keyUnits = 0;
    node->keyEnds = 0;
    for (size_t at = node->key; at + 2 <= node->end; at += 2) {
        if (WordAt(bytes, at) == 0) {
            node->keyEnds = 1;
            break;
        }
        ++node->keyUnits;
    }
    node->value = node->end;
    node->valueRoom = 0;
    node->children = node->end;
    if (!node->keyEnds) return 1;
    const size_t value = Align4(node->key + (node->keyUnits + 1) * 2);
    if (value >= node->end) return 1;
    node->value = value;
    node->valueRoom = node->end - value;
    const size_t valueBytes = type == kTypeText ? node->valueLength * 2 : node->valueLength;
    if (valueBytes < node->valueRoom) node->children = Align4(value + valueBytes);
    if (node->children > node->end) node->children = node->end;
    return 1;
}

// Keys compare without regard to the case of A-Z, as the system's own
// version reader compares them.
wchar_t FoldAscii(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

int KeyIs(const VerBytes& bytes, const VerNode& node, const wchar_t* key) {
    size_t i = 0;
    for (; i < node.keyUnits; ++i) {
        if (key[i] == 0 ||
            FoldAscii(static_cast<wchar_t>(WordAt(bytes, node.key + i * 2))) != FoldAscii(key[i]))
            return 0;
    }
    return key[i] == 0;
}

// Finds the child of parent whose key is key. A child whose key does not
// end inside it is passed over; one whose length cannot be trusted ends the
// search. Every step moves forward by at least a node's least length, so
// the search ends within the parent.
int FindChild(const VerBytes& bytes, const VerNode& parent, const wchar_t* key, VerNode* child) {
    size_t at = parent.children;
    while (at < parent.end) {
        if (!ReadNode(bytes, at, parent.end, child)) return 0;
        if (child->keyEnds && KeyIs(bytes, *child, key)) return 1;
        at = Align4(child->end);
    }
    return 0;
}

// Copies the item of one translation's table into buf. A String value is
// counted in UTF-16 units, its terminator included or not; a count beyond
// the node is read only as far as the node goes (some linkers write the
// count in bytes). Returns 1 when the table has the item, even empty.
int ReadItem(const VerBytes& bytes, const VerNode& strings, DWORD translation, const wchar_t* item,
             wchar_t* buf, size_t size) {
    wchar_t tableKey[16];
    if (KalSnPrintFW(tableKey, L"%08X", static_cast<unsigned>(translation)) < 0) return 0;
    VerNode table;
    VerNode text;
    if (!FindChild(bytes, strings, tableKey, &table) || !FindChild(bytes, table, item, &text))
        return 0;
    size_t units = text.valueLength;
    if (units > text.valueRoom / 2) units = text.valueRoom / 2;
    size_t len = 0;
    while (len < units && len + 1 < size) {
        const wchar_t c = static_cast<wchar_t>(WordAt(bytes, text.value + len * 2));
        if (c == 0) break;
        buf[len++] = c;
    }
    buf[len] = 0;
    return 1;
}

int ReadVersionItem(const VerBytes& bytes, const wchar_t* item, wchar_t* buf, size_t size) {
    VerNode root;
    VerNode strings;
    if (!ReadNode(bytes, 0, bytes.size, &root) ||
        !FindChild(bytes, root, L"StringFileInfo", &strings))
        return 0;
    // Each translation is a language word followed by a code-page word; the
    // item's table is named by both in hexadecimal, language first.
    VerNode vars;
    VerNode list;
    if (FindChild(bytes, root, L"VarFileInfo", &vars) &&
        FindChild(bytes, vars, L"Translation", &list)) {
        size_t listBytes = list.valueLength < list.valueRoom ? list.valueLength : list.valueRoom;
        if (listBytes > kMaxTranslations * 4) listBytes = kMaxTranslations * 4;
        for (size_t at = list.value; at + 4 <= list.value + listBytes; at += 4) {
            const DWORD translation =
                (static_cast<DWORD>(WordAt(bytes, at)) << 16) | WordAt(bytes, at + 2);
            if (ReadItem(bytes, strings, translation, item, buf, size)) return 1;
        }
    }
    static const DWORD kFallbacks[] = {0x040904B0, 0x041104B0, 0x040904E4, 0x000004B0};
    for (size_t i = 0; i < _countof(kFallbacks); ++i) {
        if (ReadItem(bytes, strings, kFallbacks[i], item, buf, size)) return 1;
    }
    return 0;
}

// How many bytes from data on can be read: the committed, readable pages
// that follow one another from there, no more than wanted. The directory
// of a crafted file may declare a resource far longer than the image that
// holds it; reading by that size would run off the mapped pages.
size_t ReadableBytes(const void* data, size_t wanted) {
    const unsigned char* at = static_cast<const unsigned char*>(data);
    size_t readable = 0;
    while (readable < wanted) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(at + readable, &region, sizeof(region)) != sizeof(region)) break;
        const DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
        if (region.State != MEM_COMMIT || !(region.Protect & kReadable) ||
            (region.Protect & PAGE_GUARD))
            break;
        const unsigned char* end = static_cast<const unsigned char*>(region.BaseAddress) + region.RegionSize;
        if (end <= at + readable) break;
        readable = static_cast<size_t>(end - at);
    }
    return readable < wanted ? readable : wanted;
}

// EnumResourceNamesW callback: keeps the first version resource found.
BOOL CALLBACK TakeFirstVersion(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
    HRSRC* found = reinterpret_cast<HRSRC*>(param);
    *found = FindResourceW(module, name, type);
    return *found == NULL;
}

}  // namespace

int KalGetVerInfoW(const wchar_t* exePath, const wchar_t* item, wchar_t* buf, size_t size) {
    if (!buf || size == 0) return 0;
    buf[0] = 0;
    if (!exePath || !exePath[0] || !item || !item[0]) return 0;
    HMODULE module =
        LoadLibraryExW(exePath, NULL, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    // Systems before Vista know no image-resource mapping, and a file built
    // for another processor may refuse to be mapped as an image.
    if (!module) module = LoadLibraryExW(exePath, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 0;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_VERSION);
    if (!found)
        EnumResourceNamesW(module, RT_VERSION, TakeFirstVersion, reinterpret_cast<LONG_PTR>(&found));
    if (found) {
        HGLOBAL loaded = LoadResource(module, found);
        const void* data = loaded ? LockResource(loaded) : NULL;
        const size_t resourceBytes = data ? ReadableBytes(data, SizeofResource(module, found)) : 0;
        if (data && resourceBytes > 0) {
            const VerBytes bytes = {static_cast<const unsigned char*>(data), resourceBytes};
            if (!ReadVersionItem(bytes, item, buf, size)) buf[0] = 0;
        }
    }
    FreeLibrary(module);
    return static_cast<int>(wcslen(buf));
}
