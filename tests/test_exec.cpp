// The launch shim on its own, as a separate process: it hands its command
// line unchanged to the process it creates, waits for that process, and
// always ends with exit code 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "testutil.h"

#include <psapi.h>

using namespace testutil;

namespace {

const DWORD kWaitMs = 15000;

std::wstring Shim() { return ProgramPath(L"PikroExec\\PikroExec.exe"); }

// Runs the shim file with exactly this command line, its program name part
// included, and returns its exit code (or -1). hidden starts it the way the
// launcher does, with the show mode SW_HIDE.
long RunShimLine(const std::wstring& shim, const std::wstring& line, const std::wstring& cwd,
                 bool hidden = false) {
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (hidden) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(shim.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        cwd.c_str(), &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    DWORD code = 1;
    if (!EndProgram(process.hProcess, kWaitMs, &code)) return -1;
    return static_cast<long>(code);
}

// Lower-case base names of the modules loaded in a process.
std::vector<std::wstring> ModuleNames(HANDLE process) {
    HMODULE modules[256];
    DWORD bytes = 0;
    std::vector<std::wstring> names;
    if (!EnumProcessModules(process, modules, sizeof(modules), &bytes)) return names;
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 256; ++i) {
        wchar_t name[MAX_PATH];
        if (!GetModuleBaseNameW(process, modules[i], name, MAX_PATH)) continue;
        std::wstring lower(name);
        std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
        names.push_back(lower);
    }
    return names;
}

TEST(LaunchShim, PassesTheCommandLineUnchangedAndKeepsTheFolder) {
    TempDir dir(kTempBlanks | kTempJapanese);
    std::wstring editor = dir.Sub(L"Microsoft Visual Studio 14.0\\Common7\\IDE");
    ASSERT_NE(CreateFakeDevenv(editor, L"Visual Studio 2015", L"14.0.25420.1"), L"");
    std::wstring cwd = dir.Sub(L"作業 フォルダ");
    ASSERT_TRUE(MakeFolders(cwd));
    std::wstring line = L"\"" + editor + L"\\devenv.exe\" \"" + dir.Sub(L"My App\\My App.sln") + L"\"";
    DWORD code = 1;
    ASSERT_TRUE(RunProgram(Shim(), line, cwd, kWaitMs, &code));
    EXPECT_EQ(code, 0u);
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(editor);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].commandLine, line);
    EXPECT_EQ(runs[0].currentFolder, cwd);
}

TEST(LaunchShim, OddCommandLinesReachTheEditorAsTheyAre) {
    TempDir dir;
    std::wstring editor = dir.Sub(L"IDE");
    ASSERT_NE(CreateFakeDevenv(editor, L"VS", L"17.0"), L"");
    // Unquoted program, extra blanks, several arguments, inner quotes.
    const std::wstring lines[] = {
        editor + L"\\devenv.exe",
        editor + L"\\devenv.exe   a  \"b c\"  /Edit",
        L"\"" + editor + L"\\devenv.exe\" \"x\\\"y\" \"\"",
    };
    for (const std::wstring& line : lines) {
        DWORD code = 1;
        ASSERT_TRUE(RunProgram(Shim(), line, dir.Path(), kWaitMs, &code));
        EXPECT_EQ(code, 0u);
    }
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(editor);
    ASSERT_EQ(runs.size(), 3u);
    for (size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(runs[i].commandLine, lines[i]);
}

// The shim works out where its own name ends in the command line the way the
// run-time start-up of a wide-character WinMain program does.
TEST(LaunchShim, SkipsItsOwnNameLikeTheRuntimeStartup) {
    TempDir dir(kTempBlanks);
    std::wstring editor = dir.Sub(L"IDE");
    ASSERT_NE(CreateFakeDevenv(editor, L"VS", L"17.0"), L"");
    std::wstring shim = dir.Sub(L"Pikro Suite\\PikroExec\\PikroExec.exe");
    ASSERT_TRUE(MakeFolders(dir.Sub(L"Pikro Suite\\PikroExec")));
    ASSERT_TRUE(CopyFileW(Shim().c_str(), shim.c_str(), FALSE));
    const std::wstring target = QuoteArg(editor + L"\\devenv.exe") + L" \"A B.sln\"";
    // Program-name part, then what the editor must get.
    const std::wstring names[] = {
        QuoteArg(shim) + L" ",             // quoted name with blanks
        QuoteArg(shim) + L" \t  ",          // blanks and a tab before the arguments
        L"PikroExec.exe ",                 // bare name
        L"x\"a b\"y  ",                     // quotes inside the name keep its blank
        L"\"" + shim + L"\"\t",             // a tab alone ends the name
    };
    for (const std::wstring& name : names) {
        SCOPED_TRACE(ToUtf8(name));
        EXPECT_EQ(RunShimLine(shim, name + target, dir.Path()), 0);
    }
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(editor);
    ASSERT_EQ(runs.size(), 5u);
    for (const DevenvRun& run : runs) EXPECT_EQ(run.commandLine, target);
    // A name whose quote is never closed takes the whole line: nothing to start.
    EXPECT_EQ(RunShimLine(shim, L"\"" + shim + L" " + target, dir.Path()), 0);
    EXPECT_EQ(ReadFakeDevenvLog(editor).size(), 5u);
}

// The launcher starts the shim hidden; the editor must not be told to start
// hidden too, or its main window would not show.
TEST(LaunchShim, StartedHiddenCreatesTheEditorWithoutItsShowMode) {
    TempDir dir;
    std::wstring editor = dir.Sub(L"IDE");
    ASSERT_NE(CreateFakeDevenv(editor, L"VS", L"17.0"), L"");
    const std::wstring target = QuoteArg(editor + L"\\devenv.exe") + L" \"A.sln\"";
    EXPECT_EQ(RunShimLine(Shim(), QuoteArg(Shim()) + L" " + target, dir.Path(), true), 0);
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(editor);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].commandLine, target);
    EXPECT_FALSE(StartedHidden(runs[0]))
        << "flags " << runs[0].startupFlags << " show " << runs[0].showWindow;
}

// The shim is on the way from the double-click to the editor: it loads
// neither the C run-time library nor the window system.
TEST(LaunchShim, LoadsNoRuntimeLibraryNorWindowSystem) {
    TempDir dir;
    std::wstring editor = dir.Sub(L"IDE");
    ASSERT_NE(CreateFakeDevenv(editor, L"VS", L"17.0"), L"");
    ASSERT_TRUE(HoldFakeDevenv(editor));
    HANDLE shim = StartProgram(Shim(), QuoteArg(editor + L"\\devenv.exe"), dir.Path(), nullptr);
    ASSERT_NE(shim, nullptr);
    ASSERT_TRUE(WaitForFakeDevenvLog(editor, 1, kWaitMs));
    // The shim is now waiting for the held editor.
    std::vector<std::wstring> names = ModuleNames(shim);
    EXPECT_NE(std::find(names.begin(), names.end(), L"kernel32.dll"), names.end());
    for (const wchar_t* unwanted :
         {L"msvcrt.dll", L"ucrtbase.dll", L"user32.dll", L"gdi32.dll", L"comctl32.dll"})
        EXPECT_EQ(std::find(names.begin(), names.end(), unwanted), names.end())
            << ToUtf8(unwanted);
    ASSERT_TRUE(ReleaseFakeDevenv(editor));
    DWORD code = 1;
    ASSERT_TRUE(EndProgram(shim, kWaitMs, &code));
    EXPECT_EQ(code, 0u);
}

TEST(LaunchShim, EndsOnlyAfterTheEditorEnds) {
    TempDir dir;
    std::wstring editor = dir.Sub(L"IDE");
    ASSERT_NE(CreateFakeDevenv(editor, L"VS", L"17.0"), L"");
    ASSERT_TRUE(HoldFakeDevenv(editor));
    DWORD shimPid = 0;
    HANDLE shim = StartProgram(Shim(), QuoteArg(editor + L"\\devenv.exe"), dir.Path(), &shimPid);
    ASSERT_NE(shim, nullptr);
    ASSERT_TRUE(WaitForFakeDevenvLog(editor, 1, kWaitMs));
    std::vector<DevenvRun> runs = ReadFakeDevenvLog(editor);
    ASSERT_EQ(runs.size(), 1u);
    HANDLE devenv = OpenProcess(SYNCHRONIZE, FALSE, runs[0].pid);
    ASSERT_NE(devenv, nullptr);
    // The editor is held: the shim must still be waiting for it.
    EXPECT_EQ(WaitForSingleObject(shim, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_TRUE(ReleaseFakeDevenv(editor));
    DWORD code = 1;
    ASSERT_TRUE(EndProgram(shim, kWaitMs, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(WaitForSingleObject(devenv, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(devenv);
}

TEST(LaunchShim, EditorExitCodeIsNotPassedOn) {
    TempDir dir;
    std::wstring editor = dir.Sub(L"IDE");
    ASSERT_NE(CreateFakeDevenv(editor, L"VS", L"17.0"), L"");
    ASSERT_TRUE(SetFakeDevenvExitCode(editor, 3));
    DWORD code = 1;
    ASSERT_TRUE(RunProgram(Shim(), QuoteArg(editor + L"\\devenv.exe"), dir.Path(), kWaitMs, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(ReadFakeDevenvLog(editor).size(), 1u);
}

TEST(LaunchShim, NothingToStartEndsAtOnceWithZero) {
    TempDir dir;
    DWORD code = 1;
    ASSERT_TRUE(RunProgram(Shim(), L"", dir.Path(), kWaitMs, &code));
    EXPECT_EQ(code, 0u);
    code = 1;
    ASSERT_TRUE(RunProgram(Shim(), QuoteArg(dir.Sub(L"missing\\devenv.exe")) + L" \"x.sln\"",
                           dir.Path(), kWaitMs, &code));
    EXPECT_EQ(code, 0u);
    code = 1;
    ASSERT_TRUE(RunProgram(Shim(), L"\"", dir.Path(), kWaitMs, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
