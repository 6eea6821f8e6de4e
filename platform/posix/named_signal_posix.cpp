// Named shared memory and events on POSIX systems: shm_open objects and named semaphores.
//
// Windows removes a named object when the last handle to it closes; shm_open objects and
// semaphores stay until someone unlinks them. To give them the same lifetime every holder keeps
// a shared flock() on a shm object of the name, and the one that finds itself alone at the end
// (its exclusive lock attempt succeeds) unlinks the names. A process that opened the object
// just before it was removed notices that the name now leads elsewhere and opens again.
#include <fcntl.h>
#include <semaphore.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <functional>

#include "platform/named_signal.h"
#include "platform/posix/unique_fd.h"

namespace quorin::platform {
namespace {

// Semaphores live in /dev/shm as "sem." followed by the name, which must fit NAME_MAX.
constexpr std::size_t kMaxObjectName = 250;

// Objects are private to the user: the session number in every name is the user id.
constexpr mode_t kObjectMode = 0600;

// Gives up on an object that keeps being removed under our hands (it never happens twice in a
// row unless something else is wrong).
constexpr int kMaxOpenAttempts = 20;

std::string PosixObjectName(std::string_view name) {
  std::string result = "/";
  for (const char c : name) {
    if (result.size() >= kMaxObjectName)
      break;
    result += (c == '/' || c == '\\' || c == '\0') ? '_' : c;
  }
  return result;
}

bool SameObject(int fd, const std::string& name) {
  struct stat mine {};
  if (::fstat(fd, &mine) != 0)
    return false;
  const UniqueFd current(::shm_open(name.c_str(), O_RDONLY, 0));
  if (!current)
    return false;
  struct stat now {};
  return ::fstat(current.get(), &now) == 0 && now.st_ino == mine.st_ino &&
         now.st_dev == mine.st_dev;
}

// One holder's share of a named object: an open shm object with a shared lock on it.
class Hold {
 public:
  // Opens (or creates) the shm object `name` and takes the shared lock; an empty hold when it
  // cannot.
  static Hold Take(const std::string& name, NamedOpen mode) {
    const int flags = O_RDWR | (mode == NamedOpen::CreateOrOpen ? O_CREAT : 0);
    for (int attempt = 0; attempt < kMaxOpenAttempts; ++attempt) {
      UniqueFd fd(::shm_open(name.c_str(), flags, kObjectMode));
      if (!fd)
        return Hold();
      int locked = 0;
      do {
        locked = ::flock(fd.get(), LOCK_SH);  // waits while a last holder removes the object
      } while (locked != 0 && errno == EINTR);
      if (locked != 0)
        return Hold();
      if (SameObject(fd.get(), name))
        return Hold(name, std::move(fd));
      if (mode == NamedOpen::OpenExisting && !UniqueFd(::shm_open(name.c_str(), O_RDONLY, 0))) {
        return Hold();
      }
    }
    return Hold();
  }

  Hold() = default;
  Hold(Hold&&) = default;
  Hold& operator=(Hold&&) = default;

  // Lets go; the last holder runs `removeNames` before its lock is released.
  void Release(const std::function<void()>& removeNames) {
    if (!fd_)
      return;
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
      ::shm_unlink(name_.c_str());
      if (removeNames)
        removeNames();
    }
    fd_.reset();
  }

  explicit operator bool() const { return static_cast<bool>(fd_); }
  int fd() const { return fd_.get(); }

 private:
  Hold(std::string name, UniqueFd fd) : name_(std::move(name)), fd_(std::move(fd)) {}

  std::string name_;
  UniqueFd fd_;
};

class PosixSharedMemoryBlock : public SharedMemoryBlock {
 public:
  PosixSharedMemoryBlock(Hold hold, void* view, std::size_t size)
      : hold_(std::move(hold)), view_(view), size_(size) {}
  ~PosixSharedMemoryBlock() override {
    ::munmap(view_, size_);
    hold_.Release(nullptr);
  }
  PosixSharedMemoryBlock(const PosixSharedMemoryBlock&) = delete;
  PosixSharedMemoryBlock& operator=(const PosixSharedMemoryBlock&) = delete;

  void* data() override { return view_; }
  std::size_t size() const override { return size_; }

 private:
  Hold hold_;
  void* view_;
  std::size_t size_;
};

class PosixNamedEvent : public NamedEvent {
 public:
  PosixNamedEvent(Hold hold, std::string name, sem_t* semaphore)
      : hold_(std::move(hold)), name_(std::move(name)), semaphore_(semaphore) {}
  ~PosixNamedEvent() override {
    ::sem_close(semaphore_);
    hold_.Release([this] { ::sem_unlink(name_.c_str()); });
  }
  PosixNamedEvent(const PosixNamedEvent&) = delete;
  PosixNamedEvent& operator=(const PosixNamedEvent&) = delete;

  bool Signal() override {
    // An event that is already signalled stays signalled once; a semaphore would count up.
    int value = 0;
    if (::sem_getvalue(semaphore_, &value) == 0 && value > 0)
      return true;
    return ::sem_post(semaphore_) == 0;
  }

  bool Wait(std::chrono::milliseconds timeout) override {
    timespec deadline{};
    ::clock_gettime(CLOCK_REALTIME, &deadline);
    const auto ms = timeout.count() < 0 ? 0 : timeout.count();
    deadline.tv_sec += static_cast<time_t>(ms / 1000);
    deadline.tv_nsec += static_cast<long>((ms % 1000) * 1000000);
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    while (true) {
      if (::sem_timedwait(semaphore_, &deadline) == 0)
        return true;
      if (errno != EINTR)
        return false;
    }
  }

 private:
  Hold hold_;
  std::string name_;
  sem_t* semaphore_;
};

}  // namespace

std::unique_ptr<SharedMemoryBlock> OpenSharedMemoryBlock(std::string_view name, std::size_t size,
                                                         NamedOpen mode) {
  if (size == 0)
    return nullptr;
  const std::string objectName = PosixObjectName(name);
  Hold hold = Hold::Take(objectName, mode);
  if (!hold)
    return nullptr;
  // A new object has no bytes yet; grow it (zero-filled) before mapping, or a read would fault.
  struct stat status {};
  if (::fstat(hold.fd(), &status) != 0)
    return nullptr;
  if (static_cast<std::size_t>(status.st_size) < size &&
      ::ftruncate(hold.fd(), static_cast<off_t>(size)) != 0) {
    hold.Release(nullptr);
    return nullptr;
  }
  void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, hold.fd(), 0);
  if (view == MAP_FAILED) {
    hold.Release(nullptr);
    return nullptr;
  }
  return std::make_unique<PosixSharedMemoryBlock>(std::move(hold), view, size);
}

std::unique_ptr<NamedEvent> OpenNamedEvent(std::string_view name, NamedOpen mode) {
  const std::string objectName = PosixObjectName(name);
  // The semaphore has no descriptor to lock, so a shm object of the same name carries the hold
  // (semaphores live under "sem." names, so the two never meet).
  Hold hold = Hold::Take(objectName, mode);
  if (!hold)
    return nullptr;
  sem_t* semaphore = mode == NamedOpen::CreateOrOpen
                         ? ::sem_open(objectName.c_str(), O_CREAT, kObjectMode, 0u)
                         : ::sem_open(objectName.c_str(), 0);
  if (semaphore == SEM_FAILED) {
    hold.Release([&objectName] { ::sem_unlink(objectName.c_str()); });
    return nullptr;
  }
  return std::make_unique<PosixNamedEvent>(std::move(hold), objectName, semaphore);
}

std::uint32_t CurrentSessionNumber() {
  return static_cast<std::uint32_t>(::getuid());
}

std::string PathBytesForNames(std::string_view utf8Path) {
  return std::string(utf8Path);
}

}  // namespace quorin::platform
