// Text files read line by line. The whole file is decoded to UTF-16 when it
// is opened: the files read this way are small (redirected command output),
// and decoding in one piece keeps multi-byte characters of the OEM code page
// and UTF-8 intact wherever the lines break.
#include "KalBase32.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

struct KalFile {
    wchar_t* text;  // the decoded file, not terminated
    size_t length;  // units in text
    size_t next;    // the next unit to read
};

namespace {

// Files larger than this are refused rather than read in part.
const DWORD kMaxFileBytes = 64u * 1024u * 1024u;

int ReadWholeFile(const wchar_t* path, BYTE** data, DWORD* size) {
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return 0;
    LARGE_INTEGER fileSize;
    int ok = 0;
    if (GetFileSizeEx(h, &fileSize) && fileSize.QuadPart >= 0 && fileSize.QuadPart <= kMaxFileBytes) {
        DWORD want = static_cast<DWORD>(fileSize.QuadPart);
        BYTE* bytes = static_cast<BYTE*>(malloc(want ? want : 1));
        DWORD got = 0;
        if (bytes && (want == 0 || ReadFile(h, bytes, want, &got, NULL))) {
            *data = bytes;
            *size = got;
            ok = 1;
        } else {
            free(bytes);
        }
    }
    CloseHandle(h);
    return ok;
}

int Decode(const BYTE* data, DWORD size, KalFile* file) {
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        size_t units = (size - 2) / 2;  // an odd last byte is dropped
        file->text = static_cast<wchar_t*>(malloc((units ? units : 1) * sizeof(wchar_t)));
        if (!file->text) return 0;
        memcpy(file->text, data + 2, units * sizeof(wchar_t));
        file->length = units;
        return 1;
    }
    UINT codePage = GetOEMCP();
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        codePage = CP_UTF8;
        data += 3;
        size -= 3;
    }
    int units = 0;
    if (size > 0) {
        units = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(data),
                                    static_cast<int>(size), NULL, 0);
        if (units <= 0) return 0;
    }
    file->text = static_cast<wchar_t*>(malloc((units ? units : 1) * sizeof(wchar_t)));
    if (!file->text) return 0;
    if (units > 0) {
        units = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(data),
                                    static_cast<int>(size), file->text, units);
        if (units <= 0) return 0;
    }
    file->length = static_cast<size_t>(units);
    return 1;
}

}  // namespace

KalFile* KalFOpenW(const wchar_t* path, int mode) {
    if (!path || !path[0] || mode != KAL_FOPEN_READ_TEXT) return NULL;
    BYTE* data = NULL;
    DWORD size = 0;
    if (!ReadWholeFile(path, &data, &size)) return NULL;
    KalFile* file = static_cast<KalFile*>(calloc(1, sizeof(KalFile)));
    if (file && !Decode(data, size, file)) {
        free(file->text);
        free(file);
        file = NULL;
    }
    free(data);
    return file;
}

wchar_t* KalFGetSW(KalFile* file, wchar_t* buf, int units) {
    // A buffer without room for one character would return empty lines
    // forever to a caller that reads until the end.
    if (!file || !buf || units < 2) return NULL;
    size_t out = 0;
    size_t room = static_cast<size_t>(units) - 1;
    while (file->next < file->length && out < room) {
        wchar_t c = file->text[file->next++];
        if (c == L'\r') continue;
        buf[out++] = c;
        if (c == L'\n') break;
    }
    if (out == 0) {
        buf[0] = 0;
        return NULL;
    }
    buf[out] = 0;
    return buf;
}

int KalFClose(KalFile* file) {
    if (!file) return 0;
    free(file->text);
    free(file);
    return 1;
}
