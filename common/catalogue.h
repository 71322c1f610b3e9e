// The editor catalogue: the installed devenv.exe files the launcher chooses
// among. Stored in section VS-INST as "Count" and one "VS%02d" line per
// editor (description;version;folder), and held by the launcher in memory as
// up to 32 entries sorted by description.
#pragma once

#include "KalBase32.h"

enum { kCatalogueSlots = 32 };

struct EditorEntry {
    wchar_t description[256];  // FileDescription of its devenv.exe
    wchar_t version[256];      // FileVersion of its devenv.exe
    wchar_t folder[260];       // the folder holding devenv.exe, no trailing backslash
    int fPrerelease;           // 1: a prerelease channel (Preview, Insiders); 0: a release
};

struct EditorCatalogue {
    EditorEntry entries[kCatalogueSlots];
    int count;
};

// The launcher's in-memory catalogue.
extern EditorCatalogue g_catalogue;

// Loads the stored catalogue into g_catalogue, sorts it and returns the
// number of entries loaded (0 to 32; further loadable entries stay stored).
// Entries are found by listing the section, never by counting up to
// "Count", whatever number it holds. An entry whose devenv.exe or folder is
// reported not found leaves the store, which is then rewritten under the
// keys 0 to Count - 1; an entry that cannot be checked now (denied,
// unreachable) stays stored, unloaded. Each entry's fPrerelease is its
// folder's mark (IsMarkedPrerelease).
int LoadCatalogue();

// Every change of the stored catalogue, by any program of the suite in the
// user's session, is made while holding this lock (a named mutex; the same
// thread may take it again). LockCatalogue waits a few seconds at most and
// returns 0 when it could not get it; UnlockCatalogue takes what it gave.
int LockCatalogue(HANDLE* lock);
void UnlockCatalogue(HANDLE lock);

// Orders the first n entries of g_catalogue by description (case-insensitive,
// A to Z folded only), by exchange sort.
void SortCatalogue(int n);

// 1 when a stored entry's folder equals the folder of exePath (A to Z
// compared without regard to case, one trailing backslash or none), else 0.
int IsEditorRegistered(const wchar_t* exePath);

// Drops the stored entries whose devenv.exe or folder is reported not found
// and renumbers the others, as loading does, under the lock. Returns how
// many stored entries name an existing devenv.exe. Writes nothing when no
// catalogue is stored.
int PruneStoredCatalogue();

// Reads the executable's description and version into entry, computes its
// folder, appends the entry to the stored catalogue as a release and returns
// the new "Count". The entry goes under "Count", or behind the highest
// stored entry when "Count" is lower, never over a stored one. Returns 0 and
// stores nothing when the path's folder does not fit an entry, the
// catalogue already stores 32 entries or its lock cannot be had.
int RegisterEditor(const wchar_t* exePath, EditorEntry* entry);

// Marks the editor in folder as a prerelease (1) or takes the mark away (0).
// Returns 1 when the store holds what was asked.
int MarkPrerelease(const wchar_t* folder, int fPrerelease);

// 1 when the store marks the editor in folder as a prerelease (a REG_DWORD
// of 1); no mark, or a mark of another type or value, is a release: 0.
int IsMarkedPrerelease(const wchar_t* folder);

// The folder of an executable path: drive and directory without the trailing
// backslash (a root keeps its backslash). Returns 1, or 0 when it does not fit.
int FolderOfExecutable(const wchar_t* exePath, wchar_t (&folder)[260]);
