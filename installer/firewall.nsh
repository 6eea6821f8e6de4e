; Windows Firewall rules for the home router's announcements of a new public address. A router
; sends them (NAT-PMP and PCP) as multicast to UDP port 5350, which the firewall drops for a
; program that has no rule: the client and the service would then learn of a change only from
; their question to the router every 10 s. One rule per program, UDP 5350 inbound from the local
; subnet only. The setup removes the rules of an earlier installation before adding its own, so
; a repair or an update leaves one of each; the uninstaller removes them. netsh fails where the
; firewall service is off or missing (its answer is in the details list): the setup goes on, as
; the programs still ask the router and check the address once a minute without them.

!define QUORIN_ROUTER_ANNOUNCEMENT_PORT 5350
!define QUORIN_FIREWALL_RULE_CLIENT "QuorinFree router announcements"
!define QUORIN_FIREWALL_RULE_SERVICE "QuorinFree service router announcements"

!macro QuorinDeleteFirewallRule NAME
  nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${NAME}"'
  Pop $R9 ; netsh's exit code: "no rule matched" is not an error here
!macroend

!macro QuorinAddFirewallRule NAME PROGRAM
  nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall add rule name="${NAME}" \
    dir=in action=allow protocol=UDP localport=${QUORIN_ROUTER_ANNOUNCEMENT_PORT} \
    remoteip=localsubnet profile=any program="${PROGRAM}" enable=yes'
  Pop $R9
  ${If} $R9 != 0
    DetailPrint "$(FirewallRuleNotAdded)"
  ${EndIf}
!macroend

!macro QuorinFirewallFunctions UN

; Removes both programs' rules, whichever installation added them.
Function ${UN}QuorinRemoveFirewallRules
  Push $R9
  !insertmacro QuorinDeleteFirewallRule "${QUORIN_FIREWALL_RULE_CLIENT}"
  !insertmacro QuorinDeleteFirewallRule "${QUORIN_FIREWALL_RULE_SERVICE}"
  Pop $R9
FunctionEnd

!macroend

; Lets the announcements in for the installed client and service.
Function QuorinAddFirewallRules
  Call QuorinRemoveFirewallRules
  Push $R9
  !insertmacro QuorinAddFirewallRule "${QUORIN_FIREWALL_RULE_CLIENT}" "$INSTDIR\QuorinFree.exe"
  !insertmacro QuorinAddFirewallRule "${QUORIN_FIREWALL_RULE_SERVICE}" \
    "$INSTDIR\TLDDNSService.exe"
  Pop $R9
FunctionEnd
