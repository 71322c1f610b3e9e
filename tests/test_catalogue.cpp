// The editor catalogue against the real store: loading, pruning with key
// compaction, the 32-slot bound, sorting, registering and looking up.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue.h"
#include "store_keys.h"
#include "testutil.h"

using namespace testutil;

namespace {

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override {
        ResetStore();
        KalSetRegMidPathW(kAppMidPath);
        memset(&g_catalogue, 0, sizeof(g_catalogue));
    }
    void TearDown() override { ResetStore(); }

    // A folder holding a file named devenv.exe: enough for the catalogue,
    // which only asks whether the file is there.
    std::wstring EditorFolder(const std::wstring& name) {
        std::wstring folder = dir_.Sub(name);
        EXPECT_EQ(1, WriteFileBytes(JoinPath(folder, L"devenv.exe"), "MZ"));
        return folder;
    }

    std::wstring StoredLine(int number) {
        wchar_t key[32];
        KalSnPrintFW(key, L"VS%02d", number);
        std::wstring line;
        GetStoreString(kSectVsInst, key, &line);
        return line;
    }

    DWORD StoredCount() {
        DWORD count = 0xFFFFFFFF;
        GetStoreDword(kSectVsInst, kKeyCount, &count);
        return count;
    }

    // Every stored line, whatever its key, sorted.
    std::vector<std::wstring> StoredLines() {
        std::vector<std::wstring> lines;
        for (const std::wstring& name : StoreValueNames(kSectVsInst)) {
            std::wstring line;
            if (name != kKeyCount && GetStoreString(kSectVsInst, name.c_str(), &line))
                lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    std::vector<std::wstring> LoadedDescriptions() {
        std::vector<std::wstring> out;
        for (int i = 0; i < g_catalogue.count; ++i) out.push_back(g_catalogue.entries[i].description);
        return out;
    }

    TempDir dir_;
};

TEST_F(Catalogue, SortsByDescriptionFoldingOnlyAsciiLetters) {
    // Stored "b", "B", "a": the exchange sort swaps "b" and "a" first, then
    // "B" and "b" compare equal and stay.
    PutStoreCatalogue({{L"b", L"16.0", EditorFolder(L"one")},
                       {L"B", L"17.0", EditorFolder(L"two")},
                       {L"a", L"15.0", EditorFolder(L"three")}});
    ASSERT_EQ(3, LoadCatalogue());
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"B", L"b"}), LoadedDescriptions());
    EXPECT_EQ(dir_.Sub(L"two"), g_catalogue.entries[1].folder);
    EXPECT_EQ(std::wstring(L"17.0"), g_catalogue.entries[1].version);
}

TEST_F(Catalogue, OrderDependsOnDescriptionsNotKeyNumbers) {
    PutStoreCatalogue({{L"Visual Studio 2022", L"17.8", EditorFolder(L"a")},
                       {L"Visual Studio 2017", L"15.9", EditorFolder(L"b")},
                       {L"Visual Studio 2019", L"16.11", EditorFolder(L"c")}});
    ASSERT_EQ(3, LoadCatalogue());
    EXPECT_EQ((std::vector<std::wstring>{L"Visual Studio 2017", L"Visual Studio 2019",
                                         L"Visual Studio 2022"}),
              LoadedDescriptions());
}

TEST_F(Catalogue, SortOfNoneOrOneEntryChangesNothing) {
    wcscpy_s(g_catalogue.entries[0].description, L"z");
    wcscpy_s(g_catalogue.entries[1].description, L"a");
    SortCatalogue(0);
    SortCatalogue(1);
    EXPECT_STREQ(L"z", g_catalogue.entries[0].description);
    EXPECT_STREQ(L"a", g_catalogue.entries[1].description);
    SortCatalogue(2);
    EXPECT_STREQ(L"a", g_catalogue.entries[0].description);
}

// An absent store loads nothing. A stored entry counts whatever "Count"
// says beside it (0, or none at all), and the next registration goes behind
// it, never over it.
TEST_F(Catalogue, EntriesCountWhateverCountSays) {
    EXPECT_EQ(0, LoadCatalogue());
    EXPECT_EQ(0, g_catalogue.count);
    const std::wstring a = EditorFolder(L"a");
    const std::wstring exe = CreateFakeDevenv(dir_.Sub(L"b"), L"b", L"17.0");
    for (int withCount = 0; withCount < 2; ++withCount) {
        SCOPED_TRACE(withCount ? "Count 0" : "no Count");
        ResetStore();
        if (withCount) PutStoreDword(kSectVsInst, kKeyCount, 0);
        PutStoreString(kSectVsInst, L"VS00", L"a;1;" + a);
        EXPECT_EQ(1, LoadCatalogue());
        EXPECT_EQ(1, IsEditorRegistered((a + L"\\devenv.exe").c_str()));
        EditorEntry entry;
        EXPECT_EQ(2, RegisterEditor(exe.c_str(), &entry));
        EXPECT_EQ(L"a;1;" + a, StoredLine(0));
        EXPECT_EQ(L"b;17.0;" + dir_.Sub(L"b"), StoredLine(1));
        EXPECT_EQ(2u, StoredCount());
        EXPECT_EQ(2, LoadCatalogue());
    }
}

TEST_F(Catalogue, UnreadableLinesStayStoredAndUnloaded) {
    std::wstring good = EditorFolder(L"good");
    PutStoreDword(kSectVsInst, kKeyCount, 4);
    PutStoreString(kSectVsInst, L"VS00", L"only;two");
    // VS01 absent.
    PutStoreString(kSectVsInst, L"VS02", L";;");
    PutStoreString(kSectVsInst, L"VS03", L"Good;17.0;" + good);
    ASSERT_EQ(1, LoadCatalogue());
    EXPECT_STREQ(L"Good", g_catalogue.entries[0].description);
    EXPECT_EQ(4u, StoredCount());
    EXPECT_EQ(L"only;two", StoredLine(0));
    EXPECT_EQ(L";;", StoredLine(2));
}

TEST_F(Catalogue, RemovalCompactsKeysAndKeepsTheOrder) {
    // Entries 1 and 3 point at folders without devenv.exe.
    std::wstring a = EditorFolder(L"a");
    std::wstring c = EditorFolder(L"c");
    std::wstring e = EditorFolder(L"e");
    PutStoreCatalogue({{L"A", L"1", a},
                       {L"B", L"2", dir_.Sub(L"gone1")},
                       {L"C", L"3", c},
                       {L"D", L"4", dir_.Sub(L"gone2")},
                       {L"E", L"5", e}});
    ASSERT_EQ(3, LoadCatalogue());
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"C", L"E"}), LoadedDescriptions());
    EXPECT_EQ(3u, StoredCount());
    EXPECT_EQ(L"A;1;" + a, StoredLine(0));
    EXPECT_EQ(L"C;3;" + c, StoredLine(1));
    EXPECT_EQ(L"E;5;" + e, StoredLine(2));
    EXPECT_FALSE(StoreValueExists(kSectVsInst, L"VS03"));
    EXPECT_FALSE(StoreValueExists(kSectVsInst, L"VS04"));

    // The next registration goes behind the survivors and overwrites none.
    std::wstring exe = CreateFakeDevenv(dir_.Sub(L"f"), L"F", L"6.0");
    EditorEntry entry;
    EXPECT_EQ(4, RegisterEditor(exe.c_str(), &entry));
    EXPECT_EQ(L"E;5;" + e, StoredLine(2));
    EXPECT_EQ(L"F;6.0;" + dir_.Sub(L"f"), StoredLine(3));
}

TEST_F(Catalogue, RemovingEveryEntryEmptiesTheCount) {
    PutStoreCatalogue({{L"A", L"1", dir_.Sub(L"x")}, {L"B", L"2", dir_.Sub(L"y")}});
    EXPECT_EQ(0, LoadCatalogue());
    EXPECT_EQ(0u, StoredCount());
    EXPECT_FALSE(StoreValueExists(kSectVsInst, L"VS00"));
    EXPECT_FALSE(StoreValueExists(kSectVsInst, L"VS01"));
}

// "Count" only bounds the numbers: the entries are found by listing the
// section, so a "Count" at the top of its range, as a number or as digits,
// costs what the stored entries cost. Counting up to it would take hours
// and end with the test's time limit.
TEST_F(Catalogue, CountAtTheTopOfItsRangeCostsOnlyTheStoredEntries) {
    const std::wstring a = EditorFolder(L"a");
    const std::wstring b = EditorFolder(L"b");
    for (int asText = 0; asText < 2; ++asText) {
        ResetStore();
        if (asText)
            PutStoreString(kSectVsInst, kKeyCount, L"4294967295");
        else
            PutStoreDword(kSectVsInst, kKeyCount, 0xFFFFFFFF);
        PutStoreString(kSectVsInst, L"VS00", L"A;17.0;" + a);
        PutStoreString(kSectVsInst, L"VS4294967294", L"B;16.0;" + b);
        PutStoreString(kSectVsInst, L"VS007", L"not an entry key;1;" + a);
        ASSERT_EQ(2, LoadCatalogue()) << asText;
        EXPECT_EQ((std::vector<std::wstring>{L"A", L"B"}), LoadedDescriptions());
        EXPECT_EQ(1, IsEditorRegistered((b + L"\\devenv.exe").c_str()));
        EXPECT_EQ(0, IsEditorRegistered(dir_.Sub(L"c\\devenv.exe").c_str()));
        // Registering brings "Count" down to the entries first, keeping
        // their order, and leaves keys that are no entries alone.
        std::wstring exe = CreateFakeDevenv(dir_.Sub(L"c"), L"C", L"15.0");
        EditorEntry entry;
        EXPECT_EQ(3, RegisterEditor(exe.c_str(), &entry));
        EXPECT_EQ(3u, StoredCount());
        EXPECT_EQ(L"A;17.0;" + a, StoredLine(0));
        EXPECT_EQ(L"B;16.0;" + b, StoredLine(1));
        EXPECT_EQ(L"C;15.0;" + dir_.Sub(L"c"), StoredLine(2));
        EXPECT_FALSE(StoreValueExists(kSectVsInst, L"VS4294967294"));
        EXPECT_TRUE(StoreValueExists(kSectVsInst, L"VS007"));
    }
}

// An entry leaves the store only when its devenv.exe or its folder is
// reported not found; anything that cannot be told now keeps it stored.
TEST_F(Catalogue, OnlyEditorsReportedNotFoundArePruned) {
    const std::wstring live = EditorFolder(L"live");
    ASSERT_TRUE(MakeFolders(dir_.Sub(L"odd\\devenv.exe")));  // a folder of that name
    wchar_t absent[] = L"Q:\\";
    for (; absent[0] > L'D' && GetDriveTypeW(absent) != DRIVE_NO_ROOT_DIR; --absent[0]) {
    }
    ASSERT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeW(absent));
    const std::wstring unmounted = std::wstring(absent) + L"Microsoft Visual Studio\\IDE";
    PutStoreCatalogue({{L"Gone", L"1", dir_.Sub(L"gone\\IDE")},
                       {L"Unmounted", L"2", unmounted},
                       {L"Live", L"3", live},
                       {L"Odd", L"4", dir_.Sub(L"odd")},
                       {L"Gone too", L"5", live + L"\\missing"}});
    ASSERT_EQ(1, LoadCatalogue());
    EXPECT_STREQ(L"Live", g_catalogue.entries[0].description);
    EXPECT_EQ(3u, StoredCount());
    EXPECT_EQ(L"Unmounted;2;" + unmounted, StoredLine(0));
    EXPECT_EQ(L"Live;3;" + live, StoredLine(1));
    EXPECT_EQ(L"Odd;4;" + dir_.Sub(L"odd"), StoredLine(2));

    // A folder the user may not look into. The tests run without root's
    // permission overrides (scripts/wine-run.sh), so it answers "access
    // denied" as it would to a user.
    const std::wstring locked = dir_.Sub(L"locked");
    const std::wstring denied = EditorFolder(L"locked\\IDE");
    auto deniedNow = [&] {
        return GetFileAttributesW((denied + L"\\devenv.exe").c_str()) == INVALID_FILE_ATTRIBUTES &&
               GetLastError() == ERROR_ACCESS_DENIED;
    };
    ASSERT_TRUE(RunUnixProgram(L"/bin/chmod", {L"000", UnixPath(locked)}, [&] {
        return GetFileAttributesW((denied + L"\\devenv.exe").c_str()) == INVALID_FILE_ATTRIBUTES;
    }, 10000));
    const bool wasDenied = deniedNow();
    PutStoreCatalogue({{L"Denied", L"6", denied}, {L"Live", L"3", live}});
    EXPECT_EQ(1, LoadCatalogue());
    RunUnixProgram(L"/bin/chmod", {L"755", UnixPath(locked)}, [&] {
        return GetFileAttributesW((denied + L"\\devenv.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
    }, 10000);
    if (!wasDenied) GTEST_SKIP() << "a folder without permissions is not denied here";
    EXPECT_EQ(2u, StoredCount());
    EXPECT_EQ(L"Denied;6;" + denied, StoredLine(0));
}

TEST_F(Catalogue, LoadsAtMostThirtyTwoAndKeepsTheRestStored) {
    std::vector<StoredEditor> editors;
    for (int i = 0; i < 40; ++i) {
        wchar_t name[16];
        KalSnPrintFW(name, L"E%02d", 39 - i);
        editors.push_back({name, L"17.0", EditorFolder(name)});
    }
    PutStoreCatalogue(editors);
    ASSERT_EQ(32, LoadCatalogue());
    EXPECT_EQ(40u, StoredCount());
    // The first 32 keys are loaded (descriptions E39 down to E08), sorted.
    EXPECT_STREQ(L"E08", g_catalogue.entries[0].description);
    EXPECT_STREQ(L"E39", g_catalogue.entries[31].description);
    EXPECT_EQ(L"E00;17.0;" + dir_.Sub(L"E00"), StoredLine(39));

    // No registration stores a 33rd entry, whatever "Count" says; one below
    // 32 still does.
    const std::wstring exe = CreateFakeDevenv(dir_.Sub(L"new"), L"New", L"18.0");
    for (size_t stored : {40u, 32u, 31u}) {
        SCOPED_TRACE(stored);
        ResetStore();
        PutStoreCatalogue(std::vector<StoredEditor>(editors.begin(), editors.begin() + stored));
        PutStoreDword(kSectVsInst, kKeyCount, 3);
        EditorEntry entry;
        EXPECT_EQ(stored < 32 ? 32 : 0, RegisterEditor(exe.c_str(), &entry));
        EXPECT_EQ(stored < 32 ? 32u : 3u, StoredCount());
        EXPECT_EQ(stored < 32, IsEditorRegistered(exe.c_str()));
    }
}

// Which editors are a prerelease is stored apart from the entry lines, one
// REG_DWORD per folder inside the catalogue's section. Only a 1 of that
// type marks one: a catalogue stored before there were marks, and a mark of
// another type or value (edited by hand), load as releases.
TEST_F(Catalogue, OnlyAStoredDwordOneMarksAPrerelease) {
    const std::wstring release = EditorFolder(L"release");
    const std::wstring preview = EditorFolder(L"Preview\\IDE");
    std::wstring upper = preview;
    for (wchar_t& c : upper)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    const DWORD one = 1, zero = 0, two = 2, all = 0xFFFFFFFF;
    const ULONGLONG wide = 1;
    struct Case {
        const char* what;
        std::wstring name;
        DWORD type;
        const void* data;
        DWORD bytes;
        int prerelease;
    } cases[] = {
        {"no mark at all", L"", REG_NONE, nullptr, 0, 0},
        {"marked", preview, REG_DWORD, &one, 4, 1},
        {"marked, folder spelled otherwise", upper, REG_DWORD, &one, 4, 1},
        {"marked as a release", preview, REG_DWORD, &zero, 4, 0},
        {"a value of 2", preview, REG_DWORD, &two, 4, 0},
        {"a value of all ones", preview, REG_DWORD, &all, 4, 0},
        {"a string of 1", preview, REG_SZ, L"1", 4, 0},
        {"binary", preview, REG_BINARY, &one, 4, 0},
        {"a QWORD", preview, REG_QWORD, &wide, 8, 0},
        {"another folder's", release + L"x", REG_DWORD, &one, 4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetStore();
        PutStoreCatalogue({{L"Release", L"17.14", release}, {L"Preview", L"17.15", preview}});
        if (!c.name.empty()) {
            ASSERT_EQ(ERROR_SUCCESS,
                      RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\PikroSuite\\VS-INST\\Prerelease",
                                      c.name.c_str(), c.type, c.data, c.bytes));
        }
        memset(&g_catalogue, 0xA5, sizeof(g_catalogue));
        ASSERT_EQ(2, LoadCatalogue());
        EXPECT_STREQ(L"Preview", g_catalogue.entries[0].description);
        EXPECT_EQ(c.prerelease, g_catalogue.entries[0].fPrerelease);
        EXPECT_EQ(0, g_catalogue.entries[1].fPrerelease);
    }

    // An editor registered anew (a drop) is a release, whatever mark its
    // folder had from an editor there before.
    ResetStore();
    MarkPrerelease(preview.c_str(), 1);
    EditorEntry entry;
    entry.fPrerelease = 1;
    const std::wstring exe = CreateFakeDevenv(preview, L"Dropped", L"17.15");
    ASSERT_EQ(1, RegisterEditor(exe.c_str(), &entry));
    EXPECT_EQ(0, entry.fPrerelease);
    EXPECT_EQ(0, IsMarkedPrerelease(preview.c_str()));
    ASSERT_EQ(1, LoadCatalogue());
    EXPECT_EQ(0, g_catalogue.entries[0].fPrerelease);
}

TEST_F(Catalogue, OverlongStoredFieldsAreCutOrPassedOverSafely) {
    std::wstring folder = EditorFolder(L"ok");
    std::wstring longText(300, L'd');
    std::wstring longFolder = L"C:\\" + std::wstring(280, L'f');
    PutStoreDword(kSectVsInst, kKeyCount, 3);
    PutStoreString(kSectVsInst, L"VS00", longText + L";" + longText + L";" + folder);
    PutStoreString(kSectVsInst, L"VS01", L"Far;1;" + longFolder);
    PutStoreString(kSectVsInst, L"VS02", L"Huge;1;" + folder + std::wstring(1100, L'x'));
    ASSERT_EQ(1, LoadCatalogue());
    EXPECT_EQ(255u, wcslen(g_catalogue.entries[0].description));
    EXPECT_EQ(255u, wcslen(g_catalogue.entries[0].version));
    EXPECT_EQ(folder, g_catalogue.entries[0].folder);
    // Neither the overlong folder nor the overlong line is loaded or lost.
    EXPECT_EQ(3u, StoredCount());
    EXPECT_EQ(L"Far;1;" + longFolder, StoredLine(1));
    EXPECT_EQ(1107u, StoredLine(2).size() - folder.size());
}

TEST_F(Catalogue, RegisterWritesTheNextKeyAndRaisesTheCount) {
    std::wstring exe = CreateFakeDevenv(dir_.Sub(L"IDE"), L"Visual Studio 2022", L"17.8.3");
    EditorEntry entry;
    PutStoreDword(kSectVsInst, kKeyCount, 7);
    EXPECT_EQ(8, RegisterEditor(exe.c_str(), &entry));
    EXPECT_EQ(L"Visual Studio 2022;17.8.3;" + dir_.Sub(L"IDE"), StoredLine(7));
    EXPECT_STREQ(L"Visual Studio 2022", entry.description);
    EXPECT_STREQ(L"17.8.3", entry.version);
    EXPECT_EQ(dir_.Sub(L"IDE"), entry.folder);

    PutStoreDword(kSectVsInst, kKeyCount, 100);
    EXPECT_EQ(101, RegisterEditor(exe.c_str(), &entry));
    EXPECT_TRUE(StoreValueExists(kSectVsInst, L"VS100"));
    EXPECT_EQ(101u, StoredCount());
}

TEST_F(Catalogue, EditorsWithEmptyOrSeparatorTextsLoadAndAreFoundAgain) {
    std::wstring blank = CreateFakeDevenv(dir_.Sub(L"blank"), L"", L"");
    std::wstring none = CreateFakeDevenv(dir_.Sub(L"none"), L"", L"", L"devenv.exe", false);
    std::wstring semi = CreateFakeDevenv(dir_.Sub(L"semi"), L"VS;Preview", L"17;8");
    EditorEntry entry;
    EXPECT_EQ(1, RegisterEditor(blank.c_str(), &entry));
    EXPECT_EQ(2, RegisterEditor(none.c_str(), &entry));
    EXPECT_EQ(3, RegisterEditor(semi.c_str(), &entry));
    EXPECT_STREQ(L"VS,Preview", entry.description);
    EXPECT_STREQ(L"17,8", entry.version);

    ASSERT_EQ(3, LoadCatalogue());
    EXPECT_EQ(3u, StoredCount());
    EXPECT_TRUE(IsEditorRegistered(blank.c_str()));
    EXPECT_TRUE(IsEditorRegistered(none.c_str()));
    EXPECT_TRUE(IsEditorRegistered(semi.c_str()));
}

TEST_F(Catalogue, FolderWithSeparatorLoadsAndIsFound) {
    std::wstring exe = CreateFakeDevenv(dir_.Sub(L"a;b"), L"Odd", L"16.0");
    EditorEntry entry;
    ASSERT_EQ(1, RegisterEditor(exe.c_str(), &entry));
    ASSERT_EQ(1, LoadCatalogue());
    EXPECT_EQ(dir_.Sub(L"a;b"), g_catalogue.entries[0].folder);
    EXPECT_TRUE(IsEditorRegistered(exe.c_str()));
    EXPECT_FALSE(IsEditorRegistered(JoinPath(dir_.Sub(L"a"), L"devenv.exe").c_str()));
}

// A description holding ";", written into the store from outside, shifts
// the fields: "Pro;Preview;17.0;<folder>" reads as the version "Preview" and
// the folder "17.0;<folder>", tried also as "17.0". Neither holds an editor,
// so the line is neither loaded nor kept, even when <folder> holds one. A
// line that carries text behind a real folder loads with that folder and
// stays stored as it is.
TEST_F(Catalogue, ExtraSeparatorShiftsOrTrailsTheFolder) {
    std::wstring real = EditorFolder(L"real");
    std::wstring other = EditorFolder(L"other");
    const std::wstring trailing = L"desc;17.0;" + real + L";extra";
    PutStoreDword(kSectVsInst, kKeyCount, 3);
    PutStoreString(kSectVsInst, L"VS00", L"Pro;Preview;17.0;" + dir_.Sub(L"nothing"));
    PutStoreString(kSectVsInst, L"VS01", trailing);
    PutStoreString(kSectVsInst, L"VS02", L"Pro;Preview;16.0;" + other);
    ASSERT_EQ(1, LoadCatalogue());
    EXPECT_STREQ(L"desc", g_catalogue.entries[0].description);
    EXPECT_STREQ(L"17.0", g_catalogue.entries[0].version);
    EXPECT_EQ(real, g_catalogue.entries[0].folder);
    EXPECT_EQ(std::vector<std::wstring>{trailing}, StoredLines());

    // Loading again finds the same.
    memset(&g_catalogue, 0, sizeof(g_catalogue));
    ASSERT_EQ(1, LoadCatalogue());
    EXPECT_EQ(real, g_catalogue.entries[0].folder);
    EXPECT_EQ(std::vector<std::wstring>{trailing}, StoredLines());
}

TEST_F(Catalogue, RegisteredTestLooksAtStoredFoldersIgnoringCase) {
    std::wstring folder = EditorFolder(L"Common7\\IDE");
    PutStoreCatalogue({{L"A", L"1", folder}});
    std::wstring upper = folder;
    for (wchar_t& c : upper)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    EXPECT_TRUE(IsEditorRegistered((upper + L"\\DEVENV.EXE").c_str()));
    EXPECT_FALSE(IsEditorRegistered((folder + L"x\\devenv.exe").c_str()));
    EXPECT_FALSE(IsEditorRegistered(JoinPath(dir_.Path(), L"devenv.exe").c_str()));
    // Entries the launcher would not load are seen too.
    PutStoreCatalogue({{L"A", L"1", dir_.Sub(L"missing")}});
    EXPECT_TRUE(IsEditorRegistered((dir_.Sub(L"missing") + L"\\devenv.exe").c_str()));
}

TEST_F(Catalogue, FolderOfAnExecutable) {
    wchar_t folder[260];
    ASSERT_EQ(1, FolderOfExecutable(
                     L"C:\\Program Files\\Microsoft Visual Studio 14.0\\Common7\\IDE\\devenv.exe",
                     folder));
    EXPECT_STREQ(L"C:\\Program Files\\Microsoft Visual Studio 14.0\\Common7\\IDE", folder);
    ASSERT_EQ(1, FolderOfExecutable(L"C:\\devenv.exe", folder));
    EXPECT_STREQ(L"C:\\", folder);
    // A directory part longer than an entry can hold is refused, not cut.
    std::wstring deep = L"C:\\" + std::wstring(300, L'd') + L"\\devenv.exe";
    EXPECT_EQ(0, FolderOfExecutable(deep.c_str(), folder));
    EditorEntry entry;
    EXPECT_EQ(0, RegisterEditor(deep.c_str(), &entry));
    EXPECT_FALSE(StoreValueExists(kSectVsInst, L"VS00"));
}

}  // namespace
