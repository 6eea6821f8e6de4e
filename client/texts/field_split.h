// Splits the login server's texts at one delimiter the way the client has always read them:
// "a|b|c" gives a, b, c; "a||b" gives a, an empty field, b; a leading delimiter gives an empty
// first field; a trailing one gives no empty last field; an empty text gives no field.
// Unlike TextTokenizer there is no length limit, so long replies are read whole.
#pragma once

#include <string_view>
#include <vector>

namespace quorin::client {

std::vector<std::string_view> SplitFields(std::string_view text, char delimiter);

}  // namespace quorin::client
