// Asking the command interpreter: "assoc" run for one extension, and its
// answer read back into the name of the extension's file type.
#include "setup.h"

#include <wchar.h>

#include "store_keys.h"

// The interpreter's own path, " /d /c " and a composed command line.
static const size_t kInterpreterLineUnits = 260 + 16 + 1024;

// The interpreter comes from the system folder, never from COMSPEC, and /d
// keeps the user's AutoRun commands out: their output would land in the
// answer file ahead of that of "assoc". /v:off keeps a DelayedExpansion
// setting of the user's from rewriting a path that holds "!", and /u makes
// the built-in commands write UTF-16 into a file, so that a file type in any
// script is read back as it is. A program without a console of its own
// would flash one up for every command without CREATE_NO_WINDOW. The caller
// goes on once the command has ended, as after system(); the exit status
// says nothing that the answer file and the registry do not.
int RunCommandInterpreter(const wchar_t* command) {
    wchar_t szInterpreter[260];
    wchar_t szLine[kInterpreterLineUnits];
    UINT cch = GetSystemDirectoryW(szInterpreter, _countof(szInterpreter));
    if (cch == 0 || cch >= _countof(szInterpreter) || !KalPathCatW(szInterpreter, L"cmd.exe"))
        return 0;
    if (KalSnPrintFW(szLine, L"\"%s\" /d /u /v:off /c %s", szInterpreter, command) < 0) return 0;

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    if (!CreateProcessW(szInterpreter, szLine, NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL,
                        &startup, &process))
        return 0;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

// Reads the beginning of the answer file into line, terminated: UTF-16 as
// "cmd /u" writes it (with or without a byte order mark), or plain ASCII
// from an interpreter that wrote in its code page after all. Returns 1
// when read, 0 when the file is empty, -1 when it cannot be opened, and -2
// when its text cannot be read back exactly: bytes of a code page, which
// would give another type's name.
static int ReadAnswerText(const wchar_t* outputFile, wchar_t (&line)[324]) {
    unsigned char bytes[sizeof(line)];
    line[0] = L'\0';
    HANDLE file = CreateFileW(outputFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return -1;
    DWORD got = 0;
    const BOOL read = ReadFile(file, bytes, sizeof(bytes) - sizeof(wchar_t), &got, NULL);
    CloseHandle(file);
    if (!read) return -1;
    if (got == 0) return 0;
    size_t units = 0;
    if (got >= 2 && (bytes[1] == 0 || (bytes[0] == 0xFF && bytes[1] == 0xFE))) {
        size_t at = bytes[0] == 0xFF && bytes[1] == 0xFE ? 2 : 0;
        for (; at + 1 < got; at += 2)
            line[units++] = static_cast<wchar_t>(bytes[at] | (bytes[at + 1] << 8));
    } else {
        for (DWORD at = 0; at < got && units + 1 < _countof(line); ++at) {
            if (bytes[at] >= 0x80) return -2;
            line[units++] = static_cast<wchar_t>(bytes[at]);
        }
    }
    line[units] = L'\0';
    return 1;
}

int ReadSlnAssociation(const wchar_t* outputFile, wchar_t (&type)[260],
                       const wchar_t* extension) {
    wchar_t (&line)[324] = g_setup.szLine;
    type[0] = L'\0';
    // The answer begins with the extension and "=", as in .sln=Type.
    wchar_t szPrefix[16];
    if (KalSnPrintFW(szPrefix, L"%s=", extension) < 0) return SLN_ASSOC_UNKNOWN;
    const size_t cchPrefix = wcslen(szPrefix);
    ZeroMemory(line, sizeof(line));
    const int read = ReadAnswerText(outputFile, line);
    if (read == -1) return SLN_ASSOC_UNKNOWN;
    if (read == 0) return SLN_ASSOC_NONE;
    if (read == -2) return SLN_ASSOC_REFUSED;

    // A line that fills the buffer without its line feed went on beyond it:
    // the type in it is cut and must not be taken for the real one.
    wchar_t* lf = wcschr(line, L'\n');
    if (lf != NULL)
        *lf = L'\0';
    else if (wcslen(line) >= _countof(line) - 1)
        return _wcsnicmp(line, szPrefix, cchPrefix) == 0 ? SLN_ASSOC_REFUSED : SLN_ASSOC_NONE;
    // What came before the line feed of a CRLF.
    const size_t length = wcslen(line);
    if (length > 0 && line[length - 1] == L'\r') line[length - 1] = L'\0';

    if (_wcsnicmp(line, szPrefix, cchPrefix) != 0) return SLN_ASSOC_NONE;
    const wchar_t* current = line + cchPrefix;
    if (current[0] == L'\0') return SLN_ASSOC_NONE;
    if (_wcsicmp(current, kSlnFileType) == 0) return SLN_ASSOC_PIKRO;
    if (!IsSafeFileType(current)) return SLN_ASSOC_REFUSED;
    if (wcscpy_s(type, current) != 0) return SLN_ASSOC_REFUSED;
    return SLN_ASSOC_OTHER;
}

// Runs "assoc" for the kind's extension into its answer file in the
// temporary folder and reads its answer.
int QuerySlnAssociation(const SolutionKind& kind, wchar_t (&type)[260]) {
    DWORD cch = GetTempPathW(_countof(g_setup.szTempFile), g_setup.szTempFile);
    if (cch == 0 || cch >= _countof(g_setup.szTempFile)) {
        g_setup.szTempFile[0] = L'\0';
        return SLN_ASSOC_UNKNOWN;
    }
    if (!KalPathCatW(g_setup.szTempFile, kind.answerFile)) return SLN_ASSOC_UNKNOWN;
    if (!ComposeAssocQuery(g_setup.szTempFile, g_setup.szCommand, kind.extension))
        return SLN_ASSOC_UNKNOWN;
    // An answer left over from an earlier run must never pass for this one's,
    // should the redirection fail.
    DeleteFileW(g_setup.szTempFile);
    if (GetFileAttributesW(g_setup.szTempFile) != INVALID_FILE_ATTRIBUTES) return SLN_ASSOC_UNKNOWN;
    RunCommandInterpreter(g_setup.szCommand);
    return ReadSlnAssociation(g_setup.szTempFile, type, kind.extension);
}

