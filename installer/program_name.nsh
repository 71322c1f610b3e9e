; The name under which Windows shows a program, included by Pikro.nsi for
; the notice about a choice Windows keeps for solutions (report.nsh). It
; reads the registry and the program's version resource only: nothing it
; finds is run.

; The name under which Windows shows the program it keeps for an
; extension, from the choice's ProgId in $R0 (the result replaces it):
; for "Applications\<program>.exe" the program's FriendlyAppName or else
; the FileDescription of the program its open command names; for any other
; ProgId its FriendlyTypeName or else its default value. Indirect strings
; ("@file,-id") are read as Windows reads them. Nothing found: the ProgId.
Function ProgramName
  Push $R1
  Push $R2
  StrCpy $R1 $R0 13
  ${If} $R1 == "Applications\"
    ReadRegStr $R1 HKCR "$R0" "FriendlyAppName"
    Call ReadIndirect
    ${If} $R1 == ""
      ReadRegStr $R1 HKCR "$R0\shell\open\command" ""
      Call CommandProgram
      Push $R3
      StrCpy $R3 "FileDescription"
      Call VersionText
      Pop $R3
    ${EndIf}
  ${Else}
    ReadRegStr $R1 HKCR "$R0" "FriendlyTypeName"
    Call ReadIndirect
    ${If} $R1 == ""
      ReadRegStr $R1 HKCR "$R0" ""
    ${EndIf}
  ${EndIf}
  ${If} $R1 != ""
    StrCpy $R0 $R1
  ${EndIf}
  Pop $R2
  Pop $R1
FunctionEnd

; $R1 "@file,-id" becomes the string it names, or "" when it names none.
Function ReadIndirect
  Push $9
  StrCpy $R2 $R1 1
  ${If} $R2 == "@"
    System::Call 'shlwapi::SHLoadIndirectString(w R1, w .R2, i ${NSIS_MAX_STRLEN}, p 0) i .r9'
    ${If} $9 = 0
      StrCpy $R1 $R2
    ${Else}
      StrCpy $R1 ""
    ${EndIf}
  ${EndIf}
  Pop $9
FunctionEnd

; $R1, an open command, becomes the program it starts: the quoted first
; part, or everything before the first blank; environment references are
; expanded for the look-up only.
Function CommandProgram
  StrCpy $R2 $R1 1
  ${If} $R2 == '"'
    StrCpy $R1 $R1 "" 1
    ${WordFind} "$R1" '"' "+1" $R2
  ${Else}
    ${WordFind} "$R1" " " "+1" $R2
  ${EndIf}
  ExpandEnvStrings $R1 $R2
FunctionEnd

; $R1, a program's path, becomes the text its version resource holds under
; the name in $R3 (FileDescription, ProductName) in the first language the
; resource lists, or "".
Function VersionText
  Push $3
  Push $4
  Push $5
  Push $6
  StrCpy $4 0
  ${If} $R1 != ""
    System::Call 'version::GetFileVersionInfoSizeW(w R1, p 0) i .r3'
  ${Else}
    StrCpy $3 0
  ${EndIf}
  StrCpy $R2 $R1
  StrCpy $R1 ""
  ${If} $3 > 0
    System::Alloc $3
    Pop $4
    System::Call 'version::GetFileVersionInfoW(w R2, i 0, i r3, p r4) i .r5'
    ${If} $5 <> 0
      System::Call 'version::VerQueryValueW(p r4, w "\VarFileInfo\Translation", *p .r5, *i .r6) i .r3'
      ${If} $3 <> 0
      ${AndIf} $6 >= 4
        System::Call '*$5(&i2 .r5, &i2 .r6)'
        IntFmt $5 "%04x" $5
        IntFmt $6 "%04x" $6
        System::Call 'version::VerQueryValueW(p r4, w "\StringFileInfo\$5$6\$R3", *p .r5, *i .r6) i .r3'
        ${If} $3 <> 0
        ${AndIf} $6 > 0
          System::Call '*$5(&w${NSIS_MAX_STRLEN} .R1)'
        ${EndIf}
      ${EndIf}
    ${EndIf}
    System::Free $4
  ${EndIf}
  Pop $6
  Pop $5
  Pop $4
  Pop $3
FunctionEnd
