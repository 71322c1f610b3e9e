// The removal program: gives .sln and .slnx back the file types they had
// before setup, deletes the suite's file types that no extension names any
// more and everything the suite keeps in the settings store.
#include "setup.h"

#include "store_keys.h"

int RunUninstall() {
    wchar_t szType[260];
    wchar_t szCommand[324];
    ZeroMemory(szType, sizeof(szType));
    ZeroMemory(szCommand, sizeof(szCommand));

    KalSetRegMidPathW(kAppMidPath);
    // A stored type that cmd would read as more than a name, or that cannot
    // be read whole, is never put on a command line: the store may have been
    // edited by anyone.
    for (const SolutionKind& kind : kSolutionKinds) {
        if (ReadRememberedFileType(szType, kind.orgFTypeKey) &&
            ComposeAssocRestore(szType, szCommand, kind.extension))
            RunCommandInterpreter(szCommand);
    }
    // A type still named (no earlier type was remembered) keeps working.
    RemoveUnusedFileTypes();
    KalDelProfileSectW(kSectVsInst);
    KalDelProfileSectW(kSectProfiles);
    return 0;
}
