#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/posix/unique_fd.h"
#include "platform/process_runner.h"

namespace quorin::platform {
namespace {

// Blanks separate words; a pair of double quotes keeps blanks inside a word ("" is an empty
// word). Nothing else is special: no shell ever sees the text.
std::vector<std::string> SplitWords(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord)
        words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord)
    words.push_back(std::move(word));
  return words;
}

int WaitForChild(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return kRunFailed;
  }
  if (WIFEXITED(status))
    return WEXITSTATUS(status);
  if (WIFSIGNALED(status))
    return 128 + WTERMSIG(status);  // the shells' convention
  return kRunFailed;
}

// Runs in the forked child: only async-signal-safe calls until exec. A failed exec sends its
// errno through the pipe, which closes by itself on a successful exec.
[[noreturn]] void ExecInChild(char* const* argv, int errorPipe) {
  ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);  // no inherited descriptors
  ::execvp(argv[0], argv);
  const int error = errno;
  [[maybe_unused]] const ssize_t written = ::write(errorPipe, &error, sizeof error);
  ::_exit(127);
}

}  // namespace

int RunCommand(std::string_view commandLine, bool wait) {
  std::vector<std::string> words = SplitWords(commandLine);
  if (words.empty() || words.front().empty())
    return kRunFailed;
  std::vector<char*> argv;
  for (auto& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);

  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
    return kRunFailed;
  UniqueFd readEnd(pipeEnds[0]);
  UniqueFd writeEnd(pipeEnds[1]);

  const pid_t child = ::fork();
  if (child < 0)
    return kRunFailed;
  if (child == 0) {
    ::setsid();  // detached from the caller's terminal and process group
    if (wait)
      ExecInChild(argv.data(), pipeEnds[1]);
    // Without waiting, a grandchild runs the program and the child ends at once, so the
    // program never stays behind as this process's zombie.
    const pid_t grandchild = ::fork();
    if (grandchild == 0)
      ExecInChild(argv.data(), pipeEnds[1]);
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  writeEnd.reset();

  int execError = 0;
  ssize_t got;
  do {
    got = ::read(readEnd.get(), &execError, sizeof execError);
  } while (got < 0 && errno == EINTR);
  const bool started = got == 0;

  if (wait) {
    const int exitCode = WaitForChild(child);
    return started ? exitCode : kRunFailed;
  }
  const int forkResult = WaitForChild(child);
  return started && forkResult == 0 ? 0 : kRunFailed;
}

}  // namespace quorin::platform
