// Finding the installed Visual Studio editors: the "Microsoft Visual
// Studio*" folders of the system drive's two Program Files folders, and the
// instances Windows lists. What is found goes into the stored catalogue,
// which is all that the programs running the discovery share.
#pragma once

#include "KalBase32.h"

// One discovery's state; each program that runs one keeps it in its own
// record. A zeroed record is a discovery not yet begun.
struct DiscoveryState {
    int fFound;                     // the current top folder's search has found an editor
    int nEditors;                   // editors the walk found, new or stored before
    int nAdded;                     // editors this discovery added to the catalogue
    wchar_t szSystemDrive[260];
    wchar_t szTopFolder[2][260];    // "Program Files", then "Program Files (x86)"
    KalWalkGuard walk;              // the folders the walk is below
};

// Searches one folder tree depth-first for the first devenv.exe, registers
// it unless the catalogue holds it already, and sets state->fFound. Folder
// links inside the tree are not followed, a folder the search is already
// below is not searched again, nothing more than KAL_WALK_MAX_DEPTH levels
// below folder is searched, and entries whose path would not fit 260 units
// are passed over. The walk goes through state->walk, which it leaves as it
// found it.
void FindEditorInFolder(DiscoveryState* state, const wchar_t* folder);

// Searches the "Microsoft Visual Studio*" folders of one Program Files
// folder, one editor at most per such folder. Returns the number of editors
// found, whether registered now or stored before.
int SearchTopFolder(DiscoveryState* state, const wchar_t* topFolder);

// Registers every usable Visual Studio instance that Visual Studio's Setup
// Configuration server lists (complete, launchable, its devenv.exe there)
// and that the catalogue does not hold yet. Any failure, a missing server
// above all, adds nothing and says nothing. Returns how many were added.
int RegisterInstalledInstances();

// Searches "<drive>\Program Files" and "<drive>\Program Files (x86)" of the
// system drive (SystemDrive, or the Windows folder's drive when that
// variable is not set), then the instances Windows lists, registering what
// the catalogue does not hold yet. Returns state->nAdded, the number of
// editors this discovery added. The store must have been selected.
int DiscoverInstalledEditors(DiscoveryState* state);
