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

// Program files of the installed layout.
static const wchar_t kLauncherExe[] = L"Pikro.exe";
static const wchar_t kShimFolder[] = L"PikroExec";
static const wchar_t kShimExe[] = L"PikroExec.exe";
static const wchar_t kEditorExe[] = L"devenv.exe";
