// The service switch's account side on the client's own data: the login's key in the client
// record and the remembered accounts of the profile file, where the service program reads the
// account it logs in with.
#pragma once

#include <string>

#include "client/local/service_switch.h"
#include "client/record/client_context.h"

namespace quorin::client {

// hasCredentials follows ServiceCredentialsAvailable on the record's key and the file as it is
// when the box is clicked. rememberAccount stores the record's user name and password as the
// current profile with its password remembered, since the service logs in with the current
// profile. A record without a user name (nobody logged in) leaves the file as it is: the
// remembered current profile that let the switch go on is the one the service will use.
// restoreAccount puts back the file that the last rememberAccount changed.
ServiceSwitchAccount ProfileServiceSwitchAccount(const ClientContext& context,
                                                 std::string profilePath);

}  // namespace quorin::client
