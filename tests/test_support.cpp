// Checks of the test helpers against the real Wine: every other test relies
// on them to start programs, read what the fake editor saw, lay out version
// resources and folder links, and clean up after itself.
#include "testutil.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include "KalBase32.h"

using namespace testutil;

namespace {

const wchar_t kJapaneseArg[] = L"\x65E5\x672C\x8A9E \x30BD\x30EA\x30E5\x30FC\x30B7\x30E7\x30F3.sln";

std::vector<std::wstring> SplitCommandLine(const std::wstring& line) {
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
    if (argv == NULL) return args;
    for (int i = 0; i < count; ++i) args.push_back(argv[i]);
    LocalFree(argv);
    return args;
}

int ProcessHasEnded(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == NULL) return 1;
    DWORD rc = WaitForSingleObject(process, 5000);
    CloseHandle(process);
    return rc == WAIT_OBJECT_0;
}

}  // namespace

// --- the fake editor ---------------------------------------------------------

TEST(FakeDevenv, RecordsCommandLineFolderAndProcessId) {
    TempDir dir(kTempBlanks | kTempJapanese);
    std::wstring editorFolder = dir.Sub(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    std::wstring exe = CreateFakeDevenv(editorFolder, L"Microsoft Visual Studio 2015", L"14.0.1");
    ASSERT_FALSE(exe.empty());
    std::wstring work = dir.Sub(L"work folder");
    ASSERT_TRUE(MakeFolders(work));

    std::wstring args = QuoteArg(L"C:\\some dir\\My \"Sol\".sln") + L" " + QuoteArg(kJapaneseArg);
    DWORD pid = 0;
    HANDLE process = StartProgram(exe, args, work, &pid);
    ASSERT_NE(process, static_cast<HANDLE>(NULL));
    DWORD exitCode = 99;
    ASSERT_TRUE(EndProgram(process, 20000, &exitCode));
    EXPECT_EQ(0u, exitCode);

    std::vector<DevenvRun> runs = ReadFakeDevenvLog(editorFolder);
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(QuoteArg(exe) + L" " + args, runs[0].commandLine);
    std::vector<std::wstring> argv = SplitCommandLine(runs[0].commandLine);
    ASSERT_EQ(3u, argv.size());
    EXPECT_EQ(L"C:\\some dir\\My \"Sol\".sln", argv[1]);
    EXPECT_EQ(kJapaneseArg, argv[2]);
    EXPECT_EQ(0, _wcsicmp(work.c_str(), runs[0].currentFolder.c_str()))
        << ToUtf8(runs[0].currentFolder);
    EXPECT_EQ(pid, runs[0].pid);
    // StartProgram asks for no show mode.
    EXPECT_EQ(0u, runs[0].startupFlags & STARTF_USESHOWWINDOW);
    EXPECT_FALSE(StartedHidden(runs[0]));

    // Started hidden, it records the show mode it was given.
    std::wstring line = QuoteArg(exe) + L" hidden";
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION hidden = {};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL,
                               &startup, &hidden));
    CloseHandle(hidden.hThread);
    ASSERT_TRUE(EndProgram(hidden.hProcess, 20000, NULL));
    runs = ReadFakeDevenvLog(editorFolder);
    ASSERT_EQ(2u, runs.size());
    EXPECT_EQ(line, runs[1].commandLine);
    EXPECT_TRUE(StartedHidden(runs[1])) << runs[1].startupFlags << " " << runs[1].showWindow;
}

TEST(FakeDevenv, AppendsOneRecordPerStartUnderAnyFileName) {
    TempDir dir;
    std::wstring exe = CreateFakeDevenv(dir.Path(), L"VS", L"1.0", L"DEVENV.EXE");
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(FileExists(dir.Sub(L"DEVENV.EXE")));
    EXPECT_TRUE(ReadFakeDevenvLog(dir.Path()).empty());
    ASSERT_TRUE(RunProgram(exe, L"first", L"", 20000, NULL));
    ASSERT_TRUE(RunProgram(exe, L"second", L"", 20000, NULL));
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(dir.Path());
    ASSERT_EQ(2u, runs.size());
    EXPECT_EQ(QuoteArg(exe) + L" first", runs[0].commandLine);
    EXPECT_EQ(QuoteArg(exe) + L" second", runs[1].commandLine);
    EXPECT_NE(runs[0].pid, 0u);
}

TEST(FakeDevenv, StaysWhileHeldAndExitsWithTheGivenCode) {
    TempDir dir;
    std::wstring exe = CreateFakeDevenv(dir.Path(), L"VS", L"1.0");
    ASSERT_FALSE(exe.empty());
    ASSERT_TRUE(HoldFakeDevenv(dir.Path()));
    ASSERT_TRUE(SetFakeDevenvExitCode(dir.Path(), 7));
    HANDLE process = StartProgram(exe, L"", L"", NULL);
    ASSERT_NE(process, static_cast<HANDLE>(NULL));
    ASSERT_TRUE(WaitForFakeDevenvLog(dir.Path(), 1, 20000));
    // It has written its record and must still be there while held.
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(process, 300));
    ASSERT_TRUE(ReleaseFakeDevenv(dir.Path()));
    DWORD exitCode = 0;
    EXPECT_TRUE(EndProgram(process, 20000, &exitCode));
    EXPECT_EQ(7u, exitCode);

    ASSERT_TRUE(SetFakeDevenvExitCode(dir.Path(), -1));
    EXPECT_FALSE(FileExists(dir.Sub(L"devenv.exitcode")));
    exitCode = 99;
    ASSERT_TRUE(RunProgram(exe, L"", L"", 20000, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

TEST(FakeDevenv, MessageBoxOfAnotherProcessIsFoundReadAndClosed) {
    TempDir dir;
    std::wstring exe = CreateFakeDevenv(dir.Path(), L"VS", L"1.0");
    ASSERT_FALSE(exe.empty());
    std::wstring text = L"Line one\nZeile \x65E5\x672C";
    ASSERT_TRUE(WriteFileUtf8(dir.Sub(L"devenv.msgbox"), text));
    DWORD pid = 0;
    HANDLE process = StartProgram(exe, L"", L"", &pid);
    ASSERT_NE(process, static_cast<HANDLE>(NULL));
    HWND box = WaitForMessageBox(L"fake_devenv", pid, 20000);
    ASSERT_NE(box, static_cast<HWND>(NULL));
    EXPECT_EQ(L"#32770", ClassName(box));
    EXPECT_EQ(text, MessageBoxText(box));
    // Nothing of another process matches.
    EXPECT_EQ(static_cast<HWND>(NULL), WaitForMessageBox(L"fake_devenv", GetCurrentProcessId(), 50));
    EXPECT_TRUE(CloseMessageBox(box));
    EXPECT_TRUE(EndProgram(process, 20000, NULL));
}

// --- running programs ----------------------------------------------------------

TEST(RunProgramHelpers, BoundedWaitKillsAProgramThatOverruns) {
    TempDir dir;
    std::wstring exe = CreateFakeDevenv(dir.Path(), L"VS", L"1.0");
    ASSERT_FALSE(exe.empty());
    ASSERT_TRUE(HoldFakeDevenv(dir.Path()));
    int ended = 1;
    EXPECT_NONFATAL_FAILURE(ended = RunProgram(exe, L"", L"", 500, NULL), "was killed");
    EXPECT_EQ(0, ended);
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(dir.Path());
    ASSERT_EQ(1u, runs.size());
    EXPECT_TRUE(ProcessHasEnded(runs[0].pid));
}

TEST(RunProgramHelpers, StartFailureIsReported) {
    TempDir dir;
    HANDLE process = NULL;
    EXPECT_NONFATAL_FAILURE(process = StartProgram(dir.Sub(L"missing.exe"), L"", L"", NULL),
                            "cannot start");
    EXPECT_EQ(static_cast<HANDLE>(NULL), process);
}

TEST(RunProgramHelpers, EnvironmentOverridesReachTheChild) {
    TempDir dir;
    std::wstring out = dir.Sub(L"env.txt");
    std::wstring cmd = L"C:\\windows\\system32\\cmd.exe";
    DWORD exitCode = 99;
    ASSERT_TRUE(SetEnvironmentVariableW(L"PIKRO_GONE", L"leaked"));
    ASSERT_TRUE(RunProgram(cmd, L"/c echo %PIKRO_PROBE%;%PIKRO_GONE%>" + QuoteArg(out), L"", 20000,
                           &exitCode, {L"PIKRO_PROBE=one two", L"PIKRO_GONE="}));
    SetEnvironmentVariableW(L"PIKRO_GONE", NULL);
    EXPECT_EQ(0u, exitCode);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(out, &bytes));
    EXPECT_EQ(0u, bytes.find("one two;")) << bytes;
    EXPECT_EQ(std::string::npos, bytes.find("leaked")) << bytes;

    // The child's language follows the run, not LC_ALL in its environment:
    // Wine sets a process's locale from the Unix side.
    std::wstring exe = CreateFakeDevenv(dir.Path(), L"VS", L"1.0");
    ASSERT_FALSE(exe.empty());
    ASSERT_TRUE(RunProgram(exe, L"", L"", 20000, NULL));
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(dir.Path());
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(TestLangId(), runs[0].uiLanguage);
}

TEST(RunProgramHelpers, QuotedArgumentsSplitBackUnchanged) {
    const wchar_t* cases[] = {L"plain", L"", L"with blank", L"tab\there", L"quote\"inside",
                              L"C:\\trailing\\", L"C:\\trailing blank\\", L"\\\\server\\share",
                              L"a\\\\\"b", kJapaneseArg};
    std::wstring line = L"prog.exe";
    for (const wchar_t* c : cases) line += L" " + QuoteArg(c);
    std::vector<std::wstring> argv = SplitCommandLine(line);
    ASSERT_EQ(_countof(cases) + 1, argv.size());
    for (size_t i = 0; i < _countof(cases); ++i) EXPECT_EQ(cases[i], argv[i + 1]) << i;
}

// --- version resources -------------------------------------------------------------

TEST(VersionResource, RewrittenItemsReadBack) {
    TempDir dir;
    std::wstring exe = CreateFakeDevenv(dir.Path(), L"Microsoft Visual Studio 2019", L"16.11.5.0");
    ASSERT_FALSE(exe.empty());
    std::wstring value;
    ASSERT_TRUE(ReadVersionItem(exe, L"FileDescription", &value));
    EXPECT_EQ(L"Microsoft Visual Studio 2019", value);
    ASSERT_TRUE(ReadVersionItem(exe, L"FileVersion", &value));
    EXPECT_EQ(L"16.11.5.0", value);

    // A second rewrite replaces the first; the copy still runs.
    std::wstring japanese = L"Visual Studio \x65E5\x672C\x8A9E\x7248";
    ASSERT_TRUE(WriteVersionResource(exe, japanese, L"17.0"));
    ASSERT_TRUE(ReadVersionItem(exe, L"FileDescription", &value));
    EXPECT_EQ(japanese, value);
    ASSERT_TRUE(ReadVersionItem(exe, L"FileVersion", &value));
    EXPECT_EQ(L"17.0", value);
    EXPECT_FALSE(ReadVersionItem(exe, L"ProductName", &value));
    ASSERT_TRUE(RunProgram(exe, L"", L"", 20000, NULL));
    EXPECT_EQ(1u, ReadFakeDevenvLog(dir.Path()).size());

    // The support library reads the same texts.
    wchar_t buf[256];
    KalGetVerInfoW(exe.c_str(), L"FileDescription", buf, _countof(buf));
    EXPECT_EQ(japanese, std::wstring(buf));
}

TEST(VersionResource, EmptyItemsAndNoResourceAtAll) {
    TempDir dir;
    std::wstring exe = CreateFakeDevenv(dir.Path(), L"", L"");
    ASSERT_FALSE(exe.empty());
    std::wstring value = L"x";
    ASSERT_TRUE(ReadVersionItem(exe, L"FileDescription", &value));
    EXPECT_EQ(L"", value);
    value = L"x";
    ASSERT_TRUE(ReadVersionItem(exe, L"FileVersion", &value));
    EXPECT_EQ(L"", value);

    std::wstring bare = CreateFakeDevenv(dir.Sub(L"bare"), L"", L"", L"devenv.exe", false);
    ASSERT_FALSE(bare.empty());
    DWORD ignored = 0;
    EXPECT_EQ(0u, GetFileVersionInfoSizeW(bare.c_str(), &ignored));
    EXPECT_FALSE(ReadVersionItem(bare, L"FileDescription", &value));
    ASSERT_TRUE(RunProgram(bare, L"", L"", 20000, NULL));
    EXPECT_EQ(1u, ReadFakeDevenvLog(dir.Sub(L"bare")).size());
}

// --- folders, files and links ------------------------------------------------------

TEST(TempFolders, FreshEmptyAndRemovedWithEverythingInside) {
    std::wstring path;
    {
        TempDir dir(kTempBlanks | kTempJapanese);
        path = dir.Path();
        EXPECT_TRUE(FolderExists(path));
        EXPECT_TRUE(ListFolder(path).empty());
        EXPECT_NE(std::wstring::npos, path.find(L' '));
        EXPECT_NE(std::wstring::npos, path.find(L'\x65E5'));
        EXPECT_EQ(0, _wcsnicmp(path.c_str(), L"Z:\\tmp\\pikro-tests\\", 19)) << ToUtf8(path);
        ASSERT_TRUE(WriteFileUtf8(dir.Sub(L"a\\b\\c.txt"), L"x"));
        ASSERT_TRUE(WriteFileUtf8(dir.Sub(L"ro.txt"), L"x"));
        ASSERT_TRUE(SetFileAttributesW(dir.Sub(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
        TempDir other;
        EXPECT_NE(path, other.Path());
    }
    EXPECT_FALSE(FolderExists(path));
}

TEST(TempFolders, FilesWriteReadAndListSortedWithoutCase) {
    TempDir dir;
    std::wstring text = L"caf\x00E9 \x65E5\x672C\r\nline";
    ASSERT_TRUE(WriteFileUtf8(dir.Sub(L"b.txt"), text));
    EXPECT_EQ(text, ReadFileUtf8(dir.Sub(L"b.txt")));
    ASSERT_TRUE(WriteFileUtf16(dir.Sub(L"A.txt"), L"wide"));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(dir.Sub(L"A.txt"), &bytes));
    EXPECT_EQ(std::string("\xFF\xFEw\0i\0d\0e\0", 10), bytes);
    ASSERT_TRUE(MakeFolders(dir.Sub(L"C\\deeper")));
    std::vector<std::wstring> names = ListFolder(dir.Path());
    ASSERT_EQ(3u, names.size());
    EXPECT_EQ(L"A.txt", names[0]);
    EXPECT_EQ(L"b.txt", names[1]);
    EXPECT_EQ(L"C", names[2]);
    EXPECT_TRUE(FolderExists(dir.Sub(L"C")));
    EXPECT_FALSE(FileExists(dir.Sub(L"C")));
    EXPECT_TRUE(FileExists(dir.Sub(L"b.txt")));
    EXPECT_FALSE(ReadFileBytes(dir.Sub(L"none.txt"), &bytes));
}

TEST(FolderLinks, LinkLooksLikeAJunctionAndGoesWithoutItsTarget) {
    TempDir targetDir;
    ASSERT_TRUE(WriteFileUtf8(targetDir.Sub(L"inside\\keep.txt"), L"keep"));
    ASSERT_TRUE(MakeFolders(targetDir.Sub(L"empty")));
    std::wstring linkPath;
    {
        TempDir dir(kTempBlanks | kTempJapanese);
        linkPath = dir.Sub(L"link \x30EA\x30F3\x30AF");
        ASSERT_TRUE(MakeFolderLink(linkPath, targetDir.Sub(L"inside")));
        DWORD attributes = GetFileAttributesW(linkPath.c_str());
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
        EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
                  attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
        EXPECT_EQ(L"keep", ReadFileUtf8(JoinPath(linkPath, L"keep.txt")));
        // A link to its own folder: a cycle, which removal must not follow.
        ASSERT_TRUE(MakeFolderLink(dir.Sub(L"cycle"), dir.Path()));
        // An existing name is not replaced.
        EXPECT_FALSE(MakeFolderLink(linkPath, dir.Path()));
        // A link to an empty folder, which must outlive the link.
        ASSERT_TRUE(MakeFolderLink(dir.Sub(L"to empty"), targetDir.Sub(L"empty")));
    }
    EXPECT_FALSE(FolderExists(linkPath));
    EXPECT_EQ(L"keep", ReadFileUtf8(targetDir.Sub(L"inside\\keep.txt")));
    EXPECT_TRUE(FolderExists(targetDir.Sub(L"empty")));
}

TEST(FolderLinks, UnixPathOfWindowsPaths) {
    EXPECT_EQ(L"/tmp/a b/c", UnixPath(L"Z:\\tmp\\a b\\c"));
    // Other drives go through Wine, which knows where the prefix lies.
    std::wstring windows = UnixPath(L"C:\\windows");
    ASSERT_GE(windows.size(), 9u);
    EXPECT_EQ(L'/', windows[0]);
    EXPECT_EQ(L"/windows", windows.substr(windows.size() - 8)) << ToUtf8(windows);
}

// --- the store and the registry ---------------------------------------------------

TEST(StoreHelpers, CatalogueWrittenAsTheSuiteStoresIt) {
    ASSERT_TRUE(ResetStore());
    EXPECT_FALSE(StoreSectionExists(L"VS-INST"));
    ASSERT_TRUE(PutStoreCatalogue({{L"Microsoft Visual Studio 2015", L"14.0.1", L"C:\\VS14\\IDE"},
                                   {L"VS 2019", L"16.0", L"Z:\\tmp\\x y"}}));
    DWORD count = 0;
    ASSERT_TRUE(GetStoreDword(L"VS-INST", L"Count", &count));
    EXPECT_EQ(2u, count);
    std::wstring entry;
    ASSERT_TRUE(RegGetString(HKEY_CURRENT_USER, L"Software\\PikroSuite\\VS-INST", L"VS00", &entry));
    EXPECT_EQ(L"Microsoft Visual Studio 2015;14.0.1;C:\\VS14\\IDE", entry);
    ASSERT_TRUE(GetStoreString(L"VS-INST", L"VS01", &entry));
    EXPECT_EQ(L"VS 2019;16.0;Z:\\tmp\\x y", entry);
    EXPECT_FALSE(GetStoreString(L"VS-INST", L"Count", &entry));
    EXPECT_FALSE(GetStoreDword(L"VS-INST", L"VS00", &count));
    EXPECT_EQ(3u, StoreValueNames(L"VS-INST").size());

    // The support library sees the same store.
    ASSERT_TRUE(KalSetRegMidPathW(L"PikroSuite"));
    EXPECT_EQ(2u, KalGetProfileUIntW(L"VS-INST", L"Count", 0));
    ASSERT_TRUE(PutStoreDword(L"PROFILES", L"ixLstSel", 5));
    EXPECT_EQ(5u, KalGetProfileUIntW(L"PROFILES", L"ixLstSel", 0));

    ASSERT_TRUE(ResetStore());
    EXPECT_FALSE(StoreSectionExists(L"VS-INST"));
    EXPECT_FALSE(StoreValueExists(L"PROFILES", L"ixLstSel"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\PikroSuite"));
}

TEST(StoreHelpers, AssociationKeysAreDeleted) {
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.sln", NULL, L"PikroSln"));
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\PikroSln\\shell\\open\\command",
                             NULL, L"x %1"));
    std::wstring value;
    ASSERT_TRUE(RegGetString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.sln", NULL, &value));
    EXPECT_EQ(L"PikroSln", value);
    ASSERT_TRUE(DeleteSlnAssociation());
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.sln"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\PikroSln"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L".sln"));
}

// --- SystemDrive and Program Files ------------------------------------------------

TEST(SystemDriveHelpers, OverrideAppliesToThisProcessAndIsRestored) {
    TempDir dir;
    wchar_t value[MAX_PATH];
    {
        SystemDriveOverride drive(dir.Path());
        ASSERT_NE(0u, GetEnvironmentVariableW(L"SystemDrive", value, _countof(value)));
        EXPECT_EQ(dir.Path(), std::wstring(value));
        std::wstring stored;
        ASSERT_TRUE(RegGetString(HKEY_LOCAL_MACHINE,
                                 L"System\\CurrentControlSet\\Control\\Session Manager\\Environment",
                                 L"SystemDrive", &stored));
        EXPECT_EQ(dir.Path(), stored);
    }
    ASSERT_NE(0u, GetEnvironmentVariableW(L"SystemDrive", value, _countof(value)));
    EXPECT_EQ(std::wstring(L"C:"), value);
}

TEST(SystemDriveHelpers, VisualStudioFoldersInProgramFilesAreCleared) {
    SystemVisualStudios scope;
    std::wstring vs = JoinPath(SystemProgramFiles(false), L"Microsoft Visual Studio 14.0");
    std::wstring vs86 = JoinPath(SystemProgramFiles(true), L"microsoft visual studio 9");
    ASSERT_FALSE(CreateFakeDevenv(JoinPath(vs, L"Common7\\IDE"), L"VS", L"14.0").empty());
    ASSERT_TRUE(MakeFolders(vs86));
    ASSERT_TRUE(RemoveSystemVisualStudios());
    EXPECT_FALSE(FolderExists(vs));
    EXPECT_FALSE(FolderExists(vs86));
    EXPECT_TRUE(FolderExists(JoinPath(SystemProgramFiles(false), L"Common Files")));
}

// --- windows in this process --------------------------------------------------------

TEST(WindowHelpers, FindsWindowsAndReadsListAndComboBoxes) {
    HWND frame = CreateWindowExW(0, L"STATIC", L"Pikro test frame", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                                 200, NULL, NULL, GetModuleHandleW(NULL), NULL);
    ASSERT_NE(static_cast<HWND>(NULL), frame);
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | LBS_NOTIFY, 0, 0, 100, 100, frame,
                                reinterpret_cast<HMENU>(100), GetModuleHandleW(NULL), NULL);
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100,
                                 frame, reinterpret_cast<HMENU>(101), GetModuleHandleW(NULL), NULL);
    const wchar_t* rows[] = {L"Visual Studio 2015", L"", L"\x65E5\x672C\x8A9E"};
    for (const wchar_t* row : rows) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
    }
    HWND note = CreateWindowExW(0, L"STATIC", L"Child caption", WS_CHILD, 0, 0, 50, 20, frame,
                                reinterpret_cast<HMENU>(102), GetModuleHandleW(NULL), NULL);
    EXPECT_EQ(frame, WaitForWindow(L"Static", L"Pikro test frame", GetCurrentProcessId(), 1000));
    EXPECT_EQ(note, WaitForWindow(L"static", L"Child caption", GetCurrentProcessId(), 1000));
    EXPECT_EQ(static_cast<HWND>(NULL),
              WaitForWindow(L"Static", L"Child caption", GetCurrentProcessId() + 4, 30));
    EXPECT_EQ(static_cast<HWND>(NULL), WaitForWindow(L"Static", L"Pikro test frame", 0, 0, true));
    EXPECT_EQ(static_cast<HWND>(NULL), WaitForWindow(L"Static", L"Other caption", 0, 50));
    EXPECT_EQ(L"Pikro test frame", WindowText(frame));
    std::vector<std::wstring> items = ListBoxItems(list);
    ASSERT_EQ(3u, items.size());
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(rows[i], items[i]);
    items = ComboBoxItems(combo);
    ASSERT_EQ(3u, items.size());
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(rows[i], items[i]);
    DestroyWindow(frame);
    EXPECT_TRUE(WaitForWindowGone(frame, 1000));
}

int g_timerTicks = 0;

void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) {
    ++g_timerTicks;
}

TEST(WindowHelpers, PumpUntilDispatchesMessagesAndGivesUp) {
    g_timerTicks = 0;
    UINT_PTR timer = SetTimer(NULL, 0, 10, CountTick);
    ASSERT_NE(0u, timer);
    EXPECT_TRUE(PumpUntil([]() { return g_timerTicks >= 3; }, 5000));
    KillTimer(NULL, timer);
    EXPECT_FALSE(PumpUntil([]() { return false; }, 30));
}

// --- language of the run ----------------------------------------------------------

TEST(SupportLang, UserInterfaceLanguageIsTheRunsLanguage) {
    EXPECT_TRUE(TestLangId() == 1033 || TestLangId() == 1041) << TestLangId();
    EXPECT_EQ(TestLangId(), static_cast<int>(GetUserDefaultUILanguage()));
}
