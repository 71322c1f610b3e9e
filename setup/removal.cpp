// The removal program: gives .sln and .slnx back the file types they had
// before setup, deletes the suite's file types that no extension names any
// more, everything the suite registered and everything the suite keeps in
// the settings store, in the scope the last setup worked in.
#include "setup.h"

#include <shlobj.h>
#include <wchar.h>

#include "store_keys.h"

// For the machine: "assoc" puts each remembered type back. A stored type
// that cmd would read as more than a name, or that cannot be read whole, is
// never put on a command line: the store may have been edited by anyone.
static void RestoreMachineTypes() {
    wchar_t szType[260];
    wchar_t szCommand[324];
    for (const SolutionKind& kind : kSolutionKinds) {
        if (ReadRememberedFileType(szType, kind.orgFTypeKey) &&
            ComposeAssocRestore(szType, szCommand, kind.extension))
            RunCommandInterpreter(szCommand);
    }
}

// For one user: each extension the suite took over in the user's own
// classes gets back exactly what they held, a type or nothing; an extension
// that names another type by now is left as it is.
static void RestoreUserTypes() {
    for (const SolutionKind& kind : kSolutionKinds) {
        wchar_t szKey[300];
        wchar_t szType[260];
        wchar_t szOwn[260];
        const int length = KalGetProfileStrLenW(kSectVsInst, kind.userFTypeKey);
        if (length < 0 || !ClassKeyPath(kind.extension, NULL, szKey) ||
            GetRegText(HKEY_CURRENT_USER, szKey, NULL, szOwn) <= 0 || _wcsicmp(szOwn, kind.fileType) != 0)
            continue;
        if (length == 0) {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, szKey, NULL);
            PruneEmptyKeys(HKEY_CURRENT_USER, szKey, kRegClasses);
        } else if (ReadRememberedFileType(szType, kind.userFTypeKey)) {
            PutRegText(HKEY_CURRENT_USER, szKey, NULL, szType);
        }
    }
}

// 1 when an extension of the root's classes still names the suite's type
// for it: a setup of that scope is still in place.
static int SuiteAssociatedIn(HKEY root) {
    for (const SolutionKind& kind : kSolutionKinds) {
        wchar_t szKey[300];
        wchar_t szType[260];
        if (ClassKeyPath(kind.extension, NULL, szKey) && GetRegText(root, szKey, NULL, szType) > 0 &&
            _wcsicmp(szType, kind.fileType) == 0)
            return 1;
    }
    return 0;
}

// A switch names the scope as the installer of that scope knows it; without
// one the stored scope decides. A process without administrator rights never
// works on the machine's classes.
int RunUninstall(int fUser, int fMachine) {
    KalSetRegMidPathW(kAppMidPath);
    wchar_t szScope[16];
    KalGetProfileStrW(kSectVsInst, kKeyScope, L"", szScope);
    const int fForUser =
        fUser || !IsProcessElevated() || (!fMachine && _wcsicmp(szScope, kScopeUser) == 0);
    const HKEY root = fForUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    if (fForUser)
        RestoreUserTypes();
    else
        RestoreMachineTypes();
    // A type still named (no earlier type was remembered) keeps working.
    RemoveUnusedFileTypes(root);
    UnregisterSuite(root);
    if (SuiteAssociatedIn(fForUser ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER)) {
        // The other scope's setup stays in place and keeps the editors, the
        // settings and what it remembered; only this scope's memory goes.
        for (const SolutionKind& kind : kSolutionKinds)
            KalDelProfileKeyW(kSectVsInst, fForUser ? kind.userFTypeKey : kind.orgFTypeKey);
        KalPutProfileStrW(kSectVsInst, kKeyScope, fForUser ? kScopeMachine : kScopeUser);
    } else {
        KalDelProfileSectW(kSectVsInst);
        KalDelProfileSectW(kSectProfiles);
    }
    // The capabilities of a setup for one user lay in the store's key.
    PruneEmptyKeys(HKEY_CURRENT_USER, kRegSuite, L"Software");
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, NULL, NULL);
    return 0;
}
