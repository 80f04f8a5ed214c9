; Explorer's right-click menu, per user (HKCU\Software\Classes, no administrator rights): the
; command "TIDEMARROW32 SEで抹消" on files (*) and folders (Directory), with the program's icon.
; It runs the installed program with the switch that makes the starts of one selection (one
; per selected item) meet in one window. Uninstall removes an entry only where it runs the
; installed program: an entry that the settings window of another copy wrote stays.
; Included by TIDEMARROW32SE.nsi after its program section; needs PROGRAM_EXE and LogicLib.

!define EXPLORER_VERB_KEY "TIDEMARROW32SE"
!define EXPLORER_VERB_CAPTION "TIDEMARROW32 SEで抹消"
!define EXPLORER_VERB_COMMAND '"$INSTDIR\${PROGRAM_EXE}" /ExplorerVerb "%1"'

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

Section "エクスプローラの右クリックメニューに追加する" SectionExplorerVerb
    !insertmacro EXPLORER_VERB_WRITE "*"
    !insertmacro EXPLORER_VERB_WRITE "Directory"
SectionEnd

Section "-un.ExplorerVerb"
    Push $0
    !insertmacro EXPLORER_VERB_REMOVE "*"
    !insertmacro EXPLORER_VERB_REMOVE "Directory"
    Pop $0
SectionEnd
