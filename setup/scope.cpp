// Which scope a setup program works in: its switches, whether it runs with
// administrator rights, and the registry root that follows from both.
#include "setup.h"

#include <wchar.h>

// Matches one switch at text, in any case, followed by a blank or the end.
// Returns the number of units it takes, or 0.
static size_t MatchSwitch(const wchar_t* text, const wchar_t* name) {
    const size_t length = wcslen(name);
    if (_wcsnicmp(text, name, length) != 0) return 0;
    const wchar_t next = text[length];
    return next == L'\0' || next == L' ' || next == L'\t' ? length : 0;
}

int ParseSetupSwitches(const wchar_t* cmdLine, SetupSwitches* switches) {
    SetupSwitches found = {0, 0, 0};
    switches->fQuiet = 0;
    switches->fUser = 0;
    switches->fMachine = 0;
    if (cmdLine == NULL) return 1;
    for (const wchar_t* at = cmdLine + wcsspn(cmdLine, L" \t"); *at != L'\0';
         at += wcsspn(at, L" \t")) {
        size_t taken = MatchSwitch(at, L"/quiet");
        int* flag = &found.fQuiet;
        if (taken == 0) {
            taken = MatchSwitch(at, L"/user");
            flag = &found.fUser;
        }
        if (taken == 0) {
            taken = MatchSwitch(at, L"/machine");
            flag = &found.fMachine;
        }
        // An unknown or repeated word, or both scopes: the line is not one
        // the suite's own installer writes, and none of it is trusted.
        if (taken == 0 || *flag || (found.fUser && flag == &found.fMachine) ||
            (found.fMachine && flag == &found.fUser))
            return 0;
        *flag = 1;
        at += taken;
    }
    *switches = found;
    return 1;
}

int IsProcessElevated() {
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
    TOKEN_ELEVATION elevation;
    DWORD bytes = 0;
    const BOOL read = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &bytes);
    CloseHandle(token);
    return read && elevation.TokenIsElevated != 0;
}

// A process without administrator rights cannot write the machine's classes
// on Windows: it sets up for its user instead of failing there.
void SelectScope(int fUser) {
    g_setup.scope = fUser || !IsProcessElevated() ? SETUP_SCOPE_USER : SETUP_SCOPE_MACHINE;
    g_setup.root = g_setup.scope == SETUP_SCOPE_USER ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}
