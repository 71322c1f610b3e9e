// Test helpers: see testutil.h for what each one promises.
#include "testutil.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <algorithm>
#include <string>
#include <vector>

#include "version.h"

namespace testutil {
namespace {

const wchar_t kStoreRoot[] = L"Software\\PikroSuite";
const wchar_t kSessionEnvironment[] =
    L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";
const wchar_t kTempRoot[] = L"Z:\\tmp\\pikro-tests";

// The folder under which TempDir makes its folders: PIKRO_TEST_TMP (a Unix
// path, so that concurrent runs keep apart) or /tmp/pikro-tests.
std::wstring TempRoot() {
    wchar_t unixPath[1024];
    DWORD len = GetEnvironmentVariableW(L"PIKRO_TEST_TMP", unixPath, _countof(unixPath));
    if (len == 0 || len >= _countof(unixPath) || unixPath[0] != L'/') return kTempRoot;
    std::wstring path = std::wstring(L"Z:") + unixPath;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

std::wstring StoreKey(const wchar_t* section) {
    return std::wstring(kStoreRoot) + L"\\" + section;
}

int CompareNoCase(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(a.c_str(), b.c_str());
}

}  // namespace

// ---------------------------------------------------------------------------
// Where things lie
// ---------------------------------------------------------------------------

std::wstring BinDir() {
    wchar_t path[1024];
    DWORD len = GetModuleFileNameW(NULL, path, _countof(path));
    if (len == 0 || len >= _countof(path)) return std::wstring();
    std::wstring dir(path, len);
    size_t slash = dir.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash);
}

std::wstring ProgramPath(const wchar_t* name) {
    return JoinPath(BinDir(), name);
}

std::wstring JoinPath(const std::wstring& a, const std::wstring& b) {
    if (b.empty()) return a;
    if (a.empty()) return b;
    std::wstring head = a;
    while (!head.empty() && head.back() == L'\\') head.pop_back();
    size_t skip = 0;
    while (skip < b.size() && b[skip] == L'\\') ++skip;
    return head + L"\\" + b.substr(skip);
}

int TestLangId() {
    wchar_t value[32];
    DWORD len = GetEnvironmentVariableW(L"PIKRO_TEST_LANGID", value, _countof(value));
    if (len == 0 || len >= _countof(value)) return 1033;
    return static_cast<int>(wcstol(value, NULL, 10));
}

// ---------------------------------------------------------------------------
// Temporary folders
// ---------------------------------------------------------------------------

TempDir::TempDir(int flags) {
    static unsigned counter = 0;
    wchar_t name[64];
    // Fixed-width numbers: a test's paths have the same length in every run.
    _snwprintf_s(name, _countof(name), _TRUNCATE, L"%06lu-%04u", GetCurrentProcessId(), ++counter);
    std::wstring leaf = name;
    if (flags & kTempBlanks) leaf += L" with blanks";
    if (flags & kTempJapanese) leaf += L" \x65E5\x672C\x8A9E\x30D5\x30A9\x30EB\x30C0";  // 日本語フォルダ
    path_ = JoinPath(TempRoot(), leaf);
    // A folder left behind by an earlier process with the same id would not
    // be empty.
    RemoveTree(path_);
    if (!MakeFolders(path_)) ADD_FAILURE() << "cannot create temporary folder " << ToUtf8(path_);
}

TempDir::~TempDir() {
    if (!RemoveTree(path_)) ADD_FAILURE() << "cannot remove temporary folder " << ToUtf8(path_);
}

std::wstring TempDir::Sub(const std::wstring& relative) const {
    return JoinPath(path_, relative);
}

namespace {

int RemoveTreeWindows(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return 1;
    // Wine's RemoveDirectoryW looks through a folder link and would remove
    // an empty target instead of the link: links are left to the Unix rm.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return 0;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) ? 1 : 0;
    {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(JoinPath(path, L"*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
                    continue;
                RemoveTreeWindows(JoinPath(path, found.cFileName));
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
    }
    RemoveDirectoryW(path.c_str());
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

// 1 when nothing by that name is left, a dangling link included (which
// GetFileAttributesW does not see): the parent no longer lists it.
int IsGone(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
    size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return 1;
    std::wstring leaf = path.substr(slash + 1);
    for (const std::wstring& name : ListFolder(path.substr(0, slash)))
        if (CompareNoCase(name, leaf) == 0) return 0;
    return 1;
}

}  // namespace

int RemoveTree(const std::wstring& path) {
    // Links inside (which Wine cannot delete from Windows code) and dangling
    // links leave something behind: the Unix rm, which never follows links,
    // takes the rest.
    if (RemoveTreeWindows(path) && IsGone(path)) return 1;
    std::wstring unixPath = UnixPath(path);
    if (unixPath.empty() || unixPath == L"/") return 0;
    RunUnixProgram(L"/bin/rm", {L"-rf", L"--", unixPath}, [&path]() { return IsGone(path) != 0; },
                   10000);
    return IsGone(path);
}

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

int MakeFolders(const std::wstring& path) {
    if (path.empty()) return 0;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2) {
        if (!MakeFolders(path.substr(0, slash))) return 0;
    }
    return CreateDirectoryW(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 0;
}

int WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos) MakeFolders(path.substr(0, slash));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size() ? 1 : 0;
}

int WriteFileUtf8(const std::wstring& path, const std::wstring& text) {
    return WriteFileBytes(path, ToUtf8(text));
}

int WriteFileUtf16(const std::wstring& path, const std::wstring& text) {
    std::string bytes("\xFF\xFE", 2);
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return WriteFileBytes(path, bytes);
}

int ReadFileBytes(const std::wstring& path, std::string* bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    std::string data;
    char chunk[4096];
    DWORD got = 0;
    int ok = 1;
    for (;;) {
        if (!ReadFile(file, chunk, sizeof(chunk), &got, NULL)) {
            ok = 0;
            break;
        }
        if (got == 0) break;
        data.append(chunk, got);
    }
    CloseHandle(file);
    if (ok && bytes != NULL) bytes->swap(data);
    return ok;
}

std::wstring ReadFileUtf8(const std::wstring& path) {
    std::string bytes;
    if (!ReadFileBytes(path, &bytes)) return std::wstring();
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    return FromUtf8(bytes);
}

std::vector<std::wstring> ListFolder(const std::wstring& path) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(JoinPath(path, L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareNoCase(a, b) < 0;
    });
    return names;
}

int FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int FolderExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int need = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), NULL, 0,
                                   NULL, NULL);
    std::string out(static_cast<size_t>(need > 0 ? need : 0), '\0');
    if (need > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], need,
                            NULL, NULL);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    int need = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), NULL, 0);
    std::wstring out(static_cast<size_t>(need > 0 ? need : 0), L'\0');
    if (need > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], need);
    return out;
}

// ---------------------------------------------------------------------------
// Registry
// ---------------------------------------------------------------------------

int RegPutString(HKEY root, const std::wstring& subKey, const wchar_t* name,
                 const std::wstring& value) {
    HKEY key = NULL;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return 0;
    LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? 1 : 0;
}

int RegPutDword(HKEY root, const std::wstring& subKey, const wchar_t* name, DWORD value) {
    HKEY key = NULL;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return 0;
    LONG rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof(value));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? 1 : 0;
}

int RegGetString(HKEY root, const std::wstring& subKey, const wchar_t* name, std::wstring* value) {
    HKEY key = NULL;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    DWORD type = 0;
    DWORD bytes = 0;
    int ok = 0;
    if (RegQueryValueExW(key, name, NULL, &type, NULL, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) ==
            ERROR_SUCCESS) {
            data[bytes / sizeof(wchar_t)] = L'\0';
            if (value != NULL) value->assign(data.data());
            ok = 1;
        }
    }
    RegCloseKey(key);
    return ok;
}

int RegGetDword(HKEY root, const std::wstring& subKey, const wchar_t* name, DWORD* value) {
    HKEY key = NULL;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    DWORD type = 0;
    DWORD data = 0;
    DWORD bytes = sizeof(data);
    int ok = RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(&data), &bytes) ==
                     ERROR_SUCCESS &&
                 type == REG_DWORD
             ? 1
             : 0;
    RegCloseKey(key);
    if (ok && value != NULL) *value = data;
    return ok;
}

int RegKeyExists(HKEY root, const std::wstring& subKey) {
    HKEY key = NULL;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    RegCloseKey(key);
    return 1;
}

int DeleteRegTree(HKEY root, const std::wstring& subKey) {
    if (subKey.empty()) return 0;
    // Depth first: a key can only be deleted once it has no sub-keys.
    HKEY key = NULL;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD units = _countof(name);
        if (RegEnumKeyExW(key, i, name, &units, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        children.push_back(std::wstring(name, units));
    }
    RegCloseKey(key);
    for (const std::wstring& child : children) DeleteRegTree(root, subKey + L"\\" + child);
    RegDeleteKeyW(root, subKey.c_str());
    return RegKeyExists(root, subKey) ? 0 : 1;
}

int ResetStore() {
    return DeleteRegTree(HKEY_CURRENT_USER, kStoreRoot);
}

int PutStoreString(const wchar_t* section, const wchar_t* key, const std::wstring& value) {
    return RegPutString(HKEY_CURRENT_USER, StoreKey(section), key, value);
}

int PutStoreDword(const wchar_t* section, const wchar_t* key, DWORD value) {
    return RegPutDword(HKEY_CURRENT_USER, StoreKey(section), key, value);
}

int GetStoreString(const wchar_t* section, const wchar_t* key, std::wstring* value) {
    return RegGetString(HKEY_CURRENT_USER, StoreKey(section), key, value);
}

int GetStoreDword(const wchar_t* section, const wchar_t* key, DWORD* value) {
    return RegGetDword(HKEY_CURRENT_USER, StoreKey(section), key, value);
}

int StoreValueExists(const wchar_t* section, const wchar_t* key) {
    HKEY handle = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, StoreKey(section).c_str(), 0, KEY_QUERY_VALUE, &handle) !=
        ERROR_SUCCESS)
        return 0;
    int found = RegQueryValueExW(handle, key, NULL, NULL, NULL, NULL) == ERROR_SUCCESS ? 1 : 0;
    RegCloseKey(handle);
    return found;
}

int StoreSectionExists(const wchar_t* section) {
    return RegKeyExists(HKEY_CURRENT_USER, StoreKey(section));
}

std::vector<std::wstring> StoreValueNames(const wchar_t* section) {
    std::vector<std::wstring> names;
    HKEY handle = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, StoreKey(section).c_str(), 0, KEY_QUERY_VALUE, &handle) !=
        ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD units = _countof(name);
        if (RegEnumValueW(handle, i, name, &units, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        names.push_back(std::wstring(name, units));
    }
    RegCloseKey(handle);
    return names;
}

int PutStoreCatalogue(const std::vector<StoredEditor>& editors) {
    int ok = PutStoreDword(L"VS-INST", L"Count", static_cast<DWORD>(editors.size()));
    for (size_t i = 0; i < editors.size(); ++i) {
        wchar_t key[16];
        _snwprintf_s(key, _countof(key), _TRUNCATE, L"VS%02u", static_cast<unsigned>(i));
        const StoredEditor& e = editors[i];
        if (!PutStoreString(L"VS-INST", key, e.description + L";" + e.version + L";" + e.folder))
            ok = 0;
    }
    return ok;
}

int DeleteSlnAssociation() {
    int ok = 1;
    const wchar_t* keys[] = {L"Software\\Classes\\.sln", L"Software\\Classes\\.slnx",
                             L"Software\\Classes\\PikroSln", L"Software\\Classes\\PikroSlnx",
                             L"Software\\Classes\\Applications\\Pikro.exe", L"Software\\PikroSuite\\Capabilities",
                             L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pikro.exe"};
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const wchar_t* key : keys) {
            if (!DeleteRegTree(root, key)) ok = 0;
        }
        RegDeleteKeyValueW(root, L"Software\\RegisteredApplications", L"" PIKRO_PRODUCT_NAME);
    }
    return ok;
}

namespace {

void SnapshotKey(HKEY key, const std::string& path, RegistrySnapshot* lines) {
    static const char kHex[] = "0123456789abcdef";
    lines->insert(path);
    DWORD nKeys = 0, keyUnits = 0, nValues = 0, nameUnits = 0, dataBytes = 0;
    if (RegQueryInfoKeyW(key, NULL, NULL, NULL, &nKeys, &keyUnits, NULL, &nValues, &nameUnits, &dataBytes, NULL,
                         NULL) != ERROR_SUCCESS)
        return;
    std::vector<wchar_t> name(std::max(keyUnits, nameUnits) + 1);
    std::vector<BYTE> data(dataBytes + 1);
    for (DWORD i = 0; i < nValues; ++i) {
        DWORD units = static_cast<DWORD>(name.size()), type = 0, bytes = dataBytes;
        if (RegEnumValueW(key, i, name.data(), &units, NULL, &type, data.data(), &bytes) != ERROR_SUCCESS) break;
        std::string line = path + "|" + ToUtf8(std::wstring(name.data(), units)) + "|" + std::to_string(type) + "|";
        for (DWORD b = 0; b < bytes; ++b) line += std::string{kHex[data[b] >> 4], kHex[data[b] & 15]};
        lines->insert(line);
    }
    for (DWORD i = 0; i < nKeys; ++i) {
        DWORD units = static_cast<DWORD>(name.size());
        HKEY sub = NULL;
        if (RegEnumKeyExW(key, i, name.data(), &units, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        if (RegOpenKeyExW(key, name.data(), 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
        SnapshotKey(sub, path + "\\" + ToUtf8(std::wstring(name.data(), units)), lines);
        RegCloseKey(sub);
    }
}

}  // namespace

RegistrySnapshot SnapshotRegistry(HKEY root, const std::wstring& subKey, REGSAM view) {
    RegistrySnapshot lines;
    HKEY key = NULL;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return lines;
    SnapshotKey(key, ToUtf8(subKey), &lines);
    RegCloseKey(key);
    return lines;
}

RegistrySnapshot SnapshotMachineRegistry() {
    RegistrySnapshot lines = SnapshotRegistry(HKEY_LOCAL_MACHINE, L"", KEY_WOW64_64KEY);
    for (const std::string& line : SnapshotRegistry(HKEY_LOCAL_MACHINE, L"Software", KEY_WOW64_32KEY))
        lines.insert("32-bit " + line);
    return lines;
}

std::vector<std::string> RegistryChanges(const RegistrySnapshot& before, const RegistrySnapshot& after) {
    std::vector<std::string> changes;
    for (const std::string& line : before) {
        if (!after.count(line)) changes.push_back("-" + line);
    }
    for (const std::string& line : after) {
        if (!before.count(line)) changes.push_back("+" + line);
    }
    return changes;
}

// ---------------------------------------------------------------------------
// Running programs
// ---------------------------------------------------------------------------

std::wstring QuoteArg(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

namespace {

// The token StartProgram starts programs with while one is set
// (RunProgramNotElevated's), else this process's own.
HANDLE g_startToken = NULL;

// A copy of this process's environment with the overrides applied, as an
// environment block (NAME=value entries, each terminated, then one more
// terminator). Empty when there is nothing to override.
std::vector<wchar_t> BuildEnvironment(const EnvOverrides& env) {
    std::vector<wchar_t> block;
    if (env.empty()) return block;
    std::vector<std::wstring> entries;
    wchar_t* strings = GetEnvironmentStringsW();
    if (strings != NULL) {
        for (const wchar_t* p = strings; *p != L'\0'; p += wcslen(p) + 1) entries.push_back(p);
        FreeEnvironmentStringsW(strings);
    }
    for (const std::wstring& entry : env) {
        // Names may begin with "=" (per-drive folders); the separator is the
        // first "=" after the first character.
        size_t eq = entry.find(L'=', 1);
        std::wstring name = entry.substr(0, eq);
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&name](const std::wstring& e) {
                                         size_t at = e.find(L'=', 1);
                                         return CompareNoCase(e.substr(0, at), name) == 0;
                                     }),
                      entries.end());
        if (eq != std::wstring::npos) entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end(),
              [](const std::wstring& a, const std::wstring& b) { return CompareNoCase(a, b) < 0; });
    for (const std::wstring& e : entries) {
        block.insert(block.end(), e.begin(), e.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

}  // namespace

HANDLE StartProgram(const std::wstring& program, const std::wstring& args, const std::wstring& cwd,
                    DWORD* pid, const EnvOverrides& env) {
    std::wstring line = QuoteArg(program);
    if (!args.empty()) line += L" " + args;
    std::vector<wchar_t> lineBuffer(line.begin(), line.end());
    lineBuffer.push_back(L'\0');
    std::vector<wchar_t> block = BuildEnvironment(env);

    STARTUPINFOW si;
    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof(pi));
    const BOOL started =
        g_startToken ? CreateProcessAsUserW(g_startToken, program.c_str(), lineBuffer.data(), NULL, NULL, FALSE,
                                            CREATE_UNICODE_ENVIRONMENT, block.empty() ? NULL : block.data(),
                                            cwd.empty() ? NULL : cwd.c_str(), &si, &pi)
                     : CreateProcessW(program.c_str(), lineBuffer.data(), NULL, NULL, FALSE,
                                      CREATE_UNICODE_ENVIRONMENT, block.empty() ? NULL : block.data(),
                                      cwd.empty() ? NULL : cwd.c_str(), &si, &pi);
    if (!started) {
        ADD_FAILURE() << "cannot start " << ToUtf8(line) << " (error " << GetLastError() << ")";
        return NULL;
    }
    CloseHandle(pi.hThread);
    if (pid != NULL) *pid = pi.dwProcessId;
    return pi.hProcess;
}

int EndProgram(HANDLE process, DWORD timeoutMs, DWORD* exitCode) {
    if (process == NULL) return 0;
    int ended = 1;
    // Pumping while waiting lets a program that sends this thread messages
    // (a window of the test itself may be its owner) go on.
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) {
            ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0 ? 1 : 0;
            break;
        }
        DWORD rc = MsgWaitForMultipleObjects(1, &process, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        if (rc == WAIT_OBJECT_0) break;
        PumpMessages(0);
    }
    if (!ended) {
        TerminateProcess(process, 0xDEAD);
        WaitForSingleObject(process, 5000);
    }
    if (ended && exitCode != NULL) GetExitCodeProcess(process, exitCode);
    CloseHandle(process);
    return ended;
}

int RunProgram(const std::wstring& program, const std::wstring& args, const std::wstring& cwd,
               DWORD timeoutMs, DWORD* exitCode, const EnvOverrides& env) {
    HANDLE process = StartProgram(program, args, cwd, NULL, env);
    if (process == NULL) return 0;
    if (!EndProgram(process, timeoutMs, exitCode)) {
        ADD_FAILURE() << ToUtf8(program) << " " << ToUtf8(args) << " did not end within "
                      << timeoutMs << " ms and was killed";
        return 0;
    }
    return 1;
}

int RunProgramNotElevated(const std::wstring& program, const std::wstring& args, DWORD timeoutMs,
                          DWORD* exitCode) {
    HANDLE own = NULL;
    TOKEN_LINKED_TOKEN linked = {NULL};
    DWORD bytes = 0;
    const BOOL got = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own) &&
                     GetTokenInformation(own, TokenLinkedToken, &linked, sizeof(linked), &bytes);
    if (own) CloseHandle(own);
    if (!got) {
        ADD_FAILURE() << "no linked token (error " << GetLastError() << ")";
        return 0;
    }
    g_startToken = linked.LinkedToken;
    const int ran = RunProgram(program, args, L"", timeoutMs, exitCode);
    g_startToken = NULL;
    CloseHandle(linked.LinkedToken);
    return ran;
}

// ---------------------------------------------------------------------------
// Windows
// ---------------------------------------------------------------------------

namespace {

struct WindowQuery {
    const wchar_t* cls;
    const wchar_t* caption;
    DWORD pid;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    WindowQuery* q = reinterpret_cast<WindowQuery*>(param);
    if (q->pid != 0) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != q->pid) return TRUE;
    }
    if (q->visibleOnly && !IsWindowVisible(window)) return TRUE;
    if (q->cls != NULL && CompareNoCase(ClassName(window), q->cls) != 0) return TRUE;
    if (q->caption != NULL && WindowText(window) != q->caption) return TRUE;
    q->found = window;
    return FALSE;
}

const DWORD kPollMs = 15;
const UINT kSendTimeoutMs = 5000;

LRESULT SendWithTimeout(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, msg, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

// Looks through the child windows of every top-level window that passes
// the process filter (a dialog may be created as a child of its frame).
BOOL CALLBACK MatchChildOfWindow(HWND window, LPARAM param) {
    WindowQuery* q = reinterpret_cast<WindowQuery*>(param);
    if (q->pid != 0) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != q->pid) return TRUE;
    }
    EnumChildWindows(window, MatchWindow, param);
    return q->found == NULL;
}

}  // namespace

HWND WaitForWindow(const wchar_t* cls, const wchar_t* caption, DWORD pid, DWORD timeoutMs,
                   bool visibleOnly) {
    DWORD start = GetTickCount();
    for (;;) {
        WindowQuery q = {cls, caption, pid, visibleOnly, NULL};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&q));
        if (q.found == NULL) EnumWindows(MatchChildOfWindow, reinterpret_cast<LPARAM>(&q));
        if (q.found != NULL) return q.found;
        if (GetTickCount() - start >= timeoutMs) return NULL;
        PumpMessages(kPollMs);
    }
}

int WaitForWindowGone(HWND window, DWORD timeoutMs) {
    return PumpUntil([window]() { return !IsWindow(window); }, timeoutMs);
}

std::wstring WindowText(HWND window) {
    if (window == NULL) return std::wstring();
    LRESULT len = SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0);
    if (len <= 0) return std::wstring();
    std::vector<wchar_t> text(static_cast<size_t>(len) + 1, L'\0');
    SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.back() = L'\0';
    return std::wstring(text.data());
}

std::wstring ControlText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

std::wstring ClassName(HWND window) {
    wchar_t name[256];
    int len = GetClassNameW(window, name, _countof(name));
    return len > 0 ? std::wstring(name, static_cast<size_t>(len)) : std::wstring();
}

namespace {

// The rows of a list box or of a combo box's list, through the messages that
// count, measure and read them.
std::vector<std::wstring> ControlRows(HWND control, UINT getCount, UINT getTextLen, UINT getText) {
    std::vector<std::wstring> rows;
    LRESULT count = SendWithTimeout(control, getCount, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT len = SendWithTimeout(control, getTextLen, static_cast<WPARAM>(i), 0);
        std::vector<wchar_t> text(static_cast<size_t>(len > 0 ? len : 0) + 1, L'\0');
        if (len > 0)
            SendWithTimeout(control, getText, static_cast<WPARAM>(i),
                            reinterpret_cast<LPARAM>(text.data()));
        text.back() = L'\0';
        rows.push_back(text.data());
    }
    return rows;
}

}  // namespace

std::vector<std::wstring> ListBoxItems(HWND listBox) {
    return ControlRows(listBox, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

std::vector<std::wstring> ComboBoxItems(HWND comboBox) {
    return ControlRows(comboBox, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

int ClickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button))
               ? 1
               : 0;
}

HWND WaitForMessageBox(const wchar_t* caption, DWORD pid, DWORD timeoutMs) {
    return WaitForWindow(L"#32770", caption, pid, timeoutMs);
}

std::wstring MessageBoxText(HWND box) {
    return ControlText(box, 0xFFFF);
}

int CloseMessageBox(HWND box, int button) {
    if (box == NULL) return 0;
    ClickButton(box, button);
    return WaitForWindowGone(box, 5000);
}

void PumpMessages(DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return;
        MsgWaitForMultipleObjects(0, NULL, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

int PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return 1;
        if (GetTickCount() - start >= timeoutMs) return done() ? 1 : 0;
        PumpMessages(kPollMs);
    }
}

// ---------------------------------------------------------------------------
// The fake editor
// ---------------------------------------------------------------------------

std::wstring CreateFakeDevenv(const std::wstring& folder, const std::wstring& description,
                              const std::wstring& version, const std::wstring& fileName,
                              bool withVersion) {
    std::wstring target = JoinPath(folder, fileName);
    if (!MakeFolders(folder)) {
        ADD_FAILURE() << "cannot create " << ToUtf8(folder);
        return std::wstring();
    }
    if (!CopyFileW(ProgramPath(L"fake_devenv.exe").c_str(), target.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy fake_devenv.exe to " << ToUtf8(target) << " (error "
                      << GetLastError() << ")";
        return std::wstring();
    }
    if (!WriteVersionResource(target, description, version, withVersion)) {
        ADD_FAILURE() << "cannot write the version resource of " << ToUtf8(target);
        return std::wstring();
    }
    return target;
}

int StartedHidden(const DevenvRun& run) {
    return (run.startupFlags & STARTF_USESHOWWINDOW) && run.showWindow == SW_HIDE ? 1 : 0;
}

std::vector<DevenvRun> ReadFakeDevenvLog(const std::wstring& folder) {
    std::vector<DevenvRun> runs;
    std::string bytes;
    if (!ReadFileBytes(JoinPath(folder, L"devenv.log"), &bytes)) return runs;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t eol = bytes.find('\n', at);
        if (eol == std::string::npos) break;
        unsigned long pid = 0;
        unsigned long lang = 0;
        unsigned long cmdBytes = 0;
        unsigned long curBytes = 0;
        unsigned long flags = 0;
        unsigned long show = 0;
        std::string head = bytes.substr(at, eol - at);
        if (sscanf(head.c_str(), "RUN %lu %lu %lu %lu %lu %lu", &pid, &lang, &flags, &show,
                   &cmdBytes, &curBytes) != 6)
            break;
        size_t cmdAt = eol + 1;
        size_t curAt = cmdAt + cmdBytes + 1;
        size_t next = curAt + curBytes + 1;
        // A record still being written is not counted.
        if (next > bytes.size()) break;
        DevenvRun run;
        run.commandLine = FromUtf8(bytes.substr(cmdAt, cmdBytes));
        run.currentFolder = FromUtf8(bytes.substr(curAt, curBytes));
        run.pid = pid;
        run.uiLanguage = static_cast<LANGID>(lang);
        run.startupFlags = flags;
        run.showWindow = static_cast<WORD>(show);
        runs.push_back(run);
        at = next;
    }
    return runs;
}

int WaitForFakeDevenvLog(const std::wstring& folder, size_t count, DWORD timeoutMs) {
    return PumpUntil([&folder, count]() { return ReadFakeDevenvLog(folder).size() >= count; },
                     timeoutMs);
}

int HoldFakeDevenv(const std::wstring& folder) {
    return WriteFileBytes(JoinPath(folder, L"devenv.hold"), "hold\n");
}

int ReleaseFakeDevenv(const std::wstring& folder) {
    std::wstring hold = JoinPath(folder, L"devenv.hold");
    DeleteFileW(hold.c_str());
    return FileExists(hold) ? 0 : 1;
}

int SetFakeDevenvExitCode(const std::wstring& folder, int code) {
    std::wstring path = JoinPath(folder, L"devenv.exitcode");
    if (code < 0) {
        DeleteFileW(path.c_str());
        return FileExists(path) ? 0 : 1;
    }
    return WriteFileBytes(path, std::to_string(code));
}

// ---------------------------------------------------------------------------
// SystemDrive
// ---------------------------------------------------------------------------

int SetSystemDrive(const std::wstring& path) {
    // Both: programs started by Wine from outside take it from the registry,
    // children of this process inherit this process's environment, and code
    // of the suite running inside the test program reads it here.
    int ok = RegPutString(HKEY_LOCAL_MACHINE, kSessionEnvironment, L"SystemDrive", path);
    if (!SetEnvironmentVariableW(L"SystemDrive", path.c_str())) ok = 0;
    return ok;
}

int RestoreSystemDrive() {
    return SetSystemDrive(L"C:");
}

namespace {

// Every test program starts and ends with SystemDrive "C:": a test that was
// killed while it had moved SystemDrive would otherwise leave it in the
// registry, where the next program started by Wine picks it up.
class SystemDriveReset : public ::testing::Environment {
public:
    void SetUp() override { RestoreSystemDrive(); }
    void TearDown() override { RestoreSystemDrive(); }
};

::testing::Environment* const g_systemDriveReset =
    ::testing::AddGlobalTestEnvironment(new SystemDriveReset);

}  // namespace

std::wstring SystemProgramFiles(bool x86) {
    return x86 ? L"C:\\Program Files (x86)" : L"C:\\Program Files";
}

int RemoveSystemVisualStudios() {
    int ok = 1;
    for (int x86 = 0; x86 < 2; ++x86) {
        std::wstring root = SystemProgramFiles(x86 != 0);
        for (const std::wstring& name : ListFolder(root)) {
            if (_wcsnicmp(name.c_str(), L"Microsoft Visual Studio", 23) != 0) continue;
            if (!RemoveTree(JoinPath(root, name))) ok = 0;
        }
    }
    return ok;
}

// ---------------------------------------------------------------------------
// Folder links
// ---------------------------------------------------------------------------

namespace {

typedef char*(CDECL* UnixNameFunc)(LPCWSTR);

}  // namespace

std::wstring UnixPath(const std::wstring& path) {
    // Drive Z: is the Unix root: a plain rewrite, which also serves paths
    // whose folders do not exist yet. Other drives go through Wine's own
    // conversion.
    if (path.size() >= 3 && (path[0] == L'Z' || path[0] == L'z') && path[1] == L':' &&
        path[2] == L'\\') {
        std::wstring rest = path.substr(2);
        std::replace(rest.begin(), rest.end(), L'\\', L'/');
        return rest;
    }
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    UnixNameFunc toUnix = kernel == NULL ? NULL
                                         : reinterpret_cast<UnixNameFunc>(reinterpret_cast<void*>(
                                               GetProcAddress(kernel, "wine_get_unix_file_name")));
    if (toUnix == NULL) return std::wstring();
    char* name = toUnix(path.c_str());
    if (name == NULL) return std::wstring();
    std::wstring out = FromUtf8(name);
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

int RunUnixProgram(const std::wstring& program, const std::vector<std::wstring>& args,
                   const std::function<bool()>& done, DWORD timeoutMs) {
    // Wine starts a Unix program given by its path as it starts a Windows
    // one, splitting the command line by the Windows rules.
    std::wstring line = QuoteArg(program);
    for (const std::wstring& arg : args) line += L" " + QuoteArg(arg);
    std::vector<wchar_t> lineBuffer(line.begin(), line.end());
    lineBuffer.push_back(L'\0');
    std::wstring image = L"Z:" + program;
    std::replace(image.begin(), image.end(), L'/', L'\\');
    STARTUPINFOW si;
    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof(pi));
    if (!CreateProcessW(image.c_str(), lineBuffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si,
                        &pi))
        return 0;
    if (pi.hThread != NULL) CloseHandle(pi.hThread);
    if (pi.hProcess != NULL) CloseHandle(pi.hProcess);
    if (!done) return 1;
    return PumpUntil(done, timeoutMs);
}

int MakeFolderLink(const std::wstring& linkPath, const std::wstring& targetPath) {
    std::wstring link = UnixPath(linkPath);
    std::wstring target = UnixPath(targetPath);
    if (link.empty() || target.empty()) return 0;
    if (GetFileAttributesW(linkPath.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
    return RunUnixProgram(
        L"/bin/ln", {L"-s", L"-n", L"--", target, link},
        [&linkPath]() {
            DWORD attributes = GetFileAttributesW(linkPath.c_str());
            return attributes != INVALID_FILE_ATTRIBUTES &&
                   (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        },
        5000);
}

int MakeFileLink(const std::wstring& linkPath, const std::wstring& targetPath) {
    std::wstring link = UnixPath(linkPath);
    std::wstring target = UnixPath(targetPath);
    if (link.empty() || target.empty()) return 0;
    if (GetFileAttributesW(linkPath.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
    return RunUnixProgram(
        L"/bin/ln", {L"-s", L"--", target, link},
        [&linkPath]() { return GetFileAttributesW(linkPath.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000);
}

std::wstring IndirectText(const std::wstring& indirect) {
    wchar_t text[1024] = L"";
    if (FAILED(SHLoadIndirectString(indirect.c_str(), text, _countof(text), NULL))) return L"";
    return text;
}

}  // namespace testutil

namespace testutil {

HANDLE ShellOpen(const std::wstring& document) {
    SHELLEXECUTEINFOW info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = document.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) {
        ADD_FAILURE() << "the shell did not open " << ToUtf8(document);
        return nullptr;
    }
    return info.hProcess;
}

std::string ManifestOf(const std::wstring& program) {
    std::string manifest;
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return manifest;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (resource)
        manifest.assign(static_cast<const char*>(LockResource(LoadResource(module, resource))),
                        SizeofResource(module, resource));
    FreeLibrary(module);
    return manifest;
}

}  // namespace testutil
