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

; Reads where the other kind of installer installed the suite for
; everyone, if it did.
Function FindOtherInstall
  StrCpy $OtherDir ""
  StrCpy $OtherFound 0
  StrCpy $FolderMoved 0
  ; An install for the user alone never replaces the machine's: each scope
  ; has its own, and removing one leaves the other working.
  ${If} $Scope != "all"
    Return
  ${EndIf}
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

; Pushes what the file system says the folder on the stack is: its
; volume's serial number and its file index, as "serial:high:low", or ""
; when it cannot be opened (it does not exist). Two spellings of one folder
; (".\", "x\..", another drive letter for the same volume) give the same.
!macro FolderIdFunction un
Function ${un}FolderId
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  ; FILE_READ_ATTRIBUTES, shared every way, OPEN_EXISTING, and
  ; FILE_FLAG_BACKUP_SEMANTICS, without which no folder opens.
  System::Call 'kernel32::CreateFileW(w R0, i 0x80, i 7, p 0, i 3, i 0x02000000, p 0) p .R1'
  StrCpy $R0 ""
  ${If} $R1 P<> -1
    ; BY_HANDLE_FILE_INFORMATION: 13 DWORDs.
    System::Call '*(&i52) p .R2'
    System::Call 'kernel32::GetFileInformationByHandle(p R1, p R2) i .R3'
    ${If} $R3 <> 0
      System::Call '*$R2(i, i, i, i, i, i, i, i .R3, i, i, i, i .R4, i .R5)'
      StrCpy $R0 "$R3:$R4:$R5"
    ${EndIf}
    System::Free $R2
    System::Call 'kernel32::CloseHandle(p R1)'
  ${EndIf}
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd
!macroend
!insertmacro FolderIdFunction ""
!insertmacro FolderIdFunction "un."

; Pushes 1 when the two folders on the stack are one and the same folder
; that exists, else 0.
Function SameFolder
  Call FolderId
  Exch
  Call FolderId
  Exch $R0
  Exch
  Exch $R1
  ${If} $R0 != ""
  ${AndIf} $R0 == $R1
    StrCpy $R0 1
  ${Else}
    StrCpy $R0 0
  ${EndIf}
  Pop $R1
  Exch $R0
FunctionEnd

; Pushes 1 when the path on the stack is a link (a junction or symbolic
; link: its attributes carry FILE_ATTRIBUTE_REPARSE_POINT), else 0.
!macro IsLinkFunction un
Function ${un}IsLink
  Exch $R0
  System::Call 'kernel32::GetFileAttributesW(w R0) i .R0'
  ${If} $R0 = -1
    StrCpy $R0 0
  ${Else}
    IntOp $R0 $R0 & 0x400
    ${If} $R0 <> 0
      StrCpy $R0 1
    ${EndIf}
  ${EndIf}
  Exch $R0
FunctionEnd
!macroend
!insertmacro IsLinkFunction ""
!insertmacro IsLinkFunction "un."

; Pushes 1 when the folder on the stack may take the suite's files: it does
; not exist, is empty, or holds an earlier install of the suite; else 0.
; A folder that is a link, or whose PikroExec folder is one, never takes
; it: the suite's files would land wherever the link points.
Function FolderTakesSuite
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  StrCpy $R3 0
  Push $R0
  Call IsLink
  Pop $R1
  Push "$R0\PikroExec"
  Call IsLink
  Pop $R2
  ${If} $R1 = 1
  ${OrIf} $R2 = 1
    Goto done
  ${EndIf}
  StrCpy $R3 1
  ReadRegStr $R1 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R1 != ""
    Push $R1
    Push $R0
    Call SameFolder
    Pop $R1
    ${If} $R1 = 1
      Goto done
    ${EndIf}
  ${EndIf}
  ${If} $OtherDir != ""
    Push $OtherDir
    Push $R0
    Call SameFolder
    Pop $R1
    ${If} $R1 = 1
      Goto done
    ${EndIf}
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
  ; The folder as the file system names it: ".\" and "x\.." go, so that
  ; what is recorded is one spelling.
  StrCpy $R0 ""
  System::Call 'kernel32::GetFullPathNameW(w "$INSTDIR", i ${NSIS_MAX_STRLEN}, w .R0, p 0)'
  ${If} $R0 != ""
    StrCpy $INSTDIR $R0
  ${EndIf}
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

; Deletes one program of the other install when its version resource names
; the suite (the shim carries none: the folder's uninstaller vouches for
; it); a program in use goes at the next restart.
!macro DeleteOthersProgram name
  StrCpy $R1 "$OtherDir\${name}"
  Call VersionText
  ${If} $R1 == "${PIKRO_PRODUCT}"
    Delete /REBOOTOK "$OtherDir\${name}"
  ${EndIf}
!macroend

; Replaces the install of the other kind, before anything of this one is
; copied: its entries in the other registry view go, and so do its files,
; but only where they are provably the suite's. Its folder must hold the
; suite's own uninstaller (its version resource names the suite), must not
; be a link and must not be the folder this install goes to; then its
; programs that name the suite go, with the files its installer wrote, and
; the folders once nothing else is left in them. A PikroExec folder that is
; a link is left as it is. The file types stay: setup points them at the new
; launcher, and the user's settings in HKCU are shared by both kinds.
Function ReplaceOtherInstall
  ${If} $OtherFound != 1
    Return
  ${EndIf}
  Push $R1
  Push $R2
  Push $R3
  StrCpy $R2 0
  ${If} $OtherDir != ""
    Push $OtherDir
    Push $INSTDIR
    Call SameFolder
    Pop $R1
    Push $OtherDir
    Call IsLink
    Pop $R3
    ${If} $R1 = 0
    ${AndIf} $R3 = 0
      StrCpy $R3 "ProductName"
      StrCpy $R1 "$OtherDir\${UNINSTALLER}"
      Call VersionText
      ${If} $R1 == "${PIKRO_PRODUCT}"
        StrCpy $R2 1
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ${If} $R2 = 1
    Push "$OtherDir\PikroExec"
    Call IsLink
    Pop $R1
    ${If} $R1 = 0
      Delete /REBOOTOK "$OtherDir\PikroExec\PikroExec.exe"
      RMDir /REBOOTOK "$OtherDir\PikroExec"
    ${EndIf}
    !insertmacro DeleteOthersProgram "Pikro.exe"
    !insertmacro DeleteOthersProgram "PikroInstall.exe"
    !insertmacro DeleteOthersProgram "PikroUninstall.exe"
    Delete "$OtherDir\${INSTALL_LOG}"
    Delete /REBOOTOK "$OtherDir\${UNINSTALLER}"
    Push $OtherDir
    Call DeleteMovedAside
    RMDir /REBOOTOK "$OtherDir"
  ${EndIf}
  !insertmacro OtherView
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro OwnView
  !insertmacro NoteLine "$(ReplacedOther)"
  ${If} $OtherDir != ""
  ${AndIf} ${FileExists} "$OtherDir\*.*"
    !insertmacro NoteLine "$(KeptOtherFiles)"
  ${EndIf}
  Pop $R3
  Pop $R2
  Pop $R1
FunctionEnd

; An install for everyone outside Program Files gets what Program Files
; has: administrators and the system may change it, other users may only
; read and run it, and nothing is inherited from the folder above (which
; under C:\ lets every signed-in user write). It is set on the folder
; before anything is copied, so every file inherits it. Pushes 1 when the
; folder is protected or needs no protection, else 0.
Function ProtectFolder
  Push $R0
  Push $R1
  Push $R2
  StrCpy $R2 1
  ${If} $Scope == "all"
    System::Call 'kernel32::GetFullPathNameW(w "$INSTDIR\", i ${NSIS_MAX_STRLEN}, w .R0, p 0)'
    StrLen $R1 "$PROGRAMFILES32\"
    StrCpy $R1 $R0 $R1
    ${If} $R1 != "$PROGRAMFILES32\"
      StrLen $R1 "$PROGRAMFILES64\"
      StrCpy $R1 $R0 $R1
      ${If} $R1 != "$PROGRAMFILES64\"
        StrCpy $R2 0
        CreateDirectory "$INSTDIR"
        System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${PROTECTED_DACL}", i 1, *p .R0, p 0) i .R1'
        ${If} $R1 <> 0
          ; DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION
          System::Call 'advapi32::SetFileSecurityW(w "$INSTDIR", i 0x80000004, p R0) i .R2'
          System::Call 'kernel32::LocalFree(p R0)'
          ${If} $R2 <> 0
            StrCpy $R2 1
          ${EndIf}
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${EndIf}
  StrCpy $R0 $R2
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd
