// Resumes on Linux: the announcements of the portable part, and a thread that reads the
// boot-time and monotonic clocks every few seconds of real time. Suspended time counts only on
// the first, so their gap grows by the length of every sleep. Other POSIX systems have no
// boot-time clock here and take the announcements only.
#include <time.h>

#include <chrono>
#include <system_error>

#include "platform/resume_watcher.h"
#include "platform/stoppable_thread.h"

namespace quorin::platform {
namespace {

// Cheap (two clock reads) and short next to the settling time and the minute.
constexpr auto kReadingPeriod = std::chrono::seconds(2);

class AnnouncedResumes : public ResumeWatcher {
 public:
  explicit AnnouncedResumes(ChangeSignal& target) : subscription_(target) {}

 private:
  ResumeSubscription subscription_;
};

#if defined(CLOCK_BOOTTIME)

std::int64_t ReadMs(clockid_t clock) {
  timespec now{};
  ::clock_gettime(clock, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::int64_t SuspendedMs() {
  return ReadMs(CLOCK_BOOTTIME) - ReadMs(CLOCK_MONOTONIC);
}

class BootClockWatcher : public ResumeWatcher {
 public:
  explicit BootClockWatcher(ChangeSignal& target)
      : target_(target), subscription_(target), thread_([this](StopToken stop) { Run(stop); }) {}

 private:
  void Run(const StopToken& stop) {
    SuspendGap gap;
    gap.Grew(SuspendedMs());
    // Real time, not the programs' clock: a sleep is a matter of the machine's real time even
    // when a test runs the programs' clock faster.
    while (WaitRealTime(kReadingPeriod, stop)) {
      if (gap.Grew(SuspendedMs()))
        target_.Set();
    }
  }

  ChangeSignal& target_;
  ResumeSubscription subscription_;
  StoppableThread thread_;  // last: it starts once everything above is in place
};

#endif

}  // namespace

std::unique_ptr<ResumeWatcher> OpenResumeWatcher(ChangeSignal& target) {
#if defined(CLOCK_BOOTTIME)
  try {
    return std::make_unique<BootClockWatcher>(target);
  } catch (const std::system_error&) {
    // No thread could start: the announcements still work.
  }
#endif
  return std::make_unique<AnnouncedResumes>(target);
}

}  // namespace quorin::platform
