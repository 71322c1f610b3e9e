// The version that wrote a solution file, read from its beginning, or for
// an .slnx the version it asks to be opened with (slnx_version.cpp): what
// decides for a fresh clone, which has no .vs folder yet.
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

namespace {

// The version's first number must be the major version itself: 17 takes
// "17.8.34330.188" and "17.0 built by: ...", never "170.1" or "1.7".
int IsOfMajorVersion(const EditorEntry& entry, const void* context) {
    int major = 0;
    int minor = 0;
    return VersionNumbers(entry.version, &major, &minor) && major == *static_cast<const int*>(context);
}

int OpensSlnxMatch(const EditorEntry& entry, const void*) { return OpensSlnx(entry); }

}  // namespace

// Visual Studio opens .slnx solutions by default from 2022 version 17.14
// on, and 2026 (18) creates them.
int OpensSlnx(const EditorEntry& entry) {
    int major = 0;
    int minor = 0;
    if (!VersionNumbers(entry.version, &major, &minor)) return 0;
    return major > 17 || (major == 17 && minor >= 14);
}

int EditorForMajorVersion(int major) {
    if (major < 0) return -1;
    return BestMatchingEditor(IsOfMajorVersion, &major);
}

// Of several such editors a release is taken before a prerelease, then the
// newest.
int NewestSlnxEditor() { return BestMatchingEditor(OpensSlnxMatch, nullptr); }

// A fresh clone has no .vs folder, but its solution file may name the
// version that wrote it, or, for an .slnx, the version to open it with.
// Only a file on disk is read: a device, pipe or folder named like a
// solution is never waited on, and the file stays open to everyone else
// meanwhile.
int EditorForSolutionFile(const wchar_t* slnPath, int isSlnx) {
    HANDLE file = CreateFileW(slnPath, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    BY_HANDLE_FILE_INFORMATION info;
    const int onDisk = GetFileType(file) == FILE_TYPE_DISK &&
                       GetFileInformationByHandle(file, &info) &&
                       !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    int major = -1;
    if (onDisk && isSlnx) {
        major = SlnxMajorVersion(file);
    } else if (onDisk) {
        BYTE head[kSolutionHeadBytes];
        DWORD got = 0;
        if (ReadFile(file, head, sizeof(head), &got, nullptr)) major = SolutionMajorVersion(head, got);
    }
    CloseHandle(file);
    return isSlnx && major == kSlnxNoOpenWith ? NewestSlnxEditor() : EditorForMajorVersion(major);
}
