#include "client/local/update_names.h"

#include <string>

#include "common/text_tools.h"

namespace quorin::client {
namespace {

bool IsPathSeparator(char c) {
  return c == '/' || c == '\\';
}

// Characters that end a quoted batch argument or start an expansion ('"', '%', '!'), that the
// interpreter treats as a command separator or redirection outside quotes ('&', '|', '<', '>',
// '^'), that copy reads as wildcards ('*', '?'), or that name a drive or a stream (':').
bool IsSpecialCharacter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte < 0x20 || byte == 0x7f)
    return true;
  constexpr std::string_view kSpecial = "\"%!&|<>^*?:";
  return kSpecial.find(c) != std::string_view::npos;
}

bool IsDeviceName(std::string_view part) {
  // Windows opens a device for these names whatever extension follows and whatever the
  // folder; blanks before the extension do not help.
  std::string base = ToLowerAscii(part.substr(0, part.find('.')));
  while (!base.empty() && base.back() == ' ')
    base.pop_back();
  if (base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" ||
      base == "conout$") {
    return true;
  }
  if (base.size() != 4 || (base.compare(0, 3, "com") != 0 && base.compare(0, 3, "lpt") != 0))
    return false;
  return base[3] >= '0' && base[3] <= '9';
}

UpdateNameProblem CheckPart(std::string_view part) {
  if (part.find_first_not_of(' ') == std::string_view::npos)
    return UpdateNameProblem::kEmptyPart;
  // "." and ".." step out of the folder; Windows drops dots and blanks at the end of a name,
  // so "..." or "x. " would name a different file than the one checked.
  if (part.back() == '.' || part.back() == ' ')
    return UpdateNameProblem::kDotPart;
  if (IsDeviceName(part))
    return UpdateNameProblem::kDeviceName;
  return UpdateNameProblem::kNone;
}

}  // namespace

UpdateNameProblem CheckUpdateFileName(std::string_view name) {
  if (name.empty())
    return UpdateNameProblem::kEmpty;
  if (IsPathSeparator(name.front()) || (name.size() >= 2 && name[1] == ':'))
    return UpdateNameProblem::kRooted;
  for (const char c : name) {
    if (IsSpecialCharacter(c))
      return UpdateNameProblem::kSpecialCharacter;
  }
  std::size_t start = 0;
  while (true) {
    std::size_t end = start;
    while (end < name.size() && !IsPathSeparator(name[end]))
      ++end;
    if (const UpdateNameProblem problem = CheckPart(name.substr(start, end - start));
        problem != UpdateNameProblem::kNone) {
      return problem;
    }
    if (end == name.size())
      return UpdateNameProblem::kNone;
    start = end + 1;
  }
}

bool IsWebAddress(std::string_view address) {
  std::string_view rest;
  if (StartsWithIgnoreCase(address, "http://"))
    rest = address.substr(7);
  else if (StartsWithIgnoreCase(address, "https://"))
    rest = address.substr(8);
  else
    return false;
  if (rest.empty() || rest.front() == '/' || rest.front() == ':' || rest.front() == '@')
    return false;
  for (const char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f)
      return false;
  }
  return true;
}

}  // namespace quorin::client
