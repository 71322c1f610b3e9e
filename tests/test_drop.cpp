// Dropping devenv.exe files and folders on the settings dialog's editor list:
// real HDROPs sent to the real list box of template 102.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "test_settings_dialog_fixture.h"

using namespace testutil;

namespace {

const wchar_t kNoEditorInFolderJa[] = L"\n このフォルダ内に \"devenv.exe\" がありません。\n";
const wchar_t kNoEditorInFolderEn[] = L"\n There is no \"devenv.exe\" in this folder. \n";
const wchar_t kNotEditorFileJa[] = L"\n \"devenv.exe\" ではありません。\n";
const wchar_t kNotEditorFileEn[] = L"\n It's not a \"devenv.exe\". \n";

class DropFixture : public SettingsDialogFixture {
protected:
    // What the shell hands over: a DROPFILES block with the wide paths, each
    // terminated, and one more terminator after the last.
    static HGLOBAL MakeDrop(const std::vector<std::wstring>& paths) {
        size_t units = 1;
        for (const std::wstring& path : paths) units += path.size() + 1;
        HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
        DROPFILES* files = static_cast<DROPFILES*>(GlobalLock(drop));
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        wchar_t* out = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(files) + sizeof(DROPFILES));
        for (const std::wstring& path : paths) {
            wmemcpy(out, path.c_str(), path.size() + 1);
            out += path.size() + 1;
        }
        GlobalUnlock(drop);
        return drop;
    }

    void Drop(const std::vector<std::wstring>& paths) {
        SendMessageW(list_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
    }

    static BOOL CALLBACK TakeTip(HWND window, LPARAM param) {
        if (ClassName(window) != KAL_TIP_CLASS || !IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }

    // The drop tip of this thread, if one is up.
    static HWND FindTip() {
        HWND found = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), TakeTip, reinterpret_cast<LPARAM>(&found));
        return found;
    }

    void ExpectTip(const wchar_t* japanese, const wchar_t* english) {
        HWND tip = FindTip();
        ASSERT_TRUE(tip != nullptr);
        EXPECT_EQ(Japanese() ? japanese : english, WindowText(tip));
        // Red text: the leading colour sequence was taken, not shown.
        COLORREF colour = static_cast<COLORREF>(GetWindowLongPtrW(tip, KAL_TIP_SLOT_COLOUR));
        EXPECT_GT(GetRValue(colour), 0);
        EXPECT_EQ(0, GetGValue(colour));
        EXPECT_EQ(0, GetBValue(colour));
        // Centred on the list box.
        RECT tipRect, listRect;
        GetWindowRect(tip, &tipRect);
        GetWindowRect(list_, &listRect);
        EXPECT_LE(std::abs((tipRect.left + tipRect.right) - (listRect.left + listRect.right)), 2);
        EXPECT_LE(std::abs((tipRect.top + tipRect.bottom) - (listRect.top + listRect.bottom)), 2);
        DestroyWindow(tip);
    }

    static DWORD StoredCount() {
        DWORD count = 0xDEADBEEF;
        GetStoreDword(kSectVsInst, kKeyCount, &count);
        return count;
    }

    static std::wstring StoredLine(int n) {
        wchar_t key[32];
        KalSnPrintFW(key, L"VS%02d", n);
        std::wstring line;
        GetStoreString(kSectVsInst, key, &line);
        return line;
    }

    // Nothing stored, nothing listed, nothing shown beyond what the test
    // expects: the catalogue as it was opened.
    void ExpectUnchanged(DWORD storedCount, int count) {
        EXPECT_EQ(storedCount, StoredCount());
        EXPECT_EQ(count, g_catalogue.count);
        EXPECT_EQ(static_cast<size_t>(count), ListBoxItems(list_).size());
        ExpectRowsPaired(list_, vsFix_, noVsFix_);
    }

    // A fake editor with a version resource, in a folder of its own.
    std::wstring NewEditor(const std::wstring& name, const std::wstring& description) {
        std::wstring path = CreateFakeDevenv(dir_.Sub(name), description, L"17.0.1");
        EXPECT_FALSE(path.empty());
        return path;
    }

    int IndexOfFolder(const std::wstring& folder) const {
        for (int i = 0; i < g_catalogue.count; ++i)
            if (folder == g_catalogue.entries[i].folder) return i;
        return -1;
    }
};

class EditorDropLang : public DropFixture {};
class EditorDrop : public DropFixture {};

TEST_F(EditorDropLang, FileNotNamedDevenvExeShowsTheFileTip) {
    StoreEditors({L"VS A"});
    Open();
    std::wstring link = dir_.Sub(L"x\\devenv.exe.lnk");
    std::wstring com = dir_.Sub(L"x\\devenv.com");
    ASSERT_EQ(1, WriteFileBytes(link, "L"));
    ASSERT_EQ(1, WriteFileBytes(com, "MZ"));
    Drop({link});
    ExpectTip(kNotEditorFileJa, kNotEditorFileEn);
    Drop({com});
    ExpectTip(kNotEditorFileJa, kNotEditorFileEn);
    ExpectUnchanged(1, 1);
}

TEST_F(EditorDropLang, FolderWithoutDevenvFileShowsTheFolderTip) {
    StoreEditors({L"VS A"});
    Open();
    std::wstring empty = dir_.Sub(L"empty");
    std::wstring tricky = dir_.Sub(L"tricky");
    ASSERT_EQ(1, MakeFolders(empty));
    ASSERT_EQ(1, MakeFolders(tricky + L"\\devenv.exe"));
    Drop({empty});
    ExpectTip(kNoEditorInFolderJa, kNoEditorInFolderEn);
    Drop({tricky});
    ExpectTip(kNoEditorInFolderJa, kNoEditorInFolderEn);
    ExpectUnchanged(1, 1);
}

TEST_F(EditorDrop, DevenvInCapitalsIsStoredAndListedAtOnce) {
    StoreEditors({L"VS B", L"VS D"});
    Open();
    std::wstring path = NewEditor(L"new", L"VS C");
    std::wstring capitals = dir_.Sub(L"new\\DEVENV.EXE");
    Drop({capitals});
    EXPECT_TRUE(FindTip() == nullptr);
    EXPECT_EQ(3u, StoredCount());
    EXPECT_EQ(L"VS C;17.0.1;" + dir_.Sub(L"new"), StoredLine(2));
    EXPECT_EQ(3, g_catalogue.count);
    EXPECT_EQ((std::vector<std::wstring>{L"VS B", L"VS C", L"VS D"}), ListBoxItems(list_));
    ExpectRowsPaired(list_, vsFix_, noVsFix_);
}

// With no editor at all the settings dialog opens on the empty list, whose
// line says so; the first editor dropped there turns it into the plain
// advice, in either language.
TEST_F(EditorDropLang, FirstEditorDroppedOnTheEmptyListChangesItsLine) {
    ASSERT_TRUE(PutStoreDword(kSectVsInst, kKeyCount, 0));
    Open();
    EXPECT_EQ(0u, ListBoxItems(list_).size());
    EXPECT_EQ(ControlText(dialog_, IDC_TXT_DROPHINT),
              Japanese() ? L"Visual Studio が見つかりませんでした。"
                           L"追加する Visual Studio の devenv.exe をこの一覧にドロップしてください。"
                         : L"No Visual Studio was found. Drop a devenv.exe on this list to add one.");
    Drop({NewEditor(L"new", L"VS C")});
    EXPECT_EQ(1u, StoredCount());
    EXPECT_EQ((std::vector<std::wstring>{L"VS C"}), ListBoxItems(list_));
    EXPECT_EQ(ControlText(dialog_, IDC_TXT_DROPHINT),
              Japanese() ? L"Visual Studio を追加するには、その devenv.exe をこの一覧にドロップしてください。"
                         : L"To add a Visual Studio, drop its devenv.exe on this list.");
}

// The version of a dropped devenv.exe is read no further than its image
// goes, whatever its resource directory declares (a crafted file).
TEST_F(EditorDrop, ACraftedVersionResourceIsReadNoFurtherThanTheImage) {
    StoreEditors({L"VS B"});
    Open();
    const std::wstring crafted = dir_.Sub(L"crafted");
    ASSERT_TRUE(MakeFolders(crafted));
    ASSERT_TRUE(WriteImageEndingInVersion(JoinPath(crafted, L"devenv.exe"), RunawayVersionNode(), 0xFFFF));
    Drop({JoinPath(crafted, L"devenv.exe")});
    EXPECT_EQ(2u, StoredCount());
    EXPECT_EQ(L"devenv.exe;0;" + crafted, StoredLine(1));
    EXPECT_EQ(2, g_catalogue.count);
    ExpectRowsPaired(list_, vsFix_, noVsFix_);
}

TEST_F(EditorDrop, FolderHoldingDevenvAddsItsDevenv) {
    StoreEditors({L"VS B"});
    Open();
    NewEditor(L"ide", L"VS A");
    // A trailing backslash must not give the stored folder a second one.
    Drop({dir_.Sub(L"ide") + L"\\"});
    EXPECT_TRUE(FindTip() == nullptr);
    EXPECT_EQ(L"VS A;17.0.1;" + dir_.Sub(L"ide"), StoredLine(1));
    EXPECT_EQ(0, IndexOfFolder(dir_.Sub(L"ide")));
    ExpectRowsPaired(list_, vsFix_, noVsFix_);
}

TEST_F(EditorDrop, OnlyTheFirstOfSeveralItemsCounts) {
    StoreEditors({L"VS A"});
    Open();
    std::wstring first = NewEditor(L"one", L"VS B");
    std::wstring second = NewEditor(L"two", L"VS C");
    std::wstring text = dir_.Sub(L"notes.txt");
    ASSERT_EQ(1, WriteFileBytes(text, "x"));
    Drop({first, second, text});
    EXPECT_TRUE(FindTip() == nullptr);
    EXPECT_EQ(2u, StoredCount());
    EXPECT_EQ((std::vector<std::wstring>{L"VS A", L"VS B"}), ListBoxItems(list_));

    // A wrong first item is reported even when a good one follows.
    Drop({text, second});
    ExpectTip(kNotEditorFileJa, kNotEditorFileEn);
    ExpectUnchanged(2, 2);
}

TEST_F(EditorDrop, SameEditorTwiceIsAddedOnce) {
    StoreEditors({L"VS A"});
    Open();
    std::wstring path = NewEditor(L"new", L"VS B");
    Drop({path});
    Drop({dir_.Sub(L"NEW")});
    EXPECT_TRUE(FindTip() == nullptr);
    ExpectUnchanged(2, 2);
}

TEST_F(EditorDrop, PathThatDoesNotExistIsIgnoredSilently) {
    StoreEditors({L"VS A"});
    Open();
    Drop({dir_.Sub(L"gone\\devenv.exe")});
    Drop({});
    EXPECT_TRUE(FindTip() == nullptr);
    ExpectUnchanged(1, 1);
}

// A dropped path too long for the buffer would, cut, name another file: here
// a devenv.exe that the user did not drop.
TEST_F(EditorDrop, PathTooLongIsRefusedNotCut) {
    StoreEditors({L"VS A"});
    Open();
    std::wstring folder = dir_.Path() + L"\\";
    folder += std::wstring(259 - 11 - folder.size(), L'd');
    std::wstring path = NewEditor(folder.substr(dir_.Path().size() + 1), L"VS Z");
    ASSERT_EQ(259u, path.size());
    Drop({path + L"x\\more"});
    EXPECT_TRUE(FindTip() == nullptr);
    ExpectUnchanged(1, 1);
}

// A full list says how many editors it holds and how to make room.
TEST_F(EditorDropLang, ThirtyThirdEditorIsRefusedInWords) {
    std::vector<std::wstring> descriptions;
    for (int n = 0; n < 32; ++n) descriptions.push_back(L"VS " + std::to_wstring(100 + n));
    StoreEditors(descriptions);
    Open();
    ASSERT_EQ(32, g_catalogue.count);
    Drop({NewEditor(L"new", L"VS 000")});
    ExpectTip(L"\n 一覧に登録できる Visual Studio は 32 個までです。\n"
              L" 空きを作るには、使わなくなった Visual Studio をアンインストールするか、\n"
              L" ドロップして追加したコピーを削除してください。次の起動で一覧から外れます。\n",
              L"\n The list holds at most 32 editors of Visual Studio. \n"
              L" To make room, uninstall a Visual Studio you no longer use, or delete a copy \n"
              L" you added by dropping it: it leaves the list at the next start. \n");
    ExpectUnchanged(32, 32);
}

// Stored entries the load could not read still count in "Count"; the
// in-memory count must follow the slots actually filled.
TEST_F(EditorDrop, CountFollowsFilledSlotsNotTheStoredCount) {
    std::vector<StoredEditor> editors;
    for (int n = 0; n < 30; ++n) {
        std::wstring folder = EditorFolder(static_cast<size_t>(n));
        ASSERT_EQ(1, WriteFileBytes(folder + L"\\devenv.exe", "MZ"));
        // Every third entry lacks its version and cannot be read.
        editors.push_back({L"VS " + std::to_wstring(100 + n), n % 3 == 0 ? L"" : L"1.0", folder});
    }
    ASSERT_EQ(1, PutStoreCatalogue(editors));
    Open();
    ASSERT_EQ(20, g_catalogue.count);
    Drop({NewEditor(L"new", L"VS 000")});
    EXPECT_EQ(31u, StoredCount());
    EXPECT_EQ(21, g_catalogue.count);
    EXPECT_STREQ(L"VS 000", g_catalogue.entries[0].description);
    for (int i = 0; i < g_catalogue.count; ++i) EXPECT_NE(L'\0', g_catalogue.entries[i].folder[0]);
    ExpectRowsPaired(list_, vsFix_, noVsFix_);
    // The store holds 32 entries at most, the lines it cannot read among
    // them: the 32nd is taken, a 33rd is not.
    Drop({NewEditor(L"newer", L"VS 001")});
    EXPECT_EQ(32u, StoredCount());
    EXPECT_EQ(22, g_catalogue.count);
    Drop({NewEditor(L"newest", L"VS 002")});
    EXPECT_EQ(32u, StoredCount());
    EXPECT_EQ(22, g_catalogue.count);
    ExpectRowsPaired(list_, vsFix_, noVsFix_);
}

// The editor chosen in each combo box stays chosen; a prerelease keeps its
// mark through the sort, and the dropped editor is a release.
TEST_F(EditorDrop, EachComboKeepsItsEditor) {
    StoreEditors({L"VS B", L"VS C", L"VS D"});
    StoreSettings(0, 0, 1, 1, 1, 0);
    ASSERT_TRUE(PutStoreDword(kSectVsPre, EditorFolder(1).c_str(), 1));
    Open();
    ASSERT_EQ(1, ComboSel(vsFix_));
    ASSERT_EQ(1, g_catalogue.entries[1].fPrerelease);
    Drop({NewEditor(L"new", L"VS A")});
    EXPECT_EQ(1, g_catalogue.entries[2].fPrerelease);
    EXPECT_EQ(0, g_catalogue.entries[0].fPrerelease + g_catalogue.entries[1].fPrerelease +
                     g_catalogue.entries[3].fPrerelease);
    EXPECT_EQ(2, ComboSel(vsFix_));
    EXPECT_EQ(L"VS C (Preview)", WindowText(vsFix_));
    EXPECT_EQ(2u, g_settings.ixVsFix);
    EXPECT_EQ(EditorFolder(1), g_catalogue.entries[2].folder);
    EXPECT_EQ(1, ComboSel(noVsFix_));
    EXPECT_EQ(1u, g_settings.ixNoVsFix);
    EXPECT_EQ(EditorFolder(0), g_catalogue.entries[1].folder);
    ExpectRowsPaired(list_, vsFix_, noVsFix_);
}

// A new editor with the same description as the chosen one must not take
// its place in the combo box, nor may the other one of two equal rows.
TEST_F(EditorDrop, ComboKeepsItsEditorWhenTheNewOneHasTheSameDescription) {
    StoreEditors({L"Same", L"Same", L"Zed"});
    StoreSettings(0, 0, 1, 1, 1, 2);
    Open();
    ASSERT_EQ(1, ComboSel(vsFix_));
    const std::wstring vsChosen = g_catalogue.entries[1].folder;
    SendMessageW(list_, LB_SETCURSEL, 1, 0);
    Drop({NewEditor(L"new", L"Same")});
    ASSERT_EQ(4, g_catalogue.count);
    int vsRow = ComboSel(vsFix_);
    ASSERT_GE(vsRow, 0);
    EXPECT_EQ(vsChosen, g_catalogue.entries[vsRow].folder);
    EXPECT_EQ(static_cast<UINT>(vsRow), g_settings.ixVsFix);
    int noVsRow = ComboSel(noVsFix_);
    ASSERT_GE(noVsRow, 0);
    EXPECT_EQ(EditorFolder(2), g_catalogue.entries[noVsRow].folder);
    EXPECT_EQ(static_cast<UINT>(noVsRow), g_settings.ixNoVsFix);
    // The user's choice in the list box follows its editor too.
    int listRow = ListSel(list_);
    ASSERT_GE(listRow, 0);
    EXPECT_EQ(vsChosen, g_catalogue.entries[listRow].folder);
    ExpectRowsPaired(list_, vsFix_, noVsFix_);
}

TEST_F(EditorDrop, ComboWithoutSelectionShowsRowZero) {
    StoreEditors({L"VS B", L"VS C"});
    StoreSettings(0, 0, 1, 9, 1, 1);
    Open();
    ASSERT_EQ(-1, ComboSel(vsFix_));
    EXPECT_EQ(-1, ListSel(list_));
    Drop({NewEditor(L"new", L"VS D")});
    EXPECT_EQ(0, ComboSel(vsFix_));
    EXPECT_EQ(0u, g_settings.ixVsFix);
    EXPECT_EQ(1, ComboSel(noVsFix_));
    EXPECT_EQ(-1, ListSel(list_));
}

TEST_F(EditorDrop, RowsStayPairedAfterDropsWhateverTheDescriptions) {
    StoreEditors({L"b", L"Ba", L"a"});
    Open();
    Drop({NewEditor(L"n1", L"B-x")});
    Drop({NewEditor(L"n2", L"\u00C4")});
    Drop({NewEditor(L"n3", L"a")});
    // The two "a" rows say their versions apart.
    EXPECT_EQ((std::vector<std::wstring>{L"a (1.0)", L"a (17.0)", L"b", L"B-x", L"Ba", L"\u00C4"}),
              ListBoxItems(list_));
    ExpectRowsPaired(list_, vsFix_, noVsFix_);
}

TEST_F(EditorDrop, EditorAddedThenCancelStaysStoredAndIsListedNextRun) {
    StoreEditors({L"VS B"});
    StoreSettings(0, 0, 1, 0, 0, 0);
    Open();
    PickComboRow(vsFix_, 0);
    Drop({NewEditor(L"new", L"VS A")});
    EXPECT_EQ(1u, g_settings.ixVsFix);
    Press(IDCANCEL);
    EXPECT_EQ(2u, StoredCount());
    EXPECT_EQ(0u, StoredSetting(kKeyVsFix));

    DWORD pid = 0;
    HANDLE process = StartProgram(ProgramPath(L"Pikro.exe"), L"", L"", &pid);
    ASSERT_TRUE(process != nullptr);
    HWND frame = WaitForWindow(L"PikroBack", nullptr, pid, 20000, true);
    HWND dialog = frame ? FindWindowExW(frame, nullptr, L"#32770", nullptr) : nullptr;
    EXPECT_TRUE(dialog != nullptr);
    if (dialog) {
        EXPECT_EQ((std::vector<std::wstring>{L"VS A", L"VS B"}),
                  ListBoxItems(GetDlgItem(dialog, IDC_LST_EDITORS)));
        ClickButton(dialog, IDCANCEL);
    }
    DWORD code = 99;
    EXPECT_EQ(1, EndProgram(process, 20000, &code));
    EXPECT_EQ(0u, code);
}

}  // namespace
