// C library files opened by a UTF-8 path: the system's own fopen on POSIX, the wide-character
// open on Windows, where fopen would read the path in the ANSI code page.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace quorin::platform {

struct StdioFileCloser {
  void operator()(std::FILE* file) const {
    if (file != nullptr)
      std::fclose(file);
  }
};
using StdioFile = std::unique_ptr<std::FILE, StdioFileCloser>;

// Opens `path` with an fopen mode ("r", "rb", "a+", "w", ...); empty when it cannot.
StdioFile OpenStdioFile(const std::string& path, const char* mode);

}  // namespace quorin::platform
