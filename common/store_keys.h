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
