// The version that wrote a solution file, or for an .slnx the version it
// asks to be opened with, read from its beginning: what decides for a fresh
// clone, which has no .vs folder yet.
#include "launcher.h"

#include <string.h>
#include <wchar.h>

namespace {

// The solution file's header, read as single characters: the header lines
// are plain ASCII in every encoding Visual Studio writes, so any other
// character only has to stay different from them.
struct SolutionText {
    const BYTE* data;
    DWORD size;      // in bytes, after the byte order mark
    int unitBytes;   // 1 for UTF-8, 2 for UTF-16
    int bigEndian;
};

// The number of characters of the text.
DWORD TextLength(const SolutionText& text) { return text.size / text.unitBytes; }

char TextChar(const SolutionText& text, DWORD index) {
    unsigned unit = text.data[index * text.unitBytes];
    if (text.unitBytes == 2) {
        const unsigned second = text.data[index * 2 + 1];
        unit = text.bigEndian ? (unit << 8) | second : unit | (second << 8);
    }
    return unit < 0x80 ? static_cast<char>(unit) : '?';
}

int IsBlank(char c) { return c == ' ' || c == '\t'; }

const char* SkipBlanks(const char* p) {
    while (IsBlank(*p)) ++p;
    return p;
}

// The number at p when it is a whole word or ends in a dot: "17" of
// "17.8.34330.188", never a part of "170" or "17a". Returns -1 when there is
// none or it has more digits than any version or year.
int LeadingNumber(const char* p) {
    int value = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
        if (++digits > 4) return -1;
        value = value * 10 + (*p++ - '0');
    }
    if (digits == 0 || (*p != '\0' && *p != '.' && !IsBlank(*p))) return -1;
    return value;
}

// The text after prefix when line begins with it, else nullptr.
const char* AfterPrefix(const char* line, const char* prefix) {
    const size_t length = strlen(prefix);
    return strncmp(line, prefix, length) == 0 ? line + length : nullptr;
}

// "VisualStudioVersion = 17.8.34330.188": the first number, or -1.
int VersionLineMajor(const char* rest) {
    rest = SkipBlanks(rest);
    if (*rest != '=') return -1;
    return LeadingNumber(SkipBlanks(rest + 1));
}

// "# Visual Studio Version 17", "# Visual Studio 15" or "# Visual Studio
// 2013" (also "# Visual Studio Express 2012 for Web"): the first number
// word, as a major version; the years before 2015 name their version.
int CommentLineMajor(const char* rest) {
    static const int kYears[][2] = {{2005, 8}, {2008, 9}, {2010, 10}, {2012, 11}, {2013, 12}};
    for (const char* p = rest; *p; ++p) {
        if (!IsBlank(p[-1]) || *p < '0' || *p > '9') continue;
        const int number = LeadingNumber(p);
        if (number > 0 && number < 100) return number;
        for (const auto& year : kYears) {
            if (number == year[0]) return year[1];
        }
        return -1;
    }
    return -1;
}

}  // namespace

// The header ends where the first project or the global section begins; a
// version line there wins over the comment line, which older versions
// wrote alone. A version line that cannot be read decides nothing: a wrong
// guess from the comment would open the solution in an editor it does not
// name.
int SolutionMajorVersion(const BYTE* data, DWORD size) {
    if (data == nullptr) return -1;
    SolutionText text = {data, size, 1, 0};
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        text.data += 3;
        text.size -= 3;
    } else if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        text = {data + 2, size - 2, 2, 0};
    } else if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
        text = {data + 2, size - 2, 2, 1};
    }

    int fromComment = -1;
    const DWORD length = TextLength(text);
    DWORD index = 0;
    while (index < length) {
        // One line, without its line end; a line too long for any header
        // line is skipped whole, so that no cut number is read.
        char line[256] = "";
        size_t used = 0;
        int tooLong = 0;
        for (; index < length; ++index) {
            const char c = TextChar(text, index);
            if (c == '\n') break;
            if (c == '\r' || c == '\0') continue;
            if (used + 1 < sizeof(line)) {
                line[used++] = c;
            } else {
                tooLong = 1;
            }
        }
        ++index;
        if (tooLong) continue;
        line[used] = '\0';

        const char* start = SkipBlanks(line);
        if (AfterPrefix(start, "Project") || AfterPrefix(start, "Global")) break;
        if (const char* rest = AfterPrefix(start, "VisualStudioVersion"))
            return VersionLineMajor(rest);
        const char* comment = AfterPrefix(start, "# Visual Studio");
        if (comment && fromComment < 0 && IsBlank(*comment)) fromComment = CommentLineMajor(comment);
    }
    return fromComment;
}

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

// The first number of a version text and the one after its dot: 17 and 14
// of "17.14.36310.24". The first must be a whole number of at most four
// digits ended by the text's end, a dot or a blank ("17.0 built by: ..."),
// never a part of "170.1"; a missing or overlong second number counts as 0.
// Returns 0 when the first number is not there.
int VersionNumbers(const wchar_t* version, int* major, int* minor) {
    const wchar_t* p = version;
    int digits = 0;
    *major = 0;
    *minor = 0;
    while (*p >= L'0' && *p <= L'9' && digits < 5) {
        *major = *major * 10 + (*p++ - L'0');
        ++digits;
    }
    if (digits == 0 || digits == 5 || (*p >= L'0' && *p <= L'9')) return 0;
    if (*p != L'\0' && *p != L'.' && *p != L' ') return 0;
    if (*p == L'.') {
        ++p;
        digits = 0;
        while (*p >= L'0' && *p <= L'9' && digits < 5) {
            *minor = *minor * 10 + (*p++ - L'0');
            ++digits;
        }
        if (digits == 5) *minor = 0;
    }
    return 1;
}

// The version's first number must be the major version itself: 17 takes
// "17.8.34330.188" and "17.0 built by: ...", never "170.1" or "1.7".
int EditorForMajorVersion(int major) {
    if (major < 0) return -1;
    for (int i = 0; i < g_catalogue.count && i < kCatalogueSlots; ++i) {
        int value = 0;
        int minor = 0;
        if (VersionNumbers(g_catalogue.entries[i].version, &value, &minor) && value == major)
            return i;
    }
    return -1;
}

// Visual Studio opens .slnx solutions by default from 2022 version 17.14
// on, and 2026 (18) creates them. The newest such editor is taken; of two
// alike, the one earlier in the catalogue.
int NewestSlnxEditor() {
    int best = -1;
    int bestMajor = 0;
    int bestMinor = 0;
    for (int i = 0; i < g_catalogue.count && i < kCatalogueSlots; ++i) {
        int major = 0;
        int minor = 0;
        if (!VersionNumbers(g_catalogue.entries[i].version, &major, &minor)) continue;
        if (major < 17 || (major == 17 && minor < 14)) continue;
        if (best < 0 || major > bestMajor || (major == bestMajor && minor > bestMinor)) {
            best = i;
            bestMajor = major;
            bestMinor = minor;
        }
    }
    return best;
}

// A fresh clone has no .vs folder, but its solution file may name the
// version that wrote it, or, for an .slnx, the version to open it with.
// Only the beginning is read, in one go, from a file on disk: a device, pipe
// or folder named like a solution is never waited on, and the file stays
// open to everyone else meanwhile.
int EditorForSolutionFile(const wchar_t* slnPath, int isSlnx) {
    HANDLE file = CreateFileW(slnPath, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    BYTE head[kSolutionHeadBytes];
    DWORD got = 0;
    BY_HANDLE_FILE_INFORMATION info;
    const int readable = GetFileType(file) == FILE_TYPE_DISK &&
                         GetFileInformationByHandle(file, &info) &&
                         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                         ReadFile(file, head, sizeof(head), &got, nullptr);
    CloseHandle(file);
    if (!readable) return -1;
    if (!isSlnx) return EditorForMajorVersion(SolutionMajorVersion(head, got));
    const int major = SlnxMajorVersion(head, got);
    return major == kSlnxNoOpenWith ? NewestSlnxEditor() : EditorForMajorVersion(major);
}
