// The start decision, run in-process on a window of the test's own: the .vs
// folder beside a solution is laid out on disk, the decision is run, and the
// one message it posted is read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher.h"
#include "testutil.h"

using namespace testutil;

namespace {

struct Posted {
    int count = 0;        // how many decision messages were posted
    UINT message = 0;     // the last one
    WPARAM index = 0;
};

class DecideStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
        ZeroMemory(&g_catalogue, sizeof(g_catalogue));
        ZeroMemory(&g_settings, sizeof(g_settings));
        AddEditor(L"Visual Studio 2019", L"16.11.34601.136");
        AddEditor(L"Visual Studio 2022", L"17.8.34330.188");
        sln_ = dir_.Sub(L"src\\App\\App.sln");
        vs_ = dir_.Sub(L"src\\App\\.vs");
        perSln_ = vs_ + L"\\App";
    }
    void TearDown() override {
        if (window_) DestroyWindow(window_);
    }

    void AddEditor(const wchar_t* description, const wchar_t* version) {
        EditorEntry& e = g_catalogue.entries[g_catalogue.count++];
        wcscpy_s(e.description, description);
        wcscpy_s(e.version, version);
        wcscpy_s(e.folder, L"C:\\VS\\Common7\\IDE");
    }

    Posted Decide(const std::wstring& slnPath) {
        wcscpy_s(g_state.szSlnPath, slnPath.c_str());
        DecideStart(window_);
        Posted posted;
        MSG msg;
        while (PeekMessageW(&msg, window_, 0, 0, PM_REMOVE)) {
            if (msg.message == UM_START_EDITOR || msg.message == UM_SHOW_CHOICE) {
                ++posted.count;
                posted.message = msg.message;
                posted.index = msg.wParam;
                EXPECT_EQ(msg.lParam, 0);
            }
        }
        return posted;
    }

    void ExpectStart(const Posted& posted, WPARAM index) {
        EXPECT_EQ(posted.count, 1);
        EXPECT_EQ(posted.message, static_cast<UINT>(UM_START_EDITOR));
        EXPECT_EQ(posted.index, index);
    }
    void ExpectChoice(const Posted& posted) {
        EXPECT_EQ(posted.count, 1);
        EXPECT_EQ(posted.message, static_cast<UINT>(UM_SHOW_CHOICE));
        EXPECT_EQ(posted.index, 0u);
    }

    // A version folder with something at every depth, read-only file included.
    void FillFolder(const std::wstring& folder) {
        ASSERT_TRUE(WriteFileUtf8(folder + L"\\a.txt", L"a"));
        ASSERT_TRUE(WriteFileUtf8(folder + L"\\sub\\deeper\\b.bin", L"b"));
        ASSERT_TRUE(WriteFileUtf8(folder + L"\\sub\\c.txt", L"c"));
        ASSERT_TRUE(MakeFolders(folder + L"\\empty"));
        SetFileAttributesW((folder + L"\\sub\\c.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    }

    HWND window_ = nullptr;
    TempDir dir_;
    std::wstring sln_, vs_, perSln_;
};

// The worked examples: the catalogue holds 16.11 at index 0 and 17.8 at 1.
TEST_F(DecideStartTest, GreatestVersionFolderPicksItsEditor) {
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v16"));
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v17"));
    ExpectStart(Decide(sln_), 1);
    // Without cleaning nothing is touched.
    ASSERT_TRUE(WriteFileUtf8(perSln_ + L"\\v16\\x.txt", L"x"));
    ExpectStart(Decide(sln_), 1);
    EXPECT_TRUE(FileExists(perSln_ + L"\\v16\\x.txt"));
}

TEST_F(DecideStartTest, UnknownVersionAsksTheUser) {
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v15"));
    ExpectChoice(Decide(sln_));
}

TEST_F(DecideStartTest, VersionFoldersCompareAsText) {
    // v9 is the greater text; 9 matches no version.
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v9"));
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v17"));
    ExpectChoice(Decide(sln_));
}

TEST_F(DecideStartTest, NoVsFolderFollowsNoVsProc) {
    ExpectChoice(Decide(sln_));
    g_settings.NoVsProc = 1;
    g_settings.ixNoVsFix = 0;
    ExpectStart(Decide(sln_), 0);
    g_settings.ixNoVsFix = 1;
    ExpectStart(Decide(sln_), 1);
    // VsProc only counts when there is a .vs folder.
    g_settings.VsProc = 1;
    g_settings.ixVsFix = 0;
    ExpectStart(Decide(sln_), 1);
}

TEST_F(DecideStartTest, FixedEditorWithVsFolderNeverLooksInside) {
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v16"));
    FillFolder(perSln_ + L"\\v16");
    g_settings.VsProc = 1;
    g_settings.ixVsFix = 1;
    g_settings.fDelVsFolder = 1;
    g_settings.NoVsProc = 1;
    g_settings.ixNoVsFix = 0;
    ExpectStart(Decide(sln_), 1);
    EXPECT_TRUE(FileExists(perSln_ + L"\\v16\\sub\\deeper\\b.bin"));
    EXPECT_TRUE(FileExists(perSln_ + L"\\v16\\a.txt"));
}

TEST_F(DecideStartTest, FixedIndexIsPostedAsStored) {
    // Out of range is the start's business, not the decision's.
    ASSERT_TRUE(MakeFolders(vs_));
    g_settings.VsProc = 1;
    g_settings.ixVsFix = 2;
    ExpectStart(Decide(sln_), 2);
    RemoveTree(vs_);
    g_settings.NoVsProc = 1;
    g_settings.ixNoVsFix = 7;
    ExpectStart(Decide(sln_), 7);
}

TEST_F(DecideStartTest, UnknownRuleValuesAskTheUser) {
    // A launcher that posted nothing would keep running with no window.
    g_settings.NoVsProc = 2;
    ExpectChoice(Decide(sln_));
    g_settings.NoVsProc = 0xFFFFFFFFu;
    ExpectChoice(Decide(sln_));
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v17"));
    g_settings.VsProc = 3;
    ExpectChoice(Decide(sln_));
}

TEST_F(DecideStartTest, FileNamedVsCountsAsNoFolder) {
    ASSERT_TRUE(WriteFileUtf8(vs_, L"not a folder"));
    g_settings.NoVsProc = 1;
    g_settings.ixNoVsFix = 1;
    ExpectStart(Decide(sln_), 1);
}

TEST_F(DecideStartTest, SolutionFileItselfIsNeverLookedAt) {
    // No App.sln exists anywhere here; only the .vs folder decides.
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v16"));
    EXPECT_FALSE(FileExists(sln_));
    ExpectStart(Decide(sln_), 0);
}

TEST_F(DecideStartTest, OnlyFoldersAreCandidates) {
    ASSERT_TRUE(WriteFileUtf8(perSln_ + L"\\v99", L"a file"));
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v16"));
    ExpectStart(Decide(sln_), 0);
    // A per-solution folder holding only files has no version.
    RemoveTree(perSln_ + L"\\v16");
    ExpectChoice(Decide(sln_));
}

TEST_F(DecideStartTest, UpperCaseVIsAVersionFolder) {
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\V17"));
    ExpectStart(Decide(sln_), 1);
    // V17 beats v16 once A to Z are folded.
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v16"));
    ExpectStart(Decide(sln_), 1);
}

TEST_F(DecideStartTest, OtherFoldersBeginningWithVTakePart) {
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v17"));
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\vendor"));
    ExpectChoice(Decide(sln_));
    // Folders not beginning with v are neither candidates nor cleaned.
    RemoveTree(perSln_ + L"\\vendor");
    ASSERT_TRUE(WriteFileUtf8(perSln_ + L"\\x17\\keep.txt", L"k"));
    g_settings.fDelVsFolder = 1;
    ExpectStart(Decide(sln_), 1);
    EXPECT_TRUE(FileExists(perSln_ + L"\\x17\\keep.txt"));
}

TEST_F(DecideStartTest, BareVMatchesTheFirstEntry) {
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v"));
    ExpectStart(Decide(sln_), 0);
}

TEST_F(DecideStartTest, KeyIsAPrefixOfTheVersion) {
    ZeroMemory(&g_catalogue, sizeof(g_catalogue));
    AddEditor(L"A", L"9.0");
    AddEditor(L"B", L"170.1");
    AddEditor(L"C", L"17.8");
    AddEditor(L"D", L"1");
    AddEditor(L"E", L"PRE.1");
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v17"));
    // 170.1 begins with 17 and comes first.
    ExpectStart(Decide(sln_), 1);
    RemoveTree(perSln_ + L"\\v17");
    // v1 matches the first version beginning with 1; "1" is shorter than "10".
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v1"));
    ExpectStart(Decide(sln_), 1);
    RemoveTree(perSln_ + L"\\v1");
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v10"));
    ExpectChoice(Decide(sln_));
    // Letters in the key compare without regard to case.
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\vpre"));
    ExpectStart(Decide(sln_), 4);
}

TEST_F(DecideStartTest, EqualVersionsStartTheLowerIndex) {
    ZeroMemory(&g_catalogue, sizeof(g_catalogue));
    AddEditor(L"Visual Studio 2022 Community", L"17.4.1");
    AddEditor(L"Visual Studio 2022 Enterprise", L"17.8.3");
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v17"));
    ExpectStart(Decide(sln_), 0);
}

TEST_F(DecideStartTest, BaseNameDropsOnlyTheLastExtension) {
    std::wstring perSln = vs_ + L"\\My.App";
    ASSERT_TRUE(MakeFolders(perSln + L"\\v17"));
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v16"));
    ExpectStart(Decide(dir_.Sub(L"src\\App\\My.App.sln")), 1);
    ExpectStart(Decide(sln_), 0);
}

TEST_F(DecideStartTest, PathWithoutFolderIsRelativeToTheCurrentFolder) {
    wchar_t saved[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v17"));
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.Sub(L"src\\App").c_str()));
    Posted posted = Decide(L"App.sln");
    SetCurrentDirectoryW(saved);
    ExpectStart(posted, 1);
}

TEST_F(DecideStartTest, PathWithoutFileNameHasNoVersionFolder) {
    // A trailing backslash leaves no base name: .vs itself must not be taken
    // for the per-solution folder.
    ASSERT_TRUE(MakeFolders(vs_ + L"\\v17"));
    ExpectChoice(Decide(dir_.Sub(L"src\\App\\")));
}

TEST_F(DecideStartTest, JapaneseAndBlankFolders) {
    TempDir dir(kTempBlanks | kTempJapanese);
    std::wstring perSln = dir.Sub(L"ソリューション フォルダ\\.vs\\アプリ 1");
    ASSERT_TRUE(MakeFolders(perSln + L"\\v16"));
    ASSERT_TRUE(WriteFileUtf8(perSln + L"\\v16\\ファイル.txt", L"x"));
    g_settings.fDelVsFolder = 1;
    ExpectStart(Decide(dir.Sub(L"ソリューション フォルダ\\アプリ 1.sln")), 0);
    EXPECT_TRUE(ListFolder(perSln + L"\\v16").empty());
}

// Cleaning: every version folder ends up empty, the .suo file ends up in its
// own place with its own content, and nothing is left behind beside it.
TEST_F(DecideStartTest, CleaningEmptiesEveryVersionFolderAndKeepsSuo) {
    FillFolder(perSln_ + L"\\v16");
    FillFolder(perSln_ + L"\\v17");
    FillFolder(perSln_ + L"\\vendor");
    ASSERT_TRUE(WriteFileBytes(perSln_ + L"\\.suo", std::string("suo\0data", 8)));
    ASSERT_TRUE(WriteFileUtf8(perSln_ + L"\\v99", L"file"));
    g_settings.fDelVsFolder = 1;
    ExpectChoice(Decide(sln_));  // vendor is the greatest
    EXPECT_TRUE(ListFolder(perSln_ + L"\\v16").empty());
    EXPECT_TRUE(ListFolder(perSln_ + L"\\v17").empty());
    EXPECT_TRUE(ListFolder(perSln_ + L"\\vendor").empty());
    std::string suo;
    ASSERT_TRUE(ReadFileBytes(perSln_ + L"\\.suo", &suo));
    EXPECT_EQ(suo, std::string("suo\0data", 8));
    std::vector<std::wstring> expected = {L".suo", L"v16", L"v17", L"v99", L"vendor"};
    EXPECT_EQ(ListFolder(perSln_), expected);
    EXPECT_EQ(ReadFileUtf8(perSln_ + L"\\v99"), L"file");
}

TEST_F(DecideStartTest, CleaningThenDecidingTheWorkedExample) {
    FillFolder(perSln_ + L"\\v16");
    FillFolder(perSln_ + L"\\v17");
    ASSERT_TRUE(WriteFileUtf8(perSln_ + L"\\.suo", L"options"));
    g_settings.fDelVsFolder = 1;
    ExpectStart(Decide(sln_), 1);
    EXPECT_TRUE(FolderExists(perSln_ + L"\\v16"));
    EXPECT_TRUE(FolderExists(perSln_ + L"\\v17"));
    EXPECT_TRUE(ListFolder(perSln_ + L"\\v16").empty());
    EXPECT_TRUE(ListFolder(perSln_ + L"\\v17").empty());
    EXPECT_EQ(ReadFileUtf8(perSln_ + L"\\.suo"), L"options");
}

TEST_F(DecideStartTest, CleaningWithoutSuoCreatesNone) {
    FillFolder(perSln_ + L"\\v17");
    g_settings.fDelVsFolder = 1;
    ExpectStart(Decide(sln_), 1);
    std::vector<std::wstring> expected = {L"v17"};
    EXPECT_EQ(ListFolder(perSln_), expected);
}

TEST_F(DecideStartTest, CleaningLeavesOtherLaunchersTempSuoAlone) {
    // A file in the temporary folder under the name a shared scheme would
    // use belongs to somebody else: it must neither be taken as this
    // solution's .suo nor be replaced.
    wchar_t temp[MAX_PATH] = L"";
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    std::wstring other = JoinPath(temp, L"temp.suo");
    if (FileExists(other)) GTEST_SKIP() << "temp.suo already there";
    ASSERT_TRUE(WriteFileUtf8(other, L"another solution"));
    FillFolder(perSln_ + L"\\v17");
    g_settings.fDelVsFolder = 1;
    ExpectStart(Decide(sln_), 1);
    EXPECT_FALSE(FileExists(perSln_ + L"\\.suo"));
    EXPECT_EQ(ReadFileUtf8(other), L"another solution");
    ASSERT_TRUE(WriteFileUtf8(perSln_ + L"\\.suo", L"mine"));
    FillFolder(perSln_ + L"\\v17");
    ExpectStart(Decide(sln_), 1);
    EXPECT_EQ(ReadFileUtf8(perSln_ + L"\\.suo"), L"mine");
    EXPECT_EQ(ReadFileUtf8(other), L"another solution");
    DeleteFileW(other.c_str());
}

TEST_F(DecideStartTest, CleaningNeverFollowsFolderLinks) {
    TempDir outside;
    ASSERT_TRUE(WriteFileUtf8(outside.Sub(L"precious\\keep.txt"), L"keep"));
    ASSERT_TRUE(WriteFileUtf8(outside.Sub(L"whole\\keep.txt"), L"keep"));
    ASSERT_TRUE(MakeFolders(outside.Sub(L"empty")));
    FillFolder(perSln_ + L"\\v17");
    if (!MakeFolderLink(perSln_ + L"\\v17\\sub\\link", outside.Sub(L"precious")))
        GTEST_SKIP() << "no folder links here";
    ASSERT_TRUE(MakeFolderLink(perSln_ + L"\\v17\\tolink", outside.Sub(L"empty")));
    // A version folder that is itself a link to a folder outside.
    ASSERT_TRUE(MakeFolderLink(perSln_ + L"\\v16", outside.Sub(L"whole")));
    g_settings.fDelVsFolder = 1;
    ExpectStart(Decide(sln_), 1);
    EXPECT_FALSE(FileExists(perSln_ + L"\\v17\\a.txt"));
    EXPECT_FALSE(FileExists(perSln_ + L"\\v17\\sub\\c.txt"));
    EXPECT_FALSE(FolderExists(perSln_ + L"\\v17\\sub\\deeper"));
    EXPECT_EQ(ReadFileUtf8(outside.Sub(L"precious\\keep.txt")), L"keep");
    EXPECT_EQ(ReadFileUtf8(outside.Sub(L"whole\\keep.txt")), L"keep");
    // Even an empty folder behind a link is left where it is.
    EXPECT_TRUE(FolderExists(outside.Sub(L"empty")));
    // The links stay too, and so does the folder that holds one.
    EXPECT_EQ(ListFolder(perSln_ + L"\\v17"), (std::vector<std::wstring>{L"sub", L"tolink"}));
    EXPECT_EQ(ListFolder(perSln_ + L"\\v17\\sub"), std::vector<std::wstring>{L"link"});
    EXPECT_EQ(ReadFileUtf8(perSln_ + L"\\v17\\sub\\link\\keep.txt"), L"keep");
    EXPECT_EQ(ReadFileUtf8(perSln_ + L"\\v16\\keep.txt"), L"keep");
}

// Paths that do not fit 260 units are never used cut: a cut per-solution
// folder is the .vs folder itself, whose v17 would then be searched and
// cleaned.
TEST_F(DecideStartTest, TooLongPerSolutionFolderIsNeverCut) {
    std::wstring folder = dir_.Path();
    while (folder.size() < 240) folder += L"\\abcdefghij";
    std::wstring vs = folder + L"\\.vs";
    ASSERT_LT(vs.size(), 260u);
    ASSERT_TRUE(MakeFolders(vs + L"\\v17"));
    ASSERT_TRUE(WriteFileUtf8(vs + L"\\v17\\keep.txt", L"keep"));
    std::wstring base(259 - vs.size(), L'S');  // .vs\SSS... is 260 units
    g_settings.fDelVsFolder = 1;
    ExpectChoice(Decide(folder + L"\\" + base + L".sln"));
    EXPECT_TRUE(FileExists(vs + L"\\v17\\keep.txt"));
    // The same folder with a short solution name decides normally.
    ASSERT_TRUE(MakeFolders(vs + L"\\S\\v17"));
    ExpectStart(Decide(folder + L"\\S.sln"), 1);
    EXPECT_TRUE(FileExists(vs + L"\\v17\\keep.txt"));
}

TEST_F(DecideStartTest, TooLongSolutionPathPartsAskTheUser) {
    g_settings.NoVsProc = 1;
    g_settings.ixNoVsFix = 1;
    std::wstring longName(300, L'n');
    ExpectChoice(Decide(L"C:\\src\\" + longName + L".sln"));
    std::wstring longDir(300, L'd');
    ExpectChoice(Decide(L"C:\\" + longDir + L"\\App.sln"));
}

}  // namespace
