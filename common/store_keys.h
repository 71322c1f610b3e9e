// Names of everything the suite keeps in the settings store. Every program
// selects kAppMidPath first; the catalogue lives in kSectVsInst and the
// launcher's six settings in kSectProfiles.
#pragma once

static const wchar_t kAppMidPath[] = L"PikroSuite";

// Editor catalogue.
static const wchar_t kSectVsInst[] = L"VS-INST";
static const wchar_t kKeyCount[] = L"Count";
// VS00 to VS99, then VS100 and on; unsigned, so that a number past the
// range of int names its own key too.
static const wchar_t kKeyEntryFormat[] = L"VS%02u";
// Which editors are a prerelease channel (Preview, Insiders): a key inside
// the catalogue's own section, so that whatever deletes the catalogue
// deletes the marks too, and the entry lines stay as they are. One REG_DWORD
// per editor, named by its folder (without a trailing backslash); 1 marks a
// prerelease, and anything else, or no value, a release.
static const wchar_t kSectVsPre[] = L"VS-INST\\Prerelease";
// The editors setup left out because the catalogue was full, each
// "description (folder)": Omitted0, Omitted1, ...
static const wchar_t kKeyOmittedPrefix[] = L"Omitted";
static const wchar_t kKeyOmittedFormat[] = L"Omitted%u";
// The file type that .sln had before setup, and beside it that of .slnx.
static const wchar_t kKeyOrgFType[] = L"OrgFType";
static const wchar_t kKeyOrgFTypeSlnx[] = L"OrgFTypeSlnx";
// What the user's own classes (HKCU\Software\Classes) gave .sln and .slnx
// before a setup for one user: the type, or an empty text for none. Absent
// when no such setup took the extension over.
static const wchar_t kKeyUserFType[] = L"UserFType";
static const wchar_t kKeyUserFTypeSlnx[] = L"UserFTypeSlnx";
// The scope of the last setup, which removal works in: kScopeUser or
// kScopeMachine.
static const wchar_t kKeyScope[] = L"Scope";
static const wchar_t kScopeUser[] = L"user";
static const wchar_t kScopeMachine[] = L"machine";
// The extensions whose association or registration did not take in the last
// setup, joined by ";" (".sln;.slnx"); absent when everything took.
static const wchar_t kKeyNotTaken[] = L"NotTaken";

// Launcher settings, in the order they are read and written.
static const wchar_t kSectProfiles[] = L"PROFILES";
static const wchar_t kKeyDelVsFolder[] = L"fDelVsFolder";
static const wchar_t kKeyLstSel[] = L"ixLstSel";
static const wchar_t kKeyVsProc[] = L"VsProc";
static const wchar_t kKeyVsFix[] = L"ixVsFix";
static const wchar_t kKeyNoVsProc[] = L"NoVsProc";
static const wchar_t kKeyNoVsFix[] = L"ixNoVsFix";

// File association: each kind of solution file opens with a file type of
// the launcher's own. Earlier versions gave .slnx the type of .sln.
static const wchar_t kSlnExtension[] = L".sln";
static const wchar_t kSlnxExtension[] = L".slnx";
static const wchar_t kSlnFileType[] = L"PikroSln";
static const wchar_t kSlnxFileType[] = L"PikroSlnx";

// What the suite registers with Windows, relative to the scope's root
// (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER): its classes, Default apps (the
// capabilities under the suite's own key and the application's entry in
// RegisteredApplications, named as Windows shows the suite), "Open with"
// (the application's own key among the classes) and App Paths.
static const wchar_t kRegClasses[] = L"Software\\Classes";
static const wchar_t kRegCapabilities[] = L"Software\\PikroSuite\\Capabilities";
static const wchar_t kRegSuite[] = L"Software\\PikroSuite";
static const wchar_t kRegRegisteredApps[] = L"Software\\RegisteredApplications";
static const wchar_t kRegApplication[] = L"Software\\Classes\\Applications\\Pikro.exe";
static const wchar_t kRegApplications[] = L"Software\\Classes\\Applications";
static const wchar_t kRegAppPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pikro.exe";

// Program files of the installed layout.
static const wchar_t kLauncherExe[] = L"Pikro.exe";
static const wchar_t kShimFolder[] = L"PikroExec";
static const wchar_t kShimExe[] = L"PikroExec.exe";
static const wchar_t kEditorExe[] = L"devenv.exe";
