#include "platform/process_memory.h"

namespace quorin::platform {

// The Windows heap needs no tuning here: it serves every thread from one process heap.
void UseCompactMemory() {}

}  // namespace quorin::platform
