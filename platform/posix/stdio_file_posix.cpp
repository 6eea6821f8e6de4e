#include "platform/stdio_file.h"

namespace quorin::platform {

StdioFile OpenStdioFile(const std::string& path, const char* mode) {
  if (path.empty())
    return StdioFile();
  return StdioFile(std::fopen(path.c_str(), mode));
}

}  // namespace quorin::platform
