// What the suite registers with Windows besides the association, in the
// scope of the setup: Default apps (the capabilities and the application's
// entry in RegisteredApplications), "Open with" (OpenWithProgids and the
// application's own key) and App Paths. Windows 10 and 11 open a file type
// with the program the user once chose with "Always use this app", whatever
// the file type says, and no program may change that choice: the launcher is
// offered where the user makes it.
#include "setup.h"

#include <wchar.h>

#include "../launcher/resource.h"
#include "version.h"

// The suite as Windows shows it, and the key its App Paths entry stops at.
static const wchar_t kProductName[] = L"" PIKRO_PRODUCT_NAME;
static const wchar_t kRegCurrentVersion[] = L"Software\\Microsoft\\Windows\\CurrentVersion";

// Default apps reads the launcher's name and description out of the
// launcher itself, in each user's language; "Open with" names it and opens
// a solution with it as the file types do.
static int PutApplication(HKEY root, const wchar_t* launcher) {
    wchar_t szText[320];
    int ok = KalSnPrintFW(szText, L"@%s,-%d", launcher, IDS_APP_NAME) >= 0 &&
             PutRegText(root, kRegCapabilities, L"ApplicationName", szText);
    ok &= KalSnPrintFW(szText, L"@%s,-%d", launcher, IDS_APP_DESCRIPTION) >= 0 &&
          PutRegText(root, kRegCapabilities, L"ApplicationDescription", szText);
    ok &= KalSnPrintFW(szText, L"\"%s\",0", launcher) >= 0 &&
          PutRegText(root, kRegCapabilities, L"ApplicationIcon", szText);
    ok &= PutRegText(root, kRegRegisteredApps, kProductName, kRegCapabilities);
    ok &= PutRegText(root, kRegApplication, L"FriendlyAppName", kProductName);
    wchar_t szKey[300];
    ok &= KalSnPrintFW(szKey, L"%s\\shell\\open\\command", kRegApplication) >= 0 &&
          KalSnPrintFW(szText, L"\"%s\" \"%%1\"", launcher) >= 0 && PutRegText(root, szKey, NULL, szText);
    ok &= PutRegText(root, kRegAppPath, NULL, launcher);
    return ok;
}

// Offers the launcher for the kind's extension: in Default apps, in the
// extension's "Open with" list and among the application's types.
static int PutKind(HKEY root, const SolutionKind& kind) {
    wchar_t szKey[300];
    int ok = KalSnPrintFW(szKey, L"%s\\FileAssociations", kRegCapabilities) >= 0 &&
             PutRegText(root, szKey, kind.extension, kind.fileType);
    ok &= ClassKeyPath(kind.extension, L"OpenWithProgids", szKey) && PutRegText(root, szKey, kind.fileType, L"");
    ok &= KalSnPrintFW(szKey, L"%s\\SupportedTypes", kRegApplication) >= 0 &&
          PutRegText(root, szKey, kind.extension, L"");
    return ok;
}

void RegisterSuite() {
    const HKEY root = g_setup.root;
    // Written anew on every run, so that nothing of an earlier run's (an
    // extension no longer ours, another folder) is left.
    RegDeleteTreeW(root, kRegCapabilities);
    RegDeleteTreeW(root, kRegApplication);
    int nOurs = 0;
    for (int i = 0; i < kSolutionKindCount; i++) {
        const SolutionKind& kind = kSolutionKinds[i];
        // Earlier versions offered PikroSln for .slnx too.
        for (const SolutionKind& other : kSolutionKinds) {
            if (&other != &kind) RemoveOpenWithEntry(root, kind.extension, other.fileType);
        }
        if (!ExtensionIsOurs(kind)) {
            RemoveOpenWithEntry(root, kind.extension, kind.fileType);
            continue;
        }
        nOurs++;
        if (!PutKind(root, kind)) g_setup.kindResult[i] = KIND_FAILED;
    }
    if (nOurs == 0) {
        UnregisterSuite(root);
        return;
    }
    if (PutApplication(root, g_setup.szLauncher)) return;
    for (int i = 0; i < kSolutionKindCount; i++) {
        if (g_setup.kindResult[i] == KIND_TAKEN) g_setup.kindResult[i] = KIND_FAILED;
    }
}

// The extensions' "Open with" entries go with the suite's types
// (RemoveUnusedFileTypes), which may outlive the registration.
void UnregisterSuite(HKEY root) {
    DeleteRegKeyUpTo(root, kRegCapabilities, L"Software");
    HKEY key = NULL;
    if (RegOpenKeyExW(root, kRegRegisteredApps, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, kProductName);
        RegCloseKey(key);
        PruneEmptyKeys(root, kRegRegisteredApps, L"Software");
    }
    DeleteRegKeyUpTo(root, kRegApplication, kRegClasses);
    DeleteRegKeyUpTo(root, kRegAppPath, kRegCurrentVersion);
}
