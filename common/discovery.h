// Finding the installed Visual Studio editors: the "Microsoft Visual
// Studio*" folders of the system drive's two Program Files folders, and the
// instances Windows lists. What is found goes into the stored catalogue,
// which is all that the programs running the discovery share.
#pragma once

#include "KalBase32.h"

// One editor a discovery found, by the walk or in Windows' list.
struct FoundEditor {
    wchar_t szEditor[260];          // its devenv.exe
    wchar_t szFolder[260];          // the folder holding it, as the catalogue stores it
    int fListed;                    // Windows' list of instances names it
    int fPrerelease;                // that list calls it a prerelease channel
};

// The editors a discovery found, each folder once, in the order found.
struct FoundEditors {
    FoundEditor* items;
    int count;
    int capacity;
};

// Adds the editor whose devenv.exe is exePath, unless the list holds its
// folder already; then an entry of Windows' list passes its marks to the one
// held. Returns 1 when the list holds it afterwards, 0 when the path's
// folder does not fit an entry or memory runs out.
int AddFoundEditor(FoundEditors* list, const wchar_t* exePath, int fListed, int fPrerelease);
void FreeFoundEditors(FoundEditors* list);

// One discovery's state; each program that runs one keeps it in its own
// record. A zeroed record is a discovery not yet begun.
struct DiscoveryState {
    int fFound;                     // the current top folder's search has found an editor
    int nEditors;                   // editors the walk found, new or stored before
    int nAdded;                     // editors this discovery added to the catalogue
    int nLeftOut;                   // stored editors it left out for want of room
    int nOmitted;                   // editors named as left out (Omitted0, ...)
    int fListAnswered;              // Windows' list was read whole in time
    int fListLate;                  // Windows' list did not answer by its deadline
    wchar_t szSystemDrive[260];
    wchar_t szTopFolder[2][260];    // "Program Files", then "Program Files (x86)"
    KalWalkGuard walk;              // the folders the walk is below
    FoundEditors found;             // what the walk and the list found
};

// How long the discovery waits for Windows' list of instances, from the
// moment it asks: a server that answers later, or never, is given up and
// the discovery goes on with what the walk found.
enum { kInstanceListDeadlineMs = 5000 };

// Searches one folder tree depth-first for the first devenv.exe, adds it to
// state->found, and sets state->fFound. Folder
// links inside the tree are not followed, a folder the search is already
// below is not searched again, nothing more than KAL_WALK_MAX_DEPTH levels
// below folder is searched, and entries whose path would not fit 260 units
// are passed over. The walk goes through state->walk, which it leaves as it
// found it.
void FindEditorInFolder(DiscoveryState* state, const wchar_t* folder);

// Searches the "Microsoft Visual Studio*" folders of one Program Files
// folder, one editor at most per such folder. Returns the number of editors
// found.
int SearchTopFolder(DiscoveryState* state, const wchar_t* topFolder);

// Adds to listed every usable Visual Studio instance that Visual Studio's
// Setup Configuration server lists (complete, launchable, its devenv.exe
// there), with whether it is a prerelease. Any failure, a missing server
// above all, adds nothing and says nothing. Returns 1 when the list was
// read to its end (also an empty or missing one), 0 when it was cut short.
// Runs on the thread that calls it; ListInstalledInstances gives it one.
int ReadInstanceList(FoundEditors* listed);

// Asks ReadInstanceList on a thread of its own and waits for it until
// kInstanceListDeadlineMs have passed. What it found is added to
// state->found only when it finished in time (state->fListAnswered);
// otherwise (state->fListLate) it is left to finish, or not, on its own,
// and nothing it does later reaches the discovery. Returns the number of
// editors taken.
int ListInstalledInstances(DiscoveryState* state);

// Brings the stored catalogue together with what the discovery found,
// within its 32 entries: the editors found come first, in the order found,
// then the stored editors nothing found (the user's own additions) in their
// stored order. Registers the new ones, marks the prerelease ones when
// Windows' list answered, and names what was left out as "Omitted0", ...
// in the catalogue's section (every earlier such name is deleted first).
// Sets state->nAdded, nLeftOut and nOmitted; returns state->nAdded.
int StoreFoundEditors(DiscoveryState* state);

// Searches "<drive>\Program Files" and "<drive>\Program Files (x86)" of the
// system drive (SystemDrive, or the Windows folder's drive when that
// variable is not set), then the instances Windows lists, and stores what
// was found (StoreFoundEditors). Returns state->nAdded, the number of
// editors this discovery added. The store must have been selected.
int DiscoverInstalledEditors(DiscoveryState* state);
