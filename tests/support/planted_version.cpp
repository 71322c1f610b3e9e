// A stand-in for the system's version.dll, built only to be planted beside
// copies of the suite's programs: a program that loads it from its own
// folder instead of the system folder leaves "version.dll.loaded" there.
// The exports answer like a file without a version resource.
#include <windows.h>
#include <stdlib.h>

namespace {

void WriteMarkerBesideModule(HMODULE module) {
    wchar_t path[MAX_PATH + 16];
    DWORD len = GetModuleFileNameW(module, path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH) return;
    const wchar_t suffix[] = L".loaded";
    for (size_t i = 0; i < _countof(suffix); ++i) path[len + i] = suffix[i];
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) WriteMarkerBesideModule(module);
    return TRUE;
}

extern "C" DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD) { return 0; }
extern "C" BOOL WINAPI GetFileVersionInfoW(LPCWSTR, DWORD, DWORD, LPVOID) { return FALSE; }
extern "C" BOOL WINAPI VerQueryValueW(LPCVOID, LPCWSTR, LPVOID*, PUINT) { return FALSE; }
