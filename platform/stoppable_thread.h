// A thread that owns its stop request: the function it runs receives a StopToken, and
// destroying the thread (or assigning another one to it) asks it to stop and waits for it to
// end. It takes the place of std::jthread, whose stop token cannot be trusted with the Windows
// toolchain (see stop_token.h).
#pragma once

#include <thread>
#include <type_traits>
#include <utility>

#include "platform/stop_token.h"

namespace quorin::platform {

class StoppableThread {
 public:
  StoppableThread() = default;

  // Starts `fn(StopToken)`, or `fn()` for a function that takes no token, on a new thread;
  // throws std::system_error when none can start.
  template <typename Fn>
  explicit StoppableThread(Fn&& fn) {
    if constexpr (std::is_invocable_v<std::decay_t<Fn>, StopToken>)
      thread_ = std::thread(std::forward<Fn>(fn), stop_.Token());
    else
      thread_ = std::thread(std::forward<Fn>(fn));
  }

  ~StoppableThread() { StopAndJoin(); }

  StoppableThread(StoppableThread&& other) noexcept
      : stop_(std::move(other.stop_)), thread_(std::move(other.thread_)) {}
  StoppableThread& operator=(StoppableThread&& other) noexcept {
    if (this != &other) {
      StopAndJoin();
      stop_ = std::move(other.stop_);
      thread_ = std::move(other.thread_);
    }
    return *this;
  }
  StoppableThread(const StoppableThread&) = delete;
  StoppableThread& operator=(const StoppableThread&) = delete;

  bool Joinable() const { return thread_.joinable(); }
  void Join() { thread_.join(); }
  void RequestStop() { stop_.RequestStop(); }
  StopToken Token() const { return stop_.Token(); }

 private:
  void StopAndJoin() {
    if (!thread_.joinable())
      return;
    stop_.RequestStop();
    thread_.join();
  }

  StopSource stop_;
  std::thread thread_;
};

}  // namespace quorin::platform
