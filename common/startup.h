// What every program of the suite does first thing.
#pragma once

#include <windows.h>

// DLLs loaded from here on come from the system folder only, never from the
// program's own folder or the current one (for the launcher, the folder of
// a solution that was double-clicked). SetDefaultDllDirectories is looked up
// at run time: Windows 7 has it only with update KB2533623, and its
// declaration needs _WIN32_WINNT 0x0602. Without it the current folder at
// least leaves the search order. Returns 1 when the system folder is the
// only place searched.
inline int LoadDllsFromSystemFolderOnly() {
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesProc)(DWORD);
    const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    SetDefaultDllDirectoriesProc setDirectories =
        kernel == NULL ? NULL
                       : reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void (*)(void)>(
                             GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDirectories != NULL && setDirectories(kSearchSystem32)) return 1;
    SetDllDirectoryW(L"");
    return 0;
}
