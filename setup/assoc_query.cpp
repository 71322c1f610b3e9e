// Asking the command interpreter: "assoc" run for one extension with its
// answer read straight from the interpreter's output through a pipe, and
// that answer read back into the name of the extension's file type. No
// file is involved: a file at a name known beforehand is one that anyone
// running as the user could create first, as a link to a file of their
// choice that setup, running elevated, would then write over.
#include "setup.h"

#include <wchar.h>

#include "store_keys.h"

// The interpreter's own path, " /d /c " and a composed command line.
static const size_t kInterpreterLineUnits = 260 + 16 + 1024;

// The bytes of an answer that are looked at: one line of 324 units, of
// which the last holds the terminator.
static const DWORD kAnswerBytes = (324 - 1) * sizeof(wchar_t);

// The interpreter comes from the system folder, never from COMSPEC, and /d
// keeps the user's AutoRun commands out: their output would come ahead of
// that of "assoc". /v:off keeps a DelayedExpansion setting of the user's
// from rewriting a path that holds "!", and /u makes the built-in commands
// write UTF-16 into a pipe or file, so that a file type in any script is
// read back as it is. A program without a console of its own would flash
// one up for every command without CREATE_NO_WINDOW. When output is given,
// it becomes the interpreter's standard output, the one handle it inherits.
static int StartInterpreter(const wchar_t* command, HANDLE output, PROCESS_INFORMATION* process) {
    wchar_t szInterpreter[260];
    wchar_t szLine[kInterpreterLineUnits];
    UINT cch = GetSystemDirectoryW(szInterpreter, _countof(szInterpreter));
    if (cch == 0 || cch >= _countof(szInterpreter) || !KalPathCatW(szInterpreter, L"cmd.exe"))
        return 0;
    if (KalSnPrintFW(szLine, L"\"%s\" /d /u /v:off /c %s", szInterpreter, command) < 0) return 0;

    STARTUPINFOEXW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.StartupInfo.cb = sizeof(startup);
    ZeroMemory(process, sizeof(*process));
    DWORD flags = CREATE_NO_WINDOW;
    // Room for a list of one handle; the size Windows asks for is checked.
    alignas(void*) unsigned char list[128];
    HANDLE inherited[1] = {output};
    if (output != NULL) {
        SIZE_T size = sizeof(list);
        startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list);
        if (!InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size)) return 0;
        if (!UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                       inherited, sizeof(inherited), NULL, NULL)) {
            DeleteProcThreadAttributeList(startup.lpAttributeList);
            return 0;
        }
        startup.StartupInfo.cb = sizeof(STARTUPINFOEXW);
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdOutput = output;
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    } else {
        startup.StartupInfo.cb = sizeof(STARTUPINFOW);
    }
    const BOOL started = CreateProcessW(szInterpreter, szLine, NULL, NULL, output != NULL, flags, NULL,
                                        NULL, &startup.StartupInfo, process);
    if (output != NULL) DeleteProcThreadAttributeList(startup.lpAttributeList);
    return started ? 1 : 0;
}

static void EndInterpreter(PROCESS_INFORMATION* process) {
    WaitForSingleObject(process->hProcess, INFINITE);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
}

// The caller goes on once the command has ended, as after system(); the
// exit status says nothing that the registry does not.
int RunCommandInterpreter(const wchar_t* command) {
    PROCESS_INFORMATION process;
    if (!StartInterpreter(command, NULL, &process)) return 0;
    EndInterpreter(&process);
    return 1;
}

// Runs command with its standard output going into a pipe and reads all it
// writes until the interpreter ends: the first bytes into answer, the rest
// read and dropped, so that the interpreter never waits on a full pipe.
// Returns 1 with the count of bytes kept, or 0 when nothing could be run.
static int RunCommandForAnswer(const wchar_t* command, unsigned char (&answer)[kAnswerBytes],
                               DWORD* kept) {
    *kept = 0;
    SECURITY_ATTRIBUTES inheritable;
    ZeroMemory(&inheritable, sizeof(inheritable));
    inheritable.nLength = sizeof(inheritable);
    inheritable.bInheritHandle = TRUE;
    HANDLE readEnd = NULL;
    HANDLE writeEnd = NULL;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return 0;
    // Only the interpreter's end is handed on.
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION process;
    const int started = StartInterpreter(command, writeEnd, &process);
    // With this process's copy of the write end closed, reading ends when
    // the interpreter closes its own, by ending.
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return 0;
    }
    unsigned char chunk[512];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof(chunk), &got, NULL) && got > 0) {
        const DWORD take = got < kAnswerBytes - *kept ? got : kAnswerBytes - *kept;
        CopyMemory(answer + *kept, chunk, take);
        *kept += take;
    }
    CloseHandle(readEnd);
    EndInterpreter(&process);
    return 1;
}

// Turns the first bytes of an answer into line, terminated: UTF-16 as
// "cmd /u" writes it (with or without a byte order mark), or plain ASCII
// from an interpreter that wrote in its code page after all. Returns 1
// when read, 0 when there is nothing, and -2 when the text cannot be read
// back exactly: bytes of a code page, which would give another type's name.
static int AnswerText(const unsigned char* bytes, size_t got, wchar_t (&line)[324]) {
    line[0] = L'\0';
    if (got > kAnswerBytes) got = kAnswerBytes;
    if (got == 0) return 0;
    size_t units = 0;
    if (got >= 2 && (bytes[1] == 0 || (bytes[0] == 0xFF && bytes[1] == 0xFE))) {
        size_t at = bytes[0] == 0xFF && bytes[1] == 0xFE ? 2 : 0;
        for (; at + 1 < got; at += 2)
            line[units++] = static_cast<wchar_t>(bytes[at] | (bytes[at + 1] << 8));
    } else {
        for (size_t at = 0; at < got && units + 1 < _countof(line); ++at) {
            if (bytes[at] >= 0x80) return -2;
            line[units++] = static_cast<wchar_t>(bytes[at]);
        }
    }
    line[units] = L'\0';
    return 1;
}

int IsOurFileType(const wchar_t* type) {
    for (const SolutionKind& kind : kSolutionKinds) {
        if (_wcsicmp(type, kind.fileType) == 0) return 1;
    }
    return 0;
}

int ClassifyFileType(const wchar_t* type) {
    if (type[0] == L'\0') return SLN_ASSOC_NONE;
    if (!IsSafeFileType(type)) return SLN_ASSOC_REFUSED;
    return IsOurFileType(type) ? SLN_ASSOC_PIKRO : SLN_ASSOC_OTHER;
}

int ParseAssocAnswer(const unsigned char* bytes, size_t count, wchar_t (&type)[260],
                     const wchar_t* extension) {
    wchar_t (&line)[324] = g_setup.szLine;
    type[0] = L'\0';
    // The answer begins with the extension and "=", as in .sln=Type.
    wchar_t szPrefix[16];
    if (KalSnPrintFW(szPrefix, L"%s=", extension) < 0) return SLN_ASSOC_UNKNOWN;
    const size_t cchPrefix = wcslen(szPrefix);
    ZeroMemory(line, sizeof(line));
    const int read = AnswerText(bytes, count, line);
    if (read == 0) return SLN_ASSOC_NONE;
    if (read == -2) return SLN_ASSOC_REFUSED;

    // A line that fills the buffer without its line feed went on beyond it:
    // the type in it is cut and must not be taken for the real one. So is a
    // type followed by more than the line's end: "assoc" writes one line,
    // and a type holding a line feed of its own goes on after it.
    wchar_t* lf = wcschr(line, L'\n');
    int fMore = 0;
    if (lf != NULL) {
        fMore = lf[1] != L'\0';
        *lf = L'\0';
    } else if (wcslen(line) >= _countof(line) - 1) {
        fMore = 1;
    }
    // What came before the line feed of a CRLF.
    const size_t length = wcslen(line);
    if (length > 0 && line[length - 1] == L'\r') line[length - 1] = L'\0';

    if (_wcsnicmp(line, szPrefix, cchPrefix) != 0) return SLN_ASSOC_NONE;
    if (fMore) return SLN_ASSOC_REFUSED;
    const wchar_t* current = line + cchPrefix;
    const int kind = ClassifyFileType(current);
    if (kind != SLN_ASSOC_OTHER && kind != SLN_ASSOC_PIKRO) return kind;
    if (wcscpy_s(type, current) != 0) return SLN_ASSOC_REFUSED;
    return kind;
}

int ReadShellFileType(const SolutionKind& kind, wchar_t (&type)[260]) {
    type[0] = L'\0';
    // One unit more than a type may hold, and one for a terminator the
    // stored text may lack.
    wchar_t szRead[_countof(type) + 2];
    DWORD valueType = REG_NONE;
    DWORD bytes = sizeof(szRead) - sizeof(wchar_t);
    if (!QueryShellClassValue(kind.extension, NULL, &valueType, szRead, &bytes)) return SLN_ASSOC_NONE;
    size_t units = bytes / sizeof(wchar_t);
    if (units > 0 && szRead[units - 1] == L'\0') units--;
    szRead[units] = L'\0';
    // A terminator inside the text would leave the part before it: a cut.
    if (wcslen(szRead) != units) return SLN_ASSOC_REFUSED;
    const int result = ClassifyFileType(szRead);
    if ((result == SLN_ASSOC_OTHER || result == SLN_ASSOC_PIKRO) && wcscpy_s(type, szRead) != 0)
        return SLN_ASSOC_REFUSED;
    return result;
}

int QuerySlnAssociation(const SolutionKind& kind, wchar_t (&type)[260]) {
    type[0] = L'\0';
    if (KalSnPrintFW(g_setup.szCommand, L"assoc %s", kind.extension) < 0) return SLN_ASSOC_UNKNOWN;
    unsigned char answer[kAnswerBytes];
    DWORD kept = 0;
    if (!RunCommandForAnswer(g_setup.szCommand, answer, &kept)) return SLN_ASSOC_UNKNOWN;
    return ParseAssocAnswer(answer, kept, type, kind.extension);
}
