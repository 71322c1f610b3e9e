// Start decision for a solution: which editor of the catalogue opens it, or
// whether the user has to choose. The .vs folder that Visual Studio keeps
// beside a solution names the versions that have opened it; its greatest
// version folder picks the editor, unless the settings fix one. Without a
// .vs folder the settings ask, fix an editor, or let the solution file's
// own version line decide.
#include "launcher.h"
#include "store_keys.h"

#include <io.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

// The files of a version folder that hold the user's own state: the options
// file (start-up project, open documents, breakpoints) and, from Visual
// Studio 2022 17.9 on, the document layout and its backup. Cleaning is there
// to remove the caches beside them.
const wchar_t* const kUserStateFiles[] = {L".suo", L"DocumentLayout.json",
                                          L"DocumentLayout.backup.json"};

// Earlier launchers parked the per-solution .suo file under
// ".suo.<process id>.<n>.tmp" while they cleaned; one that was killed then
// left it there.
const wchar_t kParkedSuoPattern[] = L".suo.*.tmp";

// A base name that names exactly the folder it spells: not empty, not made
// of dots and blanks only ("..", which would climb out of .vs), and not
// ending in a dot or a blank, which Windows drops ("App." names "App").
int IsPlainBaseName(const wchar_t* name) {
    const size_t length = wcslen(name);
    if (length == 0 || name[length - 1] == L'.' || name[length - 1] == L' ') return 0;
    return wcsspn(name, L". ") != length;
}

// Opens a folder as itself, never what a link points to, and only when it is
// a real folder (no junction, symbolic link or other reparse point). While
// the handle is open, nobody can rename or delete the folder, so a folder
// checked here stays the one the cleaning walks.
HANDLE OpenRealFolder(const wchar_t* path) {
    // The attributes of the path itself are tested too: not every file
    // system opens a link itself when asked to.
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return INVALID_HANDLE_VALUE;
    HANDLE folder = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return folder;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder, &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(folder);
        return INVALID_HANDLE_VALUE;
    }
    return folder;
}

// 1 when the per-solution folder really is the entry baseName of the .vs
// folder: its final path is the .vs folder's final path, one backslash and
// the base name. A short (8.3) name or any other spelling that reaches
// another folder fails.
int IsChildOf(HANDLE vsFolder, HANDLE perSlnFolder, const wchar_t* baseName) {
    wchar_t vsFinal[1024] = L"";
    wchar_t perSlnFinal[1024] = L"";
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    DWORD got = GetFinalPathNameByHandleW(vsFolder, vsFinal, _countof(vsFinal), flags);
    if (got == 0 || got >= _countof(vsFinal)) return 0;
    got = GetFinalPathNameByHandleW(perSlnFolder, perSlnFinal, _countof(perSlnFinal), flags);
    if (got == 0 || got >= _countof(perSlnFinal)) return 0;
    wchar_t expected[1024] = L"";
    if (KalSnPrintFW(expected, L"%s\\%s", vsFinal, baseName) < 0) return 0;
    return _wcsicmp(expected, perSlnFinal) == 0;
}

// ".suo." digits "." digits ".tmp": the name under which a .suo file was
// parked.
int IsParkedSuoName(const wchar_t* name) {
    if (wcsncmp(name, L".suo.", 5) != 0) return 0;
    const wchar_t* p = name + 5;
    for (int part = 0; part < 2; ++part) {
        const wchar_t* digits = p;
        while (*p >= L'0' && *p <= L'9') ++p;
        if (p == digits) return 0;
        if (part == 0 && *p++ != L'.') return 0;
    }
    return wcscmp(p, L".tmp") == 0;
}

// Puts back a .suo file that an earlier launcher parked and could not
// return. A parked copy goes back when the place is free; when a .suo file
// is there again, the newer of the two stays, and the parked copy never
// overwrites a newer file.
void RestoreParkedSuo(const wchar_t* perSlnFolder) {
    wchar_t pattern[260] = L"";
    wchar_t suoFile[260] = L"";
    wcscpy_s(pattern, perSlnFolder);
    wcscpy_s(suoFile, perSlnFolder);
    if (!KalPathCatW(pattern, kParkedSuoPattern) || !KalPathCatW(suoFile, L".suo")) return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            !IsParkedSuoName(found.cFileName))
            continue;
        wchar_t parked[260] = L"";
        wcscpy_s(parked, perSlnFolder);
        if (!KalPathCatW(parked, found.cFileName)) continue;
        if (MoveFileW(parked, suoFile)) continue;
        WIN32_FILE_ATTRIBUTE_DATA present;
        if (!GetFileAttributesExW(suoFile, GetFileExInfoStandard, &present) ||
            (present.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (CompareFileTime(&found.ftLastWriteTime, &present.ftLastWriteTime) > 0)
            MoveFileExW(parked, suoFile, MOVEFILE_REPLACE_EXISTING);
        else
            DeleteFileW(parked);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Empties one version folder but for the user's state files, which never
// move. A version folder that is itself a link would have its target
// emptied, which lies outside the solution's .vs folder. Returns 0 when its
// path does not fit and nothing was touched, else 1.
int CleanVersionFolder(const wchar_t* perSlnFolder, const wchar_t* name) {
    wchar_t folder[260] = L"";
    wcscpy_s(folder, perSlnFolder);
    if (!KalPathCatW(folder, name)) return 0;
    const DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 1;
    KalCleanFolderExW(folder, kUserStateFiles);
    return 1;
}

// Searches the per-solution folder for the greatest folder whose name
// begins with v, cleaning each when the settings ask for it. Returns 0 when
// a name or path does not fit: deciding without that folder, which could be
// the greatest, could start the wrong editor.
int SearchVersionFolders(const wchar_t* perSlnFolder, wchar_t (&chosen)[256]) {
    wchar_t pattern[260] = L"";
    wcscpy_s(pattern, perSlnFolder);
    if (!KalPathCatW(pattern, L"v*")) return 0;
    int fits = 1;
    _wfinddata64i32_t found;
    const intptr_t search = _wfindfirst64i32(pattern, &found);
    if (search == -1) return 1;
    do {
        if (!(found.attrib & _A_SUBDIR)) continue;
        // Short names can match the pattern when the long name does not.
        if (found.name[0] != L'v' && found.name[0] != L'V') continue;
        if (wcslen(found.name) >= _countof(chosen)) {
            fits = 0;
            continue;
        }
        if (chosen[0] == L'\0' || _wcsicmp(found.name, chosen) > 0) wcscpy_s(chosen, found.name);
        if (g_settings.fDelVsFolder && !CleanVersionFolder(perSlnFolder, found.name)) fits = 0;
    } while (_wfindnext64i32(search, &found) == 0);
    _findclose(search);
    return fits;
}

// Launchers opening the same solution at once clean its version folders one
// after the other: two walks through one tree trip over each other's
// deletions and open folders and leave folders behind. The lock is named
// after the per-solution folder's identity, whatever path reached it. A
// launcher that cannot have it in this time cleans all the same.
const DWORD kCleaningWaitMs = 30000;

HANDLE LockForCleaning(HANDLE perSlnFolder) {
    BY_HANDLE_FILE_INFORMATION info;
    wchar_t name[64] = L"";
    if (!GetFileInformationByHandle(perSlnFolder, &info) ||
        KalSnPrintFW(name, L"Local\\PikroSuite.Clean.%08X.%08X%08X", info.dwVolumeSerialNumber,
                     info.nFileIndexHigh, info.nFileIndexLow) < 0)
        return nullptr;
    HANDLE lock = CreateMutexW(nullptr, FALSE, name);
    if (!lock) return nullptr;
    const DWORD waited = WaitForSingleObject(lock, kCleaningWaitMs);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return lock;
    CloseHandle(lock);
    return nullptr;
}

// The version-folder rule: the greatest folder whose name begins with v,
// compared as text, names the version; every such folder is emptied first
// when the settings ask for it. Nothing is searched or cleaned unless the
// per-solution folder is a real folder right inside a real .vs folder.
// Returns the catalogue index to start, or -1 when the user has to choose.
int DecideByVersionFolder(const wchar_t* vsPath, const wchar_t* baseName) {
    if (!IsPlainBaseName(baseName)) return -1;
    wchar_t perSlnFolder[260] = L"";
    wcscpy_s(perSlnFolder, vsPath);
    if (!KalPathCatW(perSlnFolder, baseName)) return -1;

    HANDLE vsFolder = OpenRealFolder(vsPath);
    if (vsFolder == INVALID_HANDLE_VALUE) return -1;
    HANDLE perSln = OpenRealFolder(perSlnFolder);
    wchar_t chosen[256] = L"";
    int fits = 0;
    if (perSln != INVALID_HANDLE_VALUE) {
        if (IsChildOf(vsFolder, perSln, baseName)) {
            HANDLE cleaning = g_settings.fDelVsFolder ? LockForCleaning(perSln) : nullptr;
            if (g_settings.fDelVsFolder) RestoreParkedSuo(perSlnFolder);
            fits = SearchVersionFolders(perSlnFolder, chosen);
            if (cleaning) {
                ReleaseMutex(cleaning);
                CloseHandle(cleaning);
            }
        }
        CloseHandle(perSln);
    }
    CloseHandle(vsFolder);
    if (!fits || chosen[0] == L'\0') return -1;

    const wchar_t* key = chosen + 1;
    const size_t keyLength = wcslen(key);
    for (int i = 0; i < g_catalogue.count; ++i) {
        if (_wcsnicmp(g_catalogue.entries[i].version, key, keyLength) == 0) return i;
    }
    return -1;
}

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

// The version's first number must be the major version itself: 17 takes
// "17.8.34330.188" and "17.0 built by: ...", never "170.1" or "1.7".
int EditorForMajorVersion(int major) {
    if (major < 0) return -1;
    for (int i = 0; i < g_catalogue.count && i < kCatalogueSlots; ++i) {
        const wchar_t* p = g_catalogue.entries[i].version;
        int value = 0;
        int digits = 0;
        while (*p >= L'0' && *p <= L'9' && digits < 5) {
            value = value * 10 + (*p++ - L'0');
            ++digits;
        }
        if (digits == 0 || digits == 5 || (*p >= L'0' && *p <= L'9')) continue;
        if (*p != L'\0' && *p != L'.' && *p != L' ') continue;
        if (value == major) return i;
    }
    return -1;
}

namespace {

// A fresh clone has no .vs folder, but its solution file names the version
// that wrote it. Only the beginning is read, in one go, from a file on disk:
// a device, pipe or folder named like a solution is never waited on, and
// the file stays open to everyone else meanwhile.
int DecideBySolutionFile(const wchar_t* slnPath) {
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
    return EditorForMajorVersion(SolutionMajorVersion(head, got));
}

void PostStart(HWND dialog, int index) {
    if (index < 0) {
        PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
    } else {
        PostMessageW(dialog, UM_START_EDITOR, static_cast<WPARAM>(index), 0);
    }
}

}  // namespace

void DecideStart(HWND dialog) {
    wchar_t drive[260] = L"";
    wchar_t directory[260] = L"";
    wchar_t baseName[260] = L"";
    wchar_t vsPath[260] = L"";
    // A part that does not fit would leave a cut path that can name another
    // folder: nothing is searched or cleaned then, and the user chooses.
    if (_wsplitpath_s(g_state.szSlnPath, drive, _countof(drive), directory, _countof(directory),
                      baseName, _countof(baseName), nullptr, 0) != 0 ||
        _wmakepath_s(vsPath, _countof(vsPath), drive, directory, L".vs", nullptr) != 0) {
        PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
        return;
    }

    // Fixed indexes go out as stored; the start tests them against the
    // catalogue. A rule value that no dialog writes falls back to asking, so
    // the launcher never keeps running with no window to reach.
    if (KalPathIsDirectoryW(vsPath)) {
        if (g_settings.VsProc == 0) {
            PostStart(dialog, DecideByVersionFolder(vsPath, baseName));
        } else if (g_settings.VsProc == 1) {
            PostMessageW(dialog, UM_START_EDITOR, g_settings.ixVsFix, 0);
        } else {
            PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
        }
    } else if (g_settings.NoVsProc == 1) {
        PostMessageW(dialog, UM_START_EDITOR, g_settings.ixNoVsFix, 0);
    } else if (g_settings.NoVsProc == 2) {
        PostStart(dialog, DecideBySolutionFile(g_state.szSlnPath));
    } else {
        PostMessageW(dialog, UM_SHOW_CHOICE, 0, 0);
    }
}
