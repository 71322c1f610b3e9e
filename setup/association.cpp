// The second half of setup: .sln and .slnx are associated with the launcher
// through the command interpreter's "assoc" and "ftype", the file type each
// had before is remembered for removal, and the launcher's six settings
// start at 0 unless the user has set them already.
#include "setup.h"

#include <wchar.h>

#include "settings.h"
#include "store_keys.h"

const SolutionKind kSolutionKinds[kSolutionKindCount] = {
    {kSlnExtension, kKeyOrgFType, L"Pikro.tmp"},
    {kSlnxExtension, kKeyOrgFTypeSlnx, L"PikroSlnx.tmp"},
};

// The interpreter's own path, " /d /c " and a composed command line.
static const size_t kInterpreterLineUnits = 260 + 16 + 1024;

static int IsControlUnit(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

int IsSafeFileType(const wchar_t* type) {
    // Besides the characters cmd gives a meaning of its own, blanks and the
    // other argument delimiters are refused: "assoc" could not give such a
    // type back unchanged. "/" would turn "assoc" into its help text.
    static const wchar_t kRefused[] = L" &|<>^\"%()!,;=/";
    size_t len = wcsnlen(type, 260);
    if (len == 0 || len >= 260) return 0;
    for (size_t i = 0; i < len; i++) {
        if (IsControlUnit(type[i]) || wcschr(kRefused, type[i]) != NULL) return 0;
    }
    return 1;
}

int IsQuotablePath(const wchar_t* path) {
    size_t len = wcsnlen(path, 260);
    if (len == 0 || len >= 260) return 0;
    for (size_t i = 0; i < len; i++) {
        if (IsControlUnit(path[i]) || path[i] == L'"' || path[i] == L'%') return 0;
    }
    return 1;
}

// No blank before ">": cmd would hand it to "assoc" as part of the name.
// The quotes keep a temporary folder with blanks in one piece; the line does
// not start with a quote, so "cmd /c" leaves them alone.
int ComposeAssocQuery(const wchar_t* outputFile, wchar_t (&command)[1024],
                      const wchar_t* extension) {
    command[0] = L'\0';
    if (!IsQuotablePath(outputFile)) return 0;
    if (KalSnPrintFW(command, L"assoc %s>\"%s\"", extension, outputFile) < 0) {
        command[0] = L'\0';
        return 0;
    }
    return 1;
}

// The quoted program path cannot start another program whose name is a
// prefix of it ("C:\Program.exe"), and the quoted %1 arrives as one quoted
// solution path, which the launcher unquotes.
int ComposeFTypeCommand(const wchar_t* launcher, wchar_t (&command)[1024]) {
    command[0] = L'\0';
    if (!IsQuotablePath(launcher)) return 0;
    if (KalSnPrintFW(command, L"ftype %s=\"%s\" \"%%1\"", kSlnFileType, launcher) < 0) {
        command[0] = L'\0';
        return 0;
    }
    return 1;
}

int ComposeAssocRestore(const wchar_t* type, wchar_t (&command)[324],
                        const wchar_t* extension) {
    command[0] = L'\0';
    if (!IsSafeFileType(type)) return 0;
    if (KalSnPrintFW(command, L"assoc %s=%s", extension, type) < 0) {
        command[0] = L'\0';
        return 0;
    }
    return 1;
}

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

int ReadRememberedFileType(wchar_t (&type)[260], const wchar_t* key) {
    type[0] = L'\0';
    // The store cuts a text to its buffer, and a cut type names another one.
    int len = KalGetProfileStrLenW(kSectVsInst, key);
    if (len <= 0 || len >= static_cast<int>(_countof(type))) return 0;
    if (KalGetProfileStrW(kSectVsInst, key, L"", type) == len && IsSafeFileType(type))
        return 1;
    type[0] = L'\0';
    return 0;
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
static int QuerySlnAssociation(const SolutionKind& kind, wchar_t (&type)[260]) {
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

// Composes the "ftype" command that makes PikroSln open the launcher beside
// this program. Returns 0 when the launcher path cannot be put on a command
// line safely.
static int ComposeOurFType() {
    if (!KalGetAppPathW(g_setup.szLauncher) || !KalPathCatW(g_setup.szLauncher, kLauncherExe))
        return 0;
    return ComposeFTypeCommand(g_setup.szLauncher, g_setup.szCommand);
}

// 1 when PikroSln's open command, as the shell reads it, is the one the
// composed "ftype" command sets.
static int OpenCommandIsOurs() {
    const wchar_t* wanted = wcschr(g_setup.szCommand, L'=');
    wchar_t szCurrent[1024];
    DWORD bytes = sizeof(szCurrent);
    if (!wanted || RegGetValueW(HKEY_CLASSES_ROOT, L"PikroSln\\shell\\open\\command", NULL,
                                RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, NULL,
                                szCurrent, &bytes) != ERROR_SUCCESS)
        return 0;
    return wcscmp(szCurrent, wanted + 1) == 0;
}

// .sln is already PikroSln, but its open command may name a launcher that
// is no longer there (the suite installed elsewhere, an old copy deleted):
// it is set to this launcher whenever it differs.
static int RepairOpenCommand() {
    if (!ComposeOurFType() || OpenCommandIsOurs()) return 0;
    return RunCommandInterpreter(g_setup.szCommand);
}

// Defines PikroSln with the launcher beside this program and gives the
// kind's extension to it, remembering the previous type first. Nothing is
// run when the launcher path cannot be put on a command line safely.
static int TakeOverAssociation(const SolutionKind& kind, const wchar_t* previousType) {
    if (!ComposeOurFType()) return 0;
    KalPutProfileStrW(kSectVsInst, kind.orgFTypeKey, previousType);
    RunCommandInterpreter(g_setup.szCommand);
    if (KalSnPrintFW(g_setup.szCommand, L"assoc %s=%s", kind.extension, kSlnFileType) < 0) return 0;
    RunCommandInterpreter(g_setup.szCommand);
    return 1;
}

// .sln and .slnx each by the same rules, each type remembered on its own.
int AssociateSolutions() {
    for (const SolutionKind& kind : kSolutionKinds) {
        wchar_t szCurrent[260];
        switch (QuerySlnAssociation(kind, szCurrent)) {
        case SLN_ASSOC_OTHER:
            KalDelProfileKeyW(kSectVsInst, kind.orgFTypeKey);
            TakeOverAssociation(kind, szCurrent);
            break;
        case SLN_ASSOC_NONE:
        case SLN_ASSOC_REFUSED:
            // The extension is not ours (any more): a type remembered by an
            // earlier run is stale, and removal must not force it back.
            KalDelProfileKeyW(kSectVsInst, kind.orgFTypeKey);
            break;
        case SLN_ASSOC_PIKRO:
            // Already ours: the type remembered by the first run stays, so
            // that removal can still give it back.
            RepairOpenCommand();
            break;
        default:
            // Unknown: the remembered type stays, as when ours.
            break;
        }
    }

    // Running setup again (after an upgrade, or to find a new Visual Studio)
    // keeps the settings the user chose.
    SaveFirstSettings();
    return 1;
}
