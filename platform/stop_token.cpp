#include "platform/stop_token.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace quorin::platform {
namespace detail {

struct StopState {
  std::mutex mutex;
  std::condition_variable changed;  // the stop was requested, or a callback has returned
  bool stopped = false;
  std::vector<StopCallback*> callbacks;  // registered and not run yet
  StopCallback* running = nullptr;       // the callback the requesting thread runs now
  std::thread::id requester;

  bool RequestStop() {
    std::unique_lock lock(mutex);
    if (stopped)
      return false;
    stopped = true;
    requester = std::this_thread::get_id();
    changed.notify_all();
    while (!callbacks.empty()) {
      StopCallback* callback = callbacks.front();
      callbacks.erase(callbacks.begin());
      callback->registered_ = false;
      running = callback;
      lock.unlock();
      // The callback may destroy its own StopCallback; nothing of it is used afterwards.
      callback->callback_();
      lock.lock();
      running = nullptr;
      changed.notify_all();
    }
    return true;
  }
};

}  // namespace detail

bool StopToken::StopRequested() const {
  if (!state_)
    return false;
  std::lock_guard lock(state_->mutex);
  return state_->stopped;
}

bool StopToken::WaitUntil(std::chrono::steady_clock::time_point deadline) const {
  // The library turns a steady deadline into one of the system clock; waiting a day at most
  // at a time keeps that sum far from overflowing for the longest waits.
  constexpr auto kLongestSlice = std::chrono::hours(24);
  while (true) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline)
      return StopRequested();
    const auto sliceEnd = deadline - now > kLongestSlice ? now + kLongestSlice : deadline;
    if (!state_) {
      std::this_thread::sleep_until(sliceEnd);
      continue;
    }
    std::unique_lock lock(state_->mutex);
    if (state_->changed.wait_until(lock, sliceEnd, [this] { return state_->stopped; }))
      return true;
  }
}

StopSource::StopSource() : state_(std::make_shared<detail::StopState>()) {}

bool StopSource::StopRequested() const {
  return Token().StopRequested();
}

bool StopSource::RequestStop() const {
  return state_ != nullptr && state_->RequestStop();
}

StopCallback::StopCallback(const StopToken& token, std::function<void()> callback)
    : state_(token.state_), callback_(std::move(callback)) {
  if (!state_)
    return;
  {
    std::lock_guard lock(state_->mutex);
    if (!state_->stopped) {
      state_->callbacks.push_back(this);
      registered_ = true;
      return;
    }
  }
  callback_();
}

StopCallback::~StopCallback() {
  if (!state_)
    return;
  std::unique_lock lock(state_->mutex);
  if (registered_) {
    std::erase(state_->callbacks, this);
    return;
  }
  // Run by another thread right now: wait until it has returned. The requesting thread itself
  // may destroy the callback from inside it and must not wait for itself.
  if (state_->running == this && state_->requester != std::this_thread::get_id())
    state_->changed.wait(lock, [this] { return state_->running != this; });
}

}  // namespace quorin::platform
