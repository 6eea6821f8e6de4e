; The setup's and the uninstaller's own texts in English and Simplified Chinese. The pages'
; standard texts come from the MUI language files.

LangString StartClientText ${LANG_ENGLISH} "Start QuorinFree"
LangString StartClientText ${LANG_SIMPCHINESE} "启动 QuorinFree"

LangString ClientShortcutName ${LANG_ENGLISH} "QuorinFree"
LangString ClientShortcutName ${LANG_SIMPCHINESE} "QuorinFree"
LangString UninstallShortcutName ${LANG_ENGLISH} "Uninstall QuorinFree"
LangString UninstallShortcutName ${LANG_SIMPCHINESE} "卸载 QuorinFree"

LangString NeedAdministrator ${LANG_ENGLISH} \
  "QuorinFree is installed for all users of this computer. Please run the setup as an administrator."
LangString NeedAdministrator ${LANG_SIMPCHINESE} \
  "QuorinFree 为本机所有用户安装，请以管理员身份运行安装程序。"

LangString SetupAlreadyRunning ${LANG_ENGLISH} \
  "The QuorinFree setup or uninstaller is already running."
LangString SetupAlreadyRunning ${LANG_SIMPCHINESE} "QuorinFree 的安装或卸载程序已在运行。"

LangString AskingClientToEnd ${LANG_ENGLISH} \
  "Asking the running QuorinFree to exit; please confirm its question..."
LangString AskingClientToEnd ${LANG_SIMPCHINESE} "正在请运行中的 QuorinFree 退出，请确认它的提问……"

LangString ClientStillRunning ${LANG_ENGLISH} \
  "QuorinFree is still running. Exit it (right-click its window or tray icon and choose Exit), then choose Retry.$\r$\n$\r$\nCancel leaves the installation as it is."
LangString ClientStillRunning ${LANG_SIMPCHINESE} \
  "QuorinFree 仍在运行。请先退出它，然后选择“重试”。$\r$\n$\r$\n选择“取消”则保持现有安装不变。"

LangString FileInUse ${LANG_ENGLISH} \
  "A file of QuorinFree is in use and cannot be replaced:$\r$\n$R9$\r$\n$\r$\nClose the program that uses it, then choose Retry. Cancel leaves the installation as it is."
LangString FileInUse ${LANG_SIMPCHINESE} \
  "QuorinFree 的文件正在使用，无法替换：$\r$\n$R9$\r$\n$\r$\n请关闭使用它的程序后选择“重试”。选择“取消”则保持现有安装不变。"

LangString StoppingService ${LANG_ENGLISH} "Stopping the service TLDDNSService..."
LangString StoppingService ${LANG_SIMPCHINESE} "正在停止服务 TLDDNSService……"
LangString ServiceStillRunning ${LANG_ENGLISH} \
  "The service TLDDNSService does not stop, so its program cannot be replaced or removed."
LangString ServiceStillRunning ${LANG_SIMPCHINESE} \
  "服务 TLDDNSService 无法停止，其程序不能替换或删除。"

LangString NothingChanged ${LANG_ENGLISH} "The setup was stopped; nothing was changed."
LangString NothingChanged ${LANG_SIMPCHINESE} "安装已停止，未作任何更改。"

LangString RemovingService ${LANG_ENGLISH} "Removing the service TLDDNSService..."
LangString RemovingService ${LANG_SIMPCHINESE} "正在删除服务 TLDDNSService……"
LangString ServiceNotRemoved ${LANG_ENGLISH} \
  "The service TLDDNSService could not be removed, so QuorinFree was not uninstalled. Please try again as an administrator."
LangString ServiceNotRemoved ${LANG_SIMPCHINESE} \
  "无法删除服务 TLDDNSService，QuorinFree 未被卸载。请以管理员身份重试。"

LangString UninstallStopped ${LANG_ENGLISH} "The uninstallation was stopped; nothing was removed."
LangString UninstallStopped ${LANG_SIMPCHINESE} "卸载已停止，未删除任何内容。"

LangString KeepUserData ${LANG_ENGLISH} \
  "Keep your QuorinFree data for a later installation?$\r$\n$\r$\nYes keeps the remembered accounts (userprofie.dat), the event log (quorin.log) and the settings; No removes them too."
LangString KeepUserData ${LANG_SIMPCHINESE} \
  "是否保留 QuorinFree 的用户数据以便以后重新安装？$\r$\n$\r$\n选择“是”保留记住的帐户（userprofie.dat）、事件日志（quorin.log）和设置；选择“否”将一并删除。"

LangString AddingFirewallRules ${LANG_ENGLISH} \
  "Letting the home router's address announcements in (Windows Firewall, UDP 5350)..."
LangString AddingFirewallRules ${LANG_SIMPCHINESE} "正在允许家用路由器的地址通告通过 Windows 防火墙（UDP 5350）……"
LangString FirewallRuleNotAdded ${LANG_ENGLISH} \
  "The firewall rule could not be added; address changes are still found by asking the router."
LangString FirewallRuleNotAdded ${LANG_SIMPCHINESE} "无法添加防火墙规则；仍会通过询问路由器发现地址变化。"
