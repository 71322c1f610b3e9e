// The settings dialog: its texts in both languages, the rows of the editor
// list and both combo boxes, the tooltip, showing and storing the settings,
// and the running launcher driven from outside with OK, Cancel, Enter and Esc.
#include <gtest/gtest.h>
#include <wchar.h>

#include <algorithm>
#include <string>
#include <vector>

#include "editor_rows_cases.h"
#include "test_settings_dialog_fixture.h"

using namespace testutil;

namespace {

struct DialogText {
    int id;
    const wchar_t* japanese;
    const wchar_t* english;
};

const DialogText kTexts[] = {
    {IDOK, L"OK", L"OK"},
    {IDCANCEL, L"キャンセル", L"Cancel"},
    {IDC_GRP_INSTALLED, L"インストール済の Visual Studio", L"Visual Studio installed"},
    {IDC_GRP_HOWTO, L"Visual Studio 起動方法", L"How to start Visual Studio"},
    {IDC_CHK_DELVS,
     L"ソリューションファイル(.sln)位置に、.vsフォルダがある場合、フォルダ内の全ファイルを削除する。",
     L"If there is a .vs folder in the solution file (.sln) location, delete all files in the "
     L"folder."},
    {IDC_GRP_VS, L"ソリューションファイル(.sln)の位置に .vs フォルダがある場合",
     L"Exist .vs folder in the solution file (.sln) location"},
    {IDC_RAD_VSMATCH, L".vs フォルダ下のバージョンフォルダ(Vnn)に対応したVisualStudioを起動する",
     L"Start Visual Studio that supports the version folder (Vnn) under the .vs folder"},
    {IDC_RAD_VSFIX, L"常に、右の VisualStudio を起動", L"Always start VisualStudio right"},
    {IDC_GRP_NOVS, L"ソリューションファイル(.sln)の位置に .vs フォルダが無い場合",
     L"Not Exist .vs folder at the location of the solution file (.sln)"},
    {IDC_RAD_NOVSASK, L"起動する VisualStudio を選択する", L"Select Visual Studio to start"},
    {IDC_RAD_NOVSFIX, L"常に、右の VisualStudio を起動", L"Always start VisualStudio right"},
    {IDC_RAD_NOVSLINE, L"ソリューションファイルのバージョン行に対応した VisualStudio を起動する",
     L"Start Visual Studio that matches the version line in the solution file"},
};

const wchar_t kHeadingJa[] =
    L"インストールされている Visual Studio です。\n最初は既定のフォルダ（\"Program files[ "
    L"(x86)]\"）内のVisual Studio が表示されます。\n追加する場合は、追加する Visual Studio "
    L"(devenv.exe) をドロップしてください。";
const wchar_t kHeadingEn[] =
    L"Visual Studio installed.\nInitially, Visual Studio will be displayed, which is stored in "
    L"the default folder (\"Program files[ (x86)]\").\nIf you want to add it, please drop the "
    L"devenv.exe you want to add.";

class SettingsDialogLang : public SettingsDialogFixture {};
class SettingsDialog : public SettingsDialogFixture {};

TEST_F(SettingsDialogLang, TextsFollowTheLanguage) {
    StoreEditors({L"VS A"});
    Open();
    ASSERT_EQ(Japanese() ? 1041 : 1033, static_cast<int>(KalGetLangId()));
    for (const DialogText& item : kTexts) {
        SCOPED_TRACE(item.id);
        EXPECT_EQ(Japanese() ? item.japanese : item.english, ControlText(dialog_, item.id));
    }
    EXPECT_EQ(L"", WindowText(dialog_));
}

TEST_F(SettingsDialogLang, TooltipShowsHeadingOrSelectedEntry) {
    StoreEditors({L"VS C", L"VS A", L"VS B"});
    Open();
    const std::wstring heading = Japanese() ? kHeadingJa : kHeadingEn;
    EXPECT_EQ(heading, TipText());

    // Stored second, "VS A" sorts first; its own version and folder follow.
    SendMessageW(list_, LB_SETCURSEL, 0, 0);
    EXPECT_EQ(heading + L"\n\nVS A -\n  Version : 1.0.1\n  Path    : " + EditorFolder(1),
              TipText());
    SendMessageW(list_, LB_SETCURSEL, 2, 0);
    EXPECT_EQ(heading + L"\n\nVS C -\n  Version : 1.0.0\n  Path    : " + EditorFolder(0),
              TipText());
    SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(heading, TipText());
}

TEST_F(SettingsDialog, OneRowPerEntryInEachControl) {
    StoreEditors({L"VS 2019", L"VS 2015", L"VS 2019"});
    Open();
    std::vector<std::wstring> expected = {L"VS 2015", L"VS 2019 (1.0, vs0)", L"VS 2019 (1.0, vs2)"};
    EXPECT_EQ(expected, ListBoxItems(list_));
    EXPECT_EQ(expected, ComboBoxItems(vsFix_));
    EXPECT_EQ(expected, ComboBoxItems(noVsFix_));
    ExpectRowsPaired(list_, vsFix_, noVsFix_);
}

// Editors that share a description (every edition of a year does) get rows
// that tell them apart, in the list and in both combo boxes.
TEST_F(SettingsDialogLang, RowsTellEditorsOfOneDescriptionApart) {
    for (const std::vector<EditorRowCase>& catalogue : EditorRowCases()) {
        Close();
        ClearLauncher();
        testutil::ResetStore();
        std::vector<testutil::StoredEditor> editors;
        std::vector<std::wstring> folders, rows;
        for (const EditorRowCase& c : catalogue) {
            folders.push_back(dir_.Sub(c.folder));
            const wchar_t* row = Japanese() && c.rowJa ? c.rowJa : c.row;
            rows.push_back(row ? row : std::wstring(L"VS (17.14, ") + folders.back() + L")");
            ASSERT_EQ(1, testutil::WriteFileBytes(folders.back() + L"\\devenv.exe", "MZ"));
            editors.push_back({c.description, c.version, folders.back()});
        }
        ASSERT_EQ(1, testutil::PutStoreCatalogue(editors));
        Open();
        ASSERT_EQ(g_catalogue.count, static_cast<int>(catalogue.size()));
        std::vector<std::wstring> expected;
        for (int i = 0; i < g_catalogue.count; ++i) {
            const auto at = std::find(folders.begin(), folders.end(), g_catalogue.entries[i].folder);
            ASSERT_TRUE(at != folders.end());
            expected.push_back(rows[at - folders.begin()]);
            g_catalogue.entries[i].fPrerelease = catalogue[at - folders.begin()].prerelease;
        }
        // Marked in memory as the cases say, the entries get their rows again.
        SettingsFillEditorRows(dialog_);
        EXPECT_EQ(expected, ListBoxItems(list_));
        EXPECT_EQ(expected, ComboBoxItems(vsFix_));
        EXPECT_EQ(expected, ComboBoxItems(noVsFix_));
    }
}

// The window system's own sort disagrees with the catalogue's for case-only
// differences, hyphens and non-ASCII text; the rows still follow the catalogue.
TEST_F(SettingsDialog, RowsStayPairedWithEntriesWhateverTheDescriptions) {
    StoreEditors({L"b", L"B-x", L"Ba", L"a", L"\u00C4", L"same", L"same"});
    Open();
    std::vector<std::wstring> expected = {L"a", L"b", L"B-x", L"Ba", L"same (1.0, vs5)",
                                          L"same (1.0, vs6)", L"\u00C4"};
    EXPECT_EQ(expected, ListBoxItems(list_));
    ExpectRowsPaired(list_, vsFix_, noVsFix_);

    // The tooltip of each row names the folder of the entry the row shows.
    for (int row = 0; row < 7; ++row) {
        SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
        std::wstring tip = TipText();
        std::wstring suffix = std::wstring(L"  Path    : ") + g_catalogue.entries[row].folder;
        EXPECT_EQ(suffix, tip.substr(tip.size() - std::min(tip.size(), suffix.size())));
    }

    // The row the user picks is the index OK stores, and that index names
    // the editor the row showed.
    PickComboRow(vsFix_, 3);
    PickComboRow(noVsFix_, 6);
    Press(IDOK);
    EXPECT_EQ(3u, StoredSetting(kKeyVsFix));
    EXPECT_EQ(6u, StoredSetting(kKeyNoVsFix));
    EXPECT_STREQ(L"Ba", g_catalogue.entries[3].description);
    EXPECT_STREQ(L"\u00C4", g_catalogue.entries[6].description);
}

TEST_F(SettingsDialog, ShowsStoredSettingsAndOkWritesThemBackUnchanged) {
    StoreEditors({L"VS A", L"VS B", L"VS C"});
    StoreSettings(1, 5, 1, 2, 0, 0);
    Open();
    EXPECT_TRUE(Checked(IDC_CHK_DELVS));
    EXPECT_FALSE(Checked(IDC_RAD_VSMATCH));
    EXPECT_TRUE(Checked(IDC_RAD_VSFIX));
    EXPECT_TRUE(Checked(IDC_RAD_NOVSASK));
    EXPECT_FALSE(Checked(IDC_RAD_NOVSFIX));
    EXPECT_EQ(2, ComboSel(vsFix_));
    EXPECT_EQ(0, ComboSel(noVsFix_));
    EXPECT_EQ(L"VS C", WindowText(vsFix_));

    // Between runs nothing else may touch the store: OK must write every key.
    ResetStore();
    HWND frame = g_state.hFrame;
    Press(IDOK);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_FALSE(IsWindow(dialog_));
    EXPECT_EQ(StoredSettings(), (std::vector<DWORD>{1, 5, 1, 2, 0, 0}));
}

TEST_F(SettingsDialog, OkStoresWhatTheUserChanged) {
    StoreEditors({L"VS A", L"VS B", L"VS C"});
    StoreSettings(1, 4, 1, 2, 0, 0);
    Open();
    SendDlgItemMessageW(dialog_, IDC_CHK_DELVS, BM_CLICK, 0, 0);
    SendDlgItemMessageW(dialog_, IDC_RAD_VSMATCH, BM_CLICK, 0, 0);
    SendDlgItemMessageW(dialog_, IDC_RAD_NOVSFIX, BM_CLICK, 0, 0);
    PickComboRow(vsFix_, 0);
    PickComboRow(noVsFix_, 1);
    EXPECT_EQ(0u, g_settings.ixVsFix);
    EXPECT_EQ(1u, g_settings.ixNoVsFix);
    Press(IDOK);
    EXPECT_EQ(StoredSettings(), (std::vector<DWORD>{0, 4, 0, 0, 1, 1}));
}

// The third rule without a .vs folder: the solution file's version line.
// Its place in the group is the value stored.
TEST_F(SettingsDialog, StoredVersionLineRuleIsShownAndOkWritesItBack) {
    StoreEditors({L"VS A", L"VS B"});
    StoreSettings(0, 0, 0, 0, 2, 1);
    Open();
    EXPECT_FALSE(Checked(IDC_RAD_NOVSASK));
    EXPECT_FALSE(Checked(IDC_RAD_NOVSFIX));
    EXPECT_TRUE(Checked(IDC_RAD_NOVSLINE));
    EXPECT_TRUE(Checked(IDC_RAD_VSMATCH));
    EXPECT_EQ(1, ComboSel(noVsFix_));
    ResetStore();
    Press(IDOK);
    EXPECT_EQ(StoredSettings(), (std::vector<DWORD>{0, 0, 0, 0, 2, 1}));
}

TEST_F(SettingsDialog, ChoosingTheVersionLineRuleAndOkStoresTwo) {
    StoreEditors({L"VS A", L"VS B"});
    StoreSettings(0, 0, 0, 0, 1, 1);
    Open();
    EXPECT_TRUE(Checked(IDC_RAD_NOVSFIX));
    SendDlgItemMessageW(dialog_, IDC_RAD_NOVSLINE, BM_CLICK, 0, 0);
    // One button of the group at a time; the other group keeps its choice.
    EXPECT_TRUE(Checked(IDC_RAD_NOVSLINE));
    EXPECT_FALSE(Checked(IDC_RAD_NOVSFIX));
    EXPECT_FALSE(Checked(IDC_RAD_NOVSASK));
    EXPECT_TRUE(Checked(IDC_RAD_VSMATCH));
    Press(IDOK);
    EXPECT_EQ(2u, StoredSetting(kKeyNoVsProc));
    EXPECT_EQ(0u, StoredSetting(kKeyVsProc));
}

TEST_F(SettingsDialog, LeavingTheVersionLineRuleStoresTheOthersAsBefore) {
    StoreEditors({L"VS A", L"VS B"});
    StoreSettings(0, 0, 0, 0, 2, 0);
    Open();
    SendDlgItemMessageW(dialog_, IDC_RAD_NOVSASK, BM_CLICK, 0, 0);
    EXPECT_FALSE(Checked(IDC_RAD_NOVSLINE));
    Press(IDOK);
    EXPECT_EQ(0u, StoredSetting(kKeyNoVsProc));
}

TEST_F(SettingsDialog, ChoosingTheVersionLineRuleThenCancelStoresNothing) {
    StoreEditors({L"VS A", L"VS B"});
    StoreSettings(0, 0, 0, 0, 0, 0);
    Open();
    SendDlgItemMessageW(dialog_, IDC_RAD_NOVSLINE, BM_CLICK, 0, 0);
    EXPECT_TRUE(Checked(IDC_RAD_NOVSLINE));
    HWND frame = g_state.hFrame;
    Press(IDCANCEL);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(StoredSettings(), (std::vector<DWORD>{0, 0, 0, 0, 0, 0}));
}

TEST_F(SettingsDialog, ComboChangeThenCancelStoresNothing) {
    StoreEditors({L"VS A", L"VS B", L"VS C"});
    StoreSettings(0, 0, 1, 2, 1, 0);
    Open();
    PickComboRow(vsFix_, 1);
    PickComboRow(noVsFix_, 2);
    EXPECT_EQ(1u, g_settings.ixVsFix);
    EXPECT_EQ(2u, g_settings.ixNoVsFix);
    HWND frame = g_state.hFrame;
    Press(IDCANCEL);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(2u, StoredSetting(kKeyVsFix));
    EXPECT_EQ(0u, StoredSetting(kKeyNoVsFix));
    EXPECT_EQ(1u, StoredSetting(kKeyNoVsProc));
}

TEST_F(SettingsDialog, TextTypedIntoAComboIsNeverRead) {
    StoreEditors({L"VS A", L"VS B", L"VS C"});
    StoreSettings(0, 0, 1, 0, 1, 1);
    Open();
    HWND edit = FindWindowExW(vsFix_, nullptr, L"Edit", nullptr);
    ASSERT_TRUE(edit != nullptr);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    for (const wchar_t* c = L"VS C"; *c; ++c) SendMessageW(edit, WM_CHAR, *c, 1);
    EXPECT_EQ(L"VS C", WindowText(vsFix_));
    EXPECT_EQ(0u, g_settings.ixVsFix);
    Press(IDOK);
    EXPECT_EQ(0u, StoredSetting(kKeyVsFix));
    EXPECT_EQ(1u, StoredSetting(kKeyNoVsFix));
}

TEST_F(SettingsDialog, StoredIndexPastTheLastRowSelectsNothing) {
    StoreEditors({L"VS A", L"VS B"});
    StoreSettings(0, 0, 1, 7, 1, 1);
    Open();
    EXPECT_EQ(-1, ComboSel(vsFix_));
    EXPECT_EQ(L"", WindowText(vsFix_));
    EXPECT_EQ(1, ComboSel(noVsFix_));
}

TEST_F(SettingsDialog, GroupBoxLiesDirectlyBehindTheList) {
    StoreEditors({L"VS A"});
    Open();
    EXPECT_EQ(GetDlgItem(dialog_, IDC_GRP_INSTALLED), GetWindow(list_, GW_HWNDNEXT));
}

// ---------------------------------------------------------------------------
// The running launcher, driven from this process.
// ---------------------------------------------------------------------------

class SettingsProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ResetStore();
        std::vector<StoredEditor> editors;
        for (int n = 0; n < 3; ++n) {
            std::wstring folder = dir_.Sub(L"vs" + std::to_wstring(n));
            ASSERT_EQ(1, WriteFileBytes(folder + L"\\devenv.exe", "MZ"));
            editors.push_back({L"VS " + std::to_wstring(n), L"1.0", folder});
        }
        ASSERT_EQ(1, PutStoreCatalogue(editors));
    }
    void TearDown() override {
        if (process_) EndProgram(process_, 5000, nullptr);
        ResetStore();
    }

    // Starts Pikro.exe without a solution and waits for its settings dialog.
    void Start() {
        DWORD pid = 0;
        process_ = StartProgram(ProgramPath(L"Pikro.exe"), L"", L"", &pid);
        ASSERT_TRUE(process_ != nullptr);
        HWND frame = WaitForWindow(L"PikroBack", nullptr, pid, 20000, true);
        ASSERT_TRUE(frame != nullptr);
        dialog_ = FindWindowExW(frame, nullptr, L"#32770", nullptr);
        ASSERT_TRUE(dialog_ != nullptr);
    }

    // Changes the check box and the first combo box the way the user would.
    void ChangeControls() {
        SendDlgItemMessageW(dialog_, IDC_CHK_DELVS, BM_SETCHECK, BST_CHECKED, 0);
        HWND combo = GetDlgItem(dialog_, IDC_CBO_VSFIX);
        SendMessageW(combo, CB_SETCURSEL, 2, 0);
        SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDC_CBO_VSFIX, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }

    // A key pressed in the dialog reaches the control that has the focus.
    void PressKey(WPARAM key) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        HWND target = dialog_;
        if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog_, nullptr), &info) &&
            info.hwndFocus && IsChild(dialog_, info.hwndFocus))
            target = info.hwndFocus;
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    }

    // Waits for the launcher to end by itself; it always ends with code 0.
    void ExpectEnded() {
        DWORD code = 99;
        EXPECT_EQ(1, EndProgram(process_, 20000, &code));
        process_ = nullptr;
        EXPECT_EQ(0u, code);
    }

    static DWORD Stored(const wchar_t* key) {
        DWORD value = 0xDEADBEEF;
        GetStoreDword(kSectProfiles, key, &value);
        return value;
    }

    TempDir dir_;
    HANDLE process_ = nullptr;
    HWND dialog_ = nullptr;
};

TEST_F(SettingsProgram, OkButtonStoresAllSixSettingsAndEnds) {
    PutStoreDword(kSectProfiles, kKeyLstSel, 2);
    Start();
    ChangeControls();
    ClickButton(dialog_, IDOK);
    ExpectEnded();
    EXPECT_EQ(1u, Stored(kKeyDelVsFolder));
    EXPECT_EQ(2u, Stored(kKeyLstSel));
    EXPECT_EQ(0u, Stored(kKeyVsProc));
    EXPECT_EQ(2u, Stored(kKeyVsFix));
    EXPECT_EQ(0u, Stored(kKeyNoVsProc));
    EXPECT_EQ(0u, Stored(kKeyNoVsFix));
}

TEST_F(SettingsProgram, EnterActsAsOk) {
    Start();
    ChangeControls();
    PressKey(VK_RETURN);
    ExpectEnded();
    EXPECT_EQ(1u, Stored(kKeyDelVsFolder));
    EXPECT_EQ(2u, Stored(kKeyVsFix));
    EXPECT_EQ(0u, Stored(kKeyLstSel));
}

TEST_F(SettingsProgram, CancelButtonStoresNothing) {
    Start();
    ChangeControls();
    ClickButton(dialog_, IDCANCEL);
    ExpectEnded();
    EXPECT_FALSE(StoreSectionExists(kSectProfiles));
}

TEST_F(SettingsProgram, EscapeActsAsCancel) {
    PutStoreDword(kSectProfiles, kKeyVsFix, 1);
    Start();
    ChangeControls();
    PressKey(VK_ESCAPE);
    ExpectEnded();
    EXPECT_EQ(1u, Stored(kKeyVsFix));
    EXPECT_FALSE(StoreValueExists(kSectProfiles, kKeyDelVsFolder));
}

}  // namespace
