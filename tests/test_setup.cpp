// Setup and removal, end to end: the real PikroInstall.exe and
// PikroUninstall.exe run under a SystemDrive of the test's own, over Program
// Files trees of fake editors, with the real command interpreter doing
// "assoc" and "ftype", and the results are read back from the registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher.h"
#include "setup.h"
#include "store_keys.h"
#include "testutil.h"

#include <shellapi.h>

using namespace testutil;

namespace {

const DWORD kRunTimeout = 60000;
const wchar_t kClasses[] = L"Software\\Classes";
const wchar_t kNotFound[] = L"インストール済の VisualStudio が見つかりませんでした。";

std::wstring ClassKey(const std::wstring& name) {
    return std::wstring(kClasses) + L"\\" + name;
}

// The file type of .sln as HKCR shows it; "" when there is none.
std::wstring SlnType() {
    std::wstring type;
    if (!RegGetString(HKEY_LOCAL_MACHINE, ClassKey(L".sln"), NULL, &type)) return L"";
    return type;
}

void SetSlnType(const std::wstring& type) {
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, ClassKey(L".sln"), NULL, type));
}

std::wstring PikroOpenCommand() {
    std::wstring command;
    RegGetString(HKEY_LOCAL_MACHINE, ClassKey(L"PikroSln\\shell\\open\\command"), NULL, &command);
    return command;
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

std::wstring StoredOrgFType() {
    std::wstring type;
    if (!GetStoreString(kSectVsInst, kKeyOrgFType, &type)) return L"<absent>";
    return type;
}

// The section holds the six launcher settings, each 0, and nothing else.
void ExpectSixZeros() {
    static const wchar_t* const kKeys[] = {kKeyDelVsFolder, kKeyLstSel, kKeyVsProc,
                                           kKeyVsFix,       kKeyNoVsProc, kKeyNoVsFix};
    EXPECT_EQ(StoreValueNames(kSectProfiles).size(), 6u);
    for (const wchar_t* key : kKeys) {
        DWORD value = 99;
        EXPECT_TRUE(GetStoreDword(kSectProfiles, key, &value)) << ToUtf8(key);
        EXPECT_EQ(value, 0u) << ToUtf8(key);
    }
}

void RunAndExpectZeroExit(const std::wstring& program, const EnvOverrides& env = EnvOverrides()) {
    DWORD code = 1;
    ASSERT_TRUE(RunProgram(program, L"", L"", kRunTimeout, &code, env));
    EXPECT_EQ(code, 0u);
}

void RunInstaller(const EnvOverrides& env = EnvOverrides()) {
    RunAndExpectZeroExit(ProgramPath(L"PikroInstall.exe"), env);
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

TEST_F(SetupDiscoveryTest, OneEntryPerVisualStudioFolderFirstTreeInListingOrder) {
    std::wstring first = Editor(L"Microsoft Visual Studio\\2017\\Community\\Common7\\IDE", L"VS 2017", L"15.9.1");
    Editor(L"Microsoft Visual Studio\\2019\\Professional\\Common7\\IDE", L"VS 2019", L"16.11.2");
    RunInstaller();
    EXPECT_EQ(StoredFolders(), std::vector<std::wstring>{first});
    EXPECT_EQ(StoredLine(L"VS00"), L"VS 2017;15.9.1;" + first);
    ExpectSixZeros();
}

TEST_F(SetupDiscoveryTest, SubFolderListedBeforeRootEditorIsSearchedFirst) {
    // "Common7" is listed before "DevEnv.exe" in the folder's own root.
    std::wstring deep = Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    std::wstring root = JoinPath(ProgramFiles(), L"Microsoft Visual Studio 14.0");
    ASSERT_NE(CreateFakeDevenv(root, L"root", L"14.0", L"DevEnv.exe"), L"");
    // Without an editor in the sub-folder, the root's DevEnv.exe is the one.
    MakeFolders(JoinPath(ProgramFiles(), L"Microsoft Visual Studio 12.0\\Common7\\IDE"));
    std::wstring root12 = JoinPath(ProgramFiles(), L"Microsoft Visual Studio 12.0");
    ASSERT_NE(CreateFakeDevenv(root12, L"root 12", L"12.0", L"DEVENV.EXE"), L"");

    RunInstaller();
    EXPECT_EQ(StoredFolders(), (std::vector<std::wstring>{root12, deep}));
    EXPECT_EQ(StoredLine(L"VS00"), L"root 12;12.0;" + root12);
}

TEST_F(SetupDiscoveryTest, FolderNamedDevenvExeIsSearchedNeverRegistered) {
    std::wstring vs = JoinPath(ProgramFiles(), L"Microsoft Visual Studio 11.0");
    ASSERT_TRUE(MakeFolders(JoinPath(vs, L"devenv.exe\\empty")));
    std::wstring inner = Editor(L"Microsoft Visual Studio 12.0\\devenv.exe\\IDE");
    std::wstring later = Editor(L"Microsoft Visual Studio 11.0\\IDE");
    RunInstaller();
    EXPECT_EQ(StoredFolders(), (std::vector<std::wstring>{later, inner}));
}

TEST_F(SetupDiscoveryTest, OnlyFoldersWhoseNameBeginsWithVisualStudioAreSearched) {
    std::wstring tools = Editor(L"Microsoft Visual Studio Tools\\bin", L"tools", L"1.0");
    std::wstring upper = Editor(L"MICROSOFT VISUAL STUDIO 12.0\\IDE", L"upper", L"12.0");
    Editor(L"Microsoft Visual Studi\\IDE", L"too short", L"1.0");
    Editor(L"Other\\Microsoft Visual Studio 14.0\\IDE", L"nested", L"14.0");
    ASSERT_TRUE(WriteFileBytes(JoinPath(ProgramFiles(), L"Microsoft Visual Studio 9.0"), "not a folder"));
    RunInstaller();
    EXPECT_EQ(StoredFolders(), (std::vector<std::wstring>{upper, tools}));
}

TEST_F(SetupDiscoveryTest, ProgramFilesBeforeProgramFilesX86EachInListingOrder) {
    std::wstring x86 = JoinPath(ProgramFilesX86(), L"Microsoft Visual Studio 9.0\\Common7\\IDE");
    ASSERT_NE(CreateFakeDevenv(x86, L"VS 2008", L"9.0"), L"");
    std::wstring v9 = Editor(L"Microsoft Visual Studio 9.0\\Common7\\IDE", L"VS 2008", L"9.0");
    std::wstring v10 = Editor(L"Microsoft Visual Studio 10.0\\Common7\\IDE", L"VS 2010", L"10.0");
    RunInstaller();
    // The same version under both folders gives two entries.
    EXPECT_EQ(StoredFolders(), (std::vector<std::wstring>{v10, v9, x86}));
    ExpectSixZeros();
}

TEST_F(SetupDiscoveryTest, FolderLinkCycleEndsAndLinksAreNotFollowedInsideTrees) {
    std::wstring vs = JoinPath(ProgramFiles(), L"Microsoft Visual Studio 14.0");
    ASSERT_TRUE(MakeFolders(JoinPath(vs, L"A")));
    if (!MakeFolderLink(JoinPath(vs, L"A\\loop"), vs)) GTEST_SKIP() << "no folder links here";
    std::wstring inTree = Editor(L"Microsoft Visual Studio 14.0\\B");
    // A link that leads out of the tree to another editor is not followed.
    std::wstring elsewhere = outside_.Sub(L"elsewhere");
    ASSERT_NE(CreateFakeDevenv(elsewhere, L"elsewhere", L"1.0"), L"");
    std::wstring v15 = Editor(L"Microsoft Visual Studio 15.0\\Z");
    ASSERT_TRUE(MakeFolderLink(JoinPath(ProgramFiles(), L"Microsoft Visual Studio 15.0\\A"), elsewhere));
    // A Visual Studio folder that is itself a link (an install moved to
    // another drive) is searched.
    std::wstring moved = outside_.Sub(L"moved");
    ASSERT_NE(CreateFakeDevenv(JoinPath(moved, L"Common7\\IDE"), L"moved", L"16.0"), L"");
    ASSERT_TRUE(MakeFolderLink(JoinPath(ProgramFiles(), L"Microsoft Visual Studio 16.0"), moved));

    RunInstaller();
    EXPECT_EQ(StoredFolders(),
              (std::vector<std::wstring>{inTree, v15,
                                         JoinPath(ProgramFiles(), L"Microsoft Visual Studio 16.0\\Common7\\IDE")}));
}

TEST_F(SetupDiscoveryTest, PathsBeyond260UnitsArePassedOverNotCut) {
    std::wstring relative = L"Microsoft Visual Studio 14.0";
    std::wstring deep = relative;
    while (JoinPath(ProgramFiles(), deep).size() < 300) deep += L"\\abcdefghijklmnopqrstuvwxyz";
    std::wstring deepFolder = JoinPath(ProgramFiles(), deep);
    ASSERT_NE(CreateFakeDevenv(deepFolder, L"deep", L"1.0"), L"");
    // The folder that fits 260 units with devenv.exe added only just.
    std::wstring edge = JoinPath(ProgramFiles(), L"Microsoft Visual Studio 15.0\\");
    edge += std::wstring(259 - edge.size() - wcslen(L"\\devenv.exe"), L'x');
    ASSERT_NE(CreateFakeDevenv(edge, L"edge", L"1.0"), L"");
    std::wstring later = Editor(L"Microsoft Visual Studio 14.0\\zz");

    RunInstaller();
    std::vector<std::wstring> folders = StoredFolders();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0], later);
    EXPECT_EQ(folders[1], edge);
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
    SetSystemDrive(std::wstring(300, L'x'));
    ZeroMemory(&g_setup, sizeof(g_setup));
    EXPECT_EQ(DiscoverEditors(), 0);
    EXPECT_FALSE(StoreValueExists(kSectVsInst, kKeyCount));
}

TEST_F(SetupDiscoveryTest, NoEditorShowsTheMessageOnceAndWritesNothing) {
    ASSERT_TRUE(MakeFolders(JoinPath(ProgramFiles(), L"Microsoft Visual Studio 14.0\\Common7\\IDE")));
    Editor(L"Other\\IDE");
    SetSlnType(L"VisualStudio.Launcher.sln");

    DWORD pid = 0;
    HANDLE process = StartProgram(ProgramPath(L"PikroInstall.exe"), L"", L"", &pid);
    ASSERT_NE(process, (HANDLE)NULL);
    HWND box = WaitForMessageBox(L"PikroInstall", pid, 20000);
    ASSERT_NE(box, (HWND)NULL);
    EXPECT_EQ(ClassName(box), L"#32770");
    EXPECT_EQ(MessageBoxText(box), kNotFound);
    EXPECT_TRUE(CloseMessageBox(box));
    // A second box would keep the program from ending.
    DWORD code = 1;
    EXPECT_TRUE(EndProgram(process, 20000, &code));
    EXPECT_EQ(code, 0u);

    EXPECT_FALSE(StoreSectionExists(kSectVsInst));
    EXPECT_FALSE(StoreSectionExists(kSectProfiles));
    EXPECT_EQ(SlnType(), L"VisualStudio.Launcher.sln");
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ClassKey(L"PikroSln")));
}

TEST_F(SetupDiscoveryTest, NoEditorKeepsTheRememberedFileTypeForRemoval) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    SetSlnType(L"VisualStudio.Launcher.sln");
    RunInstaller();
    ASSERT_EQ(StoredOrgFType(), L"VisualStudio.Launcher.sln");
    ASSERT_TRUE(RemoveTree(JoinPath(ProgramFiles(), L"Microsoft Visual Studio 14.0")));

    DWORD pid = 0;
    HANDLE process = StartProgram(ProgramPath(L"PikroInstall.exe"), L"", L"", &pid);
    ASSERT_NE(process, (HANDLE)NULL);
    HWND box = WaitForMessageBox(L"PikroInstall", pid, 20000);
    ASSERT_NE(box, (HWND)NULL);
    CloseMessageBox(box);
    EXPECT_TRUE(EndProgram(process, 20000, NULL));
    EXPECT_EQ(StoredOrgFType(), L"VisualStudio.Launcher.sln");
    EXPECT_FALSE(StoreValueExists(kSectVsInst, kKeyCount));

    RunUninstaller();
    EXPECT_EQ(SlnType(), L"VisualStudio.Launcher.sln");
}

// --- association ------------------------------------------------------------

TEST_F(SetupAssociationLang, TakesOverAnExistingFileType) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    SetSlnType(L"VisualStudio.Launcher.sln");
    PutStoreDword(kSectProfiles, kKeyVsProc, 1);
    RunInstaller();
    EXPECT_EQ(StoredOrgFType(), L"VisualStudio.Launcher.sln");
    EXPECT_EQ(SlnType(), L"PikroSln");
    EXPECT_EQ(PikroOpenCommand(), L"\"" + ProgramPath(L"Pikro.exe") + L"\" \"%1\"");
    ExpectSixZeros();
}

TEST_F(SetupAssociationLang, WithoutAnAssociationNothingIsAssociated) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    // A type remembered by an earlier run is stale once .sln is not ours.
    PutStoreString(kSectVsInst, kKeyOrgFType, L"Stale.Type");
    RunInstaller();
    EXPECT_EQ(StoredOrgFType(), L"<absent>");
    EXPECT_EQ(SlnType(), L"");
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ClassKey(L"PikroSln")));
    ExpectSixZeros();
}

TEST_F(SetupAssociationLang, AlreadyPikroSlnInAnyCaseIsLeftAlone) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    SetSlnType(L"pIKROsLN");
    RunInstaller();
    EXPECT_EQ(StoredOrgFType(), L"<absent>");
    EXPECT_EQ(SlnType(), L"pIKROsLN");
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ClassKey(L"PikroSln\\shell")));
    ExpectSixZeros();
}

TEST_F(SetupAssociationLang, RepeatedSetupKeepsTheFirstFileTypeForRemoval) {
    std::wstring editor = Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    SetSlnType(L"VisualStudio.Launcher.sln");
    RunInstaller();
    RunInstaller();
    EXPECT_EQ(StoredOrgFType(), L"VisualStudio.Launcher.sln");
    EXPECT_EQ(StoredFolders(), std::vector<std::wstring>{editor});
    EXPECT_EQ(SlnType(), L"PikroSln");
    ExpectSixZeros();
    RunUninstaller();
    EXPECT_EQ(SlnType(), L"VisualStudio.Launcher.sln");
}

TEST_F(SetupAssociationLang, TypesUnfitForACommandLineAreNotTakenOver) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    TempDir scratch;
    const std::wstring hit = scratch.Sub(L"hit");
    const std::wstring types[] = {L"A&mkdir " + hit, L"A|B", L"A B", L"A%PATH%",
                                  std::wstring(400, L'L')};
    for (const std::wstring& type : types) {
        SCOPED_TRACE(ToUtf8(type.substr(0, 40)));
        ResetStore();
        SetSlnType(type);
        RunInstaller();
        EXPECT_EQ(StoredOrgFType(), L"<absent>");
        EXPECT_EQ(SlnType(), type);
        EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ClassKey(L"PikroSln")));
        EXPECT_FALSE(FolderExists(hit));
        ExpectSixZeros();
    }
}

TEST_F(SetupAssociationLang, TemporaryFolderWithBlanksAndAStaleAnswer) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    TempDir temp(kTempBlanks | (TestLangId() == 1041 ? kTempJapanese : 0));
    ASSERT_NE(temp.Path().find(L' '), std::wstring::npos);
    const std::wstring answer = temp.Sub(L"Pikro.tmp");
    // An earlier run's answer must not pass for this one's.
    ASSERT_TRUE(WriteFileBytes(answer, ".sln=Stale.Type\r\n"));
    const EnvOverrides env = {L"TEMP=" + temp.Path(), L"TMP=" + temp.Path()};
    RunInstaller(env);
    EXPECT_EQ(StoredOrgFType(), L"<absent>");
    EXPECT_EQ(SlnType(), L"");

    SetSlnType(L"My.Type");
    RunInstaller(env);
    EXPECT_EQ(StoredOrgFType(), L"My.Type");
    EXPECT_EQ(SlnType(), L"PikroSln");
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(answer, &bytes));
    EXPECT_EQ(bytes.substr(0, 12), ".sln=My.Type");
}

// The shell opens a solution with the Pikro.exe beside the setup program
// that made the association, handing it the whole path. A fake editor
// copied there as Pikro.exe logs the command line it was given; a decoy
// Pikro.exe one folder up would catch an unquoted program path.
TEST_F(SetupAssociationLang, ShellOpensSolutionsWithTheLauncherBesideSetup) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    SetSlnType(L"VisualStudio.Launcher.sln");
    TempDir base(kTempBlanks);
    const std::wstring install = base.Sub(L"Pikro Suite");
    ASSERT_TRUE(MakeFolders(install));
    ASSERT_TRUE(CopyFileW(ProgramPath(L"PikroInstall.exe").c_str(),
                          JoinPath(install, L"PikroInstall.exe").c_str(), FALSE));
    ASSERT_NE(CreateFakeDevenv(install, L"launcher", L"1.0", L"Pikro.exe"), L"");
    ASSERT_NE(CreateFakeDevenv(base.Path(), L"decoy", L"1.0", L"Pikro.exe"), L"");
    RunAndExpectZeroExit(JoinPath(install, L"PikroInstall.exe"));
    ASSERT_EQ(SlnType(), L"PikroSln");

    TempDir solutions(kTempBlanks);
    const std::wstring sln = solutions.Sub(L"My Solution.sln");
    ASSERT_TRUE(WriteFileBytes(sln, "Microsoft Visual Studio Solution File\r\n"));
    SHELLEXECUTEINFOW info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = sln.c_str();
    info.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExW(&info));
    if (info.hProcess != NULL) EndProgram(info.hProcess, 20000, NULL);

    ASSERT_TRUE(WaitForFakeDevenvLog(install, 1, 20000));
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(install);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(ReadFakeDevenvLog(base.Path()).empty());
    // What the launcher takes from its command line: the text behind the
    // program name, read by its own rule.
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(runs[0].commandLine.c_str(), &argc);
    ASSERT_NE(argv, (LPWSTR*)NULL);
    ASSERT_EQ(argc, 2);
    EXPECT_EQ(std::wstring(argv[1]), sln);
    LocalFree(argv);
    std::wstring::size_type tail = runs[0].commandLine.find(L"\" ");
    ASSERT_NE(tail, std::wstring::npos);
    ASSERT_TRUE(TakeSolutionPath(runs[0].commandLine.c_str() + tail + 2));
    EXPECT_EQ(std::wstring(g_state.szSlnPath), sln);
}

// --- removal ----------------------------------------------------------------

TEST_F(SetupRemovalTest, GivesTheFileTypeBackAndDeletesBothSections) {
    Editor(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    SetSlnType(L"VisualStudio.Launcher.sln");
    RunInstaller();
    ASSERT_EQ(SlnType(), L"PikroSln");
    RunUninstaller();
    EXPECT_EQ(SlnType(), L"VisualStudio.Launcher.sln");
    EXPECT_FALSE(StoreSectionExists(kSectVsInst));
    EXPECT_FALSE(StoreSectionExists(kSectProfiles));

    // Twice: nothing is remembered any more, nothing changes.
    SetSlnType(L"Changed.Meanwhile");
    RunUninstaller();
    EXPECT_EQ(SlnType(), L"Changed.Meanwhile");
    EXPECT_FALSE(StoreSectionExists(kSectVsInst));
}

TEST_F(SetupRemovalTest, WithoutSetupNothingIsRun) {
    SetSlnType(L"Some.Type");
    RunUninstaller();
    EXPECT_EQ(SlnType(), L"Some.Type");
    EXPECT_FALSE(StoreSectionExists(kSectVsInst));
    EXPECT_FALSE(StoreSectionExists(kSectProfiles));
}

TEST_F(SetupRemovalTest, RefusesAStoredTypeThatWouldRunACommand) {
    TempDir scratch;
    const std::wstring hit = scratch.Sub(L"hit");
    SetSlnType(L"PikroSln");
    PutStoreString(kSectVsInst, kKeyOrgFType, L"X&mkdir " + hit);
    PutStoreDword(kSectProfiles, kKeyVsProc, 1);
    RunUninstaller();
    EXPECT_FALSE(FolderExists(hit));
    EXPECT_EQ(SlnType(), L"PikroSln");
    EXPECT_FALSE(StoreSectionExists(kSectVsInst));
    EXPECT_FALSE(StoreSectionExists(kSectProfiles));
}

// --- command composition ------------------------------------------------------

TEST(SetupCommands, FTypeCommandGivesTheLauncherAndPathAsTwoArguments) {
    wchar_t command[1024];
    const wchar_t launcher[] = L"C:\\Program Files\\Pikro Suite\\Pikro.exe";
    ASSERT_TRUE(ComposeFTypeCommand(launcher, command));
    const wchar_t* open = wcschr(command, L'=');
    ASSERT_NE(open, nullptr);
    // The shell puts the solution path in place of %1.
    std::wstring line(open + 1);
    line.replace(line.find(L"%1"), 2, L"D:\\my work\\A B.sln");
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &argc);
    ASSERT_EQ(argc, 2);
    EXPECT_STREQ(argv[0], launcher);
    EXPECT_STREQ(argv[1], L"D:\\my work\\A B.sln");
    LocalFree(argv);

    EXPECT_FALSE(ComposeFTypeCommand(L"C:\\100%\\x%\\Pikro.exe", command));
    EXPECT_EQ(command[0], L'\0');
    EXPECT_FALSE(ComposeFTypeCommand(L"C:\\a\"b\\Pikro.exe", command));
}

TEST(SetupCommands, OnlyPlainNamesArePutOnACommandLine) {
    const wchar_t* const accepted[] = {L"VisualStudio.Launcher.sln", L"Some_Type-2.x", L"型.sln"};
    for (const wchar_t* type : accepted) EXPECT_TRUE(IsSafeFileType(type)) << ToUtf8(type);
    const wchar_t* const refused[] = {L"",      L"a&b",  L"a|b", L"a<b", L"a>b",  L"a^b",
                                      L"a\"b",  L"a%b",  L"a(b", L"a)b", L"a b",  L"a\tb",
                                      L"a\x1b", L"a!b",  L"/?"};
    for (const wchar_t* type : refused) EXPECT_FALSE(IsSafeFileType(type)) << ToUtf8(type);
    EXPECT_FALSE(IsSafeFileType(std::wstring(260, L'a').c_str()));
    EXPECT_TRUE(IsSafeFileType(std::wstring(259, L'a').c_str()));

    wchar_t restore[324];
    EXPECT_TRUE(ComposeAssocRestore(L"VisualStudio.Launcher.sln", restore));
    EXPECT_STREQ(restore, L"assoc .sln=VisualStudio.Launcher.sln");
    EXPECT_FALSE(ComposeAssocRestore(L"X&calc", restore));
    EXPECT_EQ(restore[0], L'\0');
}

}  // namespace
