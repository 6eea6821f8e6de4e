; The service "TLDDNSService" through the service control manager, for the setup and the
; uninstaller. Its program is part of the installation: a running service holds
; TLDDNSService.exe open, so the setup stops it before replacing the files and starts it again
; afterwards; the uninstaller removes it through the program's own "-UnRegServer".

!define QUORIN_SERVICE_NAME "TLDDNSService"
!define QUORIN_SERVICE_STOP_WAIT_MS 30000
!define /math QUORIN_SERVICE_ACCESS 0x4 | 0x30 ; SERVICE_QUERY_STATUS, SERVICE_START, SERVICE_STOP

!macro QuorinServiceFunctions UN

; The service's current state (1 stopped ... 4 running ... 7 paused), or 0 when it is not
; installed or cannot be asked. Stack out: the state.
Function ${UN}QuorinServiceState
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  StrCpy $R3 0
  System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i 1) p .R0' ; SC_MANAGER_CONNECT
  IntCmp $R0 0 done
  System::Call 'advapi32::OpenServiceW(p R0, w "${QUORIN_SERVICE_NAME}", i 4) p .R1'
  IntCmp $R1 0 close_manager
  System::Call '*(i, i, i, i, i, i, i) p .R2'
  System::Call 'advapi32::QueryServiceStatus(p R1, p R2) i .R3'
  IntCmp $R3 0 +2
  System::Call '*$R2(i, i .R3)'
  System::Free $R2
  System::Call 'advapi32::CloseServiceHandle(p R1)'
  close_manager:
  System::Call 'advapi32::CloseServiceHandle(p R0)'
  done:
  StrCpy $R0 $R3
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; Sends the stop control and waits until the service reports stopped.
; Stack out: "stopped" or "running".
Function ${UN}QuorinStopService
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i 1) p .R0'
  IntCmp $R0 0 wait
  System::Call 'advapi32::OpenServiceW(p R0, w "${QUORIN_SERVICE_NAME}", i ${QUORIN_SERVICE_ACCESS}) p .R1'
  IntCmp $R1 0 close_manager
  System::Call '*(i, i, i, i, i, i, i) p .R2'
  System::Call 'advapi32::ControlService(p R1, i 1, p R2) i' ; SERVICE_CONTROL_STOP
  System::Free $R2
  System::Call 'advapi32::CloseServiceHandle(p R1)'
  close_manager:
  System::Call 'advapi32::CloseServiceHandle(p R0)'
  wait:
  StrCpy $R3 0
  poll:
    Call ${UN}QuorinServiceState
    Pop $R0
    ; Stopped, or gone altogether.
    IntCmp $R0 1 stopped
    IntCmp $R0 0 stopped
    IntCmp $R3 ${QUORIN_SERVICE_STOP_WAIT_MS} 0 0 running
    Sleep 250
    IntOp $R3 $R3 + 250
    Goto poll
  stopped:
  StrCpy $R0 "stopped"
  Goto done
  running:
  StrCpy $R0 "running"
  done:
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; Starts the service again; a failure leaves it stopped, as a failed start at boot would.
Function ${UN}QuorinStartService
  Push $R0
  Push $R1
  System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i 1) p .R0'
  IntCmp $R0 0 done
  System::Call 'advapi32::OpenServiceW(p R0, w "${QUORIN_SERVICE_NAME}", i ${QUORIN_SERVICE_ACCESS}) p .R1'
  IntCmp $R1 0 +3
  System::Call 'advapi32::StartServiceW(p R1, i 0, p 0) i'
  System::Call 'advapi32::CloseServiceHandle(p R1)'
  System::Call 'advapi32::CloseServiceHandle(p R0)'
  done:
  Pop $R1
  Pop $R0
FunctionEnd

!macroend

