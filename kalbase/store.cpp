// The settings store: one registry key per section under
// HKCU\Software\<mid path>, unsigned values as REG_DWORD and strings as
// REG_SZ. Nothing is written anywhere before a mid path has been selected.
#include "KalBase32.h"

#include <wchar.h>
#include <stdlib.h>

namespace {

wchar_t g_midPath[128];

// Composes "Software\<mid path>\<section>"; fails on an unselected mid path,
// an empty section or a key path that does not fit.
int SectionKeyPath(const wchar_t* section, wchar_t (&path)[512]) {
    if (!g_midPath[0] || !section || !section[0]) return 0;
    return KalSnPrintFW(path, L"Software\\%s\\%s", g_midPath, section) > 0;
}

int OpenSection(const wchar_t* section, REGSAM access, HKEY* key) {
    wchar_t path[512];
    if (!SectionKeyPath(section, path)) return 0;
    return RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, key) == ERROR_SUCCESS;
}

int CreateSection(const wchar_t* section, HKEY* key) {
    wchar_t path[512];
    if (!SectionKeyPath(section, path)) return 0;
    return RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_SET_VALUE, NULL, key,
                           NULL) == ERROR_SUCCESS;
}

// Reads a REG_SZ or REG_EXPAND_SZ value into a freshly allocated, always
// terminated buffer that the caller frees. The value may change size between
// the two queries, so the read is retried a few times.
wchar_t* ReadStringValue(HKEY key, const wchar_t* name) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD bytes = 0;
        if (RegQueryValueExW(key, name, NULL, &type, NULL, &bytes) != ERROR_SUCCESS) return NULL;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return NULL;
        // Room for the data and a terminator, whatever the stored data ends in.
        DWORD units = bytes / sizeof(wchar_t) + 1;
        wchar_t* text = static_cast<wchar_t*>(calloc(units, sizeof(wchar_t)));
        if (!text) return NULL;
        DWORD got = units * sizeof(wchar_t);
        LONG rc = RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(text), &got);
        if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
            text[units - 1] = 0;
            return text;
        }
        free(text);
        if (rc != ERROR_MORE_DATA) return NULL;
    }
    return NULL;
}

// A decimal number of digits only that fits 32 bits.
int ParseUInt(const wchar_t* text, UINT* value) {
    if (!text[0]) return 0;
    unsigned long long v = 0;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p < L'0' || *p > L'9') return 0;
        v = v * 10 + static_cast<unsigned>(*p - L'0');
        if (v > 0xFFFFFFFFull) return 0;
    }
    *value = static_cast<UINT>(v);
    return 1;
}

}  // namespace

int KalSetRegMidPathW(const wchar_t* name) {
    if (!name || !name[0]) return 0;
    size_t len = wcsnlen(name, _countof(g_midPath));
    if (len >= _countof(g_midPath)) return 0;
    wmemcpy(g_midPath, name, len + 1);
    return 1;
}

UINT KalGetProfileUIntW(const wchar_t* section, const wchar_t* key, UINT dflt) {
    if (!key || !key[0]) return dflt;
    HKEY hk;
    if (!OpenSection(section, KEY_QUERY_VALUE, &hk)) return dflt;
    UINT result = dflt;
    DWORD type = 0;
    DWORD data = 0;
    DWORD bytes = sizeof(data);
    LONG rc = RegQueryValueExW(hk, key, NULL, &type, reinterpret_cast<BYTE*>(&data), &bytes);
    if (rc == ERROR_SUCCESS && type == REG_DWORD && bytes == sizeof(data)) {
        result = data;
    } else if ((rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) &&
               (type == REG_SZ || type == REG_EXPAND_SZ)) {
        wchar_t* text = ReadStringValue(hk, key);
        UINT v;
        if (text && ParseUInt(text, &v)) result = v;
        free(text);
    }
    RegCloseKey(hk);
    return result;
}

int KalGetProfileDwordW(const wchar_t* section, const wchar_t* key, DWORD* value) {
    *value = 0;
    if (!key || !key[0]) return 0;
    HKEY hk;
    if (!OpenSection(section, KEY_QUERY_VALUE, &hk)) return 0;
    DWORD type = 0;
    DWORD data = 0;
    DWORD bytes = sizeof(data);
    const LONG rc = RegQueryValueExW(hk, key, NULL, &type, reinterpret_cast<BYTE*>(&data), &bytes);
    RegCloseKey(hk);
    if (rc != ERROR_SUCCESS || type != REG_DWORD || bytes != sizeof(data)) return 0;
    *value = data;
    return 1;
}

int KalGetProfileStrW(const wchar_t* section, const wchar_t* key, const wchar_t* dflt,
                      wchar_t* buf, size_t size) {
    if (!buf || size == 0) return 0;
    wchar_t* stored = NULL;
    HKEY hk;
    if (key && key[0] && OpenSection(section, KEY_QUERY_VALUE, &hk)) {
        stored = ReadStringValue(hk, key);
        RegCloseKey(hk);
    }
    const wchar_t* src = stored ? stored : (dflt ? dflt : L"");
    size_t len = wcsnlen(src, size - 1);
    wmemmove(buf, src, len);
    buf[len] = 0;
    free(stored);
    return static_cast<int>(len);
}

int KalGetProfileStrLenW(const wchar_t* section, const wchar_t* key) {
    if (!key || !key[0]) return -1;
    HKEY hk;
    if (!OpenSection(section, KEY_QUERY_VALUE, &hk)) return -1;
    wchar_t* stored = ReadStringValue(hk, key);
    RegCloseKey(hk);
    if (!stored) return -1;
    size_t len = wcslen(stored);
    free(stored);
    return len > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(len);
}

int KalProfileSectExistsW(const wchar_t* section) {
    wchar_t path[512];
    if (!SectionKeyPath(section, path)) return -1;
    HKEY hk;
    const LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &hk);
    if (rc == ERROR_SUCCESS) {
        RegCloseKey(hk);
        return 1;
    }
    return rc == ERROR_FILE_NOT_FOUND ? 0 : -1;
}

int KalEnumProfileKeyW(const wchar_t* section, DWORD index, wchar_t* name, size_t size) {
    if (!name || size == 0) return 0;
    name[0] = 0;
    HKEY hk;
    if (!OpenSection(section, KEY_QUERY_VALUE, &hk)) return 0;
    // Value names are at most 16383 units.
    wchar_t found[16384];
    DWORD units = _countof(found);
    LONG rc = RegEnumValueW(hk, index, found, &units, NULL, NULL, NULL, NULL);
    RegCloseKey(hk);
    if (rc != ERROR_SUCCESS) return 0;
    if (units < size) wmemcpy(name, found, units + 1);
    return 1;
}

int KalPutProfileUIntW(const wchar_t* section, const wchar_t* key, UINT value) {
    if (!key || !key[0]) return 0;
    HKEY hk;
    if (!CreateSection(section, &hk)) return 0;
    DWORD data = value;
    LONG rc = RegSetValueExW(hk, key, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                             sizeof(data));
    RegCloseKey(hk);
    return rc == ERROR_SUCCESS;
}

int KalPutProfileStrW(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    if (!key || !key[0] || !value) return 0;
    // The registry takes a DWORD byte count; longer texts are refused rather
    // than stored cut.
    size_t len = wcsnlen(value, 0x7FFFFFF);
    if (len >= 0x7FFFFFF) return 0;
    HKEY hk;
    if (!CreateSection(section, &hk)) return 0;
    LONG rc = RegSetValueExW(hk, key, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             static_cast<DWORD>((len + 1) * sizeof(wchar_t)));
    RegCloseKey(hk);
    return rc == ERROR_SUCCESS;
}

int KalDelProfileKeyW(const wchar_t* section, const wchar_t* key) {
    if (!key || !key[0]) return 0;
    wchar_t path[512];
    if (!SectionKeyPath(section, path)) return 0;
    HKEY hk;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_SET_VALUE, &hk);
    if (rc == ERROR_FILE_NOT_FOUND) return 1;
    if (rc != ERROR_SUCCESS) return 0;
    rc = RegDeleteValueW(hk, key);
    RegCloseKey(hk);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

int KalDelProfileSectW(const wchar_t* section) {
    wchar_t path[512];
    if (!SectionKeyPath(section, path)) return 0;
    // RegDeleteTreeW with a sub-key name removes that key itself as well as
    // everything below it.
    LONG rc = RegDeleteTreeW(HKEY_CURRENT_USER, path);
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
        HKEY hk;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &hk) == ERROR_SUCCESS) {
            // Some registries leave the emptied key behind; remove it too.
            RegCloseKey(hk);
            rc = RegDeleteKeyW(HKEY_CURRENT_USER, path);
            return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
        }
        return 1;
    }
    return 0;
}
