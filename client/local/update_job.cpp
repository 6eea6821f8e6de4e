#include "client/local/update_job.h"

#include <algorithm>

namespace quorin::client {

UpdateJob::Snapshot UpdateJob::Read() const {
  const std::lock_guard lock(mutex_);
  return state_;
}

UpdateOffer UpdateJob::Offer() const {
  const std::lock_guard lock(mutex_);
  return offer_;
}

bool UpdateJob::GiveUp(std::string_view message) {
  const std::lock_guard lock(mutex_);
  if (state_.done)
    return false;
  givenUp_ = true;
  state_.message = message;
  state_.done = true;
  return true;
}

bool UpdateJob::GivenUp() const {
  const std::lock_guard lock(mutex_);
  return givenUp_;
}

bool UpdateJob::Publish(UpdateOffer offer) {
  const std::lock_guard lock(mutex_);
  if (givenUp_)
    return false;
  std::int64_t total = 0;
  for (const UpdateFile& file : offer.files)
    total += std::max<std::int32_t>(file.size, 0);
  state_.totalBytes = total;
  state_.count = static_cast<std::int32_t>(offer.files.size());
  offer_ = std::move(offer);
  return true;
}

bool UpdateJob::CountBlock(std::size_t size, const std::function<void()>& write) {
  const std::lock_guard lock(mutex_);
  if (givenUp_)
    return false;
  write();
  state_.bytesDone += static_cast<std::int64_t>(size);
  return true;
}

bool UpdateJob::Finish(std::string_view message) {
  const std::lock_guard lock(mutex_);
  if (givenUp_)
    return false;
  state_.message = message;
  state_.done = true;
  return true;
}

int ProgressPercent(std::int64_t bytesDone, std::int64_t totalBytes) {
  if (totalBytes <= 0)
    return 100;
  const std::int64_t percent = std::max<std::int64_t>(bytesDone, 0) * 100 / totalBytes;
  return static_cast<int>(std::min<std::int64_t>(percent, 100));
}

}  // namespace quorin::client
