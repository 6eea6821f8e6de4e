// Named shared memory and named events: objects that separate processes find by name, used by
// the updater to tell a waiting process that its version query has an answer.
//
// Windows: a page-file-backed file mapping created with a null DACL (anyone may open it) and an
// auto-reset event; both live as long as some process holds a handle.
// POSIX: a shm_open object and a named semaphore. The names are sanitised for the system ('/'
// and '\' become '_', one leading '/'), the semaphore plays the auto-reset event (a signal with
// no waiter is kept once, a wait consumes it), and the last process that lets go of an object
// removes its name, so the objects live as long as some process holds them, as on Windows.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorin::platform {

enum class NamedOpen {
  CreateOrOpen,  // create the object, or open it when it already exists
  OpenExisting,  // open it only when it already exists
};

// A block of shared memory mapped into this process for read and write.
class SharedMemoryBlock {
 public:
  virtual ~SharedMemoryBlock() = default;
  // The mapped bytes; the start is aligned for any 32-bit access.
  virtual void* data() = 0;
  virtual std::size_t size() const = 0;
};

// The block of this name and size, mapped; nothing when it cannot be created, opened or mapped.
// A new block is filled with zero bytes.
std::unique_ptr<SharedMemoryBlock> OpenSharedMemoryBlock(std::string_view name, std::size_t size,
                                                         NamedOpen mode);

// An auto-reset event: a signal releases one waiter, and a signal given while nobody waits is
// kept (once) for the next wait.
class NamedEvent {
 public:
  virtual ~NamedEvent() = default;
  // False when the signal could not be given.
  virtual bool Signal() = 0;
  // Waits for a signal and consumes it; false when the time-out passed first.
  virtual bool Wait(std::chrono::milliseconds timeout) = 0;
};

// The event of this name; nothing when it cannot be created or opened.
std::unique_ptr<NamedEvent> OpenNamedEvent(std::string_view name, NamedOpen mode);

// The number of the login session this process belongs to, which keeps the named objects of
// different sessions apart: Windows' session id (ProcessIdToSessionId, looked up at run time; 0
// when the system lacks it); on POSIX systems the user id, since named objects there are
// machine-wide and the user is what separates one login from another.
std::uint32_t CurrentSessionNumber();

// A UTF-8 path as the bytes that name-building works on: Windows' ANSI code page bytes (what
// other programs of the product get from the system's ANSI functions); on POSIX the UTF-8
// bytes themselves.
std::string PathBytesForNames(std::string_view utf8Path);

}  // namespace quorin::platform
