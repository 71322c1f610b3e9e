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
// each its own icon and name) and the launcher's string that names that
// type where the remembered one had no name.
struct SolutionKind {
    const wchar_t* extension;
    const wchar_t* orgFTypeKey;
    const wchar_t* fileType;
    int typeNameId;
};
const int kSolutionKindCount = 2;
// .sln, then .slnx.
extern const SolutionKind kSolutionKinds[kSolutionKindCount];

// The setup program's module-level record. Paths are 260 units, composed
// command lines 1024, the first line of the association's answer 324.
struct SetupState {
    int nKept;                      // editors of earlier runs that are still there
    DiscoveryState discovery;       // the walk and the list of this run
    // the remembered file type of each kind of solution, kept across runs
    wchar_t szOrgFType[kSolutionKindCount][260];
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

// 1 when the setup program's command line is the quiet switch "/quiet" (in
// any case, blanks around it allowed): setup then shows no message box, so
// an unattended install never waits for a person.
int IsQuietSwitch(const wchar_t* cmdLine);

// The whole setup program; fQuiet leaves out the message boxes: the one when
// no editor is found and the one naming the editors a full catalogue left
// out. Always returns 0.
int RunInstall(int fQuiet);

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

// Runs one command line through "<system folder>\cmd.exe /d /c" without a
// console window and waits for it to end. Returns 1 when the interpreter
// ran, 0 when it could not be started.
int RunCommandInterpreter(const wchar_t* command);

// The file type of .sln (or the one stored under key) remembered for
// removal, when the store holds one that fits type whole and is safe for a
// command line: returns 1. Otherwise returns 0 with an empty buffer.
int ReadRememberedFileType(wchar_t (&type)[260], const wchar_t* key = kKeyOrgFType);

// Associates .sln and .slnx with the launcher beside the setup program,
// remembering each one's previous file type, and writes 0 for each of the
// six settings not stored yet.
int AssociateSolutions();

// --- the look of the suite's file types ---------------------------------------

// Gives the kind's file type the icon, icon handler and name of the type the
// extension had before (remembered, may be empty), the suite's own where
// that type has none, and the right-click verb that shows the choice list.
// launcher is the quotable path of Pikro.exe. Returns 1 when written.
int ApplyFileTypeLook(const SolutionKind& kind, const wchar_t* remembered, const wchar_t* launcher);

// Deletes each of the suite's file types, of this version and earlier ones,
// that no solution extension names any more, from the machine's and the
// user's classes, with the "Open with" entries that offer it.
int RemoveUnusedFileTypes();

// --- removal ----------------------------------------------------------------

// The whole removal program; always returns 0.
int RunUninstall();
