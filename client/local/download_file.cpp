#include "client/local/download_file.h"

#include <array>
#include <cstdio>

#include "client/local/folder_path.h"
#include "platform/stdio_file.h"

namespace quorin::client {
namespace {

constexpr std::size_t kMaxErrorText = 254;

std::string Cut(std::string text) {
  if (text.size() > kMaxErrorText)
    text.resize(kMaxErrorText);
  return text;
}

}  // namespace

std::string DownloadFile(platform::HttpClient& http, const DownloadRequest& request,
                         const BlockGate& gate, platform::StopToken stop) {
  platform::HttpRequest httpRequest;
  httpRequest.url = request.address;
  httpRequest.userAgent = "QuorinFree";
  // The file must come from the server, not from a cache between.
  httpRequest.extraHeaders = "Cache-Control: no-cache\r\nPragma: no-cache\r\n";
  httpRequest.openTimeout = request.openTimeout;
  httpRequest.readTimeout = request.readTimeout;
  const std::unique_ptr<platform::HttpResponse> response = http.Open(httpRequest, stop);
  if (stop.StopRequested())
    return std::string(kDownloadStopped);
  if (!response)
    return Cut("Cannot download " + request.address + ": the server did not answer.");
  if (response->Status() != 200) {
    return Cut("Cannot download " + request.address + ": the server answered with status " +
               std::to_string(response->Status()) + ".");
  }

  const std::string_view folder = ParentFolder(request.localPath);
  if (!folder.empty() && !DirectoryExists(folder) && !CreateDirectoryPath(folder))
    return Cut("Cannot create the folder " + std::string(folder) + ".");
  platform::StdioFile file = platform::OpenStdioFile(request.localPath, "wb");
  if (!file)
    return Cut("Cannot write the file " + request.localPath + ".");

  std::int64_t length = 0;
  std::array<char, kDownloadBlockSize> block{};
  while (true) {
    if (stop.StopRequested())
      return std::string(kDownloadStopped);
    const std::ptrdiff_t got = response->Read(block.data(), block.size());
    if (got == 0)
      break;
    if (got < 0) {
      if (stop.StopRequested())
        return std::string(kDownloadStopped);
      // A transfer broken off before the listed length is a wrong length, never a success.
      if (request.expectedSize != -1)
        return request.wrongSizeText;
      return Cut("The download of " + request.address + " was interrupted.");
    }
    const auto size = static_cast<std::size_t>(got);
    bool written = false;
    if (!gate(size, [&] { written = std::fwrite(block.data(), 1, size, file.get()) == size; }))
      return std::string(kDownloadStopped);
    if (!written)
      return Cut("Cannot write the file " + request.localPath + ".");
    length += got;
  }
  if (std::fclose(file.release()) != 0)
    return Cut("Cannot write the file " + request.localPath + ".");
  if (request.expectedSize != -1 && length != request.expectedSize)
    return request.wrongSizeText;
  return std::string(kDownloadSucceeded);
}

}  // namespace quorin::client
