// How a long-running program keeps its memory small.
#pragma once

namespace quorin::platform {

// Call first thing in main, before any thread starts. With glibc: one malloc arena for every
// thread (by default each thread that allocates gets an arena of its own, a few hundred KiB of
// mostly free pages for threads that allocate a little now and then), freed memory at the top
// of the heap returned soon, and larger blocks taken from and given back to the system
// directly. Elsewhere nothing changes.
void UseCompactMemory();

}  // namespace quorin::platform
