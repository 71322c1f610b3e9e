; Where the suite goes, included by Pikro.nsi.
;
; The installer puts its files only into a folder that holds nothing else:
; a new or empty folder, or the folder of an earlier install of the suite.
; A chosen folder that holds other files gets the suite in a folder
; "Pikro Suite" inside it, so that no file of anyone else's is overwritten
; now or deleted by the uninstaller later.
;
; The suite is one product on a machine. The x86 installer records itself
; in the 32-bit registry view and the x64 one in the 64-bit view, so each
; looks in the other view for an install of the other kind and replaces it:
; its files go (by name, only those the suite installs) and so do its
; entries in that view, while the user's catalogue, settings and remembered
; file types stay for the new programs.

; The other install's folder, and 1 when the other view records one.
Var OtherDir
Var OtherFound
; 1 when the suite went into a "Pikro Suite" folder inside the chosen one.
Var FolderMoved

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

; Reads where the other kind of installer installed the suite, if it did.
Function FindOtherInstall
  StrCpy $OtherDir ""
  StrCpy $OtherFound 0
  StrCpy $FolderMoved 0
  !if ${PIKRO_ARCH} == x86
    ${IfNot} ${RunningX64}
      Return
    ${EndIf}
  !endif
  !insertmacro OtherView
  ClearErrors
  EnumRegValue $0 HKLM "${UNINSTALL_KEY}" 0
  ${IfNot} ${Errors}
    StrCpy $OtherFound 1
    ReadRegStr $OtherDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  !insertmacro OwnView
FunctionEnd

; Pushes 1 when the folder on the stack may take the suite's files: it does
; not exist, is empty, or holds an earlier install of the suite; else 0.
Function FolderTakesSuite
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  StrCpy $R3 1
  ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R1 != ""
  ${AndIf} $R1 == $R0
    Goto done
  ${EndIf}
  ${If} $OtherDir != ""
  ${AndIf} $OtherDir == $R0
    Goto done
  ${EndIf}
  ClearErrors
  FindFirst $R1 $R2 "$R0\*.*"
  ${Unless} ${Errors}
    ${DoWhile} $R2 != ""
      ${If} $R2 != "."
      ${AndIf} $R2 != ".."
        StrCpy $R3 0
        ${Break}
      ${EndIf}
      FindNext $R1 $R2
    ${Loop}
    FindClose $R1
  ${EndUnless}
done:
  StrCpy $R0 $R3
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; Settles $INSTDIR on the chosen folder or a "Pikro Suite" folder inside
; it. Pushes 1 when one of them takes the suite, else 0 ($INSTDIR unchanged).
Function SettleFolder
  Push $R0
  Push $INSTDIR
  Call FolderTakesSuite
  Pop $R0
  ${If} $R0 = 1
    Pop $R0
    Push 1
    Return
  ${EndIf}
  ; A drive's root ends in a backslash already.
  StrCpy $R0 $INSTDIR 1 -1
  ${If} $R0 == "\"
    StrCpy $R0 "$INSTDIR${SUITE_FOLDER}"
  ${Else}
    StrCpy $R0 "$INSTDIR\${SUITE_FOLDER}"
  ${EndIf}
  Push $R0
  Call FolderTakesSuite
  Exch $R1
  ${If} $R1 = 1
    StrCpy $INSTDIR $R0
    StrCpy $FolderMoved 1
  ${EndIf}
  StrCpy $R0 $R1
  Pop $R1
  Exch $R0
FunctionEnd

; Leaving the folder page: a folder that cannot take the suite, nor a
; "Pikro Suite" folder inside it, is refused and the page stays.
Function FolderPageLeave
  Call SettleFolder
  Pop $0
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(FolderTaken)"
    Abort
  ${EndIf}
FunctionEnd

; Removes the install of the other kind, once this one's files are in
; place: its programs and the files its installer wrote (only those, by
; name; the folder goes when nothing else is left in it) and its entries
; in the other registry view. The file types stay: setup points them at the
; new launcher, and the user's settings in HKCU are shared by both kinds.
Function ReplaceOtherInstall
  ${If} $OtherFound != 1
    Return
  ${EndIf}
  ${If} $OtherDir != ""
  ${AndIf} $OtherDir != $INSTDIR
    Delete "$OtherDir\PikroExec\PikroExec.exe"
    RMDir "$OtherDir\PikroExec"
    Delete "$OtherDir\Pikro.exe"
    Delete "$OtherDir\PikroInstall.exe"
    Delete "$OtherDir\PikroUninstall.exe"
    Delete "$OtherDir\${INSTALL_LOG}"
    Delete "$OtherDir\${UNINSTALLER}"
    RMDir "$OtherDir"
  ${EndIf}
  !insertmacro OtherView
  DeleteRegKey HKLM "${CAPABILITIES_KEY}"
  DeleteRegValue HKLM "Software\RegisteredApplications" "${PIKRO_PRODUCT}"
  DeleteRegKey /ifempty HKLM "${STORE_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro OwnView
  !insertmacro LogLine "$(ReplacedOther)"
  ${If} $OtherDir != ""
  ${AndIf} ${FileExists} "$OtherDir\*.*"
    !insertmacro LogLine "$(KeptOtherFiles)"
  ${EndIf}
FunctionEnd
