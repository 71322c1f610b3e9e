// The setup program's run: the stored catalogue is brought up to date with
// the installed editors (what the user made stays), then .sln and .slnx are
// associated with the launcher, for the machine or for the user; without
// any editor the user is told so instead, and so of an association that did
// not take, unless setup runs quietly.
#include "setup.h"

#include <wchar.h>

#include "catalogue.h"
#include "store_keys.h"
#include "version.h"

SetupState g_setup;

static const wchar_t kNotFoundTextJa[] = L"インストール済の VisualStudio が見つかりませんでした。";
static const wchar_t kNotFoundTextEn[] = L"No installed Visual Studio was found.";
// Windows' list of instances did not answer: the editors may be there all
// the same, and a later run may find them.
static const wchar_t kListLateTextJa[] =
    L"Windows の Visual Studio の一覧が %u 秒以内に応答せず、Program Files フォルダの検索でも"
    L"Visual Studio が見つかりませんでした。しばらくしてから PikroInstall.exe をもう一度実行してください。";
static const wchar_t kListLateTextEn[] =
    L"Windows' list of installed Visual Studio did not answer within %u seconds, and the search of "
    L"the Program Files folders found no Visual Studio. Run PikroInstall.exe again in a while.";
static const wchar_t kInstallCaption[] = L"PikroInstall";
static const wchar_t kOmittedTextJa[] =
    L"VisualStudio は 32 個までしか登録できないため、次のものを登録しませんでした。\n";
static const wchar_t kOmittedTextEn[] =
    L"The catalogue holds at most 32 editors of Visual Studio; these were left out:\n";
static const wchar_t kNotTakenTextJa[] =
    L"次の種類のファイルを " PIKRO_PRODUCT_NAME L" に関連付けられませんでした:";
static const wchar_t kNotTakenTextEn[] =
    L"These kinds of solution files could not be associated with " PIKRO_PRODUCT_NAME L":";

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

// Names the extensions that did not take, as the store lists them.
static void ShowNotTaken() {
    wchar_t szText[512];
    wchar_t szList[64];
    KalGetProfileStrW(kSectVsInst, kKeyNotTaken, L"", szList);
    KalSnPrintFW(szText, L"%s %s", KalGetLangId() == 1041 ? kNotTakenTextJa : kNotTakenTextEn, szList);
    MessageBoxW(NULL, szText, kInstallCaption, MB_OK | MB_ICONWARNING);
}

int RunInstall(int fQuiet, int fUser) {
    ZeroMemory(&g_setup, sizeof(g_setup));
    KalSetRegMidPathW(kAppMidPath);
    SelectScope(fUser);
    if (DiscoverEditors() == 0) {
        if (!fQuiet) {
            const int japanese = KalGetLangId() == 1041;
            wchar_t szText[512];
            if (!g_setup.discovery.fListLate ||
                KalSnPrintFW(szText, japanese ? kListLateTextJa : kListLateTextEn,
                             static_cast<unsigned>(kInstanceListDeadlineMs / 1000)) < 0)
                wcscpy_s(szText, japanese ? kNotFoundTextJa : kNotFoundTextEn);
            MessageBoxW(NULL, szText, kInstallCaption, MB_OK | MB_ICONERROR);
        }
        return 1;
    }
    if (!fQuiet && g_setup.discovery.nOmitted > 0) ShowOmittedEditors(g_setup.discovery.nOmitted);
    if (AssociateSolutions() == 0) return 0;
    if (!fQuiet) ShowNotTaken();
    return 2;
}
