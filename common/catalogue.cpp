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

// Texts stored in place of an empty description or version. The fields are
// joined by ";" and split like wcstok, which drops empty fields, so an empty
// field would make the line unreadable.
const wchar_t kNoDescription[] = L"devenv.exe";
const wchar_t kNoVersion[] = L"0";

void FormatEntryKey(wchar_t (&key)[kKeyUnits], UINT number) {
    KalSnPrintFW(key, kKeyEntryFormat, static_cast<int>(number));
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

// 1 when folder\devenv.exe is an existing file. A folder too long to join
// gives -1: it can be neither confirmed nor ruled out.
int FolderHoldsEditor(const wchar_t* folder) {
    wchar_t path[260] = L"";
    if (wcslen(folder) >= _countof(path)) return -1;
    wcscpy_s(path, folder);
    if (!KalPathCatW(path, kEditorExe)) return -1;
    return KalPathIsFileW(path) ? 1 : 0;
}

// The folder an entry names: the text behind the second ";", or, when that
// does not hold the editor but its part before a further ";" does, that part
// (a line that carries something behind the folder). *holds is 1 when the
// folder holds devenv.exe, 0 when not, -1 when it is too long to tell.
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

void CopyCut(wchar_t* dest, size_t units, const wchar_t* src) {
    wcsncpy_s(dest, units, src, _TRUNCATE);
}

// Deletes entry number gap of stored entries and moves every entry above it
// one number down, so that the entries stay under the numbers 0 to
// "Count" - 1 and the next registration overwrites nothing.
void RemoveStoredEntry(UINT gap, UINT stored) {
    wchar_t key[kKeyUnits];
    wchar_t line[kLineUnits * 2];
    for (UINT j = gap + 1; j < stored; ++j) {
        FormatEntryKey(key, j);
        line[0] = L'\0';
        KalGetProfileStrW(kSectVsInst, key, L"", line);
        FormatEntryKey(key, j - 1);
        if (line[0])
            KalPutProfileStrW(kSectVsInst, key, line);
        else
            KalDelProfileKeyW(kSectVsInst, key);
    }
    FormatEntryKey(key, stored - 1);
    KalDelProfileKeyW(kSectVsInst, key);
    KalPutProfileUIntW(kSectVsInst, kKeyCount, stored - 1);
}

// Makes a description or version storable: never empty, never holding the
// field separator.
void MakeStorable(wchar_t* text, size_t units, const wchar_t* fallback) {
    for (wchar_t* p = text; *p; ++p)
        if (*p == L';') *p = L',';
    if (!text[0]) wcsncpy_s(text, units, fallback, _TRUNCATE);
}

}  // namespace

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
    UINT stored = KalGetProfileUIntW(kSectVsInst, kKeyCount, 0);
    if (stored == 0) {
        SortCatalogue(0);
        return 0;
    }
    // A removal moves the entries above it one number down, so the same
    // number is visited again and every entry stored at the start is seen.
    UINT i = 0;
    while (i < stored && g_catalogue.count < kCatalogueSlots) {
        wchar_t key[kKeyUnits];
        wchar_t line[kLineUnits] = L"";
        FormatEntryKey(key, i);
        int length = KalGetProfileStrW(kSectVsInst, key, L"", line);
        EntryFields fields;
        if (length == 0 || length >= kLineUnits - 1 || !SplitEntryLine(line, &fields)) {
            ++i;
            continue;
        }
        int holds = 0;
        const wchar_t* folder = ResolveEntryFolder(fields, &holds);
        if (holds < 0) {
            // Too long to test: leave it stored, load it not.
            ++i;
            continue;
        }
        if (holds == 0) {
            RemoveStoredEntry(i, stored);
            --stored;
            continue;
        }
        EditorEntry* entry = &g_catalogue.entries[g_catalogue.count];
        CopyCut(entry->description, _countof(entry->description), fields.description);
        CopyCut(entry->version, _countof(entry->version), fields.version);
        wcscpy_s(entry->folder, folder);
        ++g_catalogue.count;
        ++i;
    }
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

int IsEditorRegistered(const wchar_t* exePath) {
    wchar_t folder[260];
    if (!FolderOfExecutable(exePath, folder)) return 0;
    UINT stored = KalGetProfileUIntW(kSectVsInst, kKeyCount, 0);
    for (UINT i = 0; i < stored; ++i) {
        wchar_t key[kKeyUnits];
        wchar_t line[kLineUnits] = L"";
        FormatEntryKey(key, i);
        if (KalGetProfileStrW(kSectVsInst, key, L"", line) == 0) continue;
        EntryFields fields;
        if (!SplitEntryLine(line, &fields)) continue;
        int holds = 0;
        if (_wcsicmp(folder, ResolveEntryFolder(fields, &holds)) == 0) return 1;
    }
    return 0;
}

int RegisterEditor(const wchar_t* exePath, EditorEntry* entry) {
    KalGetVerInfoW(exePath, L"FileDescription", entry->description);
    KalGetVerInfoW(exePath, L"FileVersion", entry->version);
    UINT stored = KalGetProfileUIntW(kSectVsInst, kKeyCount, 0);
    if (!FolderOfExecutable(exePath, entry->folder) || stored >= 0x7FFFFFFF) {
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
    return static_cast<int>(stored + 1);
}
