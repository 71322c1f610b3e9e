// The setup and removal programs: the setup run over the shared editor
// discovery, the .sln and .slnx associations and first settings, and
// removal.
#pragma once

#include "KalBase32.h"
#include "discovery.h"
#include "store_keys.h"

// One kind of solution file that setup associates with the launcher: its
// extension, the stored value that remembers its earlier file type, the
// suite's file type for it (each kind has its own, as Visual Studio gives
// each its own icon and name), the launcher's string that names that type
// where the remembered one had no name, and the stored value that remembers
// what the user's own classes gave the extension before a setup for one
// user.
struct SolutionKind {
    const wchar_t* extension;
    const wchar_t* orgFTypeKey;
    const wchar_t* fileType;
    int typeNameId;
    const wchar_t* userFTypeKey;
};
const int kSolutionKindCount = 2;
// .sln, then .slnx.
extern const SolutionKind kSolutionKinds[kSolutionKindCount];

// Where setup registers the suite: for everyone on the machine (its classes
// under HKEY_LOCAL_MACHINE, the association through "assoc" and "ftype"), or
// for the user running it (HKEY_CURRENT_USER only, through the registry).
enum { SETUP_SCOPE_MACHINE = 0, SETUP_SCOPE_USER = 1 };

// What a kind of solution file came to in this run.
enum {
    KIND_LEFT = 0,     // not the launcher's, and left so (no type to take over)
    KIND_TAKEN = 1,    // taken over now, or already the launcher's
    KIND_FAILED = 2    // meant to be the launcher's, but it did not take
};

// The command line of both setup programs: "/quiet" and "/user", in any
// case and order, separated by blanks.
struct SetupSwitches {
    int fQuiet;
    int fUser;
    int fMachine;
};

// The setup program's module-level record. Paths are 260 units, composed
// command lines 1024, the first line of the association's answer 324.
struct SetupState {
    int nKept;                      // editors of earlier runs that are still there
    DiscoveryState discovery;       // the walk and the list of this run
    int scope;                      // SETUP_SCOPE_MACHINE or SETUP_SCOPE_USER
    HKEY root;                      // HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER, by scope
    // the remembered file type of each kind of solution, kept across runs
    wchar_t szOrgFType[kSolutionKindCount][260];
    int kindResult[kSolutionKindCount];  // KIND_ values of this run
    wchar_t szLauncher[260];        // Pikro.exe beside the setup program
    wchar_t szCommand[1024];
    wchar_t szLine[324];
};

extern SetupState g_setup;

// What the answer of "assoc" says about .sln (or another extension).
enum {
    SLN_ASSOC_UNKNOWN = -1,  // the output could not be read or makes no sense
    SLN_ASSOC_NONE = 0,      // .sln has no file type
    SLN_ASSOC_OTHER = 1,     // .sln has a file type of its own (in the type buffer)
    SLN_ASSOC_PIKRO = 2,     // .sln is already one of ours (in the type buffer)
    SLN_ASSOC_REFUSED = 3    // a type that was cut, or is unfit for a command line
};

// --- the setup run ----------------------------------------------------------

// Drops the stored editors whose devenv.exe is gone, keeping the others
// (found by an earlier run or added by a drop) and the remembered file type
// of .sln; then runs the discovery (DiscoverInstalledEditors) through
// g_setup.discovery, adding what the catalogue does not hold yet and
// leaving out what does not fit it. Returns the number of editors the
// catalogue then holds: g_setup.nKept + g_setup.discovery.nAdded -
// g_setup.discovery.nLeftOut.
int DiscoverEditors();

// Reads the command line of a setup program into switches: each of "/quiet"
// and one of "/user" and "/machine" at most once, in any case and order,
// blanks around them. Returns 1 when that is all it holds; anything else
// leaves every switch off and returns 0, as if the program had been started
// by a double-click.
// With "/quiet" setup shows no message box, so an unattended install never
// waits for a person.
int ParseSetupSwitches(const wchar_t* cmdLine, SetupSwitches* switches);

// 1 when this process runs with administrator rights (its token elevated);
// 0 when not, or when that cannot be told.
int IsProcessElevated();

// Selects the scope in g_setup: one user when asked to (fUser) or when the
// process is not elevated (it could not write the machine's classes), else
// the machine.
void SelectScope(int fUser);

// The whole setup program; fQuiet leaves out the message boxes: the one when
// no editor is found, the one naming the editors a full catalogue left out
// and the one naming the extensions that did not take. fUser sets up for the
// current user only. Returns the exit code: 0 when set up, 1 when no editor
// was found (nothing associated or registered), 2 when an association or a
// registration did not take (the extensions listed in the store's
// "NotTaken").
int RunInstall(int fQuiet, int fUser);

// --- registry helpers ---------------------------------------------------------

// Writes a REG_SZ value (name null: the default value) of root\subKey,
// creating the key when missing. Returns 1 when written.
int PutRegText(HKEY root, const wchar_t* subKey, const wchar_t* name, const wchar_t* text);

// Reads a REG_SZ or REG_EXPAND_SZ value of root\subKey as stored, whole and
// terminated: returns its length, or -1 when it is absent, of another type
// or longer than text holds.
int GetRegText(HKEY root, const wchar_t* subKey, const wchar_t* name, wchar_t (&text)[260]);

// Deletes subKey when it holds nothing (no value, no key), then each key
// above it up to (not including) stopAt while it holds nothing, so that the
// keys setup made leave no empty parent behind.
void PruneEmptyKeys(HKEY root, const wchar_t* subKey, const wchar_t* stopAt);

// Deletes the key with everything in it, then prunes the keys above it as
// PruneEmptyKeys does.
void DeleteRegKeyUpTo(HKEY root, const wchar_t* subKey, const wchar_t* stopAt);

// "Software\Classes\<name>" and, when sub is given, "\<sub>". Returns 1
// when it fits.
int ClassKeyPath(const wchar_t* name, const wchar_t* sub, wchar_t (&path)[300]);

// A string value of a class key (subKey below Software\Classes) as the
// shell sees it, the user's classes before the machine's: the value is read
// from HKEY_CURRENT_USER's key where that holds it, else from
// HKEY_LOCAL_MACHINE's. Reads at most *bytes bytes into data, as stored
// (REG_SZ or REG_EXPAND_SZ, never expanded), and gives its type. Returns 1
// when read; a value that is there but too long or of another type counts
// as none.
int QueryShellClassValue(const wchar_t* subKey, const wchar_t* name, DWORD* type, void* data, DWORD* bytes);

// --- association ------------------------------------------------------------

// 1 when a file type name may be put on a command line for the command
// interpreter: not empty, shorter than 260 units, and free of blanks,
// control characters and the characters cmd treats specially.
int IsSafeFileType(const wchar_t* type);

// 1 when a path may be put between double quotes on such a command line:
// no double quote, no percent sign (cmd expands variables even inside
// quotes) and no control characters.
int IsQuotablePath(const wchar_t* path);

// 1 when a file type name is one of the suite's own (PikroSln, PikroSlnx),
// in any case.
int IsOurFileType(const wchar_t* type);

// What a file type name read from anywhere makes of its extension: one of
// the SLN_ASSOC_ values (an empty name is none; one that is unsafe for a
// command line is refused whole).
int ClassifyFileType(const wchar_t* type);

// Reads the first line of the answer of "assoc .sln" (of "assoc" for another
// extension when one is given), count bytes as the interpreter wrote them.
// Returns one of the SLN_ASSOC_ values; type is filled for SLN_ASSOC_OTHER
// and SLN_ASSOC_PIKRO.
int ParseAssocAnswer(const unsigned char* bytes, size_t count, wchar_t (&type)[260],
                     const wchar_t* extension = kSlnExtension);

// The commands that setup and removal give the command interpreter, for
// .sln unless another extension is given. Each returns 1, or 0 (and an
// empty buffer) when the argument is refused or the command does not fit.
int ComposeFTypeCommand(const wchar_t* fileType, const wchar_t* launcher, wchar_t (&command)[1024]);
int ComposeAssocRestore(const wchar_t* type, wchar_t (&command)[324],
                        const wchar_t* extension = kSlnExtension);

// Runs "assoc" for the kind's extension and reads its answer, straight from
// the interpreter's output, as ParseAssocAnswer does.
int QuerySlnAssociation(const SolutionKind& kind, wchar_t (&type)[260]);

// The extension's file type as the shell sees it: the default value of
// Software\Classes\<extension> in the user's classes, else in the
// machine's, read through the registry. Returns one of the SLN_ASSOC_
// values as ParseAssocAnswer does; a value that cannot be read whole, or
// that holds a control character, is refused.
int ReadShellFileType(const SolutionKind& kind, wchar_t (&type)[260]);

// Runs one command line through "<system folder>\cmd.exe /d /c" without a
// console window and waits for it to end. Returns 1 when the interpreter
// ran, 0 when it could not be started.
int RunCommandInterpreter(const wchar_t* command);

// The file type of .sln (or the one stored under key) remembered for
// removal, when the store holds one that fits type whole and is safe for a
// command line: returns 1. Otherwise returns 0 with an empty buffer.
int ReadRememberedFileType(wchar_t (&type)[260], const wchar_t* key = kKeyOrgFType);

// Associates .sln and .slnx with the launcher beside the setup program in
// the selected scope, remembering each one's previous file type only once
// the association has been read back as made, then registers the suite
// (RegisterSuite), tells the shell, and writes 0 for each of the six
// settings not stored yet. Fills g_setup.kindResult; returns the number of
// kinds that did not take.
int AssociateSolutions();

// The composed open command of the kind's type for the launcher beside this
// program ("<launcher>" "%1"), in g_setup.szCommand after "ftype <type>=";
// returns 0 when the launcher's path cannot be put on a command line.
int ComposeOurFType(const SolutionKind& kind);

// 1 when the open command of the kind's file type in the scope's classes is
// the one ComposeOurFType composed.
int OpenCommandIsOurs(const SolutionKind& kind);

// 1 when the extension, as the scope's classes hold it, names the kind's
// file type (in any case).
int ExtensionIsOurs(const SolutionKind& kind);

// --- Default apps, "Open with", App Paths -------------------------------------

// Registers the suite in the selected scope for each kind that is the
// launcher's (KIND_TAKEN): Default apps (its capabilities and
// RegisteredApplications), "Open with" (OpenWithProgids and the
// application's own key with the types it opens) and App Paths, and takes
// out what earlier versions registered and no longer should (the other
// kind's type in an extension's "Open with"). With no kind taken, removes the
// registration instead. A kind whose registration could not be written
// becomes KIND_FAILED.
void RegisterSuite();

// Removes everything RegisterSuite registers in root, with the suite's key
// there when nothing else is left in it.
void UnregisterSuite(HKEY root);

// --- the look of the suite's file types ---------------------------------------

// Gives the kind's file type in the classes of root the icon, icon handler
// and name of the type the extension had before (remembered, may be empty;
// read as the shell sees it), the suite's own where that type has none, and
// the right-click verb that shows the choice list. launcher is the quotable
// path of Pikro.exe. Returns 1 when written.
int ApplyFileTypeLook(HKEY root, const SolutionKind& kind, const wchar_t* remembered,
                      const wchar_t* launcher);

// Takes the file type out of the extension's "Open with" list among the
// classes of root, with the list and the extension's key when nothing else
// is left in them.
void RemoveOpenWithEntry(HKEY root, const wchar_t* extension, const wchar_t* fileType);

// Deletes each of the suite's file types, of this version and earlier ones,
// that no solution extension names any more, with the "Open with" entries
// that offer it. For the machine (root HKEY_LOCAL_MACHINE) from the
// machine's and the user's classes, kept while an extension in either names
// it; for one user (root HKEY_CURRENT_USER) from the user's classes only, by
// what the user's extensions name.
int RemoveUnusedFileTypes(HKEY root);

// --- removal ----------------------------------------------------------------

// The whole removal program, in the scope the switches name (fUser or
// fMachine, as the installer of each scope passes them), else in the scope
// the last setup stored; a process that is not elevated always works for its
// user. The store's sections go only when no setup of the other scope is
// left in place. Always returns 0.
int RunUninstall(int fUser, int fMachine);
