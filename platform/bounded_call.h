// Waiting a bounded time for a blocking call that cannot be cancelled, such as the system
// resolver's lookups, whose own time-outs can add up to half a minute.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/stop_token.h"

namespace quorin::platform {

// Runs `call` on a thread of its own and waits at most `timeout` for its result, or until
// `stop` is requested. Nothing when the call takes longer, the wait is stopped or no thread
// can be started. A call that outlives the wait finishes on its own later and writes only into
// state it shares with this function, never into the caller's memory, so `call` must own
// everything it uses (capture by value).
template <typename Result, typename Call>
std::optional<Result> CallWithin(std::chrono::milliseconds timeout, Call call,
                                 StopToken stop = {}) {
  struct Shared {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<Result> result;
  };
  if (stop.StopRequested())
    return std::nullopt;
  auto shared = std::make_shared<Shared>();
  try {
    std::thread([shared, call = std::move(call)]() mutable {
      Result value = call();
      std::lock_guard lock(shared->mutex);
      shared->result = std::move(value);
      shared->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return std::nullopt;
  }
  // Registered before the lock is taken: a stop requested earlier runs it on this thread.
  const StopCallback wake(stop, [&shared] {
    { std::lock_guard lock(shared->mutex); }
    shared->done.notify_all();
  });
  std::unique_lock lock(shared->mutex);
  if (!shared->done.wait_for(lock, timeout,
                             [&] { return shared->result.has_value() || stop.StopRequested(); })) {
    return std::nullopt;
  }
  return std::move(shared->result);
}

}  // namespace quorin::platform
