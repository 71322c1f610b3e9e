// Setup and removal, end to end: the real PikroInstall.exe and
// PikroUninstall.exe run over Program Files trees of fake editors, with the
// real command interpreter doing "assoc" and "ftype", and the results are
// read back from the registry.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "launcher.h"
#include "resource.h"
#include "setup.h"
#include "store_keys.h"
#include "testutil.h"
#include "version.h"

#include <shellapi.h>  // CommandLineToArgvW

using namespace testutil;

namespace {

const DWORD kRunTimeout = 60000;
const wchar_t kClasses[] = L"Software\\Classes";
// Installs outside Program Files lie here, on the drive child programs see.
const wchar_t kOtherInstalls[] = L"C:\\VS";

// The message of a setup run that finds no editor, in the run's language.
std::wstring NotFoundText() {
    return TestLangId() == 1041 ? L"インストール済の VisualStudio が見つかりませんでした。"
                                : L"No installed Visual Studio was found.";
}

std::wstring ClassKey(const std::wstring& name) {
    return std::wstring(kClasses) + L"\\" + name;
}

// The file type of .sln (or of another extension) as HKCR shows it; ""
// when there is none.
std::wstring SlnType(const wchar_t* extension = L".sln") {
    std::wstring type;
    if (!RegGetString(HKEY_LOCAL_MACHINE, ClassKey(extension), NULL, &type)) return L"";
    return type;
}
std::wstring SlnxType() { return SlnType(L".slnx"); }

void SetSlnType(const std::wstring& type, const wchar_t* extension = L".sln") {
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, ClassKey(extension), NULL, type));
}
void SetSlnxType(const std::wstring& type) { SetSlnType(type, L".slnx"); }

std::wstring PikroOpenCommand(const wchar_t* type = L"PikroSln") {
    std::wstring command;
    RegGetString(HKEY_LOCAL_MACHINE, ClassKey(type) + L"\\shell\\open\\command", NULL, &command);
    return command;
}

// One value of a file type's key or of a key under it (name null: the
// default value), as stored: its registry type and its bytes.
struct ClassValue {
    const wchar_t* subKey;  // null: the type's own key
    const wchar_t* name;
    DWORD type;
    std::string bytes;
};

// The bytes of a string value, terminator included.
std::string Sz(const std::wstring& text) {
    return Utf16Bytes(text) + std::string(2, '\0');
}

std::wstring ValueKey(const std::wstring& fileType, const wchar_t* subKey) {
    return ClassKey(fileType) + (subKey ? L"\\" + std::wstring(subKey) : L"");
}

bool PutClassValue(const std::wstring& fileType, const ClassValue& value) {
    HKEY key = NULL;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, ValueKey(fileType, value.subKey).c_str(), 0, NULL, 0,
                        KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExW(key, value.name, 0, value.type,
                                       reinterpret_cast<const BYTE*>(value.bytes.data()),
                                       static_cast<DWORD>(value.bytes.size()));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// The value as stored, with its type; type REG_NONE and no bytes when absent.
ClassValue GetClassValue(const std::wstring& fileType, const wchar_t* subKey, const wchar_t* name) {
    ClassValue value{subKey, name, REG_NONE, ""};
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ValueKey(fileType, subKey).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return value;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, NULL, &type, NULL, &size) == ERROR_SUCCESS) {
        value.bytes.resize(size);
        if (RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(&value.bytes[0]), &size) ==
            ERROR_SUCCESS)
            value.type = type;
        value.bytes.resize(size);
    }
    RegCloseKey(key);
    return value;
}

// The suite's file types and the classes of both roots that hold anything
// of the suite: its types and their "Open with" entries.
std::vector<std::string> SuiteLeftInClasses() {
    std::vector<std::string> left;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const char* where = root == HKEY_LOCAL_MACHINE ? "HKLM " : "HKCU ";
        for (const wchar_t* type : {L"PikroSln", L"PikroSlnx"}) {
            if (RegKeyExists(root, ClassKey(type))) left.push_back(where + ToUtf8(type));
            for (const wchar_t* extension : {L".sln", L".slnx"}) {
                HKEY key = NULL;
                const std::wstring openWith = ClassKey(extension) + L"\\OpenWithProgids";
                if (RegOpenKeyExW(root, openWith.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) continue;
                if (RegQueryValueExW(key, type, NULL, NULL, NULL, NULL) == ERROR_SUCCESS)
                    left.push_back(where + ToUtf8(extension) + " opens with " + ToUtf8(type));
                RegCloseKey(key);
            }
        }
    }
    return left;
}

// What the suite registers in root besides the association (Default apps,
// "Open with", App Paths), as "key|name=value" in a fixed order; with root
// null, what a launcher at launcher registers for both kinds of solution.
std::vector<std::wstring> Registration(HKEY root, const std::wstring& launcher = L"") {
    const std::wstring caps = L"Software\\PikroSuite\\Capabilities", app = ClassKey(L"Applications\\Pikro.exe"),
                       with = L"\\OpenWithProgids", none = L"-";
    const std::vector<std::vector<std::wstring>> places = {
        {caps, L"ApplicationName", L"@" + launcher + L",-2002"},
        {caps, L"ApplicationDescription", L"@" + launcher + L",-2001"},
        {caps, L"ApplicationIcon", L"\"" + launcher + L"\",0"},
        {caps + L"\\FileAssociations", L".sln", L"PikroSln"}, {caps + L"\\FileAssociations", L".slnx", L"PikroSlnx"},
        {L"Software\\RegisteredApplications", L"" PIKRO_PRODUCT_NAME, caps},
        {ClassKey(L".sln") + with, L"PikroSln", L""}, {ClassKey(L".sln") + with, L"PikroSlnx", none},
        {ClassKey(L".slnx") + with, L"PikroSln", none}, {ClassKey(L".slnx") + with, L"PikroSlnx", L""},
        {app, L"FriendlyAppName", L"" PIKRO_PRODUCT_NAME}, {app + L"\\SupportedTypes", L".sln", L""},
        {app + L"\\SupportedTypes", L".slnx", L""}, {app + L"\\shell\\open\\command", L"", L"\"" + launcher + L"\" \"%1\""},
        {L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pikro.exe", L"", launcher}};
    std::vector<std::wstring> lines;
    for (const std::vector<std::wstring>& place : places) {
        std::wstring value = place[2];
        if (root ? RegGetString(root, place[0], place[1].empty() ? NULL : place[1].c_str(), &value) : value != none)
            lines.push_back(place[0] + L"|" + place[1] + L"=" + value);
    }
    return lines;
}

// The folders of the stored catalogue, in key order VS00, VS01, ...
std::vector<std::wstring> StoredFolders() {
    std::vector<std::wstring> folders;
    DWORD count = 0;
    if (!GetStoreDword(kSectVsInst, kKeyCount, &count)) return folders;
    for (DWORD i = 0; i < count; i++) {
        wchar_t key[32];
        KalSnPrintFW(key, L"VS%02d", static_cast<int>(i));
        std::wstring line;
        GetStoreString(kSectVsInst, key, &line);
        size_t last = line.rfind(L';');
        folders.push_back(last == std::wstring::npos ? line : line.substr(last + 1));
    }
    return folders;
}

std::wstring StoredLine(const wchar_t* key) {
    std::wstring line;
    GetStoreString(kSectVsInst, key, &line);
    return line;
}

// The folders the store marks as a prerelease (a REG_DWORD of 1), in
// registry order.
std::vector<std::wstring> MarkedFolders() {
    std::vector<std::wstring> marked;
    for (const std::wstring& name : StoreValueNames(kSectVsPre)) {
        DWORD value = 0;
        if (GetStoreDword(kSectVsPre, name.c_str(), &value) && value == 1) marked.push_back(name);
    }
    return marked;
}

std::wstring StoredOrgFType(const wchar_t* key = kKeyOrgFType) {
    std::wstring type;
    if (!GetStoreString(kSectVsInst, key, &type)) return L"<absent>";
    return type;
}
std::wstring StoredOrgFTypeSlnx() { return StoredOrgFType(kKeyOrgFTypeSlnx); }

// The section holds the six launcher settings with these values, in their
// order, and nothing else.
void ExpectSettings(const std::vector<DWORD>& values) {
    static const wchar_t* const kKeys[] = {kKeyDelVsFolder, kKeyLstSel, kKeyVsProc,
                                           kKeyVsFix,       kKeyNoVsProc, kKeyNoVsFix};
    EXPECT_EQ(StoreValueNames(kSectProfiles).size(), 6u);
    for (size_t i = 0; i < 6 && i < values.size(); ++i) {
        DWORD value = 99;
        EXPECT_TRUE(GetStoreDword(kSectProfiles, kKeys[i], &value)) << ToUtf8(kKeys[i]);
        EXPECT_EQ(value, values[i]) << ToUtf8(kKeys[i]);
    }
}

// Those of a first set-up.
void ExpectSixZeros() {
    ExpectSettings({0, 0, 0, 0, 0, 0});
}

void RunAndExpectZeroExit(const std::wstring& program, const EnvOverrides& env = EnvOverrides()) {
    DWORD code = 1;
    ASSERT_TRUE(RunProgram(program, L"", L"", kRunTimeout, &code, env));
    EXPECT_EQ(code, 0u);
}

void RunInstaller(const EnvOverrides& env = EnvOverrides(), const std::wstring& cwd = L"") {
    DWORD code = 1;
    ASSERT_TRUE(RunProgram(ProgramPath(L"PikroInstall.exe"), L"", cwd, kRunTimeout, &code, env));
    EXPECT_EQ(code, 0u);
}

void RunUninstaller() {
    RunAndExpectZeroExit(ProgramPath(L"PikroUninstall.exe"));
}

// Every test gets a clean store, no .sln association, and Program Files
// folders without Visual Studio folders. A child program always sees the
// system drive C: under Wine, so the editors are laid out in the prefix's own
// Program Files folders.
class SetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetStore();
        DeleteSlnAssociation();
    }
    void TearDown() override {
        DeleteSlnAssociation();
        ResetStore();
        RemoveTree(JoinPath(ProgramFiles(), L"Other"));
        RemoveTree(JoinPath(ProgramFiles(), L"Microsoft Visual Studi"));
        RemoveTree(kOtherInstalls);
    }
    std::wstring ProgramFiles() const { return SystemProgramFiles(false); }
    std::wstring ProgramFilesX86() const { return SystemProgramFiles(true); }
    // A fake devenv.exe in ProgramFiles()\relative; returns its folder.
    std::wstring Editor(const std::wstring& relative, const std::wstring& description = L"Microsoft Visual Studio",
                        const std::wstring& version = L"15.0.1") {
        std::wstring folder = JoinPath(ProgramFiles(), relative);
        EXPECT_NE(CreateFakeDevenv(folder, description, version), L"");
        return folder;
    }

    // Link targets outside Program Files; the links to them go first.
    TempDir outside_;
    SystemVisualStudios installs_;
};

class SetupDiscoveryTest : public SetupTest {};
class SetupAssociationLang : public SetupTest {};
class SetupRemovalTest : public SetupTest {};

// --- discovery --------------------------------------------------------------

// One layout for the rules of the search; each Visual Studio folder is
// searched on its own, in listing order, "Program Files" first.
TEST_F(SetupDiscoveryTest, FirstEditorOfEachVisualStudioFolderInListingOrder) {
    std::wstring vs2017 = Editor(L"Microsoft Visual Studio\\2017\\Community\\Common7\\IDE", L"VS 2017", L"15.9.1");
    Editor(L"Microsoft Visual Studio\\2019\\Professional\\Common7\\IDE", L"VS 2019", L"16.11.2");
    // A folder named devenv.exe is searched, never registered.
    ASSERT_TRUE(MakeFolders(JoinPath(ProgramFiles(), L"Microsoft Visual Studio 11.0\\devenv.exe\\empty")));
    std::wstring vs11 = Editor(L"Microsoft Visual Studio 11.0\\IDE");
    // "Common7" is listed before the root's own DevEnv.exe and searched first.
    std::wstring vs12 = JoinPath(ProgramFiles(), L"Microsoft Visual Studio 12.0");
    ASSERT_TRUE(MakeFolders(JoinPath(vs12, L"Common7\\IDE")));
    ASSERT_NE(CreateFakeDevenv(vs12, L"root", L"12.0", L"DEVENV.EXE"), L"");
    std::wstring vs14 = Editor(L"MICROSOFT VISUAL STUDIO 14.0\\Common7\\IDE");
    ASSERT_NE(CreateFakeDevenv(JoinPath(ProgramFiles(), L"MICROSOFT VISUAL STUDIO 14.0"), L"root", L"14.0",
                               L"DevEnv.exe"), L"");
    std::wstring tools = Editor(L"Microsoft Visual Studio Tools\\bin");
    Editor(L"Microsoft Visual Studi\\IDE");
    Editor(L"Other\\Microsoft Visual Studio 14.0\\IDE");
    ASSERT_TRUE(WriteFileBytes(JoinPath(ProgramFiles(), L"Microsoft Visual Studio 9.0"), "a file"));
    // The same version under both folders gives two entries.
    std::wstring x86 = JoinPath(ProgramFilesX86(), L"Microsoft Visual Studio\\2017\\Community\\Common7\\IDE");
    ASSERT_NE(CreateFakeDevenv(x86, L"VS 2017", L"15.9.1"), L"");

    RunInstaller();
    EXPECT_EQ(StoredFolders(), (std::vector<std::wstring>{vs2017, vs11, vs12, vs14, tools, x86}));
    EXPECT_EQ(StoredLine(L"VS00"), L"VS 2017;15.9.1;" + vs2017);
    EXPECT_EQ(StoredLine(L"VS02"), L"root;12.0;" + vs12);
    ExpectSixZeros();
}

TEST_F(SetupDiscoveryTest, FolderLinksAndOverlongPathsNeitherLoopNorGetCut) {
    std::wstring vs14 = JoinPath(ProgramFiles(), L"Microsoft Visual Studio 14.0");
    ASSERT_TRUE(MakeFolders(JoinPath(vs14, L"A")));
    if (!MakeFolderLink(JoinPath(vs14, L"A\\loop"), vs14)) GTEST_SKIP() << "no folder links here";
    std::wstring inTree = Editor(L"Microsoft Visual Studio 14.0\\B");
    // A link out of a tree is not followed; a Visual Studio folder that is
    // itself a link (an install moved to another drive) is searched.
    std::wstring elsewhere = outside_.Sub(L"elsewhere");
    ASSERT_NE(CreateFakeDevenv(elsewhere, L"elsewhere", L"1.0"), L"");
    std::wstring vs15 = Editor(L"Microsoft Visual Studio 15.0\\Z");
    ASSERT_TRUE(MakeFolderLink(JoinPath(ProgramFiles(), L"Microsoft Visual Studio 15.0\\A"), elsewhere));
    std::wstring moved = outside_.Sub(L"moved");
    ASSERT_NE(CreateFakeDevenv(JoinPath(moved, L"IDE"), L"moved", L"16.0"), L"");
    ASSERT_TRUE(MakeFolderLink(JoinPath(ProgramFiles(), L"Microsoft Visual Studio 16.0"), moved));
    // Beyond 260 units a folder is passed over; the longest path that fits
    // with devenv.exe is still taken.
    std::wstring deep = L"Microsoft Visual Studio 17.0";
    while (JoinPath(ProgramFiles(), deep).size() < 300) deep += L"\\abcdefghijklmnopqrstuvwxyz";
    ASSERT_NE(CreateFakeDevenv(JoinPath(ProgramFiles(), deep), L"deep", L"1.0"), L"");
    std::wstring later = Editor(L"Microsoft Visual Studio 17.0\\zz");
    std::wstring edge = JoinPath(ProgramFiles(), L"Microsoft Visual Studio 18.0\\");
    edge += std::wstring(259 - edge.size() - wcslen(L"\\devenv.exe"), L'x');
    ASSERT_NE(CreateFakeDevenv(edge, L"edge", L"1.0"), L"");

    RunInstaller();
    EXPECT_EQ(StoredFolders(),
              (std::vector<std::wstring>{inTree, vs15, JoinPath(ProgramFiles(), L"Microsoft Visual Studio 16.0\\IDE"),
                                         later, edge}));
}

// The search goes KAL_WALK_MAX_DEPTH levels below a Visual Studio folder,
// no more: an editor just within is found, one level deeper is not.
TEST_F(SetupDiscoveryTest, SearchesNoDeeperThanTheWalksDepth) {
    TempDir drive;
    SystemDriveOverride override(drive.Path());
    std::wstring within = drive.Sub(L"Program Files\\Microsoft Visual Studio 14.0");
    std::wstring beyond = drive.Sub(L"Program Files\\Microsoft Visual Studio 15.0");
    for (int i = 0; i < KAL_WALK_MAX_DEPTH; ++i) {
        within += L"\\d";
        beyond += L"\\d";
    }
    beyond += L"\\d";
    ASSERT_LT(JoinPath(beyond, L"devenv.exe").size(), 260u);
    ASSERT_NE(CreateFakeDevenv(within, L"within", L"14.0"), L"");
    ASSERT_NE(CreateFakeDevenv(beyond, L"beyond", L"15.0"), L"");
    ZeroMemory(&g_setup, sizeof(g_setup));
    KalSetRegMidPathW(kAppMidPath);
    EXPECT_EQ(DiscoverEditors(), 1);
    EXPECT_EQ(StoredFolders(), std::vector<std::wstring>{within});
    // Every search left the walk where it began.
    EXPECT_EQ(0, KalWalkLeave(&g_setup.discovery.walk));
}

// Inside this process the system drive can be pointed anywhere.
TEST_F(SetupDiscoveryTest, SearchesTheProgramFilesOfTheSystemDriveOnly) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    TempDir drive;
    SystemDriveOverride override(drive.Path());
    std::wstring x86 = drive.Sub(L"Program Files (x86)\\Microsoft Visual Studio 9.0\\IDE");
    ASSERT_NE(CreateFakeDevenv(x86, L"VS 2008", L"9.0"), L"");
    ZeroMemory(&g_setup, sizeof(g_setup));
    KalSetRegMidPathW(kAppMidPath);
    EXPECT_EQ(DiscoverEditors(), 1);
    EXPECT_EQ(StoredFolders(), std::vector<std::wstring>{x86});

    // A drive too long to name is searched nowhere, not on the current drive.
    ResetStore();
    SetSystemDrive(std::wstring(300, L'x'));
    ZeroMemory(&g_setup, sizeof(g_setup));
    EXPECT_EQ(DiscoverEditors(), 0);
    EXPECT_FALSE(StoreValueExists(kSectVsInst, kKeyCount));
}

// Without SystemDrive the Windows folder's drive is searched, not the
// current one. (Under Wine only this process can unset it: every child
// program gets SystemDrive=C:.)
TEST_F(SetupDiscoveryTest, WithoutSystemDriveSearchesTheWindowsDrive) {
    std::wstring editor = Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    TempDir elsewhere;
    wchar_t previous[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(elsewhere.Path().c_str()));
    SetEnvironmentVariableW(L"SystemDrive", NULL);
    ZeroMemory(&g_setup, sizeof(g_setup));
    KalSetRegMidPathW(kAppMidPath);
    int found = DiscoverEditors();
    RestoreSystemDrive();
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(StoredFolders(), std::vector<std::wstring>{editor});
}

// Runs the setup program expecting its message box; closes it.
void RunInstallerWithoutEditors(const wchar_t* args = L"", const std::wstring& told = NotFoundText()) {
    DWORD pid = 0;
    HANDLE process = StartProgram(ProgramPath(L"PikroInstall.exe"), args, L"", &pid);
    ASSERT_NE(process, (HANDLE)NULL);
    HWND box = WaitForMessageBox(L"PikroInstall", pid, 20000);
    EXPECT_NE(box, (HWND)NULL);
    if (box != NULL) {
        EXPECT_EQ(MessageBoxText(box), told);
        EXPECT_TRUE(CloseMessageBox(box));
    }
    // A second box would keep the program from ending.
    DWORD code = 0;
    EXPECT_TRUE(EndProgram(process, 20000, &code));
    EXPECT_EQ(code, 1u);
}

TEST_F(SetupDiscoveryTest, NoEditorShowsTheMessageOnceAndWritesNothing) {
    ASSERT_TRUE(MakeFolders(JoinPath(ProgramFiles(), L"Microsoft Visual Studio 14.0\\Common7\\IDE")));
    Editor(L"Other\\IDE");
    SetSlnType(L"VisualStudio.Launcher.sln");
    RunInstallerWithoutEditors();
    EXPECT_FALSE(StoreSectionExists(kSectVsInst));
    EXPECT_FALSE(StoreSectionExists(kSectProfiles));
    EXPECT_EQ(SlnType(), L"VisualStudio.Launcher.sln");
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ClassKey(L"PikroSln")));

    // Windows' list that never answers is named as such: the editors may be
    // there all the same.
    FakeSetupConfiguration server;
    ASSERT_TRUE(server.Ready() && server.List({}, false, false, 0));
    RunInstallerWithoutEditors(L"", TestLangId() == 1041
        ? L"Windows の Visual Studio の一覧が 5 秒以内に応答せず、Program Files フォルダの検索でも"
          L"Visual Studio が見つかりませんでした。しばらくしてから PikroInstall.exe をもう一度実行してください。"
        : L"Windows' list of installed Visual Studio did not answer within 5 seconds, and the search of "
          L"the Program Files folders found no Visual Studio. Run PikroInstall.exe again in a while.");
    EXPECT_FALSE(StoreSectionExists(kSectVsInst));
}

// An unattended install runs setup with the quiet switch (beside "/user"):
// with no editor it ends by itself with exit code 1 and shows nothing.
// Anything else on the command line leaves setup as it is, message box and
// all.
TEST_F(SetupDiscoveryTest, QuietSwitchEndsWithoutAMessageBox) {
    struct Case {
        const wchar_t* args;
        bool quiet;
    } cases[] = {
        {L"/quiet", true}, {L"  /QUIET\t", true}, {L"/Quiet ", true}, {L"/user /QUIET", true},
        {L"/Quiet\t/User", true}, {L"/quieter", false}, {L"/q", false}, {L"quiet", false},
        {L"/quiet /quiet", false}, {L"/user", false}, {L"/quiet /user /USER", false}, {L"/quiet/user", false},
        {L"/MACHINE /quiet", true}, {L"/quiet /user /machine", false}, {L"/machine /quiet /user", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.args));
        if (!c.quiet) {
            RunInstallerWithoutEditors(c.args);
        } else {
            DWORD pid = 0;
            HANDLE process = StartProgram(ProgramPath(L"PikroInstall.exe"), c.args, L"", &pid);
            ASSERT_NE(process, (HANDLE)NULL);
            DWORD code = 0;
            EXPECT_TRUE(EndProgram(process, 20000, &code)) << "setup waited for someone";
            EXPECT_EQ(code, 1u);
        }
        EXPECT_FALSE(StoreSectionExists(kSectVsInst));
        EXPECT_FALSE(StoreSectionExists(kSectProfiles));
    }
}

// A devenv.exe whose version resource declares more than its image holds
// (a crafted file) neither crashes setup nor costs the catalogue anything:
// it is stored without a description or version of its own.
TEST_F(SetupDiscoveryTest, ACraftedVersionResourceIsReadNoFurtherThanTheImage) {
    const std::wstring good = Editor(L"Microsoft Visual Studio 12.0\\IDE", L"VS 2013", L"12.0");
    RunInstaller();
    const std::wstring crafted = JoinPath(ProgramFiles(), L"Microsoft Visual Studio 14.0\\IDE");
    ASSERT_TRUE(MakeFolders(crafted));
    ASSERT_TRUE(WriteImageEndingInVersion(JoinPath(crafted, L"devenv.exe"), RunawayVersionNode(), 0xFFFF));
    RunInstaller();
    EXPECT_EQ(StoredFolders(), (std::vector<std::wstring>{good, crafted}));
    EXPECT_EQ(StoredLine(L"VS01"), L"devenv.exe;0;" + crafted);
}

// --- Windows' list of instances ---------------------------------------------

// The editors of every Visual Studio since 2017 are found through the list
// Windows keeps of them, after the walk, each once. The walk finds the first
// editor of the shared "Microsoft Visual Studio" folder (18, for 2026); the
// list adds 2022 beside it and 2019 outside Program Files, and no list of a
// broken or hostile server costs setup what the walk found. The list says
// which are a prerelease channel, also of an editor the walk found first;
// a catalog that cannot say, or says garbage, leaves a release. A list that
// never answers, or answers too late, costs setup a few seconds and nothing
// of the walk's editors.
TEST_F(SetupDiscoveryTest, AddsTheUsableInstancesWindowsListsEachOnce) {
    const std::wstring shared = JoinPath(ProgramFiles(), L"Microsoft Visual Studio");
    const std::wstring vs2026 = JoinPath(shared, L"18\\Community");
    const std::wstring vs2022 = JoinPath(shared, L"2022\\Community");
    const std::wstring vs2019 = JoinPath(kOtherInstalls, L"2019\\Professional");
    const std::wstring garbled = JoinPath(kOtherInstalls, L"Garbled");
    const std::wstring incomplete = JoinPath(kOtherInstalls, L"Incomplete");
    const std::wstring tools = JoinPath(kOtherInstalls, L"BuildTools");
    const std::wstring ide = L"Common7\\IDE";
    for (const std::wstring& install : {vs2026, vs2022, vs2019, garbled, incomplete})
        ASSERT_NE(CreateFakeDevenv(JoinPath(install, ide), L"Visual Studio", L"17.0"), L"");
    ASSERT_TRUE(MakeFolders(JoinPath(tools, L"MSBuild\\Current\\Bin")));
    // An empty installation path would make the product path relative: to
    // the folder setup runs in, which holds one.
    TempDir cwd;
    ASSERT_NE(CreateFakeDevenv(cwd.Sub(ide), L"relative", L"17.0"), L"");

    FakeInstance i2026{vs2026}, i2022{vs2022}, i2019{vs2019};
    i2026.path = L"C:\\PROGRAM FILES\\Microsoft Visual Studio\\18\\COMMUNITY\\";
    i2022.version = L"17.14.36310.24";
    i2019.version = L"16.11.49";
    FakeInstance buildTools{tools}, gone{JoinPath(kOtherInstalls, L"Gone")}, notDone{incomplete},
        notLaunchable{incomplete}, longPath{std::wstring(5000, L'p')}, empty{L""}, garbage{garbled};
    buildTools.product = L"";
    notDone.state = 3;  // local and registered, not complete
    notLaunchable.launchable = false;
    longPath.path = L"C:\\" + std::wstring(5000, L'p');
    garbage.version = L"17.8\x00ff\x202e;rm -rf";
    // What the catalog of each says (-1 is VARIANT_TRUE).
    FakeInstance preview2022 = i2022, insiders2026 = i2026, failing2022 = i2022, bare2019 = i2019,
                 garbage2026 = i2026, one2026 = i2026;
    preview2022.prerelease = insiders2026.prerelease = L"-1";
    failing2022.prerelease = L"fail";
    bare2019.prerelease = L"none";
    garbage2026.prerelease = L"4660";
    one2026.prerelease = L"1";

    const std::wstring d2026 = JoinPath(vs2026, ide), d2022 = JoinPath(vs2022, ide),
                       d2019 = JoinPath(vs2019, ide);
    const int kNoStall = -1, kNever = 0;
    struct Case {
        const char* what;
        std::vector<FakeInstance> listed;
        bool registered, endless, createFails;
        std::vector<std::wstring> stored;
        std::vector<std::wstring> marked;
        int stallMs;
    } cases[] = {
        {"side by side", {preview2022, i2026, i2019}, true, false, false, {d2026, d2022, d2019},
         {d2022}, kNoStall},
        {"the walk's editor is a prerelease", {insiders2026}, true, false, false, {d2026}, {d2026},
         kNoStall},
        {"no catalog, a failing one, garbage", {failing2022, bare2019, garbage2026}, true, false, false,
         {d2026, d2022, d2019}, {}, kNoStall},
        {"a catalog that says 1, not -1", {one2026}, true, false, false, {d2026}, {}, kNoStall},
        {"passed over", {buildTools, gone, notDone, notLaunchable}, true, false, false, {d2026}, {},
         kNoStall},
        {"no class registered", {i2022}, false, false, false, {d2026}, {}, kNoStall},
        {"creating fails", {i2022}, true, false, true, {d2026}, {}, kNoStall},
        {"hostile values", {longPath, empty, garbage, i2026}, true, true, false, {d2026}, {},
         kNoStall},
        {"a list that never ends", {preview2022, insiders2026}, true, false, false, {d2026}, {},
         kNever},
        {"a list that ends too late", {preview2022}, true, false, false, {d2026}, {},
         kInstanceListDeadlineMs + 3000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetStore();
        FakeSetupConfiguration server;
        ASSERT_TRUE(server.Ready());
        ASSERT_TRUE(server.List(c.listed, c.endless, c.createFails, c.stallMs));
        if (!c.registered) {
            ASSERT_TRUE(FakeSetupConfiguration::Unregister());
        }
        const ULONGLONG started = GetTickCount64();
        RunInstaller(EnvOverrides(), cwd.Path());
        // Setup waits for the list until its deadline and no longer.
        EXPECT_LT(GetTickCount64() - started, kInstanceListDeadlineMs + 10000ull);
        EXPECT_EQ(StoredFolders(), c.stored);
        EXPECT_EQ(MarkedFolders(), c.marked);
        EXPECT_EQ(SlnType(), L"");
        ExpectSixZeros();
    }
}

// Running setup again (by hand, after installing another Visual Studio)
// keeps what the user made: the settings chosen, an editor added by a drop,
// every stored editor still there. It adds what is new and drops what is
// gone.
TEST_F(SetupDiscoveryTest, RunAgainKeepsTheUsersSettingsAndEditors) {
    const std::wstring vs2026 = Editor(L"Microsoft Visual Studio\\18\\Community\\Common7\\IDE");
    const std::wstring vs2022 = JoinPath(kOtherInstalls, L"2022\\Common7\\IDE");
    const std::wstring vs2019 = JoinPath(kOtherInstalls, L"2019\\Common7\\IDE");
    const std::wstring dropped = JoinPath(kOtherInstalls, L"Copy\\IDE");
    for (const std::wstring& folder : {vs2022, vs2019, dropped})
        ASSERT_NE(CreateFakeDevenv(folder, L"Visual Studio", L"17.0"), L"");
    FakeSetupConfiguration server;
    ASSERT_TRUE(server.Ready());
    FakeInstance i2022{JoinPath(kOtherInstalls, L"2022")}, i2019{JoinPath(kOtherInstalls, L"2019")};
    i2022.prerelease = L"-1";
    ASSERT_TRUE(server.List({i2022}));
    RunInstaller();
    ASSERT_EQ(StoredFolders(), (std::vector<std::wstring>{vs2026, vs2022}));
    EXPECT_EQ(MarkedFolders(), std::vector<std::wstring>{vs2022});
    ExpectSixZeros();

    // The user fixes an editor for both rules and drops a copy Windows does
    // not list, stored with a trailing backslash as an edit by hand leaves
    // it; then installs 2019 and removes 2022.
    const std::vector<DWORD> chosen = {1, 2, 1, 1, 2, 0};
    static const wchar_t* const kKeys[] = {kKeyDelVsFolder, kKeyLstSel, kKeyVsProc,
                                           kKeyVsFix,       kKeyNoVsProc, kKeyNoVsFix};
    for (size_t i = 0; i < 6; ++i) ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeys[i], chosen[i]));
    ASSERT_TRUE(PutStoreString(kSectVsInst, L"VS02", L"My copy;17.0;" + dropped + L"\\"));
    ASSERT_TRUE(PutStoreDword(kSectVsInst, kKeyCount, 3));
    FakeInstance listedCopy{JoinPath(kOtherInstalls, L"Copy")};
    listedCopy.product = L"IDE\\devenv.exe";
    listedCopy.prerelease = L"-1";
    ASSERT_TRUE(RemoveTree(JoinPath(kOtherInstalls, L"2022")));
    ASSERT_TRUE(server.List({i2022, i2019, listedCopy}));
    RunInstaller();
    EXPECT_EQ(StoredFolders(), (std::vector<std::wstring>{vs2026, dropped + L"\\", vs2019}));
    EXPECT_EQ(StoredLine(L"VS01"), L"My copy;17.0;" + dropped + L"\\");
    // The removed editor's mark goes with it; the copy Windows now lists as
    // a prerelease gets one.
    EXPECT_EQ(MarkedFolders(), std::vector<std::wstring>{dropped});
    ExpectSettings(chosen);

    // Listed as a release now: its mark goes, the editor stays.
    listedCopy.prerelease = L"0";
    ASSERT_TRUE(server.List({i2019, listedCopy}));
    RunInstaller();
    EXPECT_EQ(StoredFolders(), (std::vector<std::wstring>{vs2026, dropped + L"\\", vs2019}));
    EXPECT_EQ(MarkedFolders(), std::vector<std::wstring>{});
}

// The catalogue holds 32 editors, as the launcher does. When the editors
// found and those stored together are more, the ones found come first, in
// the order found, then the user's own in their stored order; the others
// leave the store and are named ("Omitted0", ...), in setup's message too
// unless it runs quietly. Names of an earlier run go first. The Visual
// Studio 2026 that only Windows lists then opens a v18 solution.
TEST_F(SetupDiscoveryTest, AFullCatalogueKeepsTheFoundEditorsAndNamesWhatItLeavesOut) {
    const std::wstring ide = L"Common7\\IDE";
    const std::wstring vs2019 = Editor(L"Microsoft Visual Studio\\2019\\Community\\Common7\\IDE",
                                       L"Visual Studio 2019", L"16.11.5");
    std::vector<StoredEditor> mine;
    std::vector<std::wstring> mineLines;
    for (int i = 0; i < 32; ++i) {
        wchar_t name[16];
        KalSnPrintFW(name, L"Mine %02d", i);
        const std::wstring folder = JoinPath(kOtherInstalls, std::wstring(name) + L"\\IDE");
        ASSERT_NE(CreateFakeDevenv(folder, name, L"17.0"), L"");
        mine.push_back({name, L"17.0", folder});
        mineLines.push_back(std::wstring(name) + L" (" + folder + L")");
    }
    std::vector<FakeInstance> listed;
    std::vector<std::wstring> listedFolders, listedLines;
    for (int i = 0; i < 34; ++i) {
        wchar_t name[16];
        KalSnPrintFW(name, L"Listed %02d", i);
        if (i == 0) wcscpy_s(name, L"VS 2026");
        const std::wstring install = JoinPath(kOtherInstalls, name);
        ASSERT_NE(CreateFakeDevenv(JoinPath(install, ide), name, L"18.0.11"), L"");
        FakeInstance instance{install};
        instance.version = L"18.0.11";
        listed.push_back(instance);
        listedFolders.push_back(JoinPath(install, ide));
        listedLines.push_back(std::wstring(name) + L" (" + JoinPath(install, ide) + L")");
    }
    // One of the user's editors is the 2019 the walk finds.
    std::vector<StoredEditor> mineWith2019 = mine;
    mineWith2019[5] = {L"Visual Studio 2019", L"16.11.5", vs2019};

    FakeSetupConfiguration server;
    ASSERT_TRUE(server.Ready());
    auto range = [](const auto& v, size_t from, size_t to) {
        return std::decay_t<decltype(v)>(v.begin() + from, v.begin() + to);
    };
    auto join = [](std::vector<std::wstring> a, const std::vector<std::wstring>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    std::vector<std::wstring> mineFolders;
    for (const StoredEditor& e : mine) mineFolders.push_back(e.folder);
    std::vector<std::wstring> with2019Folders = mineFolders;
    with2019Folders[5] = vs2019;
    struct Case {
        const char* what;
        std::vector<StoredEditor> stored;
        size_t listedCount;
        bool quiet;
        std::vector<std::wstring> folders;  // stored afterwards, in key order
        std::vector<std::wstring> omitted;
    } cases[] = {
        {"32 stored, 2 found", mine, 1, false, join(range(mineFolders, 0, 30), {vs2019, listedFolders[0]}),
         range(mineLines, 30, 32)},
        {"the same, quietly", mine, 1, true, join(range(mineFolders, 0, 30), {vs2019, listedFolders[0]}),
         range(mineLines, 30, 32)},
        {"32 stored, one of them found again", mineWith2019, 1, false,
         join(range(with2019Folders, 0, 31), {listedFolders[0]}), range(mineLines, 31, 32)},
        {"30 stored, 2 found", range(mine, 0, 30), 1, false,
         join(range(mineFolders, 0, 30), {vs2019, listedFolders[0]}), {}},
        {"34 found, none stored", {}, 34, false, join({vs2019}, range(listedFolders, 0, 31)),
         range(listedLines, 31, 34)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetStore();
        PutStoreCatalogue(c.stored);
        PutStoreString(kSectVsInst, L"Omitted0", L"an earlier run's");
        PutStoreString(kSectVsInst, L"Omitted7", L"an earlier run's");
        ASSERT_TRUE(server.List(std::vector<FakeInstance>(listed.begin(), listed.begin() + c.listedCount)));
        DWORD pid = 0;
        HANDLE process = StartProgram(ProgramPath(L"PikroInstall.exe"), c.quiet ? L"/quiet" : L"", L"", &pid);
        ASSERT_NE(process, (HANDLE)NULL);
        if (!c.quiet && !c.omitted.empty()) {
            HWND box = WaitForMessageBox(L"PikroInstall", pid, 30000);
            EXPECT_NE(box, (HWND)NULL);
            if (box != NULL) {
                const std::wstring text = MessageBoxText(box);
                for (const std::wstring& name : c.omitted)
                    EXPECT_NE(text.find(L"\n" + name), std::wstring::npos) << ToUtf8(name);
                EXPECT_TRUE(CloseMessageBox(box));
            }
        }
        DWORD code = 1;
        EXPECT_TRUE(EndProgram(process, 30000, &code)) << "setup waited for someone";
        EXPECT_EQ(code, 0u);
        DWORD count = 0;
        EXPECT_TRUE(GetStoreDword(kSectVsInst, kKeyCount, &count));
        EXPECT_EQ(count, c.folders.size());
        EXPECT_EQ(StoredFolders(), c.folders);
        std::vector<std::wstring> omitted;
        for (const std::wstring& name : StoreValueNames(kSectVsInst)) {
            if (name.compare(0, 7, L"Omitted") == 0) omitted.push_back(name);
        }
        EXPECT_EQ(omitted.size(), c.omitted.size());
        for (size_t i = 0; i < c.omitted.size(); ++i)
            EXPECT_EQ(StoredLine((L"Omitted" + std::to_wstring(i)).c_str()), c.omitted[i]);
        EXPECT_EQ(SlnType(), L"");
    }

    // The 2026 that only Windows lists opens a solution it last saved.
    ResetStore();
    PutStoreCatalogue(mine);
    ASSERT_TRUE(server.List({listed[0]}));
    DWORD code = 1;
    ASSERT_TRUE(RunProgram(ProgramPath(L"PikroInstall.exe"), L"/quiet", L"", kRunTimeout, &code));
    EXPECT_EQ(DWORD{32}, StoredFolders().size());
    TempDir solutions;
    const std::wstring sln = solutions.Sub(L"App\\App.sln");
    ASSERT_TRUE(WriteFileBytes(sln, "Microsoft Visual Studio Solution File\r\n"));
    ASSERT_TRUE(MakeFolders(solutions.Sub(L"App\\.vs\\App\\v18")));
    ASSERT_TRUE(RunProgram(ProgramPath(L"Pikro.exe"), QuoteArg(sln), L"", kRunTimeout, &code));
    ASSERT_TRUE(WaitForFakeDevenvLog(listedFolders[0], 1, 20000));
    EXPECT_EQ(ReadFakeDevenvLog(listedFolders[0]).back().commandLine,
              L"\"" + listedFolders[0] + L"\\devenv.exe\" \"" + sln + L"\"");
}

// Two editors of each version, a release and a prerelease, as Windows lists
// them: every road that picks an editor by version opens the release, and
// of two releases of one version the higher.
TEST_F(SetupDiscoveryTest, ReleasesOpenBeforeThePrereleasesOfTheirVersion) {
    struct Installed {
        const wchar_t* edition;
        const wchar_t* version;
        const wchar_t* prerelease;
    };
    const Installed installed[] = {
        {L"2022\\Preview", L"17.15.36301.6", L"-1"},
        {L"2022\\Professional", L"17.14.36310.24", L"0"},
        {L"18\\Insiders", L"18.3.11206.111", L"-1"},
        {L"18\\Community", L"18.0.11123.170", L"0"},
    };
    std::vector<FakeInstance> listed;
    std::vector<std::wstring> folders;
    for (const Installed& i : installed) {
        FakeInstance instance{JoinPath(kOtherInstalls, i.edition)};
        instance.version = i.version;
        instance.prerelease = i.prerelease;
        listed.push_back(instance);
        folders.push_back(JoinPath(instance.path, L"Common7\\IDE"));
        ASSERT_NE(CreateFakeDevenv(folders.back(), L"Microsoft Visual Studio", i.version), L"");
    }
    FakeSetupConfiguration server;
    ASSERT_TRUE(server.Ready());
    ASSERT_TRUE(server.List(listed));
    DWORD code = 1;
    ASSERT_TRUE(RunProgram(ProgramPath(L"PikroInstall.exe"), L"/quiet", L"", kRunTimeout, &code));
    // Listed in the order the store lists its values: by name.
    ASSERT_EQ(MarkedFolders(), (std::vector<std::wstring>{folders[2], folders[0]}));
    // Without a version folder the version the solution names decides.
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyNoVsProc, 2));

    const std::wstring& professional = folders[1];
    const std::wstring& community2026 = folders[3];
    struct Road {
        const char* what;
        const wchar_t* versionFolder;  // under .vs\App, or null
        const wchar_t* file;
        const char* text;
        const std::wstring& opens;
    };
    const Road roads[] = {
        {"version folder v17", L"v17", L"App.sln", "", professional},
        {"version folder v18", L"v18", L"App.sln", "", community2026},
        {".sln naming 17", nullptr, L"App.sln",
         "\r\nMicrosoft Visual Studio Solution File, Format Version 12.00\r\n"
         "VisualStudioVersion = 17.8.34330.188\r\n",
         professional},
        {".slnx naming 18", nullptr, L"App.slnx",
         "<Solution>\r\n  <Properties Name=\"Visual Studio\">\r\n"
         "    <Property Name=\"OpenWith\" Value=\"Visual Studio Version 18\" />\r\n"
         "  </Properties>\r\n</Solution>\r\n",
         community2026},
        {".slnx naming nothing", nullptr, L"App.slnx", "<Solution>\r\n</Solution>\r\n",
         community2026},
    };
    std::map<std::wstring, size_t> runs;
    for (const Road& road : roads) {
        SCOPED_TRACE(road.what);
        TempDir solutions;
        const std::wstring sln = solutions.Sub(std::wstring(L"App\\") + road.file);
        ASSERT_TRUE(WriteFileBytes(sln, road.text));
        if (road.versionFolder) {
            ASSERT_TRUE(MakeFolders(solutions.Sub(std::wstring(L"App\\.vs\\App\\") +
                                                  road.versionFolder)));
        }
        ASSERT_TRUE(RunProgram(ProgramPath(L"Pikro.exe"), QuoteArg(sln), L"", kRunTimeout, &code));
        const size_t expected = ++runs[road.opens];
        ASSERT_TRUE(WaitForFakeDevenvLog(road.opens, expected, 20000));
        EXPECT_EQ(ReadFakeDevenvLog(road.opens).back().commandLine,
                  L"\"" + road.opens + L"\\devenv.exe\" \"" + sln + L"\"");
    }
    for (const std::wstring& prerelease : {folders[0], folders[2]}) {
        EXPECT_TRUE(ReadFakeDevenvLog(prerelease).empty()) << prerelease.c_str();
    }
}

// --- association ------------------------------------------------------------

// What setup makes of each association that .sln and .slnx may have, with
// a type of each remembered by an earlier run in the store. Each extension
// goes by the same rules, on its own.
TEST_F(SetupAssociationLang, TakesOverOnlyAForeignPlainFileType) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    TempDir scratch;
    const std::wstring hit = scratch.Sub(L"hit");
    const std::wstring absent = L"<absent>";
    const std::wstring slnx = L"VisualStudio.Launcher.slnx";
    // An open command of PikroSln left by a suite installed elsewhere.
    const std::wstring stale = L"\"C:\\Old Suite\\Pikro.exe\" \"%1\"";
    struct Case {
        std::wstring before, command, orgFType, after;
        std::wstring slnxBefore, orgFTypeSlnx, slnxAfter;
    } cases[] = {
        {L"VisualStudio.Launcher.sln", L"", L"VisualStudio.Launcher.sln", L"PikroSln", slnx, slnx,
         L"PikroSlnx"},
        // Read back whole, not through a code page.
        {L"VisualStudio.ソリューション", L"", L"VisualStudio.ソリューション", L"PikroSln", L"", absent, L""},
        {L"", L"", absent, L"", slnx, slnx, L"PikroSlnx"},
        // Already ours: the open command is set when missing or stale. An
        // .slnx that an earlier version gave PikroSln gets its own type.
        {L"pIKROsLN", L"", L"Earlier.Type", L"pIKROsLN", L"PIKROSLN", L"Earlier.Slnx", L"PikroSlnx"},
        {L"", L"", absent, L"", L"pikroSLNX", L"Earlier.Slnx", L"pikroSLNX"},
        {L"PikroSln", stale, L"Earlier.Type", L"PikroSln", L"", absent, L""},
        {L"VisualStudio.Launcher.sln", L"", L"VisualStudio.Launcher.sln", L"PikroSln", L"", absent, L""},
        {L"A&mkdir " + hit, L"", absent, L"A&mkdir " + hit, L"A&mkdir " + hit, absent, L"A&mkdir " + hit},
        {L"A|B", L"", absent, L"A|B", L"pikrosln", L"Earlier.Slnx", L"PikroSlnx"},
        {L"A B", L"", absent, L"A B", L"A B", absent, L"A B"},
        {L"A%PATH%", L"", absent, L"A%PATH%", L"", absent, L""},
        {std::wstring(400, L'L'), L"", absent, std::wstring(400, L'L'), std::wstring(400, L'X'), absent,
         std::wstring(400, L'X')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.before.substr(0, 40) + L" / " + c.slnxBefore.substr(0, 40)));
        ResetStore();
        DeleteSlnAssociation();
        PutStoreString(kSectVsInst, kKeyOrgFType, L"Earlier.Type");
        PutStoreString(kSectVsInst, kKeyOrgFTypeSlnx, L"Earlier.Slnx");
        PutStoreDword(kSectProfiles, kKeyVsProc, 1);
        if (!c.before.empty()) SetSlnType(c.before);
        if (!c.slnxBefore.empty()) SetSlnxType(c.slnxBefore);
        if (!c.command.empty()) {
            ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, ClassKey(L"PikroSln\\shell\\open\\command"), NULL,
                                     c.command));
        }
        RunInstaller();
        EXPECT_EQ(StoredOrgFType(), c.orgFType);
        EXPECT_EQ(SlnType(), c.after);
        EXPECT_EQ(StoredOrgFTypeSlnx(), c.orgFTypeSlnx);
        EXPECT_EQ(SlnxType(), c.slnxAfter);
        // Each type is defined with this launcher while its extension is the
        // launcher's, taken over now or before; none is left that no
        // extension names.
        const std::wstring opens = L"\"" + ProgramPath(L"Pikro.exe") + L"\" \"%1\"";
        if (_wcsicmp(c.after.c_str(), L"PikroSln") == 0)
            EXPECT_EQ(PikroOpenCommand(), opens);
        else
            EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ClassKey(L"PikroSln")));
        if (_wcsicmp(c.slnxAfter.c_str(), L"PikroSlnx") == 0)
            EXPECT_EQ(PikroOpenCommand(L"PikroSlnx"), opens);
        else
            EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ClassKey(L"PikroSlnx")));
        EXPECT_FALSE(FolderExists(hit));
        // A setting the user chose stays; the others start at 0.
        ExpectSettings({0, 0, 1, 0, 0, 0});
    }
}

// A type named in Japanese makes the whole round, whatever the language:
// remembered, kept and given back as it is.
TEST_F(SetupAssociationLang, RepeatedSetupKeepsTheFirstFileTypeForRemoval) {
    const std::wstring type = L"VisualStudio.ソリューション";
    std::wstring editor = Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    SetSlnType(type);
    SetSlnxType(L"VisualStudio.Launcher.slnx");
    RunInstaller();
    RunInstaller();
    EXPECT_EQ(StoredOrgFType(), type);
    EXPECT_EQ(StoredOrgFTypeSlnx(), L"VisualStudio.Launcher.slnx");
    EXPECT_EQ(StoredFolders(), std::vector<std::wstring>{editor});
    EXPECT_EQ(SlnType(), L"PikroSln");
    EXPECT_EQ(SlnxType(), L"PikroSlnx");
    // Also through a run that finds no editor any more.
    ASSERT_TRUE(RemoveSystemVisualStudios());
    RunInstallerWithoutEditors();
    EXPECT_EQ(StoredOrgFType(), type);
    EXPECT_EQ(StoredOrgFTypeSlnx(), L"VisualStudio.Launcher.slnx");
    EXPECT_EQ(StoredFolders(), std::vector<std::wstring>{});
    RunUninstaller();
    EXPECT_EQ(SlnType(), type);
    EXPECT_EQ(SlnxType(), L"VisualStudio.Launcher.slnx");
}

// Setup reads the answer of "assoc" straight from the interpreter, through
// no file: links planted at the names earlier versions wrote the answer to
// (in a temporary folder with blanks) leave their targets as they were,
// and a stale answer found there never passes for the current one. Under
// Wine a file link shows as an ordinary file, and writing or deleting it
// reaches its target, as an elevated setup would have done.
TEST_F(SetupAssociationLang, LinksPlantedAtTemporaryNamesLeaveTheirTargetsAlone) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    TempDir temp(kTempBlanks | (TestLangId() == 1041 ? kTempJapanese : 0));
    const std::string stale = ".sln=Stale.Type\r\n";
    for (const wchar_t* name : {L"Pikro.tmp", L"PikroSlnx.tmp"}) {
        const std::wstring target = outside_.Sub(std::wstring(L"target of ") + name);
        ASSERT_TRUE(WriteFileBytes(target, stale));
        ASSERT_TRUE(MakeFileLink(temp.Sub(name), target)) << ToUtf8(name);
    }
    const EnvOverrides env = {L"TEMP=" + temp.Path(), L"TMP=" + temp.Path()};
    RunInstaller(env);
    EXPECT_EQ(StoredOrgFType(), L"<absent>");
    EXPECT_EQ(SlnType(), L"");

    SetSlnType(L"My.Type");
    SetSlnxType(L"VisualStudio.ソリューション.slnx");
    RunInstaller(env);
    EXPECT_EQ(StoredOrgFType(), L"My.Type");
    EXPECT_EQ(StoredOrgFTypeSlnx(), L"VisualStudio.ソリューション.slnx");
    EXPECT_EQ(SlnType(), L"PikroSln");
    EXPECT_EQ(SlnxType(), L"PikroSlnx");
    for (const wchar_t* name : {L"Pikro.tmp", L"PikroSlnx.tmp"}) {
        SCOPED_TRACE(ToUtf8(name));
        std::string bytes;
        EXPECT_TRUE(ReadFileBytes(outside_.Sub(std::wstring(L"target of ") + name), &bytes));
        EXPECT_EQ(bytes, stale);
        // The link itself is still there, reaching the same file.
        bytes.clear();
        EXPECT_TRUE(ReadFileBytes(temp.Sub(name), &bytes));
        EXPECT_EQ(bytes, stale);
    }
}

// The command interpreter is the system folder's, whatever COMSPEC names,
// and runs none of the user's AutoRun commands, whose output would pass for
// the answer of "assoc". Windows' cmd runs them unless started with /d;
// Wine 8's cmd never does, so here only COMSPEC can mislead.
TEST_F(SetupAssociationLang, CommandInterpreterIgnoresComSpecAndAutoRun) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    SetSlnType(L"VisualStudio.Launcher.sln");
    const wchar_t processor[] = L"Software\\Microsoft\\Command Processor";
    const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    for (HKEY root : roots) EXPECT_TRUE(RegPutString(root, processor, L"AutoRun", L"echo .sln=Hijacked"));
    RunInstaller({L"COMSPEC=" + outside_.Sub(L"cmd.exe")});
    for (HKEY root : roots) RegDeleteKeyValueW(root, processor, L"AutoRun");
    EXPECT_EQ(StoredOrgFType(), L"VisualStudio.Launcher.sln");
    EXPECT_EQ(SlnType(), L"PikroSln");
}

// Explorer shows the suite's types as it showed the types they replaced:
// each value of a remembered type's icon, icon handler and name is copied
// as data, of its own registry type, or left out, never expanded, cut or
// run; what is left out is the launcher's own icon and a type name in the
// user's language. Both types carry "Choose Visual Studio…", "open" staying
// the default verb.
TEST_F(SetupAssociationLang, SuiteTypesLookAsTheTypesTheyReplaced) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    const std::wstring launcher = ProgramPath(L"Pikro.exe");
    const std::wstring hit = outside_.Sub(L"hit");
    const std::wstring vsLauncher = L"C:\\Program Files (x86)\\Common Files\\Microsoft Shared\\MSEnv\\VSLauncher.exe";
    const ClassValue icon{L"DefaultIcon", nullptr, REG_SZ, Sz(L"\"" + vsLauncher + L"\",0")};
    const ClassValue handler{L"ShellEx\\IconHandler", nullptr, REG_SZ, Sz(L"{9A2B23E4-2A50-48DB-B3C3-F5EA12947CB8}")};
    const ClassValue name{nullptr, nullptr, REG_SZ, Sz(L"Microsoft Visual Studio Solution")};
    const ClassValue expandIcon{L"DefaultIcon", nullptr, REG_EXPAND_SZ, Sz(L"%ProgramFiles%\\VS\\x.exe,-3")};
    const ClassValue expandName{nullptr, L"FriendlyTypeName", REG_EXPAND_SZ, Sz(L"@%SystemRoot%\\x.dll,-5")};
    const ClassValue hostileIcon{L"DefaultIcon", nullptr, REG_SZ,
                                 Sz(L"\"C:\\a b\\x.exe\" & mkdir " + hit + L" | ^%PATH%!,1")};
    const ClassValue hostileName{nullptr, L"FriendlyTypeName", REG_SZ, Sz(L"\"Sol\" & mkdir " + hit + L" >nul")};
    const ClassValue quotedName{nullptr, nullptr, REG_SZ, Sz(L"\"%USERPROFILE%\" ^& (Solution)")};
    const ClassValue longName{nullptr, nullptr, REG_SZ, Sz(std::wstring(1023, L'N'))};
    const ClassValue tooLongIcon{L"DefaultIcon", nullptr, REG_SZ, Sz(std::wstring(1100, L'I'))};
    const ClassValue emptyIcon{L"DefaultIcon", nullptr, REG_SZ, Sz(L"")};
    const ClassValue dwordIcon{L"DefaultIcon", nullptr, REG_DWORD, std::string("\x01\0\0\0", 4)};
    const ClassValue binaryName{nullptr, L"FriendlyTypeName", REG_BINARY, "@C:\\x.dll,-1"};
    const ClassValue multiName{nullptr, nullptr, REG_MULTI_SZ, Sz(L"A") + Sz(L"")};
    const ClassValue dwordHandler{L"ShellEx\\IconHandler", nullptr, REG_DWORD, std::string(4, '\0')};
    struct Case {
        const char* what;
        std::vector<ClassValue> remembered, copied;
        bool ownIcon, ownName;
    } cases[] = {
        {"Visual Studio's", {icon, handler, name}, {icon, handler, name}, false, false},
        {"expandable and indirect", {expandIcon, expandName}, {expandIcon, expandName}, false, false},
        {"hostile", {hostileIcon, hostileName, quotedName}, {hostileIcon, hostileName, quotedName}, false,
         false},
        {"long, too long and empty", {tooLongIcon, longName}, {longName}, true, false},
        {"empty icon", {emptyIcon}, {}, true, true},
        {"wrong types", {dwordIcon, binaryName, multiName, dwordHandler}, {}, true, true},
        {"no such type", {}, {}, true, true},
    };
    const std::wstring slnxIcon = L"\"" + vsLauncher + L"\",1";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetStore();
        DeleteSlnAssociation();
        DeleteRegTree(HKEY_LOCAL_MACHINE, ClassKey(L"Remembered.Sln"));
        for (const ClassValue& value : c.remembered) ASSERT_TRUE(PutClassValue(L"Remembered.Sln", value));
        ASSERT_TRUE(PutClassValue(L"Remembered.Slnx", {L"DefaultIcon", nullptr, REG_SZ, Sz(slnxIcon)}));
        SetSlnType(L"Remembered.Sln");
        SetSlnxType(L"Remembered.Slnx");
        RunInstaller();
        ASSERT_EQ(SlnType(), L"PikroSln");
        ASSERT_EQ(SlnxType(), L"PikroSlnx");

        for (const ClassValue& value : c.copied) {
            const ClassValue ours = GetClassValue(L"PikroSln", value.subKey, value.name);
            EXPECT_EQ(ours.type, value.type) << ToUtf8(value.subKey ? value.subKey : L"") << " "
                                             << ToUtf8(value.name ? value.name : L"(default)");
            EXPECT_EQ(ours.bytes, value.bytes);
        }
        const ClassValue ownIcon = GetClassValue(L"PikroSln", L"DefaultIcon", nullptr);
        if (c.ownIcon) {
            EXPECT_EQ(ownIcon.type, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(ownIcon.bytes, Sz(L"\"" + launcher + L"\",0"));
        }
        const ClassValue friendly = GetClassValue(L"PikroSln", nullptr, L"FriendlyTypeName");
        if (c.ownName) {
            EXPECT_EQ(friendly.bytes, Sz(L"@" + launcher + L",-2003"));
            EXPECT_EQ(IndirectText(L"@" + launcher + L",-2003"),
                      TestLangId() == 1041 ? L"Visual Studio ソリューション" : L"Visual Studio Solution");
        }
        bool handlerCopied = false;
        for (const ClassValue& value : c.copied) handlerCopied |= value.subKey && wcscmp(value.subKey, handler.subKey) == 0;
        EXPECT_EQ(RegKeyExists(HKEY_LOCAL_MACHINE, ClassKey(L"PikroSln\\ShellEx")), handlerCopied);
        EXPECT_FALSE(FolderExists(hit));
        // .slnx shows its own type's icon.
        EXPECT_EQ(GetClassValue(L"PikroSlnx", L"DefaultIcon", nullptr).bytes, Sz(slnxIcon));

        for (const wchar_t* type : {L"PikroSln", L"PikroSlnx"}) {
            SCOPED_TRACE(ToUtf8(type));
            std::wstring verb, command, defaultVerb;
            EXPECT_TRUE(RegGetString(HKEY_LOCAL_MACHINE, ValueKey(type, L"shell\\choose"), L"MUIVerb", &verb));
            EXPECT_EQ(IndirectText(verb),
                      TestLangId() == 1041 ? L"Visual Studio を選んで開く…" : L"Choose Visual Studio…");
            EXPECT_TRUE(RegGetString(HKEY_LOCAL_MACHINE, ValueKey(type, L"shell\\choose\\command"), NULL,
                                     &command));
            EXPECT_EQ(command, L"\"" + launcher + L"\" /choose \"%1\"");
            RegGetString(HKEY_LOCAL_MACHINE, ValueKey(type, L"shell"), NULL, &defaultVerb);
            EXPECT_TRUE(defaultVerb.empty() || defaultVerb == L"open") << ToUtf8(defaultVerb);
        }
    }

    // Run again after the remembered type changed: the suite's follows, and
    // keeps nothing the remembered one no longer has.
    const ClassValue newIcon{L"DefaultIcon", nullptr, REG_SZ, Sz(L"\"" + vsLauncher + L"\",7")};
    DeleteRegTree(HKEY_LOCAL_MACHINE, ClassKey(L"Remembered.Sln"));
    for (const ClassValue& value : {icon, handler, name}) ASSERT_TRUE(PutClassValue(L"Remembered.Sln", value));
    SetSlnType(L"Remembered.Sln");
    RunInstaller();
    DeleteRegTree(HKEY_LOCAL_MACHINE, ClassKey(L"Remembered.Sln\\ShellEx"));
    ASSERT_TRUE(PutClassValue(L"Remembered.Sln", newIcon));
    RunInstaller();
    EXPECT_EQ(GetClassValue(L"PikroSln", L"DefaultIcon", nullptr).bytes, newIcon.bytes);
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ClassKey(L"PikroSln\\ShellEx")));
    EXPECT_EQ(GetClassValue(L"PikroSln", nullptr, nullptr).bytes, name.bytes);
    DeleteRegTree(HKEY_LOCAL_MACHINE, ClassKey(L"Remembered.Sln"));
    DeleteRegTree(HKEY_LOCAL_MACHINE, ClassKey(L"Remembered.Slnx"));
}

// Setup reads each association back as the shell sees it: one the user's
// own classes hide, or one whose type could not be written (a volatile key
// takes no lasting key below it, a refusal Wine can show), did not take. It
// says so (exit code 2, the store's "NotTaken", a message unless quiet) and
// remembers an earlier type only where the association was made.
TEST_F(SetupAssociationLang, SaysWhatDidNotTakeAndRemembersOnlyWhatWasMade) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    const std::wstring old = L"VisualStudio.Launcher.sln", absent = L"<absent>";
    struct Case {
        const char* what;
        const wchar_t* args;
        HKEY root;  // where the user's .sln, or a volatile PikroSln, is planted
        bool hide;
        std::wstring slnAfter, orgFType;  // HKLM's .sln, the remembered type
    } cases[] = {
        {"the user's own type hides the machine's", L"/quiet", HKEY_CURRENT_USER, true, L"PikroSln", old},
        {"the machine's type takes no command", L"/quiet", HKEY_LOCAL_MACHINE, false, old, absent},
        {"the user's type takes no command", L"/user", HKEY_CURRENT_USER, false, old, absent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetStore();
        DeleteSlnAssociation();
        SetSlnType(old);
        HKEY key = NULL;
        if (c.hide) {
            ASSERT_TRUE(RegPutString(c.root, ClassKey(L".sln"), NULL, L"User.Sln"));
        } else {
            ASSERT_EQ(RegCreateKeyExW(c.root, ClassKey(L"PikroSln").c_str(), 0, NULL, REG_OPTION_VOLATILE,
                                      KEY_SET_VALUE, NULL, &key, NULL), ERROR_SUCCESS);
            RegCloseKey(key);
        }
        DWORD pid = 0, code = 0;
        HANDLE process = StartProgram(ProgramPath(L"PikroInstall.exe"), c.args, L"", &pid);
        if (wcscmp(c.args, L"/user") == 0) {
            HWND box = WaitForMessageBox(L"PikroInstall", pid, 30000);
            EXPECT_EQ(MessageBoxText(box), TestLangId() == 1041
                                               ? L"次の種類のファイルを " PIKRO_PRODUCT_NAME L" に関連付けられませんでした: .sln"
                                               : L"These kinds of solution files could not be associated with "
                                                 PIKRO_PRODUCT_NAME L": .sln");
            EXPECT_TRUE(CloseMessageBox(box));
        }
        EXPECT_TRUE(EndProgram(process, 30000, &code));
        EXPECT_EQ(code, 2u);
        EXPECT_EQ(StoredLine(kKeyNotTaken), L".sln");
        EXPECT_EQ(SlnType(), c.slnAfter);
        EXPECT_EQ(StoredOrgFType(), c.orgFType);
        EXPECT_EQ(StoredOrgFType(kKeyUserFType), absent);
        std::wstring userSln;
        RegGetString(HKEY_CURRENT_USER, ClassKey(L".sln"), NULL, &userSln);
        EXPECT_EQ(userSln, c.hide ? L"User.Sln" : L"");
    }
}

// DelayedExpansion for the user, for one test.
class DelayedExpansionOn {
public:
    DelayedExpansionOn() { EXPECT_TRUE(RegPutDword(HKEY_CURRENT_USER, kProcessor, L"DelayedExpansion", 1)); }
    ~DelayedExpansionOn() { RegDeleteKeyValueW(HKEY_CURRENT_USER, kProcessor, L"DelayedExpansion"); }

private:
    static constexpr const wchar_t* kProcessor = L"Software\\Microsoft\\Command Processor";
};

// The shell opens a solution with the Pikro.exe beside the setup program
// that made the association, handing it the whole path. A fake editor
// copied there as Pikro.exe logs the command line it was given; a decoy
// Pikro.exe one folder up would catch an unquoted program path. The
// launcher's folder and the temporary folder hold "!" while the user has
// DelayedExpansion on, which would make Windows' cmd rewrite them (Wine 8's
// cmd ignores that setting: here the test checks the paths' quoting only).
TEST_F(SetupAssociationLang, ShellOpensSolutionsWithTheLauncherBesideSetup) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    SetSlnType(L"VisualStudio.Launcher.sln");
    DelayedExpansionOn delayed;
    TempDir base(kTempBlanks);
    const std::wstring install = base.Sub(L"Pikro !OS! Suite!");
    const std::wstring temp = base.Sub(L"temp !OS!");
    ASSERT_TRUE(MakeFolders(install));
    ASSERT_TRUE(MakeFolders(temp));
    ASSERT_TRUE(CopyFileW(ProgramPath(L"PikroInstall.exe").c_str(),
                          JoinPath(install, L"PikroInstall.exe").c_str(), FALSE));
    ASSERT_NE(CreateFakeDevenv(install, L"launcher", L"1.0", L"Pikro.exe"), L"");
    ASSERT_NE(CreateFakeDevenv(base.Path(), L"decoy", L"1.0", L"Pikro.exe"), L"");
    RunAndExpectZeroExit(JoinPath(install, L"PikroInstall.exe"), {L"TEMP=" + temp, L"TMP=" + temp});
    ASSERT_EQ(SlnType(), L"PikroSln");
    EXPECT_EQ(StoredOrgFType(), L"VisualStudio.Launcher.sln");
    EXPECT_EQ(PikroOpenCommand(), L"\"" + JoinPath(install, L"Pikro.exe") + L"\" \"%1\"");

    TempDir solutions(kTempBlanks);
    const std::wstring sln = solutions.Sub(L"My Solution.sln");
    ASSERT_TRUE(WriteFileBytes(sln, "Microsoft Visual Studio Solution File\r\n"));
    HANDLE opened = ShellOpen(sln);
    ASSERT_TRUE(opened != NULL);
    EndProgram(opened, 20000, NULL);

    ASSERT_TRUE(WaitForFakeDevenvLog(install, 1, 20000));
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(install);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(ReadFakeDevenvLog(base.Path()).empty());
    // The launcher reads the text behind its program name by its own rule.
    std::wstring::size_type tail = runs[0].commandLine.find(L"\" ");
    ASSERT_NE(tail, std::wstring::npos);
    ASSERT_TRUE(TakeSolutionPath(runs[0].commandLine.c_str() + tail + 2));
    EXPECT_EQ(std::wstring(g_state.szSlnPath), sln);
}

// --- removal ----------------------------------------------------------------

TEST_F(SetupRemovalTest, GivesTheFileTypeBackOnceAndDeletesBothSections) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    // A prerelease Windows lists, whose mark goes with the catalogue.
    FakeSetupConfiguration server;
    ASSERT_TRUE(server.Ready());
    const std::wstring preview = JoinPath(kOtherInstalls, L"Preview");
    ASSERT_NE(CreateFakeDevenv(JoinPath(preview, L"Common7\\IDE"), L"Visual Studio 2022", L"17.15"), L"");
    FakeInstance listed{preview};
    listed.prerelease = L"-1";
    ASSERT_TRUE(server.List({listed}));
    SetSlnType(L"VisualStudio.Launcher.sln");
    SetSlnxType(L"VisualStudio.Launcher.slnx");
    // An earlier version offered PikroSln for .slnx.
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, ClassKey(L".slnx\\OpenWithProgids"), L"PikroSln", L""));
    RunInstaller();
    ASSERT_EQ(SlnType(), L"PikroSln");
    ASSERT_EQ(SlnxType(), L"PikroSlnx");
    ASSERT_EQ(MarkedFolders(), std::vector<std::wstring>{JoinPath(preview, L"Common7\\IDE")});
    // The zip's setup registers what the installer registered.
    EXPECT_EQ(Registration(HKEY_LOCAL_MACHINE), Registration(NULL, ProgramPath(L"Pikro.exe")));
    EXPECT_EQ(Registration(HKEY_CURRENT_USER), std::vector<std::wstring>{});
    EXPECT_EQ(StoredLine(kKeyScope), kScopeMachine);
    RunUninstaller();
    EXPECT_EQ(Registration(HKEY_LOCAL_MACHINE), std::vector<std::wstring>{});
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\PikroSuite"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\PikroSuite"));
    EXPECT_EQ(SlnType(), L"VisualStudio.Launcher.sln");
    EXPECT_EQ(SlnxType(), L"VisualStudio.Launcher.slnx");
    EXPECT_FALSE(StoreSectionExists(kSectVsInst));
    EXPECT_FALSE(StoreSectionExists(kSectVsPre));
    EXPECT_FALSE(StoreSectionExists(kSectProfiles));
    EXPECT_EQ(SuiteLeftInClasses(), std::vector<std::string>{});

    // Again, as without any setup: nothing is remembered, nothing is run.
    SetSlnType(L"Changed.Meanwhile");
    SetSlnxType(L"Changed.Meanwhile.X");
    RunUninstaller();
    EXPECT_EQ(SlnType(), L"Changed.Meanwhile");
    EXPECT_EQ(SlnxType(), L"Changed.Meanwhile.X");
    EXPECT_FALSE(StoreSectionExists(kSectVsInst));
}

// An .slnx that had no file type before setup keeps the launcher's after
// removal, as .sln does; each extension gets back only its own type.
TEST_F(SetupRemovalTest, EachExtensionGetsBackItsOwnTypeOnly) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    SetSlnType(L"VisualStudio.Launcher.sln");
    RunInstaller();
    ASSERT_EQ(SlnxType(), L"");
    SetSlnxType(L"PikroSln");
    RunUninstaller();
    EXPECT_EQ(SlnType(), L"VisualStudio.Launcher.sln");
    EXPECT_EQ(SlnxType(), L"PikroSln");

    ResetStore();
    SetSlnType(L"PikroSln");
    PutStoreString(kSectVsInst, kKeyOrgFTypeSlnx, L"Only.Slnx");
    RunUninstaller();
    EXPECT_EQ(SlnType(), L"PikroSln");
    EXPECT_EQ(SlnxType(), L"Only.Slnx");
}

// Removal takes away each file type the suite made, this version's and an
// earlier one's (which gave .slnx PikroSln), from the machine's and the
// user's classes with the "Open with" entries that offer it, unless an
// extension, in either, still names it.
TEST_F(SetupRemovalTest, TakesAwayEveryTypeNoExtensionStillNames) {
    const std::wstring oldSln = L"VisualStudio.Launcher.sln", oldSlnx = L"VisualStudio.Launcher.slnx";
    struct Case {
        const char* what;
        std::wstring sln, slnx, userSln;  // the types before removal
        bool rememberSln, rememberSlnx;
        bool keepSln, keepSlnx;  // PikroSln, PikroSlnx stay
    } cases[] = {
        {"both given back", L"PikroSln", L"PikroSlnx", L"", true, true, false, false},
        {"an earlier version's .slnx", L"PikroSln", L"PikroSln", L"", true, true, false, false},
        {"nothing remembered", L"PikroSln", L"PikroSlnx", L"", false, false, true, true},
        {"only .slnx remembered", L"pikrosln", L"PikroSln", L"", false, true, true, false},
        {"the user's .sln names it", L"Other.Sln", L"Other.Slnx", L"PIKROSLN", false, false, true, false},
        {"no extension names any", L"Other.Sln", L"", L"", false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetStore();
        DeleteSlnAssociation();
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (const wchar_t* type : {L"PikroSln", L"PikroSlnx"}) {
                ASSERT_TRUE(RegPutString(root, ClassKey(type) + L"\\shell\\open\\command", NULL, L"x \"%1\""));
                for (const wchar_t* extension : {L".sln", L".slnx"})
                    ASSERT_TRUE(RegPutString(root, ClassKey(extension) + L"\\OpenWithProgids", type, L""));
            }
        }
        if (!c.sln.empty()) SetSlnType(c.sln);
        if (!c.slnx.empty()) SetSlnxType(c.slnx);
        if (!c.userSln.empty()) {
            ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, ClassKey(L".sln"), NULL, c.userSln));
        }
        if (c.rememberSln) PutStoreString(kSectVsInst, kKeyOrgFType, oldSln);
        if (c.rememberSlnx) PutStoreString(kSectVsInst, kKeyOrgFTypeSlnx, oldSlnx);
        RunUninstaller();
        EXPECT_EQ(SlnType(), c.rememberSln ? oldSln : c.sln);
        EXPECT_EQ(SlnxType(), c.rememberSlnx ? oldSlnx : c.slnx);
        std::vector<std::string> kept;
        for (const char* root : {"HKLM ", "HKCU "}) {
            for (const char* type : {"PikroSln", "PikroSlnx"}) {
                if (!(std::string(type) == "PikroSln" ? c.keepSln : c.keepSlnx)) continue;
                kept.push_back(root + std::string(type));
                kept.push_back(root + std::string(".sln opens with ") + type);
                kept.push_back(root + std::string(".slnx opens with ") + type);
            }
        }
        EXPECT_EQ(SuiteLeftInClasses(), kept);
    }
}

// Setup for one user, started without elevation or told "/user", writes
// the user's classes and registration only, HKLM not by one byte; the
// user's .sln type opens a solution in its editor through the launcher.
// Removal, without elevation, gives the user's classes back exactly as
// they were, also where they held nothing.
TEST_F(SetupRemovalTest, ForOneUserOnlyTheUsersRegistryChangesAndComesBack) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE", L"VS 2015", L"14.0");
    const std::wstring vs2017 = Editor(L"Microsoft Visual Studio 15.0\\Common7\\IDE", L"VS 2017", L"15.0.1");
    struct Case {
        const char* what;
        const wchar_t* args;
        bool elevated;
        std::wstring machineSln, userSln;  // .sln's type in HKLM and HKCU before
    } cases[] = {
        {"not elevated, the machine's .sln the suite's", L"", false, L"PikroSln", L""},
        {"/user, the user's own type", L"/QUIET  /User", true, L"VisualStudio.Launcher.sln", L"User.Sln"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetStore();
        DeleteSlnAssociation();
        SetSlnType(c.machineSln);
        SetSlnxType(L"VisualStudio.Launcher.slnx");
        if (!c.userSln.empty()) {
            ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, ClassKey(L".sln"), NULL, c.userSln));
            ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, ClassKey(L".sln\\OpenWithProgids"), L"Other.Sln", L""));
        }
        const RegistrySnapshot machine = SnapshotMachineRegistry();
        const RegistrySnapshot userClasses = SnapshotRegistry(HKEY_CURRENT_USER, kClasses);
        DWORD code = 99;
        const std::wstring setup = ProgramPath(L"PikroInstall.exe");
        ASSERT_TRUE(c.elevated ? RunProgram(setup, c.args, L"", kRunTimeout, &code)
                               : RunProgramNotElevated(setup, c.args, kRunTimeout, &code));
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(RegistryChanges(machine, SnapshotMachineRegistry()), std::vector<std::string>{});
        std::wstring sln, slnx, open;
        EXPECT_TRUE(RegGetString(HKEY_CURRENT_USER, ClassKey(L".sln"), NULL, &sln) && sln == L"PikroSln");
        EXPECT_TRUE(RegGetString(HKEY_CURRENT_USER, ClassKey(L".slnx"), NULL, &slnx) && slnx == L"PikroSlnx");
        EXPECT_EQ(Registration(HKEY_CURRENT_USER), Registration(NULL, ProgramPath(L"Pikro.exe")));
        EXPECT_EQ(StoredLine(kKeyScope), kScopeUser);

        // Wine does not merge the user's classes into HKCR (Windows does):
        // the command the user's type names is started as the shell would.
        ASSERT_TRUE(RegGetString(HKEY_CURRENT_USER, ClassKey(L"PikroSln\\shell\\open\\command"), NULL, &open));
        TempDir solutions(kTempBlanks);
        const std::wstring solution = solutions.Sub(L"App\\My App.sln");
        ASSERT_TRUE(WriteFileBytes(solution, "Microsoft Visual Studio Solution File\r\n"));
        ASSERT_TRUE(MakeFolders(solutions.Sub(L"App\\.vs\\My App\\v15")));
        const size_t program = open.find(L"\" "), solutionAt = open.find(L"%1");
        ASSERT_TRUE(open[0] == L'"' && program != std::wstring::npos && solutionAt > program);
        const size_t runs = ReadFakeDevenvLog(vs2017).size();
        ASSERT_TRUE(RunProgram(open.substr(1, program - 1),
                               open.substr(program + 2).replace(solutionAt - program - 2, 2, solution), L"",
                               kRunTimeout, NULL));
        ASSERT_TRUE(WaitForFakeDevenvLog(vs2017, runs + 1, 20000));
        EXPECT_EQ(ReadFakeDevenvLog(vs2017).back().commandLine, L"\"" + vs2017 + L"\\devenv.exe\" \"" + solution + L"\"");

        ASSERT_TRUE(RunProgramNotElevated(ProgramPath(L"PikroUninstall.exe"), L"", kRunTimeout, &code));
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(RegistryChanges(userClasses, SnapshotRegistry(HKEY_CURRENT_USER, kClasses)),
                  std::vector<std::string>{});
        EXPECT_EQ(RegistryChanges(machine, SnapshotMachineRegistry()), std::vector<std::string>{});
        EXPECT_EQ(Registration(HKEY_CURRENT_USER), std::vector<std::wstring>{});
        // A setup for everyone still in place keeps this user's editors.
        EXPECT_EQ(RegKeyExists(HKEY_CURRENT_USER, L"Software\\PikroSuite"), c.machineSln == L"PikroSln");
    }
}

TEST_F(SetupRemovalTest, RefusesAStoredTypeThatWouldRunACommand) {
    const std::wstring hit = outside_.Sub(L"hit");
    SetSlnType(L"PikroSln");
    SetSlnxType(L"PikroSln");
    PutStoreString(kSectVsInst, kKeyOrgFType, L"X&mkdir " + hit);
    PutStoreString(kSectVsInst, kKeyOrgFTypeSlnx, L"X&mkdir " + hit);
    PutStoreDword(kSectProfiles, kKeyVsProc, 1);
    RunUninstaller();
    EXPECT_FALSE(FolderExists(hit));
    EXPECT_EQ(SlnType(), L"PikroSln");
    EXPECT_EQ(SlnxType(), L"PikroSln");
    EXPECT_FALSE(StoreSectionExists(kSectVsInst));
    EXPECT_FALSE(StoreSectionExists(kSectProfiles));
}

// A remembered type is kept and given back whole or not at all: the store
// would hand a longer one over cut to 259 units, the name of another type.
TEST_F(SetupRemovalTest, ARememberedTypeTooLongToReadWholeIsDropped) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    for (size_t units : {259u, 260u, 300u}) {
        SCOPED_TRACE(units);
        const std::wstring type(units, L'T');
        const bool fits = units < 260;
        ResetStore();
        SetSlnType(L"PikroSln");
        PutStoreString(kSectVsInst, kKeyOrgFType, type);
        RunInstaller();
        EXPECT_EQ(StoredOrgFType(), fits ? type : L"<absent>");
        PutStoreString(kSectVsInst, kKeyOrgFType, type);
        RunUninstaller();
        EXPECT_EQ(SlnType(), fits ? type : L"PikroSln");
        EXPECT_FALSE(StoreSectionExists(kSectVsInst));
        EXPECT_FALSE(StoreSectionExists(kSectProfiles));
    }
}

// Neither program asks for elevation or opens a console window.
TEST(SetupPrograms, AsInvokerManifestAndWindowsSubsystem) {
    for (const wchar_t* name : {L"PikroInstall.exe", L"PikroUninstall.exe"}) {
        SCOPED_TRACE(ToUtf8(name));
        HMODULE module = LoadLibraryExW(ProgramPath(name).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, (HMODULE)NULL);
        HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
        ASSERT_NE(resource, (HRSRC)NULL);
        std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, resource))),
                             SizeofResource(module, resource));
        EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
        FreeLibrary(module);

        std::string image;
        ASSERT_TRUE(ReadFileBytes(ProgramPath(name), &image));
        ASSERT_GT(image.size(), 0x400u);
        LONG peOffset = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data())->e_lfanew;
        // The subsystem field lies at the same offset in both optional headers.
        const IMAGE_NT_HEADERS32* headers =
            reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + peOffset);
        EXPECT_EQ(headers->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    }
}

// What Windows shows of the suite (the Default apps description and name,
// the type names, the verb) comes out of the launcher's resources in the
// user's language, read by the shell's own reader of indirect strings.
TEST(SetupStringsLang, IndirectStringsResolveInTheUsersLanguage) {
    struct Case {
        int id;
        const wchar_t* english;
        const wchar_t* japanese;
    } cases[] = {
        {IDS_APP_DESCRIPTION,
         L"Opens each Visual Studio solution in the right one of the installed Visual Studio versions.",
         L"Visual Studio のソリューションを、インストールされている中から適切な Visual Studio で開きます。"},
        {IDS_APP_NAME, L"" PIKRO_PRODUCT_NAME, L"" PIKRO_PRODUCT_NAME},
        {IDS_SLN_TYPE_NAME, L"Visual Studio Solution", L"Visual Studio ソリューション"},
        {IDS_SLNX_TYPE_NAME, L"Visual Studio XML Solution", L"Visual Studio XML ソリューション"},
        {IDS_VERB_CHOOSE, L"Choose Visual Studio…", L"Visual Studio を選んで開く…"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(IndirectText(L"@" + ProgramPath(L"Pikro.exe") + L",-" + std::to_wstring(c.id)),
                  TestLangId() == 1041 ? c.japanese : c.english);
    }
}

// --- command composition ------------------------------------------------------

TEST(SetupCommands, OpenCommandSplitsIntoLauncherAndSolution) {
    wchar_t command[1024];
    const wchar_t launcher[] = L"C:\\Program Files\\Pikro Suite\\Pikro.exe";
    ASSERT_TRUE(ComposeFTypeCommand(L"PikroSln", launcher, command));
    std::wstring line(wcschr(command, L'=') + 1);
    line.replace(line.find(L"%1"), 2, L"D:\\my work\\A B.sln");
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &argc);
    ASSERT_EQ(argc, 2);
    EXPECT_STREQ(argv[0], launcher);
    EXPECT_STREQ(argv[1], L"D:\\my work\\A B.sln");
    LocalFree(argv);
    // cmd expands %...% even between quotes.
    EXPECT_FALSE(ComposeFTypeCommand(L"PikroSln", L"C:\\100%\\x%\\Pikro.exe", command));
    EXPECT_EQ(command[0], L'\0');
}

// The answer of "assoc" as "cmd /u" writes it (UTF-16), or in plain ASCII:
// however it spells the extension and the type, PikroSln and PikroSlnx are
// ours; a type is taken whole or, in bytes of a code page, refused.
TEST(SetupCommands, AnswersAreReadWholeOrRefused) {
    const std::wstring japanese = L"VisualStudio.ソリューション";
    struct Case {
        std::string bytes;
        const wchar_t* extension;
        int result;
        std::wstring type;
    } cases[] = {
        {".SLN=pikrosln\r\n", L".sln", SLN_ASSOC_PIKRO, L"pikrosln"},
        {".SLN=pikrosln.1\r\n", L".sln", SLN_ASSOC_OTHER, L"pikrosln.1"},
        {Utf16Bytes(L".sln=PIKROSLN\r\n"), L".sln", SLN_ASSOC_PIKRO, L"PIKROSLN"},
        {Utf16Bytes(L".sln=PikroSlnx"), L".sln", SLN_ASSOC_PIKRO, L"PikroSlnx"},
        {Utf16Bytes(L".sln=" + japanese + L"\r\n"), L".sln", SLN_ASSOC_OTHER, japanese},
        {"\xFF\xFE" + Utf16Bytes(L".sln=" + japanese + L"\r\n"), L".sln", SLN_ASSOC_OTHER, japanese},
        // Shift-JIS of the same, as cmd writes it without /u under Japanese.
        {".sln=VisualStudio.\x83\x5C\x83\x8A\x83\x85\x81\x5B\x83\x56\x83\x87\x83\x93\r\n", L".sln",
         SLN_ASSOC_REFUSED, L""},
        {"", L".sln", SLN_ASSOC_NONE, L""},
        {Utf16Bytes(L"File association not found for extension .sln\r\n"), L".sln", SLN_ASSOC_NONE, L""},
        // Each extension reads only its own answer.
        {Utf16Bytes(L".SLNX=pikrosln\r\n"), L".slnx", SLN_ASSOC_PIKRO, L"pikrosln"},
        {Utf16Bytes(L".slnx=PikroSlnx\r\n"), L".slnx", SLN_ASSOC_PIKRO, L"PikroSlnx"},
        // A line longer than the buffer names a cut type.
        {Utf16Bytes(L".slnx=" + std::wstring(400, L'T') + L"\r\n"), L".slnx", SLN_ASSOC_REFUSED, L""},
        {Utf16Bytes(L".SLNX=pikrosln\r\n"), L".sln", SLN_ASSOC_NONE, L""},
        {Utf16Bytes(L".slnx=VisualStudio.Launcher.slnx\r\n"), L".slnx", SLN_ASSOC_OTHER,
         L"VisualStudio.Launcher.slnx"},
        {Utf16Bytes(L".sln=VisualStudio.Launcher.sln\r\n"), L".slnx", SLN_ASSOC_NONE, L""},
        // A type holding a line feed is refused whole, never taken cut at it.
        {Utf16Bytes(L".sln=Cut\nHere\r\n"), L".sln", SLN_ASSOC_REFUSED, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        wchar_t type[260];
        EXPECT_EQ(ParseAssocAnswer(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size(),
                                   type, c.extension),
                  c.result);
        EXPECT_EQ(std::wstring(type), c.type);
    }
}

TEST(SetupCommands, OnlyPlainNamesArePutOnACommandLine) {
    for (const wchar_t* type : {L"VisualStudio.Launcher.sln", L"Some_Type-2.x", L"型.sln"})
        EXPECT_TRUE(IsSafeFileType(type)) << ToUtf8(type);
    for (const wchar_t* type : {L"", L"a<b", L"a>b", L"a^b", L"a\"b", L"a(b", L"a)b", L"a\tb", L"a\x1b", L"/?"})
        EXPECT_FALSE(IsSafeFileType(type)) << ToUtf8(type);
    EXPECT_FALSE(IsSafeFileType(std::wstring(260, L'a').c_str()));
    EXPECT_TRUE(IsSafeFileType(std::wstring(259, L'a').c_str()));
}

}  // namespace
