// Text fields whose capacity the outside world defines (the login server's request fields,
// "userprofie.dat", quorin.log, the client record that feeds them): N - 1 bytes of the system
// code page, so a Chinese name of fourteen characters fits the 30-byte user name on a system
// whose code page writes each of them in two bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/bounded_text.h"
#include "platform/system_text.h"

namespace quorin::platform {

struct SystemCodePageCut {
  static std::string Cut(std::string_view text, std::size_t maxBytes) {
    return CutForSystemCodePage(text, maxBytes);
  }
};

template <std::size_t N>
using SystemBoundedText = BoundedText<N, SystemCodePageCut>;

}  // namespace quorin::platform
