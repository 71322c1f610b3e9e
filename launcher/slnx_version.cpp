// The version an .slnx solution asks to be opened with, read from the
// beginning of its XML by the XML reader that Windows ships (XmlLite).
#include "launcher.h"

#include <objbase.h>
#include <shlwapi.h>
#include <string.h>
#include <wchar.h>
#include <xmllite.h>

// An .slnx solution is XML and normally names no version at all; it may
// carry one in the property OpenWith of its "Visual Studio" properties:
//   <Properties Name="Visual Studio">
//     <Property Name="OpenWith" Value="Visual Studio Version 17" />
//   </Properties>
// The file is read as any XML reader reads it: character references
// resolved, line breaks in attribute values read as blanks, names with
// their case. Whatever the reader refuses makes the whole file unreadable,
// so that a guess never opens a solution in an editor it does not name.
namespace {

typedef HRESULT(WINAPI* CreateXmlReaderFn)(REFIID riid, void** reader, IMalloc* malloc);

// Solutions nest a few elements deep; a file far deeper is no solution
// anyone wrote, and the reader stops at this depth instead of following it.
const UINT kSlnxMaxElementDepth = 64;

// What the reading of an .slnx file has found so far.
struct SlnxRead {
    int depth;      // elements open around the reader
    int inVsGroup;  // the reader is in the "Visual Studio" properties of the solution
    int openWith;   // the last OpenWith's major version, -1 unreadable, 0 none yet
};

// The longest attribute value that is looked at, terminator included.
const size_t kSlnxValueUnits = 64;

// The attributes of one start tag that the reading looks at, each cut to
// its buffer; a cut value is flagged, so that it never passes for another.
struct SlnxTag {
    wchar_t nameAttr[32];
    wchar_t valueAttr[kSlnxValueUnits];
    int hasName;
    int hasValue;
    int cut;
};

int IsXmlBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

template <size_t N>
void TakeText(const wchar_t* from, UINT length, wchar_t (&to)[N], int* cut) {
    if (length >= N) {
        *cut = 1;
        length = static_cast<UINT>(N - 1);
    }
    wmemcpy(to, from, length);
    to[length] = L'\0';
}

// Reads the attributes Name and Value of the element the reader is on.
int ReadTagAttributes(IXmlReader* reader, SlnxTag& tag) {
    memset(&tag, 0, sizeof(tag));
    HRESULT hr = reader->MoveToFirstAttribute();
    for (; hr == S_OK; hr = reader->MoveToNextAttribute()) {
        const wchar_t* name = nullptr;
        const wchar_t* value = nullptr;
        UINT valueLength = 0;
        if (FAILED(reader->GetQualifiedName(&name, nullptr)) ||
            FAILED(reader->GetValue(&value, &valueLength)))
            return 0;
        if (wcscmp(name, L"Name") == 0) {
            TakeText(value, valueLength, tag.nameAttr, &tag.cut);
            tag.hasName = 1;
        } else if (wcscmp(name, L"Value") == 0) {
            TakeText(value, valueLength, tag.valueAttr, &tag.cut);
            tag.hasValue = 1;
        }
    }
    return SUCCEEDED(hr) && SUCCEEDED(reader->MoveToElement());
}

// "Visual Studio Version 17" or "17", blanks around it allowed: 17. -1 for
// anything else.
int OpenWithMajor(const wchar_t* wideValue) {
    // Only ASCII can spell a version; anything else is no version at all.
    char value[kSlnxValueUnits] = "";
    for (size_t i = 0;; ++i) {
        if (wideValue[i] >= 0x80) return -1;
        value[i] = static_cast<char>(wideValue[i]);
        if (wideValue[i] == L'\0') break;
    }
    const char* p = value;
    while (IsXmlBlank(*p)) ++p;
    static const char* const kWords[] = {"Visual", "Studio", "Version"};
    if (!(*p >= '0' && *p <= '9')) {
        for (const char* word : kWords) {
            const size_t length = strlen(word);
            if (_strnicmp(p, word, length) != 0 || !IsXmlBlank(p[length])) return -1;
            p += length;
            while (IsXmlBlank(*p)) ++p;
        }
    }
    const int major = LeadingNumber(p);
    if (major <= 0) return -1;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') {
        ++p;
        while (*p >= '0' && *p <= '9') ++p;
    }
    while (IsXmlBlank(*p)) ++p;
    return *p == '\0' ? major : -1;
}

// Takes one start tag into account: the root must be the solution, and only
// the solution's own "Visual Studio" properties name the version. Element
// and attribute names have case, as XML has it; the values that name the
// group and the property are compared without regard to case.
int TakeStartTag(SlnxRead& read, const wchar_t* name, const SlnxTag& tag, int empty) {
    if (read.depth == 0 && wcscmp(name, L"Solution") != 0) return 0;
    if (read.depth == 1 && wcscmp(name, L"Properties") == 0 && !empty && tag.hasName &&
        !tag.cut && _wcsicmp(tag.nameAttr, L"Visual Studio") == 0)
        read.inVsGroup = 1;
    if (read.depth == 2 && read.inVsGroup && wcscmp(name, L"Property") == 0 && tag.hasName &&
        _wcsicmp(tag.nameAttr, L"OpenWith") == 0) {
        // The last one counts, whatever it says.
        read.openWith = tag.hasValue && !tag.cut ? OpenWithMajor(tag.valueAttr) : -1;
    }
    if (!empty) ++read.depth;
    return 1;
}

// Reads until the solution element ends: its OpenWith, or -1 when the
// reader refuses the text or it ends first. Every node of the text takes at
// least one of its bytes, so a reader that gives more nodes than that is
// going round in circles, and is stopped: a fault in the reader never keeps
// the launcher from ending.
int ReadSolution(IXmlReader* reader, DWORD textBytes) {
    SlnxRead read = {0, 0, kSlnxNoOpenWith};
    XmlNodeType type = XmlNodeType_None;
    for (DWORD nodes = 0; nodes < textBytes && reader->Read(&type) == S_OK; ++nodes) {
        if (type == XmlNodeType_Element) {
            const wchar_t* name = nullptr;
            if (FAILED(reader->GetQualifiedName(&name, nullptr))) return -1;
            // The name is kept apart: reading the attributes moves the reader.
            wchar_t element[32] = L"";
            int cut = 0;
            TakeText(name, static_cast<UINT>(wcslen(name)), element, &cut);
            const int empty = reader->IsEmptyElement() != FALSE;
            SlnxTag tag;
            if (cut || !ReadTagAttributes(reader, tag)) element[0] = L'\0';
            if (!TakeStartTag(read, element, tag, empty)) return -1;
            if (read.depth == 0) return read.openWith;
        } else if (type == XmlNodeType_EndElement) {
            if (--read.depth < 2) read.inVsGroup = 0;
            if (read.depth == 0) return read.openWith;
        }
    }
    return -1;
}

// Which text the reader is given: UTF-16 with its byte-order mark (big
// endian turned little endian, which every XmlLite reads), or else UTF-8,
// with or without its mark. UTF-8 never holds a NUL, so text with one is
// refused; so is text too short for the smallest solution, <Solution/>.
// Returns the bytes to read, or nullptr; *copy is the turned text to free.
const BYTE* TextToRead(const BYTE* data, DWORD size, BYTE** copy) {
    *copy = nullptr;
    const char kSmallest[] = "<Solution/>";
    const DWORD smallest = sizeof(kSmallest) - 1;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE)
        return size - 2 >= 2 * smallest ? data : nullptr;
    if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
        if (size - 2 < 2 * smallest) return nullptr;
        *copy = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, size));
        if (!*copy) return nullptr;
        for (DWORD i = 0; i + 1 < size; i += 2) {
            (*copy)[i] = data[i + 1];
            (*copy)[i + 1] = data[i];
        }
        if (size % 2) (*copy)[size - 1] = data[size - 1];
        return *copy;
    }
    const DWORD mark = size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
    if (size - mark < smallest || memchr(data, 0, size) != nullptr) return nullptr;
    return data;
}

}  // namespace

// The reader comes from xmllite.dll in the system folder, loaded only here:
// a double-click on an .sln never loads it. DTDs are refused (they could
// give names and values another meaning, or swell the text), the depth is
// bounded, and the reader reads no more than the beginning it is given.
int SlnxMajorVersion(const BYTE* data, DWORD size) {
    if (data == nullptr || size == 0 || size > kSolutionHeadBytes) return -1;
    BYTE* copy = nullptr;
    const BYTE* text = TextToRead(data, size, &copy);
    HMODULE xmllite =
        text ? LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32) : nullptr;
    if (!xmllite) {
        if (copy) HeapFree(GetProcessHeap(), 0, copy);
        return -1;
    }
    const CreateXmlReaderFn createXmlReader = reinterpret_cast<CreateXmlReaderFn>(
        reinterpret_cast<void*>(GetProcAddress(xmllite, "CreateXmlReader")));
    int major = -1;
    IStream* stream = SHCreateMemStream(text, size);
    IXmlReader* reader = nullptr;
    if (createXmlReader && stream &&
        SUCCEEDED(createXmlReader(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader),
                                  nullptr)) &&
        SUCCEEDED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) &&
        SUCCEEDED(reader->SetProperty(XmlReaderProperty_MaxElementDepth, kSlnxMaxElementDepth)) &&
        SUCCEEDED(reader->SetInput(stream)))
        major = ReadSolution(reader, size);
    if (reader) reader->Release();
    if (stream) stream->Release();
    if (copy) HeapFree(GetProcessHeap(), 0, copy);
    FreeLibrary(xmllite);
    return major;
}
