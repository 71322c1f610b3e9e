// The launcher's skeleton: the dialog templates and icon that Pikro.exe
// carries, taking the solution path, centring, and the real program's
// start-up, frame and ending.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "dialog_layout.h"
#include "launcher.h"
#include "resource.h"
#include "store_keys.h"
#include "testutil.h"

using namespace testutil;

namespace {

// ---------------------------------------------------------------------------
// Dialog templates and the icon, read from the built Pikro.exe loaded as
// data. This test program links the same .rc, but its own copy would not
// show a Pikro.exe built from another one.
// ---------------------------------------------------------------------------

// Pikro.exe's resources for the lifetime of the object.
class LauncherResources {
public:
    LauncherResources()
        : module_(LoadLibraryExW(ProgramPath(L"Pikro.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~LauncherResources() {
        if (module_) FreeLibrary(module_);
    }
    LauncherResources(const LauncherResources&) = delete;
    LauncherResources& operator=(const LauncherResources&) = delete;
    HMODULE get() const { return module_; }

private:
    HMODULE module_;
};

// The bytes of a resource of the module; null when it is missing.
const BYTE* ResourceData(HMODULE module, const wchar_t* type, int id, DWORD* size) {
    *size = 0;
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!res) return nullptr;
    *size = SizeofResource(module, res);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, res)));
}

struct TemplateItem {
    DWORD exStyle;
    DWORD style;
    short x, y, cx, cy;
    DWORD id;
    std::wstring cls;
    std::wstring text;
};

struct DialogTemplate {
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu, cls, title;
    WORD pointSize = 0, weight = 0;
    BYTE italic = 0, charset = 0;
    std::wstring face;
    std::vector<TemplateItem> items;
};

const WORD* Align4(const WORD* p, const BYTE* base) {
    size_t offset = reinterpret_cast<const BYTE*>(p) - base;
    return reinterpret_cast<const WORD*>(base + ((offset + 3) & ~size_t(3)));
}

// A name-or-ordinal field; ordinals of the predefined classes become names.
const WORD* ReadSzOrOrd(const WORD* p, std::wstring* out) {
    if (*p == 0xFFFF) {
        static const wchar_t* const kAtoms[] = {L"Button", L"Edit",      L"Static",
                                                L"ListBox", L"ScrollBar", L"ComboBox"};
        WORD atom = p[1];
        *out = (atom >= 0x80 && atom <= 0x85) ? kAtoms[atom - 0x80] : L"#" + std::to_wstring(atom);
        return p + 2;
    }
    const wchar_t* s = reinterpret_cast<const wchar_t*>(p);
    *out = s;
    return p + out->size() + 1;
}

template <typename T>
T Take(const BYTE*& p) {
    T value;
    memcpy(&value, p, sizeof(T));
    p += sizeof(T);
    return value;
}

int ReadTemplate(HMODULE module, int id, DialogTemplate* dlg) {
    DWORD size = 0;
    const BYTE* base = ResourceData(module, MAKEINTRESOURCEW(5), id, &size);  // RT_DIALOG
    if (!base || size < 26) return 0;
    const BYTE* p = base;
    if (Take<WORD>(p) != 1 || Take<WORD>(p) != 0xFFFF) return 0;  // DLGTEMPLATEEX
    Take<DWORD>(p);                                                // help id
    dlg->exStyle = Take<DWORD>(p);
    dlg->style = Take<DWORD>(p);
    WORD count = Take<WORD>(p);
    dlg->x = Take<short>(p);
    dlg->y = Take<short>(p);
    dlg->cx = Take<short>(p);
    dlg->cy = Take<short>(p);
    const WORD* w = reinterpret_cast<const WORD*>(p);
    w = ReadSzOrOrd(w, &dlg->menu);
    w = ReadSzOrOrd(w, &dlg->cls);
    w = ReadSzOrOrd(w, &dlg->title);
    p = reinterpret_cast<const BYTE*>(w);
    dlg->pointSize = Take<WORD>(p);
    dlg->weight = Take<WORD>(p);
    dlg->italic = Take<BYTE>(p);
    dlg->charset = Take<BYTE>(p);
    w = ReadSzOrOrd(reinterpret_cast<const WORD*>(p), &dlg->face);
    for (WORD i = 0; i < count; ++i) {
        p = reinterpret_cast<const BYTE*>(Align4(w, base));
        TemplateItem item;
        Take<DWORD>(p);  // help id
        item.exStyle = Take<DWORD>(p);
        item.style = Take<DWORD>(p);
        item.x = Take<short>(p);
        item.y = Take<short>(p);
        item.cx = Take<short>(p);
        item.cy = Take<short>(p);
        item.id = Take<DWORD>(p);
        w = ReadSzOrOrd(reinterpret_cast<const WORD*>(p), &item.cls);
        w = ReadSzOrOrd(w, &item.text);
        WORD extra = *w++;
        w = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(w) + extra);
        dlg->items.push_back(item);
    }
    return 1;
}

void ExpectDialogFrame(const DialogTemplate& dlg, short cx, short cy) {
    EXPECT_EQ(0x40080048u, dlg.style);
    EXPECT_EQ(0u, dlg.exStyle);
    EXPECT_EQ(0, dlg.x);
    EXPECT_EQ(0, dlg.y);
    EXPECT_EQ(cx, dlg.cx);
    EXPECT_EQ(cy, dlg.cy);
    EXPECT_EQ(L"", dlg.menu);
    EXPECT_EQ(L"", dlg.cls);
    EXPECT_EQ(L"", dlg.title);
    EXPECT_EQ(8, dlg.pointSize);
    EXPECT_EQ(400, dlg.weight);
    EXPECT_EQ(0, dlg.italic);
    EXPECT_EQ(1, dlg.charset);
    EXPECT_EQ(L"MS Shell Dlg", dlg.face);
}

void ExpectItems(const DialogTemplate& dlg, const std::vector<TemplateItem>& expected) {
    ASSERT_EQ(expected.size(), dlg.items.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const TemplateItem& e = expected[i];
        const TemplateItem& a = dlg.items[i];
        SCOPED_TRACE(testing::Message() << "item " << i << " id " << e.id);
        EXPECT_EQ(e.id, a.id);
        EXPECT_EQ(0, _wcsicmp(e.cls.c_str(), a.cls.c_str())) << a.cls;  // class names ignore case
        EXPECT_EQ(e.style, a.style);
        EXPECT_EQ(e.exStyle, a.exStyle);
        EXPECT_EQ(e.x, a.x);
        EXPECT_EQ(e.y, a.y);
        EXPECT_EQ(e.cx, a.cx);
        EXPECT_EQ(e.cy, a.cy);
        EXPECT_EQ(e.text, a.text);
    }
}

INT_PTR CALLBACK PlainDlgProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// The dialog manager builds the template from Pikro.exe into the controls
// the parse above found: the same ids, classes and texts in the same order,
// on a dialog of the template's size.
void ExpectDialogBuiltFromTemplate(HMODULE module, int id, const DialogTemplate& dlg) {
    HWND host = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 800, 600, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(host != nullptr);
    HWND dialog = CreateDialogParamW(module, MAKEINTRESOURCEW(id), host, PlainDlgProc, 0);
    EXPECT_TRUE(dialog != nullptr);
    if (dialog) {
        RECT units = {0, 0, dlg.cx, dlg.cy};
        MapDialogRect(dialog, &units);
        RECT client;
        GetClientRect(dialog, &client);
        EXPECT_EQ(units.right, client.right);
        EXPECT_EQ(units.bottom, client.bottom);
        size_t i = 0;
        for (HWND child = GetWindow(dialog, GW_CHILD); child && i < dlg.items.size();
             child = GetWindow(child, GW_HWNDNEXT), ++i) {
            const TemplateItem& item = dlg.items[i];
            SCOPED_TRACE(testing::Message() << "control " << i << " id " << item.id);
            EXPECT_EQ(item.id, static_cast<DWORD>(GetDlgCtrlID(child)));
            const std::wstring cls = ClassName(child);
            EXPECT_EQ(0, _wcsicmp(item.cls.c_str(), cls.c_str())) << ToUtf8(cls);
            EXPECT_EQ(item.text, WindowText(child));
        }
        EXPECT_EQ(dlg.items.size(), i);
    }
    DestroyWindow(host);
}

TEST(LauncherTemplates, SettingsDialogIsExactlyAsDesigned) {
    LauncherResources pikro;
    ASSERT_TRUE(pikro.get() != nullptr);
    DialogTemplate dlg;
    ASSERT_EQ(1, ReadTemplate(pikro.get(), IDD_SETTINGS, &dlg));
    ExpectDialogFrame(dlg, 363, 259);
    const std::wstring same = L"常に、右の VisualStudio を起動";
    ExpectItems(
        dlg,
        {{0, 0x50010001, 249, 238, 50, 14, IDOK, L"Button", L"OK"},
         {0, 0x50010000, 306, 238, 50, 14, IDCANCEL, L"Button", L"キャンセル"},
         {0, 0x50000007, 7, 7, 349, 80, IDC_GRP_INSTALLED, L"Button", L"インストール済の Visual Studio"},
         {0x10, 0x50A10103, 15, 20, 331, 44, IDC_LST_EDITORS, L"ListBox", L""},
         {0, 0x50000080, 15, 67, 331, 16, IDC_TXT_DROPHINT, L"Static",
          L"Visual Studio を追加するには、その devenv.exe をこの一覧にドロップしてください。"},
         {0, 0x50000007, 7, 91, 349, 146, IDC_GRP_HOWTO, L"Button", L"Visual Studio 起動方法"},
         {0, 0x50012003, 15, 102, 333, 18, IDC_CHK_DELVS, L"Button",
          L"ソリューションファイル(.sln)位置に、.vsフォルダがある場合、フォルダ内の全ファイルを削除する。"},
         {0, 0x50020007, 14, 126, 334, 46, IDC_GRP_VS, L"Button",
          L"ソリューションファイル(.sln)の位置に .vs フォルダがある場合"},
         {0, 0x50000009, 29, 139, 312, 9, IDC_RAD_VSMATCH, L"Button",
          L".vs フォルダ下のバージョンフォルダ(Vnn)に対応したVisualStudioを起動する"},
         {0, 0x50000009, 29, 152, 140, 9, IDC_RAD_VSFIX, L"Button", same},
         {0, 0x50210102, 175, 151, 162, 55, IDC_CBO_VSFIX, L"ComboBox", L""},
         {0, 0x50020007, 14, 176, 334, 56, IDC_GRP_NOVS, L"Button",
          L"ソリューションファイル(.sln)の位置に .vs フォルダが無い場合"},
         {0, 0x50210102, 175, 200, 162, 55, IDC_CBO_NOVSFIX, L"ComboBox", L""},
         {0, 0x50000009, 29, 187, 313, 11, IDC_RAD_NOVSASK, L"Button", L"起動する VisualStudio を選択する"},
         {0, 0x50000009, 29, 201, 140, 8, IDC_RAD_NOVSFIX, L"Button", same},
         {0, 0x50000009, 29, 215, 313, 9, IDC_RAD_NOVSLINE, L"Button",
          L"ソリューションファイルのバージョン行に対応した VisualStudio を起動する"}});
    ExpectDialogBuiltFromTemplate(pikro.get(), IDD_SETTINGS, dlg);
}

TEST(LauncherTemplates, ChoiceDialogIsExactlyAsDesigned) {
    LauncherResources pikro;
    ASSERT_TRUE(pikro.get() != nullptr);
    DialogTemplate dlg;
    ASSERT_EQ(1, ReadTemplate(pikro.get(), IDD_CHOOSE, &dlg));
    ExpectDialogFrame(dlg, 366, 147);
    ExpectItems(dlg,
                {{0, 0x50010001, 253, 126, 50, 14, IDOK, L"Button", L"OK"},
                 {0, 0x50010000, 309, 126, 50, 14, IDCANCEL, L"Button", L"キャンセル"},
                 {0, 0x50000007, 7, 7, 349, 83, IDC_GRP_INSTALLED, L"Button",
                  L"インストール済の Visual Studio"},
                 {0, 0x50A10103, 15, 20, 331, 60, IDC_LST_EDITORS, L"ListBox", L""},
                 {0, 0x50008081, 7, 95, 352, 10, IDC_TXT_SOLUTION, L"Static", L""},
                 {0, 0x50020001, 7, 108, 352, 14, IDC_TXT_CHOOSE, L"Static",
                  L"起動する Visual Studio を選択してください。"}});
    ExpectDialogBuiltFromTemplate(pikro.get(), IDD_CHOOSE, dlg);
}

// The dialog as the dialog manager builds it, in pixels of this machine's
// font (a combo box takes its closed height from the font, not from the
// template): every control lies inside the client area, no two controls
// that are not group boxes overlap, and group boxes either nest or stay
// apart.
void ExpectControlsApartAndInside(HMODULE module, int id) {
    HWND host = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 800, 600, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(host != nullptr);
    HWND dialog = CreateDialogParamW(module, MAKEINTRESOURCEW(id), host, PlainDlgProc, 0);
    ASSERT_TRUE(dialog != nullptr);
    dialog_layout::ExpectControlsApartAndInside(dialog);
    DestroyWindow(host);
}

TEST(LauncherTemplates, ControlsNeitherOverlapNorLeaveTheDialog) {
    LauncherResources pikro;
    ASSERT_TRUE(pikro.get() != nullptr);
    {
        SCOPED_TRACE("settings");
        ExpectControlsApartAndInside(pikro.get(), IDD_SETTINGS);
    }
    {
        SCOPED_TRACE("choice");
        ExpectControlsApartAndInside(pikro.get(), IDD_CHOOSE);
    }
}

// The rule group without a .vs folder holds its three buttons in order,
// the fixed-editor combo box beside the second, and OK and Cancel stay
// below the group that holds them all.
TEST(LauncherTemplates, ThirdRuleButtonSitsBelowTheFixedEditor) {
    LauncherResources pikro;
    ASSERT_TRUE(pikro.get() != nullptr);
    HWND host = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 800, 600, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(host != nullptr);
    HWND dialog = CreateDialogParamW(pikro.get(), MAKEINTRESOURCEW(IDD_SETTINGS), host,
                                     PlainDlgProc, 0);
    ASSERT_TRUE(dialog != nullptr);
    auto rect = [dialog](int id) {
        return dialog_layout::RectInDialog(dialog, GetDlgItem(dialog, id));
    };
    const RECT group = rect(IDC_GRP_NOVS);
    const RECT ask = rect(IDC_RAD_NOVSASK);
    const RECT fix = rect(IDC_RAD_NOVSFIX);
    const RECT line = rect(IDC_RAD_NOVSLINE);
    const RECT combo = rect(IDC_CBO_NOVSFIX);
    EXPECT_TRUE(dialog_layout::Inside(line, group));
    EXPECT_EQ(ask.left, line.left);
    EXPECT_LT(ask.bottom, line.top);
    EXPECT_LE(fix.bottom, line.top);
    EXPECT_LE(combo.bottom, line.top);
    EXPECT_GT(combo.left, fix.right);
    EXPECT_LT(combo.top, fix.bottom);
    EXPECT_GT(combo.bottom, fix.top);
    EXPECT_LE(rect(IDC_GRP_HOWTO).bottom, rect(IDOK).top);
    EXPECT_EQ(rect(IDOK).top, rect(IDCANCEL).top);
    // The button follows the other two in z-order, so the group box's radio
    // collection reaches it before the next group begins.
    EXPECT_EQ(GetDlgItem(dialog, IDC_RAD_NOVSLINE),
              GetWindow(GetDlgItem(dialog, IDC_RAD_NOVSFIX), GW_HWNDNEXT));
    EXPECT_FALSE(GetWindowLongPtrW(GetDlgItem(dialog, IDC_RAD_NOVSLINE), GWL_STYLE) & WS_GROUP);
    DestroyWindow(host);
}

// The icon group as windres writes it from Pikro.ico: a directory of
// 14-byte entries, each naming an RT_ICON resource by its id.
#pragma pack(push, 2)
struct GroupIconDir {
    WORD reserved;
    WORD type;  // 1: icons
    WORD count;
};
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;  // 0 for 256 colours and more
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconDir) == 6, "GRPICONDIR is 6 bytes");
static_assert(sizeof(GroupIconEntry) == 14, "GRPICONDIRENTRY is 14 bytes");

// Every size Windows asks an application icon for, so that no view at any
// scale stretches a smaller image: 32-bit images with alpha stored whole (a
// BITMAPINFOHEADER of that size whose height counts the colour image and the
// mask, 4 bytes a pixel, the 1-bit mask in rows padded to 4 bytes), and the
// 256-pixel one as PNG, as Windows stores large icons. Loading the icon by
// size would not show a missing image: Windows scales another one.
TEST(LauncherTemplates, IconHasEverySizeWindowsAsksFor) {
    static const BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    LauncherResources pikro;
    ASSERT_TRUE(pikro.get() != nullptr);
    DWORD size = 0;
    const BYTE* group =
        ResourceData(pikro.get(), MAKEINTRESOURCEW(14), IDI_PIKRO, &size);  // RT_GROUP_ICON
    ASSERT_TRUE(group != nullptr);
    ASSERT_GE(size, sizeof(GroupIconDir));
    GroupIconDir dir;
    memcpy(&dir, group, sizeof(dir));
    EXPECT_EQ(0, dir.reserved);
    EXPECT_EQ(1, dir.type);
    ASSERT_EQ(sizeof(GroupIconDir) + dir.count * sizeof(GroupIconEntry), size);

    std::vector<int> sizes;
    for (WORD i = 0; i < dir.count; ++i) {
        GroupIconEntry entry;
        memcpy(&entry, group + sizeof(GroupIconDir) + i * sizeof(GroupIconEntry), sizeof(entry));
        SCOPED_TRACE(testing::Message() << "image " << i << " id " << entry.id);
        const int side = entry.width == 0 ? 256 : entry.width;  // 0 stands for 256
        sizes.push_back(side);
        EXPECT_EQ(entry.width, entry.height);
        EXPECT_EQ(0, entry.colourCount);
        EXPECT_EQ(1, entry.planes);
        EXPECT_EQ(32, entry.bitCount);

        DWORD imageSize = 0;
        const BYTE* image =
            ResourceData(pikro.get(), MAKEINTRESOURCEW(3), entry.id, &imageSize);  // RT_ICON
        ASSERT_TRUE(image != nullptr);
        EXPECT_EQ(entry.bytesInRes, imageSize);
        ASSERT_GE(imageSize, sizeof(BITMAPINFOHEADER));
        if (side == 256) {
            EXPECT_EQ(0, memcmp(image, kPngSignature, sizeof(kPngSignature)));
            continue;
        }
        BITMAPINFOHEADER header;
        memcpy(&header, image, sizeof(header));
        EXPECT_EQ(sizeof(BITMAPINFOHEADER), header.biSize);
        EXPECT_EQ(side, header.biWidth);
        EXPECT_EQ(side * 2, header.biHeight);
        EXPECT_EQ(1, header.biPlanes);
        EXPECT_EQ(32, header.biBitCount);
        EXPECT_EQ(static_cast<DWORD>(BI_RGB), header.biCompression);
        const DWORD maskRow = (side + 31) / 32 * 4;
        EXPECT_EQ(sizeof(BITMAPINFOHEADER) + (4 * side + maskRow) * side, imageSize);

        // The system makes an icon of that size from it.
        HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(image), imageSize, TRUE, 0x00030000,
                                              side, side, LR_DEFAULTCOLOR);
        ASSERT_TRUE(icon != nullptr);
        ICONINFO info;
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm;
        ASSERT_TRUE(GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm));
        EXPECT_EQ(side, bm.bmWidth);
        DeleteObject(info.hbmMask);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        DestroyIcon(icon);
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ((std::vector<int>{16, 20, 24, 32, 40, 48, 64, 256}), sizes);
}

// ---------------------------------------------------------------------------
// Taking the solution path and centring.
// ---------------------------------------------------------------------------

TEST(LauncherCommandLine, QuotedUnquotedTrailingAndEmpty) {
    ASSERT_EQ(1, TakeSolutionPath(L"\"C:\\My Projects\\App One\\App.sln\""));
    EXPECT_STREQ(L"C:\\My Projects\\App One\\App.sln", g_state.szSlnPath);
    ASSERT_EQ(1, TakeSolutionPath(L"C:\\My Projects\\App One\\App.sln"));
    EXPECT_STREQ(L"C:\\My Projects\\App One\\App.sln", g_state.szSlnPath);
    ASSERT_EQ(1, TakeSolutionPath(L"\"C:\\a b\\App.sln\" /extra \"more\""));
    EXPECT_STREQ(L"C:\\a b\\App.sln", g_state.szSlnPath);
    ASSERT_EQ(1, TakeSolutionPath(L""));
    EXPECT_STREQ(L"", g_state.szSlnPath);
    ASSERT_EQ(1, TakeSolutionPath(L"\"\""));
    EXPECT_STREQ(L"", g_state.szSlnPath);
}

// A relative path is made whole against the current folder, as a console
// user means it; an absolute one comes out the same, tidied. The switch of
// the right-click verb goes before a path in any of its forms; a path that
// only looks like it stays a path.
TEST(LauncherCommandLine, RelativePathsAreMadeAbsolute) {
    TempDir dir(kTempBlanks);
    wchar_t saved[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(MakeFolders(dir.Sub(L"Work\\Console")));
    ASSERT_TRUE(SetCurrentDirectoryW(dir.Sub(L"Work\\Console").c_str()));
    const std::wstring root = dir.Path().substr(0, 2);
    const struct {
        std::wstring commandLine;
        std::wstring path;  // empty: refused
        int forceChoice;
    } cases[] = {
        {L"App.sln", dir.Sub(L"Work\\Console\\App.sln"), 0},
        {L"\"App.slnx\"", dir.Sub(L"Work\\Console\\App.slnx"), 0},
        {L"..\\Other Dir\\App.sln", dir.Sub(L"Work\\Other Dir\\App.sln"), 0},
        {L".\\a\\..\\App.slnx", dir.Sub(L"Work\\Console\\App.slnx"), 0},
        {dir.Sub(L"Work\\.\\Console\\..\\App.sln"), dir.Sub(L"Work\\App.sln"), 0},
        // Climbing up to a drive's root names no solution.
        {dir.Path().substr(0, 2) + L"\\..", L"", 0},
        {L"\\", L"", 0},
        {L"/choose App.sln", dir.Sub(L"Work\\Console\\App.sln"), 1},
        {L"/CHOOSE \"..\\Other Dir\\App.sln\" /x", dir.Sub(L"Work\\Other Dir\\App.sln"), 1},
        {L"/Choose \t \"App.slnx\"", dir.Sub(L"Work\\Console\\App.slnx"), 1},
        {L"/choose " + dir.Sub(L"Work\\My App.sln"), dir.Sub(L"Work\\My App.sln"), 1},
        {L"/choose /choose App.sln", root + L"\\choose App.sln", 1},
        // The switch without a solution opens nothing, not even the settings.
        {L"/choose", L"", 0},
        {L"/choose   ", L"", 0},
        {L"/choose \"\"", L"", 0},
        {L"/choose \"App\\\"", L"", 0},
        // Quoted, glued to more text, or another switch's spelling: a path.
        {L"\"/choose\"", root + L"\\choose", 0},
        {L"\"/choose App.sln\"", root + L"\\choose App.sln", 0},
        {L"/chooser.sln", root + L"\\chooser.sln", 0},
        {L"/choose.sln", root + L"\\choose.sln", 0},
        {L"-choose.sln", dir.Sub(L"Work\\Console\\-choose.sln"), 0},
        {L"-choose App.sln", dir.Sub(L"Work\\Console\\-choose App.sln"), 0},
        {L"choose.sln", dir.Sub(L"Work\\Console\\choose.sln"), 0},
        {L"\"App.sln\" /choose", dir.Sub(L"Work\\Console\\App.sln"), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.commandLine));
        g_state.fForceChoice = 1 - c.forceChoice;
        EXPECT_EQ(c.path.empty() ? 0 : 1, TakeSolutionPath(c.commandLine.c_str()));
        EXPECT_EQ(c.path, std::wstring(g_state.szSlnPath));
        EXPECT_EQ(c.forceChoice, g_state.fForceChoice);
    }
    SetCurrentDirectoryW(saved);
}

TEST(LauncherCommandLine, OverlongPathIsRefusedNotCut) {
    std::wstring fits = L"C:\\" + std::wstring(1016, L'x') + L".sln";  // 1023 units
    ASSERT_EQ(1, TakeSolutionPath(fits.c_str()));
    EXPECT_EQ(fits, g_state.szSlnPath);
    std::wstring longer = L"\"" + fits + L"x\"";
    EXPECT_EQ(-1, TakeSolutionPath(longer.c_str()));
    EXPECT_STREQ(L"", g_state.szSlnPath);
    // A path ending in a backslash is refused the same way: the editor would
    // read its closing \" as a quote.
    EXPECT_EQ(0, TakeSolutionPath(L"\"C:\\src\\App\\\""));
    EXPECT_STREQ(L"", g_state.szSlnPath);
    EXPECT_EQ(0, TakeSolutionPath(L"C:\\src\\App\\"));
    // A short quoted path followed by a long tail is still taken.
    std::wstring tail = L"\"C:\\a.sln\" " + std::wstring(3000, L'y');
    ASSERT_EQ(1, TakeSolutionPath(tail.c_str()));
    EXPECT_STREQ(L"C:\\a.sln", g_state.szSlnPath);
}

TEST(LauncherCentring, DropsTheFractionTowardZero) {
    RECT monitor = {0, 0, 1920, 1080};
    RECT frame = {0, 0, 600, 301};
    int x = 0, y = 0;
    CentredPosition(&monitor, &frame, &x, &y);
    EXPECT_EQ(660, x);
    EXPECT_EQ(389, y);
    RECT tall = {100, 100, 700, 100 + 1080 + 21};
    CentredPosition(&monitor, &tall, &x, &y);
    EXPECT_EQ(-10, y);
    RECT shifted = {-1920, 0, 0, 1080};
    CentredPosition(&shifted, &frame, &x, &y);
    EXPECT_EQ(-1920 + 660, x);
}

// ---------------------------------------------------------------------------
// The real program.
// ---------------------------------------------------------------------------

// The windows a process creates, seen through the system's
// EVENT_OBJECT_CREATE notifications. The hook is out of context: the
// notifications reach this thread while it pumps messages (EndProgram
// does), and the class of each window is read then. A window already
// destroyed by then counts as gone; under Wine 8 even the launcher's frame
// that lives only a moment is still there to be read.
struct CreatedWindows {
    std::vector<std::wstring> classes;
    int gone = 0;
    int shown = 0;  // windows shown (EVENT_OBJECT_SHOW), message boxes too
};
CreatedWindows* g_created = nullptr;

void CALLBACK OnWindowCreated(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                              DWORD, DWORD) {
    if (!g_created || !window || object != OBJID_WINDOW || child != CHILDID_SELF) return;
    if (event == EVENT_OBJECT_SHOW) ++g_created->shown;
    if (event != EVENT_OBJECT_CREATE) return;
    wchar_t cls[256];
    if (GetClassNameW(window, cls, _countof(cls)))
        g_created->classes.push_back(cls);
    else
        ++g_created->gone;
}

// Runs program with args to its end (at most 20 s) with a watch on the
// windows its process creates, set while the process is still suspended so
// that none escapes it; meanwhile (when given) answers the program's windows
// with the process id. Returns 1 when the program ended in time.
int RunWatchingWindows(const std::wstring& program, const std::wstring& args,
                       CreatedWindows* seen, DWORD* exitCode,
                       const std::function<void(DWORD)>& meanwhile = nullptr) {
    std::wstring line = QuoteArg(program) + L" " + args;
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << ToUtf8(line);
        return 0;
    }
    g_created = seen;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr,
                                         OnWindowCreated, process.dwProcessId, 0,
                                         WINEVENT_OUTOFCONTEXT);
    EXPECT_TRUE(hook != nullptr);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    if (meanwhile) meanwhile(process.dwProcessId);
    int ended = EndProgram(process.hProcess, 20000, exitCode);
    // Notifications still queued are handled now (their windows are gone).
    PumpMessages(100);
    if (hook) UnhookWinEvent(hook);
    g_created = nullptr;
    return ended;
}

int Count(const std::vector<std::wstring>& names, const wchar_t* name) {
    return static_cast<int>(std::count(names.begin(), names.end(), std::wstring(name)));
}

class LauncherProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ResetStore();
        // A copy of the installed layout, so the program reads its own version.
        install_ = dir_.Sub(L"Pikro");
        ASSERT_TRUE(MakeFolders(install_));
        ASSERT_TRUE(CopyFileW(ProgramPath(L"Pikro.exe").c_str(),
                              JoinPath(install_, L"Pikro.exe").c_str(), FALSE));
    }
    void TearDown() override { ResetStore(); }

    void StoreOneEditor() {
        std::wstring folder = dir_.Sub(L"VS\\Common7\\IDE");
        ASSERT_TRUE(WriteFileBytes(JoinPath(folder, L"devenv.exe"), "MZ"));
        PutStoreCatalogue({{L"Visual Studio 2022", L"17.8.0", folder}});
    }

    std::wstring Launcher() const { return JoinPath(install_, L"Pikro.exe"); }

    TempDir dir_;
    std::wstring install_;
};

// The launcher is never silent about having no editor. Started alone it
// shows its settings dialog with the empty list and a line telling the user
// to drop a devenv.exe on it; started with a solution it creates no frame
// but says in a message box, named after the solution's file, that no Visual
// Studio was found and how to add one. The exit code is 0 either way. The
// watch is first shown to see the frame of a run that has an editor to
// offer.
//
// A user without any catalogue has the launcher look for editors first;
// when it finds none, nothing is stored, so that the next start looks
// again. An empty catalogue (every editor dropped) is a catalogue: nothing
// is looked for, even with editors on disk.
class LauncherProgramLang : public LauncherProgram {};

TEST_F(LauncherProgramLang, NoEditorOpensTheSettingsAloneAndTellsASolutionSo) {
    StoreOneEditor();
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"App\\.vs\\App\\v17")));
    CreatedWindows started;
    DWORD code = 99;
    // The frame stays while the list waits for the user, so the watch sees
    // it however quickly the launcher starts.
    auto choiceShown = [](DWORD pid) {
        HWND frame = WaitForWindow(L"PikroBack", nullptr, pid, 20000, true);
        ASSERT_TRUE(frame != nullptr);
        HWND dialog = FindWindowExW(frame, nullptr, L"#32770", nullptr);
        ASSERT_TRUE(dialog != nullptr);
        ClickButton(dialog, IDCANCEL);
    };
    ASSERT_EQ(1, RunWatchingWindows(Launcher(), L"/choose " + QuoteArg(dir_.Sub(L"App\\App.sln")),
                                    &started, &code, choiceShown));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(1, Count(started.classes, L"PikroBack"));

    const bool japanese = TestLangId() == 1041;
    const std::wstring plainHint =
        japanese ? L"Visual Studio が見つかりませんでした。"
                   L"追加する Visual Studio の devenv.exe をこの一覧にドロップしてください。"
                 : L"No Visual Studio was found. Drop a devenv.exe on this list to add one.";
    const std::wstring plainTold =
        japanese ? L"Visual Studio が見つからないため、\"My App.sln\" を開けません。\n\n"
                   L"追加するには、ソリューションを指定せずに Travuna (Pikro.exe) を起動し、"
                   L"Visual Studio の一覧に devenv.exe をドロップしてください。"
                   L"Visual Studio をインストールした後で PikroInstall.exe を実行し直しても追加されます。"
                 : L"No Visual Studio was found, so \"My App.sln\" cannot be opened.\n\n"
                   L"To add one, start Travuna (Pikro.exe) without a solution and drop a devenv.exe "
                   L"on its list of Visual Studio, or run PikroInstall.exe again after installing "
                   L"Visual Studio.";
    // Windows' list that never answers is named as such, beside what the
    // Program Files search found: nothing.
    const std::wstring lateHint =
        japanese ? L"Windows の Visual Studio の一覧が応答せず、Program Files にも見つかりませんでした。"
                   L"devenv.exe をこの一覧にドロップして追加してください。"
                 : L"Windows' list of Visual Studio did not answer in time, and none was found in "
                   L"Program Files. Drop a devenv.exe on this list to add one.";
    const std::wstring lateTold =
        japanese ? L"Windows の Visual Studio の一覧が 5 秒以内に応答せず、Program Files フォルダの検索でも"
                   L"追加できる Visual Studio が見つからなかったため、\"My App.sln\" を開けません。\n\n"
                   L"ソリューションをもう一度開くと、一覧に再び問い合わせます。自分で追加するには、"
                   L"ソリューションを指定せずに Travuna (Pikro.exe) を起動し、"
                   L"Visual Studio の一覧に devenv.exe をドロップしてください。"
                 : L"Windows' list of installed Visual Studio did not answer within 5 seconds, and the "
                   L"search of the Program Files folders found no Visual Studio that could be added, "
                   L"so \"My App.sln\" cannot be opened.\n\n"
                   L"Open the solution again to ask the list once more. To add a Visual Studio "
                   L"yourself, start Travuna (Pikro.exe) without a solution and drop a devenv.exe on "
                   L"its list of Visual Studio.";
    std::wstring hint = plainHint;
    std::wstring told = plainTold;
    // Started alone: the settings dialog, its list empty, the line under it
    // saying what to do; Cancel ends the launcher.
    auto settingsShown = [&](DWORD pid) {
        HWND frame = WaitForWindow(L"PikroBack", nullptr, pid, 20000, true);
        ASSERT_TRUE(frame != nullptr);
        HWND dialog = FindWindowExW(frame, nullptr, L"#32770", nullptr);
        ASSERT_TRUE(dialog != nullptr);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(0u, ListBoxItems(GetDlgItem(dialog, IDC_LST_EDITORS)).size());
        EXPECT_EQ(0u, ComboBoxItems(GetDlgItem(dialog, IDC_CBO_VSFIX)).size());
        EXPECT_EQ(hint, ControlText(dialog, IDC_TXT_DROPHINT));
        ClickButton(dialog, IDCANCEL);
    };
    // Started with a solution: the message, and OK ends the launcher.
    auto messageShown = [&](DWORD pid) {
        HWND box = WaitForMessageBox(L"Travuna", pid, 20000);
        ASSERT_TRUE(box != nullptr);
        EXPECT_EQ(told, MessageBoxText(box));
        EXPECT_EQ(1, CloseMessageBox(box));
    };

    SystemVisualStudios installs;
    FakeSetupConfiguration server;
    ASSERT_TRUE(server.Ready());
    struct Case {
        const char* what;
        bool emptyCatalogue;  // "Count" 0 stored
        bool editorsOnDisk;   // one in Program Files, one only in Windows' list
        bool listStalls;      // Windows' list never answers
    } cases[] = {
        {"no catalogue, nothing to find", false, false, false},
        {"an empty catalogue, editors on disk", true, true, false},
        {"no catalogue, the list never answers", false, false, true},
    };
    const std::wstring modes[] = {L"", QuoteArg(dir_.Sub(L"a b\\My App.sln"))};
    for (const Case& c : cases) {
        ResetStore();
        ASSERT_TRUE(RemoveSystemVisualStudios());
        ASSERT_TRUE(server.List({}, false, false, c.listStalls ? 0 : -1));
        hint = c.listStalls ? lateHint : plainHint;
        told = c.listStalls ? lateTold : plainTold;
        if (c.emptyCatalogue) {
            ASSERT_TRUE(PutStoreDword(kSectVsInst, kKeyCount, 0));
        }
        if (c.editorsOnDisk) {
            ASSERT_NE(L"", CreateFakeDevenv(JoinPath(SystemProgramFiles(false),
                                                     L"Microsoft Visual Studio 14.0\\Common7\\IDE"),
                                            L"Visual Studio 2015", L"14.0"));
            ASSERT_NE(L"", CreateFakeDevenv(dir_.Sub(L"VS 2022\\Common7\\IDE"),
                                            L"Visual Studio 2022", L"17.8.3"));
            ASSERT_TRUE(server.List({{dir_.Sub(L"VS 2022")}}));
        }
        for (const std::wstring& args : modes) {
            SCOPED_TRACE(c.what + (" " + ToUtf8(args)));
            const bool alone = args.empty();
            CreatedWindows seen;
            code = 99;
            ASSERT_EQ(1, RunWatchingWindows(Launcher(), args, &seen, &code,
                                            alone ? std::function<void(DWORD)>(settingsShown)
                                                  : std::function<void(DWORD)>(messageShown)));
            EXPECT_EQ(0u, code);
            EXPECT_EQ(alone ? 1 : 0, Count(seen.classes, L"PikroBack"));
            EXPECT_EQ(StoreValueNames(kSectVsInst),
                      c.emptyCatalogue ? std::vector<std::wstring>{kKeyCount} : std::vector<std::wstring>{});
            EXPECT_FALSE(StoreSectionExists(kSectProfiles));
        }
    }
    ASSERT_TRUE(RemoveSystemVisualStudios());
    ResetStore();
    // An entry whose editor is gone counts as none, and is dropped.
    PutStoreCatalogue({{L"Gone", L"1", dir_.Sub(L"nothing")}});
    hint = plainHint;
    CreatedWindows seen;
    code = 99;
    ASSERT_EQ(1, RunWatchingWindows(Launcher(), L"", &seen, &code, settingsShown));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(1, Count(seen.classes, L"PikroBack"));
    DWORD count = 9;
    GetStoreDword(kSectVsInst, kKeyCount, &count);
    EXPECT_EQ(0u, count);
}

// A user's first start asks Windows' list of instances with a deadline. A
// list that never answers costs that start a few seconds, never the start:
// a double-click opens the editor the version folder names among those the
// walk found. One that answers after the launcher stopped waiting changes
// nothing, and the launcher, its settings dialog open, runs on unharmed.
TEST_F(LauncherProgram, AStalledListOfInstancesOnlyDelaysTheFirstStart) {
    SystemVisualStudios installs;
    FakeSetupConfiguration server;
    ASSERT_TRUE(server.Ready());
    ASSERT_TRUE(MakeFolders(JoinPath(install_, L"PikroExec")));
    ASSERT_TRUE(CopyFileW(ProgramPath(L"PikroExec\\PikroExec.exe").c_str(),
                          JoinPath(install_, L"PikroExec\\PikroExec.exe").c_str(), FALSE));
    const std::wstring vs2019 = JoinPath(SystemProgramFiles(false),
                                         L"Microsoft Visual Studio\\2019\\Community\\Common7\\IDE");
    ASSERT_NE(L"", CreateFakeDevenv(vs2019, L"Visual Studio 2019", L"16.11.5"));
    ASSERT_NE(L"", CreateFakeDevenv(dir_.Sub(L"VS 2022\\Common7\\IDE"), L"Visual Studio 2022",
                                    L"17.8.3"));
    const std::wstring sln = dir_.Sub(L"App\\App.sln");
    ASSERT_TRUE(WriteFileBytes(sln, "Microsoft Visual Studio Solution File\r\n"));
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"App\\.vs\\App\\v16")));
    struct Case {
        const char* what;
        int stallMs;
        bool settings;
    } cases[] = {
        {"never answers, a double-click", 0, false},
        {"answers too late, the settings", kInstanceListDeadlineMs + 2000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetStore();
        ASSERT_TRUE(server.List({{dir_.Sub(L"VS 2022")}}, false, false, c.stallMs));
        const ULONGLONG started = GetTickCount64();
        DWORD code = 99;
        if (!c.settings) {
            ASSERT_TRUE(RunProgram(Launcher(), QuoteArg(sln), L"", 30000, &code));
            EXPECT_EQ(0u, code);
            EXPECT_LT(GetTickCount64() - started, kInstanceListDeadlineMs + 10000ull);
            ASSERT_TRUE(WaitForFakeDevenvLog(vs2019, 1, 20000));
            EXPECT_EQ(ReadFakeDevenvLog(vs2019).back().commandLine,
                      L"\"" + vs2019 + L"\\devenv.exe\" \"" + sln + L"\"");
        } else {
            DWORD pid = 0;
            HANDLE process = StartProgram(Launcher(), L"", L"", &pid);
            ASSERT_TRUE(process != nullptr);
            HWND frame = WaitForWindow(L"PikroBack", nullptr, pid, 20000, true);
            HWND dialog = frame ? FindWindowExW(frame, nullptr, L"#32770", nullptr) : nullptr;
            EXPECT_TRUE(dialog != nullptr);
            if (dialog) {
                EXPECT_EQ(ListBoxItems(GetDlgItem(dialog, IDC_LST_EDITORS)),
                          std::vector<std::wstring>{L"Visual Studio 2019"});
                // Past the moment the list answers, the launcher runs on.
                while (GetTickCount64() - started < static_cast<ULONGLONG>(c.stallMs) + 2000) Sleep(100);
                EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(process, 0));
                ClickButton(dialog, IDCANCEL);
            }
            EXPECT_TRUE(EndProgram(process, 20000, &code));
            EXPECT_EQ(0u, code);
        }
        std::wstring line;
        EXPECT_TRUE(GetStoreString(kSectVsInst, L"VS00", &line));
        EXPECT_EQ(L"Visual Studio 2019;16.11.5;" + vs2019, line);
        EXPECT_FALSE(StoreValueExists(kSectVsInst, L"VS01"));
    }
}

// A path too long for the launcher is refused, not cut, and the user is
// told the limit: 1,100 units as given, and a shorter one that only making
// it whole takes past the limit.
TEST_F(LauncherProgramLang, OverlongPathIsRefusedInWordsWithoutAFrame) {
    StoreOneEditor();
    const std::wstring told =
        TestLangId() == 1041
            ? L"このソリューションは開けません。フルパスが 1024 文字以上あり、Travuna が開けるのは"
              L"フルパスがそれより短いソリューションだけです。\n\n"
              L"ソリューションをパスの短いフォルダに移すか、Visual Studio から開いてください。"
            : L"This solution cannot be opened: its full path is 1024 characters or longer, and "
              L"Travuna opens only solutions whose full path is shorter.\n\n"
              L"Move the solution to a folder with a shorter path, or open it from Visual Studio.";
    auto messageShown = [&](DWORD pid) {
        HWND box = WaitForMessageBox(L"Travuna", pid, 20000);
        ASSERT_TRUE(box != nullptr);
        EXPECT_EQ(told, MessageBoxText(box));
        EXPECT_EQ(1, CloseMessageBox(box));
    };
    const std::wstring given = L"C:\\src\\" + std::wstring(1090, L'p') + L".sln";
    const std::wstring relative = std::wstring(1010, L'r') + L".sln";
    for (const std::wstring& args : {QuoteArg(given), L"/choose " + given, relative}) {
        CreatedWindows seen;
        DWORD code = 99;
        ASSERT_EQ(1, RunWatchingWindows(Launcher(), args, &seen, &code, messageShown));
        EXPECT_EQ(0u, code);
        EXPECT_EQ(0, Count(seen.classes, L"PikroBack"));
    }
}

// Settings mode: the frame and the dialog are visible at once, the frame is
// a captioned tool window fitted around the dialog and centred, and Escape
// ends the program as Cancel does.
TEST_F(LauncherProgram, SettingsModeShowsAFittedCentredFrameAndEscapeEndsIt) {
    StoreOneEditor();
    DWORD pid = 0;
    HANDLE process = StartProgram(Launcher(), L"", L"", &pid);
    ASSERT_TRUE(process != nullptr);
    HWND frame = WaitForWindow(L"PikroBack", nullptr, pid, 20000, true);
    ASSERT_TRUE(frame != nullptr);
    EXPECT_EQ(L"Travuna ( Ver 1.0.0.2 )", WindowText(frame));
    EXPECT_TRUE(GetWindowLongPtrW(frame, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(GetMenu(frame) == nullptr);

    HWND dialog = FindWindowExW(frame, nullptr, L"#32770", nullptr);
    ASSERT_TRUE(dialog != nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(GetDlgItem(dialog, IDC_CBO_VSFIX) != nullptr);  // the settings dialog
    RECT client, outer;
    GetClientRect(frame, &client);
    GetWindowRect(dialog, &outer);
    EXPECT_EQ(outer.right - outer.left, client.right);
    EXPECT_EQ(outer.bottom - outer.top, client.bottom);
    POINT origin = {0, 0};
    ClientToScreen(frame, &origin);
    EXPECT_EQ(origin.x, outer.left);
    EXPECT_EQ(origin.y, outer.top);

    RECT monitor = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT window;
    GetWindowRect(frame, &window);
    int x = 0, y = 0;
    CentredPosition(&monitor, &window, &x, &y);
    EXPECT_EQ(x, window.left);
    EXPECT_EQ(y, window.top);

    PostMessageW(GetDlgItem(dialog, IDC_LST_EDITORS), WM_KEYDOWN, VK_ESCAPE, 0);
    DWORD code = 99;
    EXPECT_EQ(1, EndProgram(process, 20000, &code));
    EXPECT_EQ(0u, code);
}

// Choice mode: the frame stays hidden until the decision asks for the list;
// then Cancel ends the program with exit code 0.
TEST_F(LauncherProgram, ChoiceModeCancelEndsTheProgram) {
    StoreOneEditor();
    DWORD pid = 0;
    HANDLE process =
        StartProgram(Launcher(), QuoteArg(dir_.Sub(L"Some Folder\\App.sln")), L"", &pid);
    ASSERT_TRUE(process != nullptr);
    HWND frame = WaitForWindow(L"PikroBack", nullptr, pid, 20000, true);
    ASSERT_TRUE(frame != nullptr);
    EXPECT_EQ(L"Travuna ( Ver 1.0.0.2 )", WindowText(frame));
    HWND dialog = FindWindowExW(frame, nullptr, L"#32770", nullptr);
    ASSERT_TRUE(dialog != nullptr);
    EXPECT_TRUE(GetDlgItem(dialog, IDC_TXT_CHOOSE) != nullptr);  // the choice dialog
    RECT client, outer;
    GetClientRect(frame, &client);
    GetWindowRect(dialog, &outer);
    EXPECT_EQ(outer.right - outer.left, client.right);
    EXPECT_EQ(outer.bottom - outer.top, client.bottom);
    ClickButton(dialog, IDCANCEL);
    DWORD code = 99;
    EXPECT_EQ(1, EndProgram(process, 20000, &code));
    EXPECT_EQ(0u, code);
}

// In-process: the frame is created hidden in choice mode with the dialog as
// its child, and destroying the frame ends the loop with WM_QUIT.
TEST_F(LauncherProgram, InProcessChoiceFrameStartsHiddenAndQuitsOnDestroy) {
    StoreOneEditor();
    memset(&g_state, 0, sizeof(g_state));
    std::wstring line = QuoteArg(dir_.Sub(L"x\\App.sln"));
    ASSERT_EQ(1, LauncherStartup(GetModuleHandleW(nullptr), line.c_str()));
    HWND frame = g_state.hFrame;
    ASSERT_TRUE(frame != nullptr);
    EXPECT_FALSE(IsWindowVisible(frame));
    EXPECT_EQ(g_state.hChoiceDlg, g_state.hCurDlg);
    EXPECT_EQ(frame, GetParent(g_state.hChoiceDlg));
    EXPECT_TRUE(g_state.hSettingsDlg == nullptr);
    EXPECT_STREQ(dir_.Sub(L"x\\App.sln").c_str(), g_state.szSlnPath);

    DestroyWindow(frame);
    EXPECT_FALSE(IsWindow(g_state.hChoiceDlg));
    MSG msg;
    bool quit = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_QUIT) quit = true;
    EXPECT_TRUE(quit);
    UnregisterClassW(L"PikroBack", GetModuleHandleW(nullptr));
}

}  // namespace
