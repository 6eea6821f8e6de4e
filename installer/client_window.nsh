; Finding the running client and asking it to end, for the setup and the uninstaller.
;
; The client marks its main window with a window property named by its product title (string
; 57717 of uires.dll with the current version, "QuorinFree ver4.2.0") holding 1; a second
; start of the client finds the first one the same way. The title carries the version, so the
; search tries every version the installed client may be running under: the settings value
; "curVersion", the installed version of the uninstall entry, and this setup's own version.
; The client is asked to end through its exit command (control 1003), which asks the user to
; confirm and closes that question by itself after a short countdown.

!define QUORIN_EXIT_COMMAND 1003
!define QUORIN_CLIENT_END_WAIT_MS 60000

!macro QuorinClientWindowFunctions UN

; Replaces the first "%s" of a title format by a version and "%%" by "%", as the client does;
; any other "%" stays. The format comes from a library file, so it never goes to wsprintf.
; Stack in: version, format (format pushed first). Stack out: the title.
Function ${UN}QuorinFormatTitle
  Exch $R1 ; version
  Exch
  Exch $R0 ; format
  Push $R2 ; result
  Push $R3 ; position
  Push $R4 ; two characters
  Push $R5 ; version used
  StrCpy $R2 ""
  StrCpy $R3 0
  StrCpy $R5 0
  loop:
    StrCpy $R4 $R0 2 $R3
    StrCmp $R4 "" done
    StrCmpS $R4 "%%" percent
    StrCmpS $R4 "%s" 0 plain
    StrCmp $R5 1 plain
    StrCpy $R2 "$R2$R1"
    StrCpy $R5 1
    IntOp $R3 $R3 + 2
    Goto loop
  percent:
    StrCpy $R2 "$R2%"
    IntOp $R3 $R3 + 2
    Goto loop
  plain:
    StrCpy $R4 $R0 1 $R3
    StrCpy $R2 "$R2$R4"
    IntOp $R3 $R3 + 1
    Goto loop
  done:
  StrCpy $R0 $R2
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; The product-title format of the installed resource library, "QuorinFree %s" without one.
; Stack out: the format.
Function ${UN}QuorinTitleFormat
  Push $R0
  Push $R1
  Push $R2
  StrCpy $R1 ""
  IfFileExists "$INSTDIR\uires.dll" 0 fallback
  ; LOAD_LIBRARY_AS_DATAFILE: only the string table is read, no code of it runs.
  System::Call 'kernel32::LoadLibraryExW(w "$INSTDIR\uires.dll", p 0, i 2) p .R0'
  IntCmp $R0 0 fallback
  System::Call 'user32::LoadStringW(p R0, i 57717, w .R1, i ${NSIS_MAX_STRLEN}) i .R2'
  System::Call 'kernel32::FreeLibrary(p R0)'
  IntCmp $R2 0 fallback
  Goto found
  fallback:
  StrCpy $R1 "QuorinFree %s"
  found:
  StrCpy $R0 $R1
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; The first top-level window whose property named by the given title holds 1, or 0.
; Stack in: the title. Stack out: the window.
Function ${UN}QuorinFindClientWindow
  Exch $R0
  Push $R1
  Push $R2
  StrCpy $R1 0
  StrCmp $R0 "" done
  next:
    System::Call 'user32::FindWindowExW(p 0, p R1, p 0, p 0) p .R1'
    IntCmp $R1 0 done
    System::Call 'user32::GetPropW(p R1, w R0) p .R2'
    IntCmp $R2 1 done next next
  done:
  StrCpy $R0 $R1
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; The running client's main window under any version it may run as, or 0.
; Stack out: the window.
Function ${UN}QuorinRunningClient
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Call ${UN}QuorinTitleFormat
  Pop $R0
  ReadRegStr $R2 HKLM "${QUORIN_SETTINGS_KEY}" "curVersion"
  ReadRegStr $R3 HKLM "${QUORIN_UNINSTALL_KEY}" "DisplayVersion"
  StrCmp $R3 "" +2
  StrCpy $R3 "ver$R3"
  StrCpy $R1 0
  !insertmacro _QuorinTryClientVersion "${UN}" $R2
  !insertmacro _QuorinTryClientVersion "${UN}" $R3
  ; A client run without administrator rights keeps what it writes under the machine's key in
  ; the user's virtualised copy of it.
  ReadRegStr $R2 HKCU "${QUORIN_VIRTUAL_SETTINGS_KEY}" "curVersion"
  !insertmacro _QuorinTryClientVersion "${UN}" $R2
  ReadRegStr $R2 HKCU "${QUORIN_VIRTUAL_SETTINGS_KEY_64}" "curVersion"
  !insertmacro _QuorinTryClientVersion "${UN}" $R2
  !insertmacro _QuorinTryClientVersion "${UN}" "${QUORIN_VERSION_TEXT}"
  found:
  StrCpy $R0 $R1
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; Asks the running client to end and waits for its process to go.
; Stack out: "ended" (no client, or it ended) or "running".
Function ${UN}QuorinEndRunningClient
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Call ${UN}QuorinRunningClient
  Pop $R0
  StrCpy $R3 "ended"
  IntCmp $R0 0 done
  DetailPrint "$(AskingClientToEnd)"
  System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1) i'
  ; SYNCHRONIZE: enough to wait for the process to end.
  System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R1) p .R2'
  System::Call 'user32::PostMessageW(p R0, i 0x111, p ${QUORIN_EXIT_COMMAND}, p 0) i'
  IntCmp $R2 0 by_window
  System::Call 'kernel32::WaitForSingleObject(p R2, i ${QUORIN_CLIENT_END_WAIT_MS}) i .R1'
  System::Call 'kernel32::CloseHandle(p R2)'
  IntCmp $R1 0 done
  StrCpy $R3 "running"
  Goto done
  by_window:
  ; The process cannot be opened (another account's client): watch its window instead.
  StrCpy $R1 0
  watch:
    System::Call 'user32::IsWindow(p R0) i .R2'
    IntCmp $R2 0 done
    IntCmp $R1 ${QUORIN_CLIENT_END_WAIT_MS} 0 0 gave_up
    Sleep 250
    IntOp $R1 $R1 + 250
    Goto watch
  gave_up:
  StrCpy $R3 "running"
  done:
  StrCpy $R0 $R3
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

!macroend

; Inside QuorinRunningClient: the title of one version; jumps to `found` with the window in $R1.
!macro _QuorinTryClientVersion UN VERSION
  StrCmp "${VERSION}" "" +7
  Push $R0
  Push "${VERSION}"
  Call ${UN}QuorinFormatTitle
  Call ${UN}QuorinFindClientWindow
  Pop $R1
  IntCmp $R1 0 0 found found
!macroend
