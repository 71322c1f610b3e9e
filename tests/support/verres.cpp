// Writes the version resource of an executable at test time, so that one
// fake editor binary can stand for any Visual Studio version, and so that
// tests can give the version reader resources of their own making, lying
// ones included. The VS_VERSIONINFO blob is built by hand: a tree of nodes,
// each a header (length, value length, type), a NUL-terminated UTF-16 key,
// padding to four bytes, the value, padding, then the child nodes.
#include "testutil.h"

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace testutil {
namespace {

const WORD kTypeBinary = 0;
const WORD kTypeText = 1;
const WORD kLangEnUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

void PadTo4(std::string* bytes) {
    while (bytes->size() % 4 != 0) bytes->push_back('\0');
}

void PutWord(std::string* bytes, size_t at, WORD value) {
    (*bytes)[at] = static_cast<char>(value & 0xFF);
    (*bytes)[at + 1] = static_cast<char>(value >> 8);
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

VersionNode FixedFileInfoRoot(const std::wstring& version) {
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
    VersionNode root;
    root.key = L"VS_VERSION_INFO";
    root.type = kTypeBinary;
    root.value.assign(reinterpret_cast<const char*>(&fixed), sizeof(fixed));
    return root;
}

// Replaces every resource of the file with bytes as its version resource, or
// with nothing when bytes is null.
int WriteOnlyResource(const std::wstring& exePath, const std::string* bytes, WORD id) {
    // Deleting one resource by updating it with no data does nothing under
    // Wine 8, so every resource of the file goes and the version resource
    // is written afresh: nothing old can be found beside the new one.
    HANDLE update = BeginUpdateResourceW(exePath.c_str(), TRUE);
    if (update == NULL) return 0;
    int ok = 1;
    if (bytes != NULL) {
        std::string copy = *bytes;
        if (!UpdateResourceW(update, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(id), kLangEnUs,
                             copy.empty() ? NULL : &copy[0], static_cast<DWORD>(copy.size())))
            ok = 0;
    }
    if (!EndUpdateResourceW(update, ok ? FALSE : TRUE)) ok = 0;
    return ok;
}

// The text of one translation's item through the system's reader; 1 when
// the item is there.
int QueryTranslation(const std::vector<unsigned char>& data, unsigned translation,
                     const wchar_t* item, std::wstring* value) {
    wchar_t query[128];
    _snwprintf_s(query, _countof(query), _TRUNCATE, L"\\StringFileInfo\\%08X\\%ls", translation,
                 item);
    void* text = NULL;
    UINT units = 0;
    if (!VerQueryValueW(data.data(), query, &text, &units)) return 0;
    value->assign(units > 0 && text ? static_cast<const wchar_t*>(text) : L"",
                  units > 0 && text ? wcsnlen(static_cast<const wchar_t*>(text), units) : 0);
    return 1;
}

int LoadVersionInfo(const std::wstring& exePath, std::vector<unsigned char>* data) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(exePath.c_str(), &ignored);
    if (size == 0) return 0;
    data->assign(size, 0);
    return GetFileVersionInfoW(exePath.c_str(), 0, size, data->data()) != 0;
}

}  // namespace

std::string Utf16Bytes(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

VersionNode VersionText(const std::wstring& key, const std::wstring& text) {
    VersionNode node;
    node.key = key;
    node.value = Utf16Bytes(text + L'\0');
    return node;
}

VersionNode VersionBlock(const std::wstring& key, const std::vector<VersionNode>& children) {
    VersionNode node;
    node.key = key;
    node.children = children;
    return node;
}

VersionNode VersionTranslations(const std::vector<DWORD>& translations) {
    VersionNode list;
    list.key = L"Translation";
    list.type = kTypeBinary;
    for (DWORD t : translations) {
        // Language word first, then the code page, each little-endian.
        const WORD words[2] = {HIWORD(t), LOWORD(t)};
        for (WORD w : words) {
            list.value.push_back(static_cast<char>(w & 0xFF));
            list.value.push_back(static_cast<char>(w >> 8));
        }
    }
    return VersionBlock(L"VarFileInfo", {list});
}

VersionNode VersionRoot(const std::vector<VersionNode>& children) {
    VersionNode root = FixedFileInfoRoot(L"1.0");
    root.children = children;
    return root;
}

std::string BuildVersionNode(const VersionNode& node) {
    std::string bytes(6, '\0');
    size_t valueLength = node.type == kTypeText ? node.value.size() / 2 : node.value.size();
    if (node.valueLength >= 0) valueLength = static_cast<size_t>(node.valueLength);
    PutWord(&bytes, 2, static_cast<WORD>(valueLength));
    PutWord(&bytes, 4, node.type);
    bytes += Utf16Bytes(node.key);
    if (node.keyTerminated) bytes += std::string(2, '\0');
    if (!node.value.empty() || !node.children.empty()) PadTo4(&bytes);
    bytes += node.value;
    for (const VersionNode& child : node.children) {
        PadTo4(&bytes);
        bytes += BuildVersionNode(child);
    }
    long length = node.length >= 0 ? node.length : static_cast<long>(bytes.size()) + node.lengthDelta;
    if (length < 0) length = 0;
    if (length > 0xFFFF) length = 0xFFFF;
    PutWord(&bytes, 0, static_cast<WORD>(length));
    return bytes;
}

int WriteVersionResource(const std::wstring& exePath, const std::wstring& description,
                         const std::wstring& version, bool withVersion) {
    if (!withVersion) return WriteOnlyResource(exePath, NULL, 1);
    VersionNode root = FixedFileInfoRoot(version);
    root.children = {
        VersionBlock(L"StringFileInfo",
                     {VersionBlock(L"040904B0", {VersionText(L"FileDescription", description),
                                                 VersionText(L"FileVersion", version)})}),
        VersionTranslations({0x040904B0}),
    };
    std::string bytes = BuildVersionNode(root);
    return WriteOnlyResource(exePath, &bytes, 1);
}

int WriteRawVersionResource(const std::wstring& exePath, const std::string& bytes, WORD id) {
    return WriteOnlyResource(exePath, &bytes, id);
}

int ReadVersionItem(const std::wstring& exePath, const wchar_t* item, std::wstring* value) {
    std::vector<unsigned char> data;
    if (!LoadVersionInfo(exePath, &data)) return 0;
    void* translation = NULL;
    UINT translationBytes = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &translation,
                        &translationBytes) ||
        translationBytes < 4)
        return 0;
    const WORD* pair = static_cast<const WORD*>(translation);
    std::wstring text;
    if (!QueryTranslation(data, (static_cast<unsigned>(pair[0]) << 16) | pair[1], item, &text))
        return 0;
    if (value != NULL) *value = text;
    return 1;
}

int ReadVersionItemAsSystem(const std::wstring& exePath, const wchar_t* item, std::wstring* value) {
    std::vector<unsigned char> data;
    if (!LoadVersionInfo(exePath, &data)) return 0;
    std::vector<unsigned> translations;
    void* raw = NULL;
    UINT rawBytes = 0;
    if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &raw, &rawBytes) && raw) {
        const WORD* pairs = static_cast<const WORD*>(raw);
        for (UINT i = 0; (i + 2) * sizeof(WORD) <= rawBytes; i += 2)
            translations.push_back((static_cast<unsigned>(pairs[i]) << 16) | pairs[i + 1]);
    }
    translations.insert(translations.end(), {0x040904B0u, 0x041104B0u, 0x040904E4u, 0x000004B0u});
    for (unsigned t : translations) {
        std::wstring text;
        if (QueryTranslation(data, t, item, &text)) {
            if (value != NULL) *value = text;
            return 1;
        }
    }
    return 0;
}

}  // namespace testutil

namespace testutil {

// The smallest image that holds a version resource: headers, then one
// section of one page, .rsrc, whose directory leads to the resource and
// whose last bytes are the resource's. In memory nothing follows that page,
// so a reader that goes by the declared size runs off the end of the image.
int WriteImageEndingInVersion(const std::wstring& path, const std::string& bytes,
                              DWORD declaredSize) {
    const DWORD kHeaders = 0x200, kPage = 0x1000, kDirectory = 0x60;
    if (bytes.empty() || bytes.size() > kPage - kDirectory) return 0;
    std::string image(kHeaders + kPage, '\0');
    char* base = &image[0];
    IMAGE_DOS_HEADER* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    dos->e_magic = IMAGE_DOS_SIGNATURE;
    dos->e_lfanew = 0x40;
    IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    nt->Signature = IMAGE_NT_SIGNATURE;
#ifdef _WIN64
    nt->FileHeader.Machine = IMAGE_FILE_MACHINE_AMD64;
#else
    nt->FileHeader.Machine = IMAGE_FILE_MACHINE_I386;
#endif
    nt->FileHeader.NumberOfSections = 1;
    nt->FileHeader.SizeOfOptionalHeader = sizeof(nt->OptionalHeader);
    nt->FileHeader.Characteristics = IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_DLL;
    IMAGE_OPTIONAL_HEADER& optional = nt->OptionalHeader;
    optional.Magic = IMAGE_NT_OPTIONAL_HDR_MAGIC;
    optional.ImageBase = 0x10000000;
    optional.SectionAlignment = kPage;
    optional.FileAlignment = kHeaders;
    optional.MajorOperatingSystemVersion = 6;
    optional.MajorSubsystemVersion = 6;
    optional.SizeOfImage = 2 * kPage;
    optional.SizeOfHeaders = kHeaders;
    optional.Subsystem = IMAGE_SUBSYSTEM_WINDOWS_GUI;
    optional.SizeOfStackReserve = 0x100000;
    optional.SizeOfStackCommit = 0x1000;
    optional.SizeOfHeapReserve = 0x100000;
    optional.SizeOfHeapCommit = 0x1000;
    optional.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress = kPage;
    optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].Size = kPage;
    IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    memcpy(section->Name, ".rsrc", 5);
    section->Misc.VirtualSize = kPage;
    section->VirtualAddress = kPage;
    section->SizeOfRawData = kPage;
    section->PointerToRawData = kHeaders;
    section->Characteristics = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ;

    // Type 16 (version), name 1, language 0409, then the data entry.
    char* rsrc = base + kHeaders;
    const DWORD levels[3][2] = {{16, 0x80000018}, {1, 0x80000030}, {0x409, 0x48}};
    for (int level = 0; level < 3; ++level) {
        IMAGE_RESOURCE_DIRECTORY* directory =
            reinterpret_cast<IMAGE_RESOURCE_DIRECTORY*>(rsrc + level * 0x18);
        directory->NumberOfIdEntries = 1;
        IMAGE_RESOURCE_DIRECTORY_ENTRY* entry =
            reinterpret_cast<IMAGE_RESOURCE_DIRECTORY_ENTRY*>(directory + 1);
        entry->Name = levels[level][0];
        entry->OffsetToData = levels[level][1];
    }
    IMAGE_RESOURCE_DATA_ENTRY* data = reinterpret_cast<IMAGE_RESOURCE_DATA_ENTRY*>(rsrc + 0x48);
    const DWORD offset = kPage - static_cast<DWORD>(bytes.size());
    data->OffsetToData = kPage + offset;
    data->Size = declaredSize;
    memcpy(rsrc + offset, bytes.data(), bytes.size());
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, image.data(), static_cast<DWORD>(image.size()), &written, NULL);
    CloseHandle(file);
    return ok && written == image.size();
}

std::string RunawayVersionNode(size_t size) {
    std::string bytes(6, '\0');
    bytes[0] = bytes[1] = static_cast<char>(0xFF);
    bytes[4] = static_cast<char>(kTypeText);
    bytes += Utf16Bytes(std::wstring(size > 6 ? (size - 6) / 2 : 0, L'A'));
    return bytes;
}

}  // namespace testutil
