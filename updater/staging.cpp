#include "updater/staging.h"

#include <filesystem>

#include "common/text_tools.h"
#include "updater/utf8_path.h"

namespace quorin::updater {
namespace {

bool IsDeviceName(std::string_view name) {
  // Windows opens these devices whatever extension follows and whatever the folder.
  const std::string base = ToLowerAscii(name.substr(0, name.find('.')));
  std::string_view trimmed = base;
  while (!trimmed.empty() && trimmed.back() == ' ')
    trimmed.remove_suffix(1);
  if (trimmed == "con" || trimmed == "prn" || trimmed == "aux" || trimmed == "nul")
    return true;
  return trimmed.size() == 4 && (trimmed.substr(0, 3) == "com" || trimmed.substr(0, 3) == "lpt") &&
         trimmed[3] >= '1' && trimmed[3] <= '9';
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
  url = url.substr(0, url.find_first_of("?#"));
  const std::size_t slash = url.rfind('/');
  if (slash == std::string_view::npos)
    return std::nullopt;
  const std::string_view name = url.substr(slash + 1);
  if (name.empty() || name == "." || name == "..")
    return std::nullopt;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == ':' || byte < 0x20 || byte == 0x7f)
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
