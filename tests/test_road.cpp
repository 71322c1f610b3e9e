// The whole road of an opened solution, every step a separate process: the
// launcher from a copy of the installed layout, the launch shim in its
// sub-folder, and fake editors that record how they were started. The store
// is set up in the registry before the launcher starts.
#include <gtest/gtest.h>

#include "testutil.h"

#include <tlhelp32.h>

#include <string>
#include <vector>

#include "resource.h"
#include "store_keys.h"

using namespace testutil;

namespace {

const DWORD kWaitMs = 20000;

class RoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ResetStore());
        install_ = dir_.Sub(L"Program Files\\Pikro Suite");
        ASSERT_TRUE(MakeFolders(install_ + L"\\PikroExec"));
        ASSERT_TRUE(CopyFileW(ProgramPath(L"Pikro.exe").c_str(), Launcher().c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(ProgramPath(L"PikroExec\\PikroExec.exe").c_str(),
                              (install_ + L"\\PikroExec\\PikroExec.exe").c_str(), FALSE));
        vs2019_ = dir_.Sub(L"Microsoft Visual Studio\\2019\\Community\\Common7\\IDE");
        vs2022_ = dir_.Sub(L"Microsoft Visual Studio\\2022\\Community\\Common7\\IDE");
        ASSERT_NE(CreateFakeDevenv(vs2019_, L"Visual Studio 2019", L"16.11.5"), L"");
        ASSERT_NE(CreateFakeDevenv(vs2022_, L"Visual Studio 2022", L"17.8.3"), L"");
        ASSERT_TRUE(PutStoreCatalogue({{L"Visual Studio 2022", L"17.8.3", vs2022_},
                                       {L"Visual Studio 2019", L"16.11.5", vs2019_}}));
    }
    void TearDown() override { ResetStore(); }

    std::wstring Launcher() const { return install_ + L"\\Pikro.exe"; }

    // Runs the launcher to its end and checks that it ended with 0.
    void RunLauncher(const std::wstring& args) {
        DWORD code = 1;
        ASSERT_TRUE(RunProgram(Launcher(), args, dir_.Path(), kWaitMs, &code)) << args;
        EXPECT_EQ(code, 0u) << args;
    }

    // The one record an editor wrote, checked against what the launcher
    // must have handed over.
    void ExpectEditorRun(const std::wstring& editor, size_t runs, const std::wstring& sln) {
        ASSERT_TRUE(WaitForFakeDevenvLog(editor, runs, kWaitMs));
        std::vector<DevenvRun> log = ReadFakeDevenvLog(editor);
        ASSERT_EQ(log.size(), runs);
        EXPECT_EQ(log.back().commandLine, L"\"" + editor + L"\\devenv.exe\" \"" + sln + L"\"");
        EXPECT_EQ(log.back().currentFolder, install_ + L"\\PikroExec");
    }
    size_t Runs(const std::wstring& editor) const { return ReadFakeDevenvLog(editor).size(); }

    TempDir dir_{kTempBlanks};
    std::wstring install_, vs2019_, vs2022_;
};

// The parent of a process, by its id; 0 when unknown.
DWORD ParentOf(DWORD pid, std::wstring* parentExe) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    DWORD parent = 0;
    for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry)) {
        if (entry.th32ProcessID == pid) parent = entry.th32ParentProcessID;
    }
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snap, &entry); parent && more;
         more = Process32NextW(snap, &entry)) {
        if (entry.th32ProcessID == parent) *parentExe = entry.szExeFile;
    }
    CloseHandle(snap);
    return parent;
}

// Starts the launcher with a solution and waits until it shows its choice
// list. Returns the choice dialog with the launcher's process in *launcher
// (end it with EndProgram), or 0 with a test failure added and the launcher
// already ended.
HWND OpenChoiceList(const std::wstring& launcherExe, const std::wstring& sln,
                    const std::wstring& cwd, HANDLE* launcher) {
    DWORD pid = 0;
    *launcher = StartProgram(launcherExe, QuoteArg(sln), cwd, &pid);
    if (!*launcher) return nullptr;
    HWND frame = WaitForWindow(L"PikroBack", nullptr, pid, kWaitMs, true);
    HWND dialog = frame ? FindWindowExW(frame, nullptr, L"#32770", nullptr) : nullptr;
    if (!dialog) {
        ADD_FAILURE() << "the launcher showed no choice list";
        EndProgram(*launcher, kWaitMs, nullptr);
        *launcher = nullptr;
    }
    return dialog;
}

// The control that has the keyboard focus in another process's thread.
HWND FocusOf(HWND window) {
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

TEST_F(RoadTest, SolutionPathInEveryFormReachesTheMatchingEditor) {
    TempDir slnDir(kTempBlanks | kTempJapanese);
    std::wstring sln = slnDir.Sub(L"ソリューション 1\\App One.sln");
    ASSERT_TRUE(MakeFolders(slnDir.Sub(L"ソリューション 1\\.vs\\App One\\v17")));
    RunLauncher(QuoteArg(sln));
    ExpectEditorRun(vs2022_, 1, sln);
    RunLauncher(sln);
    ExpectEditorRun(vs2022_, 2, sln);
    RunLauncher(L"\"" + sln + L"\" /ignored \"more\"");
    ExpectEditorRun(vs2022_, 3, sln);
    EXPECT_EQ(Runs(vs2019_), 0u);

    std::wstring plain = dir_.Sub(L"Plain\\Plain.sln");
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"Plain\\.vs\\Plain\\v16")));
    RunLauncher(plain);
    ExpectEditorRun(vs2019_, 1, plain);
}

TEST_F(RoadTest, ShimWaitsForTheEditorAfterTheLauncherHasEnded) {
    ASSERT_TRUE(HoldFakeDevenv(vs2022_));
    std::wstring sln = dir_.Sub(L"App\\App.sln");
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"App\\.vs\\App\\v17")));
    RunLauncher(QuoteArg(sln));
    ExpectEditorRun(vs2022_, 1, sln);
    DWORD editorPid = ReadFakeDevenvLog(vs2022_)[0].pid;
    HANDLE editor = OpenProcess(SYNCHRONIZE, FALSE, editorPid);
    ASSERT_NE(editor, nullptr);
    std::wstring parentExe;
    DWORD shimPid = ParentOf(editorPid, &parentExe);
    ASSERT_NE(shimPid, 0u);
    EXPECT_EQ(_wcsicmp(parentExe.c_str(), L"PikroExec.exe"), 0) << parentExe;
    HANDLE shim = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shimPid);
    ASSERT_NE(shim, nullptr);
    EXPECT_EQ(WaitForSingleObject(shim, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    ASSERT_TRUE(SetFakeDevenvExitCode(vs2022_, 5));
    ASSERT_TRUE(ReleaseFakeDevenv(vs2022_));
    ASSERT_EQ(WaitForSingleObject(shim, kWaitMs), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(editor, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 1;
    ASSERT_TRUE(GetExitCodeProcess(shim, &code));
    EXPECT_EQ(code, 0u);
    CloseHandle(shim);
    CloseHandle(editor);
}

TEST_F(RoadTest, ChoiceListDrivenFromOutside) {
    std::wstring sln = dir_.Sub(L"No Vs\\App.sln");
    HANDLE launcher = nullptr;
    HWND dialog = OpenChoiceList(Launcher(), sln, dir_.Path(), &launcher);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    HWND list = GetDlgItem(dialog, IDC_LST_EDITORS);
    // The catalogue is sorted by description at load.
    std::vector<std::wstring> expected = {L"Visual Studio 2019", L"Visual Studio 2022"};
    EXPECT_EQ(ListBoxItems(list), expected);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    DWORD code = 1;
    ASSERT_TRUE(EndProgram(launcher, kWaitMs, &code));
    EXPECT_EQ(code, 0u);
    ExpectEditorRun(vs2022_, 1, sln);
    DWORD stored = 0;
    ASSERT_TRUE(GetStoreDword(kSectProfiles, kKeyLstSel, &stored));
    EXPECT_EQ(stored, 1u);

    // Next time row 1 is preselected, and Enter in the focused control
    // starts it.
    dialog = OpenChoiceList(Launcher(), sln, dir_.Path(), &launcher);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LST_EDITORS, LB_GETCURSEL, 0, 0), 1);
    HWND focus = FocusOf(dialog);
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(focus == dialog || IsChild(dialog, focus));
    PostMessageW(focus, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(EndProgram(launcher, kWaitMs, &code));
    EXPECT_EQ(code, 0u);
    ExpectEditorRun(vs2022_, 2, sln);
    EXPECT_EQ(Runs(vs2019_), 0u);
}

TEST_F(RoadTest, EscapeAndCancelEndWithoutStarting) {
    std::wstring sln = dir_.Sub(L"No Vs\\App.sln");
    for (int way = 0; way < 2; ++way) {
        HANDLE launcher = nullptr;
        HWND dialog = OpenChoiceList(Launcher(), sln, dir_.Path(), &launcher);
        ASSERT_NE(dialog, nullptr);
        SendDlgItemMessageW(dialog, IDC_LST_EDITORS, LB_SETCURSEL, 1, 0);
        if (way == 0) {
            HWND focus = FocusOf(dialog);
            ASSERT_NE(focus, nullptr);
            PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0);
        } else {
            ASSERT_TRUE(ClickButton(dialog, IDCANCEL));
        }
        DWORD code = 1;
        ASSERT_TRUE(EndProgram(launcher, kWaitMs, &code)) << way;
        EXPECT_EQ(code, 0u);
    }
    PumpMessages(300);
    EXPECT_EQ(Runs(vs2019_) + Runs(vs2022_), 0u);
    EXPECT_FALSE(StoreValueExists(kSectProfiles, kKeyLstSel));
}

TEST_F(RoadTest, FixedIndexPastTheCatalogueEndsQuietly) {
    std::wstring sln = dir_.Sub(L"App\\App.sln");
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyNoVsProc, 1));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyNoVsFix, 2));
    RunLauncher(QuoteArg(sln));
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"App\\.vs")));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyVsProc, 1));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyVsFix, 2));
    RunLauncher(QuoteArg(sln));
    // In range, the fixed editors start.
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyVsFix, 1));
    RunLauncher(QuoteArg(sln));
    ExpectEditorRun(vs2022_, 1, sln);
    EXPECT_EQ(Runs(vs2019_), 0u);
}

TEST_F(RoadTest, UnknownRuleValueShowsTheList) {
    std::wstring sln = dir_.Sub(L"App\\App.sln");
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyNoVsProc, 2));
    HANDLE launcher = nullptr;
    HWND dialog = OpenChoiceList(Launcher(), sln, dir_.Path(), &launcher);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(ClickButton(dialog, IDCANCEL));
    DWORD code = 1;
    ASSERT_TRUE(EndProgram(launcher, kWaitMs, &code));
    EXPECT_EQ(code, 0u);
}

// Lays out a solution whose version folders hold many files, so that
// launchers started together clean at the same time.
void LayOutBusySolution(const std::wstring& folder, const wchar_t* suo) {
    for (const wchar_t* version : {L"v16", L"v17"}) {
        for (int d = 0; d < 10; ++d) {
            std::wstring sub = folder + L"\\.vs\\App\\" + version + L"\\d" + std::to_wstring(d);
            for (int f = 0; f < 40; ++f) {
                ASSERT_TRUE(WriteFileUtf8(sub + L"\\f" + std::to_wstring(f) + L".dat", L"x"));
            }
        }
    }
    if (suo) {
        ASSERT_TRUE(WriteFileUtf8(folder + L"\\.vs\\App\\.suo", suo));
    }
}

TEST_F(RoadTest, LaunchersCleaningAtOnceKeepTheirOwnSuo) {
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyDelVsFolder, 1));
    const std::wstring folders[] = {dir_.Sub(L"A"), dir_.Sub(L"B"), dir_.Sub(L"C"),
                                    dir_.Sub(L"D")};
    const wchar_t* suos[] = {L"options of A", L"options of B", nullptr, nullptr};
    for (int i = 0; i < 4; ++i) LayOutBusySolution(folders[i], suos[i]);
    HANDLE launchers[4] = {};
    for (int i = 0; i < 4; ++i) {
        launchers[i] = StartProgram(Launcher(), QuoteArg(folders[i] + L"\\App.sln"), dir_.Path(),
                                    nullptr);
    }
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(launchers[i], nullptr);
        DWORD code = 1;
        EXPECT_TRUE(EndProgram(launchers[i], kWaitMs * 3, &code));
        EXPECT_EQ(code, 0u);
    }
    for (int i = 0; i < 4; ++i) {
        std::wstring perSln = folders[i] + L"\\.vs\\App";
        EXPECT_TRUE(ListFolder(perSln + L"\\v16").empty()) << i;
        EXPECT_TRUE(ListFolder(perSln + L"\\v17").empty()) << i;
        std::vector<std::wstring> expected = {L"v16", L"v17"};
        if (suos[i]) {
            expected.insert(expected.begin(), L".suo");
            EXPECT_EQ(ReadFileUtf8(perSln + L"\\.suo"), suos[i]) << i;
        }
        EXPECT_EQ(ListFolder(perSln), expected) << i;
    }
    ASSERT_TRUE(WaitForFakeDevenvLog(vs2022_, 4, kWaitMs));
}

TEST_F(RoadTest, CleaningLeavesWhatALinkPointsTo) {
    TempDir outside;
    ASSERT_TRUE(WriteFileUtf8(outside.Sub(L"shared\\keep.txt"), L"keep"));
    ASSERT_TRUE(WriteFileUtf8(outside.Sub(L"shared\\deep\\keep2.txt"), L"keep2"));
    ASSERT_TRUE(MakeFolders(outside.Sub(L"empty")));
    std::wstring perSln = dir_.Sub(L"App\\.vs\\App");
    ASSERT_TRUE(WriteFileUtf8(perSln + L"\\v17\\own.txt", L"own"));
    ASSERT_TRUE(WriteFileUtf8(perSln + L"\\v17\\own\\deeper.txt", L"own"));
    if (!MakeFolderLink(perSln + L"\\v17\\shared", outside.Sub(L"shared")))
        GTEST_SKIP() << "no folder links here";
    ASSERT_TRUE(MakeFolderLink(perSln + L"\\v17\\nothing", outside.Sub(L"empty")));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyDelVsFolder, 1));
    RunLauncher(QuoteArg(dir_.Sub(L"App\\App.sln")));
    ExpectEditorRun(vs2022_, 1, dir_.Sub(L"App\\App.sln"));
    EXPECT_FALSE(FileExists(perSln + L"\\v17\\own.txt"));
    EXPECT_FALSE(FolderExists(perSln + L"\\v17\\own"));
    EXPECT_EQ(ReadFileUtf8(outside.Sub(L"shared\\keep.txt")), L"keep");
    EXPECT_EQ(ReadFileUtf8(outside.Sub(L"shared\\deep\\keep2.txt")), L"keep2");
    EXPECT_TRUE(FolderExists(outside.Sub(L"empty")));
    // The version folder keeps its links and loses everything else.
    EXPECT_EQ(ListFolder(perSln + L"\\v17"), (std::vector<std::wstring>{L"nothing", L"shared"}));
    EXPECT_EQ(ReadFileUtf8(perSln + L"\\v17\\shared\\keep.txt"), L"keep");
}

TEST_F(RoadTest, MissingShimEndsTheLauncherAllTheSame) {
    ASSERT_TRUE(DeleteFileW((install_ + L"\\PikroExec\\PikroExec.exe").c_str()));
    // A shim of the same name in the launcher's working folder must not be
    // taken instead.
    ASSERT_TRUE(CopyFileW(ProgramPath(L"PikroExec\\PikroExec.exe").c_str(),
                          dir_.Sub(L"PikroExec.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(ProgramPath(L"PikroExec\\PikroExec.exe").c_str(),
                          (install_ + L"\\PikroExec.exe").c_str(), FALSE));
    std::wstring sln = dir_.Sub(L"App\\App.sln");
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"App\\.vs\\App\\v16")));
    RunLauncher(QuoteArg(sln));
    PumpMessages(500);
    EXPECT_EQ(Runs(vs2019_), 0u);
}

TEST(RoadTextsLang, ChoiceListSpeaksTheUserLanguage) {
    TempDir dir;
    ASSERT_TRUE(ResetStore());
    std::wstring ide = dir.Sub(L"IDE");
    ASSERT_NE(CreateFakeDevenv(ide, L"Visual Studio 2022", L"17.8.3"), L"");
    ASSERT_TRUE(PutStoreCatalogue({{L"Visual Studio 2022", L"17.8.3", ide}}));
    HANDLE launcher = nullptr;
    HWND dialog = OpenChoiceList(ProgramPath(L"Pikro.exe"), dir.Sub(L"App.sln"), dir.Path(),
                                 &launcher);
    ASSERT_NE(dialog, nullptr);
    const bool japanese = TestLangId() == 1041;
    EXPECT_EQ(ControlText(dialog, IDC_TXT_CHOOSE),
              japanese ? L"起動する Visual Studio を選択してください。" : L"Select Visual Studio to start.");
    EXPECT_EQ(ControlText(dialog, IDCANCEL), japanese ? L"キャンセル" : L"Cancel");
    EXPECT_EQ(ControlText(dialog, IDOK), L"OK");
    ASSERT_TRUE(ClickButton(dialog, IDCANCEL));
    DWORD code = 1;
    ASSERT_TRUE(EndProgram(launcher, kWaitMs, &code));
    EXPECT_EQ(code, 0u);
    ResetStore();
}

}  // namespace

namespace {

// After setup has associated .sln with the launcher beside it, the shell's
// "open" of a solution runs the whole road to the matching editor.
TEST(ShellRoad, OpeningASolutionReachesTheMatchingEditor) {
    SystemVisualStudios installs;
    ASSERT_TRUE(ResetStore());
    DeleteSlnAssociation();
    std::wstring vs2019 = JoinPath(SystemProgramFiles(false),
                                   L"Microsoft Visual Studio\\2019\\Community\\Common7\\IDE");
    std::wstring vs2022 = JoinPath(SystemProgramFiles(false),
                                   L"Microsoft Visual Studio 2022\\Common7\\IDE");
    ASSERT_NE(CreateFakeDevenv(vs2019, L"Visual Studio 2019", L"16.11.5"), L"");
    ASSERT_NE(CreateFakeDevenv(vs2022, L"Visual Studio 2022", L"17.8.3"), L"");

    TempDir base(kTempBlanks);
    std::wstring install = base.Sub(L"Pikro Suite");
    ASSERT_TRUE(MakeFolders(install + L"\\PikroExec"));
    for (const wchar_t* file : {L"PikroInstall.exe", L"Pikro.exe", L"PikroExec\\PikroExec.exe"}) {
        ASSERT_TRUE(CopyFileW(ProgramPath(file).c_str(), JoinPath(install, file).c_str(), FALSE));
    }
    // Setup takes the association over only from a file type it had before.
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.sln", nullptr,
                             L"VisualStudio.Launcher.sln"));
    DWORD code = 1;
    ASSERT_TRUE(RunProgram(JoinPath(install, L"PikroInstall.exe"), L"", L"", kWaitMs, &code));
    EXPECT_EQ(code, 0u);

    TempDir solutions(kTempBlanks);
    std::wstring sln = solutions.Sub(L"My App\\My App.sln");
    ASSERT_TRUE(WriteFileBytes(sln, "Microsoft Visual Studio Solution File\r\n"));
    ASSERT_TRUE(MakeFolders(solutions.Sub(L"My App\\.vs\\My App\\v16")));
    HANDLE opened = ShellOpen(sln);
    if (opened) {
        EXPECT_TRUE(EndProgram(opened, kWaitMs, &code));
        EXPECT_EQ(code, 0u);
    }
    EXPECT_TRUE(WaitForFakeDevenvLog(vs2019, 1, kWaitMs));
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(vs2019);
    if (runs.size() == 1) {
        EXPECT_EQ(runs[0].commandLine, L"\"" + vs2019 + L"\\devenv.exe\" \"" + sln + L"\"");
        EXPECT_EQ(runs[0].currentFolder, install + L"\\PikroExec");
    }
    EXPECT_TRUE(ReadFakeDevenvLog(vs2022).empty());
    DeleteSlnAssociation();
    ResetStore();
}

}  // namespace
