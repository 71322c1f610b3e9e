// The editor catalogue: loading, compacting, pruning and sorting the
// installed devenv.exe files stored in section VS-INST of the settings store,
// and the lock under which every change of it is made.
#include "catalogue.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "catalogue_lines.h"
#include "store_keys.h"

EditorCatalogue g_catalogue;

namespace {

// Every change of the stored catalogue, by any program of the suite in the
// user's session, happens while holding this lock. A program that cannot
// get it in this time makes no change rather than keep the user waiting.
const wchar_t kCatalogueMutex[] = L"Local\\PikroSuite.VS-INST";
const DWORD kCatalogueLockWaitMs = 5000;

}  // namespace

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
    const int found = StoredEntryNumbers(&numbers);
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

int PruneStoredCatalogue() {
    UINT* numbers = nullptr;
    const int entries = StoredEntryNumbers(&numbers);
    free(numbers);
    if (!entries && !KalGetProfileUIntW(kSectVsInst, kKeyCount, 0)) return 0;
    int present = 0;
    return CompactStoredCatalogue(1, &present) < 0 ? 0 : present;
}

int LoadCatalogue() {
    g_catalogue.count = 0;
    UINT* numbers = nullptr;
    const int found = StoredEntryNumbers(&numbers);
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
        wcsncpy_s(entry->description, fields.description, _TRUNCATE);
        wcsncpy_s(entry->version, fields.version, _TRUNCATE);
        wcscpy_s(entry->folder, folder);
        entry->fPrerelease = 0;
        ++g_catalogue.count;
    }
    free(numbers);
    // Most catalogues mark no editor: one look at the key then costs the
    // start nothing more.
    if (g_catalogue.count > 0 && KalProfileSectExistsW(kSectVsPre) == 1) {
        for (int i = 0; i < g_catalogue.count; ++i)
            g_catalogue.entries[i].fPrerelease = IsMarkedPrerelease(g_catalogue.entries[i].folder);
    }
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

