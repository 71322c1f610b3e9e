// The whole road of an opened solution, every step a separate process: the
// launcher from a copy of the installed layout, the launch shim in its
// sub-folder, and fake editors that record how they were started. The store
// is set up in the registry before the launcher starts.
#include <gtest/gtest.h>

#include "testutil.h"

#include <tlhelp32.h>

#include <map>
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

    // Visual Studio 2026 joins the catalogue, for solutions it opened last.
    void AddVs2026() {
        vs2026_ = dir_.Sub(L"Microsoft Visual Studio\\18\\Community\\Common7\\IDE");
        ASSERT_NE(CreateFakeDevenv(vs2026_, L"Visual Studio 2026", L"18.0.11123.170"), L"");
        ASSERT_TRUE(PutStoreCatalogue({{L"Visual Studio 2022", L"17.8.3", vs2022_},
                                       {L"Visual Studio 2026", L"18.0.11123.170", vs2026_},
                                       {L"Visual Studio 2019", L"16.11.5", vs2019_}}));
    }

    // Runs the launcher to its end (in cwd, by default the test's folder) and
    // checks that it ended with 0.
    void RunLauncher(const std::wstring& args, const std::wstring& cwd = L"") {
        DWORD code = 1;
        ASSERT_TRUE(RunProgram(Launcher(), args, cwd.empty() ? dir_.Path() : cwd, kWaitMs, &code))
            << args;
        EXPECT_EQ(code, 0u) << args;
    }

    // The one record an editor wrote, checked against what the launcher
    // must have handed over. The shim runs hidden; the editor must not.
    void ExpectEditorRun(const std::wstring& editor, size_t runs, const std::wstring& sln) {
        ASSERT_TRUE(WaitForFakeDevenvLog(editor, runs, kWaitMs));
        std::vector<DevenvRun> log = ReadFakeDevenvLog(editor);
        ASSERT_EQ(log.size(), runs);
        EXPECT_EQ(log.back().commandLine, L"\"" + editor + L"\\devenv.exe\" \"" + sln + L"\"");
        // The solution's folder, else (a solution that is not there) the
        // launcher's own current folder.
        const std::wstring folder = sln.substr(0, sln.rfind(L'\\'));
        EXPECT_EQ(log.back().currentFolder, FolderExists(folder) ? folder : dir_.Path());
        EXPECT_FALSE(StartedHidden(log.back()))
            << "flags " << log.back().startupFlags << " show " << log.back().showWindow;
    }
    size_t Runs(const std::wstring& editor) const { return ReadFakeDevenvLog(editor).size(); }

    TempDir dir_{kTempBlanks};
    std::wstring install_, vs2019_, vs2022_, vs2026_;
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

// Starts the launcher with a solution (after the switches, if any) and waits
// until it shows its choice list. Returns the choice dialog with the
// launcher's process in *launcher (end it with EndProgram), or 0 with a test
// failure added and the launcher already ended.
HWND OpenChoiceList(const std::wstring& launcherExe, const std::wstring& sln,
                    const std::wstring& cwd, HANDLE* launcher,
                    const std::wstring& switches = L"") {
    DWORD pid = 0;
    *launcher = StartProgram(launcherExe, switches + QuoteArg(sln), cwd, &pid);
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

// A path typed in a console is relative to the console's folder; the editor
// is started from the shim's folder, so it must get the path whole, and the
// decision must look at the .vs folder beside that path.
TEST_F(RoadTest, RelativePathFromAConsoleReachesTheEditorWhole) {
    AddVs2026();
    const std::wstring console = dir_.Sub(L"Work\\Console");
    ASSERT_TRUE(MakeFolders(console + L"\\.vs\\App.slnx\\v18"));
    ASSERT_TRUE(MakeFolders(console + L"\\.vs\\App\\v17"));
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"Work\\Other One\\.vs\\App\\v16")));
    const struct {
        std::wstring args, sln, editor;
    } cases[] = {
        {L"App.slnx", console + L"\\App.slnx", vs2026_},
        {L"App.sln", console + L"\\App.sln", vs2022_},
        {L"\"..\\Other One\\App.sln\"", dir_.Sub(L"Work\\Other One\\App.sln"), vs2019_},
        {L".\\sub\\..\\App.slnx", console + L"\\App.slnx", vs2026_},
    };
    std::map<std::wstring, size_t> runs;
    for (const auto& c : cases) {
        RunLauncher(c.args, console);
        ExpectEditorRun(c.editor, ++runs[c.editor], c.sln);
    }
}

// The launcher starts the shim hidden (a recording program in the shim's
// place shows it), and the shim keeps that to itself: the editor it creates
// is not asked to hide its main window.
TEST_F(RoadTest, ShimStartsHiddenAndTheEditorDoesNot) {
    std::wstring sln = dir_.Sub(L"App\\App.sln");
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"App\\.vs\\App\\v17")));
    const std::wstring shimFolder = install_ + L"\\PikroExec";
    const std::wstring shim = shimFolder + L"\\PikroExec.exe";
    ASSERT_NE(CreateFakeDevenv(shimFolder, L"", L"", L"PikroExec.exe", false), L"");
    RunLauncher(QuoteArg(sln));
    ASSERT_TRUE(WaitForFakeDevenvLog(shimFolder, 1, kWaitMs));
    std::vector<DevenvRun> shimRuns = ReadFakeDevenvLog(shimFolder);
    ASSERT_EQ(shimRuns.size(), 1u);
    EXPECT_TRUE(StartedHidden(shimRuns[0]))
        << "flags " << shimRuns[0].startupFlags << " show " << shimRuns[0].showWindow;
    // The stand-in must be gone before the real shim can take its place.
    HANDLE standIn = OpenProcess(SYNCHRONIZE, FALSE, shimRuns[0].pid);
    if (standIn) {
        EXPECT_EQ(WaitForSingleObject(standIn, kWaitMs), static_cast<DWORD>(WAIT_OBJECT_0));
        CloseHandle(standIn);
    }
    EXPECT_EQ(Runs(vs2022_), 0u);

    ASSERT_TRUE(CopyFileW(ProgramPath(L"PikroExec\\PikroExec.exe").c_str(), shim.c_str(), FALSE));
    RunLauncher(QuoteArg(sln));
    ExpectEditorRun(vs2022_, 1, sln);
    EXPECT_EQ(ReadFakeDevenvLog(shimFolder).size(), 1u);
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

// "Choose Visual Studio" on a solution's right-click menu: the list comes
// even where the version folder would decide, Cancel leaves everything as it
// was, and the row picked starts as from the list of a double-click, its
// version folders emptied as the settings say.
TEST_F(RoadTest, RightClickVerbShowsTheListWhereTheVersionFolderDecides) {
    const std::wstring sln = dir_.Sub(L"App\\App.sln");
    const std::wstring v17 = dir_.Sub(L"App\\.vs\\App\\v17");
    ASSERT_TRUE(WriteFileUtf8(v17 + L"\\Browse.VC.db", L"cache"));
    ASSERT_TRUE(WriteFileUtf8(v17 + L"\\.suo", L"options"));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyDelVsFolder, 1));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyLstSel, 1));
    const wchar_t* const switches[] = {L"/choose ", L"/CHOOSE "};
    for (int pick = 0; pick < 2; ++pick) {
        HANDLE launcher = nullptr;
        HWND dialog = OpenChoiceList(Launcher(), sln, dir_.Path(), &launcher, switches[pick]);
        ASSERT_NE(dialog, nullptr);
        HWND list = GetDlgItem(dialog, IDC_LST_EDITORS);
        EXPECT_EQ(ListBoxItems(list),
                  (std::vector<std::wstring>{L"Visual Studio 2019", L"Visual Studio 2022"}));
        EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        ASSERT_TRUE(ClickButton(dialog, pick ? IDOK : IDCANCEL));
        DWORD code = 1;
        ASSERT_TRUE(EndProgram(launcher, kWaitMs, &code));
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(FileExists(v17 + L"\\Browse.VC.db") != 0, pick == 0);
        EXPECT_EQ(ReadFileUtf8(v17 + L"\\.suo"), L"options");
    }
    ExpectEditorRun(vs2019_, 1, sln);
    DWORD stored = 9;
    ASSERT_TRUE(GetStoreDword(kSectProfiles, kKeyLstSel, &stored));
    EXPECT_EQ(stored, 0u);
    // A double-click still opens the solution in the version folder's editor.
    RunLauncher(QuoteArg(sln));
    ExpectEditorRun(vs2022_, 1, sln);
    EXPECT_EQ(Runs(vs2019_), 1u);
}

// Every start pays for each library the launcher loads: the shell's and
// COM's are large and pull in more, and none of them is needed to decide,
// show the list or start the shim. Wine's own window code loads ole32 and
// combase into any program that creates the dialog (bench/floor_start.cpp
// does too), so only the libraries Wine leaves alone can be checked here.
TEST_F(RoadTest, LauncherLoadsNoShellOrComLibraryOnItsWay) {
    HANDLE launcher = nullptr;
    HWND dialog = OpenChoiceList(Launcher(), dir_.Sub(L"No Vs\\App.sln"), dir_.Path(), &launcher);
    ASSERT_NE(dialog, nullptr);
    DWORD pid = 0;
    GetWindowThreadProcessId(dialog, &pid);
    std::vector<std::wstring> loaded;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    MODULEENTRY32W module;
    module.dwSize = sizeof(module);
    for (BOOL more = Module32FirstW(snapshot, &module); more;
         more = Module32NextW(snapshot, &module))
        loaded.push_back(module.szModule);
    CloseHandle(snapshot);
    EXPECT_GT(loaded.size(), 3u);
    for (const std::wstring& name : loaded) {
        for (const wchar_t* heavy : {L"shell32.dll", L"oleaut32.dll", L"xmllite.dll"})
            EXPECT_NE(_wcsicmp(name.c_str(), heavy), 0) << ToUtf8(name);
    }
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    ASSERT_TRUE(EndProgram(launcher, kWaitMs, nullptr));
    ExpectEditorRun(vs2019_, 1, dir_.Sub(L"No Vs\\App.sln"));
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
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyNoVsProc, 3));
    HANDLE launcher = nullptr;
    HWND dialog = OpenChoiceList(Launcher(), sln, dir_.Path(), &launcher);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(ClickButton(dialog, IDCANCEL));
    DWORD code = 1;
    ASSERT_TRUE(EndProgram(launcher, kWaitMs, &code));
    EXPECT_EQ(code, 0u);
}

// A fresh clone has no .vs folder; with NoVsProc 2 the solution file's
// version line picks the editor, whichever comes first in the catalogue.
TEST_F(RoadTest, FreshCloneOpensInTheEditorOfItsVersionLine) {
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyNoVsProc, 2));
    std::wstring sln2022 = dir_.Sub(L"Clone 22\\App.sln");
    ASSERT_TRUE(WriteFileBytes(sln2022,
                               "\xEF\xBB\xBF\r\nMicrosoft Visual Studio Solution File, Format "
                               "Version 12.00\r\n# Visual Studio Version 17\r\n"
                               "VisualStudioVersion = 17.8.34330.188\r\n"
                               "MinimumVisualStudioVersion = 10.0.40219.1\r\nGlobal\r\nEndGlobal\r\n"));
    std::wstring sln2019 = dir_.Sub(L"Clone 19\\App.sln");
    ASSERT_TRUE(WriteFileBytes(sln2019,
                               "\r\nMicrosoft Visual Studio Solution File, Format Version 12.00\n"
                               "# Visual Studio Version 16\nVisualStudioVersion = 16.0.30114.105\n"));
    RunLauncher(QuoteArg(sln2022));
    ExpectEditorRun(vs2022_, 1, sln2022);
    RunLauncher(QuoteArg(sln2019));
    ExpectEditorRun(vs2019_, 1, sln2019);
    EXPECT_EQ(Runs(vs2022_), 1u);
    EXPECT_FALSE(FileExists(dir_.Sub(L"Clone 22\\.vs")));
}

// Two editors of one version, the lower first in the catalogue: the higher
// starts, by the version folder and by the version line alike.
TEST_F(RoadTest, HigherOfTwoEditorsOfOneVersionStarts) {
    const std::wstring vsPro = dir_.Sub(L"Microsoft Visual Studio\\2022\\Professional\\Common7\\IDE");
    ASSERT_NE(CreateFakeDevenv(vsPro, L"Visual Studio 2022", L"17.14.36310.24"), L"");
    ASSERT_TRUE(PutStoreCatalogue({{L"Visual Studio 2022", L"17.8.3", vs2022_},
                                   {L"Visual Studio 2022", L"17.14.36310.24", vsPro}}));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyNoVsProc, 2));
    const std::wstring byFolder = dir_.Sub(L"Folder\\App.sln");
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"Folder\\.vs\\App\\v17")));
    const std::wstring byLine = dir_.Sub(L"Clone\\App.sln");
    ASSERT_TRUE(WriteFileBytes(byLine, "\r\nMicrosoft Visual Studio Solution File, Format Version "
                                       "12.00\r\nVisualStudioVersion = 17.8.34330.188\r\n"));
    RunLauncher(QuoteArg(byFolder));
    ExpectEditorRun(vsPro, 1, byFolder);
    RunLauncher(QuoteArg(byLine));
    ExpectEditorRun(vsPro, 2, byLine);
    EXPECT_EQ(Runs(vs2022_), 0u);
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

// --- cleaning reaches nothing but the solution's own caches -----------------

// Opens the launcher on a solution, expects the choice list and cancels it.
void ExpectListAndCancel(const std::wstring& launcherExe, const std::wstring& sln,
                         const std::wstring& cwd) {
    HANDLE launcher = nullptr;
    HWND dialog = OpenChoiceList(launcherExe, sln, cwd, &launcher);
    ASSERT_NE(dialog, nullptr) << sln;
    ClickButton(dialog, IDCANCEL);
    DWORD code = 1;
    EXPECT_TRUE(EndProgram(launcher, kWaitMs, &code)) << sln;
    EXPECT_EQ(code, 0u) << sln;
}

const wchar_t* const kStateFiles[] = {L".suo", L".wsuo", L"DocumentLayout.backup.json",
                                      L"DocumentLayout.json"};

// The user's state in a version folder, with content of its own per folder.
void WriteStateFiles(const std::wstring& folder) {
    for (const wchar_t* name : kStateFiles) {
        ASSERT_TRUE(WriteFileBytes(folder + L"\\" + name,
                                   std::string("state\0of ", 9) + ToUtf8(folder + name)));
    }
}

void ExpectOnlyStateFiles(const std::wstring& folder) {
    std::vector<std::wstring> expected(std::begin(kStateFiles), std::end(kStateFiles));
    EXPECT_EQ(ListFolder(folder), expected) << folder;
    for (const wchar_t* name : kStateFiles) {
        std::string bytes;
        EXPECT_TRUE(ReadFileBytes(folder + L"\\" + name, &bytes)) << name;
        EXPECT_EQ(bytes, std::string("state\0of ", 9) + ToUtf8(folder + name)) << name;
    }
}

// Caches as Visual Studio leaves them: a big browse database with its
// journal files, the open-database marker, the solution's file-tree cache
// and a nested precompiled-header tree, files files files.
void WriteCaches(const std::wstring& folder, int files) {
    ASSERT_TRUE(WriteFileBytes(folder + L"\\Browse.VC.db", std::string(2 * 1024 * 1024, 'D')));
    for (const wchar_t* name : {L"Browse.VC.db-shm", L"Browse.VC.db-wal", L"App.VC.opendb",
                                L".futdcache.v2"})
        ASSERT_TRUE(WriteFileUtf8(folder + L"\\" + name, L"cache"));
    ASSERT_TRUE(WriteFileUtf8(folder + L"\\ipch\\AutoPCH\\DocumentLayout.json", L"not state"));
    for (int i = 0; i < files; ++i) {
        ASSERT_TRUE(WriteFileUtf8(folder + L"\\ipch\\AutoPCH\\d" + std::to_wstring(i % 20) + L"\\f" +
                                      std::to_wstring(i) + L".ipch",
                                  L"pch"));
    }
}

TEST_F(RoadTest, StrayNamesNeverReachBeyondThePerSolutionFolder) {
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyDelVsFolder, 1));
    const std::wstring downloads = dir_.Sub(L"Downloads");
    // What the base names "..", ".", "App." and "App " would reach once
    // Windows has read them: Downloads itself, the .vs folder, .vs\App.
    const std::wstring victims[] = {downloads + L"\\Videos\\clip.txt",
                                    downloads + L"\\vendor\\lib.txt",
                                    downloads + L"\\.vs\\v17\\cache.txt",
                                    downloads + L"\\.vs\\App\\v17\\cache.txt"};
    for (const std::wstring& file : victims) ASSERT_TRUE(WriteFileUtf8(file, L"mine"));
    for (const wchar_t* name : {L"...sln", L"..sln", L"App..sln", L"App .sln", L"...slnx",
                                L"..slnx", L"App..slnx", L"App .slnx"}) {
        ExpectListAndCancel(Launcher(), downloads + L"\\" + name, dir_.Path());
    }
    for (const std::wstring& file : victims) EXPECT_EQ(ReadFileUtf8(file), L"mine") << file;
    EXPECT_EQ(Runs(vs2022_), 0u);
}

TEST_F(RoadTest, LinkedVsOrPerSolutionFolderIsNeverSearched) {
    TempDir outside;
    ASSERT_TRUE(WriteFileUtf8(outside.Sub(L"vs\\App\\v17\\cache.txt"), L"theirs"));
    ASSERT_TRUE(WriteFileUtf8(outside.Sub(L"app\\v17\\cache.txt"), L"theirs"));
    ASSERT_TRUE(WriteFileUtf8(outside.Sub(L"vs\\App.slnx\\v17\\cache.txt"), L"theirs"));
    ASSERT_TRUE(WriteFileUtf8(outside.Sub(L"appx\\v17\\cache.txt"), L"theirs"));
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"One")));
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"Two\\.vs")));
    if (!MakeFolderLink(dir_.Sub(L"One\\.vs"), outside.Sub(L"vs")))
        GTEST_SKIP() << "no folder links here";
    ASSERT_TRUE(MakeFolderLink(dir_.Sub(L"Two\\.vs\\App"), outside.Sub(L"app")));
    ASSERT_TRUE(MakeFolderLink(dir_.Sub(L"Two\\.vs\\App.slnx"), outside.Sub(L"appx")));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyDelVsFolder, 1));
    // Even without cleaning a linked folder decides nothing: v17 would
    // otherwise start the 2022 editor.
    for (const wchar_t* sln : {L"One\\App.sln", L"Two\\App.sln", L"One\\App.slnx", L"Two\\App.slnx"})
        ExpectListAndCancel(Launcher(), dir_.Sub(sln), dir_.Path());
    for (const wchar_t* cache : {L"vs\\App\\v17\\cache.txt", L"app\\v17\\cache.txt",
                                 L"vs\\App.slnx\\v17\\cache.txt", L"appx\\v17\\cache.txt"})
        EXPECT_EQ(ReadFileUtf8(outside.Sub(cache)), L"theirs") << cache;
    EXPECT_EQ(Runs(vs2022_), 0u);
}

// An .sln and an .slnx side by side, each with its own folder in .vs: each
// opening cleans its own version folders only.
TEST_F(RoadTest, CleaningKeepsTheUserStateOfEveryVersionFolder) {
    AddVs2026();
    const struct {
        const wchar_t* solution;
        const wchar_t* folder;
        std::vector<std::wstring> versions;
        std::wstring editor;
    } cases[] = {
        {L"App.sln", L"App", {L"v16", L"v17"}, vs2022_},
        {L"App.slnx", L"App.slnx", {L"v17", L"v18"}, vs2026_},
    };
    for (const auto& c : cases) {
        const std::wstring perSln = dir_.Sub(std::wstring(L"App\\.vs\\") + c.folder);
        for (const std::wstring& version : c.versions) {
            WriteStateFiles(perSln + L"\\" + version);
            WriteCaches(perSln + L"\\" + version, 40);
        }
        ASSERT_TRUE(WriteFileUtf8(perSln + L"\\.suo", L"solution options"));
    }
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyDelVsFolder, 1));
    for (size_t i = 0; i < 2; ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(ToUtf8(c.solution));
        const std::wstring sln = dir_.Sub(std::wstring(L"App\\") + c.solution);
        const std::wstring perSln = dir_.Sub(std::wstring(L"App\\.vs\\") + c.folder);
        RunLauncher(QuoteArg(sln));
        ExpectEditorRun(c.editor, 1, sln);
        for (const std::wstring& version : c.versions) ExpectOnlyStateFiles(perSln + L"\\" + version);
        EXPECT_EQ(ReadFileUtf8(perSln + L"\\.suo"), L"solution options");
        std::vector<std::wstring> expected = {L".suo"};
        expected.insert(expected.end(), c.versions.begin(), c.versions.end());
        EXPECT_EQ(ListFolder(perSln), expected);
        // The other solution's folder is not touched yet.
        if (i == 0) {
            EXPECT_TRUE(FileExists(dir_.Sub(L"App\\.vs\\App.slnx\\v18\\Browse.VC.db")));
        }
    }
}

// 1 when a name is one the launcher gives the folder it moves caches to.
bool IsMovedAsideName(const std::wstring& name) {
    return name.rfind(L"~PikroTrash.", 0) == 0 &&
           name.find_first_not_of(L"0123456789.", 12) == std::wstring::npos;
}

// Moved-aside folders in a per-solution folder.
std::vector<std::wstring> MovedAsideFolders(const std::wstring& perSln) {
    std::vector<std::wstring> found;
    for (const std::wstring& name : ListFolder(perSln)) {
        if (IsMovedAsideName(name)) found.push_back(name);
    }
    return found;
}

// A file held open the way an editor or indexer holds one: shared for
// reading and writing, not for deleting or renaming.
HANDLE HoldFile(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

// One cleaning road: a solution laid out, the launcher run on it with
// cleaning on (once more after held files are let go), and what must be
// left once the launcher has ended.
struct CleaningCase {
    const char* name;
    // The editor the decision starts: "v17" picks 2022, "v16" 2019.
    bool starts2022;
    void (*layOut)(const std::wstring& perSln, std::vector<HANDLE>* held);
    // What must hold after the first run, while held files are still open.
    void (*whileHeld)(const std::wstring& perSln);
    std::vector<std::wstring> versionFolders;  // each left with the state files only
    std::vector<std::wstring> perSlnAfter;     // the per-solution folder at the end
};

void LayOutStateAndCaches(const std::wstring& perSln, std::vector<HANDLE>*) {
    for (const wchar_t* version : {L"v16", L"v17"}) {
        WriteStateFiles(perSln + L"\\" + version);
        WriteCaches(perSln + L"\\" + version, 40);
    }
    ASSERT_TRUE(WriteFileUtf8(perSln + L"\\.suo", L"solution options"));
}

// What a launcher killed before its deletion leaves, beside names that only
// look alike and belong to the user.
void LayOutLeftBehind(const std::wstring& perSln, std::vector<HANDLE>*) {
    WriteStateFiles(perSln + L"\\v16");
    WriteCaches(perSln + L"\\v16", 40);
    WriteCaches(perSln + L"\\~PikroTrash.4000000000.0\\7", 40);
    ASSERT_TRUE(WriteFileUtf8(perSln + L"\\~PikroTrash.4000000000.1\\vendor\\x.txt", L"x"));
    ASSERT_TRUE(WriteFileUtf8(perSln + L"\\~PikroTrash.mine\\keep.txt", L"mine"));
    ASSERT_TRUE(WriteFileUtf8(perSln + L"\\~PikroTrash.1.1", L"a file of mine"));
}

// Files open elsewhere: one right in the version folder, one further down.
void LayOutHeldFiles(const std::wstring& perSln, std::vector<HANDLE>* held) {
    const std::wstring v17 = perSln + L"\\v17";
    WriteStateFiles(v17);
    WriteCaches(v17, 40);
    ASSERT_TRUE(WriteFileUtf8(v17 + L"\\held.log", L"held"));
    ASSERT_TRUE(WriteFileUtf8(v17 + L"\\ipch\\AutoPCH\\held.ipch", L"held deep"));
    for (const wchar_t* file : {L"\\held.log", L"\\ipch\\AutoPCH\\held.ipch"}) {
        HANDLE h = HoldFile(v17 + file);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        held->push_back(h);
    }
}

void HeldFilesStay(const std::wstring& perSln) {
    // The file that cannot move stays where it is; everything else goes.
    EXPECT_EQ(ReadFileUtf8(perSln + L"\\v17\\held.log"), L"held");
    std::vector<std::wstring> expected(std::begin(kStateFiles), std::end(kStateFiles));
    expected.push_back(L"held.log");
    std::vector<std::wstring> left = ListFolder(perSln + L"\\v17");
    // The one further down stays too: where its folder could not move, with
    // its folder; where it could (Wine renames a folder whatever is open in
    // it), in the moved-aside folder, for the next launcher to delete.
    if (!left.empty() && left.back() == L"ipch") {
        EXPECT_TRUE(FileExists(perSln + L"\\v17\\ipch\\AutoPCH\\held.ipch"));
        left.pop_back();
    } else {
        EXPECT_EQ(MovedAsideFolders(perSln).size(), 1u);
    }
    EXPECT_EQ(left, expected);
}

// The cases run one after the other, each on a solution of its own.
TEST_F(RoadTest, CleaningCasesLeaveTheUserStateAndNothingElse) {
    const CleaningCase cases[] = {
        {"caches of two versions", true, LayOutStateAndCaches, nullptr, {L"v16", L"v17"},
         {L".suo", L"v16", L"v17"}},
        {"left behind by a killed launcher", false, LayOutLeftBehind, nullptr, {L"v16"},
         {L"v16", L"~PikroTrash.1.1", L"~PikroTrash.mine"}},
        {"files held open", true, LayOutHeldFiles, HeldFilesStay, {L"v17"}, {L"v17"}},
    };
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyDelVsFolder, 1));
    size_t runs2019 = 0, runs2022 = 0;
    for (const CleaningCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring folder = dir_.Sub(FromUtf8(c.name));
        const std::wstring sln = folder + L"\\App.sln";
        const std::wstring perSln = folder + L"\\.vs\\App";
        std::vector<HANDLE> held;
        c.layOut(perSln, &held);
        RunLauncher(QuoteArg(sln));
        ExpectEditorRun(c.starts2022 ? vs2022_ : vs2019_, c.starts2022 ? ++runs2022 : ++runs2019,
                        sln);
        if (c.whileHeld) c.whileHeld(perSln);
        if (!held.empty()) {
            for (HANDLE h : held) CloseHandle(h);
            RunLauncher(QuoteArg(sln));
            ExpectEditorRun(c.starts2022 ? vs2022_ : vs2019_,
                            c.starts2022 ? ++runs2022 : ++runs2019, sln);
        }
        for (const std::wstring& version : c.versionFolders)
            ExpectOnlyStateFiles(perSln + L"\\" + version);
        EXPECT_EQ(ListFolder(perSln), c.perSlnAfter);
    }
    EXPECT_EQ(ReadFileUtf8(dir_.Sub(L"caches of two versions\\.vs\\App\\.suo")),
              L"solution options");
    EXPECT_EQ(ReadFileUtf8(dir_.Sub(
                  L"left behind by a killed launcher\\.vs\\App\\~PikroTrash.mine\\keep.txt")),
              L"mine");
}

TEST_F(RoadTest, LaunchersKilledWhileDeletingOrRacingLoseNoState) {
    const std::wstring sln = dir_.Sub(L"App\\App.sln");
    const std::wstring perSln = dir_.Sub(L"App\\.vs\\App");
    const std::wstring v17 = perSln + L"\\v17";
    WriteStateFiles(v17);
    WriteCaches(v17, 3000);
    ASSERT_TRUE(WriteFileUtf8(perSln + L"\\.suo", L"solution options"));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyDelVsFolder, 1));

    // Killed while it deletes what it moved aside: the editor has started,
    // the moved-aside folder is still there.
    HANDLE launcher = StartProgram(Launcher(), QuoteArg(sln), dir_.Path(), nullptr);
    ASSERT_NE(launcher, nullptr);
    ASSERT_TRUE(WaitForFakeDevenvLog(vs2022_, 1, kWaitMs));
    Sleep(50);
    TerminateProcess(launcher, 9);
    EndProgram(launcher, kWaitMs, nullptr);
    const bool killedMidway = MovedAsideFolders(perSln).size() == 1;
    ExpectOnlyStateFiles(v17);
    EXPECT_EQ(ReadFileUtf8(perSln + L"\\.suo"), L"solution options");

    // Two more at once: one takes up what the killed one left, each moves
    // and deletes its own, neither touches the other's.
    WriteCaches(v17, 200);
    HANDLE racing[2] = {StartProgram(Launcher(), QuoteArg(sln), dir_.Path(), nullptr),
                        StartProgram(Launcher(), QuoteArg(sln), dir_.Path(), nullptr)};
    for (HANDLE process : racing) {
        ASSERT_NE(process, nullptr);
        DWORD code = 1;
        EXPECT_TRUE(EndProgram(process, kWaitMs * 3, &code));
        EXPECT_EQ(code, 0u);
    }
    ASSERT_TRUE(WaitForFakeDevenvLog(vs2022_, 3, kWaitMs));
    ExpectOnlyStateFiles(v17);
    EXPECT_EQ(ReadFileUtf8(perSln + L"\\.suo"), L"solution options");
    EXPECT_EQ(ListFolder(perSln), (std::vector<std::wstring>{L".suo", L"v17"}));
    if (!killedMidway) GTEST_SKIP() << "the first launcher finished its deletion before the kill";
}

// Runs perl's script with arguments; Wine starts Unix programs but cannot
// wait for them, so the script marks its start and its end with files.
int StartPerl(const std::string& script, const std::vector<std::wstring>& args) {
    std::vector<std::wstring> all = {L"-e", FromUtf8(script)};
    all.insert(all.end(), args.begin(), args.end());
    return RunUnixProgram(L"/usr/bin/perl", all, nullptr, 0);
}

// Swaps every real folder it finds in the folders it is given for a link to
// one of the folders outside, moving the folder itself away, again and again
// until told to stop; then writes how many it swapped.
const char kSwapper[] = R"(
my ($stop, $started, $done, $stash, $outside, $version, $perSln) = @ARGV;
my $n = 0;
open(my $s, '>', $started); close($s);
until (-e $stop) {
    my @dirs = ($version);
    if (opendir(my $h, $perSln)) {
        push @dirs, map { "$perSln/$_" } grep { /^~PikroTrash\./ } readdir($h);
        closedir($h);
    }
    for my $w (@dirs) {
        opendir(my $h, $w) or next;
        my @names = reverse sort grep { !/^\.\.?$/ && !/^~PikroTrash\./ } readdir($h);
        closedir($h);
        for my $name (@names) {
            my $d = "$w/$name";
            next if -l $d || !-d $d;
            if (rename($d, "$stash/$n")) {
                symlink("$outside/o" . ($n % 10), $d);
                ++$n;
            }
        }
    }
    select(undef, undef, undef, 0.002);
}
open(my $f, '>', $done); print $f $n; close($f);
)";

// The fault this guards against: a walk that takes a folder's attributes
// from a listing and then goes into it by its path empties whatever a link
// swapped in meanwhile points to. While the launcher moves 3,000 folders
// aside and deletes them, a second process keeps swapping folders of the
// version folder and of the moved-aside folder for links to folders outside.
TEST_F(RoadTest, FoldersSwappedForLinksWhileCleaningLeaveEverythingOutside) {
    const std::wstring sln = dir_.Sub(L"App\\App.sln");
    const std::wstring perSln = dir_.Sub(L"App\\.vs\\App");
    const std::wstring v17 = perSln + L"\\v17";
    TempDir outside;
    for (int i = 0; i < 10; ++i) {
        const std::wstring o = outside.Sub(L"o" + std::to_wstring(i));
        ASSERT_TRUE(WriteFileUtf8(o + L"\\keep.txt", L"keep"));
        ASSERT_TRUE(WriteFileUtf8(o + L"\\deep\\keep.txt", L"keep deep"));
    }
    WriteStateFiles(v17);
    // 3,000 folders of one file each, laid out from the Unix side at once.
    const std::wstring unixV17 = UnixPath(v17);
    ASSERT_FALSE(unixV17.empty());
    ASSERT_TRUE(StartPerl("my ($v, $done) = @ARGV; for my $i (0..2999) { "
                          "my $d = sprintf('%s/d%04d', $v, $i); mkdir($d); "
                          "open(my $f, '>', \"$d/f.txt\"); print $f 'cache'; close($f); } "
                          "open(my $f, '>', $done); close($f);",
                          {unixV17, UnixPath(dir_.Sub(L"laid"))}));
    ASSERT_TRUE(PumpUntil([&] { return FileExists(dir_.Sub(L"laid")) != 0; }, kWaitMs));
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"stash")));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyDelVsFolder, 1));

    HANDLE launcher = StartProgram(Launcher(), QuoteArg(sln), dir_.Path(), nullptr);
    ASSERT_NE(launcher, nullptr);
    ASSERT_TRUE(StartPerl(kSwapper, {UnixPath(dir_.Sub(L"stop")), UnixPath(dir_.Sub(L"started")),
                                     UnixPath(dir_.Sub(L"done")), UnixPath(dir_.Sub(L"stash")),
                                     UnixPath(outside.Path()), unixV17, UnixPath(perSln)}));
    DWORD code = 1;
    EXPECT_TRUE(EndProgram(launcher, kWaitMs * 3, &code));
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(WriteFileUtf8(dir_.Sub(L"stop"), L"stop"));
    ASSERT_TRUE(PumpUntil([&] { return FileExists(dir_.Sub(L"done")) != 0; }, kWaitMs));
    ExpectEditorRun(vs2022_, 1, sln);
    EXPECT_TRUE(FileExists(dir_.Sub(L"started")));
    const std::wstring swaps = ReadFileUtf8(dir_.Sub(L"done"));
    EXPECT_NE(swaps, L"0") << "the race never ran";
    for (int i = 0; i < 10; ++i) {
        const std::wstring o = outside.Sub(L"o" + std::to_wstring(i));
        EXPECT_EQ(ReadFileUtf8(o + L"\\keep.txt"), L"keep") << i;
        EXPECT_EQ(ReadFileUtf8(o + L"\\deep\\keep.txt"), L"keep deep") << i;
        EXPECT_EQ(ListFolder(o), (std::vector<std::wstring>{L"deep", L"keep.txt"})) << i;
    }
    // The user's state stays in the version folder whatever was swapped.
    for (const wchar_t* name : kStateFiles) EXPECT_TRUE(FileExists(v17 + L"\\" + name)) << name;
    RecordProperty("swaps", ToUtf8(swaps));
}

void SetWriteTime(const std::wstring& path, int minutesAgo) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= static_cast<ULONGLONG>(minutesAgo) * 60 * 10000000;
    FILETIME when = {t.LowPart, t.HighPart};
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &when));
    CloseHandle(file);
}

// Earlier launchers parked the per-solution .suo file while they cleaned; one
// killed then left it parked. The next clean puts it back, the newer file
// wins, and nothing parked is left.
TEST_F(RoadTest, ParkedSuoOfAKilledLauncherGoesBack) {
    const std::wstring sln = dir_.Sub(L"App\\App.sln");
    const std::wstring perSln = dir_.Sub(L"App\\.vs\\App");
    ASSERT_TRUE(MakeFolders(perSln + L"\\v17"));
    ASSERT_TRUE(WriteFileUtf8(perSln + L"\\.suo.4242.0.tmp", L"parked"));
    ASSERT_TRUE(WriteFileUtf8(perSln + L"\\.suo.x.tmp", L"not ours"));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyDelVsFolder, 1));
    RunLauncher(QuoteArg(sln));
    EXPECT_EQ(ReadFileUtf8(perSln + L"\\.suo"), L"parked");

    // A .suo file newer than the parked one stays; an older one is replaced.
    ASSERT_TRUE(WriteFileUtf8(perSln + L"\\.suo.4242.1.tmp", L"parked older"));
    SetWriteTime(perSln + L"\\.suo.4242.1.tmp", 60);
    ASSERT_TRUE(WriteFileUtf8(perSln + L"\\.suo.4243.0.tmp", L"parked newest"));
    SetWriteTime(perSln + L"\\.suo", 30);
    RunLauncher(QuoteArg(sln));
    EXPECT_EQ(ReadFileUtf8(perSln + L"\\.suo"), L"parked newest");
    EXPECT_EQ(ListFolder(perSln), (std::vector<std::wstring>{L".suo", L".suo.x.tmp", L"v17"}));
    ExpectEditorRun(vs2022_, 2, sln);
}

// --- no stored value stalls the launcher --------------------------------------

TEST_F(RoadTest, CountAtTheTopOfItsRangeStillOpensAtOnce) {
    const std::wstring sln = dir_.Sub(L"App\\App.sln");
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"App\\.vs\\App\\v17")));
    // Without a limit of its own, counting up to "Count" would take hours:
    // the launcher's time limit here is what fails.
    ASSERT_TRUE(PutStoreDword(kSectVsInst, kKeyCount, 0xFFFFFFFF));
    RunLauncher(QuoteArg(sln));
    ExpectEditorRun(vs2022_, 1, sln);
    ASSERT_TRUE(PutStoreString(kSectVsInst, kKeyCount, L"4294967295"));
    RunLauncher(QuoteArg(sln));
    ExpectEditorRun(vs2022_, 2, sln);
}

TEST_F(RoadTest, LaunchersPruningAtOnceKeepEveryLiveEditorOnce) {
    const std::wstring vs2017 = dir_.Sub(L"Microsoft Visual Studio\\2017\\Community\\Common7\\IDE");
    ASSERT_NE(CreateFakeDevenv(vs2017, L"Visual Studio 2017", L"15.9.4"), L"");
    ASSERT_TRUE(PutStoreCatalogue({{L"Gone 1", L"1.0", dir_.Sub(L"gone1")},
                                   {L"Visual Studio 2022", L"17.8.3", vs2022_},
                                   {L"Gone 2", L"2.0", dir_.Sub(L"gone2")},
                                   {L"Visual Studio 2017", L"15.9.4", vs2017},
                                   {L"Gone 3", L"3.0", dir_.Sub(L"gone3")},
                                   {L"Visual Studio 2019", L"16.11.5", vs2019_}}));
    const std::wstring sln = dir_.Sub(L"App\\App.sln");
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"App\\.vs\\App\\v17")));
    HANDLE launchers[4] = {};
    for (HANDLE& launcher : launchers) {
        launcher = StartProgram(Launcher(), QuoteArg(sln), dir_.Path(), nullptr);
    }
    for (HANDLE launcher : launchers) {
        ASSERT_NE(launcher, nullptr);
        EXPECT_TRUE(EndProgram(launcher, kWaitMs, nullptr));
    }
    ASSERT_TRUE(WaitForFakeDevenvLog(vs2022_, 4, kWaitMs));
    DWORD count = 0;
    ASSERT_TRUE(GetStoreDword(kSectVsInst, kKeyCount, &count));
    EXPECT_EQ(count, 3u);
    std::vector<std::wstring> folders;
    for (DWORD i = 0; i < count; ++i) {
        std::wstring line;
        EXPECT_TRUE(GetStoreString(kSectVsInst, (L"VS0" + std::to_wstring(i)).c_str(), &line));
        folders.push_back(line.substr(line.rfind(L';') + 1));
    }
    EXPECT_EQ(folders, (std::vector<std::wstring>{vs2022_, vs2017, vs2019_}));
    EXPECT_EQ(StoreValueNames(kSectVsInst).size(), 4u);  // Count and the three
}

// --- the launcher's own windows and command line --------------------------------

TEST_F(RoadTest, ChoiceListComesToTheFront) {
    HWND mine = CreateWindowExW(0, L"STATIC", L"in front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                10, 300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(mine, nullptr);
    SetForegroundWindow(mine);
    PumpMessages(100);
    if (GetForegroundWindow() != mine) {
        DestroyWindow(mine);
        GTEST_SKIP() << "no foreground window here";
    }
    HANDLE launcher = nullptr;
    HWND dialog = OpenChoiceList(Launcher(), dir_.Sub(L"New\\App.sln"), dir_.Path(), &launcher);
    ASSERT_NE(dialog, nullptr);
    HWND frame = GetParent(dialog);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == frame; }, kWaitMs));
    ClickButton(dialog, IDCANCEL);
    EXPECT_TRUE(EndProgram(launcher, kWaitMs, nullptr));
    DestroyWindow(mine);
}

TEST_F(RoadTest, SolutionPathEndingInABackslashStartsNothing) {
    // The fixed editor would start at once with a path that ends in \".
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"App")));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyNoVsProc, 1));
    RunLauncher(L"\"" + dir_.Sub(L"App\\") + L"\"");
    RunLauncher(dir_.Sub(L"App\\"));
    PumpMessages(300);
    EXPECT_EQ(Runs(vs2022_) + Runs(vs2019_), 0u);
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
    // Further down, a link goes with the folder that holds it: deleted as a
    // link, or left in the moved-aside folder, never followed.
    ASSERT_TRUE(MakeFolderLink(perSln + L"\\v17\\own\\down", outside.Sub(L"shared\\deep")));
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

// After setup has associated .sln and .slnx with the launcher beside it, the
// shell's "open" of a solution of either kind runs the whole road to the
// matching editor.
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
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.slnx", nullptr,
                             L"VisualStudio.Launcher.slnx"));
    DWORD code = 1;
    ASSERT_TRUE(RunProgram(JoinPath(install, L"PikroInstall.exe"), L"", L"", kWaitMs, &code));
    EXPECT_EQ(code, 0u);

    // Side by side, each kind by its own folder in .vs.
    TempDir solutions(kTempBlanks);
    const struct {
        std::wstring sln, versionFolder, editor;
    } opens[] = {
        {solutions.Sub(L"My App\\My App.sln"), solutions.Sub(L"My App\\.vs\\My App\\v16"), vs2019},
        {solutions.Sub(L"My App\\My App.slnx"), solutions.Sub(L"My App\\.vs\\My App.slnx\\v17"),
         vs2022},
    };
    for (const auto& o : opens) {
        SCOPED_TRACE(ToUtf8(o.sln));
        ASSERT_TRUE(WriteFileBytes(o.sln, "<Solution />\r\n"));
        ASSERT_TRUE(MakeFolders(o.versionFolder));
        HANDLE opened = ShellOpen(o.sln);
        if (opened) {
            EXPECT_TRUE(EndProgram(opened, kWaitMs, &code));
            EXPECT_EQ(code, 0u);
        }
        EXPECT_TRUE(WaitForFakeDevenvLog(o.editor, 1, kWaitMs));
        std::vector<DevenvRun> runs = ReadFakeDevenvLog(o.editor);
        if (runs.size() == 1) {
            EXPECT_EQ(runs[0].commandLine, L"\"" + o.editor + L"\\devenv.exe\" \"" + o.sln + L"\"");
            EXPECT_EQ(runs[0].currentFolder, o.sln.substr(0, o.sln.rfind(L'\\')));
            EXPECT_FALSE(StartedHidden(runs[0]));
        }
    }
    EXPECT_EQ(ReadFakeDevenvLog(vs2019).size(), 1u);
    EXPECT_EQ(ReadFakeDevenvLog(vs2022).size(), 1u);
    DeleteSlnAssociation();
    ResetStore();
}

// The folders of the stored catalogue, in key order VS00, VS01, ...
std::vector<std::wstring> StoredFolders() {
    std::vector<std::wstring> folders;
    DWORD count = 0;
    if (!GetStoreDword(kSectVsInst, kKeyCount, &count)) return folders;
    for (DWORD i = 0; i < count; ++i) {
        wchar_t key[32];
        swprintf(key, _countof(key), L"VS%02lu", static_cast<unsigned long>(i));
        std::wstring line;
        GetStoreString(kSectVsInst, key, &line);
        folders.push_back(line.substr(line.rfind(L';') + 1));
    }
    return folders;
}

// The association is the machine's and the catalogue each user's. A user
// for whom setup never ran (a second account, or the one whose suite an
// administrator's account set up) finds .sln associated and their own store
// empty: their first start finds the editors as setup does, the one in
// Program Files and the one only Windows' list names, stores them with the
// first settings, and goes on. The association stays as setup left it, and
// later starts look for editors no more.
TEST(ShellRoad, AUserWithoutACatalogueHasItBuiltAtTheirFirstStart) {
    SystemVisualStudios installs;
    FakeSetupConfiguration server;
    ASSERT_TRUE(server.Ready());
    DeleteSlnAssociation();
    const std::wstring vs2019 = JoinPath(SystemProgramFiles(false),
                                         L"Microsoft Visual Studio\\2019\\Community\\Common7\\IDE");
    ASSERT_NE(CreateFakeDevenv(vs2019, L"Visual Studio 2019", L"16.11.5"), L"");
    TempDir elsewhere(kTempBlanks);
    const std::wstring vs2022 = elsewhere.Sub(L"VS 2022\\Common7\\IDE");
    ASSERT_NE(CreateFakeDevenv(vs2022, L"Visual Studio 2022", L"17.8.3"), L"");
    ASSERT_TRUE(server.List({{elsewhere.Sub(L"VS 2022")}}));

    TempDir base(kTempBlanks);
    const std::wstring install = base.Sub(L"Pikro Suite");
    ASSERT_TRUE(MakeFolders(install + L"\\PikroExec"));
    for (const wchar_t* file : {L"PikroInstall.exe", L"Pikro.exe", L"PikroExec\\PikroExec.exe"}) {
        ASSERT_TRUE(CopyFileW(ProgramPath(file).c_str(), JoinPath(install, file).c_str(), FALSE));
    }
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.sln", nullptr,
                             L"VisualStudio.Launcher.sln"));
    DWORD code = 1;
    ASSERT_TRUE(RunProgram(JoinPath(install, L"PikroInstall.exe"), L"", L"", kWaitMs, &code));
    const std::wstring classes = L"Software\\Classes\\";
    std::wstring type, command;
    ASSERT_TRUE(RegGetString(HKEY_LOCAL_MACHINE, classes + L".sln", nullptr, &type));
    ASSERT_EQ(type, L"PikroSln");
    ASSERT_TRUE(RegGetString(HKEY_LOCAL_MACHINE, classes + L"PikroSln\\shell\\open\\command",
                             nullptr, &command));

    TempDir solutions(kTempBlanks);
    const std::wstring sln = solutions.Sub(L"App\\App.sln");
    ASSERT_TRUE(WriteFileBytes(sln, "Microsoft Visual Studio Solution File\r\n"));
    ASSERT_TRUE(MakeFolders(solutions.Sub(L"App\\.vs\\App\\v17")));
    const bool kDoubleClick = true;
    for (const bool doubleClick : {kDoubleClick, !kDoubleClick}) {
        SCOPED_TRACE(doubleClick ? "double-click on a solution" : "started without a solution");
        ASSERT_TRUE(ResetStore());
        if (doubleClick) {
            HANDLE opened = ShellOpen(sln);
            ASSERT_TRUE(opened != nullptr);
            EXPECT_TRUE(EndProgram(opened, kWaitMs, &code));
            ASSERT_TRUE(WaitForFakeDevenvLog(vs2022, 1, kWaitMs));
            EXPECT_EQ(ReadFakeDevenvLog(vs2022).back().commandLine,
                      L"\"" + vs2022 + L"\\devenv.exe\" \"" + sln + L"\"");
            EXPECT_TRUE(ReadFakeDevenvLog(vs2019).empty());
        } else {
            DWORD pid = 0;
            HANDLE launcher = StartProgram(JoinPath(install, L"Pikro.exe"), L"", L"", &pid);
            ASSERT_TRUE(launcher != nullptr);
            HWND frame = WaitForWindow(L"PikroBack", nullptr, pid, kWaitMs, true);
            HWND dialog = frame ? FindWindowExW(frame, nullptr, L"#32770", nullptr) : nullptr;
            EXPECT_TRUE(dialog != nullptr);
            if (dialog) {
                EXPECT_EQ(ListBoxItems(GetDlgItem(dialog, IDC_LST_EDITORS)),
                          (std::vector<std::wstring>{L"Visual Studio 2019", L"Visual Studio 2022"}));
                ClickButton(dialog, IDCANCEL);
            }
            EXPECT_TRUE(EndProgram(launcher, kWaitMs, &code));
        }
        EXPECT_EQ(StoredFolders(), (std::vector<std::wstring>{vs2019, vs2022}));
        static const wchar_t* const kSettings[] = {kKeyDelVsFolder, kKeyLstSel,   kKeyVsProc,
                                                   kKeyVsFix,       kKeyNoVsProc, kKeyNoVsFix};
        EXPECT_EQ(StoreValueNames(kSectProfiles).size(), 6u);
        for (const wchar_t* key : kSettings) {
            DWORD value = 9;
            EXPECT_TRUE(GetStoreDword(kSectProfiles, key, &value)) << ToUtf8(key);
            EXPECT_EQ(value, 0u) << ToUtf8(key);
        }
        EXPECT_FALSE(StoreValueExists(kSectVsInst, kKeyOrgFType));
        std::wstring typeAfter, commandAfter;
        EXPECT_TRUE(RegGetString(HKEY_LOCAL_MACHINE, classes + L".sln", nullptr, &typeAfter));
        EXPECT_TRUE(RegGetString(HKEY_LOCAL_MACHINE, classes + L"PikroSln\\shell\\open\\command",
                                 nullptr, &commandAfter));
        EXPECT_EQ(typeAfter, type);
        EXPECT_EQ(commandAfter, command);
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, classes + L".sln"));
    }

    // The catalogue is there now: an editor installed since is not looked
    // for, and the settings the user chose stay.
    const std::wstring vs2015 =
        JoinPath(SystemProgramFiles(false), L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    ASSERT_NE(CreateFakeDevenv(vs2015, L"Visual Studio 2015", L"14.0.1"), L"");
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyVsProc, 1));
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyVsFix, 0));
    ASSERT_TRUE(RunProgram(JoinPath(install, L"Pikro.exe"), QuoteArg(sln), L"", kWaitMs, &code));
    EXPECT_TRUE(WaitForFakeDevenvLog(vs2019, 1, kWaitMs));
    EXPECT_EQ(StoredFolders(), (std::vector<std::wstring>{vs2019, vs2022}));
    DWORD rule = 0;
    EXPECT_TRUE(GetStoreDword(kSectProfiles, kKeyVsProc, &rule));
    EXPECT_EQ(rule, 1u);
    DeleteSlnAssociation();
    ResetStore();
}

}  // namespace
