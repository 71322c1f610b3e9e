; What the installer tells the user, included by Pikro.nsi: the editors
; setup stored (and those it had to leave out), a choice Windows keeps for
; solutions that only the user can change, and where Install.log is. Every
; line goes to the details list and to Install.log; the Finish page shows
; it all in a read-only box that scrolls, so a long list stays readable.

; The kept-choice notice of each extension ("" when there is none), and how
; many editors setup stored.
Var NoticeSln
Var NoticeSlnx
Var EditorCount
; The box on the Finish page that holds the report.
Var FinishBox
; Lines about the folder, the install replaced, programs in use and setup
; itself, each after a line break, for the Finish page.
Var FinishNotes

; One line in the details list and in Install.log (UTF-16, as the texts
; may be Japanese).
!macro LogLine text
  Push "${text}"
  Call LogLine
!macroend

Function LogLine
  Exch $R0
  Push $R1
  DetailPrint "$R0"
  ClearErrors
  FileOpen $R1 "$INSTDIR\${INSTALL_LOG}" a
  ${IfNot} ${Errors}
    FileSeek $R1 0 END
    FileWriteUTF16LE /BOM $R1 "$R0$\r$\n"
    FileClose $R1
  ${EndIf}
  Pop $R1
  Pop $R0
FunctionEnd

; A line that goes to Install.log and the Finish page alike.
!macro NoteLine text
  !insertmacro LogLine "${text}"
  StrCpy $FinishNotes "$FinishNotes$\r$\n$\r$\n${text}"
!macroend

; Appends text to the Finish page's box after a separator (a line break,
; a blank line or nothing). The text goes in piece by piece, so the whole
; may be longer than any one string the installer holds.
!macro FinishAppend separator text
  SendMessage $FinishBox ${EM_SETSEL} 0x7FFFFFFF 0x7FFFFFFF
  SendMessage $FinishBox ${EM_REPLACESEL} 0 "STR:${separator}${text}"
!macroend

; Calls the function at the address in $R9 once for each editor setup
; stored, with "description (folder)" in $R8 and 0 in $R7, then once for
; each editor it left out because the catalogue was full, with the text it
; stored in $R8 and 1 in $R7. Stored editors are "VS<digits>" values
; "description;version;folder", split at the first and last ";"; the left
; out ones are "Omitted<digits>" values. Anything else is passed over.
Function ForEachEditor
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $R7 0
  ${Do}
    StrCpy $0 0
    ${Do}
      ClearErrors
      EnumRegValue $1 HKCU "${STORE_KEY}\VS-INST" $0
      ${If} ${Errors}
      ${OrIf} $1 == ""
        ${Break}
      ${EndIf}
      IntOp $0 $0 + 1
      ${If} $R7 = 0
        StrCpy $2 $1 2
        StrCpy $3 $1 1 2
      ${Else}
        StrCpy $2 $1 7
        StrCpy $3 $1 1 7
      ${EndIf}
      ${If} $R7 = 0
      ${AndIf} $2 != "VS"
        ${Continue}
      ${EndIf}
      ${If} $R7 = 1
      ${AndIf} $2 != "Omitted"
        ${Continue}
      ${EndIf}
      ; A digit is the one character that reads back as itself as a number.
      IntOp $2 $3 + 0
      ${If} $2 != $3
        ${Continue}
      ${EndIf}
      ClearErrors
      ReadRegStr $1 HKCU "${STORE_KEY}\VS-INST" $1
      ${If} ${Errors}
      ${OrIf} $1 == ""
        ${Continue}
      ${EndIf}
      ${If} $R7 = 0
        ${WordFind} "$1" ";" "+1" $2
        ${WordFind} "$1" ";" "-1" $3
        ${If} $2 == $1
          ${Continue}
        ${EndIf}
        ; A prerelease is marked as the launcher's choice list marks it:
        ; its mark is stored by the editor's folder, without a trailing
        ; backslash.
        StrCpy $R8 $3 1 -1
        ${If} $R8 == "\"
          StrCpy $3 $3 -1
        ${EndIf}
        ReadRegDWORD $R8 HKCU "${STORE_KEY}\VS-INST\Prerelease" $3
        ${If} $R8 = 1
          StrCpy $R8 "$2 ($3, $(Prerelease))"
        ${Else}
          StrCpy $R8 "$2 ($3)"
        ${EndIf}
      ${Else}
        StrCpy $R8 $1
      ${EndIf}
      Call $R9
    ${Loop}
    ${If} $R7 = 1
      ${Break}
    ${EndIf}
    StrCpy $R7 1
  ${Loop}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Function LogEditor
  ${If} $R7 = 0
    !insertmacro LogLine "$(FoundEditor) $R8"
    IntOp $EditorCount $EditorCount + 1
  ${Else}
    !insertmacro LogLine "$(LeftOutEditor) $R8"
  ${EndIf}
FunctionEnd

; The editors setup stored, and those it left out, in the details list and
; Install.log; or that none was found.
Function ReportEditors
  Push $R7
  Push $R8
  Push $R9
  StrCpy $EditorCount 0
  GetFunctionAddress $R9 LogEditor
  Call ForEachEditor
  ${If} $EditorCount = 0
    !insertmacro LogLine "$(NoEditor)"
  ${EndIf}
  Pop $R9
  Pop $R8
  Pop $R7
FunctionEnd

; Windows 10 and 11 open an extension with the program the user once chose
; with "Always use this app", whatever the file type says, and no program
; may change that choice. When that program is not the suite, the notice
; for the extension in $0 names it. A choice that is missing, empty or
; not a string leaves no notice.
Function KeptChoice
  Push $R0
  Push $2
  ClearErrors
  ReadRegStr $R0 HKCU "${USER_CHOICE}\$0\UserChoice" "ProgId"
  ${If} ${Errors}
  ${OrIf} $R0 == ""
  ${OrIf} $R0 == "${FILE_TYPE}"
  ${OrIf} $R0 == "${FILE_TYPE}x"
  ${OrIf} $R0 == "Applications\Pikro.exe"
    StrCpy $R0 ""
  ${Else}
    Call ProgramName
    StrCpy $2 $R0
    StrCpy $R0 "$(KeptChoice)"
    !insertmacro LogLine "$R0"
  ${EndIf}
  ${If} $0 == ".sln"
    StrCpy $NoticeSln $R0
  ${Else}
    StrCpy $NoticeSlnx $R0
  ${EndIf}
  Pop $2
  Pop $R0
FunctionEnd

Function FinishEditor
  ${If} $R7 = 1
  ${AndIf} $R6 = 0
    !insertmacro FinishAppend "$\r$\n$\r$\n" "$(LeftOut)"
    StrCpy $R6 1
  ${EndIf}
  !insertmacro FinishAppend "$\r$\n" "$R8"
FunctionEnd

; The Finish page: the label MUI made gives way to a read-only box in its
; place that leads with any kept-choice notice, promises a double-click
; into the right Visual Studio only when nothing stands in its way, lists
; the editors and names Install.log.
Function FinishPageShow
  Push $R6
  Push $R7
  Push $R8
  Push $R9
  ShowWindow $mui.FinishPage.Text ${SW_HIDE}
  nsDialogs::CreateControl EDIT \
      ${DEFAULT_STYLES}|${WS_VSCROLL}|${ES_MULTILINE}|${ES_READONLY}|${ES_AUTOVSCROLL} 0 \
      120u 45u 195u 130u ""
  Pop $FinishBox
  SetCtlColors $FinishBox "${MUI_TEXTCOLOR}" "${MUI_BGCOLOR}"
  StrCpy $R9 ""
  ${If} $NoticeSln != ""
    !insertmacro FinishAppend "" "$NoticeSln"
    StrCpy $R9 "$\r$\n$\r$\n"
  ${EndIf}
  ${If} $NoticeSlnx != ""
    !insertmacro FinishAppend "$R9" "$NoticeSlnx"
    StrCpy $R9 "$\r$\n$\r$\n"
  ${EndIf}
  ${If} $EditorCount = 0
    !insertmacro FinishAppend "$R9" "$(Installed) $(NoEditor)"
  ${Else}
    ${If} $R9 == ""
      !insertmacro FinishAppend "" "$(Finished)"
    ${Else}
      !insertmacro FinishAppend "$R9" "$(Installed)"
    ${EndIf}
    !insertmacro FinishAppend "$\r$\n$\r$\n" "$(FoundEditor)"
    StrCpy $R6 0
    GetFunctionAddress $R9 FinishEditor
    Call ForEachEditor
  ${EndIf}
  !insertmacro FinishAppend "" "$FinishNotes"
  !insertmacro FinishAppend "$\r$\n$\r$\n" "$(LogPlace)"
  SendMessage $FinishBox ${EM_SETSEL} 0 0
  Pop $R9
  Pop $R8
  Pop $R7
  Pop $R6
FunctionEnd

; What setup's exit code says (0: set up; 1: no Visual Studio, which the
; editor report says; 2: an association did not take, the extensions in
; the store's VS-INST value NotTaken; anything else, or no start at all:
; setup failed), in $0 as ExecWait left it.
Function ReportSetup
  Push $1
  ${If} $0 == 2
    ReadRegStr $1 HKCU "${STORE_KEY}\VS-INST" "NotTaken"
    !insertmacro NoteLine "$(NotTaken)"
  ${ElseIf} $0 != 0
  ${AndIf} $0 != 1
    !insertmacro NoteLine "$(SetupFailed)"
  ${EndIf}
  Pop $1
FunctionEnd

; A notice for each extension whose file type setup made the suite's, when
; Windows keeps another program for it (KeptChoice).
!macro ExtensionNotice ext type
  ReadRegStr $0 SHCTX "${CLASSES}\${ext}" ""
  ${If} $0 == "${type}"
    StrCpy $0 "${ext}"
    Call KeptChoice
  ${EndIf}
!macroend

Function ReportKeptChoices
  Push $0
  !insertmacro ExtensionNotice ".sln" "${FILE_TYPE}"
  !insertmacro ExtensionNotice ".slnx" "${FILE_TYPE_SLNX}"
  Pop $0
FunctionEnd
