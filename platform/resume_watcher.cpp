#include "platform/resume_watcher.h"

#include <algorithm>
#include <vector>

namespace quorin::platform {
namespace {

struct Subscribers {
  std::mutex mutex;
  std::vector<ChangeSignal*> targets;
};

Subscribers& ProcessSubscribers() {
  static Subscribers subscribers;
  return subscribers;
}

}  // namespace

ResumeSubscription::ResumeSubscription(ChangeSignal& target) : target_(target) {
  Subscribers& subscribers = ProcessSubscribers();
  std::lock_guard lock(subscribers.mutex);
  subscribers.targets.push_back(&target_);
}

ResumeSubscription::~ResumeSubscription() {
  Subscribers& subscribers = ProcessSubscribers();
  std::lock_guard lock(subscribers.mutex);
  auto& targets = subscribers.targets;
  targets.erase(std::remove(targets.begin(), targets.end(), &target_), targets.end());
}

void AnnounceResume() {
  Subscribers& subscribers = ProcessSubscribers();
  // Held while setting, so that no target goes away meanwhile; Set only marks the signal and
  // ends a wait, and never calls back here.
  std::lock_guard lock(subscribers.mutex);
  for (ChangeSignal* target : subscribers.targets)
    target->Set();
}

bool SuspendGap::Grew(std::int64_t suspendedMs) {
  if (!started_ || suspendedMs < baseMs_) {
    started_ = true;
    baseMs_ = suspendedMs;
    return false;
  }
  if (suspendedMs - baseMs_ < kMinimumSleepMs)
    return false;
  baseMs_ = suspendedMs;
  return true;
}

}  // namespace quorin::platform
