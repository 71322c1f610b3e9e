// Registering editors in the stored catalogue and looking them up there.
#include "catalogue.h"

#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "catalogue_lines.h"
#include "store_keys.h"

namespace {

// Texts stored in place of an empty description or version. The fields are
// joined by ";" and split like wcstok, which drops empty fields, so an empty
// field would make the line unreadable.
const wchar_t kNoDescription[] = L"devenv.exe";
const wchar_t kNoVersion[] = L"0";

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

int IsEditorRegistered(const wchar_t* exePath) {
    wchar_t folder[260];
    if (!FolderOfExecutable(exePath, folder)) return 0;
    UINT* numbers = nullptr;
    const int found = StoredEntryNumbers(&numbers);
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

// The number the next entry is stored under: "Count", or behind the highest
// stored entry when "Count" is lower (absent, or edited by hand), so that no
// stored entry is ever written over. *entries receives how many entries are
// stored.
static UINT NextEntryNumber(int* entries) {
    UINT next = KalGetProfileUIntW(kSectVsInst, kKeyCount, 0);
    UINT* numbers = nullptr;
    *entries = StoredEntryNumbers(&numbers);
    if (*entries > 0 && numbers[*entries - 1] >= next) {
        next = numbers[*entries - 1] == 0xFFFFFFFFu ? 0xFFFFFFFFu : numbers[*entries - 1] + 1;
    }
    free(numbers);
    return next;
}

int RegisterEditor(const wchar_t* exePath, EditorEntry* entry) {
    KalGetVerInfoW(exePath, L"FileDescription", entry->description);
    KalGetVerInfoW(exePath, L"FileVersion", entry->version);
    entry->fPrerelease = 0;
    HANDLE lock = nullptr;
    if (!FolderOfExecutable(exePath, entry->folder) || !LockCatalogue(&lock)) {
        memset(entry, 0, sizeof(*entry));
        return 0;
    }
    int entries = 0;
    UINT stored = NextEntryNumber(&entries);
    // A number near the top of its range (edited by hand: no registration
    // gets there) is first brought down to the entries really stored, so
    // that the new entry lands behind them and "Count" never runs over.
    if (stored >= 0x7FFFFFFF) {
        const int compacted = CompactStoredCatalogue(0, nullptr);
        if (compacted >= 0) stored = static_cast<UINT>(compacted);
    }
    // The launcher holds 32 editors at most: a catalogue that stores more
    // would hide the rest from it, so none is stored beyond.
    if (stored >= 0x7FFFFFFF || entries >= kCatalogueSlots) {
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
    // A mark left by an editor that was once in this folder does not pass
    // to this one; setup marks it again when Windows lists it so.
    MarkPrerelease(entry->folder, 0);
    KalPutProfileStrW(kSectVsInst, key, line);
    KalPutProfileUIntW(kSectVsInst, kKeyCount, stored + 1);
    UnlockCatalogue(lock);
    return static_cast<int>(stored + 1);
}

// The name of a folder's mark: the folder without a trailing backslash, so
// that both spellings of one folder share it. The registry compares value
// names without regard to case, as folders compare.
static int MarkName(const wchar_t* folder, wchar_t (&name)[260]) {
    name[0] = L'\0';
    if (!folder || !folder[0] || wcscpy_s(name, folder) != 0) return 0;
    const size_t length = wcslen(name);
    if (length > 1 && name[length - 1] == L'\\') name[length - 1] = L'\0';
    return 1;
}

int MarkPrerelease(const wchar_t* folder, int fPrerelease) {
    wchar_t name[260];
    if (!MarkName(folder, name)) return 0;
    if (fPrerelease) return KalPutProfileUIntW(kSectVsPre, name, 1);
    return KalDelProfileKeyW(kSectVsPre, name);
}

int IsMarkedPrerelease(const wchar_t* folder) {
    wchar_t name[260];
    DWORD value = 0;
    return MarkName(folder, name) && KalGetProfileDwordW(kSectVsPre, name, &value) && value == 1;
}
