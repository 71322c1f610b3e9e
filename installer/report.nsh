; What the installer tells the user, included by Pikro.nsi: the editors
; setup stored, and anything the user still has to do, in the details list
; and in Install.log.

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

; The editors setup stored, each as "description (folder)", read from the
; user's catalogue ("VS<n>" = "description;version;folder"); or that none
; was found.
Function ReportEditors
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $0 0
  StrCpy $4 0
  ${Do}
    ClearErrors
    EnumRegValue $1 HKCU "${STORE_KEY}\VS-INST" $0
    ${If} ${Errors}
    ${OrIf} $1 == ""
      ${Break}
    ${EndIf}
    IntOp $0 $0 + 1
    StrCpy $2 $1 2
    StrCpy $3 $1 1 2
    ${If} $2 != "VS"
    ${OrIf} $3 < "0"
    ${OrIf} $3 > "9"
      ${Continue}
    ${EndIf}
    ReadRegStr $1 HKCU "${STORE_KEY}\VS-INST" $1
    ${WordFind} "$1" ";" "+1" $2
    ${WordFind} "$1" ";" "-1" $3
    ${If} $2 == $1
      ${Continue}
    ${EndIf}
    !insertmacro LogLine "$(FoundEditor) $2 ($3)"
    IntOp $4 $4 + 1
  ${Loop}
  ${If} $4 = 0
    !insertmacro LogLine "$(NoEditor)"
    StrCpy $FinishText "$(NoEditor)"
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
