; The suite's Windows installer, built by scripts/release.sh with makensis:
;
;   makensis /DPIKRO_VERSION=1.0.0.2 /DPIKRO_PRODUCT=Travuna /DPIKRO_ARCH=x86
;            /DPIKRO_PROGRAMS=<folder in the installed layout> /DPIKRO_OUTFILE=<setup.exe>
;            installer/Pikro.nsi
;
; It installs for the user alone or for everyone on the computer
; (scope.nsh), copies the programs into "Pikro Suite" in the scope's program
; folder in their installed layout (never among files it did not install,
; folder.nsh), replaces an install of the suite by the installer of the
; other architecture, runs PikroInstall.exe /quiet from there (which finds
; the editors and makes every registration of the suite with Windows) and
; registers itself in Apps & features. Programs in use are moved aside
; (inuse.nsh). What setup found, and anything the user has to do, goes to
; the details list, to Install.log in the installed folder and to the
; Finish page (report.nsh).
;
; Its uninstaller runs PikroUninstall.exe (which removes every registration
; and gives .sln and .slnx their old types back) and then removes the
; installed files, at the next restart those still running. A folder that
; still holds files of the user's is kept, and it says so.
;
; The x86 installer carries the 32-bit programs and goes to the 32-bit
; Program Files folder; PIKRO_ARCH=x64 carries the 64-bit programs, goes to
; the 64-bit folder and uses the 64-bit registry view.

Unicode true
; A signed release (scripts/release.sh with a certificate) has the
; uninstaller signed before it is packed, then the installer itself; a
; signing that fails fails the build.
!ifdef PIKRO_SIGN_SCRIPT
  !uninstfinalize 'bash "${PIKRO_SIGN_SCRIPT}" "%1"' = 0
  !finalize 'bash "${PIKRO_SIGN_SCRIPT}" "%1"' = 0
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel user
; Drawn by Windows at the display's own scale (per monitor where Windows
; can, else the system's), not stretched as a blurry bitmap, and written
; for every Windows from Vista on.
ManifestDPIAware true
ManifestDPIAwareness "PerMonitorV2,System"
ManifestSupportedOS all

!ifndef PIKRO_VERSION | PIKRO_PRODUCT | PIKRO_PROGRAMS | PIKRO_OUTFILE
  !error "PIKRO_VERSION, PIKRO_PRODUCT, PIKRO_PROGRAMS and PIKRO_OUTFILE must be defined"
!endif
!ifndef PIKRO_ARCH
  !define PIKRO_ARCH x86
!endif

!define SUITE_FOLDER "Pikro Suite"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\PikroSuite"
!define UNINSTALLER "Uninstall.exe"
!define INSTALL_LOG "Install.log"
; The launcher's file types, as PikroInstall.exe defines them: one for
; .sln, and .slnx's own.
!define FILE_TYPE "PikroSln"
!define FILE_TYPE_SLNX "PikroSlnx"
!define CLASSES "Software\Classes"
!define STORE_KEY "Software\PikroSuite"
!define USER_CHOICE "Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts"
; What Program Files gives its folders: full control for the system and
; administrators, read and run for users, nothing inherited from above.
!define PROTECTED_DACL "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"

!if ${PIKRO_ARCH} == x64
  Target amd64-unicode
  !define MACHINE_FOLDER "$PROGRAMFILES64\${SUITE_FOLDER}"
!else if ${PIKRO_ARCH} == x86
  !define MACHINE_FOLDER "$PROGRAMFILES\${SUITE_FOLDER}"
!else
  !error "PIKRO_ARCH must be x86 or x64"
!endif

Name "${PIKRO_PRODUCT}"
OutFile "${PIKRO_OUTFILE}"
BrandingText "${PIKRO_PRODUCT} ${PIKRO_VERSION}"
; No InstallDir: the folder follows the scope (scope.nsh), and one given
; with /D= is known by being there before .onInit.
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
!include "LogicLib.nsh"
!include "WordFunc.nsh"
!include "x64.nsh"
!include "nsDialogs.nsh"

!define MUI_ABORTWARNING
; The suite's own pictures, not NSIS's: the launcher's icon, and the two
; bitmaps tools/make_icon.py draws at 200 %, fitted to their places.
!define MUI_ICON "${__FILEDIR__}/../launcher/Pikro.ico"
!define MUI_UNICON "${__FILEDIR__}/../launcher/Pikro.ico"
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_BITMAP "${__FILEDIR__}/header.bmp"
!define MUI_HEADERIMAGE_BITMAP_STRETCH AspectFitHeight
!define MUI_HEADERIMAGE_UNBITMAP "${__FILEDIR__}/header.bmp"
!define MUI_HEADERIMAGE_UNBITMAP_STRETCH AspectFitHeight
!define MUI_WELCOMEFINISHPAGE_BITMAP "${__FILEDIR__}/wizard.bmp"
!define MUI_WELCOMEFINISHPAGE_BITMAP_STRETCH AspectFitHeight
; The pages carry the pictures as files of their own, which would keep
; their times in the checkout: a release is the same from every clone.
SetDateSave off
Page custom ScopePageShow ScopePageLeave
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FolderPageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$(Finished)"
!define MUI_FINISHPAGE_TEXT_LARGE
; Nothing waits for a restart: what it deletes is only what was moved aside.
!define MUI_FINISHPAGE_NOREBOOTSUPPORT
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; NSIS speaks the user's interface language when it has it, else the first.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"
SetDateSave on

; The catalogue and settings that PikroInstall.exe writes belong to the user
; who runs the installer (elevation keeps the same user).
!macro PikroViews
  !if ${PIKRO_ARCH} == x64
    SetRegView 64
  !endif
!macroend

; Switches between the installer's own registry view and the other one.
; An x86 installer on 32-bit Windows has no other view; callers ask first.
!macro OtherView
  !if ${PIKRO_ARCH} == x64
    SetRegView 32
  !else
    SetRegView 64
  !endif
!macroend

!macro OwnView
  !if ${PIKRO_ARCH} == x64
    SetRegView 64
  !else
    SetRegView 32
  !endif
!macroend

!include "${__FILEDIR__}/strings.nsh"
!include "${__FILEDIR__}/program_name.nsh"
!include "${__FILEDIR__}/report.nsh"
!include "${__FILEDIR__}/scope.nsh"
!include "${__FILEDIR__}/folder.nsh"
!include "${__FILEDIR__}/inuse.nsh"

Function .onInit
  !insertmacro PikroViews
  Call SettleScope
  ${If} ${Silent}
    Call ElevateForEveryone
    ${If} ${Errors}
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro PikroViews
  Call un.SettleScope
FunctionEnd

Section "Install"
  ; The folder page has settled the folder already; a silent install
  ; (/D=...) settles it here, and ends with nothing written when neither the
  ; folder nor a "Pikro Suite" folder inside it can take the suite.
  Call SettleFolder
  Pop $0
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(FolderTaken)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  Call ProtectFolder
  Pop $0
  ${If} $0 = 0
    RMDir "$INSTDIR"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(Unprotected)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  SetOutPath "$INSTDIR"
  Delete "$INSTDIR\${INSTALL_LOG}"
  ${If} $FolderMoved = 1
    !insertmacro NoteLine "$(InsideFolder)"
  ${EndIf}
  ; The other install goes before anything of this one is copied, so that
  ; nothing copied can be taken for its files.
  Call ReplaceOtherInstall
  Push $INSTDIR
  Call DeleteMovedAside

  ; Installing over an earlier version replaces its files; PikroInstall.exe
  ; keeps the file type it remembered the first time.
  SetOverwrite try
  !insertmacro PutProgram "" "Pikro.exe"
  !insertmacro PutProgram "" "PikroInstall.exe"
  !insertmacro PutProgram "" "PikroUninstall.exe"
  !insertmacro PutProgram "\PikroExec" "PikroExec.exe"
  SetOverwrite on
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "$SMPROGRAMS\$(ShortcutName).lnk" "$INSTDIR\Pikro.exe"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PIKRO_PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${PIKRO_VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Pikro"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\Pikro.exe",0'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"
  ${If} $OtherScopeNote != ""
    !insertmacro NoteLine "$OtherScopeNote"
  ${EndIf}

  ; Setup runs from the installed folder, so that .sln and .slnx are
  ; associated with the launcher beside it, and never shows a message box:
  ; its exit code and what it stored tell the pages what it found.
  ${If} $Scope == "user"
    ExecWait '"$INSTDIR\PikroInstall.exe" /quiet /user' $0
  ${Else}
    ExecWait '"$INSTDIR\PikroInstall.exe" /quiet' $0
  ${EndIf}
  Call ReportSetup
  Call ReportEditors
  Call ReportKeptChoices
  ${If} $NotReplaced != ""
    !insertmacro NoteLine "$(NotReplaced)"
    SetErrorLevel 3
  ${EndIf}
SectionEnd

Section "Uninstall"
  ; Removal first, while the programs are still there: every registration
  ; goes, .sln and .slnx get their old types back and the stored settings go.
  DetailPrint "PikroUninstall.exe"
  ${If} $Scope == "user"
    ExecWait '"$INSTDIR\PikroUninstall.exe" /quiet /user'
  ${Else}
    ExecWait '"$INSTDIR\PikroUninstall.exe" /quiet /machine'
  ${EndIf}
  ; PikroUninstall.exe deleted the sections; the key that held them goes
  ; when nothing else is left in it.
  DeleteRegKey /ifempty HKCU "${STORE_KEY}"

  Delete "$SMPROGRAMS\$(ShortcutName).lnk"
  StrCpy $LeftForRestart ""
  ; A PikroExec folder that is a link is left as it is: what it points to
  ; is nobody's to delete here.
  Push "$INSTDIR\PikroExec"
  Call un.IsLink
  Pop $0
  ${If} $0 = 0
    !insertmacro RemoveInstalled "$INSTDIR\PikroExec\PikroExec.exe"
  ${EndIf}
  Push $INSTDIR
  Call un.DeleteMovedAside
  RMDir /REBOOTOK "$INSTDIR\PikroExec"
  !insertmacro RemoveInstalled "$INSTDIR\Pikro.exe"
  !insertmacro RemoveInstalled "$INSTDIR\PikroInstall.exe"
  ; The removal program has just ended; its file may stay in use for a
  ; moment (a virus scanner, the loader letting go of it).
  StrCpy $0 0
  ${Do}
    Delete "$INSTDIR\PikroUninstall.exe"
    ${IfNot} ${FileExists} "$INSTDIR\PikroUninstall.exe"
    ${OrIf} $0 >= 25
      ${Break}
    ${EndIf}
    Sleep 200
    IntOp $0 $0 + 1
  ${Loop}
  !insertmacro RemoveInstalled "$INSTDIR\PikroUninstall.exe"
  Delete "$INSTDIR\${INSTALL_LOG}"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only an empty folder goes: whatever the user put there stays. With
  ; programs left for the restart it goes after them then.
  ${If} $LeftForRestart != ""
    RMDir /REBOOTOK "$INSTDIR"
    DetailPrint "$(LeftForRestart)"
    MessageBox MB_OK|MB_ICONINFORMATION "$(LeftForRestart)" /SD IDOK
  ${Else}
    RMDir "$INSTDIR"
    ${If} ${FileExists} "$INSTDIR\*.*"
      DetailPrint "$(KeptFiles)"
      MessageBox MB_OK|MB_ICONINFORMATION "$(KeptFiles)" /SD IDOK
    ${EndIf}
  ${EndIf}
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
