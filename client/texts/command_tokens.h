// The client's own reading of its command line (after the program name). Blanks separate
// tokens; the character right after a blank always starts the next token, even a second blank,
// and a blank at the very end yields one empty last token. Only the first 128 characters are
// looked at; when the text is longer, only the tokens ended by a blank within them count.
// Quotes have no meaning.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorin::client {

inline constexpr std::size_t kCommandLineScanLimit = 128;

std::vector<std::string> SplitCommandTokens(std::string_view arguments);

}  // namespace quorin::client
