// A clock for tests with several threads: time stands still until the test moves it, and a
// wait blocks until the test has moved the time past its end (or the wait is stopped). The
// test learns when the threads it watches have reached their waits, so each step of a
// periodic rhythm happens at the instant the test chooses, however slow the machine is.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace quorin::testing {

class DrivenClock : public platform::Clock {
 public:
  explicit DrivenClock(platform::CalendarTime start = {});

  std::int64_t NowMs() override;
  platform::CalendarTime LocalTime() override;
  bool WaitFor(std::int64_t ms, platform::StopToken stop) override;

  // Moves the time on; every wait that ends by then returns.
  void Advance(std::int64_t ms);

  // Waits (in real time, at most `limit`, which only catches a test that went wrong) until at
  // least `count` threads are blocked in a wait that the current time has not ended. A thread
  // released by Advance() no longer counts, even before it has woken.
  bool AwaitBlocked(int count, std::chrono::milliseconds limit = std::chrono::seconds(60));

  // The ends of the blocked waits, earliest first, in this clock's milliseconds.
  std::vector<std::int64_t> BlockedUntil();

 private:
  struct Waiter {
    std::int64_t until;
    platform::StopToken stop;
  };
  int BlockedLocked() const;

  const platform::CalendarTime start_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t nowMs_ = 0;
  std::vector<const Waiter*> waiters_;
};

}  // namespace quorin::testing
