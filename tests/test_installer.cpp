// The installer end to end: the setup program built from installer/Pikro.nsi
// with this build's programs (build/<arch>/installer/PikroSetup.exe) installs
// the suite silently into Program Files, runs PikroInstall.exe from there and
// registers in Apps & features; the shell then opens a solution through the
// installed launcher; the uninstaller gives everything back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "store_keys.h"
#include "testutil.h"
#include "version.h"

#include <sddl.h>      // ConvertSecurityDescriptorToStringSecurityDescriptorW
#include <shellapi.h>  // CommandLineToArgvW
#include <shlobj.h>    // SHGetFolderPathW, IShellLinkW

using namespace testutil;

namespace {

const DWORD kWaitMs = 60000;
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PikroSuite";
const wchar_t kSlnKey[] = L"Software\\Classes\\.sln";
const wchar_t kSlnxKey[] = L"Software\\Classes\\.slnx";
const wchar_t kOpenKey[] = L"Software\\Classes\\PikroSln\\shell\\open\\command";
const wchar_t kOldType[] = L"VisualStudio.Launcher.sln";
const wchar_t kStoreKey[] = L"Software\\PikroSuite";
const wchar_t kCapabilitiesKey[] = L"Software\\PikroSuite\\Capabilities";
const wchar_t kRegisteredApps[] = L"Software\\RegisteredApplications";
const wchar_t kOpenWithKey[] = L"Software\\Classes\\.sln\\OpenWithProgids";
const wchar_t kSlnxOpenWithKey[] = L"Software\\Classes\\.slnx\\OpenWithProgids";
const wchar_t kApplicationKey[] = L"Software\\Classes\\Applications\\Pikro.exe";
const wchar_t kUserChoiceKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.sln\\UserChoice";
const wchar_t kOldSlnxType[] = L"VisualStudio.Launcher.slnx";
const wchar_t kSlnxUserChoiceKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.slnx\\UserChoice";
const wchar_t kClassesKey[] = L"Software\\Classes\\";

// The registry view the installer of the other architecture records itself
// in (the 32-bit one beside this x64 test program, the 64-bit one beside an
// x86 one), and the Program Files folder it installs into.
const REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

std::wstring OtherInstallFolder() {
    return JoinPath(SystemProgramFiles(sizeof(void*) == 8), L"Pikro Suite");
}

bool OtherPutString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY opened = NULL;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, NULL, 0, KEY_SET_VALUE | kOtherView, NULL,
                        &opened, NULL) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
    return rc == ERROR_SUCCESS;
}

// 1 when the key (with name: that value) exists in the other view.
bool OtherHas(const std::wstring& key, const wchar_t* name = nullptr) {
    HKEY opened = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | kOtherView, &opened) !=
        ERROR_SUCCESS)
        return false;
    const bool present = !name || RegQueryValueExW(opened, name, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
    RegCloseKey(opened);
    return present;
}

void OtherDeleteTree(const std::wstring& key) {
    HKEY opened = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS | kOtherView, &opened) !=
        ERROR_SUCCESS)
        return;
    RegDeleteTreeW(opened, NULL);
    RegCloseKey(opened);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), kOtherView, 0);
}

void OtherDeleteValue(const std::wstring& key, const wchar_t* name) {
    HKEY opened = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE | kOtherView, &opened) !=
        ERROR_SUCCESS)
        return;
    RegDeleteValueW(opened, name);
    RegCloseKey(opened);
}

// What an install of the suite holds, relative to its folder.
const wchar_t* const kSuiteFiles[] = {L"Pikro.exe", L"PikroInstall.exe", L"PikroUninstall.exe",
                                      L"PikroExec\\PikroExec.exe", L"Uninstall.exe", L"Install.log"};

// Program names the tests give to file types a UserChoice may name.
const wchar_t* const kNamedTypes[] = {L"Contoso.Solution", L"Fabrikam.Solution",
                                      L"Applications\\contoso.exe", L"Applications\\northwind.exe"};

std::wstring SetupPath() {
    return JoinPath(BinDir(), L"..\\installer\\PikroSetup.exe");
}

// The installer the build of the other architecture made beside this one
// (build/x86 beside build/x64, and the reverse), when it was built.
std::wstring OtherSetupPath() {
    return JoinPath(BinDir(), sizeof(void*) == 8 ? L"..\\..\\x86\\installer\\PikroSetup.exe"
                                                 : L"..\\..\\x64\\installer\\PikroSetup.exe");
}

// 0 when this machine can start the program, else the error that stopped it
// (a 32-bit program needs Wine's 32-bit loader). The program is started
// suspended and ended at once.
DWORD StartError(const std::wstring& program) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring line = QuoteArg(program);
    if (!CreateProcessW(program.c_str(), &line[0], NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL, &si, &pi))
        return GetLastError();
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, kWaitMs);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH];
    if (FAILED(SHGetFolderPathW(NULL, csidl, NULL, SHGFP_TYPE_CURRENT, path))) return L"";
    return path;
}

// Program Files as this program sees it is where the installer of the same
// architecture installs: the 32-bit folder for x86, the 64-bit one for x64.
std::wstring InstallFolder() {
    return JoinPath(ShellFolder(CSIDL_PROGRAM_FILES), L"Pikro Suite");
}

std::wstring Shortcut(HKEY scope = HKEY_LOCAL_MACHINE) {
    return JoinPath(ShellFolder(scope == HKEY_CURRENT_USER ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS),
                    L"" PIKRO_PRODUCT_NAME L".lnk");
}

// Where an install for the user alone goes.
std::wstring UserInstallFolder() {
    return JoinPath(ShellFolder(CSIDL_LOCAL_APPDATA), L"Programs\\Pikro Suite");
}

// The moved-aside programs left in the folder and its PikroExec folder.
std::vector<std::wstring> AsideFiles(const std::wstring& folder) {
    std::vector<std::wstring> found;
    for (const std::wstring& sub : {folder, JoinPath(folder, L"PikroExec")})
        for (const std::wstring& name : ListFolder(sub))
            if (name.size() > 10 && name.substr(name.size() - 10) == L".pikro-old") found.push_back(name);
    return found;
}

// Wine carries out what waits for the restart on "wineboot -r".
void Restart() {
    wchar_t system[MAX_PATH] = L"";
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_TRUE(RunProgram(JoinPath(system, L"wineboot.exe"), L"-r", L"", kWaitMs, NULL));
}

// The folder's DACL in the security descriptor language.
std::wstring FolderDacl(const std::wstring& folder) {
    DWORD size = 0;
    GetFileSecurityW(folder.c_str(), DACL_SECURITY_INFORMATION, NULL, 0, &size);
    std::vector<BYTE> sd(size ? size : 1);
    wchar_t* text = NULL;
    if (!GetFileSecurityW(folder.c_str(), DACL_SECURITY_INFORMATION, sd.data(), size, &size) ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorW(sd.data(), SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, NULL))
        return L"<unreadable>";
    std::wstring dacl = text;
    LocalFree(text);
    return dacl;
}

std::wstring Wide(const char* text) {
    return FromUtf8(text);
}

std::wstring SlnType(const wchar_t* key = kSlnKey, HKEY root = HKEY_LOCAL_MACHINE) {
    std::wstring type;
    RegGetString(root, key, NULL, &type);
    return type;
}

// The program a shortcut starts, read through the shell's own link object.
std::wstring ShortcutTarget(const std::wstring& link) {
    std::wstring target;
    HRESULT init = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    IShellLinkW* shellLink = NULL;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shellLink)))) {
        IPersistFile* file = NULL;
        if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t path[MAX_PATH] = L"";
            if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
                SUCCEEDED(shellLink->GetPath(path, MAX_PATH, NULL, 0)))
                target = path;
            file->Release();
        }
        shellLink->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return target;
}

// 1 when the key holds a value of that name (of any type).
bool HasValue(HKEY root, const std::wstring& key, const wchar_t* name) {
    HKEY opened = NULL;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
    const bool present = RegQueryValueExW(opened, name, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
    RegCloseKey(opened);
    return present;
}

// What FindEdit looks for, and what it found.
struct EditQuery {
    const wchar_t* className;
    const std::wstring* part;
    std::wstring text;
    HWND found;
};

BOOL CALLBACK MatchEdit(HWND child, LPARAM param) {
    EditQuery* q = reinterpret_cast<EditQuery*>(param);
    if (_wcsicmp(ClassName(child).c_str(), q->className) != 0) return TRUE;
    const std::wstring held = WindowText(child);
    if (held.find(*q->part) == std::wstring::npos) return TRUE;
    q->text = held;
    q->found = child;
    return FALSE;
}

// An Edit control (or one of another class) under window, at any depth,
// whose text holds part, with that text in *text; 0 when there is none.
HWND FindEdit(HWND window, const std::wstring& part, std::wstring* text, const wchar_t* className = L"Edit") {
    EditQuery query = {className, &part, L"", NULL};
    EnumChildWindows(window, MatchEdit, reinterpret_cast<LPARAM>(&query));
    if (text) *text = query.text;
    return query.found;
}

// What OtherDialog looks for, and what it found.
struct DialogQuery {
    DWORD pid;
    HWND except, found;
};

BOOL CALLBACK MatchOtherDialog(HWND window, LPARAM param) {
    DialogQuery* q = reinterpret_cast<DialogQuery*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != q->pid || window == q->except || !IsWindowVisible(window) || ClassName(window) != L"#32770")
        return TRUE;
    q->found = window;
    return FALSE;
}

// A visible top-level dialog of process pid other than except (a message box
// over the installer's wizard, which carries the same caption), or 0.
HWND OtherDialog(DWORD pid, HWND except) {
    DialogQuery query = {pid, except, NULL};
    EnumWindows(MatchOtherDialog, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// The text of such an Edit control, or "".
std::wstring EditHolding(HWND window, const std::wstring& part) {
    std::wstring text;
    FindEdit(window, part, &text);
    return text;
}

// Bytes of every file under a folder.
ULONGLONG FolderBytes(const std::wstring& folder) {
    ULONGLONG total = 0;
    for (const std::wstring& name : ListFolder(folder)) {
        std::wstring path = JoinPath(folder, name);
        if (FolderExists(path)) {
            total += FolderBytes(path);
            continue;
        }
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
            total += (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return total;
}

// Every test starts and ends with no installed suite, no store, no .sln
// association and no Visual Studio folders, and skips where the installer
// was not built or this machine cannot start it.
class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(SetupPath()))
            GTEST_SKIP() << "no installer at " << ToUtf8(SetupPath())
                         << ": makensis was missing when the tests were configured";
        // A 32-bit installer cannot start where Wine runs 64-bit programs only.
        if (const DWORD error = StartError(SetupPath())) {
            GTEST_SKIP() << "this machine cannot start the installer " << ToUtf8(SetupPath())
                         << " (error " << error << "; a 32-bit installer needs Wine's 32-bit loader)";
        }
        Clean();
        editor_ = JoinPath(SystemProgramFiles(false),
                           L"Microsoft Visual Studio\\2022\\Community\\Common7\\IDE");
        ASSERT_NE(CreateFakeDevenv(editor_, L"Visual Studio 2022", L"17.8.3"), L"");
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnKey, NULL, kOldType));
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnxKey, NULL, kOldSlnxType));
    }
    void TearDown() override { Clean(); }

    void Clean() {
        ResetStore();
        DeleteRegTree(HKEY_CURRENT_USER, kStoreKey);
        DeleteRegTree(HKEY_CURRENT_USER, kUserChoiceKey);
        DeleteRegTree(HKEY_CURRENT_USER, kSlnxUserChoiceKey);
        for (const wchar_t* type : kNamedTypes) DeleteRegTree(HKEY_LOCAL_MACHINE, kClassesKey + std::wstring(type));
        OtherDeleteTree(kUninstallKey);
        OtherDeleteTree(kStoreKey);
        // Under Wine the file types of the other view lie apart (see below).
        for (const wchar_t* key : {kSlnKey, kSlnxKey, L"Software\\Classes\\PikroSln", kApplicationKey})
            OtherDeleteTree(key);
        OtherDeleteValue(kRegisteredApps, Wide(PIKRO_PRODUCT_NAME).c_str());
        EXPECT_TRUE(RemoveTree(OtherInstallFolder()));
        DeleteRegTree(HKEY_LOCAL_MACHINE, kCapabilitiesKey);
        DeleteRegTree(HKEY_LOCAL_MACHINE, kApplicationKey);
        DeleteRegTree(HKEY_LOCAL_MACHINE, kOpenWithKey);
        DeleteRegTree(HKEY_LOCAL_MACHINE, kSlnxOpenWithKey);
        DeleteSlnAssociation();
        EXPECT_TRUE(RemoveTree(InstallFolder()));
        for (const wchar_t* planted : kSuiteFiles) DeleteFileW(JoinPath(L"C:\\Windows", planted).c_str());
        RemoveDirectoryW(L"C:\\Windows\\PikroExec");
        for (const wchar_t* folder : {L"C:\\Shared", L"C:\\Tools"}) EXPECT_TRUE(RemoveTree(folder));
        EXPECT_TRUE(RemoveTree(UserInstallFolder()));
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            DeleteRegTree(root, kUninstallKey);
            DeleteFileW(Shortcut(root).c_str());
        }
        folder_ = InstallFolder();
        root_ = HKEY_LOCAL_MACHINE;
    }

    std::wstring UninstallValue(const wchar_t* name) const {
        std::wstring value;
        if (!RegGetString(root_, kUninstallKey, name, &value)) return L"<absent>";
        return value;
    }

    DWORD UninstallDword(const wchar_t* name) const {
        DWORD value = 0xFFFFFFFF;
        RegGetDword(root_, kUninstallKey, name, &value);
        return value;
    }

    // The classes setup writes: the user's own for an install for the user
    // alone, else the machine's.
    HKEY ClassesRoot() const { return root_; }

    std::wstring Installed(const wchar_t* name) const { return JoinPath(folder_, name); }

    // Install.log, the installer's record of what setup found and what the
    // user still has to do: UTF-16 with a byte order mark.
    std::wstring InstallLog() const {
        std::string bytes;
        if (!ReadFileBytes(Installed(L"Install.log"), &bytes) || bytes.size() < 2) return L"";
        EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
        std::wstring text((bytes.size() - 2) / 2, L'\0');
        memcpy(&text[0], bytes.data() + 2, text.size() * 2);
        return text;
    }

    // Runs the installer silently (into the folder given, else its own
    // choice) and expects it to end with that code.
    void Install(const std::wstring& folder = L"", DWORD expected = 0, const std::wstring& scope = L"") {
        DWORD code = 1;
        const std::wstring args = L"/S" + (scope.empty() ? L"" : L" " + scope) + (folder.empty() ? L"" : L" /D=" + folder);
        ASSERT_TRUE(RunProgram(SetupPath(), args, L"", kWaitMs, &code));
        ASSERT_EQ(code, expected);
    }

    // Runs the uninstaller as Apps & features' quiet removal does. It copies
    // itself away and starts the copy, so the one started returns at once:
    // wait for the entry, which goes after the files, to go.
    void Uninstall() {
        std::wstring quiet = UninstallValue(L"QuietUninstallString");
        int argc = 0;
        wchar_t** argv = CommandLineToArgvW(quiet.c_str(), &argc);
        ASSERT_TRUE(argv != NULL);
        std::vector<std::wstring> args(argv, argv + argc);
        LocalFree(argv);
        ASSERT_EQ(args.size(), 2u) << ToUtf8(quiet);
        EXPECT_EQ(args[0], Installed(L"Uninstall.exe"));
        EXPECT_EQ(args[1], L"/S");
        ASSERT_TRUE(RunProgram(args[0], args[1], L"", kWaitMs, NULL));
        EXPECT_TRUE(PumpUntil([&] { return !RegKeyExists(root_, kUninstallKey); }, kWaitMs));
    }

    // Installed: files, association, store, entry and shortcut; the
    // catalogue holds the editor set up first, then any others given.
    // Installs over a suite of the other architecture that the user had set
    // up (an editor dropped, NoVsProc 2): the settings stay, the other's
    // Apps & features entry and Default apps registration go.
    void InstallOverTheOther(const std::wstring& droppedLine, const std::wstring& folder = L"") {
        Install(folder);
        ExpectInstalled({droppedLine});
        DWORD rule = 0;
        EXPECT_TRUE(GetStoreDword(kSectProfiles, kKeyNoVsProc, &rule));
        EXPECT_EQ(rule, 2u);
        EXPECT_FALSE(OtherHas(kUninstallKey));
        EXPECT_FALSE(OtherHas(kCapabilitiesKey));
    }

    void ExpectInstalled(const std::vector<std::wstring>& moreEditors = {}) {
        for (const wchar_t* name : {L"Pikro.exe", L"PikroInstall.exe", L"PikroUninstall.exe",
                                    L"PikroExec\\PikroExec.exe", L"Uninstall.exe"})
            EXPECT_TRUE(FileExists(Installed(name))) << ToUtf8(name);
        for (const wchar_t* name : {L"Pikro.exe", L"PikroInstall.exe", L"PikroUninstall.exe",
                                    L"PikroExec\\PikroExec.exe"}) {
            std::string built, installed;
            ReadFileBytes(ProgramPath(name), &built);
            ReadFileBytes(Installed(name), &installed);
            EXPECT_TRUE(!built.empty() && built == installed) << ToUtf8(name) << " is not this build's";
        }
        EXPECT_EQ(SlnType(kSlnKey, ClassesRoot()), L"PikroSln");
        EXPECT_EQ(SlnType(kSlnxKey, ClassesRoot()), L"PikroSlnx");
        std::wstring open;
        RegGetString(ClassesRoot(), kOpenKey, NULL, &open);
        EXPECT_EQ(open, L"\"" + Installed(L"Pikro.exe") + L"\" \"%1\"");
        std::wstring orgFType;
        EXPECT_TRUE(GetStoreString(kSectVsInst, kKeyOrgFType, &orgFType));
        EXPECT_EQ(orgFType, kOldType);
        EXPECT_TRUE(GetStoreString(kSectVsInst, kKeyOrgFTypeSlnx, &orgFType));
        EXPECT_EQ(orgFType, kOldSlnxType);
        DWORD count = 0;
        EXPECT_TRUE(GetStoreDword(kSectVsInst, kKeyCount, &count));
        EXPECT_EQ(count, 1u + moreEditors.size());
        std::wstring line;
        EXPECT_TRUE(GetStoreString(kSectVsInst, L"VS00", &line));
        EXPECT_EQ(line, L"Visual Studio 2022;17.8.3;" + editor_);
        for (size_t i = 0; i < moreEditors.size(); ++i) {
            line.clear();
            EXPECT_TRUE(GetStoreString(kSectVsInst, (L"VS0" + std::to_wstring(i + 1)).c_str(), &line));
            EXPECT_EQ(line, moreEditors[i]);
        }

        EXPECT_EQ(UninstallValue(L"DisplayName"), Wide(PIKRO_PRODUCT_NAME));
        EXPECT_EQ(UninstallValue(L"DisplayVersion"), Wide(PIKRO_VERSION_STR));
        EXPECT_NE(UninstallValue(L"Publisher"), L"<absent>");
        EXPECT_NE(UninstallValue(L"Publisher"), L"");
        EXPECT_EQ(UninstallValue(L"DisplayIcon"), L"\"" + Installed(L"Pikro.exe") + L"\",0");
        EXPECT_EQ(UninstallValue(L"InstallLocation"), folder_);
        const std::wstring uninstaller = L"\"" + Installed(L"Uninstall.exe") + L"\"";
        EXPECT_EQ(UninstallValue(L"UninstallString"), uninstaller);
        EXPECT_EQ(UninstallValue(L"QuietUninstallString"), uninstaller + L" /S");
        EXPECT_EQ(UninstallDword(L"NoModify"), 1u);
        EXPECT_EQ(UninstallDword(L"NoRepair"), 1u);
        // In KiB, of the folder as installed (give or take the rounding).
        const ULONGLONG kib = FolderBytes(folder_) / 1024;
        const DWORD estimated = UninstallDword(L"EstimatedSize");
        EXPECT_TRUE(kib > 0 && estimated + 2 >= kib && estimated <= kib + 2)
            << "EstimatedSize " << estimated << ", folder " << kib << " KiB";

        EXPECT_EQ(ShortcutTarget(Shortcut(root_)), Installed(L"Pikro.exe"));
        // The details list names what setup stored instead of an exit code.
        EXPECT_NE(InstallLog().find(L"Visual Studio 2022 (" + editor_ + L")"), std::wstring::npos)
            << ToUtf8(InstallLog());
        ExpectRegistered();
    }

    // Offered in Default apps and "Open with" under its Windows name.
    void ExpectRegistered() {
        const std::wstring product = Wide(PIKRO_PRODUCT_NAME);
        const HKEY root = ClassesRoot();
        std::wstring value;
        EXPECT_TRUE(RegGetString(root, kRegisteredApps, product.c_str(), &value));
        EXPECT_EQ(value, kCapabilitiesKey);
        // Default apps reads its name and description out of the launcher,
        // in each user's language.
        value.clear();
        EXPECT_TRUE(RegGetString(root, kCapabilitiesKey, L"ApplicationName", &value));
        EXPECT_EQ(value, L"@" + Installed(L"Pikro.exe") + L",-2002");
        EXPECT_EQ(IndirectText(value), product);
        value.clear();
        EXPECT_TRUE(RegGetString(root, kCapabilitiesKey, L"ApplicationDescription", &value));
        EXPECT_EQ(value, L"@" + Installed(L"Pikro.exe") + L",-2001");
        EXPECT_NE(IndirectText(value).find(L"Visual Studio"), std::wstring::npos) << ToUtf8(value);
        value.clear();
        EXPECT_TRUE(RegGetString(root, std::wstring(kCapabilitiesKey) + L"\\FileAssociations",
                                 L".sln", &value));
        EXPECT_EQ(value, L"PikroSln");
        value.clear();
        EXPECT_TRUE(RegGetString(root, std::wstring(kCapabilitiesKey) + L"\\FileAssociations",
                                 L".slnx", &value));
        EXPECT_EQ(value, L"PikroSlnx");
        EXPECT_TRUE(HasValue(root, kOpenWithKey, L"PikroSln"));
        EXPECT_TRUE(HasValue(root, kSlnxOpenWithKey, L"PikroSlnx"));
        value.clear();
        EXPECT_TRUE(RegGetString(root, kApplicationKey, L"FriendlyAppName", &value));
        EXPECT_EQ(value, product);
        value.clear();
        RegGetString(root, std::wstring(kApplicationKey) + L"\\shell\\open\\command", NULL,
                     &value);
        EXPECT_EQ(value, L"\"" + Installed(L"Pikro.exe") + L"\" \"%1\"");
    }

    // Everything the installer and setup made is gone; .sln and .slnx are
    // back. The folder goes too unless the user put files into it.
    void ExpectRemoved(bool folderGone = true) {
        EXPECT_EQ(SlnType(), kOldType);
        EXPECT_EQ(SlnType(kSlnxKey), kOldSlnxType);
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kStoreKey));
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kSlnKey));
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            EXPECT_FALSE(RegKeyExists(root, L"Software\\Classes\\PikroSln"));
            EXPECT_FALSE(RegKeyExists(root, L"Software\\Classes\\PikroSlnx"));
            EXPECT_FALSE(RegKeyExists(root, kCapabilitiesKey));
            EXPECT_FALSE(HasValue(root, kRegisteredApps, Wide(PIKRO_PRODUCT_NAME).c_str()));
            EXPECT_FALSE(HasValue(root, kOpenWithKey, L"PikroSln"));
            EXPECT_FALSE(HasValue(root, kSlnxOpenWithKey, L"PikroSln"));
            EXPECT_FALSE(HasValue(root, kSlnxOpenWithKey, L"PikroSlnx"));
            EXPECT_FALSE(RegKeyExists(root, kApplicationKey));
            EXPECT_FALSE(FileExists(Shortcut(root)));
            EXPECT_FALSE(RegKeyExists(root, kUninstallKey));
        }
        if (folderGone) {
            std::string left;
            for (const std::wstring& name : ListFolder(folder_)) left += " " + ToUtf8(name);
            EXPECT_FALSE(FolderExists(folder_)) << "left:" << left;
        }
        // Nor anything in the other architecture's registry view.
        EXPECT_FALSE(OtherHas(kUninstallKey));
        EXPECT_FALSE(OtherHas(kCapabilitiesKey));
        EXPECT_FALSE(OtherHas(kRegisteredApps, Wide(PIKRO_PRODUCT_NAME).c_str()));
    }

    // Starts the installer where someone watches and passes its first page,
    // which offers both scopes with everyone's chosen (Wine runs every
    // program as an administrator's). Returns the wizard on its folder page,
    // that page's folder box in *folder.
    HWND StartWizard(HANDLE* setup, DWORD* pid, HWND* folder, DWORD stepMs) {
        *setup = StartProgram(SetupPath(), L"", L"", pid);
        HWND wizard = *setup ? WaitForWindow(L"#32770", nullptr, *pid, stepMs, true) : NULL;
        if (!wizard) return NULL;
        wizard = GetAncestor(wizard, GA_ROOT);
        const std::wstring everyone = TestLangId() == 1041 ? Wide("このコンピューターのすべてのユーザーにインストールする")
                                                           : L"Install for everyone on this computer";
        HWND radio = NULL;
        EXPECT_TRUE(PumpUntil([&] { return (radio = FindEdit(wizard, everyone, nullptr, L"Button")) != NULL; }, stepMs));
        EXPECT_EQ(SendMessageW(radio, BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_TRUE(PumpUntil(
            [&] {
                if ((*folder = FindEdit(wizard, InstallFolder(), nullptr)) != NULL) return true;
                ClickButton(wizard, IDOK);
                PumpMessages(300);
                return false;
            },
            stepMs));
        return wizard;
    }

    SystemVisualStudios installs_;
    std::wstring editor_;
    // Where the suite is installed: Program Files unless a test chose,
    // and where its Apps & features entry is (HKCU: for the user alone).
    std::wstring folder_ = InstallFolder();
    HKEY root_ = HKEY_LOCAL_MACHINE;
};

// A user's road: install, double-click a solution last opened by Visual
// Studio 2022, remove.
TEST_F(InstallerTest, SilentInstallOpensSolutionsAndQuietRemovalGivesAllBack) {
    Install();
    ExpectInstalled();
    // The uninstaller carries the installer's manifest, DPI awareness and all.
    const std::string manifest = ManifestOf(SetupPath());
    EXPECT_FALSE(manifest.empty());
    EXPECT_EQ(manifest, ManifestOf(Installed(L"Uninstall.exe")));

    TempDir solutions(kTempBlanks);
    const std::wstring sln = solutions.Sub(L"My App.sln");
    ASSERT_TRUE(WriteFileBytes(sln, "Microsoft Visual Studio Solution File, Format Version 12.00\r\n"));
    ASSERT_TRUE(MakeFolders(solutions.Sub(L".vs\\My App\\v17")));
    HANDLE opened = ShellOpen(sln);
    ASSERT_TRUE(opened != NULL);
    EndProgram(opened, kWaitMs, NULL);
    ASSERT_TRUE(WaitForFakeDevenvLog(editor_, 1, kWaitMs));
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(editor_);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].commandLine, L"\"" + editor_ + L"\\devenv.exe\" \"" + sln + L"\"");
    EXPECT_EQ(runs[0].currentFolder, solutions.Path());

    Uninstall();
    ExpectRemoved();
}

// Installing over an earlier version replaces its programs and runs setup
// again, which keeps the file type remembered the first time and what the
// user made since: an editor dropped on the settings list, a setting.
TEST_F(InstallerTest, InstallingOverAnEarlierVersionReplacesFilesAndKeepsTheOldType) {
    Install();
    ASSERT_TRUE(WriteFileBytes(Installed(L"Pikro.exe"), "an earlier launcher"));
    ASSERT_TRUE(WriteFileBytes(Installed(L"PikroExec\\PikroExec.exe"), "an earlier shim"));
    TempDir copies;
    const std::wstring dropped = copies.Sub(L"IDE");
    ASSERT_NE(CreateFakeDevenv(dropped, L"My copy", L"17.0"), L"");
    const std::wstring droppedLine = L"My copy;17.0;" + dropped;
    // An editor removed since drops out.
    ASSERT_TRUE(PutStoreString(kSectVsInst, L"VS01", L"Gone;1.0;C:\\Gone"));
    ASSERT_TRUE(PutStoreString(kSectVsInst, L"VS02", droppedLine));
    ASSERT_TRUE(PutStoreDword(kSectVsInst, kKeyCount, 3));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyNoVsProc, 2));
    Install();
    ExpectInstalled({droppedLine});
    DWORD rule = 0;
    EXPECT_TRUE(GetStoreDword(kSectProfiles, kKeyNoVsProc, &rule));
    EXPECT_EQ(rule, 2u);
    Uninstall();
    ExpectRemoved();
}

// Update and removal while an editor opened through the suite runs (its
// shim too): an update over programs that differ from this build's ends
// with 0 and puts this build's in place while the editor keeps running;
// removal takes what it can. Once the editor has ended, a restart ("wineboot
// -r") deletes what was moved aside or left: nothing of the suite remains.
TEST_F(InstallerTest, UpdatesAndRemovesWhileAnEditorRuns) {
    for (bool removal : {false, true}) {
        SCOPED_TRACE(removal ? "removal" : "update");
        Clean();
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnKey, NULL, kOldType));
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnxKey, NULL, kOldSlnxType));
        Install();
        for (const wchar_t* name : {L"Pikro.exe", L"PikroExec\\PikroExec.exe"}) {
            std::string bytes;
            ASSERT_TRUE(ReadFileBytes(Installed(name), &bytes));
            ASSERT_TRUE(WriteFileBytes(Installed(name), bytes + "of an earlier build"));
        }
        TempDir solutions(kTempBlanks);
        const std::wstring sln = solutions.Sub(L"App.sln");
        ASSERT_TRUE(WriteFileBytes(sln, "Microsoft Visual Studio Solution File, Format Version 12.00\r\n"));
        ASSERT_TRUE(MakeFolders(solutions.Sub(L".vs\\App\\v17")));
        ASSERT_TRUE(HoldFakeDevenv(editor_));
        const size_t runs = ReadFakeDevenvLog(editor_).size();
        DWORD code = 1;
        ASSERT_TRUE(RunProgram(Installed(L"Pikro.exe"), QuoteArg(sln), solutions.Path(), kWaitMs, &code));
        ASSERT_TRUE(WaitForFakeDevenvLog(editor_, runs + 1, kWaitMs));
        HANDLE editor = OpenProcess(SYNCHRONIZE, FALSE, ReadFakeDevenvLog(editor_).back().pid);
        ASSERT_TRUE(editor != NULL);
        if (removal) {
            Uninstall();
        } else {
            Install();
            ExpectInstalled();
            EXPECT_EQ(AsideFiles(folder_).size(), 1u);
            EXPECT_NE(InstallLog().find(L"was in use, so it was renamed"), std::wstring::npos) << ToUtf8(InstallLog());
        }
        EXPECT_EQ(WaitForSingleObject(editor, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        ReleaseFakeDevenv(editor_);
        EXPECT_EQ(WaitForSingleObject(editor, kWaitMs), WAIT_OBJECT_0);
        CloseHandle(editor);
        PumpMessages(500);  // the shim ends after its editor
        Restart();
        if (!removal) {
            EXPECT_TRUE(AsideFiles(folder_).empty());
            Uninstall();
        }
        ExpectRemoved();
    }
}

// One installer, two scopes. For the user alone (/CurrentUser) the suite
// goes into the user's own program folder with its Apps & features entry
// and Start-menu entry the user's own, none of the machine's; for everyone
// (/AllUsers) as always. Where the other scope's install exists, Install.log
// says which comes first, and removing one leaves the other in place.
TEST_F(InstallerTest, InstallsForOneUserOrForEveryone) {
    struct Case {
        const wchar_t* scope;
        bool user, besideEveryone;
        const wchar_t* said;  // in Install.log, or null
    } cases[] = {
        {L"/CurrentUser", true, false, nullptr},
        {L"/AllUsers", false, false, nullptr},
        {L"/CurrentUser", true, true, L"also installed for everyone on this computer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.scope) + (c.besideEveryone ? " beside everyone's" : ""));
        Clean();
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnKey, NULL, kOldType));
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnxKey, NULL, kOldSlnxType));
        if (c.besideEveryone) {
            Install(L"", 0, L"/AllUsers");
        }
        root_ = c.user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        folder_ = c.user ? UserInstallFolder() : InstallFolder();
        Install(L"", 0, c.scope);
        ExpectInstalled();
        EXPECT_EQ(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey), !c.user || c.besideEveryone);
        if (c.user && !c.besideEveryone) {
            EXPECT_EQ(SlnType(), kOldType);  // the machine's classes untouched
        }
        if (c.said) {
            EXPECT_NE(InstallLog().find(c.said), std::wstring::npos) << ToUtf8(InstallLog());
        }
        Uninstall();
        if (c.besideEveryone) {
            // Everyone's install still opens solutions, with this user's editors.
            EXPECT_TRUE(FileExists(JoinPath(InstallFolder(), L"Pikro.exe")));
            EXPECT_EQ(SlnType(), L"PikroSln");
            EXPECT_TRUE(StoreSectionExists(kSectVsInst));
            root_ = HKEY_LOCAL_MACHINE;
            folder_ = InstallFolder();
            Uninstall();
        }
        ExpectRemoved();
        EXPECT_FALSE(FolderExists(UserInstallFolder()));
    }
}

// Removal leaves what the user put into the folder, and only that.
TEST_F(InstallerTest, RemovalKeepsTheUsersOwnFiles) {
    Install();
    ASSERT_TRUE(WriteFileBytes(Installed(L"notes.txt"), "mine"));
    Uninstall();
    ExpectRemoved(false);
    EXPECT_EQ(ListFolder(InstallFolder()), std::vector<std::wstring>{L"notes.txt"});
}

// What the installer tells the user, by what Windows and the machine hold:
// a choice the user once made with "Always use this app" that only the user
// can change, named as Windows shows the program, or no Visual Studio at all
// (a silent install must not wait for anyone then). The notice is logged for
// an unattended install. A choice of the suite itself, or one that cannot be
// read, is no reason for a notice.
TEST_F(InstallerTest, LogsWhatTheUserStillHasToDo) {
    // The programs a choice may name, each named its own way: a type's
    // FriendlyTypeName or default value, an application's FriendlyAppName or
    // the FileDescription of the program its open command starts.
    TempDir programs(kTempBlanks);
    const std::wstring northwind = CreateFakeDevenv(programs.Path(), L"Northwind Editor", L"1.0", L"northwind.exe");
    ASSERT_NE(northwind, L"");
    const std::wstring classes = kClassesKey;
    auto nameTheTypes = [&] {
        return RegPutString(HKEY_LOCAL_MACHINE, classes + L"Contoso.Solution", L"FriendlyTypeName",
                            L"Contoso Solution Editor") &&
               RegPutString(HKEY_LOCAL_MACHINE, classes + L"Contoso.Solution", NULL, L"Contoso Solution File") &&
               RegPutString(HKEY_LOCAL_MACHINE, classes + L"Fabrikam.Solution", NULL, L"Fabrikam Studio") &&
               RegPutString(HKEY_LOCAL_MACHINE, classes + L"Applications\\contoso.exe", L"FriendlyAppName",
                            L"Contoso Code") &&
               RegPutString(HKEY_LOCAL_MACHINE, classes + L"Applications\\contoso.exe\\shell\\open\\command",
                            NULL, QuoteArg(northwind) + L" \"%1\"") &&
               RegPutString(HKEY_LOCAL_MACHINE, classes + L"Applications\\northwind.exe\\shell\\open\\command",
                            NULL, QuoteArg(northwind) + L" \"%1\"");
    };
    struct Case {
        const wchar_t* userChoice;  // null: none
        bool editors;
        bool choiceNotice, noEditorNotice;
        const wchar_t* shown = nullptr;  // the program's name in the notice
        const wchar_t* extension = L".sln";
        DWORD type = REG_SZ;  // REG_DWORD: ProgId is a number; REG_NONE: the key has no ProgId
    } cases[] = {
        {L"VisualStudio.Launcher.sln", true, true, false, L"VisualStudio.Launcher.sln"},
        {L"PikroSln", true, false, false},
        {nullptr, true, false, false},
        {nullptr, false, false, true},
        {L"VisualStudio.Launcher.sln", false, false, true},
        {L"Contoso.Solution", true, true, false, L"Contoso Solution Editor"},
        {L"Fabrikam.Solution", true, true, false, L"Fabrikam Studio"},
        {L"Applications\\contoso.exe", true, true, false, L"Contoso Code"},
        {L"Applications\\northwind.exe", true, true, false, L"Northwind Editor"},
        {L"Contoso.Solution", true, true, false, L"Contoso Solution Editor", L".slnx"},
        {L"Applications\\Pikro.exe", true, false, false},
        {L"applications\\PIKRO.EXE", true, false, false, nullptr, L".slnx"},
        {L"PikroSlnx", true, false, false, nullptr, L".slnx"},
        {L"", true, false, false},
        {L"Contoso.Solution", true, false, false, nullptr, L".sln", REG_DWORD},
        {L"Contoso.Solution", true, false, false, nullptr, L".slnx", REG_NONE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.userChoice ? c.userChoice : L"(no choice)") + " for " + ToUtf8(c.extension) +
                     (c.editors ? "" : ", no editor"));
        Clean();
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnKey, NULL, kOldType));
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnxKey, NULL, kOldSlnxType));
        ASSERT_TRUE(nameTheTypes());
        const wchar_t* choiceKey = wcscmp(c.extension, L".sln") == 0 ? kUserChoiceKey : kSlnxUserChoiceKey;
        if (c.userChoice && c.type == REG_SZ) {
            ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, choiceKey, L"ProgId", c.userChoice));
        } else if (c.userChoice && c.type == REG_DWORD) {
            ASSERT_TRUE(RegPutDword(HKEY_CURRENT_USER, choiceKey, L"ProgId", 7));
        } else if (c.userChoice) {
            ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, choiceKey, L"Hash", L"x"));
        }
        // Without an editor: the one the fixture made is put out of setup's
        // sight while the installer runs.
        const std::wstring devenv = JoinPath(editor_, L"devenv.exe");
        const std::wstring aside = devenv + L".aside";
        if (!c.editors) {
            ASSERT_TRUE(MoveFileW(devenv.c_str(), aside.c_str()));
        }
        Install();
        if (!c.editors) {
            ASSERT_TRUE(MoveFileW(aside.c_str(), devenv.c_str()));
        }
        const std::wstring log = InstallLog();
        EXPECT_EQ(log.find(L"Always use this app") != std::wstring::npos, c.choiceNotice) << ToUtf8(log);
        if (c.shown) {
            EXPECT_NE(log.find(std::wstring(L"Windows keeps ") + c.shown + L" for " + c.extension + L" files"),
                      std::wstring::npos)
                << ToUtf8(log);
        }
        EXPECT_EQ(log.find(L"No installed Visual Studio was found") != std::wstring::npos, c.noEditorNotice)
            << ToUtf8(log);
        EXPECT_TRUE(FileExists(Installed(L"Pikro.exe")));
        EXPECT_EQ(SlnType(), c.editors ? L"PikroSln" : kOldType);
        Uninstall();
        ExpectRemoved();
    }
}

// The Finish page of an install the user watches, in the user's language:
// a box that leads with the notice about a choice Windows keeps (and then
// promises nothing a double-click cannot keep), lists the editors setup
// found or says that none was, and names Install.log. It stays until the
// user closes it, so the list can be read.
class InstallerFinishLang : public InstallerTest {};

TEST_F(InstallerFinishLang, FinishPageShowsWhatWasFound) {
    const bool ja = TestLangId() == 1041;
    const std::wstring promise = ja ? Wide("ソリューション ファイルをダブルクリックすると、適切な Visual Studio で開きます")
                                    : L"Double-click a solution file to open it in the right Visual Studio";
    const std::wstring found = ja ? Wide("見つかった Visual Studio:") : L"Visual Studio found:";
    const std::wstring none = ja ? Wide("インストールされた Visual Studio が見つからないため")
                                 : L"No installed Visual Studio was found";
    const std::wstring notice = ja ? Wide("Windows は .sln ファイルに、以前「常にこのアプリを使う」で選ばれた "
                                          "Contoso Solution Editor を使います")
                                   : L"Windows keeps Contoso Solution Editor for .sln files";
    struct Case {
        const wchar_t* userChoice;  // null: none
        bool editors;
    } cases[] = {
        {nullptr, true},
        {L"Contoso.Solution", true},
        {nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.userChoice ? c.userChoice : L"(no choice)") + (c.editors ? "" : ", no editor"));
        Clean();
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnKey, NULL, kOldType));
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnxKey, NULL, kOldSlnxType));
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kClassesKey + std::wstring(L"Contoso.Solution"),
                                 L"FriendlyTypeName", L"Contoso Solution Editor"));
        if (c.userChoice) {
            ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, kUserChoiceKey, L"ProgId", c.userChoice));
        }
        const std::wstring devenv = JoinPath(editor_, L"devenv.exe");
        const std::wstring aside = devenv + L".aside";
        if (!c.editors) {
            ASSERT_TRUE(MoveFileW(devenv.c_str(), aside.c_str()));
        }
        // Each step is waited for briefly, so that a page that never comes
        // fails the row rather than the whole test's time.
        const DWORD stepMs = 20000;
        DWORD pid = 0;
        HANDLE setup = NULL;
        HWND folder = NULL;
        HWND wizard = StartWizard(&setup, &pid, &folder, stepMs);
        ASSERT_TRUE(wizard != NULL);
        // The folder page: Install, pressed while the page shows the folder
        // and its button is enabled (the installer checks the folder first
        // and ignores the button meanwhile), until the page has gone.
        EXPECT_TRUE(PumpUntil(
            [&] {
                if (EditHolding(wizard, InstallFolder()) != InstallFolder()) return false;
                HWND install = GetDlgItem(wizard, IDOK);
                if (install && IsWindowEnabled(install)) ClickButton(wizard, IDOK);
                PumpMessages(300);
                return EditHolding(wizard, InstallFolder()) != InstallFolder();
            },
            stepMs));
        const std::wstring log = Installed(L"Install.log");
        std::wstring text;
        EXPECT_TRUE(PumpUntil([&] { return !(text = EditHolding(wizard, log)).empty(); }, stepMs));
        EXPECT_TRUE(ClickButton(wizard, IDOK));
        DWORD code = 1;
        EXPECT_TRUE(EndProgram(setup, stepMs, &code));
        EXPECT_EQ(code, 0u);
        if (!c.editors) {
            ASSERT_TRUE(MoveFileW(aside.c_str(), devenv.c_str()));
        }

        EXPECT_EQ(text.find(notice) == 0, c.userChoice != nullptr) << ToUtf8(text);
        EXPECT_EQ(text.find(promise) != std::wstring::npos, c.editors && !c.userChoice) << ToUtf8(text);
        EXPECT_EQ(text.find(found + L"\r\nVisual Studio 2022 (" + editor_ + L")") != std::wstring::npos,
                  c.editors)
            << ToUtf8(text);
        EXPECT_EQ(text.find(none) != std::wstring::npos, !c.editors) << ToUtf8(text);
        Uninstall();
        ExpectRemoved();
    }
}

// Editors setup had to leave out because the catalogue holds at most 32 are
// listed after those it stored. Here 32 editors of the user's own and the
// one Windows has installed make 33: setup keeps the installed one and the
// user's first 31, and names the 32nd as left out (written here beforehand
// too, as setup itself writes it, so that the listing is shown whichever
// way setup settles a full catalogue).
TEST_F(InstallerTest, ListsTheEditorsSetupLeftOut) {
    TempDir copies;
    std::vector<StoredEditor> stored;
    for (int i = 0; i < 32; ++i) {
        const std::wstring folder = copies.Sub(L"Copy" + std::to_wstring(i));
        const std::wstring description = L"My copy " + std::to_wstring(i);
        ASSERT_NE(CreateFakeDevenv(folder, description, L"17.0"), L"");
        stored.push_back({description, L"17.0", folder});
    }
    ASSERT_TRUE(PutStoreCatalogue(stored));
    const std::wstring leftOut = stored.back().description + L" (" + stored.back().folder + L")";
    ASSERT_TRUE(PutStoreString(kSectVsInst, L"Omitted0", leftOut));
    // Windows lists the installed one as a Preview, which is marked so.
    FakeSetupConfiguration server;
    FakeInstance preview;
    preview.path = editor_.substr(0, editor_.size() - wcslen(L"\\Common7\\IDE"));
    preview.prerelease = L"-1";
    ASSERT_TRUE(server.Ready() && server.List({preview}));
    Install();
    const std::wstring log = InstallLog();
    EXPECT_NE(log.find(L"Visual Studio found: Visual Studio 2022 (" + editor_ + L", Preview)"), std::wstring::npos)
        << ToUtf8(log);
    EXPECT_NE(log.find(L"Visual Studio found: " + stored[0].description + L" (" + stored[0].folder + L")"),
              std::wstring::npos)
        << ToUtf8(log);
    EXPECT_NE(log.find(L"Left out (the list holds at most 32 editors): " + leftOut), std::wstring::npos)
        << ToUtf8(log);
    Uninstall();
    ExpectRemoved();
}

// The suite is one product on a machine: x86 installed, then x64 (or the
// reverse), leaves one Apps & features entry and the programs of the second,
// with the user's catalogue, settings and remembered file types; its removal
// then leaves nothing of the suite. Wine here runs 64-bit programs only, so
// the first install is laid out as the other architecture's installer
// leaves it on 64-bit Windows: the suite's programs and uninstaller in its
// folder, its entries in its registry view, the file types (shared by both
// views on Windows, though not under Wine 8) pointing at its launcher.
// Only what is provably the suite's goes: a folder without the suite's own
// uninstaller (C:\Shared, C:\Windows, recorded by someone) keeps every file,
// a file the user put there stays with the folder, a PikroExec folder that
// is a link keeps what it points to, and a recorded folder that is the one
// installed to, however spelled, is installed into, not emptied.
TEST_F(InstallerTest, ReplacesTheInstallOfTheOtherArchitecture) {
    TempDir copies;
    const std::wstring dropped = copies.Sub(L"IDE");
    ASSERT_NE(CreateFakeDevenv(dropped, L"My copy", L"17.0"), L"");
    const std::wstring droppedLine = L"My copy;17.0;" + dropped;
    const std::wstring product = Wide(PIKRO_PRODUCT_NAME);
    struct Case {
        const char* name;
        std::wstring recorded;  // the other's InstallLocation
        bool suites;            // the suite's own files lie there (else others', by the same names)
        bool usersFile, linkedShim;
        const wchar_t* installTo;  // /D=, or null
    } cases[] = {
        {"nothing else in its folder", OtherInstallFolder(), true, false, false, nullptr},
        {"with a file of the user's", OtherInstallFolder(), true, true, false, nullptr},
        {"its PikroExec a link", OtherInstallFolder(), true, false, true, nullptr},
        {"a shared folder", L"C:\\Shared", false, false, false, nullptr},
        {"the Windows folder", L"C:\\Windows", false, false, false, nullptr},
        {"the folder installed to, spelled another way", L"C:\\Tools\\Pikro Suite", false, false, false,
         L"C:\\Tools\\x\\..\\.\\Pikro Suite"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        TempDir linked;
        std::vector<std::wstring> laid;
        for (const wchar_t* name : kSuiteFiles) {
            const std::wstring path = JoinPath(c.recorded, name);
            if (c.installTo) break;
            ASSERT_TRUE(MakeFolders(path.substr(0, path.rfind(L'\\'))));
            if (!c.suites || wcscmp(name, L"Install.log") == 0) {
                ASSERT_TRUE(WriteFileBytes(path, "someone else's"));
            } else {
                const std::wstring from = wcscmp(name, L"Uninstall.exe") == 0 ? SetupPath() : ProgramPath(name);
                ASSERT_TRUE(CopyFileW(from.c_str(), path.c_str(), FALSE)) << ToUtf8(name);
            }
            laid.push_back(path);
        }
        if (c.installTo) {
            ASSERT_TRUE(MakeFolders(c.recorded));
        }
        if (c.linkedShim) {
            ASSERT_TRUE(RemoveTree(JoinPath(c.recorded, L"PikroExec")));
            ASSERT_TRUE(CopyFileW(ProgramPath(L"PikroExec\\PikroExec.exe").c_str(),
                                  linked.Sub(L"PikroExec.exe").c_str(), FALSE));
            ASSERT_TRUE(MakeFolderLink(JoinPath(c.recorded, L"PikroExec"), linked.Path()));
        }
        if (c.usersFile) {
            ASSERT_TRUE(WriteFileBytes(JoinPath(c.recorded, L"notes.txt"), "mine"));
        }
        ASSERT_TRUE(OtherPutString(kUninstallKey, L"DisplayName", product));
        ASSERT_TRUE(OtherPutString(kUninstallKey, L"InstallLocation", c.recorded));
        ASSERT_TRUE(OtherPutString(kUninstallKey, L"UninstallString", QuoteArg(JoinPath(c.recorded, L"Uninstall.exe"))));
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnKey, NULL, L"PikroSln"));
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnxKey, NULL, L"PikroSln"));
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kOpenKey, NULL,
                                 QuoteArg(JoinPath(c.recorded, L"Pikro.exe")) + L" \"%1\""));
        ASSERT_TRUE(PutStoreString(kSectVsInst, kKeyOrgFType, kOldType));
        ASSERT_TRUE(PutStoreString(kSectVsInst, kKeyOrgFTypeSlnx, kOldSlnxType));
        ASSERT_TRUE(PutStoreString(kSectVsInst, L"VS00", L"Visual Studio 2022;17.8.3;" + editor_));
        ASSERT_TRUE(PutStoreString(kSectVsInst, L"VS01", droppedLine));
        ASSERT_TRUE(PutStoreDword(kSectVsInst, kKeyCount, 2));
        ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyNoVsProc, 2));

        if (c.installTo) {
            folder_ = c.recorded;
        }
        InstallOverTheOther(droppedLine, c.installTo ? c.installTo : L"");
        EXPECT_NE(InstallLog().find(L"replaces the " + product + L" installed earlier"), std::wstring::npos)
            << ToUtf8(InstallLog());
        // What was not provably the suite's is all there.
        for (const std::wstring& path : laid) {
            const bool throughLink = c.linkedShim && path.find(L"PikroExec\\") != std::wstring::npos;
            EXPECT_EQ(FileExists(path), !c.suites || throughLink) << ToUtf8(path);
        }
        EXPECT_EQ(FileExists(linked.Sub(L"PikroExec.exe")), c.linkedShim);
        if (c.usersFile) {
            EXPECT_EQ(ListFolder(c.recorded), std::vector<std::wstring>{L"notes.txt"});
        } else if (c.suites && !c.linkedShim) {
            EXPECT_FALSE(FolderExists(c.recorded));
        }
        if (c.installTo) {
            // Installed for everyone outside Program Files: as Program Files
            // is, writable by administrators and the system only. Wine 8
            // keeps no descriptor: it turns the DACL into Unix permissions
            // and reads one back from them, which shows only that everyone
            // else (a folder made under C:\ gives them read access) lost
            // access; the protection and the users' entry are Windows' own.
            const std::wstring dacl = FolderDacl(folder_);
            EXPECT_NE(dacl.find(L"(A;OICI;FA;;;SY)"), std::wstring::npos) << ToUtf8(dacl);
            EXPECT_EQ(dacl.find(L";;;WD)"), std::wstring::npos) << ToUtf8(dacl);
        }
        Uninstall();
        ExpectRemoved();
        EXPECT_EQ(FolderExists(c.recorded), (!c.suites && !c.installTo) || c.usersFile || c.linkedShim);
    }
}

// The same with the other architecture's own installer, where its build
// lies beside this one and the machine can start it: it installs and sets
// the suite up, the user adds an editor and changes a setting, then this
// architecture's installer replaces it. Wine 8 keeps Software\Classes apart
// for each view where 64-bit Windows shares it, so the file types are laid
// out in both views here, and only this view's are checked afterwards.
TEST_F(InstallerTest, ReplacesWhatTheOtherArchitecturesInstallerInstalled) {
    if (!FileExists(OtherSetupPath())) {
        GTEST_SKIP() << "no installer of the other architecture at " << ToUtf8(OtherSetupPath());
    }
    if (const DWORD error = StartError(OtherSetupPath())) {
        GTEST_SKIP() << "this machine cannot start " << ToUtf8(OtherSetupPath()) << " (error " << error << ")";
    }
    const std::wstring other = OtherInstallFolder();
    ASSERT_TRUE(OtherPutString(kSlnKey, NULL, kOldType));
    ASSERT_TRUE(OtherPutString(kSlnxKey, NULL, kOldSlnxType));
    DWORD code = 1;
    ASSERT_TRUE(RunProgram(OtherSetupPath(), L"/S", L"", kWaitMs, &code));
    ASSERT_EQ(code, 0u);
    ASSERT_TRUE(OtherHas(kUninstallKey, L"InstallLocation"));
    ASSERT_TRUE(FileExists(JoinPath(other, L"Pikro.exe")));
    TempDir copies;
    const std::wstring dropped = copies.Sub(L"IDE");
    ASSERT_NE(CreateFakeDevenv(dropped, L"My copy", L"17.0"), L"");
    const std::wstring droppedLine = L"My copy;17.0;" + dropped;
    ASSERT_TRUE(PutStoreString(kSectVsInst, L"VS01", droppedLine));
    ASSERT_TRUE(PutStoreDword(kSectVsInst, kKeyCount, 2));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyNoVsProc, 2));

    InstallOverTheOther(droppedLine);
    EXPECT_FALSE(FolderExists(other));

    Uninstall();
    ExpectRemoved();
}

// The installer never puts its files among files it did not install: a
// chosen folder that holds other files (here files named as the installer's
// own) gets the suite in a "Pikro Suite" folder inside it, and the
// uninstaller then leaves those files alone; when that folder too holds
// files of someone else's, the install is refused and writes nothing.
TEST_F(InstallerTest, PutsTheSuiteOnlyIntoAFolderOfItsOwn) {
    struct Case {
        const char* name;
        bool exists;                     // the chosen folder exists
        std::vector<std::wstring> files;  // of the user's, relative to it
        const wchar_t* into;             // where the suite goes, relative to it; null: refused
    } cases[] = {
        {"a new folder", false, {}, L""},
        {"an empty folder", true, {}, L""},
        {"a folder with files", true, {L"Install.log", L"Uninstall.exe"}, L"Pikro Suite"},
        {"a folder with a sub-folder", true, {L"Tools\\Pikro.exe"}, L"Pikro Suite"},
        {"its Pikro Suite taken too", true, {L"Install.log", L"Pikro Suite\\notes.txt"}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnKey, NULL, kOldType));
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kSlnxKey, NULL, kOldSlnxType));
        TempDir root(kTempBlanks);
        const std::wstring chosen = root.Sub(L"Chosen");
        if (c.exists) {
            ASSERT_TRUE(MakeFolders(chosen));
        }
        for (const std::wstring& file : c.files) {
            const std::wstring path = JoinPath(chosen, file);
            ASSERT_TRUE(MakeFolders(path.substr(0, path.rfind(L'\\'))));
            ASSERT_TRUE(WriteFileBytes(path, "the user's own"));
        }
        auto expectUsersFilesKept = [&] {
            for (const std::wstring& file : c.files) {
                std::string bytes;
                EXPECT_TRUE(ReadFileBytes(JoinPath(chosen, file), &bytes)) << ToUtf8(file);
                EXPECT_EQ(bytes, "the user's own") << ToUtf8(file);
            }
        };
        if (!c.into) {
            Install(chosen, 2);
            expectUsersFilesKept();
            EXPECT_FALSE(FileExists(JoinPath(chosen, L"Pikro.exe")));
            EXPECT_FALSE(FileExists(JoinPath(chosen, L"Pikro Suite\\Pikro.exe")));
            EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
            EXPECT_EQ(SlnType(), kOldType);
            continue;
        }
        folder_ = *c.into ? JoinPath(chosen, c.into) : chosen;
        Install(chosen);
        ExpectInstalled();
        expectUsersFilesKept();
        EXPECT_EQ(InstallLog().find(L"was installed into") != std::wstring::npos, *c.into != L'\0')
            << ToUtf8(InstallLog());
        Uninstall();
        ExpectRemoved();
        expectUsersFilesKept();
        // The chosen folder goes with the suite when it held nothing else.
        EXPECT_EQ(FolderExists(chosen), !c.files.empty());
    }
}

// Where someone watches, the folder page refuses a folder that cannot take
// the suite (it holds other files, and so does the "Pikro Suite" folder
// inside it), says why and stays for another choice; nothing is installed.
TEST_F(InstallerTest, FolderPageAsksForAnotherFolder) {
    TempDir root(kTempBlanks);
    const std::wstring chosen = root.Sub(L"Chosen");
    ASSERT_TRUE(MakeFolders(JoinPath(chosen, L"Pikro Suite")));
    ASSERT_TRUE(WriteFileBytes(JoinPath(chosen, L"Install.log"), "the user's own"));
    ASSERT_TRUE(WriteFileBytes(JoinPath(chosen, L"Pikro Suite\\notes.txt"), "the user's own"));
    const DWORD stepMs = 20000;
    DWORD pid = 0;
    HANDLE setup = NULL;
    HWND folder = NULL;
    HWND wizard = StartWizard(&setup, &pid, &folder, stepMs);
    ASSERT_TRUE(wizard != NULL);
    SendMessageW(folder, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
    EXPECT_TRUE(PumpUntil([&] { return IsWindowEnabled(GetDlgItem(wizard, IDOK)) != FALSE; }, stepMs));
    EXPECT_TRUE(ClickButton(wizard, IDOK));
    HWND box = NULL;
    EXPECT_TRUE(PumpUntil([&] { return (box = OtherDialog(pid, wizard)) != NULL; }, stepMs));
    const std::wstring said = MessageBoxText(box);
    EXPECT_NE(said.find(chosen), std::wstring::npos) << ToUtf8(said);
    EXPECT_TRUE(CloseMessageBox(box));
    // Still the folder page, with the folder as chosen.
    PumpMessages(500);
    EXPECT_EQ(WindowText(folder), chosen);
    // Cancel, and yes to the question whether to quit.
    EXPECT_TRUE(ClickButton(wizard, IDCANCEL));
    box = NULL;
    EXPECT_TRUE(PumpUntil([&] { return (box = OtherDialog(pid, wizard)) != NULL; }, stepMs));
    if (box) CloseMessageBox(box, IDYES);
    EXPECT_TRUE(EndProgram(setup, stepMs, nullptr));
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(JoinPath(chosen, L"Install.log"), &bytes));
    EXPECT_EQ(bytes, "the user's own");
    EXPECT_EQ(ListFolder(JoinPath(chosen, L"Pikro Suite")), std::vector<std::wstring>{L"notes.txt"});
    EXPECT_FALSE(FileExists(JoinPath(chosen, L"Pikro.exe")));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

}  // namespace
