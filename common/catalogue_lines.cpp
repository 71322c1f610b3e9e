// The stored form of the editor catalogue: entry keys and their numbers, the
// fields of one line, and the look at the folder a line names.
#include "catalogue_lines.h"

#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "store_keys.h"

void FormatEntryKey(wchar_t (&key)[kKeyUnits], UINT number) {
    KalSnPrintFW(key, kKeyEntryFormat, number);
}

// Splits line in place. Returns 1 when it holds three fields.
int SplitEntryLine(wchar_t* line, EntryFields* fields) {
    fields->description = KalStrTokW(line, L";");
    fields->version = KalStrTokW(nullptr, L";");
    fields->folder = KalStrTokW(nullptr, L"");
    fields->folderToken[0] = L'\0';
    if (!fields->description || !fields->version || !fields->folder) return 0;
    const wchar_t* cut = wcschr(fields->folder, L';');
    size_t length = cut ? static_cast<size_t>(cut - fields->folder) : wcslen(fields->folder);
    if (length == 0 || length >= _countof(fields->folderToken)) return 1;
    wmemcpy(fields->folderToken, fields->folder, length);
    fields->folderToken[length] = L'\0';
    return 1;
}

// 1 when folder\devenv.exe is an existing file; 0 when the file or its
// folder is reported not found on a drive or share that is there; -1 when
// it cannot be told: a path too long to join, a denied folder, an
// unreachable network drive, a drive that is not there now, or any other
// error. Only a 0 may cost an entry its place in the store.
int FolderHoldsEditor(const wchar_t* folder) {
    wchar_t path[260] = L"";
    if (wcslen(folder) >= _countof(path)) return -1;
    wcscpy_s(path, folder);
    if (!KalPathCatW(path, kEditorExe)) return -1;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? -1 : 1;
    // A name that no file can have (a field shifted by a ";" puts "17.0;C:"
    // in front of the folder) is as gone as one that is not there.
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
        error != ERROR_INVALID_NAME && error != ERROR_BAD_PATHNAME)
        return -1;
    // A removed USB drive or a disconnected share reports its paths as not
    // found too; the editor on it is not gone for good. A folder without a
    // root names no installed editor at all.
    wchar_t root[260] = L"";
    wcscpy_s(root, folder);
    if (!PathStripToRootW(root) || !root[0]) return 0;
    return GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES ? 0 : -1;
}

// The folder an entry names: the text behind the second ";", or, when that
// does not hold the editor but its part before a further ";" does, that part
// (a line that carries something behind the folder). *holds is 1 when the
// folder holds devenv.exe, 0 when it is gone, -1 when it cannot be told.
const wchar_t* ResolveEntryFolder(const EntryFields& fields, int* holds) {
    *holds = FolderHoldsEditor(fields.folder);
    if (*holds == 1 || !fields.folderToken[0] || wcscmp(fields.folderToken, fields.folder) == 0)
        return fields.folder;
    int tokenHolds = FolderHoldsEditor(fields.folderToken);
    if (tokenHolds == 1 || *holds == 0) {
        *holds = tokenHolds;
        return fields.folderToken;
    }
    return fields.folder;
}

// 1 when two folders are the same: A to Z compared without regard to case,
// one trailing backslash on either or none (a folder edited into the store
// by hand, or a drive's root, may carry one).
int IsSameFolder(const wchar_t* a, const wchar_t* b) {
    size_t lengthA = wcslen(a);
    size_t lengthB = wcslen(b);
    if (lengthA > 0 && a[lengthA - 1] == L'\\') --lengthA;
    if (lengthB > 0 && b[lengthB - 1] == L'\\') --lengthB;
    return lengthA == lengthB && _wcsnicmp(a, b, lengthA) == 0;
}

namespace {

// The number of an entry key: "VS" and the number as kKeyEntryFormat writes
// it (VS00 to VS99, then VS100 and on). The store's names compare without
// regard to case, as the registry's do. Returns 1 for an entry key.
int EntryNumberOfKey(const wchar_t* name, UINT* number) {
    if (_wcsnicmp(name, L"VS", 2) != 0) return 0;
    unsigned long long value = 0;
    for (const wchar_t* p = name + 2; *p; ++p) {
        if (*p < L'0' || *p > L'9') return 0;
        value = value * 10 + static_cast<unsigned>(*p - L'0');
        if (value > 0xFFFFFFFFull) return 0;
    }
    wchar_t formatted[kKeyUnits];
    FormatEntryKey(formatted, static_cast<UINT>(value));
    if (_wcsicmp(formatted, name) != 0) return 0;
    *number = static_cast<UINT>(value);
    return 1;
}

int CompareNumbers(const void* a, const void* b) {
    const UINT x = *static_cast<const UINT*>(a);
    const UINT y = *static_cast<const UINT*>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace

// The numbers of the stored entry keys, ascending: the entries the
// catalogue holds. Found by listing the section, so that the time taken
// follows what is stored and no entry is missed, whatever "Count" claims
// (absent beside a VS00, or lowered by hand). The caller frees *numbers.
// Returns how many there are.
int StoredEntryNumbers(UINT** numbers) {
    *numbers = nullptr;
    int count = 0;
    int capacity = 0;
    wchar_t name[kKeyUnits];
    for (DWORD index = 0; KalEnumProfileKeyW(kSectVsInst, index, name); ++index) {
        UINT number = 0;
        if (!name[0] || !EntryNumberOfKey(name, &number)) continue;
        if (count == capacity) {
            const int grown = capacity ? capacity * 2 : 16;
            UINT* more = static_cast<UINT*>(
                realloc(*numbers, static_cast<size_t>(grown) * sizeof(UINT)));
            if (!more) break;
            *numbers = more;
            capacity = grown;
        }
        (*numbers)[count++] = number;
    }
    if (count > 1) qsort(*numbers, static_cast<size_t>(count), sizeof(UINT), CompareNumbers);
    return count;
}

// A stored line read whole, however long, into memory the caller frees.
// NULL when the key holds no string.
wchar_t* ReadWholeLine(const wchar_t* key) {
    const int length = KalGetProfileStrLenW(kSectVsInst, key);
    if (length < 0) return nullptr;
    const size_t units = static_cast<size_t>(length) + 1;
    wchar_t* line = static_cast<wchar_t*>(calloc(units, sizeof(wchar_t)));
    if (line && KalGetProfileStrW(kSectVsInst, key, L"", line, units) != length) {
        // Changed between the two reads: not moved this time.
        free(line);
        line = nullptr;
    }
    return line;
}

// What a stored line names: 1 an editor whose devenv.exe is there, 0 one
// that is gone (its folder, or its devenv.exe, is reported not found), -1
// one that cannot be told now or a line that is no entry.
int StoredLineEditor(const wchar_t* stored) {
    wchar_t line[kLineUnits] = L"";
    if (wcslen(stored) >= _countof(line)) return -1;
    wcscpy_s(line, stored);
    EntryFields fields;
    if (!SplitEntryLine(line, &fields)) return -1;
    int holds = 0;
    ResolveEntryFolder(fields, &holds);
    return holds;
}

