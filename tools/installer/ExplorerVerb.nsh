; Explorer's right-click menu, per user (HKCU\Software\Classes, no administrator rights): the
; command "TIDEMARROW32 SEで抹消" on files (*) and folders (Directory), with the program's icon.
; It runs the installed program with the switch that makes the starts of one selection (one
; per selected item) meet in one window. Uninstall removes an entry only where it runs the
; installed program: an entry that the settings window of another copy wrote stays.
; The same command on the Recycle Bin's own right-click menu runs the program with /RecycleBin;
; uninstall removes only that key (when it runs the installed program), then the Recycle Bin's
; "shell" and class keys only when nothing else is left in them, so the user's own settings of
; the Recycle Bin stay.
; Included by TIDEMARROW32SE.nsi after its program section; needs PROGRAM_EXE and LogicLib.

!define EXPLORER_VERB_KEY "TIDEMARROW32SE"
!define EXPLORER_VERB_CAPTION "TIDEMARROW32 SEで抹消"
!define EXPLORER_VERB_COMMAND '"$INSTDIR\${PROGRAM_EXE}" /ExplorerVerb "%1"'

!define RECYCLE_BIN_CLASS_KEY "Software\Classes\CLSID\{645FF040-5081-101B-9F08-00AA002F954E}"
!define RECYCLE_BIN_VERB_COMMAND '"$INSTDIR\${PROGRAM_EXE}" /RecycleBin'

!macro EXPLORER_VERB_WRITE ITEM_CLASS
    WriteRegStr HKCU "Software\Classes\${ITEM_CLASS}\shell\${EXPLORER_VERB_KEY}" "" "${EXPLORER_VERB_CAPTION}"
    WriteRegStr HKCU "Software\Classes\${ITEM_CLASS}\shell\${EXPLORER_VERB_KEY}" "Icon" '"$INSTDIR\${PROGRAM_EXE}",0'
    ; One process per selected item, which is why Explorer offers the verb for at most 15.
    WriteRegStr HKCU "Software\Classes\${ITEM_CLASS}\shell\${EXPLORER_VERB_KEY}" "MultiSelectModel" "Document"
    WriteRegStr HKCU "Software\Classes\${ITEM_CLASS}\shell\${EXPLORER_VERB_KEY}\command" "" '${EXPLORER_VERB_COMMAND}'
!macroend

!macro EXPLORER_VERB_REMOVE ITEM_CLASS
    ReadRegStr $0 HKCU "Software\Classes\${ITEM_CLASS}\shell\${EXPLORER_VERB_KEY}\command" ""
    ; StrCmp compares without regard to letter case, as paths are compared on Windows.
    ${If} $0 == '${EXPLORER_VERB_COMMAND}'
        DeleteRegKey HKCU "Software\Classes\${ITEM_CLASS}\shell\${EXPLORER_VERB_KEY}"
    ${EndIf}
!macroend

; Deletes KEY when it holds no value (its own included) and no sub-key.
!macro DELETE_KEY_IF_EMPTY KEY
    EnumRegKey $1 HKCU "${KEY}" 0
    EnumRegValue $2 HKCU "${KEY}" 0
    ClearErrors
    ReadRegStr $3 HKCU "${KEY}" ""
    ${If} $1 == ""
    ${AndIf} $2 == ""
    ${AndIf} ${Errors}
        DeleteRegKey /ifempty HKCU "${KEY}"
    ${EndIf}
!macroend

Section "エクスプローラの右クリックメニューに追加する" SectionExplorerVerb
    !insertmacro EXPLORER_VERB_WRITE "*"
    !insertmacro EXPLORER_VERB_WRITE "Directory"
    WriteRegStr HKCU "${RECYCLE_BIN_CLASS_KEY}\shell\${EXPLORER_VERB_KEY}" "" "${EXPLORER_VERB_CAPTION}"
    WriteRegStr HKCU "${RECYCLE_BIN_CLASS_KEY}\shell\${EXPLORER_VERB_KEY}" "Icon" '"$INSTDIR\${PROGRAM_EXE}",0'
    WriteRegStr HKCU "${RECYCLE_BIN_CLASS_KEY}\shell\${EXPLORER_VERB_KEY}\command" "" '${RECYCLE_BIN_VERB_COMMAND}'
SectionEnd

Section "-un.ExplorerVerb"
    Push $0
    !insertmacro EXPLORER_VERB_REMOVE "*"
    !insertmacro EXPLORER_VERB_REMOVE "Directory"
    Push $1
    Push $2
    Push $3
    ReadRegStr $0 HKCU "${RECYCLE_BIN_CLASS_KEY}\shell\${EXPLORER_VERB_KEY}\command" ""
    ${If} $0 == '${RECYCLE_BIN_VERB_COMMAND}'
        DeleteRegKey HKCU "${RECYCLE_BIN_CLASS_KEY}\shell\${EXPLORER_VERB_KEY}"
        !insertmacro DELETE_KEY_IF_EMPTY "${RECYCLE_BIN_CLASS_KEY}\shell"
        !insertmacro DELETE_KEY_IF_EMPTY "${RECYCLE_BIN_CLASS_KEY}"
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
SectionEnd
