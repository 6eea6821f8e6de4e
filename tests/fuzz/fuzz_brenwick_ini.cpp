// "Brenwick.ini" beside the program names the update-service hosts, and the query URL is built
// from them and from the product's registry values: any file content and any values must give
// hosts and a query whose six parameters stay six. The input is the file's content; its first
// line is also split at '|' into the six values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/provider_defaults.h"
#include "common/text_tools.h"
#include "tests/fuzz/fuzz_target.h"
#include "updater/query_urls.h"

namespace {

using quorin::updater::UpdateServiceHosts;

void Check(bool condition) {
  if (!condition)
    std::abort();
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void CheckHost(const std::string& host, std::string_view builtIn, std::string_view ini) {
  Check(!host.empty());  // an empty or missing value keeps the built-in host
  Check(host.find('\n') == std::string::npos);
  // Blanks around a value are dropped, except inside the one pair of quotes removed.
  if (IsBlank(host.front()) || IsBlank(host.back())) {
    Check(ini.find('"' + host + '"') != std::string_view::npos ||
          ini.find('\'' + host + '\'') != std::string_view::npos);
  }
  Check(host == builtIn || ini.find(host) != std::string_view::npos);
}

std::string Replace(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(from, start)) != std::string_view::npos;) {
    out.append(text.substr(start, at - start)).append(to);
    start = at + from.size();
  }
  out.append(text.substr(start));
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// The value a server reads back from an encoded parameter; nothing for a malformed escape.
bool DecodeParam(std::string_view text, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size())
      return false;
    const int high = HexValue(text[i + 1]);
    const int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0)
      return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

void CheckQuery(const UpdateServiceHosts& hosts, std::string_view firstLine) {
  std::vector<std::string> values;
  std::size_t start = 0;
  while (values.size() < 5) {
    const std::size_t bar = firstLine.find('|', start);
    if (bar == std::string_view::npos)
      break;
    values.emplace_back(firstLine.substr(start, bar - start));
    start = bar + 1;
  }
  values.emplace_back(firstLine.substr(start));
  values.resize(6);
  quorin::updater::ProductInfo info;
  info.productName = values[0];
  info.vendor = values[1];
  info.version = values[2];
  info.language = values[3];
  info.osVersionText = values[4];
  info.hardwareId = values[5];

  const std::string url = quorin::updater::VersionQueryUrl(hosts.primary, info);
  const std::string head = "http://" + hosts.primary + "/GetNewVersion.php?";
  Check(url.compare(0, head.size(), head) == 0);
  const std::string_view query = std::string_view(url).substr(head.size());
  // Nothing in the query can end the request line or cut the query short.
  for (const char c : query) {
    const auto byte = static_cast<unsigned char>(c);
    Check(byte >= 0x20 && byte != 0x7f && c != ' ' && c != '#' && c != '+');
  }
  // Exactly the six parameters, in order, each reading back as the value given.
  const char* const names[] = {"ProductName", "vendor", "CurrVersion",
                               "Language",    "OSVer",  "HardwareID"};
  std::size_t at = 0;
  for (std::size_t i = 0; i < 6; ++i) {
    std::size_t end = query.find('&', at);
    if (i == 5) {
      Check(end == std::string_view::npos);
      end = query.size();
    }
    Check(end != std::string_view::npos);
    const std::string_view part = query.substr(at, end - at);
    const std::size_t equals = part.find('=');
    Check(equals != std::string_view::npos && part.substr(0, equals) == names[i]);
    std::string decoded;
    Check(DecodeParam(part.substr(equals + 1), decoded));
    Check(decoded == values[i]);
    at = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view ini(reinterpret_cast<const char*>(data), size);
  const UpdateServiceHosts hosts = quorin::updater::UpdateServiceHostsFromIni(ini);
  CheckHost(hosts.primary, quorin::provider::kUpdateServiceHostPrimary, ini);
  CheckHost(hosts.secondary, quorin::provider::kUpdateServiceHostSecondary, ini);

  // Section and value names compare without regard to case; values keep theirs.
  const UpdateServiceHosts lowered =
      quorin::updater::UpdateServiceHostsFromIni(quorin::ToLowerAscii(ini));
  Check(lowered.primary == quorin::ToLowerAscii(hosts.primary));
  Check(lowered.secondary == quorin::ToLowerAscii(hosts.secondary));
  // A file written with Windows line ends reads the same.
  const UpdateServiceHosts crlf =
      quorin::updater::UpdateServiceHostsFromIni(Replace(ini, "\n", "\r\n"));
  Check(crlf.primary == hosts.primary && crlf.secondary == hosts.secondary);

  CheckQuery(hosts, ini.substr(0, ini.find('\n')));
  return 0;
}
