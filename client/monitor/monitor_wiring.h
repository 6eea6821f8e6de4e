// The monitor and the confirmation with the client's real parts: the login server requests of
// the request environment, its settings and log, the system's sockets and ICMP facility, the
// speaker, the status-refresh hook and the resource strings.
#pragma once

#include <memory>

#include "client/monitor/address_monitor.h"
#include "client/monitor/confirmation.h"
#include "client/protocol/request_environment.h"
#include "client/texts/string_table.h"

namespace quorin::client {

// `environment` and `strings` must outlive every monitor and confirmation that use the
// services (the process's own live as long as the process).
std::shared_ptr<const ConfirmationServices> MakeConfirmationServices(
    RequestEnvironment& environment);
std::shared_ptr<const MonitorServices> MakeMonitorServices(
    RequestEnvironment& environment, const StringTable& strings,
    ConfirmationRegistry& confirmations = ProcessConfirmations());

// StartMonitoring for the process's record with the process's environment.
void StartProcessMonitoring(const StringTable& strings);

}  // namespace quorin::client
