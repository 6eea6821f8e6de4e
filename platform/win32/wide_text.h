// Conversion between the programs' UTF-8 texts and the UTF-16 texts of the W functions.
#pragma once

#include <string>
#include <string_view>

namespace quorin::platform {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace quorin::platform
