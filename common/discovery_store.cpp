// What a discovery found, and how it goes into the stored catalogue: within
// the catalogue's 32 entries, the installed editors found first, then the
// user's own additions; whatever is left out is named, never lost silently.
#include "discovery.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "catalogue.h"
#include "catalogue_lines.h"
#include "store_keys.h"

int AddFoundEditor(FoundEditors* list, const wchar_t* exePath, int fListed, int fPrerelease) {
    wchar_t szFolder[260];
    if (!exePath || wcslen(exePath) >= 260 || !FolderOfExecutable(exePath, szFolder)) return 0;
    for (int i = 0; i < list->count; ++i) {
        FoundEditor* held = &list->items[i];
        if (!IsSameFolder(held->szFolder, szFolder)) continue;
        if (fListed) {
            held->fListed = 1;
            held->fPrerelease = fPrerelease ? 1 : 0;
        }
        return 1;
    }
    if (list->count == list->capacity) {
        const int grown = list->capacity ? list->capacity * 2 : 16;
        FoundEditor* more = static_cast<FoundEditor*>(
            realloc(list->items, static_cast<size_t>(grown) * sizeof(FoundEditor)));
        if (!more) return 0;
        list->items = more;
        list->capacity = grown;
    }
    FoundEditor* added = &list->items[list->count++];
    wcscpy_s(added->szEditor, exePath);
    wcscpy_s(added->szFolder, szFolder);
    added->fListed = fListed ? 1 : 0;
    added->fPrerelease = fListed && fPrerelease ? 1 : 0;
    return 1;
}

void FreeFoundEditors(FoundEditors* list) {
    free(list->items);
    memset(list, 0, sizeof(*list));
}

namespace {

// One stored entry as the fitting sees it.
struct StoredEntry {
    wchar_t szKey[kKeyUnits];
    wchar_t szFolder[260];      // the folder its line names; "" when none fits
    wchar_t szName[kLineUnits]; // "description (folder)", or the line itself
    int present;                // 1 when its devenv.exe is there
    int found;                  // the found editor it is, or -1
    int duplicate;              // a found editor an earlier entry is already
};

// Reads a stored entry: its folder and the name it is told by.
void ReadStoredEntry(UINT number, StoredEntry* entry) {
    FormatEntryKey(entry->szKey, number);
    entry->found = -1;
    wchar_t* whole = ReadWholeLine(entry->szKey);
    if (!whole) return;
    wchar_t line[kLineUnits] = L"";
    wcsncpy_s(line, whole, _TRUNCATE);
    wcsncpy_s(entry->szName, whole, _TRUNCATE);
    free(whole);
    EntryFields fields;
    if (!SplitEntryLine(line, &fields)) return;
    const wchar_t* folder = ResolveEntryFolder(fields, &entry->present);
    if (wcslen(folder) < _countof(entry->szFolder)) wcscpy_s(entry->szFolder, folder);
    KalSnPrintFW(entry->szName, L"%s (%s)", fields.description, folder);
}

// Deletes every "Omitted*" value of the catalogue's section.
void DeleteOmittedNames() {
    const size_t prefix = wcslen(kKeyOmittedPrefix);
    wchar_t name[kKeyUnits];
    for (DWORD index = 0; KalEnumProfileKeyW(kSectVsInst, index, name);) {
        if (name[0] && _wcsnicmp(name, kKeyOmittedPrefix, prefix) == 0 &&
            KalDelProfileKeyW(kSectVsInst, name))
            continue;  // the next value now has this index
        ++index;
    }
}

// Names one editor left out, as the next "Omitted<n>".
void NameOmitted(DiscoveryState* state, const wchar_t* text) {
    wchar_t key[kKeyUnits];
    KalSnPrintFW(key, kKeyOmittedFormat, static_cast<UINT>(state->nOmitted));
    if (KalPutProfileStrW(kSectVsInst, key, text)) state->nOmitted++;
}

// Names a found editor that was never stored: its description and folder.
void NameOmittedFound(DiscoveryState* state, const FoundEditor& editor) {
    wchar_t szDescription[256] = L"";
    wchar_t szName[kLineUnits];
    KalGetVerInfoW(editor.szEditor, L"FileDescription", szDescription);
    KalSnPrintFW(szName, L"%s (%s)", szDescription[0] ? szDescription : kEditorExe,
                 editor.szFolder);
    NameOmitted(state, szName);
}

// Takes away the marks of folders no stored entry names any more, so that
// the section holds no more marks than the catalogue has entries.
void DropOrphanMarks() {
    wchar_t name[260];
    for (DWORD index = 0; index < 4096 && KalEnumProfileKeyW(kSectVsPre, index, name);) {
        wchar_t szEditor[260];
        if (name[0] && wcscpy_s(szEditor, name) == 0 && KalPathCatW(szEditor, kEditorExe) &&
            !IsEditorRegistered(szEditor) && KalDelProfileKeyW(kSectVsPre, name))
            continue;
        ++index;
    }
}

}  // namespace

int StoreFoundEditors(DiscoveryState* state) {
    state->nAdded = state->nLeftOut = state->nOmitted = 0;
    HANDLE lock = nullptr;
    if (!LockCatalogue(&lock)) return 0;
    FoundEditors* found = &state->found;
    UINT* numbers = nullptr;
    const int storedCount = StoredEntryNumbers(&numbers);
    StoredEntry* stored = static_cast<StoredEntry*>(
        calloc(static_cast<size_t>(storedCount) + 1, sizeof(StoredEntry)));
    int* storedAs = static_cast<int*>(calloc(static_cast<size_t>(found->count) + 1, sizeof(int)));
    if (!stored || !storedAs) {
        free(numbers);
        free(stored);
        free(storedAs);
        UnlockCatalogue(lock);
        return 0;
    }
    for (int j = 0; j < found->count; ++j) storedAs[j] = -1;
    for (int i = 0; i < storedCount; ++i) {
        ReadStoredEntry(numbers[i], &stored[i]);
        for (int j = 0; j < found->count && stored[i].szFolder[0]; ++j) {
            if (!IsSameFolder(stored[i].szFolder, found->items[j].szFolder)) continue;
            stored[i].found = j;
            if (storedAs[j] >= 0)
                stored[i].duplicate = 1;
            else
                storedAs[j] = i;
            break;
        }
    }
    free(numbers);

    // The found editors take the first places, in the order found; the
    // user's own additions share what is left in their stored order.
    DeleteOmittedNames();
    const int foundKept = found->count < kCatalogueSlots ? found->count : kCatalogueSlots;
    int room = kCatalogueSlots - foundKept;
    int removed = 0;
    for (int i = 0; i < storedCount; ++i) {
        const StoredEntry& entry = stored[i];
        int keep = 0;
        if (entry.duplicate)
            keep = 0;
        else if (entry.found >= 0)
            keep = entry.found < foundKept;
        else if (room > 0) {
            keep = 1;
            --room;
        }
        if (keep) continue;
        if (!KalDelProfileKeyW(kSectVsInst, entry.szKey)) continue;
        ++removed;
        if (entry.duplicate) continue;
        NameOmitted(state, entry.szName);
        if (entry.present == 1) state->nLeftOut++;
    }
    if (removed) CompactStoredCatalogue(0, nullptr);

    for (int j = 0; j < found->count; ++j) {
        const FoundEditor& editor = found->items[j];
        if (j >= foundKept) {
            if (storedAs[j] < 0) NameOmittedFound(state, editor);
            continue;
        }
        if (storedAs[j] < 0) {
            EditorEntry entry;
            ZeroMemory(&entry, sizeof(entry));
            if (RegisterEditor(editor.szEditor, &entry) > 0) {
                state->nAdded++;
            } else {
                NameOmittedFound(state, editor);
                continue;
            }
        }
        // Only a list read whole says which editors are releases now; one
        // that did not answer leaves the marks as they were.
        if (state->fListAnswered)
            MarkPrerelease(editor.szFolder, editor.fListed && editor.fPrerelease);
    }
    DropOrphanMarks();
    free(stored);
    free(storedAs);
    UnlockCatalogue(lock);
    return state->nAdded;
}
