// The start decision, run in-process on a window of the test's own: the .vs
// folder beside a solution is laid out on disk, the decision is run, and the
// one message it posted is read back. Without a .vs folder the solution
// file's own version line can decide; its parser is tested here too.
#include <gtest/gtest.h>

#include <map>
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
        g_state.fForceChoice = 0;
        if (window_) DestroyWindow(window_);
    }

    void AddEditor(const wchar_t* description, const wchar_t* version) {
        EditorEntry& e = g_catalogue.entries[g_catalogue.count++];
        wcscpy_s(e.description, description);
        wcscpy_s(e.version, version);
        wcscpy_s(e.folder, L"C:\\VS\\Common7\\IDE");
    }

    // The decision, then what the launcher does once its message loop has
    // ended: delete what cleaning moved aside.
    Posted Decide(const std::wstring& slnPath) {
        Posted posted = DecideOnly(slnPath);
        DeleteMovedAside();
        return posted;
    }
    Posted DecideOnly(const std::wstring& slnPath) {
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
    g_settings.NoVsProc = 3;
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

// A bare v names every editor: the best of them all starts.
TEST_F(DecideStartTest, BareVMatchesEveryEntry) {
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v"));
    ExpectStart(Decide(sln_), 1);
}

TEST_F(DecideStartTest, KeyIsAPrefixOfTheVersion) {
    ZeroMemory(&g_catalogue, sizeof(g_catalogue));
    AddEditor(L"A", L"9.0");
    AddEditor(L"B", L"170.1");
    AddEditor(L"C", L"17.8");
    AddEditor(L"D", L"1");
    AddEditor(L"E", L"PRE.1");
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v17"));
    // 170.1 begins with 17 too, and is the higher.
    ExpectStart(Decide(sln_), 1);
    RemoveTree(perSln_ + L"\\v17");
    // v1 matches every version beginning with 1, the highest starts; "1" is
    // shorter than "10".
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
    AddEditor(L"Visual Studio 2022 Community", L"17.8.3");
    AddEditor(L"Visual Studio 2022 Enterprise", L"17.8.3.0");
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

// Each kind of solution has its own folder in .vs: the base name of an .sln,
// the whole file name of an .slnx. Visual Studio 2026 is catalogue entry 2.
TEST_F(DecideStartTest, EachKindOfSolutionIsDecidedByItsOwnFolder) {
    AddEditor(L"Visual Studio 2026", L"18.0.11123.170");
    const struct {
        const wchar_t* solution;
        std::vector<const wchar_t*> folders;  // under .vs
        int index;                            // -1: the list
    } cases[] = {
        {L"App.slnx", {L"App.slnx\\v18"}, 2},
        {L"App.slnx", {L"App.slnx\\v17"}, 1},
        {L"App.slnx", {L"App.slnx\\v17", L"App.slnx\\v18"}, 2},
        {L"App.SLNX", {L"App.slnx\\v17"}, 1},
        {L"My.App.slnx", {L"My.App.slnx\\v18", L"My.App\\v16"}, 2},
        // Side by side, each by its own folder.
        {L"App.sln", {L"App\\v17", L"App.slnx\\v18"}, 1},
        {L"App.slnx", {L"App\\v17", L"App.slnx\\v18"}, 2},
        // The other kind's folder decides nothing.
        {L"App.slnx", {L"App\\v17"}, -1},
        {L"App.sln", {L"App.slnx\\v18"}, -1},
        // Any other extension goes as before: the base name alone.
        {L"App.slnxx", {L"App\\v16", L"App.slnxx\\v18"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.solution) + " " + std::to_string(c.index));
        RemoveTree(vs_);
        for (const wchar_t* folder : c.folders) ASSERT_TRUE(MakeFolders(vs_ + L"\\" + folder));
        const Posted posted = Decide(dir_.Sub(std::wstring(L"src\\App\\") + c.solution));
        if (c.index < 0) {
            ExpectChoice(posted);
        } else {
            ExpectStart(posted, static_cast<WPARAM>(c.index));
        }
    }
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

// Before the editor starts the version folders are empty but for the
// user's state files: their contents wait in one moved-aside folder, whose
// name the decision never takes for a version folder, until the launcher's
// end deletes it.
TEST_F(DecideStartTest, CleaningMovesAsideBeforeTheStartAndDeletesAfter) {
    FillFolder(perSln_ + L"\\v16");
    FillFolder(perSln_ + L"\\v17");
    for (const wchar_t* kept : {L".suo", L".wsuo", L"DocumentLayout.json",
                                L"DocumentLayout.backup.json"})
        ASSERT_TRUE(WriteFileUtf8(perSln_ + L"\\v17\\" + kept, kept));
    g_settings.fDelVsFolder = 1;
    ExpectStart(DecideOnly(sln_), 1);
    EXPECT_TRUE(ListFolder(perSln_ + L"\\v16").empty());
    EXPECT_EQ(ListFolder(perSln_ + L"\\v17"),
              (std::vector<std::wstring>{L".suo", L".wsuo", L"DocumentLayout.backup.json",
                                         L"DocumentLayout.json"}));
    std::vector<std::wstring> entries = ListFolder(perSln_);
    ASSERT_EQ(entries.size(), 3u);
    const std::wstring aside = perSln_ + L"\\" + entries[2];
    EXPECT_EQ(entries[2].rfind(L"~PikroTrash.", 0), 0u) << ToUtf8(entries[2]);
    // a.txt, sub and empty of both folders, each under a number of its own,
    // read through the launcher's handle: the folder is not shared for
    // deleting while the launcher holds it, which keeps any listing that
    // does not share deletion out of it.
    ASSERT_NE(g_state.hOwnMovedAside, nullptr);
    KalFolderListing listing;
    ASSERT_TRUE(KalListOpen(&listing, g_state.hOwnMovedAside));
    KalFolderEntry entry;
    std::vector<std::wstring> moved;
    while (KalListNext(&listing, &entry)) moved.push_back(entry.name);
    KalListClose(&listing);
    EXPECT_EQ(moved.size(), 6u);
    // A second decision while it waits takes the same editor and leaves the
    // moved-aside folder to its launcher.
    ExpectStart(DecideOnly(sln_), 1);
    EXPECT_TRUE(FolderExists(aside));
    DeleteMovedAside();
    EXPECT_EQ(ListFolder(perSln_), (std::vector<std::wstring>{L"v16", L"v17"}));
    EXPECT_EQ(ReadFileUtf8(perSln_ + L"\\v17\\.wsuo"), L".wsuo");
}

// The right-click verb asks whatever the rules would decide, and empties
// the version folders only once the user has picked an editor, and only
// where the settings have them emptied before the version folders decide.
TEST_F(DecideStartTest, RightClickVerbAsksAndCleansAtThePickAsTheSettingsSay) {
    const struct {
        UINT vsProc, noVsProc, delVsFolder;
        bool vsFolder, cleanedAtPick;
    } cases[] = {
        {0, 0, 0, true, false},
        {0, 0, 1, true, true},
        {1, 0, 1, true, false},
        {3, 0, 1, true, false},
        {0, 1, 1, false, false},
        {0, 2, 1, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.vsProc << " " << c.noVsProc << " " << c.delVsFolder);
        RemoveTree(vs_);
        if (c.vsFolder) {
            FillFolder(perSln_ + L"\\v17");
            ASSERT_TRUE(WriteFileUtf8(perSln_ + L"\\v17\\.suo", L"options"));
        }
        g_settings.VsProc = c.vsProc;
        g_settings.ixVsFix = 1;
        g_settings.NoVsProc = c.noVsProc;
        g_settings.ixNoVsFix = 1;
        g_settings.fDelVsFolder = c.delVsFolder;
        g_state.fForceChoice = 1;
        ExpectChoice(Decide(sln_));
        if (c.vsFolder) {
            EXPECT_TRUE(FileExists(perSln_ + L"\\v17\\sub\\deeper\\b.bin"));
        }
        CleanForChosenStart();
        DeleteMovedAside();
        if (!c.vsFolder) {
            EXPECT_FALSE(FolderExists(vs_));
            continue;
        }
        EXPECT_EQ(ListFolder(perSln_ + L"\\v17").size() == 1, c.cleanedAtPick);
        EXPECT_EQ(ReadFileUtf8(perSln_ + L"\\v17\\.suo"), L"options");
    }
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
    // A link right inside a version folder stays. One further down goes
    // with the folder that holds it: where the link can be opened as itself
    // it is deleted as a link; Wine 8 opens what it points to instead, so
    // there it stays in the moved-aside folder, and that folder with it.
    EXPECT_EQ(ListFolder(perSln_ + L"\\v17"), std::vector<std::wstring>{L"tolink"});
    std::vector<std::wstring> left = ListFolder(perSln_);
    EXPECT_TRUE(left.size() == 2 || (left.size() == 3 && left[2].rfind(L"~PikroTrash.", 0) == 0));
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

// ---------------------------------------------------------------------------
// The solution file's version line.
// ---------------------------------------------------------------------------

// The header lines that each generation of Visual Studio writes, as CRLF
// text after the blank first line every one of them begins with.
struct Generation {
    const char* name;
    const char* header;
    int major;
};

const Generation kGenerations[] = {
    {"2005", "Microsoft Visual Studio Solution File, Format Version 9.00\r\n# Visual Studio 2005\r\n", 8},
    {"2008", "Microsoft Visual Studio Solution File, Format Version 10.00\r\n# Visual Studio 2008\r\n", 9},
    {"2010", "Microsoft Visual Studio Solution File, Format Version 11.00\r\n# Visual Studio 2010\r\n", 10},
    {"2012", "Microsoft Visual Studio Solution File, Format Version 12.00\r\n# Visual Studio 2012\r\n", 11},
    {"2013",
     "Microsoft Visual Studio Solution File, Format Version 12.00\r\n# Visual Studio 2013\r\n"
     "VisualStudioVersion = 12.0.21005.1\r\nMinimumVisualStudioVersion = 10.0.40219.1\r\n",
     12},
    {"2015",
     "Microsoft Visual Studio Solution File, Format Version 12.00\r\n# Visual Studio 14\r\n"
     "VisualStudioVersion = 14.0.25420.1\r\nMinimumVisualStudioVersion = 10.0.40219.1\r\n",
     14},
    {"2017",
     "Microsoft Visual Studio Solution File, Format Version 12.00\r\n# Visual Studio 15\r\n"
     "VisualStudioVersion = 15.0.28307.1000\r\nMinimumVisualStudioVersion = 10.0.40219.1\r\n",
     15},
    {"2019",
     "Microsoft Visual Studio Solution File, Format Version 12.00\r\n# Visual Studio Version 16\r\n"
     "VisualStudioVersion = 16.0.30114.105\r\nMinimumVisualStudioVersion = 10.0.40219.1\r\n",
     16},
    {"2022",
     "Microsoft Visual Studio Solution File, Format Version 12.00\r\n# Visual Studio Version 17\r\n"
     "VisualStudioVersion = 17.8.34330.188\r\nMinimumVisualStudioVersion = 10.0.40219.1\r\n",
     17},
    {"18",
     "Microsoft Visual Studio Solution File, Format Version 12.00\r\n# Visual Studio Version 18\r\n"
     "VisualStudioVersion = 18.0.11111.16\r\nMinimumVisualStudioVersion = 10.0.40219.1\r\n",
     18},
    // Visual Studio 2026 puts a word after the number.
    {"2026",
     "Microsoft Visual Studio Solution File, Format Version 12.00\r\n# Visual Studio Version 18\r\n"
     "VisualStudioVersion = 18.5.11723.231 stable\r\nMinimumVisualStudioVersion = 10.0.40219.1\r\n",
     18},
    {"2026 insiders",
     "Microsoft Visual Studio Solution File, Format Version 12.00\r\n# Visual Studio Version 18\r\n"
     "VisualStudioVersion = 18.0.11123.170 d18.0\r\nMinimumVisualStudioVersion = 10.0.40219.1\r\n",
     18},
    {"2026 comment only",
     "Microsoft Visual Studio Solution File, Format Version 12.00\r\n# Visual Studio Version 18\r\n",
     18},
};

const char kBom[] = "\xEF\xBB\xBF";
const char kProjects[] =
    "Project(\"{8BC9CEB8-8B4A-11D0-8D11-00A0C91E6BB6}\") = \"App\", \"App.vcxproj\", \"{1}\"\r\n"
    "EndProject\r\nGlobal\r\nEndGlobal\r\n";

// A whole solution file of one generation.
std::string SolutionFile(const Generation& g, bool bom) {
    return std::string(bom ? kBom : "") + "\r\n" + g.header + kProjects;
}

// ASCII text as UTF-16 with its byte order mark.
std::string Utf16(const std::string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : text) {
        bytes += bigEndian ? '\0' : c;
        bytes += bigEndian ? c : '\0';
    }
    return bytes;
}

int Major(const std::string& bytes) {
    return SolutionMajorVersion(reinterpret_cast<const BYTE*>(bytes.data()),
                                static_cast<DWORD>(bytes.size()));
}

TEST(SolutionVersion, EveryGenerationWithAndWithoutBom) {
    for (const Generation& g : kGenerations) {
        SCOPED_TRACE(g.name);
        EXPECT_EQ(g.major, Major(SolutionFile(g, true)));
        EXPECT_EQ(g.major, Major(SolutionFile(g, false)));
    }
}

TEST(SolutionVersion, Utf16BothOrdersLfEndingsAndBlanksAroundTheSign) {
    EXPECT_EQ(17, Major(Utf16(SolutionFile(kGenerations[8], false), false)));
    EXPECT_EQ(12, Major(Utf16(SolutionFile(kGenerations[4], false), true)));
    EXPECT_EQ(9, Major(Utf16(SolutionFile(kGenerations[1], false), true)));
    // Without its mark UTF-16 LE reads as UTF-8 whose zero bytes are
    // skipped: the ASCII header still shows.
    std::string noMark = Utf16(SolutionFile(kGenerations[8], false), false).substr(2);
    EXPECT_EQ(17, Major(noMark));
    EXPECT_EQ(16, Major("\n\nMicrosoft Visual Studio Solution File, Format Version 12.00\n"
                        "# Visual Studio Version 16\nVisualStudioVersion = 16.0.30114.105\n"));
    EXPECT_EQ(17, Major("\r\n  VisualStudioVersion\t=\t17.8.34330.188  \r\n"));
    EXPECT_EQ(17, Major("VisualStudioVersion=17\r\n"));
}

TEST(SolutionVersion, VersionLineWinsAndOnlyTheHeaderCounts) {
    // The comment line of a solution upgraded by hand may lag behind.
    EXPECT_EQ(16, Major("# Visual Studio 15\r\nVisualStudioVersion = 16.0.1\r\n"));
    EXPECT_EQ(16, Major("VisualStudioVersion = 16.0.1\r\n# Visual Studio 15\r\n"));
    // The minimum version is not the version.
    EXPECT_EQ(15, Major("# Visual Studio 15\r\nMinimumVisualStudioVersion = 10.0.40219.1\r\n"));
    EXPECT_EQ(-1, Major("MinimumVisualStudioVersion = 10.0.40219.1\r\n"));
    // Express editions name their year among other words.
    EXPECT_EQ(11, Major("# Visual Studio Express 2012 for Web\r\n"));
    // Text after the first project is a project's, not the header's.
    EXPECT_EQ(-1, Major(std::string("\r\n") + kProjects + "VisualStudioVersion = 17.0\r\n"));
    EXPECT_EQ(-1, Major("# Visual Studio 2014\r\n"));
    EXPECT_EQ(-1, Major("# Visual Studio Code\r\n"));
    EXPECT_EQ(-1, Major("# Visual Studio17\r\n"));
    EXPECT_EQ(-1, Major("VisualStudioVersion = 17a.0\r\n"));
    EXPECT_EQ(-1, Major("VisualStudioVersion 17.0\r\n"));
}

TEST(SolutionVersion, HostileContentFindsNothing) {
    EXPECT_EQ(-1, Major(""));
    EXPECT_EQ(-1, SolutionMajorVersion(nullptr, 0));
    EXPECT_EQ(-1, Major("\xEF\xBB\xBF"));
    EXPECT_EQ(-1, Major("\xFF\xFE"));
    EXPECT_EQ(-1, Major(std::string("\xFE\xFF\x00", 3)));
    std::string garbage;
    unsigned seed = 12345;
    for (int i = 0; i < 65536; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage += static_cast<char>(seed >> 16);
    }
    EXPECT_EQ(-1, Major(garbage));
    EXPECT_EQ(-1, Major(Utf16(garbage, false)));
    // Forty digits fit no version, and the comment is not taken instead.
    const std::string forty(40, '7');
    EXPECT_EQ(-1, Major("# Visual Studio Version 17\r\nVisualStudioVersion = " + forty + ".0\r\n"));
    EXPECT_EQ(-1, Major("# Visual Studio " + forty + "\r\n"));
    EXPECT_EQ(-1, Major("VisualStudioVersion = 17777.0\r\n"));
    // A version line at the end of one endless line is never a line of its own.
    EXPECT_EQ(-1, Major(std::string(65536 - 40, ' ') + "VisualStudioVersion = 17.8.34330.188"));
    EXPECT_EQ(17, Major(std::string(65536 - 40, '\n') + "VisualStudioVersion = 17.8.34330.188"));
}

// ---------------------------------------------------------------------------
// The OpenWith property of an .slnx solution.
// ---------------------------------------------------------------------------

const char kSlnxProjects[] =
    "  <Configurations>\r\n    <Platform Name=\"x64\" />\r\n  </Configurations>\r\n"
    "  <Project Path=\"App/App.csproj\" />\r\n";

// An .slnx as tools write it, with these lines among the solution's own.
std::string Slnx(const std::string& inner) {
    return "<Solution>\r\n" + inner + kSlnxProjects + "</Solution>\r\n";
}
// The solution's "Visual Studio" properties holding these lines.
std::string VsProperties(const std::string& inner) {
    return "  <Properties Name=\"Visual Studio\">\r\n" + inner + "  </Properties>\r\n";
}
std::string OpenWith(const std::string& value) {
    return "    <Property Name=\"OpenWith\" Value=\"" + value + "\" />\r\n";
}

// Random bytes without a NUL, the same every run.
std::string Garbage(size_t size) {
    std::string bytes;
    unsigned seed = 12345;
    while (bytes.size() < size) {
        seed = seed * 1103515245u + 12345u;
        const char c = static_cast<char>(seed >> 16);
        if (c != '\0') bytes += c;
    }
    return bytes;
}

// Elements nested depth deep, as a solution's folders never are.
std::string Nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<Folder>";
    for (int i = 0; i < depth; ++i) text += "</Folder>";
    return text;
}

// What an .slnx file holding bytes asks for, read from the open file.
int SlnxMajor(const std::string& bytes) {
    TempDir dir;
    const std::wstring path = dir.Sub(L"App.slnx");
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    const int major = SlnxMajorVersion(file);
    CloseHandle(file);
    return major;
}

TEST(SlnxVersion, OpenWithAsToolsWriteItAndHostileText) {
    const struct {
        const char* what;
        std::string text;
        int major;  // kSlnxNoOpenWith: a solution naming none; -1: unreadable
    } cases[] = {
        {"no version", Slnx(""), kSlnxNoOpenWith},
        {"empty solution", "<Solution />", kSlnxNoOpenWith},
        {"mark, declaration, comment",
         std::string(kBom) + "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- made by hand -->\r\n" +
             Slnx(""),
         kSlnxNoOpenWith},
        {"words", Slnx(VsProperties(OpenWith("Visual Studio Version 17"))), 17},
        {"number after a comment",
         Slnx(VsProperties("    <!-- opens in 2022 -->\r\n" + OpenWith("17"))), 17},
        {"words with minor", Slnx(VsProperties(OpenWith("Visual Studio Version 17.14"))), 17},
        {"values in any case",
         "<Solution><Properties Name=\"VISUAL STUDIO\"><Property Name=\"openwith\" "
         "Value=\"visual studio version 18\"/></Properties></Solution>",
         18},
        // Read as an XML reader reads it: names have case, character
        // references stand for their characters, and a line break in an
        // attribute value is a blank.
        {"root name in other case", "<solution><Properties Name=\"Visual Studio\">" +
                                        OpenWith("17") + "</Properties></solution>",
         -1},
        {"group name in other case",
         Slnx("  <properties Name=\"Visual Studio\">" + OpenWith("17") + "</properties>\r\n"),
         kSlnxNoOpenWith},
        {"attribute names in other case",
         Slnx(VsProperties("<Property NAME=\"OpenWith\" VALUE=\"17\" />")), kSlnxNoOpenWith},
        {"VALUE beside Value",
         Slnx(VsProperties("<Property Name=\"OpenWith\" VALUE=\"17\" Value=\"18\" />")), 18},
        {"Value beside VALUE",
         Slnx(VsProperties("<Property Name=\"OpenWith\" Value=\"18\" VALUE=\"17\" />")), 18},
        {"reference in the property's name",
         Slnx(VsProperties("<Property Name=\"Open&#87;ith\" Value=\"17\" />")), 17},
        {"reference in the group's name",
         Slnx("  <Properties Name=\"Visual&#32;Studio\">" + OpenWith("16") + "</Properties>"), 16},
        {"line break in the group's name",
         Slnx("  <Properties Name=\"Visual\r\nStudio\">" + OpenWith("16") + "</Properties>"), 16},
        {"line break in the value", Slnx(VsProperties(OpenWith("Visual\nStudio Version\n18"))), 18},
        {"hexadecimal references", Slnx(VsProperties(OpenWith("&#x31;&#x38;"))), 18},
        {"other group by a reference",
         Slnx("<Properties Name=\"Visual Studio&#32;\">" + OpenWith("16") + "</Properties>"),
         kSlnxNoOpenWith},
        {"undefined entity", Slnx(VsProperties(OpenWith("&v;"))), -1},
        {"single quotes and blanks",
         "<Solution >\n<Properties Name = 'Visual Studio' >\n<Property Value = ' 17 '\tName='OpenWith'>"
         "</Property></Properties></Solution>",
         17},
        {"last one counts", Slnx(VsProperties(OpenWith("16") + OpenWith("17"))), 17},
        {"last group counts",
         Slnx(VsProperties(OpenWith("17")) + VsProperties(OpenWith("Visual Studio Version 18"))), 18},
        {"last one unreadable", Slnx(VsProperties(OpenWith("17") + OpenWith("Visual Studio 2022"))),
         -1},
        {"other group", Slnx("  <Properties Name=\"Visual Studio Code\">\r\n" + OpenWith("16") +
                             "  </Properties>\r\n"),
         kSlnxNoOpenWith},
        {"other property", Slnx(VsProperties("    <Property Name=\"OpenWithX\" Value=\"16\" />\r\n")),
         kSlnxNoOpenWith},
        {"a project's properties",
         "<Solution><Project Path=\"a.csproj\"><Properties Name=\"Visual Studio\">" + OpenWith("16") +
             "</Properties></Project></Solution>",
         kSlnxNoOpenWith},
        {"commented out", Slnx(VsProperties("<!--" + OpenWith("16") + "-->")), kSlnxNoOpenWith},
        {"no value", Slnx(VsProperties("<Property Name=\"OpenWith\" />")), -1},
        {"empty value", Slnx(VsProperties(OpenWith(""))), -1},
        {"zero", Slnx(VsProperties(OpenWith("0"))), -1},
        {"word only", Slnx(VsProperties(OpenWith("Version 17"))), -1},
        {"glued", Slnx(VsProperties(OpenWith("Visual Studio Version17"))), -1},
        {"letters after", Slnx(VsProperties(OpenWith("17a"))), -1},
        {"long value", Slnx(VsProperties(OpenWith(std::string(100, '1')))), -1},
        {"reference", Slnx(VsProperties(OpenWith("&#49;7"))), 17},
        // Hostile text ends at the list.
        {"empty", "", -1},
        {"mark only", kBom, -1},
        {"an .sln", SolutionFile(kGenerations[8], true), -1},
        {"other root", "<Project><Properties Name=\"Visual Studio\">" + OpenWith("17") +
                           "</Properties></Project>",
         -1},
        {"unfinished", "<Solution>\r\n" + VsProperties(OpenWith("17")), -1},
        {"unfinished tag", "<Solution><Properties Name=\"Visual Studio\"><Property Name=\"OpenWith\"",
         -1},
        {"unfinished comment", "<Solution><!-- </Solution>", -1},
        {"stray end", "</Solution><Solution/>", -1},
        {"doctype", "<!DOCTYPE Solution [<!ENTITY v \"17\">]>" + Slnx(""), -1},
        {"doctype alone", "<!DOCTYPE Solution>" + Slnx(""), -1},
        {"entity from a doctype",
         "<!DOCTYPE Solution [<!ENTITY v \"17\">]>" + Slnx(VsProperties(OpenWith("&v;"))), -1},
        {"deep but bounded", Slnx(Nested(40) + VsProperties(OpenWith("17"))), 17},
        {"too deep", Slnx(Nested(100) + VsProperties(OpenWith("17"))), -1},
        {"text before", "x" + Slnx(""), -1},
        {"NUL inside", std::string("<Solution>\0</Solution>", 22), -1},
        {"UTF-16 with mark", Utf16(Slnx(VsProperties(OpenWith("17"))), false), 17},
        {"UTF-16 without mark", Utf16(Slnx(""), false).substr(2), -1},
        {"UTF-16 big endian", Utf16(Slnx(VsProperties(OpenWith("18"))), true), 18},
        // Wine 8's XmlLite ends the program on a failed assertion when it is
        // given a byte-order mark and a "<" alone, and gives the same node
        // over and over when the text ends inside a text, blanks, a CDATA
        // section or a comment (Windows' reports an error): the launcher
        // still ends, and with the list.
        {"UTF-16 mark and a start", "\xFF\xFE<", -1},
        {"mark and a start", std::string(kBom) + "<", -1},
        {"ends inside a text", "<Solution>" + VsProperties(OpenWith("17")) + "text", -1},
        {"ends inside blanks", "<Solution>" + std::string(60000, ' '), -1},
        {"ends inside a CDATA section", "<Solution><![CDATA[ x", -1},
        {"ends inside a comment", "<Solution><!-- " + std::string(60000, 'x'), -1},
        {"ends inside an instruction", "<Solution><?pi ", -1},
        {"garbage", Garbage(65536), -1},
        {"garbage after <", "<" + Garbage(65536), -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.major, SlnxMajor(c.text));
    }
    EXPECT_EQ(-1, SlnxMajorVersion(INVALID_HANDLE_VALUE));
}

class EditorForMajor : public ::testing::Test {
protected:
    void SetUp() override { ZeroMemory(&g_catalogue, sizeof(g_catalogue)); }
    void TearDown() override { ZeroMemory(&g_catalogue, sizeof(g_catalogue)); }
    static void Add(const wchar_t* version) {
        wcscpy_s(g_catalogue.entries[g_catalogue.count++].version, version);
    }
};

TEST_F(EditorForMajor, FirstNumberMustBeTheMajorVersion) {
    Add(L"170.1");
    Add(L"1.7");
    Add(L"17.0 built by: d17.0");
    Add(L"17.8.34330.188");
    Add(L"");
    Add(L"99999999999999999999.0");
    EXPECT_EQ(3, EditorForMajorVersion(17));  // the higher of two 17s
    EXPECT_EQ(1, EditorForMajorVersion(1));
    EXPECT_EQ(0, EditorForMajorVersion(170));
    EXPECT_EQ(-1, EditorForMajorVersion(7));
    EXPECT_EQ(-1, EditorForMajorVersion(0));
    EXPECT_EQ(-1, EditorForMajorVersion(-1));
    g_catalogue.count = 0;
    EXPECT_EQ(-1, EditorForMajorVersion(17));
}

// .slnx opens by default from 17.14 on; the newest such editor is taken.
TEST_F(EditorForMajor, NewestEditorThatOpensSlnx) {
    Add(L"16.11.34601.136");
    Add(L"17.10.35004.147");
    EXPECT_EQ(-1, NewestSlnxEditor());
    Add(L"17.14.36310.24");
    EXPECT_EQ(2, NewestSlnxEditor());
    Add(L"17.9.34607.119");
    Add(L"18.0.11123.170 d18.0");
    Add(L"18.0.11205.157");
    Add(L"17.99");
    Add(L"180x");
    EXPECT_EQ(5, NewestSlnxEditor());
    Add(L"18.3.1");
    EXPECT_EQ(8, NewestSlnxEditor());
    g_catalogue.count = 0;
    EXPECT_EQ(-1, NewestSlnxEditor());
}

TEST(CompareVersions, EveryNumberCountsWhateverItsLength) {
    const struct {
        const wchar_t* first;
        const wchar_t* second;
        int order;
    } cases[] = {
        {L"17.9.34607.119", L"17.10.35004.147", -1},
        {L"170.1", L"17.8", 1},
        {L"17.14", L"17.14.0.0", 0},
        {L"017.01", L"17.1", 0},
        {L"18.3.1 Insiders", L"18.3.1", 0},
        {L"18.0.11123.170 d18.0", L"18.0.11123.171", -1},
        {L"99999999999999999999.0", L"100000000000000000000", -1},
        {L"1.2.3.4.5.6.7.8.9.10", L"1.2.3.4.5.6.7.8.9.9", 1},
        // Whatever is not a dotted number is a zero.
        {L"", L"0.0", 0},
        {L".5", L"0", 0},
        {L"", L"0.0.1", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.first) + " / " + ToUtf8(c.second));
        EXPECT_EQ(c.order, CompareVersions(c.first, c.second));
        EXPECT_EQ(-c.order, CompareVersions(c.second, c.first));
    }
}

// Where a generated solution names its version (OpenWith 17).
enum HintAt { kNoHint, kHintTop, kHintMiddle, kHintEnd };

// A solution as large companies keep them: one line of about 130 bytes per
// project, in folders of 50. Made once per kind for every row that names
// it: 1,500 projects make 200 KB, 15,000 make 2 MB.
const std::string& LargeSlnx(int projects, HintAt at, const char* word = "Contoso.Platform.Module") {
    static std::map<std::string, std::string> made;
    std::string& text = made[std::to_string(projects) + word + std::to_string(at)];
    if (!text.empty()) return text;
    const std::string hint = VsProperties(OpenWith("Visual Studio Version 17"));
    text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Solution>\r\n" + (at == kHintTop ? hint : "");
    for (int i = 0; i < projects; ++i) {
        const std::string name = word + std::string(".Services.Component") + std::to_string(100000 + i);
        if (i % 50 == 0) text += "  <Folder Name=\"/Group" + std::to_string(i / 50) + "/\">\r\n";
        text += "    <Project Path=\"src/" + name + "/" + name + ".csproj\" />\r\n";
        if (i % 50 == 49 || i + 1 == projects) text += "  </Folder>\r\n";
        if (at == kHintMiddle && i == projects / 2 + 49) text += hint;
    }
    return text += (at == kHintEnd ? hint : "") + "</Solution>\r\n";
}

// text cut short after count bytes of the first mark at or after from.
std::string CutInside(const std::string& text, size_t from, const char* mark, size_t count) {
    return text.substr(0, text.find(mark, from) + count);
}

// The decision on fresh clones: no .vs folder, NoVsProc 2, editors of 2015,
// 2019 and 2022 in the catalogue.
class DecideFromSolutionFile : public DecideStartTest {
protected:
    void SetUp() override {
        DecideStartTest::SetUp();
        ZeroMemory(&g_catalogue, sizeof(g_catalogue));
        AddEditor(L"Visual Studio 2015", L"14.0.25420.1");
        AddEditor(L"Visual Studio 2019", L"16.11.34601.136");
        AddEditor(L"Visual Studio 2022", L"17.8.34330.188");
        g_settings.NoVsProc = 2;
        g_settings.ixNoVsFix = 1;
    }
    void ExpectDecided(const Posted& posted, int index) {
        if (index < 0) {
            ExpectChoice(posted);
        } else {
            ExpectStart(posted, static_cast<WPARAM>(index));
        }
    }
};

TEST_F(DecideFromSolutionFile, EachGenerationStartsItsEditorOrAsks) {
    const int expected[] = {-1, -1, -1, -1, -1, 0, -1, 1, 2, -1, -1, -1, -1};
    static_assert(sizeof(expected) / sizeof(expected[0]) ==
                      sizeof(kGenerations) / sizeof(kGenerations[0]),
                  "one answer per generation");
    for (size_t i = 0; i < sizeof(expected) / sizeof(expected[0]); ++i) {
        SCOPED_TRACE(kGenerations[i].name);
        ASSERT_TRUE(WriteFileBytes(sln_, SolutionFile(kGenerations[i], i % 2 == 0)));
        ExpectDecided(Decide(sln_), expected[i]);
    }
    ASSERT_TRUE(WriteFileBytes(sln_, Utf16(SolutionFile(kGenerations[8], false), true)));
    ExpectStart(Decide(sln_), 2);
    // With a .vs folder the version folders decide, not the file.
    ASSERT_TRUE(MakeFolders(perSln_ + L"\\v16"));
    ExpectStart(Decide(sln_), 1);
}

// Fresh clones of .slnx solutions, and .sln files of Visual Studio 2026,
// with editors of 2019, 2022 (17.14) and 2026 in the catalogue.
TEST_F(DecideFromSolutionFile, SlnxFollowsOpenWithOrTheNewestEditorThatOpensIt) {
    ZeroMemory(&g_catalogue, sizeof(g_catalogue));
    AddEditor(L"Visual Studio 2019", L"16.11.34601.136");
    AddEditor(L"Visual Studio 2022", L"17.14.36310.24");
    AddEditor(L"Visual Studio 2026", L"18.0.11123.170");
    const std::wstring slnx = dir_.Sub(L"src\\App\\App.slnx");
    const std::string stable = "\r\n" + std::string(kGenerations[10].header) + kProjects;
    const std::string insiders = "\r\n" + std::string(kGenerations[11].header) + kProjects;
    const std::string commentOnly = "\r\n" + std::string(kGenerations[12].header) + kProjects;
    const struct {
        const char* what;
        std::wstring path;
        std::string text;
        int index;  // -1: the list
    } cases[] = {
        {"words", slnx, Slnx(VsProperties(OpenWith("Visual Studio Version 17"))), 1},
        {"number", slnx, Slnx(VsProperties("<!-- 2022 -->" + OpenWith("17"))), 1},
        {"an older one named", slnx, Slnx(VsProperties(OpenWith("16"))), 0},
        {"none named", slnx, Slnx(""), 2},
        {"none named, any case", dir_.Sub(L"src\\App\\App.SlnX"), Slnx(""), 2},
        {"unknown version named", slnx, Slnx(VsProperties(OpenWith("19"))), -1},
        {"2026 .sln", sln_, stable, 2},
        {"2026 insiders .sln", sln_, insiders, 2},
        {"2026 .sln comment only", sln_, commentOnly, 2},
        // An .sln is never read as an .slnx, nor the other way round.
        {"XML in an .sln", sln_, Slnx(""), -1},
        {"header in an .slnx", slnx, stable, -1},
        // Hostile files.
        {"garbage", slnx, Garbage(1 << 17), -1},
        // Solutions of any size are read to their end, but for files no
        // solution comes near.
        {"1,500 projects, OpenWith at the top", slnx, LargeSlnx(1500, kHintTop), 1},
        {"1,500 projects, none named", slnx, LargeSlnx(1500, kNoHint), 2},
        {"15,000 projects, OpenWith at the top", slnx, LargeSlnx(15000, kHintTop), 1},
        {"15,000 projects, OpenWith in the middle", slnx, LargeSlnx(15000, kHintMiddle), 1},
        {"15,000 projects, OpenWith at the end", slnx, LargeSlnx(15000, kHintEnd), 1},
        {"15,000 projects, none named", slnx, LargeSlnx(15000, kNoHint), 2},
        {"Japanese names cut by every piece", slnx,
         LargeSlnx(1500, kHintEnd, "Contoso.\xE3\x83\x97\xE3\x83\xA9\xE3\x83\x83\xE3\x83\x88"), 1},
        {"150,000 projects, 20 MB", slnx, LargeSlnx(150000, kNoHint), -1},
        {"a megabyte line first", slnx, "<Solution>" + std::string(1 << 20, ' ') + "</Solution>", 2},
        {"a megabyte line after the version", slnx,
         "<Solution>" + VsProperties(OpenWith("17")) + std::string(1 << 20, 'x') + "</Solution>", 1},
        // Cut short inside a node, with the version read before the cut.
        {"cut inside a tag", slnx, CutInside(LargeSlnx(15000, kHintTop), 1000000, "Path=", 3), -1},
        {"cut inside blanks", slnx, CutInside(LargeSlnx(15000, kHintTop), 1000000, "\n", 3), -1},
        {"cut inside a comment", slnx,
         CutInside(LargeSlnx(15000, kHintTop), 0, "</Solution>", 0) + "<!-- " + std::string(1 << 16, 'x'), -1},
        {"UTF-16", slnx, Utf16(Slnx(VsProperties(OpenWith("17"))), false), 1},
        {"reference in a name", slnx,
         Slnx(VsProperties("<Property Name=\"Open&#87;ith\" Value=\"16\" />")), 0},
        {"empty", slnx, "", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(dir_.Sub(L"src\\App"));
        ASSERT_TRUE(WriteFileBytes(c.path, c.text));
        ExpectDecided(Decide(c.path), c.index);
    }
    // Things that are no file on a disk.
    RemoveTree(dir_.Sub(L"src\\App"));
    ASSERT_TRUE(MakeFolders(slnx));
    ExpectChoice(Decide(slnx));
    ExpectChoice(Decide(L"NUL.slnx"));
    ExpectChoice(Decide(L"\\\\.\\NUL\\App.slnx"));
    // Without an editor that opens .slnx, a solution naming none asks.
    ASSERT_TRUE(WriteFileBytes(dir_.Sub(L"src\\Two\\App.slnx"), Slnx("")));
    g_catalogue.count = 1;
    ExpectChoice(Decide(dir_.Sub(L"src\\Two\\App.slnx")));
    wcscpy_s(g_catalogue.entries[1].version, L"17.10.35004.147");
    g_catalogue.count = 2;
    ExpectChoice(Decide(dir_.Sub(L"src\\Two\\App.slnx")));
}

// Several editors of one version, by every road that picks one by version:
// a release before a prerelease, then the higher version, then the
// catalogue's order. The descriptions only name the editors here.
TEST_F(DecideFromSolutionFile, SeveralEditorsOfOneVersionStartTheOneExpected) {
    struct Editor {
        const wchar_t* name;
        const wchar_t* version;
        int prerelease;
    };
    const Editor pro = {L"Pro", L"17.14.36310.24", 0}, preview = {L"Preview", L"17.15.36401.2", 1};
    const Editor vs2026 = {L"2026", L"18.0.11123.170", 0}, insiders = {L"Insiders", L"18.3.1", 1};
    const struct {
        const wchar_t* solution;
        const wchar_t* versionFolder;  // under .vs, or the file's text decides
        std::string text;
    } roads[] = {
        {L"App.sln", L"App\\v17", ""},
        {L"App.sln", L"App\\v18", ""},
        {L"App.sln", nullptr, SolutionFile(kGenerations[8], true)},
        {L"App.slnx", nullptr, Slnx(VsProperties(OpenWith("Visual Studio Version 18")))},
        {L"App.slnx", nullptr, Slnx("")},
    };
    const struct {
        std::vector<Editor> catalogue;
        const wchar_t* starts[5];  // by each road; nullptr: the list
    } cases[] = {
        {{preview, pro, insiders, vs2026}, {L"Pro", L"2026", L"Pro", L"2026", L"2026"}},
        {{vs2026, insiders, pro, preview}, {L"Pro", L"2026", L"Pro", L"2026", L"2026"}},
        // One editor that fits is taken, prerelease or not.
        {{preview, vs2026}, {L"Preview", L"2026", L"Preview", L"2026", L"2026"}},
        {{insiders, pro}, {L"Pro", L"Insiders", L"Pro", L"Insiders", L"Pro"}},
        {{insiders, {L"Newer", L"18.10.1", 1}}, {nullptr, L"Newer", nullptr, L"Newer", L"Newer"}},
        {{{L"17.9", L"17.9.3", 0}, {L"17.10", L"17.10.1", 0}},
         {L"17.10", nullptr, L"17.10", nullptr, nullptr}},
        {{{L"First", L"18.0.1", 0}, {L"Second", L"18.0.1.0", 0}},
         {nullptr, L"First", nullptr, L"First", L"First"}},
    };
    for (size_t n = 0; n < _countof(cases); ++n) {
        const auto& c = cases[n];
        ZeroMemory(&g_catalogue, sizeof(g_catalogue));
        for (const Editor& e : c.catalogue) {
            AddEditor(e.name, e.version);
            g_catalogue.entries[g_catalogue.count - 1].fPrerelease = e.prerelease;
        }
        for (size_t r = 0; r < _countof(roads); ++r) {
            SCOPED_TRACE("case " + std::to_string(n) + ", road " + std::to_string(r));
            RemoveTree(dir_.Sub(L"src\\App"));
            const std::wstring solution = dir_.Sub(std::wstring(L"src\\App\\") + roads[r].solution);
            if (roads[r].versionFolder) {
                ASSERT_TRUE(MakeFolders(vs_ + L"\\" + roads[r].versionFolder));
            } else {
                ASSERT_TRUE(WriteFileBytes(solution, roads[r].text));
            }
            int index = -1;
            for (int i = 0; c.starts[r] && i < g_catalogue.count; ++i) {
                if (wcscmp(g_catalogue.entries[i].description, c.starts[r]) == 0) index = i;
            }
            ExpectDecided(Decide(solution), index);
        }
    }
}

TEST_F(DecideFromSolutionFile, NoFileOnDiskAsks) {
    ExpectChoice(Decide(sln_));  // missing
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"src\\Folder.sln")));
    ExpectChoice(Decide(dir_.Sub(L"src\\Folder.sln")));
    ExpectChoice(Decide(L"NUL"));
    ExpectChoice(Decide(L"CON"));
    ExpectChoice(Decide(L"\\\\.\\NUL"));
    ASSERT_TRUE(WriteFileBytes(sln_, ""));
    ExpectChoice(Decide(sln_));
}

TEST_F(DecideFromSolutionFile, OnlyTheFirst64KbAreRead) {
    const std::string header = "\r\n" + std::string(kGenerations[8].header);
    // One line of a megabyte before the header: the header is never reached.
    ASSERT_TRUE(WriteFileBytes(sln_, std::string(1 << 20, 'x') + header));
    ExpectChoice(Decide(sln_));
    // The header first, a megabyte after it.
    ASSERT_TRUE(WriteFileBytes(sln_, header + std::string(1 << 20, 'x')));
    ExpectStart(Decide(sln_), 2);
    // Blank lines up to just past the end of what is read.
    ASSERT_TRUE(WriteFileBytes(sln_, std::string(65536 - 10, '\n') + header));
    ExpectChoice(Decide(sln_));
}

TEST_F(DecideFromSolutionFile, FileOpenForWritingElsewhereIsStillRead) {
    ASSERT_TRUE(WriteFileBytes(sln_, SolutionFile(kGenerations[7], true)));
    HANDLE writer = CreateFileW(sln_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    ExpectStart(Decide(sln_), 1);
    CloseHandle(writer);
    // The launcher held no handle: the file can be replaced at once.
    EXPECT_TRUE(DeleteFileW(sln_.c_str()));
}

}  // namespace
