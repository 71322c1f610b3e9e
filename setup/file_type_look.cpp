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

// The class roots that removal cleans: the machine's and the user's.
static const HKEY kClassRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
static const wchar_t kClassesKey[] = L"Software\\Classes";

// Copies one string value (REG_SZ or REG_EXPAND_SZ, not empty, at most
// kCopiedValueUnits long) of the earlier type's key or sub-key to the same
// place in ours, byte for byte and of the same type. name NULL is the
// default value. Returns 1 when copied; anything else is left out.
static int CopyStringValue(const wchar_t* from, const wchar_t* to, const wchar_t* subKey,
                           const wchar_t* name) {
    wchar_t szFrom[600];
    wchar_t szTo[600];
    if (KalSnPrintFW(szFrom, L"%s%s%s", from, subKey ? L"\\" : L"", subKey ? subKey : L"") < 0 ||
        KalSnPrintFW(szTo, L"%s%s%s", to, subKey ? L"\\" : L"", subKey ? subKey : L"") < 0)
        return 0;
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, szFrom, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    wchar_t data[kCopiedValueUnits + 1];
    DWORD type = 0;
    DWORD bytes = kCopiedValueUnits * sizeof(wchar_t);
    // RegQueryValueExW hands the data over as stored: an environment
    // reference in a REG_EXPAND_SZ stays unexpanded.
    const LONG read = RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(data), &bytes);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || bytes < sizeof(wchar_t) ||
        data[0] == L'\0')
        return 0;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, szTo, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return 0;
    const LONG written = RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data), bytes);
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
}

// Writes a text of the suite's own as a REG_SZ value of the type's key or
// sub-key.
static int PutOwnValue(const wchar_t* fileType, const wchar_t* subKey, const wchar_t* name,
                       const wchar_t* text) {
    wchar_t szKey[300];
    if (KalSnPrintFW(szKey, L"%s%s%s", fileType, subKey ? L"\\" : L"", subKey ? subKey : L"") < 0)
        return 0;
    HKEY key = NULL;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, szKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return 0;
    const DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    const LONG written = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
}

// Forgets what an earlier run copied, so that the type shows what the
// remembered one shows now and nothing it no longer has.
static void ClearLook(const wchar_t* fileType) {
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, fileType, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteTreeW(key, L"DefaultIcon");
    RegDeleteTreeW(key, L"ShellEx");
    RegDeleteValueW(key, L"FriendlyTypeName");
    RegDeleteValueW(key, NULL);
    RegCloseKey(key);
}

int ApplyFileTypeLook(const SolutionKind& kind, const wchar_t* remembered, const wchar_t* launcher) {
    wchar_t szText[1024];
    if (!IsQuotablePath(launcher)) return 0;
    ClearLook(kind.fileType);
    const int fRemembered = remembered != NULL && remembered[0] != L'\0';

    // The icon: the remembered type's, with the handler that draws it for
    // each file where it had one; else the launcher's own.
    if (!fRemembered || !CopyStringValue(remembered, kind.fileType, L"DefaultIcon", NULL)) {
        if (KalSnPrintFW(szText, L"\"%s\",0", launcher) < 0 ||
            !PutOwnValue(kind.fileType, L"DefaultIcon", NULL, szText))
            return 0;
    }
    if (fRemembered) CopyStringValue(remembered, kind.fileType, L"ShellEx\\IconHandler", NULL);

    // The name: FriendlyTypeName comes before the default value where the
    // shell looks for one; without either, the launcher's, in the user's
    // language.
    int fNamed = 0;
    if (fRemembered) {
        fNamed |= CopyStringValue(remembered, kind.fileType, NULL, L"FriendlyTypeName");
        fNamed |= CopyStringValue(remembered, kind.fileType, NULL, NULL);
    }
    if (!fNamed) {
        if (KalSnPrintFW(szText, L"@%s,-%d", launcher, kind.typeNameId) < 0 ||
            !PutOwnValue(kind.fileType, NULL, L"FriendlyTypeName", szText))
            return 0;
    }

    // The verb beside "open", which stays the default.
    if (KalSnPrintFW(szText, L"@%s,-%d", launcher, IDS_VERB_CHOOSE) < 0 ||
        !PutOwnValue(kind.fileType, kChooseVerbKey, L"MUIVerb", szText))
        return 0;
    if (KalSnPrintFW(szText, kChooseCommandFormat, launcher) < 0 ||
        !PutOwnValue(kind.fileType, kChooseCommandKey, NULL, szText))
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

// 1 when .sln or .slnx, in the machine's or the user's classes, still
// names the file type.
static int IsFileTypeNamed(const wchar_t* fileType) {
    for (HKEY root : kClassRoots) {
        for (const SolutionKind& kind : kSolutionKinds) {
            wchar_t szKey[64];
            if (KalSnPrintFW(szKey, L"%s\\%s", kClassesKey, kind.extension) < 0) continue;
            if (DefaultValueIs(root, szKey, fileType)) return 1;
        }
    }
    return 0;
}

// Takes the type out of each extension's "Open with" list, and the list
// with it once nothing else is in it.
static void RemoveOpenWithEntries(HKEY root, const wchar_t* fileType) {
    for (const SolutionKind& kind : kSolutionKinds) {
        wchar_t szKey[96];
        if (KalSnPrintFW(szKey, L"%s\\%s\\OpenWithProgids", kClassesKey, kind.extension) < 0) continue;
        HKEY key = NULL;
        if (RegOpenKeyExW(root, szKey, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            continue;
        RegDeleteValueW(key, fileType);
        DWORD nValues = 1;
        DWORD nKeys = 1;
        const LONG queried = RegQueryInfoKeyW(key, NULL, NULL, NULL, &nKeys, NULL, NULL, &nValues, NULL,
                                              NULL, NULL, NULL);
        RegCloseKey(key);
        if (queried == ERROR_SUCCESS && nKeys == 0 && nValues == 0) RegDeleteKeyW(root, szKey);
    }
}

// The kinds' types are all the suite has ever made: earlier versions gave
// both extensions PikroSln.
int RemoveUnusedFileTypes() {
    int nRemoved = 0;
    for (const SolutionKind& owner : kSolutionKinds) {
        const wchar_t* fileType = owner.fileType;
        if (IsFileTypeNamed(fileType)) continue;
        for (HKEY root : kClassRoots) {
            wchar_t szKey[64];
            if (KalSnPrintFW(szKey, L"%s\\%s", kClassesKey, fileType) < 0) continue;
            if (RegDeleteTreeW(root, szKey) == ERROR_SUCCESS) nRemoved++;
            RemoveOpenWithEntries(root, fileType);
        }
    }
    return nRemoved;
}
