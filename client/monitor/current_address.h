// Finding the machine's public address: from the machine itself when it is known to hold it,
// otherwise from the update hosts over UDP, and last from the login server over HTTP.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "client/monitor/account_credentials.h"
#include "common/ipv4.h"
#include "platform/stop_token.h"

namespace quorin::client {

enum class HttpAddressStatus {
  kAddress,      // the server reported an address
  kServerError,  // the server answered with an error code (already shown to the user)
  kFailed,       // no usable answer
};

struct HttpAddressAnswer {
  HttpAddressStatus status = HttpAddressStatus::kFailed;
  std::string address;
};

// Where the address can come from. Each source is bounded in time by itself.
struct AddressSources {
  // The machine's own IPv4 addresses, in the system's order.
  std::function<std::vector<Ipv4Address>()> machineAddresses;
  // The UDP question to the update hosts; empty when neither gave an address.
  std::function<std::string(const AccountCredentials&, platform::StopToken)> queryUdp;
  // The HTTP question to the login server.
  std::function<HttpAddressAnswer(platform::StopToken)> queryHttp;
};

struct CurrentAddress {
  bool found = false;
  std::string address;  // dotted text when found, else empty
  int behindRouter = 1;
};

// While `behindRouter` is 0 and the machine holds a public address, that address is the
// answer and nothing goes over the network. Otherwise the servers are asked, and afterwards
// `behindRouter` becomes 0 exactly when the machine's first public address equals the one the
// servers reported; a server's error code leaves it unchanged.
//
// Only a dotted address counts as an answer of the HTTP question too: a success code followed
// by anything else is no address.
CurrentAddress GetCurrentAddress(const AddressSources& sources,
                                 const AccountCredentials& credentials,
                                 std::atomic<int>& behindRouter, platform::StopToken stop = {});

}  // namespace quorin::client
