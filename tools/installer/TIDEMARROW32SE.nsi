; The installer of TIDEMARROW32 SE: per user, without administrator rights, into
; %LOCALAPPDATA%\Programs\TIDEMARROW32 SE. Built by tools/package.sh, which passes:
;   PRODUCT_TITLE, PRODUCT_VERSION, PRODUCT_VERSION_NUMBERS (a.b.c.d), PRODUCT_ORGANISATION,
;   PRODUCT_WEB_ADDRESS, PRODUCT_CONTACT - the build's web address and contact e-mail, either
;                          possibly empty (then the uninstall entry leaves it out)
;   STAGE                - the folder holding the files to install
;   OUTFILE              - the installer to write
;   HAVE_HELP            - defined when the help file is among the staged files
;   PROJECT_TOP          - the project's top folder (icon, licence)
;   EDITION, NSIS_TARGET - x64 and amd64-unicode (the 64-bit program, a 64-bit installer that
;                          32-bit Windows refuses to start), or x86 and x86-unicode
; Both editions install into the same folder under the same uninstall entry, so installing one
; over the other replaces the program, keeps the profiles and leaves one entry.
; The profiles (User\ beside the program) are never written by the installer: installing over
; an earlier install keeps them, and the uninstaller removes them only when the user asks.

Target ${NSIS_TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestSupportedOS all

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT_TITLE}"
!define PROGRAM_EXE "TIDEMARROW32SE.exe"
!define HELP_FILE "${PRODUCT_TITLE}.chm"
!define SHORTCUT "${PRODUCT_TITLE}.lnk"

Name "${PRODUCT_TITLE} ${PRODUCT_VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT_TITLE}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
!if ${EDITION} == x64
    !define EDITION_TEXT "64ビット版"
!else
    !define EDITION_TEXT "32ビット版"
!endif
BrandingText "${PRODUCT_TITLE} ${PRODUCT_VERSION} ${EDITION_TEXT}"

VIProductVersion "${PRODUCT_VERSION_NUMBERS}"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT_TITLE}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=1041 "CompanyName" "${PRODUCT_ORGANISATION}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT_TITLE} セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "${PRODUCT_ORGANISATION}"

!define MUI_ICON "${PROJECT_TOP}\resources\pictures\tidemarrow.ico"
!define MUI_UNICON "${PROJECT_TOP}\resources\pictures\tidemarrow.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM_EXE}"
!define MUI_FINISHPAGE_RUN_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

; The program files the uninstaller could not delete (one a line), empty when none.
Var LeftFiles

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
; Shown only when a program file stayed.
!define MUI_PAGE_CUSTOMFUNCTION_PRE un.LeftFilesPagePre
!define MUI_FINISHPAGE_TITLE "削除できなかったファイルがあります"
!define MUI_FINISHPAGE_TEXT "次のファイルは使用中のため削除できませんでした。$\r$\n$\r$\n$LeftFiles$\r$\n$\r$\nフォルダ「$INSTDIR」とアンインストール情報は残してあります。${PRODUCT_TITLE} が終了してから、もう一度アンインストールして下さい。"
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "Japanese"

; A running TIDEMARROW32 SE (its main window's caption begins with the title) must end first:
; its files cannot be replaced or removed while it runs. A silent run cannot ask, so it stops.
!macro CLOSE_RUNNING_PROGRAM un
Function ${un}CloseRunningProgram
    Push $0
    Push $1
    Push $2
  retry:
    StrCpy $0 0
  next:
    FindWindow $0 "TMainWindow" "" 0 $0
    ${If} $0 == 0
        Goto done
    ${EndIf}
    System::Call 'user32::GetWindowTextW(p r0, w .r1, i ${NSIS_MAX_STRLEN})'
    StrCpy $2 $1 15
    ${If} $2 != "${PRODUCT_TITLE}"
        Goto next
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT_TITLE} が実行中です。$\r$\n${PRODUCT_TITLE} を終了してから「再試行」を押して下さい。" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
  done:
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_PROGRAM ""
!insertmacro CLOSE_RUNNING_PROGRAM "un."

Function .onInit
    SetShellVarContext current
    Call CloseRunningProgram
FunctionEnd

Section "!${PRODUCT_TITLE}" SectionProgram
    SectionIn RO
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File "${STAGE}\${PROGRAM_EXE}"
    File "${STAGE}\tmerase.exe"
!ifdef HAVE_HELP
    File "${STAGE}\${HELP_FILE}"
!endif
    File "${STAGE}\Readme.txt"
    File "${STAGE}\LICENSE.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The Start menu folder, and the Send To menu, so that files reach the list from Explorer.
    CreateDirectory "$SMPROGRAMS\${PRODUCT_TITLE}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT_TITLE}\${SHORTCUT}" "$INSTDIR\${PROGRAM_EXE}" "" "$INSTDIR\${PROGRAM_EXE}" 0
!ifdef HAVE_HELP
    CreateShortcut "$SMPROGRAMS\${PRODUCT_TITLE}\${PRODUCT_TITLE} ヘルプ.lnk" "$INSTDIR\${HELP_FILE}"
!endif
    CreateShortcut "$SMPROGRAMS\${PRODUCT_TITLE}\${PRODUCT_TITLE} のアンインストール.lnk" "$INSTDIR\uninstall.exe"
    CreateShortcut "$SENDTO\${SHORTCUT}" "$INSTDIR\${PROGRAM_EXE}" "" "$INSTDIR\${PROGRAM_EXE}" 0

    ; The entry of "Programs and Features".
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_TITLE}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${PRODUCT_VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT_ORGANISATION}"
!if "${PRODUCT_WEB_ADDRESS}" != ""
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${PRODUCT_WEB_ADDRESS}"
!endif
!if "${PRODUCT_CONTACT}" != ""
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Contact" "${PRODUCT_CONTACT}"
!endif
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM_EXE},0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section /o "デスクトップにショートカットを作成" SectionDesktop
    SetShellVarContext current
    CreateShortcut "$DESKTOP\${SHORTCUT}" "$INSTDIR\${PROGRAM_EXE}" "" "$INSTDIR\${PROGRAM_EXE}" 0
SectionEnd

!include "${PROJECT_TOP}\tools\installer\ExplorerVerb.nsh"

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SectionProgram} "プログラム、ヘルプ、スタートメニューと「送る」メニューのショートカット"
    !insertmacro MUI_DESCRIPTION_TEXT ${SectionDesktop} "デスクトップに ${PRODUCT_TITLE} のショートカットを作ります"
    !insertmacro MUI_DESCRIPTION_TEXT ${SectionExplorerVerb} "ファイルやフォルダの右クリックメニューに「TIDEMARROW32 SEで抹消」を追加します"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function un.onInit
    SetShellVarContext current
    Call un.CloseRunningProgram
FunctionEnd

Function un.LeftFilesPagePre
    ${If} $LeftFiles == ""
        Abort
    ${EndIf}
FunctionEnd

; A program whose window has just closed may still be ending and keep its file in use: the
; program files are tried again every 250 ms for up to 5 s. $LeftFiles names those that stay.
Function un.DeleteProgramFiles
    Push $0
    StrCpy $0 0
  again:
    Delete "$INSTDIR\${PROGRAM_EXE}"
    Delete "$INSTDIR\tmerase.exe"
    ${If} ${FileExists} "$INSTDIR\${PROGRAM_EXE}"
    ${OrIf} ${FileExists} "$INSTDIR\tmerase.exe"
        ${If} $0 < 20
            IntOp $0 $0 + 1
            Sleep 250
            Goto again
        ${EndIf}
    ${EndIf}
    StrCpy $LeftFiles ""
    ${If} ${FileExists} "$INSTDIR\${PROGRAM_EXE}"
        StrCpy $LeftFiles "$INSTDIR\${PROGRAM_EXE}"
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\tmerase.exe"
        ${If} $LeftFiles != ""
            StrCpy $LeftFiles "$LeftFiles$\r$\n"
        ${EndIf}
        StrCpy $LeftFiles "$LeftFiles$INSTDIR\tmerase.exe"
    ${EndIf}
    Pop $0
FunctionEnd

Section "un.!${PRODUCT_TITLE}" SectionUninstallProgram
    SectionIn RO
    SetShellVarContext current
    ; The history tools' scheduled task of this user goes first (its status is not looked at).
    ${If} ${FileExists} "$INSTDIR\${PROGRAM_EXE}"
        ExecWait '"$INSTDIR\${PROGRAM_EXE}" /Unschedule'
    ${EndIf}
    Call un.DeleteProgramFiles
    Delete "$INSTDIR\${HELP_FILE}"
    Delete "$INSTDIR\Readme.txt"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.log"
    ${If} $LeftFiles == ""
        Delete "$INSTDIR\uninstall.exe"
    ${Else}
        ; Named in the details, in uninstall.log in the folder left behind, and (silent or
        ; not) in the exit status 3; the uninstaller and its entry stay for a second try.
        DetailPrint "次のファイルは使用中のため削除できませんでした:"
        DetailPrint "$LeftFiles"
        FileOpen $0 "$INSTDIR\uninstall.log" w
        ${If} $0 != ""
            FileWriteUTF16LE /BOM $0 "次のファイルは使用中のため削除できませんでした。$\r$\n$LeftFiles$\r$\n"
            FileClose $0
        ${EndIf}
        SetErrorLevel 3
    ${EndIf}

    Delete "$SMPROGRAMS\${PRODUCT_TITLE}\${SHORTCUT}"
    Delete "$SMPROGRAMS\${PRODUCT_TITLE}\${PRODUCT_TITLE} ヘルプ.lnk"
    Delete "$SMPROGRAMS\${PRODUCT_TITLE}\${PRODUCT_TITLE} のアンインストール.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT_TITLE}"
    Delete "$SENDTO\${SHORTCUT}"
    Delete "$DESKTOP\${SHORTCUT}"

    ${If} $LeftFiles == ""
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
SectionEnd

; The start entry that erases a profile's pending files at the next logon (written by the
; program while a list of them is not empty): removed only when it starts the installed
; program, whatever the profile; another copy's entry stays.
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define PENDING_RUN_VALUE "TIDEMARROW32SE"
!define PENDING_RUN_START '"$INSTDIR\${PROGRAM_EXE}" /Pending '
Section "-un.PendingStart"
    Push $0
    Push $1
    ReadRegStr $0 HKCU "${RUN_KEY}" "${PENDING_RUN_VALUE}"
    StrLen $1 '${PENDING_RUN_START}'
    StrCpy $0 $0 $1
    ; StrCmp compares without regard to letter case, as paths are compared on Windows.
    ${If} $0 == '${PENDING_RUN_START}'
        DeleteRegValue HKCU "${RUN_KEY}" "${PENDING_RUN_VALUE}"
    ${EndIf}
    Pop $1
    Pop $0
SectionEnd

; Unticked unless the user ticks it; a silent uninstall never removes the profiles.
Section /o "un.ユーザープロファイル（設定とリスト）も削除する" SectionUninstallProfiles
    RMDir /r "$INSTDIR\User"
SectionEnd

Section "-un.Folder"
    ; Only when nothing else is left in it (the profiles stay unless removed above, and a
    ; program file that stayed keeps it).
    RMDir "$INSTDIR"
SectionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SectionUninstallProgram} "プログラムとショートカット、アンインストール情報を削除します"
    !insertmacro MUI_DESCRIPTION_TEXT ${SectionUninstallProfiles} "User フォルダ（すべてのユーザープロファイルの設定とリスト）を削除します"
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
