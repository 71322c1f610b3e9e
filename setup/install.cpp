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
static const wchar_t kOmittedTextJa[] =
    L"VisualStudio は 32 個までしか登録できないため、次のものを登録しませんでした。\n";
static const wchar_t kOmittedTextEn[] =
    L"The catalogue holds at most 32 editors of Visual Studio; these were left out:\n";

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

    const int nAdded = DiscoverInstalledEditors(&g_setup.discovery);
    return g_setup.nKept + nAdded - g_setup.discovery.nLeftOut;
}

// Tells the user which editors the full catalogue left out, one a line, as
// many as the message holds.
static void ShowOmittedEditors(int nOmitted) {
    wchar_t szText[4096];
    wcscpy_s(szText, KalGetLangId() == 1041 ? kOmittedTextJa : kOmittedTextEn);
    for (int i = 0; i < nOmitted; ++i) {
        wchar_t szKey[32];
        wchar_t szName[1024];
        KalSnPrintFW(szKey, kKeyOmittedFormat, static_cast<UINT>(i));
        if (KalGetProfileStrW(kSectVsInst, szKey, L"", szName) == 0) continue;
        if (wcslen(szText) + wcslen(szName) + 3 >= _countof(szText)) {
            wcsncat_s(szText, _countof(szText), L"\x2026", _TRUNCATE);
            break;
        }
        wcsncat_s(szText, _countof(szText), L"\n", _TRUNCATE);
        wcsncat_s(szText, _countof(szText), szName, _TRUNCATE);
    }
    MessageBoxW(NULL, szText, kInstallCaption, MB_OK | MB_ICONWARNING);
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
    if (!fQuiet && g_setup.discovery.nOmitted > 0) ShowOmittedEditors(g_setup.discovery.nOmitted);
    AssociateSolutions();
    return 0;
}
