// The stored form of the editor catalogue, shared by the code that loads and
// compacts it and the code that registers editors: the entry keys, the
// fields of one line, and whether the folder a line names still holds its
// editor.
#pragma once

#include "catalogue.h"

// A stored line is read into this many units; a line that fills it may have
// been cut, so it is never trusted.
enum { kLineUnits = 1024, kKeyUnits = 32 };

void FormatEntryKey(wchar_t (&key)[kKeyUnits], UINT number);

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
int SplitEntryLine(wchar_t* line, EntryFields* fields);

// 1 when folder\devenv.exe is an existing file; 0 when the file or its
// folder is reported not found on a drive or share that is there; -1 when
// it cannot be told. Only a 0 may cost an entry its place in the store.
int FolderHoldsEditor(const wchar_t* folder);

// The folder an entry names: the text behind the second ";", or, when that
// does not hold the editor but its part before a further ";" does, that part.
// *holds is 1 when the folder holds devenv.exe, 0 when it is gone, -1 when it
// cannot be told.
const wchar_t* ResolveEntryFolder(const EntryFields& fields, int* holds);

// 1 when two folders are the same: A to Z compared without regard to case,
// one trailing backslash on either or none.
int IsSameFolder(const wchar_t* a, const wchar_t* b);

// The numbers of the stored entry keys, ascending, found by listing the
// section whatever "Count" says. The caller frees *numbers. Returns how many
// there are.
int StoredEntryNumbers(UINT** numbers);

// A stored line read whole, however long, into memory the caller frees.
// NULL when the key holds no string.
wchar_t* ReadWholeLine(const wchar_t* key);

// What a stored line names: 1 an editor whose devenv.exe is there, 0 one
// that is gone, -1 one that cannot be told now or a line that is no entry.
int StoredLineEditor(const wchar_t* stored);

// Rewrites the stored catalogue under the numbers 0 to n - 1, without the
// gone entries when dropGone is set, under the catalogue lock. Returns n, or
// -1 when the store was left as it was; *present (may be null) receives how
// many of the n name an editor whose devenv.exe is there.
int CompactStoredCatalogue(int dropGone, int* present);
