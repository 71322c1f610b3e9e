// How the suite's file types look in Explorer, and their removal. Each type
// shows the icon, icon handler and name of the type its extension had
// before setup, so that solutions look as Visual Studio made them look; it
// carries the right-click verb that always shows the choice list. The
// values of the earlier type are anyone's data: they are copied through the
// registry as they are, never expanded and never handed to a command line.
#include "setup.h"

#include <wchar.h>

#include "../launcher/resource.h"
#include "store_keys.h"

// The verb and the launcher's switch that makes it show the choice list.
static const wchar_t kChooseVerbKey[] = L"shell\\choose";
static const wchar_t kChooseCommandKey[] = L"shell\\choose\\command";
static const wchar_t kChooseCommandFormat[] = L"\"%s\" /choose \"%%1\"";

// The longest value copied from the earlier type, in UTF-16 units: a value
// longer than that is left out rather than cut into another path.
static const DWORD kCopiedValueUnits = 1024;

// Copies one string value (REG_SZ or REG_EXPAND_SZ, not empty, at most
// kCopiedValueUnits long) of the earlier type's key or sub-key, as the shell
// sees it, to the same place in ours among the classes of root, byte for
// byte and of the same type. name NULL is the default value. Returns 1 when
// copied; anything else is left out.
static int CopyStringValue(HKEY root, const wchar_t* from, const wchar_t* to, const wchar_t* subKey,
                           const wchar_t* name) {
    wchar_t szFrom[600];
    wchar_t szTo[300];
    if (KalSnPrintFW(szFrom, L"%s%s%s", from, subKey ? L"\\" : L"", subKey ? subKey : L"") < 0 ||
        !ClassKeyPath(to, subKey, szTo))
        return 0;
    wchar_t data[kCopiedValueUnits + 1];
    DWORD type = 0;
    DWORD bytes = kCopiedValueUnits * sizeof(wchar_t);
    // The value is handed over as stored: an environment reference in a
    // REG_EXPAND_SZ stays unexpanded.
    if (!QueryShellClassValue(szFrom, name, &type, data, &bytes) || bytes < sizeof(wchar_t) || data[0] == L'\0')
        return 0;
    HKEY key = NULL;
    if (RegCreateKeyExW(root, szTo, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS) return 0;
    const LONG written = RegSetValueExW(key, name, 0, type, reinterpret_cast<BYTE*>(data), bytes);
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
}

// Writes a text of the suite's own as a REG_SZ value of the type's key or
// sub-key among the classes of root.
static int PutOwnValue(HKEY root, const wchar_t* fileType, const wchar_t* subKey, const wchar_t* name,
                       const wchar_t* text) {
    wchar_t szKey[300];
    return ClassKeyPath(fileType, subKey, szKey) && PutRegText(root, szKey, name, text);
}

// Forgets what an earlier run copied, so that the type shows what the
// remembered one shows now and nothing it no longer has.
static void ClearLook(HKEY root, const wchar_t* fileType) {
    wchar_t szKey[300];
    HKEY key = NULL;
    if (!ClassKeyPath(fileType, NULL, szKey) ||
        RegOpenKeyExW(root, szKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(key, L"DefaultIcon");
    RegDeleteTreeW(key, L"ShellEx");
    RegDeleteValueW(key, L"FriendlyTypeName");
    RegDeleteValueW(key, NULL);
    RegCloseKey(key);
}

int ApplyFileTypeLook(HKEY root, const SolutionKind& kind, const wchar_t* remembered,
                      const wchar_t* launcher) {
    wchar_t szText[1024];
    if (!IsQuotablePath(launcher)) return 0;
    ClearLook(root, kind.fileType);
    const int fRemembered = remembered != NULL && remembered[0] != L'\0';

    // The icon: the remembered type's, with the handler that draws it for
    // each file where it had one; else the launcher's own.
    if (!fRemembered || !CopyStringValue(root, remembered, kind.fileType, L"DefaultIcon", NULL)) {
        if (KalSnPrintFW(szText, L"\"%s\",0", launcher) < 0 ||
            !PutOwnValue(root, kind.fileType, L"DefaultIcon", NULL, szText))
            return 0;
    }
    if (fRemembered) CopyStringValue(root, remembered, kind.fileType, L"ShellEx\\IconHandler", NULL);

    // The name: FriendlyTypeName comes before the default value where the
    // shell looks for one; without either, the launcher's, in the user's
    // language.
    int fNamed = 0;
    if (fRemembered) {
        fNamed |= CopyStringValue(root, remembered, kind.fileType, NULL, L"FriendlyTypeName");
        fNamed |= CopyStringValue(root, remembered, kind.fileType, NULL, NULL);
    }
    if (!fNamed) {
        if (KalSnPrintFW(szText, L"@%s,-%d", launcher, kind.typeNameId) < 0 ||
            !PutOwnValue(root, kind.fileType, NULL, L"FriendlyTypeName", szText))
            return 0;
    }

    // The verb beside "open", which stays the default.
    if (KalSnPrintFW(szText, L"@%s,-%d", launcher, IDS_VERB_CHOOSE) < 0 ||
        !PutOwnValue(root, kind.fileType, kChooseVerbKey, L"MUIVerb", szText))
        return 0;
    if (KalSnPrintFW(szText, kChooseCommandFormat, launcher) < 0 ||
        !PutOwnValue(root, kind.fileType, kChooseCommandKey, NULL, szText))
        return 0;
    return 1;
}

// 1 when the key's default value names the file type.
static int DefaultValueIs(HKEY root, const wchar_t* key, const wchar_t* fileType) {
    wchar_t szValue[260];
    DWORD bytes = sizeof(szValue);
    if (RegGetValueW(root, key, NULL, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, NULL, szValue,
                     &bytes) != ERROR_SUCCESS)
        return 0;
    return _wcsicmp(szValue, fileType) == 0;
}

// 1 when .sln or .slnx, among the classes of one of roots, still names the
// file type.
static int IsFileTypeNamed(const HKEY* roots, int nRoots, const wchar_t* fileType) {
    for (int r = 0; r < nRoots; r++) {
        for (const SolutionKind& kind : kSolutionKinds) {
            wchar_t szKey[300];
            if (ClassKeyPath(kind.extension, NULL, szKey) && DefaultValueIs(roots[r], szKey, fileType)) return 1;
        }
    }
    return 0;
}

void RemoveOpenWithEntry(HKEY root, const wchar_t* extension, const wchar_t* fileType) {
    wchar_t szKey[300];
    if (!ClassKeyPath(extension, L"OpenWithProgids", szKey)) return;
    HKEY key = NULL;
    if (RegOpenKeyExW(root, szKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    const LONG deleted = RegDeleteValueW(key, fileType);
    RegCloseKey(key);
    if (deleted == ERROR_SUCCESS) PruneEmptyKeys(root, szKey, kRegClasses);
}

// The kinds' types are all the suite has ever made: earlier versions gave
// both extensions PikroSln. A type the user's classes define hides the
// machine's: for one user, it goes once the user's extensions no longer
// name it, whatever the machine's name.
int RemoveUnusedFileTypes(HKEY root) {
    static const HKEY kBothRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    const HKEY* roots = root == HKEY_CURRENT_USER ? &kBothRoots[1] : kBothRoots;
    const int nRoots = root == HKEY_CURRENT_USER ? 1 : 2;
    int nRemoved = 0;
    for (const SolutionKind& owner : kSolutionKinds) {
        const wchar_t* fileType = owner.fileType;
        if (IsFileTypeNamed(roots, nRoots, fileType)) continue;
        for (int r = 0; r < nRoots; r++) {
            wchar_t szKey[300];
            if (ClassKeyPath(fileType, NULL, szKey) && RegDeleteTreeW(roots[r], szKey) == ERROR_SUCCESS) nRemoved++;
            for (const SolutionKind& kind : kSolutionKinds) RemoveOpenWithEntry(roots[r], kind.extension, fileType);
        }
    }
    return nRemoved;
}
