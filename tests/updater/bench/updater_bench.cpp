// Times the updater's download and checksum functions for the benchmark script.
//   updater_bench download URL FILE    fetches URL into FILE (removed first), prints seconds
//   updater_bench md5 FILE             digests FILE with CheckMD5, prints seconds
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/http_client.h"
#include "updater/download.h"
#include "updater/md5_check.h"

int main(int argc, char** argv) {
  using Clock = std::chrono::steady_clock;
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "download" && argc == 4) {
    std::error_code error;
    std::filesystem::remove(argv[3], error);
    const auto start = Clock::now();
    const std::string result = quorin::updater::GetNewVersionFromNetwork(
        quorin::platform::SystemHttpClient(), argv[2], argv[3], "Brenwick");
    const std::chrono::duration<double> took = Clock::now() - start;
    if (result != quorin::updater::kDownloadSucceeded) {
      std::fprintf(stderr, "download failed\n");
      return 1;
    }
    std::printf("%.3f\n", took.count());
    return 0;
  }
  if (command == "md5" && argc == 3) {
    const std::string expected = quorin::updater::FileMd5Text(argv[2]);  // warms the cache
    const auto start = Clock::now();
    const bool ok = quorin::updater::CheckMD5(argv[2], expected);
    const std::chrono::duration<double> took = Clock::now() - start;
    if (!ok)
      return 1;
    std::printf("%.3f %s\n", took.count(), expected.c_str());
    return 0;
  }
  std::fprintf(stderr, "usage: updater_bench download URL FILE | md5 FILE\n");
  return 2;
}
