#include "client/monitor/status_refresh.h"

#include <memory>
#include <mutex>

namespace quorin::client {
namespace {

std::mutex g_mutex;
std::shared_ptr<const std::function<void()>> g_target;

void Install(std::function<void()> target) {
  auto shared = target ? std::make_shared<const std::function<void()>>(std::move(target)) : nullptr;
  std::lock_guard lock(g_mutex);
  g_target = std::move(shared);
}

}  // namespace

void SetStatusRefreshCallback(std::function<void()> callback) {
  Install(std::move(callback));
}

void PostStatusRefresh() {
  std::shared_ptr<const std::function<void()>> target;
  {
    std::lock_guard lock(g_mutex);
    target = g_target;
  }
  // Called without the lock, so a callback may install another target.
  if (target)
    (*target)();
}

}  // namespace quorin::client
