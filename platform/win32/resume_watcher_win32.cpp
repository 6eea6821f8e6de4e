// Resumes on Windows: the system reports them to windows (WM_POWERBROADCAST) and to services
// (SERVICE_CONTROL_POWEREVENT), which the programs pass on through AnnounceResume(); the watcher
// only takes part in those announcements.
#include "platform/resume_watcher.h"

namespace quorin::platform {
namespace {

class AnnouncedResumes : public ResumeWatcher {
 public:
  explicit AnnouncedResumes(ChangeSignal& target) : subscription_(target) {}

 private:
  ResumeSubscription subscription_;
};

}  // namespace

std::unique_ptr<ResumeWatcher> OpenResumeWatcher(ChangeSignal& target) {
  return std::make_unique<AnnouncedResumes>(target);
}

}  // namespace quorin::platform
