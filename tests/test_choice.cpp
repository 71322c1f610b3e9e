// The choice dialog in-process: the real template 104 under the real dialog
// procedure, a hidden parent standing for the frame, and a message loop of
// the test's own with the launcher's keyboard handling. Starting an editor
// goes all the way through the shim to a fake devenv.exe.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor_rows_cases.h"
#include "launcher.h"
#include "resource.h"
#include "store_keys.h"
#include "testutil.h"

using namespace testutil;

namespace {

const DWORD kWaitMs = 15000;

class ChoiceDialog {
public:
    // Creates the hidden frame stand-in and the dialog; WM_INITDIALOG runs
    // the decision, whose message is left in the queue.
    ChoiceDialog() {
        frame_ = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"Travuna", WS_OVERLAPPED, 0, 0,
                                 400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        g_state.hInst = GetModuleHandleW(nullptr);
        g_state.hFrame = frame_;
        dialog_ = CreateDialogParamW(g_state.hInst, MAKEINTRESOURCEW(IDD_CHOOSE), frame_,
                                     ChoiceDlgProc, 0);
        g_state.hChoiceDlg = dialog_;
        g_state.hCurDlg = dialog_;
    }
    ~ChoiceDialog() {
        if (IsWindow(frame_)) DestroyWindow(frame_);
        g_state.hFrame = nullptr;
        g_state.hChoiceDlg = nullptr;
        g_state.hCurDlg = nullptr;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    HWND Frame() const { return frame_; }
    HWND Dialog() const { return dialog_; }
    HWND List() const { return GetDlgItem(dialog_, IDC_LST_EDITORS); }
    bool Alive() const { return IsWindow(dialog_) != 0; }

    // The launcher's loop for a while: the dialog gets keyboard navigation.
    void Pump(DWORD ms) {
        DWORD start = GetTickCount();
        MSG msg;
        while (GetTickCount() - start < ms) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (IsWindow(dialog_) && IsDialogMessageW(dialog_, &msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(5);
        }
    }
    int PumpUntilVisible() {
        return PumpUntil([this] { Pump(10); return IsWindowVisible(dialog_) != 0; }, kWaitMs);
    }
    int PumpUntilGone() {
        return PumpUntil([this] { Pump(10); return !IsWindow(frame_); }, kWaitMs);
    }

private:
    HWND frame_ = nullptr;
    HWND dialog_ = nullptr;
};

class ChoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetStore();
        KalSetRegMidPathW(kAppMidPath);
        ZeroMemory(&g_catalogue, sizeof(g_catalogue));
        ZeroMemory(&g_settings, sizeof(g_settings));
        // Deliberately out of alphabetical order: the list must keep the
        // catalogue's order although it has LBS_SORT.
        AddEditor(L"Visual Studio 2022", L"17.8.3", L"vs2022");
        AddEditor(L"Visual Studio 2017", L"15.9.1", L"vs2017");
        AddEditor(L"Visual Studio 2019", L"16.11.1", L"vs2019");
        // No .vs folder and NoVsProc 0: the user is asked.
        wcscpy_s(g_state.szSlnPath, dir_.Sub(L"My Solution\\App.sln").c_str());
    }
    void TearDown() override { ResetStore(); }

    void AddEditor(const wchar_t* description, const wchar_t* version, const wchar_t* sub) {
        EditorEntry& e = g_catalogue.entries[g_catalogue.count++];
        wcscpy_s(e.description, description);
        wcscpy_s(e.version, version);
        wcscpy_s(e.folder, dir_.Sub(std::wstring(sub) + L"\\Common7\\IDE").c_str());
    }
    std::wstring EditorFolder(int i) const { return g_catalogue.entries[i].folder; }
    void MakeEditors() {
        for (int i = 0; i < g_catalogue.count; ++i) {
            ASSERT_NE(CreateFakeDevenv(EditorFolder(i), g_catalogue.entries[i].description,
                                       g_catalogue.entries[i].version),
                      L"");
        }
    }
    int EditorsStarted() const {
        size_t runs = 0;
        for (int i = 0; i < g_catalogue.count; ++i) runs += ReadFakeDevenvLog(EditorFolder(i)).size();
        return static_cast<int>(runs);
    }

    TempDir dir_{kTempBlanks};
};

std::wstring Expected(const wchar_t* english, const wchar_t* japanese) {
    return TestLangId() == 1041 ? japanese : english;
}

TEST(ChoiceTextsLang, TextsFollowTheLanguage) {
    ZeroMemory(&g_catalogue, sizeof(g_catalogue));
    ZeroMemory(&g_settings, sizeof(g_settings));
    wcscpy_s(g_state.szSlnPath, L"Z:\\nowhere\\at all\\App.sln");
    ChoiceDialog choice;
    ASSERT_NE(choice.Dialog(), nullptr);
    EXPECT_EQ(KalGetLangId(), TestLangId());
    EXPECT_EQ(ControlText(choice.Dialog(), IDC_GRP_INSTALLED),
              Expected(L"Visual Studio installed", L"インストール済の Visual Studio"));
    EXPECT_EQ(ControlText(choice.Dialog(), IDC_TXT_CHOOSE),
              Expected(L"Select Visual Studio to start.", L"起動する Visual Studio を選択してください。"));
    EXPECT_EQ(ControlText(choice.Dialog(), IDCANCEL), Expected(L"Cancel", L"キャンセル"));
    EXPECT_EQ(ControlText(choice.Dialog(), IDOK), L"OK");
    HFONT font = reinterpret_cast<HFONT>(
        SendDlgItemMessageW(choice.Dialog(), IDC_TXT_CHOOSE, WM_GETFONT, 0, 0));
    EXPECT_NE(font, nullptr);
    EXPECT_EQ(font, KalGetStockFont(11));
    EXPECT_NE(font, reinterpret_cast<HFONT>(
                        SendDlgItemMessageW(choice.Dialog(), IDC_GRP_INSTALLED, WM_GETFONT, 0, 0)));
    // Once shown, the list names the solution it is about to open.
    EXPECT_EQ(ControlText(choice.Dialog(), IDC_TXT_SOLUTION), L"");
    SendMessageW(choice.Dialog(), UM_SHOW_CHOICE, 0, 0);
    EXPECT_EQ(ControlText(choice.Dialog(), IDC_TXT_SOLUTION),
              Expected(L"To open: App.sln", L"開くソリューション: App.sln"));
}

// The line above the list names the solution by its file name, whatever
// the name holds: blanks, a percent sign, Japanese, a name longer than the
// line (which the static shortens only when it draws it), an .slnx.
TEST_F(ChoiceTest, ListNamesTheSolutionItOpens) {
    const std::wstring longName = std::wstring(200, L'n') + L".sln";
    const std::wstring names[] = {L"App.sln", L"My Shop 2.slnx", L"100% done %s.sln",
                                  L"ソリューション.sln", longName};
    for (const std::wstring& name : names) {
        SCOPED_TRACE(ToUtf8(name));
        wcscpy_s(g_state.szSlnPath, dir_.Sub(L"My Solution\\" + name).c_str());
        ChoiceDialog choice;
        ASSERT_TRUE(choice.PumpUntilVisible());
        EXPECT_EQ(ControlText(choice.Dialog(), IDC_TXT_SOLUTION), L"To open: " + name);
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(choice.Dialog(), IDC_TXT_SOLUTION)));
    }
}

TEST_F(ChoiceTest, ListShowsTheCatalogueInItsOrderWithTheRememberedRow) {
    g_settings.ixLstSel = 2;
    ChoiceDialog choice;
    EXPECT_FALSE(IsWindowVisible(choice.Frame()));
    ASSERT_TRUE(choice.PumpUntilVisible());
    EXPECT_TRUE(IsWindowVisible(choice.Frame()));
    std::vector<std::wstring> rows = ListBoxItems(choice.List());
    std::vector<std::wstring> expected = {L"Visual Studio 2022", L"Visual Studio 2017",
                                          L"Visual Studio 2019"};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(SendMessageW(choice.List(), LB_GETCURSEL, 0, 0), 2);
    // The keyboard reaches the dialog.
    EXPECT_EQ(GetFocus(), choice.List());
}

// The row picked last is selected again, but the list for an .slnx never
// preselects an editor that cannot open it by default: there the best one
// that can is selected, or none. Entries 3 and 4 open .slnx.
TEST_F(ChoiceTest, SlnxListPreselectsOnlyAnEditorThatOpensIt) {
    AddEditor(L"Visual Studio 2026", L"18.0.11123.170", L"vs2026");
    AddEditor(L"Visual Studio 2022", L"17.14.36310.24", L"vs2022b");
    const struct {
        const wchar_t* name;
        UINT remembered;
        int count;
        LRESULT row;
    } cases[] = {
        {L"App.slnx", 1, 5, 3}, {L"App.SLNX", 0, 5, 3},  {L"App.slnx", 4, 5, 4},
        {L"App.slnx", 9, 5, 3}, {L"App.slnx", 1, 3, LB_ERR}, {L"App.sln", 1, 5, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.name) + " " + std::to_string(c.remembered));
        g_catalogue.count = c.count;
        g_settings.ixLstSel = c.remembered;
        wcscpy_s(g_state.szSlnPath, dir_.Sub(std::wstring(L"My Solution\\") + c.name).c_str());
        ChoiceDialog choice;
        ASSERT_TRUE(choice.PumpUntilVisible());
        EXPECT_EQ(SendMessageW(choice.List(), LB_GETCURSEL, 0, 0), c.row);
    }
}

// Rows of editors that share a description say what tells them apart.
TEST_F(ChoiceTest, RowsTellEditorsOfOneDescriptionApart) {
    for (const std::vector<EditorRowCase>& catalogue : EditorRowCases()) {
        ZeroMemory(&g_catalogue, sizeof(g_catalogue));
        std::vector<std::wstring> expected;
        for (const EditorRowCase& c : catalogue) {
            EditorEntry& e = g_catalogue.entries[g_catalogue.count++];
            wcscpy_s(e.description, c.description);
            wcscpy_s(e.version, c.version);
            wcscpy_s(e.folder, dir_.Sub(c.folder).c_str());
            e.fPrerelease = c.prerelease;
            expected.push_back(c.row ? c.row : std::wstring(L"VS (17.14, ") + e.folder + L")");
        }
        ChoiceDialog choice;
        ASSERT_TRUE(choice.PumpUntilVisible());
        EXPECT_EQ(ListBoxItems(choice.List()), expected);
    }
}

TEST_F(ChoiceTest, RememberedRowPastTheEndSelectsNothingAndOkStartsNothing) {
    MakeEditors();
    g_settings.ixLstSel = 3;
    ASSERT_TRUE(PutStoreDword(kSectProfiles, kKeyLstSel, 3));
    ChoiceDialog choice;
    ASSERT_TRUE(choice.PumpUntilVisible());
    EXPECT_EQ(SendMessageW(choice.List(), LB_GETCURSEL, 0, 0), LB_ERR);
    ClickButton(choice.Dialog(), IDOK);
    ASSERT_TRUE(choice.PumpUntilGone());
    EXPECT_FALSE(choice.Alive());
    DWORD stored = 0;
    ASSERT_TRUE(GetStoreDword(kSectProfiles, kKeyLstSel, &stored));
    EXPECT_EQ(stored, 3u);
    EXPECT_EQ(g_settings.ixLstSel, 3u);
    PumpMessages(300);
    EXPECT_EQ(EditorsStarted(), 0);
}

TEST_F(ChoiceTest, OkStoresTheRowAndStartsThatEditorThroughTheShim) {
    MakeEditors();
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"My Solution")));
    ChoiceDialog choice;
    ASSERT_TRUE(choice.PumpUntilVisible());
    EXPECT_EQ(SendMessageW(choice.List(), LB_GETCURSEL, 0, 0), 0);
    SendMessageW(choice.List(), LB_SETCURSEL, 2, 0);
    ClickButton(choice.Dialog(), IDOK);
    ASSERT_TRUE(choice.PumpUntilGone());
    DWORD stored = 0;
    ASSERT_TRUE(GetStoreDword(kSectProfiles, kKeyLstSel, &stored));
    EXPECT_EQ(stored, 2u);
    EXPECT_EQ(g_settings.ixLstSel, 2u);

    ASSERT_TRUE(WaitForFakeDevenvLog(EditorFolder(2), 1, kWaitMs));
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(EditorFolder(2));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].commandLine,
              L"\"" + EditorFolder(2) + L"\\devenv.exe\" \"" + g_state.szSlnPath + L"\"");
    // The solution's folder, as Explorer gives it: nothing pins the suite's.
    const std::wstring sln = g_state.szSlnPath;
    EXPECT_EQ(runs[0].currentFolder, sln.substr(0, sln.rfind(L'\\')));
    EXPECT_EQ(EditorsStarted(), 1);
}

// The mouse on a row of the list, as the list box itself receives it.
void ClickRow(HWND list, int row, bool twice) {
    RECT rc = {0, 0, 0, 0};
    ASSERT_NE(SendMessageW(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rc)), LB_ERR);
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    if (!twice) return;
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
}

// A click only selects; a double-click on a row is OK for that row.
TEST_F(ChoiceTest, DoubleClickOnARowStartsThatRow) {
    MakeEditors();
    ChoiceDialog choice;
    ASSERT_TRUE(choice.PumpUntilVisible());
    ClickRow(choice.List(), 1, false);
    EXPECT_EQ(SendMessageW(choice.List(), LB_GETCURSEL, 0, 0), 1);
    // A double-click notification while no row is selected does nothing.
    SendMessageW(choice.List(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendMessageW(choice.Dialog(), WM_COMMAND, MAKEWPARAM(IDC_LST_EDITORS, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(choice.List()));
    choice.Pump(300);
    EXPECT_TRUE(IsWindowVisible(choice.Dialog()));
    EXPECT_EQ(EditorsStarted(), 0);
    EXPECT_FALSE(StoreValueExists(kSectProfiles, kKeyLstSel));

    ClickRow(choice.List(), 2, true);
    ASSERT_TRUE(choice.PumpUntilGone());
    DWORD stored = 0;
    ASSERT_TRUE(GetStoreDword(kSectProfiles, kKeyLstSel, &stored));
    EXPECT_EQ(stored, 2u);
    ASSERT_TRUE(WaitForFakeDevenvLog(EditorFolder(2), 1, kWaitMs));
    EXPECT_EQ(ReadFakeDevenvLog(EditorFolder(2))[0].commandLine,
              L"\"" + EditorFolder(2) + L"\\devenv.exe\" \"" + g_state.szSlnPath + L"\"");
    PumpMessages(300);
    EXPECT_EQ(EditorsStarted(), 1);
}

TEST_F(ChoiceTest, StartOutsideTheCatalogueStartsNothingAndEnds) {
    MakeEditors();
    const WPARAM outside[] = {3, 32, static_cast<WPARAM>(-1), 0x80000000u};
    for (WPARAM index : outside) {
        ChoiceDialog choice;
        ASSERT_TRUE(choice.PumpUntilVisible());
        PostMessageW(choice.Dialog(), UM_START_EDITOR, index, 0);
        ASSERT_TRUE(choice.PumpUntilGone()) << index;
    }
    PumpMessages(300);
    EXPECT_EQ(EditorsStarted(), 0);
}

TEST_F(ChoiceTest, DecisionToStartNeverShowsTheDialog) {
    MakeEditors();
    g_settings.NoVsProc = 1;
    // A valid fixed editor, then one just past the catalogue: neither shows
    // anything, and only the valid one starts an editor.
    for (UINT index : {1u, 3u}) {
        g_settings.ixNoVsFix = index;
        ChoiceDialog choice;
        bool everVisible = false;
        ASSERT_TRUE(PumpUntil(
            [&] {
                choice.Pump(5);
                if (IsWindowVisible(choice.Frame()) ||
                    (IsWindow(choice.Dialog()) && IsWindowVisible(choice.Dialog())))
                    everVisible = true;
                return !IsWindow(choice.Frame());
            },
            kWaitMs));
        EXPECT_FALSE(everVisible) << index;
    }
    ASSERT_TRUE(WaitForFakeDevenvLog(EditorFolder(1), 1, kWaitMs));
    PumpMessages(300);
    EXPECT_EQ(EditorsStarted(), 1);
}

TEST_F(ChoiceTest, LongestSolutionPathIsStartedWhole) {
    MakeEditors();
    // The longest path the launcher takes: 1023 units.
    std::wstring sln = dir_.Path();
    while (sln.size() < 1000) sln += L"\\folder with blanks";
    sln += L"\\";
    sln += std::wstring(1023 - 4 - sln.size(), L'x');
    sln += L".sln";
    ASSERT_EQ(sln.size(), 1023u);
    wcscpy_s(g_state.szSlnPath, sln.c_str());
    // Its folder does not fit a search path, so the user is asked even with
    // a fixed editor.
    g_settings.NoVsProc = 1;
    g_settings.ixNoVsFix = 1;
    ChoiceDialog choice;
    ASSERT_TRUE(choice.PumpUntilVisible());
    ClickButton(choice.Dialog(), IDOK);
    ASSERT_TRUE(choice.PumpUntilGone());
    ASSERT_TRUE(WaitForFakeDevenvLog(EditorFolder(0), 1, kWaitMs));
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(EditorFolder(0));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].commandLine, L"\"" + EditorFolder(0) + L"\\devenv.exe\" \"" + sln + L"\"");
}

}  // namespace
