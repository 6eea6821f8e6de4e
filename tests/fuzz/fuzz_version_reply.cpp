// The update service's reply comes from the network, and the staged file's name is cut from
// the URL in it: the reply parser, the URL resolution and the name check must take any bytes.
// The input's first line is the primary query URL, the rest is the reply body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "common/text_tools.h"
#include "tests/fuzz/fuzz_target.h"
#include "updater/staging.h"
#include "updater/version_query.h"

namespace {

using quorin::updater::VersionOffer;

void Check(bool condition) {
  if (!condition)
    std::abort();
}

std::string WithoutCarriageReturns(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c != '\r')
      out += c;
  }
  return out;
}

bool IsLeadingBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The names Windows opens as devices, listed out rather than computed, to check the staging
// rule against.
const std::set<std::string>& DeviceNames() {
  static const std::set<std::string> names = [] {
    std::set<std::string> all = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    for (const char* port : {"com", "lpt"}) {
      for (char digit = '1'; digit <= '9'; ++digit)
        all.insert(std::string(port) + digit);
      for (const char* superscript : {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"})
        all.insert(std::string(port) + superscript);
    }
    return all;
  }();
  return names;
}

void CheckField(const std::string& field, const std::string& plainBody) {
  Check(field.find('\r') == std::string::npos && field.find('\n') == std::string::npos);
  Check(field.empty() || !IsLeadingBlank(field.front()));
  Check(plainBody.find(field) != std::string::npos);  // a value is a piece of the reply
}

void CheckStagedName(const std::string& url) {
  const auto name = quorin::updater::StagedFileName(url);
  if (!name)
    return;
  Check(!name->empty());
  Check(name->back() != '.' && name->back() != ' ');
  for (const char c : *name) {
    const auto byte = static_cast<unsigned char>(c);
    Check(byte >= 0x20 && byte != 0x7f);
    Check(std::string_view("/\\:*?\"<>|#").find(c) == std::string_view::npos);
  }
  std::string base = quorin::ToLowerAscii(name->substr(0, name->find('.')));
  while (!base.empty() && base.back() == ' ')
    base.pop_back();
  Check(DeviceNames().count(base) == 0);
  // The name follows the URL's last '/' (even one inside a query), up to a '?' or '#'.
  const std::string last = url.substr(url.rfind('/') + 1);
  Check(last.substr(0, last.find_first_of("?#")) == *name);
  // Put into the staging folder, it stays there.
  const std::string staged = quorin::updater::StagedFilePath("C:\\Q\\InstallFiles", '\\', *name);
  Check(staged.rfind('\\') == std::string_view("C:\\Q\\InstallFiles").size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t lineEnd = input.find('\n');
  const std::string_view primary = input.substr(0, lineEnd);
  const std::string_view body =
      lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1);

  const VersionOffer offer = quorin::updater::ParseVersionReply(body);
  const std::string plainBody = WithoutCarriageReturns(body);
  for (const std::string* field : {&offer.currentVersion, &offer.url, &offer.checkSum,
                                   &offer.description, &offer.forceUpdate, &offer.strictVersion}) {
    CheckField(*field, plainBody);
  }
  // Carriage returns never matter, wherever they stand.
  Check(quorin::updater::ParseVersionReply(plainBody) == offer);
  // A later line replaces the earlier value of its key and touches no other key.
  VersionOffer later =
      quorin::updater::ParseVersionReply(std::string(body) + "\nCurrentVersion=7.7");
  Check(later.currentVersion == "7.7");
  later.currentVersion = offer.currentVersion;
  Check(later == offer);

  if (offer.url.empty() || offer.currentVersion.empty())
    return 0;
  const std::string resolved = quorin::updater::ResolveOfferUrl(offer.url, primary);
  if (quorin::StartsWithIgnoreCase(offer.url, "http://")) {
    Check(resolved == offer.url);
  } else {
    // The primary URL's beginning, then the offer's URL whole.
    Check(resolved.size() >= offer.url.size());
    const std::size_t head = resolved.size() - offer.url.size();
    Check(resolved.compare(head, offer.url.size(), offer.url) == 0);
    Check(primary.substr(0, head) == std::string_view(resolved).substr(0, head));
  }
  CheckStagedName(resolved);
  CheckStagedName(offer.url);
  return 0;
}
