#include <sys/syscall.h>
#include <unistd.h>

#include "platform/thread_message.h"

namespace quorin::platform {

std::uint32_t CurrentThreadNumber() {
  return static_cast<std::uint32_t>(::syscall(SYS_gettid));
}

bool PostThreadMessageTo(std::uint32_t /*threadId*/, std::uint32_t /*message*/) {
  return false;
}

}  // namespace quorin::platform
