; Programs in use, included by Pikro.nsi.
;
; The shim runs as long as the editor it started, so on a developer's
; machine PikroExec.exe is nearly always running, and Windows lets nobody
; overwrite or delete a running program's file. It does let the file be
; renamed within its folder: an update moves such a program aside (to
; "<name>.<n>.pikro-old") and puts the new one in its place, and the old
; one is deleted when nothing runs it any more, at the next install or
; removal or at the next restart, whichever comes first. Removal deletes
; what it can at once and leaves the rest to the restart, and says so.
; Nobody is ever asked to close anything or to choose between Abort, Retry
; and Ignore.

!define ASIDE_SUFFIX ".pikro-old"

; The programs this install could not put in place, and, for the
; uninstaller, what is left for the restart ("" when nothing).
Var NotReplaced
Var LeftForRestart

; Deletes the moved-aside programs in the folder on the stack and in its
; PikroExec folder; those still running go at the next restart and are
; added to $LeftForRestart.
!macro DeleteMovedAsideFunction un
Function ${un}DeleteMovedAside
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R4 "$R0"
  ${Do}
    ClearErrors
    FindFirst $R1 $R2 "$R4\*${ASIDE_SUFFIX}"
    ${Unless} ${Errors}
      ${DoWhile} $R2 != ""
        Delete /REBOOTOK "$R4\$R2"
        ${If} ${FileExists} "$R4\$R2"
          StrCpy $LeftForRestart "$LeftForRestart$\r$\n$R4\$R2"
        ${EndIf}
        FindNext $R1 $R2
      ${Loop}
      FindClose $R1
    ${EndUnless}
    ${If} $R4 != "$R0"
      ${Break}
    ${EndIf}
    StrCpy $R4 "$R0\PikroExec"
  ${Loop}
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro DeleteMovedAsideFunction ""
!insertmacro DeleteMovedAsideFunction "un."

; Makes room for a program of the suite at the path on the stack: an
; earlier one is deleted, or, while something runs it, renamed aside in its
; folder and left for deletion at the next restart; Install.log says which.
; One that can be neither is added to $NotReplaced (and File, under
; SetOverwrite try, then leaves it as it is without a question).
Function MoveAsideInUse
  Exch $R0
  Push $R1
  Push $R2
  ClearErrors
  ${If} ${FileExists} "$R0"
    Delete "$R0"
  ${EndIf}
  ${If} ${Errors}
    StrCpy $R2 0
    ${Do}
      StrCpy $R1 "$R0.$R2${ASIDE_SUFFIX}"
      ${IfNot} ${FileExists} "$R1"
      ${OrIf} $R2 >= 99
        ${Break}
      ${EndIf}
      IntOp $R2 $R2 + 1
    ${Loop}
    ClearErrors
    Rename "$R0" "$R1"
    ${If} ${Errors}
      StrCpy $NotReplaced "$NotReplaced$\r$\n$R0"
    ${Else}
      Delete /REBOOTOK "$R1"
      !insertmacro NoteLine "$(MovedAside)"
    ${EndIf}
  ${EndIf}
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

; Puts one program of the suite in place (sub: "" or "\PikroExec").
!macro PutProgram sub name
  Push "$INSTDIR${sub}\${name}"
  Call MoveAsideInUse
  SetOutPath "$INSTDIR${sub}"
  File "${PIKRO_PROGRAMS}${sub}\${name}"
!macroend

; Deletes one installed file now, or at the next restart while something
; runs it, and names it then.
!macro RemoveInstalled path
  Delete /REBOOTOK "${path}"
  ${If} ${FileExists} "${path}"
    StrCpy $LeftForRestart "$LeftForRestart$\r$\n${path}"
  ${EndIf}
!macroend
