// Language.ini: the texts an installation may change without rebuilding (about box, menu items,
// web addresses). It lives beside the program, which start-up makes the current directory.
#pragma once

#include <string>
#include <string_view>

namespace quorin::client {

// The value of a key, cut to a buffer of `bufferBytes` (at most bufferBytes - 1 bytes of UTF-8);
// empty when the file, the section or the key is missing.
std::string ReadLanguageText(std::string_view section, std::string_view key,
                             std::size_t bufferBytes = 256);

}  // namespace quorin::client
