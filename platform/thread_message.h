// Thread messages: the one way the client's workers reach its UI thread. On Windows a worker
// posts a message to the UI thread's queue; other systems have no such queues, and their
// programs install a callback instead (see client/monitor/status_refresh.h).
#pragma once

#include <cstdint>

namespace quorin::platform {

// The calling thread's system identifier (the number a message is posted to on Windows).
std::uint32_t CurrentThreadNumber();

// Posts `message` with both parameters 0 to the queue of thread `threadId`. False when it
// could not be posted (no such thread, no queue, or a system without thread queues).
bool PostThreadMessageTo(std::uint32_t threadId, std::uint32_t message);

}  // namespace quorin::platform
