// The registry as the setup programs use it: texts written and read whole,
// keys deleted without leaving empty parents, and the classes read as the
// shell sees them (the user's before the machine's).
#include "setup.h"

#include <wchar.h>

int PutRegText(HKEY root, const wchar_t* subKey, const wchar_t* name, const wchar_t* text) {
    HKEY key = NULL;
    if (RegCreateKeyExW(root, subKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS)
        return 0;
    const DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    const LONG written = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
}

int GetRegText(HKEY root, const wchar_t* subKey, const wchar_t* name, wchar_t (&text)[260]) {
    text[0] = L'\0';
    // One unit more than the text may hold: a value that fills it was longer.
    wchar_t read[_countof(text) + 1];
    DWORD bytes = sizeof(read);
    if (RegGetValueW(root, subKey, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, NULL, read,
                     &bytes) != ERROR_SUCCESS)
        return -1;
    // A value with a terminator inside would be read as the text before it.
    const size_t length = wcsnlen(read, _countof(read));
    if (length >= _countof(text) || bytes > (length + 1) * sizeof(wchar_t)) return -1;
    wmemcpy(text, read, length + 1);
    return static_cast<int>(length);
}

// 1 when the key holds no value and no key.
static int IsKeyEmpty(HKEY root, const wchar_t* subKey) {
    HKEY key = NULL;
    if (RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    DWORD nKeys = 1;
    DWORD nValues = 1;
    const LONG queried =
        RegQueryInfoKeyW(key, NULL, NULL, NULL, &nKeys, NULL, NULL, &nValues, NULL, NULL, NULL, NULL);
    RegCloseKey(key);
    return queried == ERROR_SUCCESS && nKeys == 0 && nValues == 0;
}

void PruneEmptyKeys(HKEY root, const wchar_t* subKey, const wchar_t* stopAt) {
    wchar_t path[300];
    if (wcscpy_s(path, subKey) != 0) return;
    const size_t floor = wcslen(stopAt);
    while (wcslen(path) > floor && _wcsnicmp(path, stopAt, floor) == 0 && path[floor] == L'\\') {
        HKEY key = NULL;
        const LONG opened = RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &key);
        if (opened == ERROR_SUCCESS) {
            RegCloseKey(key);
            if (!IsKeyEmpty(root, path) || RegDeleteKeyW(root, path) != ERROR_SUCCESS) return;
        } else if (opened != ERROR_FILE_NOT_FOUND) {
            return;
        }
        *wcsrchr(path, L'\\') = L'\0';
    }
}

void DeleteRegKeyUpTo(HKEY root, const wchar_t* subKey, const wchar_t* stopAt) {
    RegDeleteTreeW(root, subKey);
    PruneEmptyKeys(root, subKey, stopAt);
}

int ClassKeyPath(const wchar_t* name, const wchar_t* sub, wchar_t (&path)[300]) {
    return KalSnPrintFW(path, L"%s\\%s%s%s", kRegClasses, name, sub ? L"\\" : L"", sub ? sub : L"") >= 0;
}

int QueryShellClassValue(const wchar_t* subKey, const wchar_t* name, DWORD* type, void* data, DWORD* bytes) {
    wchar_t path[300];
    if (!ClassKeyPath(subKey, NULL, path)) return 0;
    static const HKEY kRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    const DWORD room = *bytes;
    for (HKEY root : kRoots) {
        HKEY key = NULL;
        if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) continue;
        *bytes = room;
        const LONG read = RegQueryValueExW(key, name, NULL, type, static_cast<BYTE*>(data), bytes);
        RegCloseKey(key);
        // The user's value hides the machine's, also when it is unusable.
        if (read == ERROR_FILE_NOT_FOUND) continue;
        return read == ERROR_SUCCESS && (*type == REG_SZ || *type == REG_EXPAND_SZ);
    }
    return 0;
}
