#include <malloc.h>

#include "platform/process_memory.h"

namespace quorin::platform {

void UseCompactMemory() {
#if defined(M_ARENA_MAX)
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_TRIM_THRESHOLD, 64 * 1024);
  mallopt(M_MMAP_THRESHOLD, 64 * 1024);
#endif
}

}  // namespace quorin::platform
