; Tarvel's Windows installer. scripts/package-windows.sh stages the programs
; and builds it:
;   makensis -DVERSION=x.y.z -DSTAGE=<staged folder> -DMANIFEST=<file list>
;            [-DOUTFILE=<setup.exe>] res/windows/tarvel.nsi
; (/DVERSION=... and so on with makensis on Windows). MANIFEST is the list of
; the staged files that the script writes beside the staged folder: the same
; list installs them and uninstalls them.
;
; The setup program's command line:
;   /S        silent: the defaults, no questions (PATH left alone)
;   /PATH     also add the install folder to the user's PATH, for tarvel-cli
;   /D=dir    install into dir instead of "Program Files\Tarvel" (last, unquoted)
; The uninstaller takes /S too. It removes the programs, the shortcut, the
; "Open with" entries and the PATH entry the setup program added; it keeps the
; user's settings (HKCU\Software\Hollark Software\Tarvel) and never touches a
; portfolio.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!ifndef VERSION
  !error "give the version: -DVERSION=x.y.z"
!endif
!ifndef STAGE
  !error "give the staged folder: -DSTAGE=dir"
!endif
!ifndef MANIFEST
  !error "give the staged files' list: -DMANIFEST=file"
!endif
!ifndef OUTFILE
  !define OUTFILE "tarvel-${VERSION}-win64-setup.exe"
!endif

!define PUBLISHER "Hollark Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvel"
; "Open with" for the text files Tarvel reads: the application's own key and a
; ProgID named in each type's OpenWithProgids; neither takes the default.
!define APP_KEY "Software\Classes\Applications\tarvel.exe"
!define PROGID "Tarvel.PriceText"
!define OPEN_COMMAND '"$INSTDIR\tarvel.exe" "%1"'
!define ENVIRONMENT_KEY "Environment"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh
!include Integration.nsh
!include "${MANIFEST}"

Name "Tarvel"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tarvel"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Tarvel"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Tarvel ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright 2025 ${PUBLISHER}"

; ---------------------------------------------------------------------------
; The user's PATH (HKCU\Environment "Path"). NSIS strings hold at most
; NSIS_MAX_STRLEN - 1 characters, and a longer string is cut short without a
; word: a PATH that does not fit whole, before or after the edit, is left as it
; is rather than written back truncated.

; Reads the PATH into $R0, "" when there is none. $R1 is "ok", or "unreadable"
; when a Path value exists that cannot be read whole (too long, or not text).
!macro READ_USER_PATH un
Function ${un}ReadUserPath
  ClearErrors
  ReadRegStr $R0 HKCU "${ENVIRONMENT_KEY}" "Path"
  StrCpy $R1 "ok"
  ${IfNot} ${Errors}
    Return
  ${EndIf}
  ; The read fails for a missing value and for one it cannot hold: tell them
  ; apart by looking for the value's name.
  StrCpy $R0 ""
  StrCpy $R2 0
  ${Do}
    ClearErrors
    EnumRegValue $R3 HKCU "${ENVIRONMENT_KEY}" $R2
    ${If} ${Errors}
    ${OrIf} $R3 == ""
      ${Break}
    ${EndIf}
    ${If} $R3 == "Path"
      StrCpy $R1 "unreadable"
      ${Break}
    ${EndIf}
    IntOp $R2 $R2 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro READ_USER_PATH ""
!insertmacro READ_USER_PATH "un."

; Finds the folder $R1 among the ';'-separated entries of $R0, ignoring case
; as Windows does. $R2: the offset of the last entry equal to it, or -1.
!macro FIND_PATH_ENTRY un
Function ${un}FindPathEntry
  StrLen $R3 $R0
  StrCpy $R2 -1
  StrCpy $R4 0                      ; where the entry starts
  ${Do}
    StrCpy $R5 $R4                  ; where it ends: the next ';' or the end
    ${Do}
      ${If} $R5 >= $R3
        ${Break}
      ${EndIf}
      StrCpy $R6 $R0 1 $R5
      ${If} $R6 == ";"
        ${Break}
      ${EndIf}
      IntOp $R5 $R5 + 1
    ${Loop}
    IntOp $R6 $R5 - $R4
    ${If} $R6 > 0
      StrCpy $R7 $R0 $R6 $R4
      ${If} $R7 == $R1
        StrCpy $R2 $R4
      ${EndIf}
    ${EndIf}
    ${If} $R5 >= $R3
      ${Break}
    ${EndIf}
    IntOp $R4 $R5 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro FIND_PATH_ENTRY ""
!insertmacro FIND_PATH_ENTRY "un."

!macro BROADCAST_ENVIRONMENT_CHANGE
  ; Running programs (Explorer first) read the environment again; a window
  ; that does not answer is not waited for.
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

; Appends $INSTDIR to the user's PATH unless it is there already. The entry
; added is kept in the uninstall key, so that uninstalling removes that entry
; and no other.
Function AddToUserPath
  Call ReadUserPath
  ${If} $R1 != "ok"
    DetailPrint "PATH left unchanged: it is longer than this setup program can edit."
    MessageBox MB_OK|MB_ICONEXCLAMATION "Your PATH is longer than this setup program can edit \
        without cutting it short, so it was left unchanged. To run tarvel-cli from any folder, \
        add $\"$INSTDIR$\" to it yourself." /SD IDOK
    Return
  ${EndIf}
  StrCpy $R1 $INSTDIR
  Call FindPathEntry
  ${If} $R2 >= 0
    DetailPrint "PATH already holds $INSTDIR."
    Return
  ${EndIf}
  StrLen $R3 $R0
  StrLen $R4 $INSTDIR
  IntOp $R3 $R3 + $R4
  IntOp $R3 $R3 + 1
  ${If} $R3 >= ${NSIS_MAX_STRLEN}
    DetailPrint "PATH left unchanged: with $INSTDIR added it would be longer than this setup program can edit."
    MessageBox MB_OK|MB_ICONEXCLAMATION "Your PATH would be longer than this setup program can \
        edit with the Tarvel folder added, so it was left unchanged. To run tarvel-cli from any \
        folder, add $\"$INSTDIR$\" to it yourself." /SD IDOK
    Return
  ${EndIf}
  ${If} $R0 == ""
    StrCpy $R0 $INSTDIR
  ${Else}
    StrCpy $R3 $R0 1 -1
    ${If} $R3 == ";"
      StrCpy $R0 "$R0$INSTDIR"
    ${Else}
      StrCpy $R0 "$R0;$INSTDIR"
    ${EndIf}
  ${EndIf}
  WriteRegExpandStr HKCU "${ENVIRONMENT_KEY}" "Path" $R0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "PathEntry" $INSTDIR
  DetailPrint "Added $INSTDIR to PATH."
  !insertmacro BROADCAST_ENVIRONMENT_CHANGE
FunctionEnd

; Removes from the user's PATH the entry the setup program added, if it is
; still there (the last one equal to it: the setup program appended it).
Function un.RemoveFromUserPath
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "PathEntry"
  ${If} $0 == ""
    Return
  ${EndIf}
  Call un.ReadUserPath
  ${If} $R1 != "ok"
    DetailPrint "PATH left unchanged: it is longer than this uninstaller can edit."
    MessageBox MB_OK|MB_ICONEXCLAMATION "Your PATH is longer than this uninstaller can edit \
        without cutting it short, so it was left unchanged. Remove $\"$0$\" from it yourself." /SD IDOK
    Return
  ${EndIf}
  StrCpy $R1 $0
  Call un.FindPathEntry
  ${If} $R2 < 0
    Return
  ${EndIf}
  StrLen $R3 $0
  ${If} $R2 = 0
    ; The first entry: it goes with the ';' after it, if any.
    IntOp $R4 $R3 + 1
    StrCpy $R0 $R0 "" $R4
  ${Else}
    ; A later one: it goes with the ';' before it.
    IntOp $R4 $R2 - 1
    StrCpy $R5 $R0 $R4
    IntOp $R6 $R2 + $R3
    StrCpy $R6 $R0 "" $R6
    StrCpy $R0 "$R5$R6"
  ${EndIf}
  ${If} $R0 == ""
    DeleteRegValue HKCU "${ENVIRONMENT_KEY}" "Path"
  ${Else}
    WriteRegExpandStr HKCU "${ENVIRONMENT_KEY}" "Path" $R0
  ${EndIf}
  DetailPrint "Removed $0 from PATH."
  !insertmacro BROADCAST_ENVIRONMENT_CHANGE
FunctionEnd

; ---------------------------------------------------------------------------
; "Open with Tarvel" for one file type.
!macro OPEN_WITH extension
  WriteRegStr HKLM "${APP_KEY}\SupportedTypes" "${extension}" ""
  WriteRegNone HKLM "Software\Classes\${extension}\OpenWithProgids" "${PROGID}"
  WriteRegStr HKLM "Software\Classes\${extension}\OpenWithList\tarvel.exe" "" ""
!macroend

; Takes back what OPEN_WITH wrote; a key is removed only once nothing else is
; left in it, so other programs' entries and the type's own values stay.
!macro UN_OPEN_WITH extension
  DeleteRegValue HKLM "Software\Classes\${extension}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "Software\Classes\${extension}\OpenWithProgids"
  DeleteRegKey HKLM "Software\Classes\${extension}\OpenWithList\tarvel.exe"
  DeleteRegKey /ifempty HKLM "Software\Classes\${extension}\OpenWithList"
  DeleteRegKey /ifempty HKLM "Software\Classes\${extension}"
!macroend

Section "Tarvel" SecMain
  SectionIn RO
  SetShellVarContext all
  !insertmacro TarvelInstallFiles
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Tarvel.lnk" "$INSTDIR\tarvel.exe" "" "$INSTDIR\tarvel.exe" 0 \
      SW_SHOWNORMAL "" "Convert delimited text price files into a price database"

  WriteRegStr HKLM "${APP_KEY}" "FriendlyAppName" "Tarvel"
  WriteRegStr HKLM "${APP_KEY}\shell\open\command" "" '${OPEN_COMMAND}'
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Delimited text price file"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open" "FriendlyAppName" "Tarvel"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '${OPEN_COMMAND}'
  !insertmacro OPEN_WITH ".csv"
  !insertmacro OPEN_WITH ".txt"
  !insertmacro OPEN_WITH ".tsv"
  ${NotifyShell_AssocChanged}

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tarvel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarvel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Add tarvel-cli to PATH" SecPath
  Call AddToUserPath
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "Tarvel, tarvel-cli, their help pages and an $\"Open with$\" entry for .csv, .txt and .tsv files."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} "Adds the install folder to your PATH, so that tarvel-cli runs from any folder."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPath}
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------------------
Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.RemoveFromUserPath

  !insertmacro TarvelUninstallFiles
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Tarvel.lnk"

  !insertmacro UN_OPEN_WITH ".csv"
  !insertmacro UN_OPEN_WITH ".txt"
  !insertmacro UN_OPEN_WITH ".tsv"
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  DeleteRegKey HKLM "${APP_KEY}"
  ${NotifyShell_AssocChanged}

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
