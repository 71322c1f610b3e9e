// The support library's non-window parts against the real registry and file
// system: the settings store, path joining and folder emptying, text files,
// formatting, the tokeniser and the version reader.
#include <gtest/gtest.h>

#include <string.h>
#include <wchar.h>
#include <wctype.h>

#include <string>
#include <vector>

#include "KalBase32.h"
#include "testutil.h"

using namespace testutil;

namespace {

const wchar_t kSect[] = L"KalTest";

class KalStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(KalSetRegMidPathW(L"PikroSuite"));
        ASSERT_TRUE(ResetStore());
    }
    void TearDown() override { ResetStore(); }
};

std::wstring SectionKey(const wchar_t* section) {
    return std::wstring(L"Software\\PikroSuite\\") + section;
}

}  // namespace

// --- settings store ----------------------------------------------------------

TEST_F(KalStore, ValuesRoundTripWithTheirRegistryTypes) {
    EXPECT_EQ(1, KalPutProfileUIntW(kSect, L"Count", 4000000000u));
    EXPECT_EQ(1, KalPutProfileStrW(kSect, L"VS00", L"Visual Studio 2022;17.0;C:\\VS 日本"));
    DWORD dword = 0;
    ASSERT_TRUE(GetStoreDword(kSect, L"Count", &dword));
    EXPECT_EQ(4000000000u, dword);
    std::wstring text;
    ASSERT_TRUE(GetStoreString(kSect, L"VS00", &text));
    EXPECT_EQ(L"Visual Studio 2022;17.0;C:\\VS 日本", text);

    EXPECT_EQ(4000000000u, KalGetProfileUIntW(kSect, L"Count", 7));
    wchar_t buf[1024];
    EXPECT_EQ(static_cast<int>(text.size()), KalGetProfileStrW(kSect, L"VS00", L"", buf));
    EXPECT_EQ(text, buf);

    // Replacing keeps one value of the new type.
    EXPECT_EQ(1, KalPutProfileUIntW(kSect, L"VS00", 3));
    EXPECT_EQ(3u, KalGetProfileUIntW(kSect, L"VS00", 7));
    EXPECT_FALSE(GetStoreString(kSect, L"VS00", &text));
}

TEST_F(KalStore, AnythingButAnUnsignedNumberReadsAsTheDefault) {
    EXPECT_EQ(7u, KalGetProfileUIntW(L"NoSuchSection", L"Count", 7));
    ASSERT_TRUE(PutStoreDword(kSect, L"Other", 1));
    EXPECT_EQ(7u, KalGetProfileUIntW(kSect, L"Absent", 7));

    struct Case {
        const wchar_t* stored;
        UINT expected;
    } cases[] = {
        {L"123", 123},        {L"0", 0},           {L"4294967295", 4294967295u},
        {L"4294967296", 7},   {L"99999999999", 7}, {L"", 7},
        {L"12a", 7},          {L" 5", 7},          {L"-1", 7},
        {L"+5", 7},           {L"0x10", 7},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(PutStoreString(kSect, L"Num", c.stored));
        EXPECT_EQ(c.expected, KalGetProfileUIntW(kSect, L"Num", 7)) << "stored \"" << ToUtf8(c.stored) << "\"";
    }

    // Wrong registry types: binary and 64-bit values are not numbers here.
    BYTE bytes[4] = {1, 0, 0, 0};
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, SectionKey(kSect).c_str(), 0,
                                           KEY_SET_VALUE, &key));
    RegSetValueExW(key, L"Bin", 0, REG_BINARY, bytes, sizeof(bytes));
    ULONGLONG q = 5;
    RegSetValueExW(key, L"Q", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&q), sizeof(q));
    RegCloseKey(key);
    EXPECT_EQ(7u, KalGetProfileUIntW(kSect, L"Bin", 7));
    EXPECT_EQ(7u, KalGetProfileUIntW(kSect, L"Q", 7));

    // A number is not a string.
    wchar_t buf[32];
    EXPECT_EQ(3, KalGetProfileStrW(kSect, L"Other", L"dft", buf));
    EXPECT_STREQ(L"dft", buf);
    EXPECT_EQ(0, KalGetProfileStrW(kSect, L"Bin", L"", buf));
    EXPECT_STREQ(L"", buf);
}

TEST_F(KalStore, StringsThatDoNotFitAreCutAndTerminated) {
    ASSERT_TRUE(PutStoreString(kSect, L"S", L"abcdef"));
    wchar_t buf[4];
    wmemset(buf, L'#', 4);
    EXPECT_EQ(3, KalGetProfileStrW(kSect, L"S", L"", buf));
    EXPECT_STREQ(L"abc", buf);
    wchar_t exact[7];
    EXPECT_EQ(6, KalGetProfileStrW(kSect, L"S", L"", exact));
    EXPECT_STREQ(L"abcdef", exact);
    // The default is bounded the same way.
    EXPECT_EQ(3, KalGetProfileStrW(kSect, L"Absent", L"defaults", buf));
    EXPECT_STREQ(L"def", buf);
    wchar_t one[1] = {L'#'};
    EXPECT_EQ(0, KalGetProfileStrW(kSect, L"S", L"", one));
    EXPECT_EQ(L'\0', one[0]);
    // A stored value without its terminator is still read whole.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, SectionKey(kSect).c_str(), 0,
                                           KEY_SET_VALUE, &key));
    RegSetValueExW(key, L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"xyz"), 3 * sizeof(wchar_t));
    RegCloseKey(key);
    wchar_t raw[16];
    EXPECT_EQ(3, KalGetProfileStrW(kSect, L"Raw", L"", raw));
    EXPECT_STREQ(L"xyz", raw);
}

TEST_F(KalStore, DeletingKeysAndSections) {
    EXPECT_EQ(0, KalProfileSectExistsW(kSect));
    ASSERT_TRUE(KalPutProfileUIntW(kSect, L"A", 1));
    ASSERT_TRUE(KalPutProfileStrW(kSect, L"B", L"b"));
    ASSERT_TRUE(KalPutProfileUIntW(L"KalKeep", L"C", 2));

    EXPECT_EQ(1, KalDelProfileKeyW(kSect, L"A"));
    EXPECT_FALSE(StoreValueExists(kSect, L"A"));
    EXPECT_TRUE(StoreValueExists(kSect, L"B"));
    EXPECT_EQ(1, KalDelProfileKeyW(kSect, L"A"));            // already gone
    EXPECT_EQ(1, KalDelProfileKeyW(L"NoSuchSection", L"A"));  // never there
    EXPECT_EQ(0, KalProfileSectExistsW(L"NoSuchSection"));
    // A section emptied of its values is still there.
    ASSERT_EQ(1, KalDelProfileKeyW(kSect, L"B"));
    EXPECT_EQ(1, KalProfileSectExistsW(kSect));
    ASSERT_TRUE(KalPutProfileStrW(kSect, L"B", L"b"));

    // A section goes with its values and any sub-key.
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, SectionKey(kSect) + L"\\Sub", L"x", L"y"));
    EXPECT_EQ(1, KalDelProfileSectW(kSect));
    EXPECT_FALSE(StoreSectionExists(kSect));
    EXPECT_EQ(0, KalProfileSectExistsW(kSect));
    EXPECT_EQ(-1, KalProfileSectExistsW(L""));
    EXPECT_EQ(9u, KalGetProfileUIntW(kSect, L"B", 9));
    EXPECT_EQ(2u, KalGetProfileUIntW(L"KalKeep", L"C", 9));
    EXPECT_EQ(1, KalDelProfileSectW(kSect));
}

TEST_F(KalStore, MidPathSelectsTheKeyAndRefusesBadNames) {
    EXPECT_EQ(0, KalSetRegMidPathW(L""));
    EXPECT_EQ(0, KalSetRegMidPathW(NULL));
    std::wstring tooLong(300, L'x');
    EXPECT_EQ(0, KalSetRegMidPathW(tooLong.c_str()));
    // The refused names left the selection alone.
    ASSERT_TRUE(KalPutProfileUIntW(kSect, L"Where", 5));
    DWORD v = 0;
    EXPECT_TRUE(GetStoreDword(kSect, L"Where", &v));
    EXPECT_EQ(5u, v);

    ASSERT_TRUE(KalSetRegMidPathW(L"PikroKalOther"));
    EXPECT_EQ(9u, KalGetProfileUIntW(kSect, L"Where", 9));
    EXPECT_TRUE(KalPutProfileUIntW(kSect, L"Where", 6));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\PikroKalOther\\KalTest"));
    RegDeleteTree(HKEY_CURRENT_USER, L"Software\\PikroKalOther");
    ASSERT_TRUE(KalSetRegMidPathW(L"PikroSuite"));
}

// --- paths -------------------------------------------------------------------

TEST(KalPathCat, ExactlyOneBackslashBetweenTheParts) {
    const wchar_t* lefts[] = {L"C:\\dir", L"C:\\dir\\"};
    const wchar_t* rights[] = {L"sub", L"\\sub"};
    for (const wchar_t* l : lefts) {
        for (const wchar_t* r : rights) {
            wchar_t buf[260];
            wcscpy_s(buf, l);
            EXPECT_EQ(1, KalPathCatW(buf, r));
            EXPECT_STREQ(L"C:\\dir\\sub", buf) << ToUtf8(l) << " + " << ToUtf8(r);
        }
    }
    wchar_t chain[260] = L"Z:\\tmp";
    EXPECT_EQ(1, KalPathCatW(chain, L"a b"));
    EXPECT_EQ(1, KalPathCatW(chain, L"devenv.exe"));
    EXPECT_STREQ(L"Z:\\tmp\\a b\\devenv.exe", chain);
}

TEST(KalPathCat, AnEmptyBufferTakesThePartAsItIs) {
    wchar_t buf[16] = L"";
    EXPECT_EQ(1, KalPathCatW(buf, L"Pikro.tmp"));
    EXPECT_STREQ(L"Pikro.tmp", buf);
    wchar_t unc[16] = L"";
    EXPECT_EQ(1, KalPathCatW(unc, L"\\\\srv\\x"));
    EXPECT_STREQ(L"\\\\srv\\x", unc);
}

TEST(KalPathCat, NeverCutsAndFillsExactly) {
    // "C:\ab" + "\" + "cd" needs 8 units and the terminator.
    wchar_t exact[9] = L"C:\\ab";
    EXPECT_EQ(1, KalPathCatW(exact, L"cd"));
    EXPECT_STREQ(L"C:\\ab\\cd", exact);

    wchar_t small[8];
    wmemset(small, L'#', 8);
    wcscpy_s(small, L"C:\\ab");
    EXPECT_EQ(0, KalPathCatW(small, L"cd"));
    EXPECT_STREQ(L"C:\\ab", small);
    EXPECT_EQ(L'#', small[7]);  // nothing written behind the text either
    EXPECT_EQ(0, KalPathCatW(small, L"\\cd"));
    EXPECT_STREQ(L"C:\\ab", small);

    wchar_t empty[4] = L"";
    EXPECT_EQ(0, KalPathCatW(empty, L"abcd"));
    EXPECT_STREQ(L"", empty);

    // The 260-unit limit of the suite: 259 units fit, 260 do not.
    wchar_t path[260] = L"C:";
    std::wstring name(256, L'n');
    EXPECT_EQ(1, KalPathCatW(path, name.c_str()));
    EXPECT_EQ(259u, wcslen(path));
    wchar_t path2[260] = L"C:";
    name.push_back(L'n');
    EXPECT_EQ(0, KalPathCatW(path2, name.c_str()));
    EXPECT_STREQ(L"C:", path2);
}

TEST(KalPaths, AppPathIsTheProgramFolder) {
    wchar_t buf[260];
    ASSERT_EQ(1, KalGetAppPathW(buf));
    EXPECT_EQ(0, _wcsicmp(BinDir().c_str(), buf)) << ToUtf8(buf);
    EXPECT_NE(L'\\', buf[wcslen(buf) - 1]);
    wchar_t tiny[4] = L"xyz";
    EXPECT_EQ(0, KalGetAppPathW(tiny));
    EXPECT_STREQ(L"", tiny);
}

TEST(KalPaths, ExistsFolderAndFile) {
    TempDir dir;
    std::wstring file = dir.Sub(L"f.txt");
    ASSERT_TRUE(WriteFileUtf8(file, L"x"));
    EXPECT_TRUE(KalPathExistsW(file.c_str()));
    EXPECT_TRUE(KalPathIsFileW(file.c_str()));
    EXPECT_FALSE(KalPathIsDirectoryW(file.c_str()));
    EXPECT_TRUE(KalPathExistsW(dir.Path().c_str()));
    EXPECT_TRUE(KalPathIsDirectoryW(dir.Path().c_str()));
    EXPECT_FALSE(KalPathIsFileW(dir.Path().c_str()));
    std::wstring none = dir.Sub(L"none");
    EXPECT_FALSE(KalPathExistsW(none.c_str()));
    EXPECT_FALSE(KalPathIsFileW(none.c_str()));
    EXPECT_FALSE(KalPathIsDirectoryW(none.c_str()));
    EXPECT_FALSE(KalPathExistsW(L""));
    EXPECT_FALSE(KalPathIsFileW(NULL));
}

// --- folder walks ------------------------------------------------------------

// Under Wine a folder link always carries the reparse-point attribute, so the
// walks never step into one and a loop through a link that shows as a plain
// folder (a share that follows links on the server, a bind mount) cannot be
// laid out here. The guard is driven directly instead: the same folder comes
// again under other spellings and through a link in the middle of a path,
// which is how such a loop reaches it.
TEST(KalWalkGuard, RefusesFoldersAlreadyInTheChainAndBeyondItsDepth) {
    TempDir dir;
    std::vector<std::wstring> chain = {dir.Path()};
    for (int i = 0; i < KAL_WALK_MAX_DEPTH; ++i) chain.push_back(chain.back() + L"\\d");
    ASSERT_TRUE(MakeFolders(chain.back()));
    ASSERT_TRUE(WriteFileUtf8(dir.Sub(L"f.txt"), L"f"));
    KalWalkGuard guard = {};
    ASSERT_EQ(1, KalWalkEnterW(&guard, chain[0].c_str()));
    ASSERT_EQ(1, KalWalkEnterW(&guard, chain[1].c_str()));
    std::wstring upper = dir.Path();
    for (wchar_t& c : upper) c = towupper(c);
    for (const std::wstring& path : {dir.Path() + L"\\", upper, dir.Sub(L"d\\.."), dir.Sub(L"D"),
                                     dir.Sub(L"f.txt"), dir.Sub(L"none")})
        EXPECT_EQ(0, KalWalkEnterW(&guard, path.c_str())) << ToUtf8(path);
    if (MakeFolderLink(dir.Sub(L"up"), dir.Path())) {
        EXPECT_EQ(0, KalWalkEnterW(&guard, dir.Sub(L"up\\d").c_str()));
    }

    for (int i = 2; i < KAL_WALK_MAX_DEPTH; ++i) ASSERT_EQ(1, KalWalkEnterW(&guard, chain[i].c_str())) << i;
    EXPECT_EQ(0, KalWalkEnterW(&guard, chain.back().c_str()));
    // Leaving makes room, and counts exactly what was entered.
    ASSERT_EQ(1, KalWalkLeave(&guard));
    EXPECT_EQ(1, KalWalkEnterW(&guard, chain.back().c_str()));
    for (int i = 0; i < KAL_WALK_MAX_DEPTH; ++i) EXPECT_EQ(1, KalWalkLeave(&guard)) << i;
    EXPECT_EQ(0, KalWalkLeave(&guard));
    EXPECT_EQ(1, KalWalkEnterW(&guard, chain[0].c_str()));
}

// --- which entries are links -------------------------------------------------

// Wine makes no reparse point with any of these tags (a Unix folder link is
// the only one it shows, with the attribute and tag 0), so the rule is held
// to the tags Windows documents; the cleaning tests below show that Wine's
// folder links are still left alone by every walk.
TEST(KalIsLink, OnlyNameSurrogatesAndWithheldTagsAreLinks) {
    const DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    const DWORD kFile = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT;
    // FILE_ATTRIBUTE_PINNED and FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS, which
    // OneDrive sets and MinGW's headers lack.
    const DWORD kPinned = 0x00080000;
    const DWORD kRecallOnDataAccess = 0x00400000;
    const struct {
        const char* what;
        DWORD attributes;
        DWORD tag;
        int link;
    } cases[] = {
        {"file symbolic link", kFile, IO_REPARSE_TAG_SYMLINK, 1},
        {"folder symbolic link", kFolder, IO_REPARSE_TAG_SYMLINK, 1},
        {"junction or mount point", kFolder, IO_REPARSE_TAG_MOUNT_POINT, 1},
        {"container (WCI) link", kFile, 0xA0000027, 1},
        {"OneDrive folder", kFolder | kPinned, 0x9000701A, 0},
        {"OneDrive file, online only", kFile | kRecallOnDataAccess, 0x9000601A, 0},
        {"cloud file", kFile, 0x9000001A, 0},
        {"deduplicated file", kFile, 0x80000013, 0},
        {"Projected File System folder", kFolder, 0x9000001C, 0},
        {"container (WCI) folder", kFolder, 0x80000018, 0},
        {"app execution alias", kFile, 0x8000001B, 0},
        {"unknown, surrogate bit alone", kFolder, 0x20001234, 1},
        {"unknown, Microsoft's and surrogate bits", kFile, 0xA0001234, 1},
        {"unknown, Microsoft's bit", kFolder, 0x80001234, 0},
        {"unknown, no bit", kFile, 0x00001234, 0},
        {"tag withheld, as Wine lists a folder link", kFolder, 0, 1},
        {"reserved tag 1", kFile, 1, 1},
        {"no reparse point, a surrogate tag left over", FILE_ATTRIBUTE_DIRECTORY,
         IO_REPARSE_TAG_SYMLINK, 0},
        {"plain file", FILE_ATTRIBUTE_ARCHIVE, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.link, KalIsLink(c.attributes, c.tag));
    }
}

// A folder link as Wine shows it is a link by every way of asking: by its
// path, in a listing through a handle, and in a search's find data.
TEST(KalIsLink, WineFolderLinksAreLinksHoweverListed) {
    TempDir dir;
    ASSERT_TRUE(WriteFileUtf8(dir.Sub(L"real\\f.txt"), L"f"));
    if (!MakeFolderLink(dir.Sub(L"link"), dir.Sub(L"real"))) GTEST_SKIP() << "no folder links here";

    DWORD attributes = 0;
    DWORD tag = 0;
    ASSERT_EQ(1, KalGetEntryInfoW(dir.Sub(L"link").c_str(), &attributes, &tag));
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(1, KalIsLink(attributes, tag));
    for (const wchar_t* plain : {L"real", L"real\\f.txt"}) {
        ASSERT_EQ(1, KalGetEntryInfoW(dir.Sub(plain).c_str(), &attributes, &tag)) << ToUtf8(plain);
        EXPECT_EQ(0, KalIsLink(attributes, tag)) << ToUtf8(plain);
        EXPECT_EQ(0u, tag) << ToUtf8(plain);
    }
    EXPECT_EQ(0, KalGetEntryInfoW(dir.Sub(L"none").c_str(), &attributes, &tag));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_EQ(0, KalGetEntryInfoW(L"", &attributes, &tag));
    EXPECT_EQ(0, KalGetEntryInfoW(dir.Sub(L"link").c_str(), nullptr, &tag));

    std::vector<std::wstring> links;
    HANDLE folder = KalOpenFolderW(dir.Path().c_str());
    ASSERT_NE(INVALID_HANDLE_VALUE, folder);
    KalFolderListing listing;
    ASSERT_TRUE(KalListOpen(&listing, folder));
    KalFolderEntry entry;
    while (KalListNext(&listing, &entry)) {
        if (KalIsLink(entry.attributes, entry.reparseTag)) links.push_back(entry.name);
    }
    KalListClose(&listing);
    CloseHandle(folder);
    EXPECT_EQ(std::vector<std::wstring>{L"link"}, links);

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(dir.Sub(L"*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    links.clear();
    do {
        if (KalIsLink(found.dwFileAttributes, found.dwReserved0)) links.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_EQ(std::vector<std::wstring>{L"link"}, links);
}

// --- emptying a folder -----------------------------------------------------

TEST(KalCleanFolder, EmptiesANestedTreeWithReadOnlyEntries) {
    TempDir dir;
    std::wstring vs = dir.Sub(L".vs");
    ASSERT_TRUE(WriteFileUtf8(vs + L"\\Sln\\v17\\.suo", L"s"));
    ASSERT_TRUE(WriteFileUtf8(vs + L"\\Sln\\v17\\deep\\deeper\\x.db", L"d"));
    ASSERT_TRUE(WriteFileUtf8(vs + L"\\top.txt", L"t"));
    ASSERT_TRUE(WriteFileUtf8(vs + L"\\ro.txt", L"r"));
    ASSERT_TRUE(WriteFileUtf8(vs + L"\\rodir\\inner.txt", L"i"));
    ASSERT_TRUE(WriteFileUtf8(vs + L"\\rodir\\inner-ro.txt", L"i"));
    ASSERT_TRUE(MakeFolders(vs + L"\\empty"));
    ASSERT_TRUE(SetFileAttributesW((vs + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW((vs + L"\\rodir\\inner-ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW((vs + L"\\rodir").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(GetFileAttributesW((vs + L"\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(1, KalCleanFolderW(vs.c_str(), 0, 0));
    EXPECT_TRUE(KalPathIsDirectoryW(vs.c_str()));
    EXPECT_TRUE(ListFolder(vs).empty());
    // Nothing beside the folder was touched, and an empty folder stays empty.
    EXPECT_EQ(std::vector<std::wstring>{L".vs"}, ListFolder(dir.Path()));
    EXPECT_EQ(1, KalCleanFolderW((vs + L"\\").c_str(), 0, 0));
}

TEST(KalCleanFolder, KeepsFolderLinksWithoutFollowingThem) {
    TempDir dir;
    std::wstring vs = dir.Sub(L".vs");
    std::wstring outside = dir.Sub(L"outside");
    ASSERT_TRUE(WriteFileUtf8(outside + L"\\keep.txt", L"k"));
    ASSERT_TRUE(WriteFileUtf8(outside + L"\\sub\\keep2.txt", L"k"));
    ASSERT_TRUE(WriteFileUtf8(vs + L"\\v16\\a.txt", L"a"));
    ASSERT_TRUE(WriteFileUtf8(vs + L"\\v16\\deeper\\b.txt", L"b"));
    ASSERT_TRUE(WriteFileUtf8(vs + L"\\v17\\c.txt", L"c"));
    ASSERT_TRUE(WriteFileUtf8(vs + L"\\top.txt", L"t"));
    if (!MakeFolderLink(vs + L"\\link", outside)) GTEST_SKIP() << "no folder links here";
    ASSERT_TRUE(MakeFolderLink(vs + L"\\v16\\cycle", vs));
    ASSERT_TRUE(MakeFolders(dir.Sub(L"empty")));
    ASSERT_TRUE(MakeFolderLink(vs + L"\\toempty", dir.Sub(L"empty")));
    DWORD attributes = GetFileAttributesW((vs + L"\\link").c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT);

    // v16 stays for the link inside it, so more than links is left.
    EXPECT_EQ(0, KalCleanFolderW(vs.c_str(), 0, 0));
    EXPECT_EQ((std::vector<std::wstring>{L"link", L"toempty", L"v16"}), ListFolder(vs));
    EXPECT_EQ(std::vector<std::wstring>{L"cycle"}, ListFolder(vs + L"\\v16"));
    for (const wchar_t* link : {L"\\link", L"\\toempty", L"\\v16\\cycle"}) {
        DWORD kept = GetFileAttributesW((vs + link).c_str());
        EXPECT_TRUE(kept != INVALID_FILE_ATTRIBUTES && (kept & FILE_ATTRIBUTE_REPARSE_POINT)) << ToUtf8(link);
    }
    // Nothing behind a link was touched, not even an empty folder.
    EXPECT_EQ((std::vector<std::wstring>{L"keep.txt", L"sub"}), ListFolder(outside));
    EXPECT_TRUE(FileExists(outside + L"\\sub\\keep2.txt"));
    EXPECT_TRUE(KalPathIsDirectoryW(dir.Sub(L"empty").c_str()));
    // A folder that holds nothing but links counts as clean.
    EXPECT_EQ(1, KalCleanFolderW((vs + L"\\v16").c_str(), 0, 0));
    EXPECT_EQ(std::vector<std::wstring>{L"cycle"}, ListFolder(vs + L"\\v16"));
}

TEST(KalCleanFolder, AFolderThatIsALinkIsNotEmptied) {
    TempDir dir;
    TempDir outside;
    std::wstring target = outside.Sub(L"target");
    ASSERT_TRUE(WriteFileUtf8(target + L"\\keep.txt", L"k"));
    ASSERT_TRUE(WriteFileUtf8(dir.Sub(L"own\\x.txt"), L"x"));
    if (!MakeFolderLink(dir.Sub(L"v16"), target)) GTEST_SKIP() << "no folder links here";
    EXPECT_EQ(0, KalCleanFolderW(dir.Sub(L"v16").c_str(), 0, 0));
    EXPECT_EQ(0, KalCleanFolderW((dir.Sub(L"v16") + L"\\").c_str(), 0, 0));
    EXPECT_TRUE(FileExists(target + L"\\keep.txt"));
    // Emptying its parent takes the real folder and leaves the link.
    EXPECT_EQ(1, KalCleanFolderW(dir.Path().c_str(), 0, 0));
    EXPECT_EQ(std::vector<std::wstring>{L"v16"}, ListFolder(dir.Path()));
    EXPECT_TRUE(FileExists(dir.Sub(L"v16\\keep.txt")));
}

// The walk goes at most KAL_WALK_MAX_DEPTH levels below the folder; what
// lies deeper stays, and so do the folders that lead there.
TEST(KalCleanFolder, GoesNoDeeperThanTheWalksDepth) {
    TempDir dir;
    std::vector<std::wstring> tooDeep = {dir.Sub(L"deep")};
    for (int i = 0; i <= KAL_WALK_MAX_DEPTH; ++i) tooDeep.push_back(tooDeep.back() + L"\\d");
    for (const std::wstring& folder : tooDeep) ASSERT_TRUE(WriteFileUtf8(folder + L"\\f.txt", L"f"));
    EXPECT_EQ(0, KalCleanFolderW(tooDeep[0].c_str(), 0, 0));
    for (size_t i = 0; i + 1 < tooDeep.size(); ++i) {
        EXPECT_FALSE(FileExists(tooDeep[i] + L"\\f.txt")) << i;
        EXPECT_TRUE(FolderExists(tooDeep[i])) << i;
    }
    EXPECT_TRUE(FileExists(tooDeep.back() + L"\\f.txt"));

    // A tree exactly as deep as the walk goes is emptied whole.
    std::wstring fits = dir.Sub(L"fits");
    std::wstring bottom = fits;
    for (int i = 0; i < KAL_WALK_MAX_DEPTH; ++i) bottom += L"\\d";
    ASSERT_TRUE(WriteFileUtf8(bottom + L"\\f.txt", L"f"));
    EXPECT_EQ(1, KalCleanFolderW(fits.c_str(), 0, 0));
    EXPECT_TRUE(ListFolder(fits).empty());
}

// Hard links share their attributes with every other name of the file. The
// cleaning deletes this one name and leaves the read-only file outside as it
// was: attribute, content and time.
TEST(KalCleanFolder, AHardLinkOfAReadOnlyFileOutsideLosesOnlyItsName) {
    TempDir dir;
    TempDir outside;
    const std::wstring precious = outside.Sub(L"precious.txt");
    ASSERT_TRUE(WriteFileUtf8(precious, L"precious"));
    ASSERT_TRUE(SetFileAttributesW(precious.c_str(), FILE_ATTRIBUTE_READONLY));
    WIN32_FILE_ATTRIBUTE_DATA before, after;
    ASSERT_TRUE(GetFileAttributesExW(precious.c_str(), GetFileExInfoStandard, &before));
    const std::wstring v17 = dir.Sub(L"v17");
    ASSERT_TRUE(MakeFolders(v17 + L"\\deep"));
    if (!CreateHardLinkW((v17 + L"\\link.txt").c_str(), precious.c_str(), NULL))
        GTEST_SKIP() << "no hard links here";
    ASSERT_TRUE(CreateHardLinkW((v17 + L"\\deep\\link.txt").c_str(), precious.c_str(), NULL));
    EXPECT_EQ(1, KalCleanFolderW(v17.c_str(), 0, 0));
    EXPECT_TRUE(ListFolder(v17).empty());
    ASSERT_TRUE(GetFileAttributesExW(precious.c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(before.dwFileAttributes, after.dwFileAttributes);
    EXPECT_EQ(0, CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime));
    EXPECT_EQ(L"precious", ReadFileUtf8(precious));
    SetFileAttributesW(precious.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A file link (a symbolic link to a file) is a link like a folder link and
// stays, and what it points to with it. Wine 8 shows a Unix file link as
// the plain file it points to, without the reparse-point attribute, and
// opens the file itself even when asked for the link: no program can tell
// the two apart there, so deleting the link deletes its target. The case
// runs only where the link shows as one.
TEST(KalCleanFolder, AFileLinkStaysWithWhatItPointsTo) {
    TempDir dir;
    TempDir outside;
    const std::wstring target = outside.Sub(L"target.txt");
    ASSERT_TRUE(WriteFileUtf8(target, L"target"));
    const std::wstring v17 = dir.Sub(L"v17");
    ASSERT_TRUE(MakeFolders(v17));
    const std::wstring link = v17 + L"\\link.txt";
    const std::wstring unixLink = UnixPath(link), unixTarget = UnixPath(target);
    if (!unixLink.empty() && !unixTarget.empty()) {
        RunUnixProgram(L"/bin/ln", {L"-s", L"--", unixTarget, unixLink},
                       [&link]() { return FileExists(link) != 0; }, 5000);
    } else {
        CreateSymbolicLinkW(link.c_str(), target.c_str(), 0);
    }
    const DWORD attributes = GetFileAttributesW(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no file links here";
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "a file link shows as the file it points to here (Wine 8)";
    KalCleanFolderW(v17.c_str(), 0, 0);
    EXPECT_EQ(std::vector<std::wstring>{L"link.txt"}, ListFolder(v17));
    EXPECT_EQ(L"target", ReadFileUtf8(target));
}

TEST(KalCleanFolder, RefusesWhatIsNotAFolder) {
    TempDir dir;
    std::wstring file = dir.Sub(L"f.txt");
    ASSERT_TRUE(WriteFileUtf8(file, L"x"));
    EXPECT_EQ(0, KalCleanFolderW(file.c_str(), 0, 0));
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(0, KalCleanFolderW(dir.Sub(L"none").c_str(), 0, 0));
    EXPECT_EQ(0, KalCleanFolderW(L"", 0, 0));
    EXPECT_EQ(0, KalCleanFolderW(NULL, 0, 0));
}

TEST(KalCleanFolderEx, KeepsTheNamedFilesAtTheTopUntouched) {
    TempDir dir;
    std::wstring v17 = dir.Sub(L"v17");
    ASSERT_TRUE(WriteFileUtf8(v17 + L"\\.SUO", L"options"));
    ASSERT_TRUE(WriteFileUtf8(v17 + L"\\DocumentLayout.json", L"{}"));
    // The same names as a folder or further down, and names only nearly alike, go.
    ASSERT_TRUE(WriteFileUtf8(v17 + L"\\DocumentLayout.backup.json\\inside.txt", L"i"));
    ASSERT_TRUE(WriteFileUtf8(v17 + L"\\sub\\.suo", L"s"));
    ASSERT_TRUE(WriteFileUtf8(v17 + L"\\x.suo", L"x"));
    ASSERT_TRUE(WriteFileUtf8(v17 + L"\\DocumentLayout.json.bak", L"b"));
    // A read-only .suo written long ago, so that any change to it shows.
    std::wstring suo = v17 + L"\\.SUO";
    HANDLE file = CreateFileW(suo.c_str(), FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    FILETIME y2000 = {0x256D4000u, 0x01BF53EBu};
    EXPECT_TRUE(SetFileTime(file, NULL, NULL, &y2000));
    CloseHandle(file);
    ASSERT_TRUE(SetFileAttributesW(suo.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    WIN32_FILE_ATTRIBUTE_DATA before, after;
    ASSERT_TRUE(GetFileAttributesExW(suo.c_str(), GetFileExInfoStandard, &before));

    // Handles that share neither writing nor deleting: a cleaning that moved,
    // rewrote or deleted a kept file would fail to and say so.
    HANDLE holds[2] = {CreateFileW(suo.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL),
                       CreateFileW((v17 + L"\\DocumentLayout.json").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                   NULL, OPEN_EXISTING, 0, NULL)};
    static const wchar_t* const kKeep[] = {L".suo", L"DocumentLayout.json", L"DocumentLayout.backup.json"};
    int result = KalCleanFolderExW(v17.c_str(), kKeep);
    for (HANDLE hold : holds) {
        EXPECT_NE(INVALID_HANDLE_VALUE, hold);
        CloseHandle(hold);
    }
    EXPECT_EQ(1, result);
    EXPECT_EQ((std::vector<std::wstring>{L".SUO", L"DocumentLayout.json"}), ListFolder(v17));
    ASSERT_TRUE(GetFileAttributesExW(suo.c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(before.dwFileAttributes, after.dwFileAttributes);
    EXPECT_EQ(0, CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime));
    EXPECT_EQ(L"options", ReadFileUtf8(suo));

    // Wrong arguments touch nothing; only the first keepCount names count.
    EXPECT_EQ(0, KalCleanFolderExW(v17.c_str(), kKeep, -1));
    EXPECT_EQ(0, KalCleanFolderExW(v17.c_str(), NULL, 1));
    EXPECT_EQ(2u, ListFolder(v17).size());
    EXPECT_EQ(1, KalCleanFolderExW((v17 + L"\\").c_str(), kKeep, 1));
    EXPECT_EQ(std::vector<std::wstring>{L".SUO"}, ListFolder(v17));
}

// --- text files --------------------------------------------------------------

namespace {

std::vector<std::wstring> ReadLines(const std::wstring& path, int units) {
    std::vector<std::wstring> lines;
    KalFile* f = KalFOpenW(path.c_str(), KAL_FOPEN_READ_TEXT);
    if (!f) {
        ADD_FAILURE() << "cannot open " << ToUtf8(path);
        return lines;
    }
    std::vector<wchar_t> buf(static_cast<size_t>(units) + 1, L'#');
    // Bounded: a reader that never reports the end must not hang the test.
    for (int i = 0; i < 100; ++i) {
        wchar_t* got = KalFGetSW(f, buf.data(), units);
        if (!got) break;
        EXPECT_EQ(buf.data(), got);
        EXPECT_EQ(L'#', buf[static_cast<size_t>(units)]) << "written past the buffer";
        lines.push_back(got);
    }
    EXPECT_EQ(1, KalFClose(f));
    return lines;
}

}  // namespace

// Runs under both languages: the command interpreter writes "assoc" output
// in code page 437 under en-US and 932 under Japanese.
TEST(KalTextFileLang, ReadsTheOemCodePageWithoutAMark) {
    TempDir dir;
    // Under 437, "ü" and "é" are 0x81 and 0x82, under the ANSI code page
    // 0xFC and 0xE9; under 932 the Japanese type name takes two bytes a
    // character. Either way the OEM bytes must come back as the characters.
    std::wstring name = GetOEMCP() == 932 ? L"ソリューション" : L"Typ\u00FC\u00E9";
    std::wstring text = L".sln=" + name + L"\r\nsecond\r\n";
    BOOL lossy = FALSE;
    int bytes = WideCharToMultiByte(GetOEMCP(), WC_NO_BEST_FIT_CHARS, text.c_str(), -1, NULL, 0,
                                    NULL, &lossy);
    ASSERT_GT(bytes, 1);
    ASSERT_FALSE(lossy) << "code page " << GetOEMCP();
    std::string oem(static_cast<size_t>(bytes - 1), '\0');
    WideCharToMultiByte(GetOEMCP(), WC_NO_BEST_FIT_CHARS, text.c_str(), -1, &oem[0], bytes, NULL,
                        NULL);
    ASSERT_TRUE(WriteFileBytes(dir.Sub(L"assoc.tmp"), oem));
    std::vector<std::wstring> expected = {L".sln=" + name + L"\n", L"second\n"};
    EXPECT_EQ(expected, ReadLines(dir.Sub(L"assoc.tmp"), 324));
}

TEST(KalTextFile, HonoursUtf16AndUtf8Marks) {
    TempDir dir;
    ASSERT_TRUE(WriteFileUtf16(dir.Sub(L"u16.txt"), L"日本語 line\r\nzweite \u00FC\r\nlast"));
    std::vector<std::wstring> expected16 = {L"日本語 line\n", L"zweite \u00FC\n", L"last"};
    EXPECT_EQ(expected16, ReadLines(dir.Sub(L"u16.txt"), 64));

    ASSERT_TRUE(WriteFileBytes(dir.Sub(L"u8.txt"),
                               "\xEF\xBB\xBF" + ToUtf8(L".sln=ソリューション\r\n") + "x\n"));
    std::vector<std::wstring> expected8 = {L".sln=ソリューション\n", L"x\n"};
    EXPECT_EQ(expected8, ReadLines(dir.Sub(L"u8.txt"), 64));
}

TEST(KalTextFile, LongLinesContinueInTheNextRead) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.Sub(L"long.txt"), "abcdefghij\r\nxyz\r\n"));
    std::vector<std::wstring> expected = {L"abcd", L"efgh", L"ij\n", L"xyz\n"};
    EXPECT_EQ(expected, ReadLines(dir.Sub(L"long.txt"), 5));
    // The line feed is kept only when it fits; then it comes on its own.
    std::vector<std::wstring> exact = {L"abc", L"\n"};
    ASSERT_TRUE(WriteFileBytes(dir.Sub(L"exact.txt"), "abc\r\n"));
    EXPECT_EQ(exact, ReadLines(dir.Sub(L"exact.txt"), 4));
    std::vector<std::wstring> fits = {L"abc\n"};
    EXPECT_EQ(fits, ReadLines(dir.Sub(L"exact.txt"), 5));
}

TEST(KalTextFile, EmptyMissingAndBadArguments) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.Sub(L"empty.txt"), ""));
    EXPECT_TRUE(ReadLines(dir.Sub(L"empty.txt"), 16).empty());
    ASSERT_TRUE(WriteFileBytes(dir.Sub(L"crlf.txt"), "\r\n\r\n"));
    std::vector<std::wstring> blank = {L"\n", L"\n"};
    EXPECT_EQ(blank, ReadLines(dir.Sub(L"crlf.txt"), 16));

    EXPECT_EQ(nullptr, KalFOpenW(dir.Sub(L"none.txt").c_str(), KAL_FOPEN_READ_TEXT));
    EXPECT_EQ(nullptr, KalFOpenW(dir.Path().c_str(), KAL_FOPEN_READ_TEXT));
    EXPECT_EQ(nullptr, KalFOpenW(dir.Sub(L"crlf.txt").c_str(), 1));
    KalFile* f = KalFOpenW(dir.Sub(L"crlf.txt").c_str(), KAL_FOPEN_READ_TEXT);
    ASSERT_NE(nullptr, f);
    wchar_t one[1];
    EXPECT_EQ(nullptr, KalFGetSW(f, one, 1));
    EXPECT_EQ(nullptr, KalFGetSW(f, one, 0));
    KalFClose(f);
    EXPECT_EQ(0, KalFClose(NULL));
}

// --- formatting --------------------------------------------------------------

TEST(KalSnPrintF, ConversionsTheSuiteUses) {
    wchar_t buf[1024];
    EXPECT_EQ(4, KalSnPrintFW(buf, L"VS%02d", 5));
    EXPECT_STREQ(L"VS05", buf);
    KalSnPrintFW(buf, L"VS%02d", 31);
    EXPECT_STREQ(L"VS31", buf);
    KalSnPrintFW(buf, L"%02d", 123);
    EXPECT_STREQ(L"123", buf);
    KalSnPrintFW(buf, L"Travuna ( Ver %s )", L"1.0.0.2");
    EXPECT_STREQ(L"Travuna ( Ver 1.0.0.2 )", buf);
    KalSnPrintFW(buf, L"ftype PikroSln=%s %%1", L"C:\\P\\Pikro.exe");
    EXPECT_STREQ(L"ftype PikroSln=C:\\P\\Pikro.exe %1", buf);
    KalSnPrintFW(buf, L"%s;%s;%s", L"Visual Studio 日本", L"17.0", L"C:\\x");
    EXPECT_STREQ(L"Visual Studio 日本;17.0;C:\\x", buf);
    EXPECT_EQ(6, KalSnPrintFW(buf, L"%s", static_cast<const wchar_t*>(NULL)));
    EXPECT_STREQ(L"(null)", buf);
    KalSnPrintFW(buf, L"%d|%d|%5d|%-4d|%05d|%u", -42, 0, 42, 7, -42, 4294967295u);
    EXPECT_STREQ(L"-42|0|   42|7   |-0042|4294967295", buf);
    KalSnPrintFW(buf, L"%d", static_cast<int>(0x80000000u));
    EXPECT_STREQ(L"-2147483648", buf);
    KalSnPrintFW(buf, L"%x|%04X|%08x|%c|%3s|", 255u, 255u, 0x40904B0u, L'Z', L"a");
    EXPECT_STREQ(L"ff|00FF|040904b0|Z|  a|", buf);
    KalSnPrintFW(buf, L"%ls=%lu", L"Count", 12u);
    EXPECT_STREQ(L"Count=12", buf);
}

TEST(KalSnPrintF, UnknownConversionsFailAndLeaveTheBufferEmpty) {
    // Known text and a known conversion come first, so a formatter that only
    // skipped the unknown conversion would write something.
    for (const wchar_t* format : {L"ok %s %f", L"ok %s %5.2f", L"ok %s %*d", L"ok %s %p", L"ok %s %lf",
                                  L"ok %s %lld", L"ok %s %I64d", L"ok %s %hd", L"ok %s %i", L"ok %s %S",
                                  L"ok %s %-q", L"ok %s %l", L"ok %s %.s", L"%p%s"}) {
        wchar_t buf[64];
        wmemset(buf, L'#', _countof(buf));
        EXPECT_EQ(-1, KalSnPrintFW(buf, format, L"text", 1.5, L"more")) << ToUtf8(format);
        EXPECT_EQ(L'\0', buf[0]) << ToUtf8(format);
    }
    // Also after output that was already cut; %% and a lone % at the very
    // end still stand for a percent sign.
    wchar_t buf[8];
    EXPECT_EQ(-1, KalSnPrintFW(buf, L"%s%f", L"much too long", 2.0));
    EXPECT_STREQ(L"", buf);
    EXPECT_EQ(5, KalSnPrintFW(buf, L"%d%%%", 100));
    EXPECT_STREQ(L"100%%", buf);
}

TEST(KalSnPrintF, CutOutputStaysTerminated) {
    wchar_t buf[5];
    wmemset(buf, L'#', 5);
    EXPECT_EQ(-1, KalSnPrintFW(buf, L"%s", L"abcdefg"));
    EXPECT_STREQ(L"abcd", buf);
    EXPECT_EQ(4, KalSnPrintFW(buf, L"%s", L"abcd"));  // exactly fits
    EXPECT_STREQ(L"abcd", buf);
    EXPECT_EQ(-1, KalSnPrintFW(buf, L"ab%05d", 1));
    EXPECT_STREQ(L"ab00", buf);
    EXPECT_EQ(-1, KalSnPrintFW(buf, L"abcd%%"));
    EXPECT_STREQ(L"abcd", buf);
    wchar_t untouched[2] = {L'#', L'#'};
    EXPECT_EQ(-1, KalSnPrintFW(untouched, 0, L"x"));
    EXPECT_EQ(L'#', untouched[0]);
    EXPECT_EQ(-1, KalSnPrintFW(untouched, 1, L"x"));
    EXPECT_EQ(L'\0', untouched[0]);
    EXPECT_EQ(0, KalSnPrintFW(untouched, 1, L""));
    // A width far beyond the buffer only fills it.
    wchar_t wide[8];
    EXPECT_EQ(-1, KalSnPrintFW(wide, L"%99999999d", 1));
    EXPECT_STREQ(L"       ", wide);
}

// --- tokeniser ---------------------------------------------------------------

namespace {

std::vector<std::wstring> KalTokens(std::wstring text, const wchar_t* delimiters) {
    std::vector<std::wstring> out;
    text.push_back(L'\0');
    for (wchar_t* t = KalStrTokW(&text[0], delimiters); t && out.size() < 100;
         t = KalStrTokW(NULL, delimiters))
        out.push_back(t);
    return out;
}

std::vector<std::wstring> CrtTokens(std::wstring text, const wchar_t* delimiters) {
    std::vector<std::wstring> out;
    text.push_back(L'\0');
    wchar_t* context = NULL;
    for (wchar_t* t = wcstok_s(&text[0], delimiters, &context); t && out.size() < 100;
         t = wcstok_s(NULL, delimiters, &context))
        out.push_back(t);
    return out;
}

}  // namespace

TEST(KalStrTok, BehavesLikeTheCLibrary) {
    const wchar_t* texts[] = {
        L"Visual Studio 2022;17.0;C:\\VS",
        L";;desc;;ver;;folder;;",
        L"desc;;folder",
        L";;;",
        L"",
        L"no delimiter at all",
        L"C:\\My Sln\\a.sln\" trailing",
        L".sln=Type\n",
        L"\"\"",
    };
    const wchar_t* delimiter_sets[] = {L";", L"\"", L"\n", L" ;", L"xyz"};
    for (const wchar_t* t : texts) {
        for (const wchar_t* d : delimiter_sets) {
            EXPECT_EQ(CrtTokens(t, d), KalTokens(t, d)) << "\"" << ToUtf8(t) << "\" / \"" << ToUtf8(d) << "\"";
        }
    }
    std::vector<std::wstring> two = {L"desc", L"folder"};
    EXPECT_EQ(two, KalTokens(L"desc;;folder", L";"));
}

TEST(KalStrTok, CutsInPlaceAndKeepsItsState) {
    wchar_t line[] = L"C:\\a b\\x.sln\" rest";
    EXPECT_EQ(line, KalStrTokW(line, L"\""));
    EXPECT_STREQ(L"C:\\a b\\x.sln", line);
    EXPECT_STREQ(L" rest", KalStrTokW(NULL, L"\""));
    EXPECT_EQ(nullptr, KalStrTokW(NULL, L"\""));
    EXPECT_EQ(nullptr, KalStrTokW(NULL, L"\""));
    // An empty delimiter set makes the rest one token.
    wchar_t whole[] = L"a;b";
    EXPECT_STREQ(L"a;b", KalStrTokW(whole, L""));
    EXPECT_EQ(nullptr, KalStrTokW(NULL, L""));
    wchar_t empty[] = L"";
    EXPECT_EQ(nullptr, KalStrTokW(empty, L"\""));
    EXPECT_EQ(nullptr, KalStrTokW(NULL, L"\""));
}

// --- version resources -------------------------------------------------------

TEST(KalVerInfo, ReadsTheLaunchersVersionResource) {
    std::wstring pikro = ProgramPath(L"Pikro.exe");
    wchar_t buf[256];
    EXPECT_EQ(7, KalGetVerInfoW(pikro.c_str(), L"FileDescription", buf));
    EXPECT_STREQ(L"Travuna", buf);
    EXPECT_EQ(7, KalGetVerInfoW(pikro.c_str(), L"FileVersion", buf));
    EXPECT_STREQ(L"1.0.0.2", buf);
    wchar_t small[4];
    EXPECT_EQ(3, KalGetVerInfoW(pikro.c_str(), L"FileVersion", small));
    EXPECT_STREQ(L"1.0", small);
    EXPECT_EQ(0, KalGetVerInfoW(pikro.c_str(), L"NoSuchItem", buf));
    EXPECT_STREQ(L"", buf);
}

TEST(KalVerInfo, OtherTranslationsAndFilesWithoutAResource) {
    TempDir dir;
    std::wstring exe = CreateFakeDevenv(dir.Sub(L"VS1"), L"Microsoft Visual Studio 2019", L"16.11.5");
    ASSERT_FALSE(exe.empty());
    wchar_t buf[256];
    EXPECT_EQ(28, KalGetVerInfoW(exe.c_str(), L"FileDescription", buf));
    EXPECT_STREQ(L"Microsoft Visual Studio 2019", buf);

    // A file that is no program at all, and one whose resource was removed.
    std::wstring plain = dir.Sub(L"plain.exe");
    ASSERT_TRUE(WriteFileBytes(plain, "MZ not really a program"));
    wcscpy_s(buf, L"stale");
    EXPECT_EQ(0, KalGetVerInfoW(plain.c_str(), L"FileVersion", buf));
    EXPECT_STREQ(L"", buf);
    std::wstring bare = CreateFakeDevenv(dir.Sub(L"VS2"), L"", L"", L"devenv.exe", false);
    std::wstring helperSays;
    if (!bare.empty() && !ReadVersionItem(bare, L"FileVersion", &helperSays)) {
        wcscpy_s(buf, L"stale");
        EXPECT_EQ(0, KalGetVerInfoW(bare.c_str(), L"FileVersion", buf));
        EXPECT_STREQ(L"", buf);
    }
    wcscpy_s(buf, L"stale");
    EXPECT_EQ(0, KalGetVerInfoW(dir.Sub(L"none.exe").c_str(), L"FileVersion", buf));
    EXPECT_STREQ(L"", buf);
}

namespace {

// A fake editor whose version resource each case replaces with bytes of its
// own making.
class KalVerInfoCrafted : public ::testing::Test {
protected:
    void SetUp() override {
        exe_ = CreateFakeDevenv(dir_.Sub(L"VS"), L"Visual Studio", L"1.0");
        ASSERT_FALSE(exe_.empty());
    }
    // Writes bytes as the version resource and reads FileVersion, checking
    // that the text ends inside the buffer and nothing is written behind it.
    std::wstring Read(const std::string& bytes, WORD id = 1) {
        if (!WriteRawVersionResource(exe_, bytes, id)) return L"<not written>";
        wchar_t buf[65];
        wmemset(buf, L'#', _countof(buf));
        int got = KalGetVerInfoW(exe_.c_str(), L"FileVersion", buf, 64);
        EXPECT_EQ(L'#', buf[64]);
        size_t len = wcsnlen(buf, 64);
        EXPECT_LT(len, 64u);
        EXPECT_EQ(static_cast<int>(len), got);
        return std::wstring(buf, len);
    }
    TempDir dir_;
    std::wstring exe_;
};

VersionNode Table(const std::wstring& key, const std::vector<VersionNode>& strings) {
    return VersionBlock(key, strings);
}
VersionNode FileVersion(const std::wstring& text) {
    return VersionText(L"FileVersion", text);
}
// A whole resource: these string tables, and a translation list when given.
VersionNode Tables(const std::vector<VersionNode>& tables, const std::vector<DWORD>& translations = {}) {
    VersionNode root = VersionRoot({VersionBlock(L"StringFileInfo", tables)});
    if (!translations.empty()) root.children.push_back(VersionTranslations(translations));
    return root;
}
VersionNode UsEnglish(const std::vector<VersionNode>& strings) {
    return Tables({Table(L"040904B0", strings)}, {0x040904B0});
}

}  // namespace

// Valid resources, odd ones included, read as given and as the system's own
// reader (the way they were read before) reads them through the same
// translations.
TEST_F(KalVerInfoCrafted, WellFormedResourcesReadAsTheSystemReadsThem) {
    VersionNode unterminated = FileVersion(L"");
    unterminated.value = Utf16Bytes(L"17.0");
    struct Case {
        const char* name;
        VersionNode root;
        const wchar_t* expected;
    } cases[] = {
        {"plain", UsEnglish({VersionText(L"FileDescription", L"VS"), FileVersion(L"16.11.5")}), L"16.11.5"},
        {"the first listed translation",
         Tables({Table(L"040904B0", {FileVersion(L"en")}), Table(L"041104B0", {FileVersion(L"ja")})}, {0x041104B0}),
         L"ja"},
        {"fallbacks in their order",
         Tables({Table(L"000004B0", {FileVersion(L"neutral")}), Table(L"040904E4", {FileVersion(L"ansi")})},
                {0x040704E4}),
         L"ansi"},
        {"a table without the item",
         Tables({Table(L"041104B0", {VersionText(L"Comments", L"x")}), Table(L"000004B0", {FileVersion(L"next")})},
                {0x041104B0, 0x000004B0}),
         L"next"},
        {"an empty value ends the search",
         Tables({Table(L"040904B0", {FileVersion(L"")}), Table(L"041104B0", {FileVersion(L"ja")})}), L""},
        {"keys in another case", Tables({Table(L"041104b0", {VersionText(L"FILEVERSION", L"up")})}), L"up"},
        {"keys only alike", UsEnglish({VersionText(L"FileVersionX", L"x"), VersionText(L"File", L"y"), FileVersion(L"z")}),
         L"z"},
        {"a value without its terminator", UsEnglish({unterminated, VersionText(L"Zz", L"tail")}), L"17.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring got = Read(BuildVersionNode(c.root));
        EXPECT_EQ(c.expected, got);
        std::wstring system;
        EXPECT_TRUE(ReadVersionItemAsSystem(exe_, L"FileVersion", &system));
        EXPECT_EQ(system, got);
    }
    // The system's reader looks for resource number 1 only; this one takes
    // the first there is.
    EXPECT_EQ(L"seven", Read(BuildVersionNode(UsEnglish({FileVersion(L"seven")})), 7));
}

// A resource that ends where the mapped image ends, while its directory
// declares 0xFFFF bytes: the reader goes no further than what is mapped.
// The first is one node whose key runs, without a terminator, to the last
// byte of the image.
TEST_F(KalVerInfoCrafted, AResourceAtTheEndOfTheImageIsReadNoFurther) {
    struct Case {
        const char* name;
        std::string bytes;
        const wchar_t* expected;
    } cases[] = {
        {"a key that runs to the end", RunawayVersionNode(), L""},
        {"a whole resource", BuildVersionNode(UsEnglish({FileVersion(L"17.0")})), L"17.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteImageEndingInVersion(exe_, c.bytes, 0xFFFF));
        wchar_t buf[64];
        KalGetVerInfoW(exe_.c_str(), L"FileVersion", buf);
        EXPECT_STREQ(c.expected, buf);
    }
}

// Lengths that lie. Each case is laid out so that a reader that trusted the
// lie would find a text, or none where one is to be found; the reader must
// neither crash nor hang.
TEST_F(KalVerInfoCrafted, LyingLengthsStayInsideTheResource) {
    std::vector<std::pair<std::string, std::wstring>> cases;  // bytes, expected

    VersionNode root = UsEnglish({FileVersion(L"1.0")});
    root.lengthDelta = 0x400;
    cases.push_back({BuildVersionNode(root), L""});
    std::string cut = BuildVersionNode(UsEnglish({FileVersion(L"1.0")}));
    cut.resize(cut.size() - 8);
    cases.push_back({cut, L""});
    cases.push_back({std::string("\x08\x00\x00", 3), L""});
    // A string that runs past its table, though not past the resource.
    VersionNode table = Table(L"040904B0", {FileVersion(L"1.2.3.4")});
    table.lengthDelta = -8;
    cases.push_back({BuildVersionNode(Tables({table})), L""});
    // A value that claims more units than its node holds; the next node's
    // header would follow the text.
    VersionNode claims = FileVersion(L"");
    claims.value = Utf16Bytes(L"1.23");
    claims.valueLength = 200;
    cases.push_back({BuildVersionNode(UsEnglish({claims, VersionText(L"Zz", L"tail")})), L"1.23"});
    // A key without its terminator, before a node of no length whose first
    // word a reader running on would take for the terminator, and so find
    // the item, empty, in this table rather than the next.
    VersionNode noEnd = VersionBlock(L"FileVersion", {});
    noEnd.keyTerminated = false;
    noEnd.valueLength = 4;
    VersionNode zero = VersionText(L"", L"bad");
    zero.length = 0;
    cases.push_back({BuildVersionNode(Tables({Table(L"040904B0", {noEnd, zero}),
                                              Table(L"041104B0", {FileVersion(L"next")})})),
                     L"next"});
    // Such a node is passed over: its length can still be trusted.
    VersionNode noEndComments = VersionBlock(L"Comments", {});
    noEndComments.keyTerminated = false;
    cases.push_back({BuildVersionNode(UsEnglish({noEndComments, FileVersion(L"after")})), L"after"});
    // Lengths too short for a node would keep a reader in place.
    for (int length : {0, 2, 4, 6, 7}) {
        VersionNode stuck = VersionText(L"Stuck", L"s");
        stuck.length = length;
        cases.push_back({BuildVersionNode(UsEnglish({stuck, FileVersion(L"1.0")})), L""});
    }
    // A lie deep inside a sibling of deep nesting stays there: the
    // sibling's own length is true, so the item after it is found.
    VersionNode deep = VersionBlock(L"D", {});
    deep.lengthDelta = 0x100;
    for (int i = 0; i < 1500; ++i) deep = VersionBlock(L"D", {deep});
    cases.push_back({BuildVersionNode(UsEnglish({deep, FileVersion(L"after deep")})), L"after deep"});

    for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(cases[i].second, Read(cases[i].first)) << "case " << i;
}

TEST(KalBaseLang, LanguageIdIsTheUserInterfaceLanguage) {
    EXPECT_EQ(TestLangId(), static_cast<int>(KalGetLangId()));
}
