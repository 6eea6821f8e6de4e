// Values of ini-style profile files ("[Section]" lines, then "name=value" lines), read the way
// Windows' GetPrivateProfileString reads them: section and value names compare without regard
// to ASCII case, blanks around names and values are dropped, one pair of quotes around a value
// is removed, lines beginning with ';' are comments, and the first matching line counts.
#pragma once

#include <string>
#include <string_view>

namespace quorin::platform {

// The value of `name` in `section` of the file at `path`; empty when the file, the section or
// the value is missing. On Windows this is GetPrivateProfileStringW itself.
std::string ReadProfileText(const std::string& path, std::string_view section,
                            std::string_view name);

// The same reading of a file's content (the POSIX backend's reader).
std::string FindProfileText(std::string_view content, std::string_view section,
                            std::string_view name);

}  // namespace quorin::platform
