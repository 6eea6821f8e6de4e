#include "client/monitor/advertisement.h"

#include "client/protocol/provider_config.h"
#include "client/protocol/request_builder.h"

namespace quorin::client {
namespace {

// The text cut to `maxChars` UTF-8 characters (continuation bytes do not count).
std::string CutToCharacters(std::string text, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80)
      continue;
    if (chars == maxChars) {
      text.resize(i);
      break;
    }
    ++chars;
  }
  return text;
}

}  // namespace

std::string AdvertisementAddress(const AccountCredentials& credentials, const Settings& settings) {
  std::string address = ProviderSite(settings);
  address.append(kAdvertisementPath)
      .append(EncodeParamText(credentials.userName))
      .append("&key=")
      .append(EncodeParamText(credentials.key))
      .append("&randText=")
      .append(EncodeParamText(credentials.randText));
  return CutToCharacters(std::move(address), kMaxAdvertisementChars);
}

int OpenAdvertisement(const ClientContext& context, const Settings& settings,
                      const std::function<int(std::string_view address)>& showHtmlPage) {
  const std::string address = AdvertisementAddress(ReadCredentials(context), settings);
  return showHtmlPage ? showHtmlPage(address) : 0;
}

}  // namespace quorin::client
