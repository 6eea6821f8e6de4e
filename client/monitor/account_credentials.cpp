#include "client/monitor/account_credentials.h"

namespace quorin::client {

AccountCredentials ReadCredentials(const ClientContext& context) {
  return context.Read([](const ClientState& state) {
    return AccountCredentials{state.userName.str(), state.key.str(), state.randText.str()};
  });
}

}  // namespace quorin::client
