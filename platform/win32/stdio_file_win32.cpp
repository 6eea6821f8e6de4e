#include <cstdio>

#include "platform/stdio_file.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {

StdioFile OpenStdioFile(const std::string& path, const char* mode) {
  if (path.empty() || mode == nullptr)
    return StdioFile();
  const std::wstring widePath = WideFromUtf8(path);
  const std::wstring wideMode = WideFromUtf8(mode);
  return StdioFile(::_wfopen(widePath.c_str(), wideMode.c_str()));
}

}  // namespace quorin::platform
