// The second half of setup: .sln and .slnx are associated with the launcher
// through the command interpreter's "assoc" and "ftype", the file type each
// had before is remembered for removal, and the launcher's six settings
// start at 0 unless the user has set them already.
#include "setup.h"

#include <wchar.h>

#include "../launcher/resource.h"
#include "settings.h"
#include "store_keys.h"

const SolutionKind kSolutionKinds[kSolutionKindCount] = {
    {kSlnExtension, kKeyOrgFType, kSlnFileType, IDS_SLN_TYPE_NAME},
    {kSlnxExtension, kKeyOrgFTypeSlnx, kSlnxFileType, IDS_SLNX_TYPE_NAME},
};

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

// The quoted program path cannot start another program whose name is a
// prefix of it ("C:\Program.exe"), and the quoted %1 arrives as one quoted
// solution path, which the launcher unquotes.
int ComposeFTypeCommand(const wchar_t* fileType, const wchar_t* launcher, wchar_t (&command)[1024]) {
    command[0] = L'\0';
    if (!IsQuotablePath(launcher)) return 0;
    if (KalSnPrintFW(command, L"ftype %s=\"%s\" \"%%1\"", fileType, launcher) < 0) {
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

// Composes the "ftype" command that makes the kind's file type open the
// launcher beside this program. Returns 0 when the launcher path cannot be
// put on a command line safely.
static int ComposeOurFType(const SolutionKind& kind) {
    if (!KalGetAppPathW(g_setup.szLauncher) || !KalPathCatW(g_setup.szLauncher, kLauncherExe))
        return 0;
    return ComposeFTypeCommand(kind.fileType, g_setup.szLauncher, g_setup.szCommand);
}

// 1 when the open command of the kind's file type, as the shell reads it,
// is the one the composed "ftype" command sets.
static int OpenCommandIsOurs(const SolutionKind& kind) {
    const wchar_t* wanted = wcschr(g_setup.szCommand, L'=');
    wchar_t szKey[64];
    wchar_t szCurrent[1024];
    DWORD bytes = sizeof(szCurrent);
    if (!wanted || KalSnPrintFW(szKey, L"%s\\shell\\open\\command", kind.fileType) < 0 ||
        RegGetValueW(HKEY_CLASSES_ROOT, szKey, NULL, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     NULL, szCurrent, &bytes) != ERROR_SUCCESS)
        return 0;
    return wcscmp(szCurrent, wanted + 1) == 0;
}

// The extension is already ours, but its open command may name a launcher
// that is no longer there (the suite installed elsewhere, an old copy
// deleted): it is set to this launcher whenever it differs. An extension
// that an earlier version gave the other kind's type (.slnx had PikroSln)
// moves to its own.
static int RepairAssociation(const SolutionKind& kind, const wchar_t* current) {
    if (!ComposeOurFType(kind)) return 0;
    if (!OpenCommandIsOurs(kind)) RunCommandInterpreter(g_setup.szCommand);
    if (_wcsicmp(current, kind.fileType) != 0 &&
        KalSnPrintFW(g_setup.szCommand, L"assoc %s=%s", kind.extension, kind.fileType) >= 0)
        RunCommandInterpreter(g_setup.szCommand);
    return 1;
}

// Defines the kind's file type with the launcher beside this program and
// gives the kind's extension to it, remembering the previous type first.
// Nothing is run when the launcher path cannot be put on a command line
// safely.
static int TakeOverAssociation(const SolutionKind& kind, const wchar_t* previousType) {
    if (!ComposeOurFType(kind)) return 0;
    KalPutProfileStrW(kSectVsInst, kind.orgFTypeKey, previousType);
    RunCommandInterpreter(g_setup.szCommand);
    if (KalSnPrintFW(g_setup.szCommand, L"assoc %s=%s", kind.extension, kind.fileType) < 0) return 0;
    RunCommandInterpreter(g_setup.szCommand);
    return 1;
}

// .sln and .slnx each by the same rules, each type remembered on its own.
// Whenever an extension is ours, its type looks as the remembered one did,
// brought up to date on every run.
int AssociateSolutions() {
    for (int i = 0; i < kSolutionKindCount; i++) {
        const SolutionKind& kind = kSolutionKinds[i];
        wchar_t szCurrent[260];
        switch (QuerySlnAssociation(kind, szCurrent)) {
        case SLN_ASSOC_OTHER:
            KalDelProfileKeyW(kSectVsInst, kind.orgFTypeKey);
            if (TakeOverAssociation(kind, szCurrent))
                ApplyFileTypeLook(kind, szCurrent, g_setup.szLauncher);
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
            if (RepairAssociation(kind, szCurrent))
                ApplyFileTypeLook(kind, g_setup.szOrgFType[i], g_setup.szLauncher);
            break;
        default:
            // Unknown: the remembered type stays, as when ours.
            break;
        }
    }
    // A type of an earlier version that no extension names any more.
    RemoveUnusedFileTypes();

    // Running setup again (after an upgrade, or to find a new Visual Studio)
    // keeps the settings the user chose.
    SaveFirstSettings();
    return 1;
}
