// PikroExec: the launch shim. The launcher starts it hidden with the whole
// command line of the editor process; the shim creates that process and
// waits for it, so the editor's lifetime has a process of the suite behind
// it while the launcher itself has long ended.
//
// The shim lies on the road from a double-click to the editor, so it runs
// without the C run-time library: PikroExecStart below is the entry point
// and loads nothing but kernel32.
#include <windows.h>

#include "startup.h"

namespace {

// What the run-time start-up hands to the wide-character WinMain: the
// command line after the program's own name and the blanks that follow it.
// The name ends at the first blank or control character outside double
// quotes; every quote inside it switches quoting on or off.
PWSTR ArgumentsOf(PWSTR line) {
    bool quoted = false;
    while (*line > L' ' || (*line && quoted)) {
        if (*line == L'"') quoted = !quoted;
        ++line;
    }
    while (*line && *line <= L' ') ++line;
    return line;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int) {
    // DLLs come from the system folder only. The error mode is left alone:
    // the editor would inherit it.
    LoadDllsFromSystemFolderOnly();

    // Every field but the size stays zero: the shim's hidden show mode must
    // not reach the editor. (SecureZeroMemory, because without the run-time
    // library there is no memset for the compiler to call.)
    STARTUPINFOW startup;
    SecureZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    SecureZeroMemory(&process, sizeof(process));

    if (CreateProcessW(nullptr, cmdLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    return 0;
}

// The process's entry point, in place of the run-time start-up.
extern "C" DWORD WINAPI PikroExecStart(void*) {
    int code = wWinMain(GetModuleHandleW(nullptr), nullptr, ArgumentsOf(GetCommandLineW()),
                        SW_SHOWDEFAULT);
    ExitProcess(static_cast<UINT>(code));
}
