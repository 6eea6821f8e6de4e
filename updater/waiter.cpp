#include "updater/waiter.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <optional>

#include "platform/named_signal.h"
#include "platform/program_folder.h"
#include "updater/shared_mem_int.h"
#include "updater/utf8_path.h"

namespace quorin::updater {
namespace {

constexpr int kSignalled = 0;
constexpr int kTimedOut = 1;
constexpr int kBadArguments = 2;
constexpr int kNoBlock = 3;

std::optional<std::uint64_t> ParseNumber(const std::string& text) {
  if (text.empty() || text.size() > 10)
    return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > 0xffffffffu)
    return std::nullopt;
  return value;
}

void PrintBlock(const SharedMemInt& notify, std::ostream& out) {
  const auto magic = notify.Magic();
  const auto flag = notify.Flag();
  out << "magic=0x" << std::hex << std::setw(8) << std::setfill('0') << magic.value_or(0)
      << std::dec << "\n";
  out << "flag=" << flag.value_or(0) << "\n";
}

}  // namespace

int RunWaiter(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  std::optional<std::uint32_t> session;
  std::uint64_t timeoutMs = 60000;
  std::string readyFile;
  std::string folder;
  bool openOnly = false;
  bool namesOnly = false;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    const bool hasValue = i + 1 < words.size();
    if (word == "--session" && hasValue) {
      const auto value = ParseNumber(words[++i]);
      if (!value)
        break;
      session = static_cast<std::uint32_t>(*value);
    } else if (word == "--timeout" && hasValue) {
      const auto value = ParseNumber(words[++i]);
      if (!value)
        break;
      timeoutMs = *value;
    } else if (word == "--ready" && hasValue) {
      readyFile = words[++i];
    } else if (word == "--open-only") {
      openOnly = true;
    } else if (word == "--names") {
      namesOnly = true;
    } else if (folder.empty() && !word.empty() && word.front() != '-') {
      folder = word;
    } else {
      folder.clear();
      break;
    }
  }
  if (folder.empty()) {
    err << "usage: brenwick_wait [--session N] [--timeout MS] [--ready FILE] [--open-only] "
           "[--names] FOLDER\n";
    return kBadArguments;
  }
  const char separator = platform::PathSeparator();
  if (folder.back() != separator)
    folder += separator;

  const std::string baseName = NotifyBaseName(platform::PathBytesForNames(folder));
  const std::uint32_t sessionNumber = session.value_or(platform::CurrentSessionNumber());
  if (namesOnly) {
    const NotifyNames names = NotifyNamesFor(baseName, sessionNumber);
    out << "block=" << names.block << "\nevent=" << names.event << "\n";
    return kSignalled;
  }
  SharedMemInt notify(
      baseName, sessionNumber, 4, !openOnly,
      openOnly ? platform::NamedOpen::OpenExisting : platform::NamedOpen::CreateOrOpen);
  out << "block=" << notify.names().block << "\nevent=" << notify.names().event << "\n";
  if (!notify.HasData()) {
    out << "result=no-block\n";
    out.flush();
    return kNoBlock;
  }
  if (openOnly) {
    PrintBlock(notify, out);
    out.flush();
    return kSignalled;
  }
  if (!readyFile.empty()) {
    std::ofstream ready(PathFromUtf8(readyFile));
    ready << "ready\n";
  }
  out.flush();
  const bool signalled = notify.Wait(std::chrono::milliseconds(timeoutMs));
  out << (signalled ? "result=signalled\n" : "result=timeout\n");
  PrintBlock(notify, out);
  out.flush();
  return signalled ? kSignalled : kTimedOut;
}

}  // namespace quorin::updater
