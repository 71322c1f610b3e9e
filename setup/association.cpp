// The second half of setup: .sln and .slnx are associated with the launcher,
// for the machine through the command interpreter's "assoc" and "ftype", for
// one user through the registry; what each had before is remembered for
// removal once the association has been read back as made; the suite is
// registered and the shell told; and the launcher's six settings start at 0
// unless the user has set them already.
#include "setup.h"

#include <shlobj.h>
#include <wchar.h>

#include "../launcher/resource.h"
#include "settings.h"
#include "store_keys.h"

const SolutionKind kSolutionKinds[kSolutionKindCount] = {
    {kSlnExtension, kKeyOrgFType, kSlnFileType, IDS_SLN_TYPE_NAME, kKeyUserFType},
    {kSlnxExtension, kKeyOrgFTypeSlnx, kSlnxFileType, IDS_SLNX_TYPE_NAME, kKeyUserFTypeSlnx},
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

int ComposeOurFType(const SolutionKind& kind) {
    if (!KalGetAppPathW(g_setup.szLauncher) || !KalPathCatW(g_setup.szLauncher, kLauncherExe))
        return 0;
    return ComposeFTypeCommand(kind.fileType, g_setup.szLauncher, g_setup.szCommand);
}

int OpenCommandIsOurs(const SolutionKind& kind) {
    const wchar_t* wanted = wcschr(g_setup.szCommand, L'=');
    wchar_t szKey[300];
    wchar_t szCurrent[1024];
    DWORD bytes = sizeof(szCurrent);
    if (!wanted || !ClassKeyPath(kind.fileType, L"shell\\open\\command", szKey) ||
        RegGetValueW(g_setup.root, szKey, NULL, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, NULL,
                     szCurrent, &bytes) != ERROR_SUCCESS)
        return 0;
    return wcscmp(szCurrent, wanted + 1) == 0;
}

int ExtensionIsOurs(const SolutionKind& kind) {
    wchar_t szKey[300];
    wchar_t szType[260];
    return ClassKeyPath(kind.extension, NULL, szKey) && GetRegText(g_setup.root, szKey, NULL, szType) > 0 &&
           _wcsicmp(szType, kind.fileType) == 0;
}

// Defines the kind's file type with the launcher beside this program (the
// command composed by ComposeOurFType) in the scope's classes. Returns 1
// when the open command reads back as written.
static int WriteOurType(const SolutionKind& kind) {
    if (g_setup.scope == SETUP_SCOPE_USER) {
        wchar_t szKey[300];
        if (!ClassKeyPath(kind.fileType, L"shell\\open\\command", szKey) ||
            !PutRegText(g_setup.root, szKey, NULL, wcschr(g_setup.szCommand, L'=') + 1))
            return 0;
    } else {
        RunCommandInterpreter(g_setup.szCommand);
    }
    return OpenCommandIsOurs(kind);
}

// Gives the kind's extension to its type in the scope's classes. Returns 1
// when the extension reads back as the type's.
static int WriteOurExtension(const SolutionKind& kind) {
    wchar_t szKey[300];
    if (g_setup.scope == SETUP_SCOPE_USER) {
        if (!ClassKeyPath(kind.extension, NULL, szKey) || !PutRegText(g_setup.root, szKey, NULL, kind.fileType))
            return 0;
    } else {
        wchar_t szAssoc[64];
        if (KalSnPrintFW(szAssoc, L"assoc %s=%s", kind.extension, kind.fileType) < 0) return 0;
        RunCommandInterpreter(szAssoc);
    }
    return ExtensionIsOurs(kind);
}

// What the user's own classes give the extension, stored as the text to
// restore (empty for nothing) unless a value is stored already; for the
// machine there is nothing of the kind.
static void RememberUsersOwnType(const SolutionKind& kind) {
    if (g_setup.scope != SETUP_SCOPE_USER || KalGetProfileStrLenW(kSectVsInst, kind.userFTypeKey) >= 0) return;
    wchar_t szKey[300];
    wchar_t szOwn[260];
    if (!ClassKeyPath(kind.extension, NULL, szKey) || GetRegText(HKEY_CURRENT_USER, szKey, NULL, szOwn) < 0)
        szOwn[0] = L'\0';
    KalPutProfileStrW(kSectVsInst, kind.userFTypeKey, szOwn);
}

static void ForgetEarlierTypes(const SolutionKind& kind) {
    KalDelProfileKeyW(kSectVsInst, kind.orgFTypeKey);
    KalDelProfileKeyW(kSectVsInst, kind.userFTypeKey);
}

// The extension is already ours, but its open command may name a launcher
// that is no longer there (the suite installed elsewhere, an old copy
// deleted): it is set to this launcher whenever it differs. An extension
// that an earlier version gave the other kind's type (.slnx had PikroSln)
// moves to its own; so does one the machine gives the suite while the
// user's own classes give it nothing.
static int RepairAssociation(const SolutionKind& kind) {
    if (!ComposeOurFType(kind)) return KIND_FAILED;
    if (!OpenCommandIsOurs(kind) && !WriteOurType(kind)) return KIND_FAILED;
    if (!ExtensionIsOurs(kind)) {
        RememberUsersOwnType(kind);
        if (!WriteOurExtension(kind)) return KIND_FAILED;
    }
    return KIND_TAKEN;
}

// Defines the kind's file type with the launcher beside this program and
// gives the kind's extension to it, remembering the previous type first. The
// extension is given only once the type reads back as defined, and what was
// remembered is forgotten again when the extension does not read back as
// ours: nothing is remembered for an association that was not made. Nothing
// is written when the launcher path cannot be put on a command line safely.
static int TakeOverAssociation(const SolutionKind& kind, const wchar_t* previousType) {
    ForgetEarlierTypes(kind);
    if (!ComposeOurFType(kind)) return KIND_FAILED;
    KalPutProfileStrW(kSectVsInst, kind.orgFTypeKey, previousType);
    RememberUsersOwnType(kind);
    if (WriteOurType(kind) && WriteOurExtension(kind)) return KIND_TAKEN;
    ForgetEarlierTypes(kind);
    return KIND_FAILED;
}

// The extension's type as this scope's setup reads it: what "assoc" answers
// for the machine, the classes as the shell sees them for one user.
static int ReadCurrentType(const SolutionKind& kind, wchar_t (&type)[260]) {
    if (g_setup.scope == SETUP_SCOPE_USER) return ReadShellFileType(kind, type);
    return QuerySlnAssociation(kind, type);
}

// .sln and .slnx each by the same rules, each type remembered on its own.
// Whenever an extension is ours, its type looks as the remembered one did,
// brought up to date on every run.
static void AssociateEachKind() {
    for (int i = 0; i < kSolutionKindCount; i++) {
        const SolutionKind& kind = kSolutionKinds[i];
        wchar_t szCurrent[260];
        int& result = g_setup.kindResult[i];
        switch (ReadCurrentType(kind, szCurrent)) {
        case SLN_ASSOC_OTHER:
            result = TakeOverAssociation(kind, szCurrent);
            if (result == KIND_TAKEN) ApplyFileTypeLook(g_setup.root, kind, szCurrent, g_setup.szLauncher);
            break;
        case SLN_ASSOC_NONE:
        case SLN_ASSOC_REFUSED:
            // The extension is not ours (any more): a type remembered by an
            // earlier run is stale, and removal must not force it back.
            ForgetEarlierTypes(kind);
            result = KIND_LEFT;
            break;
        case SLN_ASSOC_PIKRO:
            // Already ours: the type remembered by the first run stays, so
            // that removal can still give it back.
            result = RepairAssociation(kind);
            if (result == KIND_TAKEN)
                ApplyFileTypeLook(g_setup.root, kind, g_setup.szOrgFType[i], g_setup.szLauncher);
            break;
        default:
            // Unknown: the remembered type stays, as when ours, and the
            // extension is not the launcher's.
            result = KIND_FAILED;
            break;
        }
    }
}

// Made in the scope's classes is not yet seen: the user's own classes come
// before the machine's wherever the shell looks an extension up.
static void CheckAsTheShellSees() {
    for (int i = 0; i < kSolutionKindCount; i++) {
        wchar_t szSeen[260];
        if (g_setup.kindResult[i] == KIND_TAKEN &&
            (ReadShellFileType(kSolutionKinds[i], szSeen) != SLN_ASSOC_PIKRO ||
             _wcsicmp(szSeen, kSolutionKinds[i].fileType) != 0))
            g_setup.kindResult[i] = KIND_FAILED;
    }
}

// Stores the extensions that did not take (".sln;.slnx") for the installer
// to show, or deletes the value when all took. Returns their number.
static int StoreNotTaken() {
    wchar_t szList[64] = L"";
    int nFailed = 0;
    for (int i = 0; i < kSolutionKindCount; i++) {
        if (g_setup.kindResult[i] != KIND_FAILED) continue;
        if (nFailed++ > 0) wcsncat_s(szList, _countof(szList), L";", _TRUNCATE);
        wcsncat_s(szList, _countof(szList), kSolutionKinds[i].extension, _TRUNCATE);
    }
    if (nFailed > 0)
        KalPutProfileStrW(kSectVsInst, kKeyNotTaken, szList);
    else
        KalDelProfileKeyW(kSectVsInst, kKeyNotTaken);
    return nFailed;
}

int AssociateSolutions() {
    AssociateEachKind();
    // A type of an earlier version that no extension names any more.
    RemoveUnusedFileTypes(g_setup.root);
    RegisterSuite();
    CheckAsTheShellSees();
    KalPutProfileStrW(kSectVsInst, kKeyScope, g_setup.scope == SETUP_SCOPE_USER ? kScopeUser : kScopeMachine);
    const int nFailed = StoreNotTaken();
    // Explorer shows the new icons and names and offers the suite at once.
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, NULL, NULL);

    // Running setup again (after an upgrade, or to find a new Visual Studio)
    // keeps the settings the user chose.
    SaveFirstSettings();
    return nFailed;
}
