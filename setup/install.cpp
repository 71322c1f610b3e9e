// The setup program's run: the stored catalogue is brought up to date with
// the installed editors (what the user made stays), then .sln and .slnx are
// associated with the launcher; without any editor the user is told so
// instead, unless setup runs quietly.
#include "setup.h"

#include <wchar.h>

#include "catalogue.h"
#include "store_keys.h"

SetupState g_setup;

static const wchar_t kNotFoundTextJa[] = L"インストール済の VisualStudio が見つかりませんでした。";
static const wchar_t kNotFoundTextEn[] = L"No installed Visual Studio was found.";
static const wchar_t kInstallCaption[] = L"PikroInstall";

int DiscoverEditors() {
    // What the user made stays: an editor an earlier run found or a drop
    // added is kept while its devenv.exe is there. The file type that .sln
    // had before the first setup stays too, since removal gives it back;
    // one that cannot be read whole is dropped rather than kept cut. The
    // same goes for .slnx.
    for (int i = 0; i < kSolutionKindCount; i++) {
        const wchar_t* key = kSolutionKinds[i].orgFTypeKey;
        if (!ReadRememberedFileType(g_setup.szOrgFType[i], key)) KalDelProfileKeyW(kSectVsInst, key);
    }
    g_setup.nKept = PruneStoredCatalogue();

    return g_setup.nKept + DiscoverInstalledEditors(&g_setup.discovery);
}

int IsQuietSwitch(const wchar_t* cmdLine) {
    if (cmdLine == NULL) return 0;
    cmdLine += wcsspn(cmdLine, L" \t");
    static const wchar_t kQuiet[] = L"/quiet";
    const size_t length = _countof(kQuiet) - 1;
    if (_wcsnicmp(cmdLine, kQuiet, length) != 0) return 0;
    cmdLine += length;
    return cmdLine[wcsspn(cmdLine, L" \t")] == L'\0';
}

int RunInstall(int fQuiet) {
    ZeroMemory(&g_setup, sizeof(g_setup));
    KalSetRegMidPathW(kAppMidPath);
    if (DiscoverEditors() == 0) {
        if (!fQuiet) {
            MessageBoxW(NULL, KalGetLangId() == 1041 ? kNotFoundTextJa : kNotFoundTextEn,
                        kInstallCaption, MB_OK | MB_ICONERROR);
        }
        return 0;
    }
    AssociateSolutions();
    return 0;
}
