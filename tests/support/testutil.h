// Helpers shared by every test of the suite: where the programs lie, fresh
// temporary folders, direct registry access to the settings store, starting
// and waiting for the suite's programs, finding and driving their windows
// from outside, the fake editor (fake_devenv.exe) and its log, SystemDrive,
// folder links and small file helpers.
//
// How the tests share one machine
// -------------------------------
// All tests of one target (x86 or x64) run one after the other in a single
// Wine prefix served by one persistent wineserver (scripts/test.sh). Nothing
// is reset between tests for you, so every test cleans up what it uses:
//   - call ResetStore() before it sets up the store (and need not after);
//   - keep its files in its own TempDir, which is removed when it goes out of
//     scope;
//   - restore SystemDrive with a SystemDriveOverride (or RestoreSystemDrive()
//     before it ends) when it changed it, and lay out Visual Studio folders in
//     the real Program Files folders only inside a SystemVisualStudios scope;
//   - delete the .sln and .slnx association keys it made in HKLM\Software\Classes
//     (DeleteSlnAssociation() does that);
//   - end every program it started (RunProgram does; for StartProgram use
//     EndProgram).
// Suites whose name ends in "Lang" run twice, under en-US and under
// Japanese; TestLangId() says which one the current run uses.
//
// Paths are wide strings. A Unix folder /tmp/x is seen by Windows programs as
// Z:\tmp\x. Times are in milliseconds; every wait is bounded.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace testutil {

// ---------------------------------------------------------------------------
// Where things lie
// ---------------------------------------------------------------------------

// The folder of the running test program (bin/ of the build tree, where
// Pikro.exe, PikroInstall.exe, PikroUninstall.exe, PikroExec\PikroExec.exe
// and fake_devenv.exe lie), without a trailing backslash.
std::wstring BinDir();

// BinDir() + "\" + name, e.g. ProgramPath(L"Pikro.exe") or
// ProgramPath(L"PikroExec\\PikroExec.exe").
std::wstring ProgramPath(const wchar_t* name);

// a + "\" + b with exactly one backslash between (b may be empty: then a).
std::wstring JoinPath(const std::wstring& a, const std::wstring& b);

// The language the current run tests under: PIKRO_TEST_LANGID from the
// environment (1033 or 1041), 1033 when unset.
int TestLangId();

// ---------------------------------------------------------------------------
// Temporary folders
// ---------------------------------------------------------------------------

enum TempDirFlags {
    kTempPlain = 0,
    kTempBlanks = 1,    // the folder name contains blanks
    kTempJapanese = 2,  // the folder name contains Japanese characters
};

// A fresh, empty folder for one test under a Unix folder
// (/tmp/pikro-tests/<pid, 6 digits>-<n, 4 digits>..., seen as
// Z:\tmp\pikro-tests\...; the
// environment variable PIKRO_TEST_TMP may name another Unix folder), removed
// with everything in it when the object is destroyed (a failure to remove it
// fails the test). Folder links inside are removed as links; what they
// point to is left alone.
class TempDir {
public:
    explicit TempDir(int flags = kTempPlain);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's Windows path, no trailing backslash.
    const std::wstring& Path() const { return path_; }
    // Path() + "\" + relative.
    std::wstring Sub(const std::wstring& relative) const;

private:
    std::wstring path_;
};

// Deletes a file, or a folder with everything in it, without following
// folder links. Returns 1 when it is gone afterwards (also when it never
// existed).
int RemoveTree(const std::wstring& path);

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

// Creates every missing folder of the chain. Returns 1 on success.
int MakeFolders(const std::wstring& path);

// Writes a file (creating its folders) with the given bytes. Returns 1 on
// success.
int WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Writes text as UTF-8 without a byte order mark. Returns 1 on success.
int WriteFileUtf8(const std::wstring& path, const std::wstring& text);
// Writes text as UTF-16LE with a byte order mark. Returns 1 on success.
int WriteFileUtf16(const std::wstring& path, const std::wstring& text);

// Reads a whole file. Returns 1 on success.
int ReadFileBytes(const std::wstring& path, std::string* bytes);
// Reads a UTF-8 file (a byte order mark is skipped) as UTF-16.
std::wstring ReadFileUtf8(const std::wstring& path);

// Names of the entries of a folder (no "." and ".."), sorted without regard
// to case. Empty when the folder does not exist.
std::vector<std::wstring> ListFolder(const std::wstring& path);

int FileExists(const std::wstring& path);    // a file
int FolderExists(const std::wstring& path);  // a folder (or a folder link)

// UTF-8 <-> UTF-16.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// ---------------------------------------------------------------------------
// The settings store, read and written directly in the registry
// (HKCU\Software\PikroSuite\<section>), independent of the library.
// ---------------------------------------------------------------------------

// Deletes HKCU\Software\PikroSuite with everything in it. Returns 1 when it
// is gone afterwards.
int ResetStore();

// Create or replace a value. Return 1 on success.
int PutStoreString(const wchar_t* section, const wchar_t* key, const std::wstring& value);
int PutStoreDword(const wchar_t* section, const wchar_t* key, DWORD value);

// Read a value: 1 when it exists with that type, else 0 (out untouched).
int GetStoreString(const wchar_t* section, const wchar_t* key, std::wstring* value);
int GetStoreDword(const wchar_t* section, const wchar_t* key, DWORD* value);
// 1 when the value / the section exists (whatever its type).
int StoreValueExists(const wchar_t* section, const wchar_t* key);
int StoreSectionExists(const wchar_t* section);
// Names of the values in a section, in registry order.
std::vector<std::wstring> StoreValueNames(const wchar_t* section);

// Writes the catalogue the way the suite stores it: section "VS-INST" with
// "Count" (REG_DWORD) and "VS00", "VS01", ... = "description;version;folder".
struct StoredEditor {
    std::wstring description;
    std::wstring version;
    std::wstring folder;  // the folder that holds devenv.exe
};
int PutStoreCatalogue(const std::vector<StoredEditor>& editors);

// Generic registry access for other keys (HKLM\Software\Classes, ...).
// subKey is relative to root. Return 1 on success / when present.
int RegPutString(HKEY root, const std::wstring& subKey, const wchar_t* name,
                 const std::wstring& value);
int RegPutDword(HKEY root, const std::wstring& subKey, const wchar_t* name, DWORD value);
int RegGetString(HKEY root, const std::wstring& subKey, const wchar_t* name, std::wstring* value);
int RegGetDword(HKEY root, const std::wstring& subKey, const wchar_t* name, DWORD* value);
int RegKeyExists(HKEY root, const std::wstring& subKey);
// Deletes a key with all its sub-keys. Returns 1 when it is gone afterwards.
int DeleteRegTree(HKEY root, const std::wstring& subKey);

// Deletes HKLM\Software\Classes\.sln, \.slnx, \PikroSln and \PikroSlnx
// and what setup registers besides (Default apps, "Open with", App Paths),
// and HKCU's copies, so the next test starts with no association.
int DeleteSlnAssociation();

// Everything under root\subKey in a registry view (0: this program's own;
// KEY_WOW64_32KEY, KEY_WOW64_64KEY), one line per key and one per value
// ("key path" / "key path|name|type|bytes in hex"): two snapshots are equal
// when the registry there is the same byte for byte.
typedef std::set<std::string> RegistrySnapshot;
RegistrySnapshot SnapshotRegistry(HKEY root, const std::wstring& subKey, REGSAM view = 0);
// The whole of HKLM in the 64-bit view and its Software key in the 32-bit
// one (on 64-bit Windows and Wine's WoW64 prefix they differ).
RegistrySnapshot SnapshotMachineRegistry();
// The lines only one of two snapshots holds, "-" before those of before and
// "+" before those of after; empty when they are equal.
std::vector<std::string> RegistryChanges(const RegistrySnapshot& before, const RegistrySnapshot& after);

// ---------------------------------------------------------------------------
// Running the suite's programs
// ---------------------------------------------------------------------------

// Extra environment for a child: "NAME=value" entries added to (or replacing
// in) a copy of the test program's environment; "NAME=" removes a variable.
// Under Wine 8 two variables cannot be changed this way: SystemDrive (see
// below) and the locale: a child's language always follows the run (LC_ALL
// of the Unix side), whatever LC_ALL its environment block carries.
typedef std::vector<std::wstring> EnvOverrides;

// Quotes one argument so that CommandLineToArgvW gives it back unchanged.
std::wstring QuoteArg(const std::wstring& arg);

// Starts program with the command line "<quoted program> <args>" (args is
// passed as it is: quote it yourself, e.g. with QuoteArg), in cwd (empty:
// the test's current folder), and waits at most timeoutMs. Returns 1 when
// the program ended in time, with its exit code in *exitCode (may be null);
// on timeout it kills the program, adds a test failure and returns 0.
int RunProgram(const std::wstring& program, const std::wstring& args, const std::wstring& cwd,
               DWORD timeoutMs, DWORD* exitCode, const EnvOverrides& env = EnvOverrides());

// Runs program as RunProgram does, but without elevation: with the linked
// token of this process's token (GetTokenInformation(TokenLinkedToken), then
// CreateProcessAsUserW). Wine starts every program elevated; the child then
// reads TokenElevation 0 and TokenElevationType 3, as a program started by a
// user's double-click on Windows. Fails the test when there is no linked
// token.
int RunProgramNotElevated(const std::wstring& program, const std::wstring& args, DWORD timeoutMs,
                          DWORD* exitCode);

// Starts program the same way and returns its process handle (0 on failure,
// with a test failure added); *pid receives its process id (may be null).
// Always end it with EndProgram.
HANDLE StartProgram(const std::wstring& program, const std::wstring& args, const std::wstring& cwd,
                    DWORD* pid, const EnvOverrides& env = EnvOverrides());

// Opens a document the way a double-click in the shell does
// (ShellExecuteExW with the verb "open"). Returns the process it started
// (end it with EndProgram), or 0 with a test failure added.
HANDLE ShellOpen(const std::wstring& document);

// Waits at most timeoutMs for the process to end; kills it when it has not.
// Closes the handle. Returns 1 when it ended by itself (exit code in
// *exitCode, may be null), 0 when it had to be killed.
int EndProgram(HANDLE process, DWORD timeoutMs, DWORD* exitCode);

// ---------------------------------------------------------------------------
// Windows of other processes (and of this one)
// ---------------------------------------------------------------------------

// Polls for a window of class cls (null: any) whose caption is caption
// (null: any) and that belongs to process pid (0: any), pumping this
// thread's messages meanwhile: top-level windows first, then their child
// windows (a dialog made a child of its frame). Returns the window, or 0
// after timeoutMs. Hidden windows count too unless visibleOnly.
HWND WaitForWindow(const wchar_t* cls, const wchar_t* caption, DWORD pid, DWORD timeoutMs,
                   bool visibleOnly = false);

// Waits until the window is gone (destroyed). Returns 1 when it went in time.
int WaitForWindowGone(HWND window, DWORD timeoutMs);

// Text of a window or control (GetWindowTextW / WM_GETTEXT), any process.
std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int id);
std::wstring ClassName(HWND window);

// Rows of a list box (LB_GETCOUNT / LB_GETTEXT), across processes too.
std::vector<std::wstring> ListBoxItems(HWND listBox);
// Rows of a combo box (CB_GETCOUNT / CB_GETLBTEXT).
std::vector<std::wstring> ComboBoxItems(HWND comboBox);

// Presses a button of a dialog by posting WM_COMMAND(MAKEWPARAM(id,
// BN_CLICKED), button) to the dialog. Returns 1 when the post succeeded.
int ClickButton(HWND dialog, int id);

// A message box ("#32770" with this caption; any caption when null) of
// process pid (0: any), waited for at most timeoutMs. 0 when none came.
HWND WaitForMessageBox(const wchar_t* caption, DWORD pid, DWORD timeoutMs);
// The message text of a message box (its static control 0xFFFF).
std::wstring MessageBoxText(HWND box);
// Closes a message box by pressing the given button (IDOK by default) and
// waits for it to go. Returns 1 when it is gone.
int CloseMessageBox(HWND box, int button = IDOK);

// Pumps this thread's messages for ms milliseconds.
void PumpMessages(DWORD ms);
// Pumps this thread's messages until done() is true or timeoutMs passed.
// Returns 1 when done() became true.
int PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// ---------------------------------------------------------------------------
// The fake editor
//
// fake_devenv.exe, beside the test program, stands for Visual Studio's
// devenv.exe. When started it appends one record to "devenv.log" in its own
// folder (its command line as GetCommandLineW gives it, its current folder,
// its process id, its user-interface language and the show mode its creator
// asked for); while "devenv.hold" exists in its folder it stays
// alive (at most 5 minutes); it exits with the number in "devenv.exitcode"
// when that file exists, else with 0. When "devenv.msgbox" exists it first
// shows a message box captioned "fake_devenv" with that file's text.
// ---------------------------------------------------------------------------

// Makes the folder chain, copies fake_devenv.exe there as fileName and gives
// it a version resource with these FileDescription and FileVersion texts
// (either may be empty). With withVersion false the copy has no version
// resource at all. Returns the full path of the copy, or "" on failure (with
// a test failure added).
std::wstring CreateFakeDevenv(const std::wstring& folder, const std::wstring& description,
                              const std::wstring& version,
                              const std::wstring& fileName = L"devenv.exe",
                              bool withVersion = true);

struct DevenvRun {
    std::wstring commandLine;    // as GetCommandLineW gave it
    std::wstring currentFolder;  // GetCurrentDirectoryW
    DWORD pid = 0;
    LANGID uiLanguage = 0;       // its GetUserDefaultUILanguage()
    DWORD startupFlags = 0;      // dwFlags of its GetStartupInfoW
    WORD showWindow = 0;         // wShowWindow of the same, valid with STARTF_USESHOWWINDOW
};
// 1 when the record says the editor's creator asked it to start hidden
// (STARTF_USESHOWWINDOW with SW_HIDE).
int StartedHidden(const DevenvRun& run);
// The records the fake editor in folder has written, oldest first.
std::vector<DevenvRun> ReadFakeDevenvLog(const std::wstring& folder);
// Waits (pumping messages) until the log in folder has at least count
// records. Returns 1 when it has.
int WaitForFakeDevenvLog(const std::wstring& folder, size_t count, DWORD timeoutMs);

// Keep the fake editor in folder running / let it end.
int HoldFakeDevenv(const std::wstring& folder);
int ReleaseFakeDevenv(const std::wstring& folder);
// Make it exit with code (removes the file when code is negative).
int SetFakeDevenvExitCode(const std::wstring& folder, int code);

// Rewrites the version resource of an executable: FileDescription and
// FileVersion in StringFileInfo "040904B0", VarFileInfo\Translation 0409/04B0
// (verres.cpp). Every other resource of the file is dropped (the fake
// editor has none); with withVersion false the file keeps no resource at all.
int WriteVersionResource(const std::wstring& exePath, const std::wstring& description,
                         const std::wstring& version, bool withVersion = true);

// Reads an item ("FileDescription", "FileVersion") of an executable's version
// resource with GetFileVersionInfoW / VerQueryValueW, the first translation.
// Returns 1 when the item was there.
int ReadVersionItem(const std::wstring& exePath, const wchar_t* item, std::wstring* value);
// The same through every translation the resource lists, in order, then
// 040904B0, 041104B0, 040904E4 and 000004B0: the order the support library
// reads in, with the system's reader. A value is read up to its terminator
// or its length, whichever comes first.
int ReadVersionItemAsSystem(const std::wstring& exePath, const wchar_t* item, std::wstring* value);

// Version resources of a test's own making (verres.cpp). A node is written
// as a file holds it: its length, its value length, its type (1: text, whose
// value length counts UTF-16 units; 0: binary, counted in bytes), the key
// and its terminator, padding to four bytes when a value or children follow,
// the value, then each child on four bytes. The lengths may be made to lie.
struct VersionNode {
    std::wstring key;
    WORD type = 1;
    std::string value;          // the value's bytes as written
    int valueLength = -1;       // written as the value length; -1: the value's own
    int length = -1;            // written as the length; -1: the real length plus lengthDelta
    int lengthDelta = 0;
    bool keyTerminated = true;  // false: the key is written without its terminator
    std::vector<VersionNode> children;
};
// UTF-16LE bytes of text, no terminator added (append L'\0' for one).
std::string Utf16Bytes(const std::wstring& text);
// A String: a text node whose value is text with its terminator.
VersionNode VersionText(const std::wstring& key, const std::wstring& text);
// A node with children only (StringFileInfo, a string table, VarFileInfo).
VersionNode VersionBlock(const std::wstring& key, const std::vector<VersionNode>& children);
// VarFileInfo with a Translation value listing these, each language in the
// high word and code page in the low one (0x040904B0).
VersionNode VersionTranslations(const std::vector<DWORD>& translations);
// VS_VERSION_INFO with a fixed file info and these children.
VersionNode VersionRoot(const std::vector<VersionNode>& children);
std::string BuildVersionNode(const VersionNode& node);
// Makes bytes the file's only resource: its version resource (RT_VERSION,
// the given id, US English). Returns 1 on success.
int WriteRawVersionResource(const std::wstring& exePath, const std::string& bytes, WORD id = 1);

// Writes path as the smallest image of this program's architecture whose
// only content is a version resource: bytes, declared as declaredSize bytes
// long, ending exactly where the mapped image ends (its last page), so that
// a reader that trusts the declared size reads beyond what is mapped.
// Returns 1 on success.
int WriteImageEndingInVersion(const std::wstring& path, const std::string& bytes,
                              DWORD declaredSize);
// A version node of size bytes that declares itself 0xFFFF bytes long and
// whose key, never terminated, fills it to its last byte: placed at the end
// of an image, a reader that goes by the declared lengths reads on beyond.
std::string RunawayVersionNode(size_t size = 1024);

// ---------------------------------------------------------------------------
// SystemDrive and the Program Files folders
//
// Under Wine 8 a program started from the Unix side (as ctest starts each
// test) takes SystemDrive from the registry value below, but every process
// that a Windows program starts gets SystemDrive "C:", whatever its parent's
// environment, its environment block or the registry say. So:
//   - code of the suite that runs inside the test program sees the folder
//     given to SetSystemDrive (it changes this process's environment);
//   - a program started as a child (PikroInstall.exe) always searches
//     "C:\Program Files" and "C:\Program Files (x86)" of the prefix: lay out
//     fake Visual Studio folders there, inside a SystemVisualStudios scope.
// ---------------------------------------------------------------------------

// Points SystemDrive of this process at path (for example a TempDir), and
// writes it to HKLM\System\CurrentControlSet\Control\Session
// Manager\Environment as well. Returns 1 on success.
int SetSystemDrive(const std::wstring& path);
// Puts back "C:". Returns 1 on success. Every test program also does this
// when it starts and ends.
int RestoreSystemDrive();

// Sets SystemDrive for its lifetime, restores it when destroyed.
class SystemDriveOverride {
public:
    explicit SystemDriveOverride(const std::wstring& path) { SetSystemDrive(path); }
    ~SystemDriveOverride() { RestoreSystemDrive(); }
    SystemDriveOverride(const SystemDriveOverride&) = delete;
    SystemDriveOverride& operator=(const SystemDriveOverride&) = delete;
};

// "C:\Program Files", or "C:\Program Files (x86)" when x86 is true: the real
// folders of the prefix that child programs search.
std::wstring SystemProgramFiles(bool x86);

// Deletes every folder whose name begins with "Microsoft Visual Studio" from
// both real Program Files folders. Returns 1 when none is left.
int RemoveSystemVisualStudios();

// Scope for a test that lays out Visual Studio folders in the real Program
// Files folders: they are emptied of such folders when it begins and ends.
class SystemVisualStudios {
public:
    SystemVisualStudios() { RemoveSystemVisualStudios(); }
    ~SystemVisualStudios() { RemoveSystemVisualStudios(); }
    SystemVisualStudios(const SystemVisualStudios&) = delete;
    SystemVisualStudios& operator=(const SystemVisualStudios&) = delete;
};

// ---------------------------------------------------------------------------
// Visual Studio's list of instances
//
// Windows lists the Visual Studio instances (2017 and later) through Visual
// Studio's Setup Configuration server, the COM class SetupConfiguration. A
// FakeSetupConfiguration scope copies the tests' stand-in for it
// (bin/fakecom/fake_setup_config.dll, tests/support/fake_setup_config.cpp)
// into a TempDir of its own and registers it where Windows registers the
// real one: HKLM\Software\Classes\CLSID\{177F0C4A-...}\InprocServer32 in this
// program's own registry view (the 64-bit view for x64, the 32-bit one for
// x86, which a setup program of the same build reads). The registration is
// deleted when the scope ends: every test of a target shares the prefix.
// ---------------------------------------------------------------------------

// One instance the stand-in lists. A complete, launchable instance whose
// product is Common7\IDE\devenv.exe unless changed.
struct FakeInstance {
    std::wstring path;                                 // installation path
    std::wstring version = L"17.8.34330.188";
    unsigned state = 0xFFFFFFFFu;                      // complete
    bool launchable = true;
    std::wstring product = L"Common7\\IDE\\devenv.exe";  // relative; "" for none
    // What its catalog's IsPrerelease answers: "-1" (VARIANT_TRUE), "0", any
    // other number (garbage), "fail", or "none" (no catalog interface).
    std::wstring prerelease = L"0";
};

class FakeSetupConfiguration {
public:
    FakeSetupConfiguration();
    ~FakeSetupConfiguration();
    FakeSetupConfiguration(const FakeSetupConfiguration&) = delete;
    FakeSetupConfiguration& operator=(const FakeSetupConfiguration&) = delete;

    // 1 when the stand-in is in place and registered.
    int Ready() const { return ready_; }
    // Lists these instances; endless makes the enumeration hand out the last
    // one for ever, createFails makes creating the object fail, and a
    // stallMs of 0 or more makes Next not return for that long (0: never)
    // after the listed instances. Returns 1 on success.
    int List(const std::vector<FakeInstance>& instances, bool endless = false,
             bool createFails = false, int stallMs = -1);
    // Deletes the registration now (as the scope's end does). Returns 1 when
    // it is gone.
    static int Unregister();

private:
    TempDir dir_;
    int ready_ = 0;
};

// ---------------------------------------------------------------------------
// Folder links
// ---------------------------------------------------------------------------

// Makes linkPath a folder link to the existing folder targetPath (a Unix
// symbolic link made by /bin/ln), seen by Windows programs as a folder whose
// attributes carry FILE_ATTRIBUTE_REPARSE_POINT, like a junction. Returns 1
// on success, 0 when links cannot be made here.
//
// Wine 8 cannot delete such a link from Windows code: RemoveDirectoryW
// looks through it (error 145 when the target has entries, and an empty
// target goes instead of the link) and DeleteFileW refuses a folder.
// RemoveTree and TempDir remove links with the Unix rm.
int MakeFolderLink(const std::wstring& linkPath, const std::wstring& targetPath);

// Makes linkPath a link to the file targetPath (a Unix symbolic link). Wine 8
// shows it as an ordinary file: writing to it, and deleting it, reaches the
// target. Removed like any file with RemoveTree or the Unix rm.
int MakeFileLink(const std::wstring& linkPath, const std::wstring& targetPath);

// What the shell makes of an indirect string ("@file,-id") through
// SHLoadIndirectString; "" when it cannot resolve it.
std::wstring IndirectText(const std::wstring& indirect);

// The Unix path of a Windows path ("Z:\tmp\x" gives "/tmp/x"); the last
// elements need not exist. Empty when Wine cannot tell.
std::wstring UnixPath(const std::wstring& windowsPath);

// Runs a Unix program (e.g. L"/bin/rm") with arguments, each passed as one
// argument, and waits at most timeoutMs for it. Wine starts it but gives no
// way to wait for it, so done() (may be null) tells when it has finished;
// without it the call returns after starting. Returns 1 when it started and
// done() became true in time.
int RunUnixProgram(const std::wstring& program, const std::vector<std::wstring>& args,
                   const std::function<bool()>& done, DWORD timeoutMs);

// The manifest a program carries (RT_MANIFEST 1), as its bytes; empty when
// it has none or cannot be loaded.
std::string ManifestOf(const std::wstring& program);

}  // namespace testutil
