#include "updater/staging.h"

#include <filesystem>

#include "common/text_tools.h"
#include "updater/utf8_path.h"

namespace quorin::updater {
namespace {

// The superscript digits one to three in UTF-8: Windows takes COM¹ to COM³ and LPT¹ to LPT³
// for ports as well.
constexpr std::string_view kSuperscriptDigits[] = {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};

bool IsPortName(std::string_view base) {
  if (base.size() < 4 || (base.substr(0, 3) != "com" && base.substr(0, 3) != "lpt"))
    return false;
  const std::string_view number = base.substr(3);
  if (number.size() == 1 && number[0] >= '1' && number[0] <= '9')
    return true;
  for (const std::string_view superscript : kSuperscriptDigits) {
    if (number == superscript)
      return true;
  }
  return false;
}

bool IsDeviceName(std::string_view name) {
  // Windows opens these devices whatever extension follows and whatever the folder.
  const std::string base = ToLowerAscii(name.substr(0, name.find('.')));
  std::string_view trimmed = base;
  while (!trimmed.empty() && trimmed.back() == ' ')
    trimmed.remove_suffix(1);
  if (trimmed == "con" || trimmed == "prn" || trimmed == "aux" || trimmed == "nul")
    return true;
  // The console's own input and output.
  if (trimmed == "conin$" || trimmed == "conout$")
    return true;
  return IsPortName(trimmed);
}

// Characters no Windows file name may hold; '/' and '?' cannot reach the name.
bool IsForbiddenInName(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7f || c == '\\' || c == ':' || c == '*' || c == '"' || c == '<' ||
         c == '>' || c == '|';
}

}  // namespace

std::string StagingFolderPath(std::string_view programFolder) {
  return std::string(programFolder) + "InstallFiles";
}

void PrepareStagingFolder(const std::string& stagingFolder) {
  std::error_code error;
  const auto path = PathFromUtf8(stagingFolder);
  if (std::filesystem::is_directory(path, error))
    return;
  std::filesystem::create_directory(path, error);
}

std::optional<std::string> StagedFileName(std::string_view url) {
  // The name is what follows the URL's last '/', even when that '/' sits inside a query
  // ("get.php?file=a/b.exe" stages "b.exe"); only a query or fragment that holds no '/' is
  // left after it, and that is not part of the name.
  const std::size_t slash = url.rfind('/');
  if (slash == std::string_view::npos)
    return std::nullopt;
  std::string_view name = url.substr(slash + 1);
  name = name.substr(0, name.find_first_of("?#"));
  if (name.empty())
    return std::nullopt;
  // Windows drops dots and blanks at the end of a name ("." and ".." among them), so the file
  // written would not be the file recorded.
  if (name.back() == '.' || name.back() == ' ')
    return std::nullopt;
  for (const char c : name) {
    if (IsForbiddenInName(c))
      return std::nullopt;
  }
  if (IsDeviceName(name))
    return std::nullopt;
  return std::string(name);
}

std::string StagedFilePath(std::string_view stagingFolder, char separator, std::string_view name) {
  std::string path(stagingFolder);
  path += separator;
  path += name;
  return path;
}

}  // namespace quorin::updater
