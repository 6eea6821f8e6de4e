#include "client/monitor/current_address.h"

#include "client/monitor/local_address.h"

namespace quorin::client {

CurrentAddress GetCurrentAddress(const AddressSources& sources,
                                 const AccountCredentials& credentials,
                                 std::atomic<int>& behindRouter, platform::StopToken stop) {
  CurrentAddress result;
  const std::optional<std::string> local =
      sources.machineAddresses ? FindLocalPublicAddress(sources.machineAddresses()) : std::nullopt;

  if (behindRouter.load() == 0 && local) {
    result.found = true;
    result.address = *local;
    result.behindRouter = 0;
    return result;
  }

  if (sources.queryUdp)
    result.address = sources.queryUdp(credentials, stop);
  if (!result.address.empty()) {
    result.found = true;
  } else if (sources.queryHttp && !stop.StopRequested()) {
    const HttpAddressAnswer answer = sources.queryHttp(stop);
    if (answer.status == HttpAddressStatus::kServerError) {
      result.behindRouter = behindRouter.load();
      return result;
    }
    // The address is kept as the server wrote it once it passes the dotted-address check.
    if (answer.status == HttpAddressStatus::kAddress && IsDottedAddress(answer.address)) {
      result.found = true;
      result.address = answer.address;
    }
  }

  const int flag = local && !local->empty() && *local == result.address ? 0 : 1;
  behindRouter.store(flag);
  result.behindRouter = flag;
  return result;
}

}  // namespace quorin::client
