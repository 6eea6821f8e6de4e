// The requests a logged-in client makes on the raw connection to the login server, each with
// the record's user name, key and randText:
//
//   GetDomainList     GET  /client_getDomainList.php   user_name, key, randText
//   SaveDomainChange  POST /client_saveDomainList.php  user_name, key, randText, domain
//   QueryAddressHttp  GET  /client_getIP.php           user_name, key, randText
//   GetUpgradeInfo    GET  /client_getUpgradeInfo.php  userVersion, userName, key, randText
//
// Each returns true on success. On failure `message` receives the text for the user (text
// 57704 when the server could not be reached or answered nothing usable, else the reply
// code's message) and, where the user would want it in the log, an entry of type 2 is
// appended.
#pragma once

#include <string>

#include "client/protocol/request_environment.h"
#include "client/protocol/upgrade_info.h"

namespace quorin::client {

// Refreshes the record's domain list. The fresh list replaces the old one only when the
// request succeeded; after a failure the record keeps its domains (and the monitor keeps
// updating them).
bool GetDomainList(RequestEnvironment& environment, std::string& message);

// Sends the changed and enabled host records. Nothing is sent (and the result is true) when
// `enabled` is false, nothing is changed, or no user is logged in. Without `waitReply` the
// request is only sent. The changed marks are left to the caller.
bool SaveDomainChange(RequestEnvironment& environment, std::string& message, bool enabled,
                      bool waitReply);

// Asks the login server for this machine's public address (at most 127 characters). An error
// code in the reply is shown to the user through the environment's message sink.
bool QueryAddressHttp(RequestEnvironment& environment, std::string& address, std::string& message);

// Asks the login server which client version it offers.
bool GetUpgradeInfo(RequestEnvironment& environment, UpgradeInfo& info, std::string& message);

// The same with the process's environment.
bool GetDomainList(std::string& message);
bool SaveDomainChange(std::string& message, bool enabled, bool waitReply);
bool QueryAddressHttp(std::string& address, std::string& message);
bool GetUpgradeInfo(UpgradeInfo& info, std::string& message);

}  // namespace quorin::client
