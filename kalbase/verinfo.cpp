// Reads one string item of an executable's version resource, trying the
// translations the resource lists first and then the usual ones.
#include "KalBase32.h"

#include <stdlib.h>
#include <wchar.h>

namespace {

// Copies the item of one translation into buf; 0 when that translation has
// no such item.
int QueryItem(void* data, DWORD translation, const wchar_t* item, wchar_t* buf, size_t size) {
    wchar_t query[256];
    if (KalSnPrintFW(query, L"\\StringFileInfo\\%08X\\%s", translation, item) < 0) return 0;
    void* value = NULL;
    UINT units = 0;
    if (!VerQueryValueW(data, query, &value, &units) || !value) return 0;
    const wchar_t* text = static_cast<const wchar_t*>(value);
    size_t len = wcsnlen(text, units);
    if (len >= size) len = size - 1;
    wmemcpy(buf, text, len);
    buf[len] = 0;
    return 1;
}

}  // namespace

int KalGetVerInfoW(const wchar_t* exePath, const wchar_t* item, wchar_t* buf, size_t size) {
    if (!buf || size == 0) return 0;
    buf[0] = 0;
    if (!exePath || !exePath[0] || !item || !item[0]) return 0;
    DWORD handle = 0;
    DWORD bytes = GetFileVersionInfoSizeW(exePath, &handle);
    if (bytes == 0) return 0;
    void* data = malloc(bytes);
    if (!data) return 0;
    int found = 0;
    if (GetFileVersionInfoW(exePath, 0, bytes, data)) {
        // Each translation is a language word followed by a code-page word;
        // the item's block is named by both in hexadecimal, language first.
        void* raw = NULL;
        UINT pairBytes = 0;
        if (VerQueryValueW(data, L"\\VarFileInfo\\Translation", &raw, &pairBytes) && raw) {
            const WORD* pairs = static_cast<const WORD*>(raw);
            for (UINT i = 0; !found && (i + 2) * sizeof(WORD) <= pairBytes; i += 2) {
                DWORD translation = (static_cast<DWORD>(pairs[i]) << 16) | pairs[i + 1];
                found = QueryItem(data, translation, item, buf, size);
            }
        }
        static const DWORD kFallbacks[] = {0x040904B0, 0x041104B0, 0x040904E4, 0x000004B0};
        for (size_t i = 0; !found && i < _countof(kFallbacks); ++i)
            found = QueryItem(data, kFallbacks[i], item, buf, size);
    }
    free(data);
    if (!found) buf[0] = 0;
    return static_cast<int>(wcslen(buf));
}
