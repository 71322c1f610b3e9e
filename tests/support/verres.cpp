// Writes the version resource of an executable at test time, so that one
// fake editor binary can stand for any Visual Studio version. The
// VS_VERSIONINFO blob is built by hand: a tree of nodes, each a header
// (length, value length, type), a NUL-terminated UTF-16 key, padding to four
// bytes, the value, padding, then the child nodes.
#include "testutil.h"

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace testutil {
namespace {

typedef std::vector<unsigned char> Blob;

const WORD kTypeBinary = 0;
const WORD kTypeText = 1;
const WORD kLangEnUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

void PadTo4(Blob* blob) {
    while (blob->size() % 4 != 0) blob->push_back(0);
}

void PutWord(Blob* blob, size_t at, WORD value) {
    (*blob)[at] = static_cast<unsigned char>(value & 0xFF);
    (*blob)[at + 1] = static_cast<unsigned char>(value >> 8);
}

void AppendBytes(Blob* blob, const void* data, size_t bytes) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    blob->insert(blob->end(), p, p + bytes);
}

void AppendText(Blob* blob, const std::wstring& text) {
    for (wchar_t c : text) {
        blob->push_back(static_cast<unsigned char>(c & 0xFF));
        blob->push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    blob->push_back(0);
    blob->push_back(0);
}

// Opens a node at the end of blob (which must be 4-byte aligned) and returns
// its start; CloseNode fills in its length once the children are written.
size_t OpenNode(Blob* blob, const std::wstring& key, WORD valueLength, WORD type) {
    size_t start = blob->size();
    blob->resize(start + 6, 0);
    PutWord(blob, start + 2, valueLength);
    PutWord(blob, start + 4, type);
    AppendText(blob, key);
    PadTo4(blob);
    return start;
}

void CloseNode(Blob* blob, size_t start) {
    PutWord(blob, start, static_cast<WORD>(blob->size() - start));
}

// A String node: its value length counts UTF-16 units, the NUL included.
void AppendString(Blob* blob, const std::wstring& key, const std::wstring& value) {
    PadTo4(blob);
    size_t node = OpenNode(blob, key, static_cast<WORD>(value.size() + 1), kTypeText);
    AppendText(blob, value);
    CloseNode(blob, node);
}

// "1.2.3.4" into the two halves of VS_FIXEDFILEINFO; anything else gives 0.
void ParseVersion(const std::wstring& text, DWORD* ms, DWORD* ls) {
    unsigned parts[4] = {0, 0, 0, 0};
    const wchar_t* p = text.c_str();
    for (int i = 0; i < 4 && *p != L'\0'; ++i) {
        wchar_t* end = NULL;
        unsigned long n = wcstoul(p, &end, 10);
        if (end == p) break;
        parts[i] = static_cast<unsigned>(n & 0xFFFF);
        p = end;
        if (*p != L'.') break;
        ++p;
    }
    *ms = (parts[0] << 16) | parts[1];
    *ls = (parts[2] << 16) | parts[3];
}

Blob BuildVersionInfo(const std::wstring& description, const std::wstring& version) {
    Blob blob;
    VS_FIXEDFILEINFO fixed;
    memset(&fixed, 0, sizeof(fixed));
    fixed.dwSignature = 0xFEEF04BD;
    fixed.dwStrucVersion = 0x00010000;
    ParseVersion(version, &fixed.dwFileVersionMS, &fixed.dwFileVersionLS);
    fixed.dwProductVersionMS = fixed.dwFileVersionMS;
    fixed.dwProductVersionLS = fixed.dwFileVersionLS;
    fixed.dwFileFlagsMask = 0x3F;
    fixed.dwFileOS = VOS_NT_WINDOWS32;
    fixed.dwFileType = VFT_APP;

    size_t root = OpenNode(&blob, L"VS_VERSION_INFO", sizeof(fixed), kTypeBinary);
    AppendBytes(&blob, &fixed, sizeof(fixed));

    PadTo4(&blob);
    size_t strings = OpenNode(&blob, L"StringFileInfo", 0, kTypeText);
    size_t table = OpenNode(&blob, L"040904B0", 0, kTypeText);
    AppendString(&blob, L"FileDescription", description);
    AppendString(&blob, L"FileVersion", version);
    CloseNode(&blob, table);
    CloseNode(&blob, strings);

    PadTo4(&blob);
    size_t vars = OpenNode(&blob, L"VarFileInfo", 0, kTypeText);
    size_t translation = OpenNode(&blob, L"Translation", 4, kTypeBinary);
    DWORD langCodePage = MAKELONG(kLangEnUs, 1200);
    AppendBytes(&blob, &langCodePage, sizeof(langCodePage));
    CloseNode(&blob, translation);
    CloseNode(&blob, vars);

    CloseNode(&blob, root);
    return blob;
}

}  // namespace

int WriteVersionResource(const std::wstring& exePath, const std::wstring& description,
                         const std::wstring& version, bool withVersion) {
    // Deleting one resource by updating it with no data does nothing under
    // Wine 8, so every resource of the file goes and the version resource
    // is written afresh: nothing old can be found beside the new one.
    HANDLE update = BeginUpdateResourceW(exePath.c_str(), TRUE);
    if (update == NULL) return 0;
    int ok = 1;
    if (withVersion) {
        Blob blob = BuildVersionInfo(description, version);
        if (!UpdateResourceW(update, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), kLangEnUs,
                             blob.data(), static_cast<DWORD>(blob.size())))
            ok = 0;
    }
    if (!EndUpdateResourceW(update, ok ? FALSE : TRUE)) ok = 0;
    return ok;
}

int ReadVersionItem(const std::wstring& exePath, const wchar_t* item, std::wstring* value) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(exePath.c_str(), &ignored);
    if (size == 0) return 0;
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(exePath.c_str(), 0, size, data.data())) return 0;
    void* translation = NULL;
    UINT translationBytes = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &translation,
                        &translationBytes) ||
        translationBytes < 4)
        return 0;
    const WORD* pair = static_cast<const WORD*>(translation);
    wchar_t query[128];
    _snwprintf_s(query, _countof(query), _TRUNCATE, L"\\StringFileInfo\\%04x%04x\\%ls", pair[0],
                 pair[1], item);
    void* text = NULL;
    UINT units = 0;
    if (!VerQueryValueW(data.data(), query, &text, &units)) return 0;
    if (value != NULL) value->assign(units > 0 ? static_cast<const wchar_t*>(text) : L"");
    return 1;
}

}  // namespace testutil
