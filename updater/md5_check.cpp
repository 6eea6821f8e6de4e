#include "updater/md5_check.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "common/md5.h"
#include "updater/utf8_path.h"

namespace quorin::updater {

std::string FileMd5Text(const std::string& path) {
  Md5 md5;
  // The digest takes 1024 bytes at a time; the stream reads the file in larger pieces, since
  // a system call per kilobyte would cost more than the digest.
  std::vector<char> fileBuffer(256 * 1024);
  std::ifstream file;
  file.rdbuf()->pubsetbuf(fileBuffer.data(), static_cast<std::streamsize>(fileBuffer.size()));
  file.open(PathFromUtf8(path), std::ios::binary);
  char block[1024];
  while (file) {
    file.read(block, sizeof block);
    const std::streamsize got = file.gcount();
    if (got <= 0)
      break;
    md5.Update(block, static_cast<std::size_t>(got));
  }
  return DigestText(md5.Finish());
}

bool CheckMD5(const std::string& stagedPath, std::string_view expected) {
  if (FileMd5Text(stagedPath) == expected)
    return true;
  std::error_code error;
  std::filesystem::remove(PathFromUtf8(stagedPath), error);
  return false;
}

}  // namespace quorin::updater
