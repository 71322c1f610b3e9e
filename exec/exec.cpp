// PikroExec: the launch shim. The launcher starts it hidden with the whole
// command line of the editor process; the shim creates that process and
// waits for it, so the editor's lifetime has a process of the suite behind
// it while the launcher itself has long ended.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int) {
    // DLLs come from the system folder only. The error mode is left alone:
    // the editor would inherit it.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    // Every field but the size stays zero: the shim's hidden show mode must
    // not reach the editor.
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));

    if (CreateProcessW(nullptr, cmdLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    return 0;
}
