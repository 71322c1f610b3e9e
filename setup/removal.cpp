// The removal program: gives .sln back the file type it had before setup
// and deletes everything the suite keeps in the settings store.
#include "setup.h"

#include "store_keys.h"

int RunUninstall() {
    wchar_t szType[260];
    wchar_t szCommand[324];
    ZeroMemory(szType, sizeof(szType));
    ZeroMemory(szCommand, sizeof(szCommand));

    KalSetRegMidPathW(kAppMidPath);
    KalGetProfileStrW(kSectVsInst, kKeyOrgFType, L"", szType);
    // A stored type that cmd would read as more than a name is never put on
    // a command line: the store may have been edited by anyone.
    if (szType[0] != L'\0' && ComposeAssocRestore(szType, szCommand))
        RunCommandInterpreter(szCommand);
    KalDelProfileSectW(kSectVsInst);
    KalDelProfileSectW(kSectProfiles);
    return 0;
}
