; The suite's Windows installer, built by scripts/release.sh with makensis:
;
;   makensis /DPIKRO_VERSION=1.0.0.2 /DPIKRO_PRODUCT=Travuna /DPIKRO_ARCH=x86
;            /DPIKRO_PROGRAMS=<folder in the installed layout> /DPIKRO_OUTFILE=<setup.exe>
;            installer/Pikro.nsi
;
; It copies the programs into "Pikro Suite" under Program Files in their
; installed layout, runs PikroInstall.exe from there (which finds the
; editors and associates .sln and .slnx with the launcher), and registers
; itself in Apps & features. Its uninstaller runs PikroUninstall.exe (which
; gives .sln and .slnx their old types back and deletes the stored
; settings) before removing the files. The x86 installer carries the 32-bit
; programs and goes to the 32-bit Program Files folder; PIKRO_ARCH=x64
; carries the 64-bit programs, goes to the 64-bit folder and uses the 64-bit
; registry view.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef PIKRO_VERSION | PIKRO_PRODUCT | PIKRO_PROGRAMS | PIKRO_OUTFILE
  !error "PIKRO_VERSION, PIKRO_PRODUCT, PIKRO_PROGRAMS and PIKRO_OUTFILE must be defined"
!endif
!ifndef PIKRO_ARCH
  !define PIKRO_ARCH x86
!endif

!define SUITE_FOLDER "Pikro Suite"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\PikroSuite"
!define UNINSTALLER "Uninstall.exe"

!if ${PIKRO_ARCH} == x64
  Target amd64-unicode
  InstallDir "$PROGRAMFILES64\${SUITE_FOLDER}"
!else if ${PIKRO_ARCH} == x86
  InstallDir "$PROGRAMFILES\${SUITE_FOLDER}"
!else
  !error "PIKRO_ARCH must be x86 or x64"
!endif

Name "${PIKRO_PRODUCT}"
OutFile "${PIKRO_OUTFILE}"
BrandingText "${PIKRO_PRODUCT} ${PIKRO_VERSION}"
; The folder is always the suite's own: an earlier install is found there.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${PIKRO_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PIKRO_PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${PIKRO_VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${PIKRO_VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PIKRO_PRODUCT} Setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "Pikro"

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; NSIS speaks the user's interface language when it has it, else the first.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString ShortcutName ${LANG_ENGLISH} "${PIKRO_PRODUCT}"
LangString ShortcutName ${LANG_JAPANESE} "${PIKRO_PRODUCT}"

; Programs, settings and the uninstall entry belong to the machine; the
; catalogue and settings that PikroInstall.exe writes belong to the user who
; runs the installer (elevation keeps the same user).
!macro PikroViews
  SetShellVarContext all
  !if ${PIKRO_ARCH} == x64
    SetRegView 64
  !endif
!macroend

Function .onInit
  !insertmacro PikroViews
FunctionEnd

Function un.onInit
  !insertmacro PikroViews
FunctionEnd

Section "Install"
  ; Installing over an earlier version replaces its files; PikroInstall.exe
  ; keeps the file type it remembered the first time.
  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${PIKRO_PROGRAMS}\Pikro.exe"
  File "${PIKRO_PROGRAMS}\PikroInstall.exe"
  File "${PIKRO_PROGRAMS}\PikroUninstall.exe"
  SetOutPath "$INSTDIR\PikroExec"
  File "${PIKRO_PROGRAMS}\PikroExec\PikroExec.exe"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "$SMPROGRAMS\$(ShortcutName).lnk" "$INSTDIR\Pikro.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PIKRO_PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${PIKRO_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Pikro"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\Pikro.exe",0'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; Setup runs from the installed folder, so that .sln and .slnx are
  ; associated with the launcher beside it.
  DetailPrint "PikroInstall.exe"
  ExecWait '"$INSTDIR\PikroInstall.exe"' $0
  DetailPrint "PikroInstall.exe: $0"
SectionEnd

Section "Uninstall"
  ; Removal first, while the programs are still there: .sln and .slnx get
  ; their old types back and the stored settings go.
  DetailPrint "PikroUninstall.exe"
  ExecWait '"$INSTDIR\PikroUninstall.exe"' $0
  DetailPrint "PikroUninstall.exe: $0"

  Delete "$SMPROGRAMS\$(ShortcutName).lnk"
  Delete "$INSTDIR\PikroExec\PikroExec.exe"
  RMDir "$INSTDIR\PikroExec"
  Delete "$INSTDIR\Pikro.exe"
  Delete "$INSTDIR\PikroInstall.exe"
  Delete "$INSTDIR\PikroUninstall.exe"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only an empty folder goes: whatever the user put there stays.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
