// The three values that identify a logged-in account in every request to the provider.
#pragma once

#include <string>

#include "client/record/client_context.h"

namespace quorin::client {

struct AccountCredentials {
  std::string userName;
  std::string key;
  std::string randText;
};

AccountCredentials ReadCredentials(const ClientContext& context);

}  // namespace quorin::client
