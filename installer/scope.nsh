; For whom the suite is installed, included by Pikro.nsi.
;
; "Install for me only" puts the suite into the user's own program folder
; (%LOCALAPPDATA%\Programs), its Apps & features entry under HKCU and its
; Start-menu entry into the user's own Start menu, runs setup with /user
; and never asks for administrator rights. "Install for everyone on this
; computer" installs into Program Files as before and needs those rights:
; the installer runs as the user who started it and, when everyone is
; chosen without them, starts itself again with the "runas" verb (Windows
; asks for consent there) and hands on what that copy ends with.
;
; /CurrentUser and /AllUsers choose without the page; without either, an
; existing install keeps its scope and a silent install is for everyone.
; The uninstaller removes the install of the scope it was written for.

; "user" or "all"; 1 when a switch or an existing install settled it.
Var Scope
Var ScopeFixed
; 1 when /D= named the folder, which then stays as given.
Var FolderGiven
; The radio buttons of the scope page, and the line about an install of
; the other scope ("" when there is none).
Var ScopeMine
Var ScopeAll
Var OtherScopeNote

!macro ScopeFunctions un
; Pushes 1 when the process runs with administrator rights, else 0.
Function ${un}IsElevated
  Push $0
  Push $1
  Push $2
  StrCpy $2 0
  System::Call 'kernel32::GetCurrentProcess() p .r0'
  System::Call 'advapi32::OpenProcessToken(p r0, i 8, *p .r1) i .r0'
  ${If} $0 <> 0
    ; TokenElevation (20): a nonzero DWORD while elevated.
    System::Call 'advapi32::GetTokenInformation(p r1, i 20, *i .r2, i 4, *i .r0) i .r0'
    ${If} $0 = 0
      StrCpy $2 0
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  ${If} $2 <> 0
    StrCpy $2 1
  ${EndIf}
  Pop $1
  Pop $0
  Exch $2
FunctionEnd

; Applies $Scope to where the shell's folders (Start menu) and SHCTX (the
; Apps & features entry) point.
Function ${un}ApplyScope
  ${If} $Scope == "user"
    SetShellVarContext current
  ${Else}
    SetShellVarContext all
  ${EndIf}
FunctionEnd

; Starts this program again with administrator rights and the switches in
; $R0, waits for it and quits with its exit code. Returns (with the error
; flag) when Windows did not start it: the user declined, or could not.
Function ${un}RunElevated
  Push $0
  Push $1
  Push $2
  ; SHELLEXECUTEINFOW with SEE_MASK_NOCLOSEPROCESS and SEE_MASK_NOASYNC.
  System::Call '*(i ${NSIS_PTR_SIZE}*15, i 0x140, p $HWNDPARENT, w "runas", w "$EXEPATH", w R0, p 0, i 1, p, p, p, p, p, p, p) p .r0'
  System::Call '*$0(i .r1)'
  System::Call 'shell32::ShellExecuteExW(p r0) i .r1'
  ${If} $1 = 0
    System::Free $0
    Pop $2
    Pop $1
    Pop $0
    SetErrors
    Return
  ${EndIf}
  System::Call '*$0(i, i, p, p, p, p, p, i, p, p, p, p, p, p, p .r1)'
  System::Free $0
  HideWindow
  System::Call 'kernel32::WaitForSingleObject(p r1, i -1)'
  System::Call 'kernel32::GetExitCodeProcess(p r1, *i .r2)'
  System::Call 'kernel32::CloseHandle(p r1)'
  SetErrorLevel $2
  Quit
FunctionEnd
!macroend
!insertmacro ScopeFunctions ""
!insertmacro ScopeFunctions "un."

; Pushes 1 when the current user may be given administrator rights: the
; process is elevated, or its token is the limited half of an
; administrator's (TokenElevationType 3), or, where Windows splits no token,
; the user is an administrator.
Function IsAdministrator
  Call IsElevated
  Exch $0
  ${If} $0 = 0
    Push $1
    Push $2
    System::Call 'kernel32::GetCurrentProcess() p .r0'
    System::Call 'advapi32::OpenProcessToken(p r0, i 8, *p .r1) i .r0'
    StrCpy $2 0
    ${If} $0 <> 0
      System::Call 'advapi32::GetTokenInformation(p r1, i 18, *i .r2, i 4, *i .r0)'
      System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
    ${If} $2 = 3
      StrCpy $0 1
    ${ElseIf} $2 = 1
      System::Call 'shell32::IsUserAnAdmin() i .r0'
    ${Else}
      StrCpy $0 0
    ${EndIf}
    Pop $2
    Pop $1
  ${EndIf}
  Exch $0
FunctionEnd

; Reads the scope from the command line, or from an install found, or
; leaves the page to ask. Runs first in .onInit.
Function SettleScope
  Push $0
  Push $1
  StrCpy $ScopeFixed 1
  StrCpy $FolderGiven 0
  ${If} $INSTDIR != ""
    StrCpy $FolderGiven 1
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/CurrentUser" $1
  ${IfNot} ${Errors}
    StrCpy $Scope "user"
  ${Else}
    ClearErrors
    ${GetOptions} $0 "/AllUsers" $1
    ${IfNot} ${Errors}
      StrCpy $Scope "all"
    ${Else}
      ; An upgrade keeps the scope it finds; the user's own install first,
      ; as it is the one this user's double-clicks reach.
      ClearErrors
      EnumRegValue $1 HKCU "${UNINSTALL_KEY}" 0
      ${IfNot} ${Errors}
        StrCpy $Scope "user"
      ${Else}
        Call MachineInstallFolder
        Pop $1
        StrCpy $Scope "all"
        ${If} $1 == ""
        ${AndIfNot} ${Silent}
          StrCpy $ScopeFixed 0
          Call IsAdministrator
          Pop $1
          ${If} $1 = 0
            StrCpy $Scope "user"
          ${EndIf}
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Call ScopeChosen
  Pop $1
  Pop $0
FunctionEnd

; Pushes the folder of an install for everyone (either registry view), or
; "" when there is none; the own view's registry view is restored.
Function MachineInstallFolder
  Push $0
  ClearErrors
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} ${Errors}
    !if ${PIKRO_ARCH} == x86
      ${If} ${RunningX64}
    !endif
        !insertmacro OtherView
        ClearErrors
        ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
        !insertmacro OwnView
    !if ${PIKRO_ARCH} == x86
      ${EndIf}
    !endif
  ${EndIf}
  ; An entry without a folder still marks an install.
  ${IfNot} ${Errors}
  ${AndIf} $0 == ""
    StrCpy $0 "?"
  ${EndIf}
  Exch $0
FunctionEnd

; Settles what follows from $Scope: the shell's folders, the other install
; of the suite to replace, the note about an install of the other scope,
; and the folder to install into unless /D= named one (an earlier install's
; own, else the scope's program folder).
Function ScopeChosen
  Push $0
  Call ApplyScope
  Call FindOtherInstall
  StrCpy $OtherScopeNote ""
  ${If} $Scope == "user"
    Call MachineInstallFolder
    Pop $0
    ${If} $0 != ""
      StrCpy $OtherScopeNote "$(AlsoForEveryone)"
    ${EndIf}
  ${Else}
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
      StrCpy $OtherScopeNote "$(AlsoForMe)"
    ${EndIf}
  ${EndIf}
  ${If} $FolderGiven = 0
    ClearErrors
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} ${Errors}
    ${OrIf} $0 == ""
      ${If} $Scope == "user"
        StrCpy $0 "$LOCALAPPDATA\Programs\${SUITE_FOLDER}"
      ${Else}
        StrCpy $0 "${MACHINE_FOLDER}"
      ${EndIf}
    ${EndIf}
    StrCpy $INSTDIR $0
  ${EndIf}
  Pop $0
FunctionEnd

; Everyone's install needs administrator rights: a process without them
; starts itself again with them, and quits with what that copy ends with.
; Returns when no such start is needed or Windows refused it (error flag).
Function ElevateForEveryone
  ClearErrors
  ${If} $Scope != "all"
    Return
  ${EndIf}
  Call IsElevated
  Pop $R0
  ${If} $R0 = 1
    Return
  ${EndIf}
  ${GetParameters} $R0
  StrCpy $R0 "$R0 /AllUsers"
  ${If} $FolderGiven = 1
  ${OrIf} $ScopeFixed = 0
    ; /D= must come last on a command line, and holds the folder as is.
    StrCpy $R0 "$R0 /D=$INSTDIR"
  ${EndIf}
  Call RunElevated
FunctionEnd

Function ScopePageShow
  ${If} $ScopeFixed = 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "$(ScopeTitle)" "$(ScopeSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 0 100% 12u "$(ScopeMine)"
  Pop $ScopeMine
  ${NSD_CreateLabel} 12u 14u 288u 20u "$(ScopeMineText)"
  Pop $0
  ${NSD_CreateRadioButton} 0 40u 100% 12u "$(ScopeAll)"
  Pop $ScopeAll
  ${NSD_CreateLabel} 12u 54u 288u 20u "$(ScopeAllText)"
  Pop $0
  ${If} $Scope == "user"
    ${NSD_Check} $ScopeMine
  ${Else}
    ${NSD_Check} $ScopeAll
  ${EndIf}
  ; Where the other scope's install exists, the page says which one wins.
  ${If} $OtherScopeNote != ""
    ${NSD_CreateLabel} 0 84u 100% 40u "$OtherScopeNote"
    Pop $0
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ScopePageLeave
  ${NSD_GetState} $ScopeMine $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $Scope "user"
  ${Else}
    StrCpy $Scope "all"
  ${EndIf}
  Call ScopeChosen
  Call ElevateForEveryone
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(NoRights)"
    Abort
  ${EndIf}
FunctionEnd

; The uninstaller's scope: an install for me only when the user's own
; entry names this uninstaller's folder (by what the file system says it
; is), else the install for everyone, which needs administrator rights.
Function un.SettleScope
  Push $0
  StrCpy $Scope "all"
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    Push $0
    Call un.FolderId
    Push $INSTDIR
    Call un.FolderId
    Pop $0
    Exch $0
    Pop $1
    ${If} $0 != ""
    ${AndIf} $0 == $1
      StrCpy $Scope "user"
    ${EndIf}
  ${EndIf}
  Call un.ApplyScope
  ${If} $Scope == "all"
    Call un.IsElevated
    Pop $0
    ${If} $0 = 0
      ${GetParameters} $R0
      StrCpy $R0 "$R0 _?=$INSTDIR"
      Call un.RunElevated
      MessageBox MB_OK|MB_ICONEXCLAMATION "$(NoRights)" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
  Pop $0
FunctionEnd
