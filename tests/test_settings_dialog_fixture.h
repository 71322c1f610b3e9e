// The settings dialog in this process: the launcher's real start-up creates
// the frame and the dialog from template 102, and the tests drive it with the
// messages the window system would send. Shared by the settings dialog and
// drop tests.
#pragma once

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "launcher.h"
#include "resource.h"
#include "store_keys.h"
#include "testutil.h"

class SettingsDialogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        testutil::ResetStore();
        ClearLauncher();
    }

    void TearDown() override {
        Close();
        ClearLauncher();
        testutil::ResetStore();
    }

    static void ClearLauncher() {
        memset(&g_state, 0, sizeof(g_state));
        memset(&g_catalogue, 0, sizeof(g_catalogue));
        memset(&g_settings, 0, sizeof(g_settings));
    }

    // The folder of stored editor number n; it holds a file named devenv.exe,
    // which is all the launcher's loading asks of it.
    std::wstring EditorFolder(size_t n) const { return dir_.Sub(L"vs" + std::to_wstring(n)); }

    // Stores one editor per description, in this order, with the version
    // "1.0.<n>" and the folder EditorFolder(n).
    void StoreEditors(const std::vector<std::wstring>& descriptions) {
        std::vector<testutil::StoredEditor> editors;
        for (size_t n = 0; n < descriptions.size(); ++n) {
            ASSERT_EQ(1, testutil::WriteFileBytes(EditorFolder(n) + L"\\devenv.exe", "MZ"));
            editors.push_back({descriptions[n], L"1.0." + std::to_wstring(n), EditorFolder(n)});
        }
        ASSERT_EQ(1, testutil::PutStoreCatalogue(editors));
    }

    static void StoreSettings(DWORD delVsFolder, DWORD lstSel, DWORD vsProc, DWORD vsFix,
                              DWORD noVsProc, DWORD noVsFix) {
        testutil::PutStoreDword(kSectProfiles, kKeyDelVsFolder, delVsFolder);
        testutil::PutStoreDword(kSectProfiles, kKeyLstSel, lstSel);
        testutil::PutStoreDword(kSectProfiles, kKeyVsProc, vsProc);
        testutil::PutStoreDword(kSectProfiles, kKeyVsFix, vsFix);
        testutil::PutStoreDword(kSectProfiles, kKeyNoVsProc, noVsProc);
        testutil::PutStoreDword(kSectProfiles, kKeyNoVsFix, noVsFix);
    }

    // A stored setting, or 0xDEADBEEF when the key is absent.
    static DWORD StoredSetting(const wchar_t* key) {
        DWORD value = 0xDEADBEEF;
        testutil::GetStoreDword(kSectProfiles, key, &value);
        return value;
    }

    // All six stored settings, in the order StoreSettings takes them.
    static std::vector<DWORD> StoredSettings() {
        return {StoredSetting(kKeyDelVsFolder), StoredSetting(kKeyLstSel),
                StoredSetting(kKeyVsProc),      StoredSetting(kKeyVsFix),
                StoredSetting(kKeyNoVsProc),    StoredSetting(kKeyNoVsFix)};
    }

    // Runs the launcher's start-up without a solution, as Pikro.exe does.
    void Open() {
        ASSERT_EQ(1, LauncherStartup(GetModuleHandleW(nullptr), L""));
        dialog_ = g_state.hSettingsDlg;
        ASSERT_TRUE(dialog_ != nullptr);
        list_ = GetDlgItem(dialog_, IDC_LST_EDITORS);
        vsFix_ = GetDlgItem(dialog_, IDC_CBO_VSFIX);
        noVsFix_ = GetDlgItem(dialog_, IDC_CBO_NOVSFIX);
        ASSERT_TRUE(list_ && vsFix_ && noVsFix_);
    }

    // Destroys the frame if a test left it, drops the WM_QUIT it posts, and
    // forgets the frame class so that the next start-up can register it.
    void Close() {
        if (g_state.hFrame && IsWindow(g_state.hFrame)) DestroyWindow(g_state.hFrame);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassW(L"PikroBack", GetModuleHandleW(nullptr));
    }

    // A button press as the dialog receives it; the handler runs before this
    // returns.
    void Press(int id) {
        SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
    }

    // The user picking a row of a combo box: the selection moves and the
    // combo box tells its dialog.
    void PickComboRow(HWND combo, int row) {
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
        SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }

    bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

    static int ListSel(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)); }
    static int ComboSel(HWND combo) {
        return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    }

    // Row i of every control that shows editors must show entry i: its
    // description, and what tells it apart from entries of the same one.
    static void ExpectRowsPaired(HWND list, HWND vsFix, HWND noVsFix) {
        std::vector<std::wstring> entries;
        for (int i = 0; i < g_catalogue.count; ++i) {
            wchar_t row[kEditorRowUnits] = L"";
            EXPECT_EQ(1, EditorRowText(i, row));
            EXPECT_EQ(0, wcsncmp(row, g_catalogue.entries[i].description,
                                 wcslen(g_catalogue.entries[i].description)));
            entries.push_back(row);
        }
        EXPECT_EQ(entries, testutil::ListBoxItems(list));
        EXPECT_EQ(entries, testutil::ComboBoxItems(vsFix));
        EXPECT_EQ(entries, testutil::ComboBoxItems(noVsFix));
    }

    std::wstring TipText() const {
        wchar_t buf[1024] = L"";
        KalTipTextGetW(list_, buf);
        return buf;
    }

    static bool Japanese() { return testutil::TestLangId() == 1041; }

    testutil::TempDir dir_;
    HWND dialog_ = nullptr;
    HWND list_ = nullptr;
    HWND vsFix_ = nullptr;
    HWND noVsFix_ = nullptr;
};
