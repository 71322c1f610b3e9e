// fake_devenv.exe: stands for Visual Studio's devenv.exe in the tests. It
// shows no window. When started it appends one record to "devenv.log" in its
// own folder, stays alive while "devenv.hold" exists there (polled every
// 10 ms, for 5 minutes at most) and exits with the number written in
// "devenv.exitcode", or with 0. When "devenv.msgbox" exists it first shows a
// message box captioned "fake_devenv" with that file's UTF-8 text, so that
// tests can check how they find and close another program's message box.
//
// A record is UTF-8 text in which every field carries its length, so that
// any command line (blanks, quotes, line feeds, Japanese) reads back exactly:
//   RUN <pid> <UI language id> <STARTUPINFO dwFlags> <STARTUPINFO wShowWindow>
//       <bytes of command line> <bytes of current folder>\n   (one line)
//   <command line>\n
//   <current folder>\n
// The STARTUPINFO fields are those GetStartupInfoW gives: how the process
// that created this one asked it to show its first window.
#include <windows.h>
#include <strsafe.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

const DWORD kHoldPollMs = 10;
const DWORD kHoldLimitMs = 5 * 60 * 1000;

struct FakeState {
    wchar_t szFolder[1024];
    wchar_t szLog[1024];
    wchar_t szHold[1024];
    wchar_t szExitCode[1024];
    wchar_t szMsgBox[1024];
};
FakeState g_state;

int FileInFolder(const wchar_t* name, wchar_t* out, size_t units) {
    if (FAILED(StringCchCopyW(out, units, g_state.szFolder))) return 0;
    if (FAILED(StringCchCatW(out, units, L"\\"))) return 0;
    return SUCCEEDED(StringCchCatW(out, units, name)) ? 1 : 0;
}

int FindOwnFolder() {
    DWORD len = GetModuleFileNameW(NULL, g_state.szFolder, _countof(g_state.szFolder));
    if (len == 0 || len >= _countof(g_state.szFolder)) return 0;
    wchar_t* slash = wcsrchr(g_state.szFolder, L'\\');
    if (slash == NULL) return 0;
    *slash = L'\0';
    return FileInFolder(L"devenv.log", g_state.szLog, _countof(g_state.szLog)) &&
           FileInFolder(L"devenv.hold", g_state.szHold, _countof(g_state.szHold)) &&
           FileInFolder(L"devenv.exitcode", g_state.szExitCode, _countof(g_state.szExitCode)) &&
           FileInFolder(L"devenv.msgbox", g_state.szMsgBox, _countof(g_state.szMsgBox));
}

// UTF-8 form of text in a heap buffer; *bytes gets its length.
char* ToUtf8(const wchar_t* text, int* bytes) {
    int need = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    if (need <= 0) return NULL;
    char* out = static_cast<char*>(malloc(static_cast<size_t>(need)));
    if (out == NULL) return NULL;
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, need, NULL, NULL);
    *bytes = need - 1;
    return out;
}

int AppendRecord() {
    wchar_t szCurrent[1024];
    DWORD curLen = GetCurrentDirectoryW(_countof(szCurrent), szCurrent);
    if (curLen == 0 || curLen >= _countof(szCurrent)) szCurrent[0] = L'\0';

    int cmdBytes = 0;
    int curBytes = 0;
    char* cmd = ToUtf8(GetCommandLineW(), &cmdBytes);
    char* cur = ToUtf8(szCurrent, &curBytes);
    int ok = 0;
    if (cmd != NULL && cur != NULL) {
        STARTUPINFOW startup;
        GetStartupInfoW(&startup);
        char head[128];
        int headBytes = _snprintf_s(head, _countof(head), _TRUNCATE, "RUN %lu %u %lu %u %d %d\n",
                                    GetCurrentProcessId(),
                                    static_cast<unsigned>(GetUserDefaultUILanguage()),
                                    startup.dwFlags, static_cast<unsigned>(startup.wShowWindow),
                                    cmdBytes, curBytes);
        size_t total = static_cast<size_t>(headBytes) + static_cast<size_t>(cmdBytes) +
                       static_cast<size_t>(curBytes) + 2;
        char* record = static_cast<char*>(malloc(total));
        if (headBytes > 0 && record != NULL) {
            char* p = record;
            memcpy(p, head, static_cast<size_t>(headBytes));
            p += headBytes;
            memcpy(p, cmd, static_cast<size_t>(cmdBytes));
            p += cmdBytes;
            *p++ = '\n';
            memcpy(p, cur, static_cast<size_t>(curBytes));
            p += curBytes;
            *p++ = '\n';
            // Two editors may start at once: the record goes out in one
            // appending write, and a log held open by a reader is retried.
            for (int attempt = 0; attempt < 200 && !ok; ++attempt) {
                HANDLE file = CreateFileW(g_state.szLog, FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
                if (file == INVALID_HANDLE_VALUE) {
                    Sleep(5);
                    continue;
                }
                DWORD written = 0;
                ok = WriteFile(file, record, static_cast<DWORD>(total), &written, NULL) &&
                     written == total;
                CloseHandle(file);
            }
        }
        free(record);
    }
    free(cmd);
    free(cur);
    return ok;
}

void WaitWhileHeld() {
    DWORD start = GetTickCount();
    while (GetFileAttributesW(g_state.szHold) != INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > kHoldLimitMs) break;
        Sleep(kHoldPollMs);
    }
}

UINT ReadExitCode() {
    HANDLE file = CreateFileW(g_state.szExitCode, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char text[32];
    DWORD got = 0;
    if (!ReadFile(file, text, sizeof(text) - 1, &got, NULL)) got = 0;
    CloseHandle(file);
    text[got] = '\0';
    return static_cast<UINT>(strtoul(text, NULL, 10));
}

void ShowRequestedMessageBox() {
    HANDLE file = CreateFileW(g_state.szMsgBox, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    char bytes[1024];
    DWORD got = 0;
    if (!ReadFile(file, bytes, sizeof(bytes) - 1, &got, NULL)) got = 0;
    CloseHandle(file);
    wchar_t szText[1024];
    int units = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(got), szText,
                                    _countof(szText) - 1);
    szText[units > 0 ? units : 0] = L'\0';
    MessageBoxW(NULL, szText, L"fake_devenv", MB_OK);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (!FindOwnFolder()) return 1;
    AppendRecord();
    ShowRequestedMessageBox();
    WaitWhileHeld();
    return static_cast<int>(ReadExitCode());
}
