// No program of the suite loads a version.dll planted beside it
// (tests/support/planted_version.cpp, which leaves a marker when loaded).
//
// Wine 8 differs from Windows: its default load order keeps its builtin
// version.dll even then, only listed under the planted file's path, so here
// the planted code never runs and this test cannot fail. With
// WINEDLLOVERRIDES=version=n,b (Windows' preference) every program loads it,
// also without importing it: Wine's user32.dll, unlike Windows', imports it.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "testutil.h"

#include <tlhelp32.h>

using namespace testutil;

namespace {

// The modules of process pid that lie in folder, but Wine's builtins.
std::vector<std::wstring> ModulesFromFolder(DWORD pid, const std::wstring& folder) {
    std::vector<std::wstring> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid);
    HANDLE process = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, pid);
    MODULEENTRY32W module;
    module.dwSize = sizeof(module);
    for (BOOL more = Module32FirstW(snapshot, &module); more; more = Module32NextW(snapshot, &module)) {
        const std::wstring path = module.szExePath;
        char signature[16] = {};
        if (_wcsnicmp(path.c_str(), (folder + L"\\").c_str(), folder.size() + 1) != 0 ||
            (ReadProcessMemory(process, module.modBaseAddr + 0x40, signature, sizeof(signature), NULL) &&
             memcmp(signature, "Wine builtin DLL", sizeof(signature)) == 0))
            continue;
        found.push_back(path);
    }
    CloseHandle(process);
    CloseHandle(snapshot);
    return found;
}

// The launcher in settings mode and setup without editors (its message box)
// stay open while their modules are listed; removal just runs.
TEST(DllPlanting, NoProgramLoadsAVersionDllFromItsOwnFolder) {
    ResetStore();
    SystemVisualStudios noEditors;
    TempDir dir;
    const std::wstring marker = dir.Sub(L"version.dll.loaded");
    ASSERT_TRUE(CopyFileW(ProgramPath(L"planted\\version.dll").c_str(), dir.Sub(L"version.dll").c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(dir.Sub(L"IDE\\devenv.exe"), "MZ"));
    ASSERT_TRUE(PutStoreCatalogue({{L"VS", L"16.0", dir.Sub(L"IDE")}}));
    for (const wchar_t* name : {L"Pikro.exe", L"PikroInstall.exe", L"PikroUninstall.exe"}) {
        SCOPED_TRACE(ToUtf8(name));
        const std::wstring program = dir.Sub(name);
        ASSERT_TRUE(CopyFileW(ProgramPath(name).c_str(), program.c_str(), FALSE));
        // Setup keeps a stored editor that is still there: without one it
        // shows its message.
        if (std::wstring(name) == L"PikroInstall.exe") ResetStore();
        DWORD pid = 0;
        HANDLE process = StartProgram(program, L"", L"", &pid);
        if (std::wstring(name) != L"PikroUninstall.exe") {
            HWND window = WaitForWindow(L"#32770", NULL, pid, 20000, true);
            EXPECT_NE(window, (HWND)NULL);
            EXPECT_EQ(ModulesFromFolder(pid, dir.Path()), std::vector<std::wstring>{program});
            ClickButton(window, IDCANCEL);
        }
        EXPECT_TRUE(EndProgram(process, 20000, NULL));
        EXPECT_FALSE(FileExists(marker));
        DeleteFileW(marker.c_str());
    }
    ResetStore();
}

}  // namespace
