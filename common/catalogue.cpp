// The editor catalogue: loading, sorting, registering and looking up the
// installed devenv.exe files in section VS-INST of the settings store.
#include "catalogue.h"

#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "store_keys.h"

EditorCatalogue g_catalogue;

namespace {

// A stored line is read into this many units; a line that fills it may have
// been cut, so it is never trusted.
enum { kLineUnits = 1024, kKeyUnits = 32 };

// Every change of the stored catalogue, by any program of the suite in the
// user's session, happens while holding this lock. A program that cannot
// get it in this time makes no change rather than keep the user waiting.
const wchar_t kCatalogueMutex[] = L"Local\\PikroSuite.VS-INST";
const DWORD kCatalogueLockWaitMs = 5000;

// Texts stored in place of an empty description or version. The fields are
// joined by ";" and split like wcstok, which drops empty fields, so an empty
// field would make the line unreadable.
const wchar_t kNoDescription[] = L"devenv.exe";
const wchar_t kNoVersion[] = L"0";

void FormatEntryKey(wchar_t (&key)[kKeyUnits], UINT number) {
    KalSnPrintFW(key, kKeyEntryFormat, number);
}

// The fields of one stored line. The folder is everything behind the second
// ";", since a folder may itself hold ";" (description and version never do:
// RegisterEditor replaces it). folderToken is the same text cut at a further
// ";", the reading of lines that carry anything behind the folder.
struct EntryFields {
    const wchar_t* description;
    const wchar_t* version;
    const wchar_t* folder;
    wchar_t folderToken[260];
};

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

void CopyCut(wchar_t* dest, size_t units, const wchar_t* src) {
    wcsncpy_s(dest, units, src, _TRUNCATE);
}

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

// The numbers of the entry keys stored below "Count", ascending: the
// entries the catalogue holds. Found by listing the section, so that the
// time taken follows what is stored, whatever "Count" claims. The caller
// frees *numbers. Returns how many there are.
int StoredEntryNumbers(UINT below, UINT** numbers) {
    *numbers = nullptr;
    int count = 0;
    int capacity = 0;
    wchar_t name[kKeyUnits];
    for (DWORD index = 0; KalEnumProfileKeyW(kSectVsInst, index, name); ++index) {
        UINT number = 0;
        if (!name[0] || !EntryNumberOfKey(name, &number) || number >= below) continue;
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

// Rewrites the stored catalogue under the numbers 0 to n - 1 in its order,
// without the entries whose editor is gone when dropGone is set, and makes
// "Count" n. Lines are moved whole, whatever they hold; numbers without a
// string vanish from the numbering. Runs under the catalogue lock and reads
// the store afresh, so that what another program changed meanwhile is kept.
// Returns n, or -1 when the store was left as it was. *present (may be
// null) receives how many of the n name an editor whose devenv.exe is there.
int CompactStoredCatalogue(int dropGone, int* present) {
    if (present) *present = 0;
    HANDLE lock = nullptr;
    if (!LockCatalogue(&lock)) return -1;
    UINT* numbers = nullptr;
    const UINT stored = KalGetProfileUIntW(kSectVsInst, kKeyCount, 0);
    const int found = stored ? StoredEntryNumbers(stored, &numbers) : 0;
    UINT kept = 0;
    for (int i = 0; i < found; ++i) {
        wchar_t key[kKeyUnits];
        FormatEntryKey(key, numbers[i]);
        wchar_t* line = ReadWholeLine(key);
        const int editor = line && (dropGone || present) ? StoredLineEditor(line) : -1;
        if (!line) {
            // No string: not an entry, and its number is about to be reused.
            KalDelProfileKeyW(kSectVsInst, key);
        } else if (dropGone && editor == 0) {
            KalDelProfileKeyW(kSectVsInst, key);
        } else if (numbers[i] == kept) {
            ++kept;
            if (present && editor == 1) ++*present;
        } else {
            wchar_t target[kKeyUnits];
            FormatEntryKey(target, kept);
            if (KalPutProfileStrW(kSectVsInst, target, line)) {
                KalDelProfileKeyW(kSectVsInst, key);
                ++kept;
            } else {
                // Stays where it is; the numbering from here on is kept too.
                kept = numbers[i] + 1;
            }
            if (present && editor == 1) ++*present;
        }
        free(line);
    }
    free(numbers);
    KalPutProfileUIntW(kSectVsInst, kKeyCount, kept);
    UnlockCatalogue(lock);
    return static_cast<int>(kept);
}

// Makes a description or version storable: never empty, never holding the
// field separator.
void MakeStorable(wchar_t* text, size_t units, const wchar_t* fallback) {
    for (wchar_t* p = text; *p; ++p)
        if (*p == L';') *p = L',';
    if (!text[0]) wcsncpy_s(text, units, fallback, _TRUNCATE);
}

}  // namespace

int PruneStoredCatalogue() {
    if (!KalGetProfileUIntW(kSectVsInst, kKeyCount, 0)) return 0;
    int present = 0;
    return CompactStoredCatalogue(1, &present) < 0 ? 0 : present;
}

int FolderOfExecutable(const wchar_t* exePath, wchar_t (&folder)[260]) {
    wchar_t drive[3] = L"";
    wchar_t directory[256] = L"";
    folder[0] = L'\0';
    if (!exePath) return 0;
    if (_wsplitpath_s(exePath, drive, _countof(drive), directory, _countof(directory), nullptr, 0,
                      nullptr, 0) != 0)
        return 0;
    if (_wmakepath_s(folder, drive, directory, nullptr, nullptr) != 0) {
        folder[0] = L'\0';
        return 0;
    }
    PathRemoveFileSpecW(folder);
    return 1;
}

int LoadCatalogue() {
    g_catalogue.count = 0;
    const UINT stored = KalGetProfileUIntW(kSectVsInst, kKeyCount, 0);
    UINT* numbers = nullptr;
    const int found = stored ? StoredEntryNumbers(stored, &numbers) : 0;
    int gone = 0;
    for (int i = 0; i < found && g_catalogue.count < kCatalogueSlots; ++i) {
        wchar_t key[kKeyUnits];
        wchar_t line[kLineUnits] = L"";
        FormatEntryKey(key, numbers[i]);
        const int length = KalGetProfileStrW(kSectVsInst, key, L"", line);
        EntryFields fields;
        if (length == 0 || length >= kLineUnits - 1 || !SplitEntryLine(line, &fields)) continue;
        int holds = 0;
        const wchar_t* folder = ResolveEntryFolder(fields, &holds);
        if (holds < 0) continue;  // cannot be told now: stays stored, not loaded
        if (holds == 0) {
            gone = 1;
            continue;
        }
        EditorEntry* entry = &g_catalogue.entries[g_catalogue.count];
        CopyCut(entry->description, _countof(entry->description), fields.description);
        CopyCut(entry->version, _countof(entry->version), fields.version);
        wcscpy_s(entry->folder, folder);
        ++g_catalogue.count;
    }
    free(numbers);
    // The gone editors leave the store in one rewrite under the lock, which
    // tests every entry again: another program may have pruned or added
    // meanwhile.
    if (gone) CompactStoredCatalogue(1, nullptr);
    SortCatalogue(g_catalogue.count);
    return g_catalogue.count;
}

void SortCatalogue(int n) {
    if (n < 2) return;
    if (n > kCatalogueSlots) n = kCatalogueSlots;
    EditorEntry* entries = g_catalogue.entries;
    for (int p = 0; p < n - 1; ++p) {
        for (int q = p + 1; q < n; ++q) {
            if (_wcsicmp(entries[p].description, entries[q].description) > 0) {
                EditorEntry temporary = entries[p];
                entries[p] = entries[q];
                entries[q] = temporary;
            }
        }
    }
}

int LockCatalogue(HANDLE* lock) {
    *lock = CreateMutexW(nullptr, FALSE, kCatalogueMutex);
    if (!*lock) return 0;
    const DWORD waited = WaitForSingleObject(*lock, kCatalogueLockWaitMs);
    // An abandoned lock belonged to a program that ended in the middle of a
    // change. Each value is written whole, and a rewrite left half done keeps
    // every line under some number below "Count" or above the ones in use,
    // so the lock is taken over.
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return 1;
    CloseHandle(*lock);
    *lock = nullptr;
    return 0;
}

void UnlockCatalogue(HANDLE lock) {
    if (!lock) return;
    ReleaseMutex(lock);
    CloseHandle(lock);
}

int IsEditorRegistered(const wchar_t* exePath) {
    wchar_t folder[260];
    if (!FolderOfExecutable(exePath, folder)) return 0;
    const UINT stored = KalGetProfileUIntW(kSectVsInst, kKeyCount, 0);
    UINT* numbers = nullptr;
    const int found = stored ? StoredEntryNumbers(stored, &numbers) : 0;
    int registered = 0;
    for (int i = 0; i < found && !registered; ++i) {
        wchar_t key[kKeyUnits];
        wchar_t line[kLineUnits] = L"";
        FormatEntryKey(key, numbers[i]);
        if (KalGetProfileStrW(kSectVsInst, key, L"", line) == 0) continue;
        EntryFields fields;
        if (!SplitEntryLine(line, &fields)) continue;
        int holds = 0;
        registered = IsSameFolder(folder, ResolveEntryFolder(fields, &holds));
    }
    free(numbers);
    return registered;
}

int RegisterEditor(const wchar_t* exePath, EditorEntry* entry) {
    KalGetVerInfoW(exePath, L"FileDescription", entry->description);
    KalGetVerInfoW(exePath, L"FileVersion", entry->version);
    HANDLE lock = nullptr;
    if (!FolderOfExecutable(exePath, entry->folder) || !LockCatalogue(&lock)) {
        memset(entry, 0, sizeof(*entry));
        return 0;
    }
    UINT stored = KalGetProfileUIntW(kSectVsInst, kKeyCount, 0);
    // A "Count" near the top of its range (edited by hand: no registration
    // gets there) is first brought down to the entries really stored, so
    // that the new entry lands behind them and "Count" never runs over.
    if (stored >= 0x7FFFFFFF) {
        const int compacted = CompactStoredCatalogue(0, nullptr);
        if (compacted >= 0) stored = static_cast<UINT>(compacted);
    }
    if (stored >= 0x7FFFFFFF) {
        UnlockCatalogue(lock);
        memset(entry, 0, sizeof(*entry));
        return 0;
    }
    MakeStorable(entry->description, _countof(entry->description), kNoDescription);
    MakeStorable(entry->version, _countof(entry->version), kNoVersion);
    wchar_t line[kLineUnits];
    wchar_t key[kKeyUnits];
    KalSnPrintFW(line, L"%s;%s;%s", entry->description, entry->version, entry->folder);
    FormatEntryKey(key, stored);
    KalPutProfileStrW(kSectVsInst, key, line);
    KalPutProfileUIntW(kSectVsInst, kKeyCount, stored + 1);
    UnlockCatalogue(lock);
    return static_cast<int>(stored + 1);
}
