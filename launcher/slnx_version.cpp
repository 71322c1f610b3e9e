// The version an .slnx solution asks to be opened with, read from its XML
// by the XML reader that Windows ships (XmlLite).
#include "launcher.h"
#include "slnx_stream.h"

#include <objbase.h>
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
// group and the property are compared without regard to case. Only the
// tags that can name the version have their attributes read, so that the
// thousands of projects of a large solution cost no more than their names.
// Returns 0 when the text is no solution or the reader refuses it.
int TakeStartTag(IXmlReader* reader, SlnxRead& read, const wchar_t* name, int empty) {
    if (read.depth == 0 && wcscmp(name, L"Solution") != 0) return 0;
    const int group = read.depth == 1 && !empty && wcscmp(name, L"Properties") == 0;
    const int property = read.depth == 2 && read.inVsGroup && wcscmp(name, L"Property") == 0;
    if (!empty) ++read.depth;
    if (!group && !property) return 1;
    SlnxTag tag;
    if (!ReadTagAttributes(reader, tag)) return 0;
    if (group && tag.hasName && !tag.cut && _wcsicmp(tag.nameAttr, L"Visual Studio") == 0)
        read.inVsGroup = 1;
    if (property && tag.hasName && _wcsicmp(tag.nameAttr, L"OpenWith") == 0) {
        // The last one counts, whatever it says.
        read.openWith = tag.hasValue && !tag.cut ? OpenWithMajor(tag.valueAttr) : -1;
    }
    return 1;
}

// How often the reader may ask for more once the text has ended. A reader
// finishing the solution's end tag asks once or twice; one that keeps
// asking is going round in circles on a text cut inside a node.
const DWORD kSlnxMaxEmptyReads = 16;

// Reads until the solution element ends: its OpenWith, or -1 when the
// reader refuses the text, the stream refuses it, or it ends first. The
// answer is known when the solution element ends (the last OpenWith
// counts), and nothing after it is read. A reader is stopped when it gives
// more nodes than it was handed bytes (every node takes at least one) or
// keeps asking for text that has ended: a fault in the reader never keeps
// the launcher from ending.
int ReadSolution(IXmlReader* reader, const SlnxStream& stream) {
    SlnxRead read = {0, 0, kSlnxNoOpenWith};
    XmlNodeType type = XmlNodeType_None;
    for (DWORD nodes = 0;; ++nodes) {
        const HRESULT hr = reader->Read(&type);
        if (hr != S_OK || stream.refused || stream.emptyReads > kSlnxMaxEmptyReads ||
            nodes >= stream.given)
            return -1;
        if (type == XmlNodeType_Element) {
            const wchar_t* name = nullptr;
            if (FAILED(reader->GetQualifiedName(&name, nullptr))) return -1;
            const int empty = reader->IsEmptyElement() != FALSE;
            if (!TakeStartTag(reader, read, name, empty)) return -1;
            if (read.depth == 0) return read.openWith;
        } else if (type == XmlNodeType_EndElement) {
            if (--read.depth < 2) read.inVsGroup = 0;
            if (read.depth == 0) return read.openWith;
        }
    }
}

}  // namespace

// The reader comes from xmllite.dll in the system folder, loaded only here:
// a double-click on an .sln never loads it. DTDs are refused (they could
// give names and values another meaning, or swell the text) and the depth
// is bounded; the stream bounds the text and hands it over in pieces.
int SlnxMajorVersion(HANDLE file) {
    SlnxStream stream;
    if (!OpenSlnxStream(file, &stream)) return -1;
    HMODULE xmllite = LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!xmllite) return -1;
    const CreateXmlReaderFn createXmlReader = reinterpret_cast<CreateXmlReaderFn>(
        reinterpret_cast<void*>(GetProcAddress(xmllite, "CreateXmlReader")));
    int major = -1;
    IXmlReader* reader = nullptr;
    if (createXmlReader &&
        SUCCEEDED(createXmlReader(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader),
                                  nullptr)) &&
        SUCCEEDED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) &&
        SUCCEEDED(reader->SetProperty(XmlReaderProperty_MaxElementDepth, kSlnxMaxElementDepth)) &&
        SUCCEEDED(reader->SetInput(static_cast<ISequentialStream*>(&stream))))
        major = ReadSolution(reader, stream);
    // The stream lives here: the reader lets go of it before it is gone.
    if (reader) {
        reader->SetInput(nullptr);
        reader->Release();
    }
    FreeLibrary(xmllite);
    return major;
}
