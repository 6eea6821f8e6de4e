#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "tests/support/full_disk.h"

namespace quorin::testing {

std::optional<int> RunOnFullDisk(std::uint64_t limitBytes, const std::function<int()>& action) {
  std::fflush(nullptr);  // the child must not write this process's buffered output again
  const pid_t child = ::fork();
  if (child < 0)
    return -1;
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{static_cast<rlim_t>(limitBytes), static_cast<rlim_t>(limitBytes)};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
      ::_exit(255);
    // _exit: the child must not run the test program's exit handlers.
    ::_exit(action() & 0xFF);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR)
      return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<unsigned> PosixMode(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0)
    return std::nullopt;
  return static_cast<unsigned>(status.st_mode & 07777);
}

}  // namespace quorin::testing
