// The launch shim on its own, as a separate process: it hands its command
// line unchanged to the process it creates, waits for that process, and
// always ends with exit code 0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

using namespace testutil;

namespace {

const DWORD kWaitMs = 15000;

std::wstring Shim() { return ProgramPath(L"PikroExec\\PikroExec.exe"); }

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
