; The QuorinFree setup: a per-machine installation of the client, its updater, its service
; program and the outside components' stand-ins into "Program Files\QuorinFree", with a
; Start-menu folder, an entry in the system's list of installed programs and an uninstaller.
; Built by the CMake target `installer`, which passes:
;   QUORIN_VERSION     the client's built-in version without "ver" (4.2.0)
;   QUORIN_LAYOUT      the include listing the install step's files (stage_layout.cmake)
;   QUORIN_ICON        the program icon
;   QUORIN_SETUP_FILE  the setup to write
; Silent use: `QuorinFree-<version>-setup.exe /S [/D=<folder>]`, `uninstall.exe /S`.

Unicode true
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!ifndef QUORIN_VERSION | QUORIN_LAYOUT | QUORIN_ICON | QUORIN_SETUP_FILE
  !error "build the setup through the CMake target installer"
!endif

!define QUORIN_VERSION_TEXT "ver${QUORIN_VERSION}"
!define QUORIN_PUBLISHER "Tilro"
!define QUORIN_SETTINGS_KEY "SOFTWARE\tilro\tlHost"
; The settings key's virtualised copy of a user on 32-bit and on 64-bit Windows.
!define QUORIN_VIRTUAL_SETTINGS_KEY "Software\Classes\VirtualStore\MACHINE\SOFTWARE\tilro\tlHost"
!define QUORIN_VIRTUAL_SETTINGS_KEY_64 \
  "Software\Classes\VirtualStore\MACHINE\SOFTWARE\WOW6432Node\tilro\tlHost"
!define QUORIN_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuorinFree"
!define QUORIN_RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define QUORIN_START_MENU "$SMPROGRAMS\QuorinFree"
; Exit code of a setup or uninstaller that stopped before changing anything.
!define QUORIN_EXIT_NOTHING_CHANGED 2

!include MUI2.nsh
!include LogicLib.nsh
!include "${QUORIN_LAYOUT}"
!include client_window.nsh
!include service.nsh
!include files_in_use.nsh
!include firewall.nsh

Name "QuorinFree"
OutFile "${QUORIN_SETUP_FILE}"
InstallDir "$PROGRAMFILES\QuorinFree"
; An upgrade goes where the installed version is.
InstallDirRegKey HKLM "${QUORIN_UNINSTALL_KEY}" "InstallLocation"
BrandingText "QuorinFree ${QUORIN_VERSION}"
ShowInstDetails show
ShowUninstDetails show
; A file that cannot be written stops the setup (Retry or Cancel), never skipped silently.
AllowSkipFiles off

VIProductVersion "${QUORIN_VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "QuorinFree"
VIAddVersionKey /LANG=1033 "CompanyName" "${QUORIN_PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "QuorinFree setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${QUORIN_VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${QUORIN_VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${QUORIN_PUBLISHER}"

!define MUI_ICON "${QUORIN_ICON}"
!define MUI_UNICON "${QUORIN_ICON}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(StartClientText)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartClient
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one for systems in neither language; the setup picks the one of
; the user's interface language by itself.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"
!include texts.nsh

!insertmacro QuorinClientWindowFunctions ""
!insertmacro QuorinClientWindowFunctions "un."
!insertmacro QuorinServiceFunctions ""
!insertmacro QuorinServiceFunctions "un."
!insertmacro QuorinFilesInUseFunctions ""
!insertmacro QuorinFilesInUseFunctions "un."
!insertmacro QuorinFirewallFunctions ""
!insertmacro QuorinFirewallFunctions "un."

Var ServiceWasRunning

; Start-up shared by both programs: one of them at a time, for all users, as administrator.
!macro QuorinStartUp
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "QuorinFreeSetup") p .r0 ?e'
  Pop $1
  ${If} $1 = 183 ; ERROR_ALREADY_EXISTS
    MessageBox MB_OK|MB_ICONSTOP "$(SetupAlreadyRunning)" /SD IDOK
    SetErrorLevel ${QUORIN_EXIT_NOTHING_CHANGED}
    Quit
  ${EndIf}
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "$(NeedAdministrator)" /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
  SetShellVarContext all
!macroend

Function .onInit
  !insertmacro QuorinStartUp
FunctionEnd

Function un.onInit
  !insertmacro QuorinStartUp
FunctionEnd

; Stops before anything was changed: a service stopped for the check runs again.
!macro QuorinStopUnchanged UN TEXT
  ${If} $ServiceWasRunning = 1
    Call ${UN}QuorinStartService
  ${EndIf}
  DetailPrint "${TEXT}"
  SetErrorLevel ${QUORIN_EXIT_NOTHING_CHANGED}
  Abort "${TEXT}"
!macroend

; A running service holds TLDDNSService.exe: it is stopped while the files are replaced or
; removed ($ServiceWasRunning remembers it).
!macro QuorinStopServiceForNow UN STOPPED_TEXT
  Call ${UN}QuorinServiceState
  Pop $0
  ${If} $0 <> 0
  ${AndIf} $0 <> 1
    DetailPrint "$(StoppingService)"
    StrCpy $ServiceWasRunning 1
    Call ${UN}QuorinStopService
    Pop $0
    ${If} $0 != "stopped"
      MessageBox MB_OK|MB_ICONSTOP "$(ServiceStillRunning)" /SD IDOK
      !insertmacro QuorinStopUnchanged "${UN}" "${STOPPED_TEXT}"
    ${EndIf}
  ${EndIf}
!macroend

; The running client is asked to end and the service stopped; a client that stays, or a file
; of the installation that is still in use, stops here unless the user retries after closing
; it.
!macro QuorinMakeFolderFree UN STOPPED_TEXT
  StrCpy $ServiceWasRunning 0
  ${Do}
    Call ${UN}QuorinEndRunningClient
    Pop $0
    ${If} $0 == "ended"
      !insertmacro QuorinStopServiceForNow "${UN}" "${STOPPED_TEXT}"
      Call ${UN}QuorinFileInUse
      ${IfThen} $R9 == "" ${|} ${Break} ${|}
      StrCpy $1 "$(FileInUse)"
    ${Else}
      StrCpy $1 "$(ClientStillRunning)"
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$1" /SD IDCANCEL IDRETRY retry
    !insertmacro QuorinStopUnchanged "${UN}" "${STOPPED_TEXT}"
    retry:
  ${Loop}
!macroend

Section "-Prepare"
  !insertmacro QuorinMakeFolderFree "" "$(NothingChanged)"
SectionEnd

!macro QuorinInstallLayoutFile FOLDER NAME SOURCE
  !if "${FOLDER}" == ""
    SetOutPath "$INSTDIR"
  !else
    SetOutPath "$INSTDIR\${FOLDER}"
  !endif
  File "${SOURCE}"
!macroend

Section "-Program files"
  ; Nothing of the user's own is in the package: "userprofie.dat", "quorin.log" and the
  ; settings key stay as an older installation left them.
  !insertmacro QuorinLayoutFiles QuorinInstallLayoutFile
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${QUORIN_START_MENU}"
  CreateShortCut "${QUORIN_START_MENU}\$(ClientShortcutName).lnk" "$INSTDIR\QuorinFree.exe" \
    "" "$INSTDIR\QuorinFree.exe" 0
  CreateShortCut "${QUORIN_START_MENU}\$(UninstallShortcutName).lnk" "$INSTDIR\uninstall.exe" \
    "" "$INSTDIR\uninstall.exe" 0

  WriteRegStr HKLM "${QUORIN_UNINSTALL_KEY}" "DisplayName" "QuorinFree"
  WriteRegStr HKLM "${QUORIN_UNINSTALL_KEY}" "DisplayVersion" "${QUORIN_VERSION}"
  WriteRegStr HKLM "${QUORIN_UNINSTALL_KEY}" "Publisher" "${QUORIN_PUBLISHER}"
  WriteRegStr HKLM "${QUORIN_UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\QuorinFree.exe,0"
  WriteRegStr HKLM "${QUORIN_UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${QUORIN_UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${QUORIN_UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${QUORIN_UNINSTALL_KEY}" "EstimatedSize" ${QUORIN_LAYOUT_KIB}
  WriteRegDWORD HKLM "${QUORIN_UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${QUORIN_UNINSTALL_KEY}" "NoRepair" 1

  ; A version recorded by an earlier self-update would now name the wrong program: the
  ; client would ask for updates, and title its window, as that older version.
  ClearErrors
  ReadRegStr $0 HKLM "${QUORIN_SETTINGS_KEY}" "curVersion"
  ${IfNot} ${Errors}
    WriteRegStr HKLM "${QUORIN_SETTINGS_KEY}" "curVersion" "${QUORIN_VERSION_TEXT}"
  ${EndIf}

  DetailPrint "$(AddingFirewallRules)"
  Call QuorinAddFirewallRules

  ${If} $ServiceWasRunning = 1
    Call QuorinStartService
  ${EndIf}
SectionEnd

; The finish page's "Start QuorinFree", from the installation folder.
Function StartClient
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\QuorinFree.exe"'
FunctionEnd

!macro QuorinRemoveLayoutFile FOLDER NAME SOURCE
  !if "${FOLDER}" == ""
    Delete "$INSTDIR\${NAME}"
  !else
    Delete "$INSTDIR\${FOLDER}\${NAME}"
  !endif
!macroend

!macro QuorinRemoveLayoutFolder FOLDER
  RMDir "$INSTDIR\${FOLDER}"
!macroend

; A file of the user's data, beside the program and in the user's virtualised copy of the
; folder, which a client run without administrator rights writes to: the same path under
; VirtualStore without the drive ($3).
!macro QuorinRemoveUserFile NAME
  Delete "$INSTDIR\${NAME}"
  Delete "$3\${NAME}"
!macroend

Section "Uninstall"
  !insertmacro QuorinMakeFolderFree "un." "$(UninstallStopped)"

  Call un.QuorinServiceState
  Pop $0
  ${If} $0 <> 0
    DetailPrint "$(RemovingService)"
    ExecWait '"$INSTDIR\TLDDNSService.exe" -UnRegServer'
    Call un.QuorinServiceState
    Pop $0
    ${If} $0 <> 0
      MessageBox MB_OK|MB_ICONSTOP "$(ServiceNotRemoved)" /SD IDOK
      !insertmacro QuorinStopUnchanged "un." "$(UninstallStopped)"
    ${EndIf}
  ${EndIf}

  StrCpy $2 1
  MessageBox MB_YESNO|MB_ICONQUESTION "$(KeepUserData)" /SD IDYES IDYES keep
  StrCpy $2 0
  keep:

  DeleteRegValue HKCU "${QUORIN_RUN_KEY}" "Quorin"
  Call un.QuorinRemoveFirewallRules

  !insertmacro QuorinLayoutFiles QuorinRemoveLayoutFile
  !insertmacro QuorinLayoutFolders QuorinRemoveLayoutFolder
  ; What the programs write beside themselves: the service's log, the update batch and the
  ; updater's downloads.
  Delete "$INSTDIR\TLDDNSService.log"
  Delete "$INSTDIR\TLDDNSService.log.old"
  Delete "$INSTDIR\QuorinUpdate.bat"
  RMDir /r "$INSTDIR\InstallFiles"
  Delete "$INSTDIR\uninstall.exe"

  ; Both languages' names: the setup may have run in the other one.
  Delete "${QUORIN_START_MENU}\QuorinFree.lnk"
  Delete "${QUORIN_START_MENU}\Uninstall QuorinFree.lnk"
  Delete "${QUORIN_START_MENU}\卸载 QuorinFree.lnk"
  RMDir "${QUORIN_START_MENU}"
  DeleteRegKey HKLM "${QUORIN_UNINSTALL_KEY}"

  ${If} $2 = 0
    SetShellVarContext current
    StrCpy $3 $INSTDIR "" 3
    StrCpy $3 "$LOCALAPPDATA\VirtualStore\$3"
    SetShellVarContext all
    !insertmacro QuorinRemoveUserFile "userprofie.dat"
    !insertmacro QuorinRemoveUserFile "quorin.log"
    RMDir "$3"
    DeleteRegKey HKLM "${QUORIN_SETTINGS_KEY}"
    DeleteRegKey /ifempty HKLM "SOFTWARE\tilro"
    DeleteRegKey HKCU "${QUORIN_VIRTUAL_SETTINGS_KEY}"
    DeleteRegKey HKCU "${QUORIN_VIRTUAL_SETTINGS_KEY_64}"
  ${EndIf}
  ; Only when nothing is left in it: the user's kept data, or files of others, stay.
  RMDir "$INSTDIR"
SectionEnd
