// The version an .slnx solution asks to be opened with, read from the
// beginning of its XML by a small scan of its own.
#include "launcher.h"

#include <string.h>

// An .slnx solution is XML and normally names no version at all; it may
// carry one in the property OpenWith of its "Visual Studio" properties:
//   <Properties Name="Visual Studio">
//     <Property Name="OpenWith" Value="Visual Studio Version 17" />
//   </Properties>
// The scan below reads just enough XML for that: elements, attributes in
// either quote, comments and processing instructions. Whatever it cannot
// read for certain makes the whole file unreadable, so that a guess never
// opens a solution in an editor it does not name.
namespace {

// What the scan of an .slnx file has found so far.
struct SlnxScan {
    const BYTE* p;
    const BYTE* end;
    int depth;        // elements open around p
    int inVsGroup;    // p lies in the "Visual Studio" properties of the solution
    int openWith;     // the last OpenWith's major version, -1 unreadable, 0 none yet
};

// The attributes of one start tag that the scan looks at, each cut to its
// buffer; a cut value is flagged, so that it never passes for another.
struct SlnxTag {
    char name[32];
    char nameAttr[32];
    char valueAttr[64];
    int hasName;
    int hasValue;
    int cut;
    int selfClosing;
};

int IsXmlBlank(BYTE c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int IsXmlNameChar(BYTE c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '_' || c == ':' || c == '-' || c == '.' || c >= 0x80;
}

void SkipXmlBlanks(SlnxScan& scan) {
    while (scan.p < scan.end && IsXmlBlank(*scan.p)) ++scan.p;
}

int StartsWith(const SlnxScan& scan, const char* text) {
    const size_t length = strlen(text);
    return static_cast<size_t>(scan.end - scan.p) >= length && memcmp(scan.p, text, length) == 0;
}

// Moves past the next occurrence of text; 0 when the data ends first.
int SkipPast(SlnxScan& scan, const char* text) {
    const size_t length = strlen(text);
    for (; static_cast<size_t>(scan.end - scan.p) >= length; ++scan.p) {
        if (memcmp(scan.p, text, length) == 0) {
            scan.p += length;
            return 1;
        }
    }
    return 0;
}

// Copies a name or value of length bytes, or flags it as cut.
template <size_t N>
void TakeText(const BYTE* from, size_t length, char (&to)[N], int* cut) {
    if (length >= N) {
        *cut = 1;
        length = N - 1;
    }
    memcpy(to, from, length);
    to[length] = '\0';
}

// Reads a start tag from just after its "<". Returns 0 when it is not one
// that XML allows, or the data ends inside it.
int ReadStartTag(SlnxScan& scan, SlnxTag& tag) {
    memset(&tag, 0, sizeof(tag));
    const BYTE* name = scan.p;
    while (scan.p < scan.end && IsXmlNameChar(*scan.p)) ++scan.p;
    if (scan.p == name) return 0;
    TakeText(name, static_cast<size_t>(scan.p - name), tag.name, &tag.cut);
    for (;;) {
        const BYTE* before = scan.p;
        SkipXmlBlanks(scan);
        if (scan.p >= scan.end) return 0;
        if (*scan.p == '>') {
            ++scan.p;
            return 1;
        }
        if (StartsWith(scan, "/>")) {
            scan.p += 2;
            tag.selfClosing = 1;
            return 1;
        }
        // Attributes are set apart from the name and from each other.
        if (scan.p == before) return 0;
        const BYTE* attr = scan.p;
        while (scan.p < scan.end && IsXmlNameChar(*scan.p)) ++scan.p;
        const size_t attrLength = static_cast<size_t>(scan.p - attr);
        if (attrLength == 0) return 0;
        SkipXmlBlanks(scan);
        if (scan.p >= scan.end || *scan.p != '=') return 0;
        ++scan.p;
        SkipXmlBlanks(scan);
        if (scan.p >= scan.end || (*scan.p != '"' && *scan.p != '\'')) return 0;
        const BYTE quote = *scan.p++;
        const BYTE* value = scan.p;
        while (scan.p < scan.end && *scan.p != quote && *scan.p != '<') ++scan.p;
        if (scan.p >= scan.end || *scan.p != quote) return 0;
        const size_t valueLength = static_cast<size_t>(scan.p - value);
        ++scan.p;
        if (attrLength == 4 && _strnicmp(reinterpret_cast<const char*>(attr), "Name", 4) == 0) {
            TakeText(value, valueLength, tag.nameAttr, &tag.cut);
            tag.hasName = 1;
        } else if (attrLength == 5 &&
                   _strnicmp(reinterpret_cast<const char*>(attr), "Value", 5) == 0) {
            TakeText(value, valueLength, tag.valueAttr, &tag.cut);
            tag.hasValue = 1;
        }
    }
}

// "Visual Studio Version 17" or "17", blanks around it allowed: 17. -1 for
// anything else.
int OpenWithMajor(const char* value) {
    const char* p = value;
    while (IsXmlBlank(static_cast<BYTE>(*p))) ++p;
    static const char* const kWords[] = {"Visual", "Studio", "Version"};
    if (!(*p >= '0' && *p <= '9')) {
        for (const char* word : kWords) {
            const size_t length = strlen(word);
            if (_strnicmp(p, word, length) != 0 || !IsXmlBlank(static_cast<BYTE>(p[length])))
                return -1;
            p += length;
            while (IsXmlBlank(static_cast<BYTE>(*p))) ++p;
        }
    }
    const int major = LeadingNumber(p);
    if (major <= 0) return -1;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') {
        ++p;
        while (*p >= '0' && *p <= '9') ++p;
    }
    while (IsXmlBlank(static_cast<BYTE>(*p))) ++p;
    return *p == '\0' ? major : -1;
}

// Takes one start tag into account: the root must be the solution, and only
// the solution's own "Visual Studio" properties name the version.
int TakeStartTag(SlnxScan& scan, const SlnxTag& tag) {
    if (scan.depth == 0 && _stricmp(tag.name, "Solution") != 0) return 0;
    if (scan.depth == 1 && _stricmp(tag.name, "Properties") == 0 && !tag.selfClosing &&
        tag.hasName && !tag.cut && _stricmp(tag.nameAttr, "Visual Studio") == 0)
        scan.inVsGroup = 1;
    if (scan.depth == 2 && scan.inVsGroup && _stricmp(tag.name, "Property") == 0 && tag.hasName &&
        _stricmp(tag.nameAttr, "OpenWith") == 0) {
        // The last one counts, whatever it says.
        scan.openWith = tag.hasValue && !tag.cut ? OpenWithMajor(tag.valueAttr) : -1;
    }
    if (!tag.selfClosing) ++scan.depth;
    return 1;
}

}  // namespace

// The solution element must end within what was read: an OpenWith could
// follow anywhere before its end.
int SlnxMajorVersion(const BYTE* data, DWORD size) {
    if (data == nullptr) return -1;
    SlnxScan scan = {data, data + size, 0, 0, 0};
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) scan.p += 3;
    if (memchr(scan.p, 0, static_cast<size_t>(scan.end - scan.p)) != nullptr) return -1;
    while (scan.p < scan.end) {
        if (*scan.p != '<') {
            // Outside the solution element only blanks may stand.
            if (scan.depth == 0 && !IsXmlBlank(*scan.p)) return -1;
            ++scan.p;
            continue;
        }
        ++scan.p;
        if (StartsWith(scan, "!--")) {
            if (!SkipPast(scan, "-->")) return -1;
        } else if (StartsWith(scan, "?")) {
            if (!SkipPast(scan, "?>")) return -1;
        } else if (StartsWith(scan, "![CDATA[") && scan.depth > 0) {
            if (!SkipPast(scan, "]]>")) return -1;
        } else if (StartsWith(scan, "/")) {
            // An end tag: its name is not checked, only that it closes one.
            if (scan.depth == 0 || !SkipPast(scan, ">")) return -1;
            if (--scan.depth < 2) scan.inVsGroup = 0;
            if (scan.depth == 0) return scan.openWith;
        } else {
            // A declaration such as a DOCTYPE is no start tag and ends the
            // scan: it could give names another meaning.
            SlnxTag tag;
            if (!ReadStartTag(scan, tag) || !TakeStartTag(scan, tag)) return -1;
            if (scan.depth == 0) return scan.openWith;
        }
    }
    return -1;
}

