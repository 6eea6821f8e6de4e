// The client's own reading of its command line (after the program name). Blanks separate
// tokens; the character right after a blank always starts the next token, even a second blank,
// and a blank at the very end yields one empty last token. Only the first 128 characters are
// looked at; when the text is longer, only the tokens ended by a blank within them count.
// Quotes have no meaning.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorin::client {

inline constexpr std::size_t kCommandLineScanLimit = 128;

std::vector<std::string> SplitCommandTokens(std::string_view arguments);

// The file that start-up deletes: the command line's only token, or, when the whole command
// line is one quoted path (as the update batch restarts the client, its temporary folder may
// hold blanks), that path without its quotes. Nothing otherwise.
std::optional<std::string> FileToDeleteAtStart(std::string_view arguments);

}  // namespace quorin::client
