// The settings dialog: the editor list with its tooltip, the check box, the
// two rule groups with their fixed editors (the group without a .vs folder
// also lets the solution file's version line decide), OK and the rows of the
// three controls that show the catalogue.
#include "launcher.h"

#include "resource.h"

namespace {

struct DialogText {
    int id;
    const wchar_t* text;
};

// The English texts, in the order they are set. The OK button reads "OK" in
// both languages, and the dialog has no caption.
const DialogText kEnglishTexts[] = {
    {IDC_GRP_INSTALLED, L"Visual Studio installed"},
    {IDC_GRP_HOWTO, L"How to start Visual Studio"},
    {IDC_CHK_DELVS,
     L"If there is a .vs folder in the solution file (.sln) location, delete all files in the "
     L"folder."},
    {IDC_GRP_VS, L"Exist .vs folder in the solution file (.sln) location"},
    {IDC_RAD_VSMATCH,
     L"Start Visual Studio that supports the version folder (Vnn) under the .vs folder"},
    {IDC_RAD_VSFIX, L"Always start VisualStudio right"},
    {IDC_GRP_NOVS, L"Not Exist .vs folder at the location of the solution file (.sln)"},
    {IDC_RAD_NOVSASK, L"Select Visual Studio to start"},
    {IDC_RAD_NOVSFIX, L"Always start VisualStudio right"},
    {IDC_RAD_NOVSLINE,
     L"Start Visual Studio that matches the version line in the solution file"},
    {IDCANCEL, L"Cancel"},
};

const wchar_t kTipHeadingJa[] =
    L"インストールされている Visual Studio です。\n"
    L"最初は既定のフォルダ（\"Program files[ (x86)]\"）内のVisual Studio が表示されます。\n"
    L"追加する場合は、追加する Visual Studio (devenv.exe) をドロップしてください。";
const wchar_t kTipDetailsJa[] =
    L"インストールされている Visual Studio です。\n"
    L"最初は既定のフォルダ（\"Program files[ (x86)]\"）内のVisual Studio が表示されます。\n"
    L"追加する場合は、追加する Visual Studio (devenv.exe) をドロップしてください。"
    L"\n\n%s -\n  Version : %s\n  Path    : %s";
const wchar_t kTipHeadingEn[] =
    L"Visual Studio installed.\n"
    L"Initially, Visual Studio will be displayed, which is stored in the default folder "
    L"(\"Program files[ (x86)]\").\n"
    L"If you want to add it, please drop the devenv.exe you want to add.";
const wchar_t kTipDetailsEn[] =
    L"Visual Studio installed.\n"
    L"Initially, Visual Studio will be displayed, which is stored in the default folder "
    L"(\"Program files[ (x86)]\").\n"
    L"If you want to add it, please drop the devenv.exe you want to add."
    L"\n\n%s -\n  Version : %s\n  Path    : %s";

// The line under the editor list. With no editor at all it says so, since
// the empty list alone would not tell a user what to do next.
const wchar_t kDropHintJa[] =
    L"Visual Studio を追加するには、その devenv.exe をこの一覧にドロップしてください。";
const wchar_t kDropHintEn[] = L"To add a Visual Studio, drop its devenv.exe on this list.";
const wchar_t kNoEditorHintJa[] =
    L"Visual Studio が見つかりませんでした。"
    L"追加する Visual Studio の devenv.exe をこの一覧にドロップしてください。";
const wchar_t kNoEditorHintEn[] =
    L"No Visual Studio was found. Drop a devenv.exe on this list to add one.";
// The first start's discovery gave up waiting for Windows' list.
const wchar_t kListLateHintJa[] =
    L"Windows の Visual Studio の一覧が応答せず、Program Files にも見つかりませんでした。"
    L"devenv.exe をこの一覧にドロップして追加してください。";
const wchar_t kListLateHintEn[] =
    L"Windows' list of Visual Studio did not answer in time, and none was found in Program "
    L"Files. "
    L"Drop a devenv.exe on this list to add one.";

void ShowDropHint(HWND dialog, int count) {
    const int japanese = KalGetLangId() == kLangJapanese;
    const wchar_t* text = japanese ? kDropHintJa : kDropHintEn;
    if (count == 0 && g_state.discovery.fListLate) {
        text = japanese ? kListLateHintJa : kListLateHintEn;
    } else if (count == 0) {
        text = japanese ? kNoEditorHintJa : kNoEditorHintEn;
    }
    KalSetDlgItemStrW(dialog, IDC_TXT_DROPHINT, text);
}

// Keeps the in-memory choice in step with a combo box's new selection. Only
// the selected row counts: text typed into the edit field is never read.
int TakeComboSelection(HWND dialog, int comboId, WPARAM wParam, UINT* setting) {
    if (HIWORD(wParam) != CBN_SELCHANGE) return 1;
    LRESULT sel = SendDlgItemMessageW(dialog, comboId, CB_GETCURSEL, 0, 0);
    if (sel >= 0) *setting = static_cast<UINT>(sel);
    return 1;
}

}  // namespace

// The list box and both combo boxes sort themselves (their template says so),
// but their comparison is the window system's, which orders case-only
// differences, punctuation and non-ASCII text differently from the
// catalogue's own sort. Inserting by position never sorts, so row i stays
// catalogue entry i whatever the descriptions are, and every handler may take
// a row as a catalogue index. The line under the list follows the count, so a
// drop on an empty list turns its "none found" into the plain advice.
int SettingsFillEditorRows(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_LST_EDITORS);
    HWND vsFix = GetDlgItem(dialog, IDC_CBO_VSFIX);
    HWND noVsFix = GetDlgItem(dialog, IDC_CBO_NOVSFIX);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    SendMessageW(vsFix, CB_RESETCONTENT, 0, 0);
    SendMessageW(noVsFix, CB_RESETCONTENT, 0, 0);
    int count = g_catalogue.count;
    if (count < 0) count = 0;
    if (count > kCatalogueSlots) count = kCatalogueSlots;
    for (int i = 0; i < count; ++i) {
        wchar_t row[kEditorRowUnits] = L"";
        EditorRowText(i, row);
        const LPARAM text = reinterpret_cast<LPARAM>(row);
        SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(i), text);
        SendMessageW(vsFix, CB_INSERTSTRING, static_cast<WPARAM>(i), text);
        SendMessageW(noVsFix, CB_INSERTSTRING, static_cast<WPARAM>(i), text);
    }
    ShowDropHint(dialog, count);
    return count;
}

int SettingsInitDialog(HWND window, UINT, WPARAM, LPARAM) {
    if (KalGetLangId() != kLangJapanese) {
        for (const DialogText& item : kEnglishTexts) KalSetDlgItemStrW(window, item.id, item.text);
    }

    HWND list = GetDlgItem(window, IDC_LST_EDITORS);
    KalTipTextAddW(list, L"");
    KalTipTextSetCallBackW(list, window, 0, SettingsListTipText);
    KalMmpSetSubclass(list, "ListBox", ListBoxSubclassProc);

    // The group box frames the list; behind it in z-order it cannot paint
    // over the rows.
    SetWindowPos(GetDlgItem(window, IDC_GRP_INSTALLED), list, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);

    SettingsFillEditorRows(window);

    KalSbcRadioBtns(GetDlgItem(window, IDC_GRP_VS));
    KalSbcRadioBtns(GetDlgItem(window, IDC_GRP_NOVS));

    KalSetDlgItemChk(window, IDC_CHK_DELVS, g_settings.fDelVsFolder);
    KalSetDlgItemUInt(window, IDC_GRP_VS, g_settings.VsProc);
    KalSetDlgItemCboIx(window, IDC_CBO_VSFIX, g_settings.ixVsFix);
    KalSetDlgItemUInt(window, IDC_GRP_NOVS, g_settings.NoVsProc);
    KalSetDlgItemCboIx(window, IDC_CBO_NOVSFIX, g_settings.ixNoVsFix);

    // A stored index past the last row leaves its combo box without a
    // selection rather than showing another editor.
    SendDlgItemMessageW(window, IDC_CBO_VSFIX, CB_SETCURSEL, g_settings.ixVsFix, 0);
    SendDlgItemMessageW(window, IDC_CBO_NOVSFIX, CB_SETCURSEL, g_settings.ixNoVsFix, 0);
    return TRUE;
}

// The tooltip describes the selected row, not the row under the mouse: the
// user picks an editor and then reads where it lives.
wchar_t* SettingsListTipText(UINT_PTR, wchar_t* buf, int capacity, HWND owner) {
    if (buf == NULL || capacity <= 0) return buf;
    const int japanese = KalGetLangId() == kLangJapanese;
    LRESULT row = SendDlgItemMessageW(owner, IDC_LST_EDITORS, LB_GETCURSEL, 0, 0);
    const size_t units = static_cast<size_t>(capacity);
    if (row < 0 || row >= g_catalogue.count || row >= kCatalogueSlots) {
        KalSnPrintFW(buf, units, japanese ? kTipHeadingJa : kTipHeadingEn);
    } else {
        const EditorEntry& entry = g_catalogue.entries[row];
        KalSnPrintFW(buf, units, japanese ? kTipDetailsJa : kTipDetailsEn, entry.description,
                     entry.version, entry.folder);
    }
    return buf;
}

int SettingsVsFixChanged(HWND window, UINT, WPARAM wParam, LPARAM) {
    return TakeComboSelection(window, IDC_CBO_VSFIX, wParam, &g_settings.ixVsFix);
}

int SettingsNoVsFixChanged(HWND window, UINT, WPARAM wParam, LPARAM) {
    return TakeComboSelection(window, IDC_CBO_NOVSFIX, wParam, &g_settings.ixNoVsFix);
}

// Stores what the controls show; ixLstSel belongs to the choice dialog and
// goes back as it was loaded. Ending the frame ends the program.
int SettingsOk(HWND window, UINT, WPARAM, LPARAM) {
    g_settings.fDelVsFolder = KalGetDlgItemChk(window, IDC_CHK_DELVS);
    g_settings.VsProc = KalGetDlgItemUInt(window, IDC_GRP_VS);
    g_settings.ixVsFix = KalGetDlgItemCboIx(window, IDC_CBO_VSFIX);
    g_settings.NoVsProc = KalGetDlgItemUInt(window, IDC_GRP_NOVS);
    g_settings.ixNoVsFix = KalGetDlgItemCboIx(window, IDC_CBO_NOVSFIX);
    SaveSettings(&g_settings);
    DestroyWindow(g_state.hFrame);
    return 1;
}
