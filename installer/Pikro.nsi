; The suite's Windows installer, built by scripts/release.sh with makensis:
;
;   makensis /DPIKRO_VERSION=1.0.0.2 /DPIKRO_PRODUCT=Travuna /DPIKRO_ARCH=x86
;            /DPIKRO_PROGRAMS=<folder in the installed layout> /DPIKRO_OUTFILE=<setup.exe>
;            installer/Pikro.nsi
;
; It copies the programs into "Pikro Suite" under Program Files in their
; installed layout (never among files it did not install, folder.nsh),
; replaces an install of the suite by the installer of the other
; architecture, runs PikroInstall.exe from there (which finds the
; editors and associates .sln and .slnx with the launcher), registers the launcher
; with Windows' Default apps and "Open with", and registers itself in
; Apps & features. What setup found, and anything the user has to do, goes
; to the details list, to Install.log in the installed folder and to the
; Finish page (report.nsh).
;
; Its uninstaller runs PikroUninstall.exe (which gives .sln and .slnx
; their old types back and deletes the stored settings) and then removes everything else
; the suite made: the file type while no extension names it any more, the
; Default-apps registration, the empty store key and the installed files.
; A folder that still holds files of the user's is kept, and it says so.
;
; The x86 installer carries the 32-bit programs and goes to the 32-bit
; Program Files folder; PIKRO_ARCH=x64 carries the 64-bit programs, goes to
; the 64-bit folder and uses the 64-bit registry view. A silent install
; (/S) runs setup with /quiet, which never waits on a message box.

Unicode true
; A signed release (scripts/release.sh with a certificate) has the
; uninstaller signed before it is packed, then the installer itself; a
; signing that fails fails the build.
!ifdef PIKRO_SIGN_SCRIPT
  !uninstfinalize 'bash "${PIKRO_SIGN_SCRIPT}" "%1"' = 0
  !finalize 'bash "${PIKRO_SIGN_SCRIPT}" "%1"' = 0
!endif
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
!define INSTALL_LOG "Install.log"
; The launcher's file types, as PikroInstall.exe defines them: one for
; .sln, and .slnx's own.
!define FILE_TYPE "PikroSln"
!define FILE_TYPE_SLNX "PikroSlnx"
!define CLASSES "Software\Classes"
!define CAPABILITIES_KEY "Software\PikroSuite\Capabilities"
!define STORE_KEY "Software\PikroSuite"
!define USER_CHOICE "Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts"

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
!include "LogicLib.nsh"
!include "WordFunc.nsh"
!include "x64.nsh"

!define MUI_ABORTWARNING
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FolderPageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$(Finished)"
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; NSIS speaks the user's interface language when it has it, else the first.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

!include "${__FILEDIR__}/program_name.nsh"
!include "${__FILEDIR__}/report.nsh"
!include "${__FILEDIR__}/folder.nsh"

LangString ShortcutName ${LANG_ENGLISH} "${PIKRO_PRODUCT}"
LangString ShortcutName ${LANG_JAPANESE} "${PIKRO_PRODUCT}"
; Default apps shows the launcher's own strings (launcher/resource.h), each
; user's in their language.
!searchparse /file "${__FILEDIR__}/../launcher/resource.h" "#define IDS_APP_DESCRIPTION " IDS_APP_DESCRIPTION
!searchparse /file "${__FILEDIR__}/../launcher/resource.h" "#define IDS_APP_NAME " IDS_APP_NAME
LangString Finished ${LANG_ENGLISH} "${PIKRO_PRODUCT} has been installed. Double-click a solution file to open it in the right Visual Studio."
LangString Finished ${LANG_JAPANESE} "${PIKRO_PRODUCT} をインストールしました。ソリューション ファイルをダブルクリックすると、適切な Visual Studio で開きます。"
LangString FoundEditor ${LANG_ENGLISH} "Visual Studio found:"
LangString FoundEditor ${LANG_JAPANESE} "見つかった Visual Studio:"
LangString NoEditor ${LANG_ENGLISH} "No installed Visual Studio was found, so solution files were not associated with ${PIKRO_PRODUCT}. After installing Visual Studio, run PikroInstall.exe in the installation folder, or this installer, again."
LangString NoEditor ${LANG_JAPANESE} "インストールされた Visual Studio が見つからないため、ソリューション ファイルを ${PIKRO_PRODUCT} に関連付けませんでした。Visual Studio をインストールした後、インストール先の PikroInstall.exe かこのインストーラーをもう一度実行してください。"
LangString KeptChoice ${LANG_ENGLISH} "Windows keeps $2 for $0 files, chosen earlier with $\"Always use this app$\", so a double-click on a $0 file opens $2, not ${PIKRO_PRODUCT}. To open solutions with ${PIKRO_PRODUCT}: right-click a $0 file, choose $\"Open with$\" and then $\"Choose another app$\", select ${PIKRO_PRODUCT} and tick $\"Always use this app to open $0 files$\"."
LangString KeptChoice ${LANG_JAPANESE} "Windows は $0 ファイルに、以前「常にこのアプリを使う」で選ばれた $2 を使います。$0 ファイルをダブルクリックすると、${PIKRO_PRODUCT} ではなく $2 で開きます。${PIKRO_PRODUCT} でソリューションを開くには、$0 ファイルを右クリックして「プログラムから開く」→「別のプログラムを選択」を選び、${PIKRO_PRODUCT} を選択して「常にこのアプリを使って $0 ファイルを開く」にチェックを入れてください。"
LangString Installed ${LANG_ENGLISH} "${PIKRO_PRODUCT} has been installed."
LangString Installed ${LANG_JAPANESE} "${PIKRO_PRODUCT} をインストールしました。"
LangString LeftOut ${LANG_ENGLISH} "Left out, as the list holds at most 32 editors:"
LangString LeftOut ${LANG_JAPANESE} "一覧には 32 個までしか入らないため、入れなかったもの:"
LangString LeftOutEditor ${LANG_ENGLISH} "Left out (the list holds at most 32 editors):"
LangString LeftOutEditor ${LANG_JAPANESE} "一覧に入れなかったもの (32 個まで):"
LangString LogPlace ${LANG_ENGLISH} "All of this is also written in $INSTDIR\${INSTALL_LOG}."
LangString LogPlace ${LANG_JAPANESE} "この内容は $INSTDIR\${INSTALL_LOG} にも書かれています。"
LangString FolderTaken ${LANG_ENGLISH} "The folder $INSTDIR holds other files, and so does its folder ${SUITE_FOLDER}. ${PIKRO_PRODUCT} is installed only into a new or empty folder: choose another one."
LangString FolderTaken ${LANG_JAPANESE} "フォルダー $INSTDIR にも、その中の ${SUITE_FOLDER} にも、ほかのファイルがあります。${PIKRO_PRODUCT} は新しいフォルダーか空のフォルダーにだけインストールします。別のフォルダーを選んでください。"
LangString InsideFolder ${LANG_ENGLISH} "The chosen folder holds other files, so ${PIKRO_PRODUCT} was installed into $INSTDIR."
LangString InsideFolder ${LANG_JAPANESE} "選ばれたフォルダーにはほかのファイルがあるため、${PIKRO_PRODUCT} を $INSTDIR にインストールしました。"
LangString ReplacedOther ${LANG_ENGLISH} "This replaces the ${PIKRO_PRODUCT} installed earlier for the other kind of Windows (32-bit or 64-bit) in $OtherDir; its editors, settings and file types are kept."
LangString ReplacedOther ${LANG_JAPANESE} "$OtherDir に以前インストールされた別の種類 (32 ビットまたは 64 ビット) の ${PIKRO_PRODUCT} を置き換えました。エディターの一覧、設定、ファイルの種類はそのまま引き継ぎます。"
LangString KeptOtherFiles ${LANG_ENGLISH} "The folder $OtherDir was kept: it holds files that were not installed with ${PIKRO_PRODUCT}."
LangString KeptOtherFiles ${LANG_JAPANESE} "フォルダー $OtherDir は残しました。${PIKRO_PRODUCT} と一緒にインストールされたものではないファイルがあります。"
LangString KeptFiles ${LANG_ENGLISH} "The folder $INSTDIR was kept: it holds files that were not installed with ${PIKRO_PRODUCT}."
LangString KeptFiles ${LANG_JAPANESE} "フォルダー $INSTDIR は残しました。${PIKRO_PRODUCT} と一緒にインストールされたものではないファイルがあります。"

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
  Call FindOtherInstall
FunctionEnd

!macro UnregisterExtension ext
  DeleteRegValue HKLM "${CLASSES}\${ext}\OpenWithProgids" "${FILE_TYPE}"
  DeleteRegKey /ifempty HKLM "${CLASSES}\${ext}\OpenWithProgids"
!macroend

Function un.onInit
  !insertmacro PikroViews
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
  ; associated with the launcher beside it. Nobody sees a silent install: setup must not
  ; wait there on a message box.
  Delete "$INSTDIR\${INSTALL_LOG}"
  ${If} $FolderMoved = 1
    !insertmacro LogLine "$(InsideFolder)"
  ${EndIf}
  Call ReplaceOtherInstall
  ${If} ${Silent}
    ExecWait '"$INSTDIR\PikroInstall.exe" /quiet'
  ${Else}
    ExecWait '"$INSTDIR\PikroInstall.exe"'
  ${EndIf}
  Call ReportEditors
  Call RegisterDefaultApps
SectionEnd

; Windows 10 and 11 open a file type with the program the user once chose
; with "Always use this app", whatever the file type says, and no program
; may change that choice. The launcher is offered where the user makes it:
; Default apps (Capabilities and RegisteredApplications) and "Open with"
; (OpenWithProgids and the application's own entry).
!macro RegisterExtension ext type
  ReadRegStr $0 HKLM "${CLASSES}\${ext}" ""
  ${If} $0 == "${type}"
    WriteRegStr HKLM "${CAPABILITIES_KEY}\FileAssociations" "${ext}" "${type}"
    WriteRegStr HKLM "${CLASSES}\${ext}\OpenWithProgids" "${type}" ""
    WriteRegStr HKLM "${CLASSES}\Applications\Pikro.exe\SupportedTypes" "${ext}" ""
    StrCpy $1 1
    StrCpy $0 "${ext}"
    Call KeptChoice
  ${EndIf}
!macroend

Function RegisterDefaultApps
  Push $0
  Push $1
  StrCpy $1 0
  !insertmacro RegisterExtension ".sln" "${FILE_TYPE}"
  !insertmacro RegisterExtension ".slnx" "${FILE_TYPE_SLNX}"
  ${If} $1 = 1
    WriteRegStr HKLM "${CAPABILITIES_KEY}" "ApplicationName" "@$INSTDIR\Pikro.exe,-${IDS_APP_NAME}"
    WriteRegStr HKLM "${CAPABILITIES_KEY}" "ApplicationDescription" "@$INSTDIR\Pikro.exe,-${IDS_APP_DESCRIPTION}"
    WriteRegStr HKLM "${CAPABILITIES_KEY}" "ApplicationIcon" '"$INSTDIR\Pikro.exe",0'
    WriteRegStr HKLM "Software\RegisteredApplications" "${PIKRO_PRODUCT}" "${CAPABILITIES_KEY}"
    WriteRegStr HKLM "${CLASSES}\Applications\Pikro.exe" "FriendlyAppName" "${PIKRO_PRODUCT}"
    WriteRegStr HKLM "${CLASSES}\Applications\Pikro.exe\shell\open\command" "" '"$INSTDIR\Pikro.exe" "%1"'
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

Section "Uninstall"
  ; Removal first, while the programs are still there: .sln and .slnx get
  ; their old types back and the stored settings go.
  DetailPrint "PikroUninstall.exe"
  ExecWait '"$INSTDIR\PikroUninstall.exe"'

  ; The launcher's file type goes once no extension is associated with it
  ; (another program's setup may have taken one over meanwhile).
  ReadRegStr $0 HKLM "${CLASSES}\.sln" ""
  ReadRegStr $1 HKLM "${CLASSES}\.slnx" ""
  ${If} $0 != "${FILE_TYPE}"
  ${AndIf} $1 != "${FILE_TYPE}"
    DeleteRegKey HKLM "${CLASSES}\${FILE_TYPE}"
  ${EndIf}
  !insertmacro UnregisterExtension ".sln"
  !insertmacro UnregisterExtension ".slnx"
  DeleteRegValue HKLM "Software\RegisteredApplications" "${PIKRO_PRODUCT}"
  DeleteRegKey HKLM "${CAPABILITIES_KEY}"
  DeleteRegKey /ifempty HKLM "${STORE_KEY}"
  DeleteRegKey HKLM "${CLASSES}\Applications\Pikro.exe"
  ; PikroUninstall.exe deleted the sections; the key that held them goes
  ; when nothing else is left in it.
  DeleteRegKey /ifempty HKCU "${STORE_KEY}"

  Delete "$SMPROGRAMS\$(ShortcutName).lnk"
  Delete "$INSTDIR\PikroExec\PikroExec.exe"
  RMDir "$INSTDIR\PikroExec"
  Delete "$INSTDIR\Pikro.exe"
  Delete "$INSTDIR\PikroInstall.exe"
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
  Delete "$INSTDIR\${INSTALL_LOG}"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only an empty folder goes: whatever the user put there stays.
  RMDir "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\*.*"
    DetailPrint "$(KeptFiles)"
    MessageBox MB_OK|MB_ICONINFORMATION "$(KeptFiles)" /SD IDOK
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
