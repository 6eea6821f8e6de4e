// Cooperative stop requests: a thread takes a StopToken, checks it between steps and waits on
// it instead of sleeping, and whoever owns the matching StopSource asks it to stop.
//
// The standard std::stop_token would serve, but the libstdc++ of the mingw-w64 toolchain that
// builds the Windows programs (GCC 12) can lose a wake-up there: a std::stop_callback that is
// destroyed while another thread is running it waits on a semaphore built on the library's
// atomic-wait fallback for platforms without a futex, which reads the value before it takes
// its lock, so the release that comes in between is missed and the thread sleeps for ever.
// These types use nothing but a mutex and a condition variable, waited on with a predicate.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace quorin::platform {

namespace detail {
struct StopState;
}

class StopToken {
 public:
  // A token that is never stopped.
  StopToken() = default;

  bool StopRequested() const;
  // False for a token that no source can stop.
  bool StopPossible() const { return state_ != nullptr; }

  // Waits until the stop is requested or `deadline` passes. True when the stop was requested.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline) const;
  bool WaitFor(std::chrono::steady_clock::duration duration) const {
    return WaitUntil(std::chrono::steady_clock::now() + duration);
  }

 private:
  friend class StopSource;
  friend class StopCallback;
  explicit StopToken(std::shared_ptr<detail::StopState> state) : state_(std::move(state)) {}

  std::shared_ptr<detail::StopState> state_;
};

// A moved-from source stops nothing and hands out tokens that are never stopped.
class StopSource {
 public:
  StopSource();

  StopToken Token() const { return StopToken(state_); }
  bool StopRequested() const;
  // Asks every holder of a token to stop and runs the registered callbacks on this thread.
  // True for the call that made the request, false when it had been made before.
  bool RequestStop() const;

 private:
  std::shared_ptr<detail::StopState> state_;
};

// Runs `callback` once when the token's stop is requested: on the requesting thread, or at
// once on this thread when the stop had been requested already. Destroying it unregisters the
// callback; when another thread is running it at that moment, the destructor waits until it
// has returned, so the callback may use what the owner of this object owns.
class StopCallback {
 public:
  StopCallback(const StopToken& token, std::function<void()> callback);
  ~StopCallback();
  StopCallback(const StopCallback&) = delete;
  StopCallback& operator=(const StopCallback&) = delete;

 private:
  friend struct detail::StopState;
  std::shared_ptr<detail::StopState> state_;
  std::function<void()> callback_;
  bool registered_ = false;
};

}  // namespace quorin::platform
