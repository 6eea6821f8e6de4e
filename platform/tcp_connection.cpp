#include "platform/tcp_connection.h"

#include <algorithm>
#include <array>

namespace quorin::platform {
namespace {

using Clock = std::chrono::steady_clock;

// What is left of a deadline, never negative.
std::chrono::milliseconds Remaining(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return std::max(left, std::chrono::milliseconds(0));
}

}  // namespace

bool SendAll(TcpConnection& connection, std::string_view data, std::chrono::milliseconds timeout,
             StopToken stop) {
  const auto deadline = Clock::now() + timeout;
  while (!data.empty()) {
    const auto left = Remaining(deadline);
    if (left.count() == 0 || stop.StopRequested())
      return false;
    const std::ptrdiff_t sent = connection.SendSome(data, std::min(left, kStopCheckSlice));
    if (sent == TcpConnection::kTimedOut)
      continue;
    if (sent <= 0)
      return false;
    data.remove_prefix(std::min(static_cast<std::size_t>(sent), data.size()));
  }
  return true;
}

ReceiveEnd ReceiveUntilClose(TcpConnection& connection, std::string& out, std::size_t limit,
                             std::chrono::milliseconds timeout, StopToken stop) {
  const auto deadline = Clock::now() + timeout;
  std::array<char, 4096> buffer{};
  std::size_t received = 0;
  while (received < limit) {
    const auto left = Remaining(deadline);
    if (left.count() == 0 || stop.StopRequested())
      return ReceiveEnd::kTimedOut;
    const std::size_t want = std::min(buffer.size(), limit - received);
    const std::ptrdiff_t got =
        connection.ReceiveSome(buffer.data(), want, std::min(left, kStopCheckSlice));
    if (got == 0)
      return ReceiveEnd::kClosed;
    if (got == TcpConnection::kTimedOut)
      continue;
    if (got < 0)
      return ReceiveEnd::kFailed;
    const std::size_t count = std::min(static_cast<std::size_t>(got), want);
    out.append(buffer.data(), count);
    received += count;
  }
  return ReceiveEnd::kLimit;
}

}  // namespace quorin::platform
