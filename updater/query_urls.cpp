#include "updater/query_urls.h"

#include "common/param_encoding.h"
#include "common/provider_defaults.h"
#include "platform/profile_text.h"

namespace quorin::updater {
namespace {

constexpr std::string_view kHostsSection = "UpdateService";

// The built-in hosts, each replaced by the value given for it unless that is empty.
UpdateServiceHosts ChooseHosts(std::string primary, std::string secondary) {
  UpdateServiceHosts hosts{std::string(provider::kUpdateServiceHostPrimary),
                           std::string(provider::kUpdateServiceHostSecondary)};
  if (!primary.empty())
    hosts.primary = std::move(primary);
  if (!secondary.empty())
    hosts.secondary = std::move(secondary);
  return hosts;
}

}  // namespace

UpdateServiceHosts ReadUpdateServiceHosts(const std::string& iniPath) {
  if (iniPath.empty())
    return ChooseHosts(std::string(), std::string());
  return ChooseHosts(platform::ReadProfileText(iniPath, kHostsSection, "Primary"),
                     platform::ReadProfileText(iniPath, kHostsSection, "Secondary"));
}

UpdateServiceHosts UpdateServiceHostsFromIni(std::string_view iniText) {
  return ChooseHosts(platform::FindProfileText(iniText, kHostsSection, "Primary"),
                     platform::FindProfileText(iniText, kHostsSection, "Secondary"));
}

std::string VersionQueryUrl(std::string_view host, const ProductInfo& info) {
  std::string url = "http://";
  url += host;
  url += "/GetNewVersion.php?ProductName=";
  url += EncodeParamText(info.productName);
  url += "&vendor=";
  url += EncodeParamText(info.vendor);
  url += "&CurrVersion=";
  url += EncodeParamText(info.version);
  url += "&Language=";
  url += EncodeParamText(info.language);
  url += "&OSVer=";
  url += EncodeParamText(info.osVersionText);
  url += "&HardwareID=";
  url += EncodeParamText(info.hardwareId);
  return url;
}

QueryUrls ChooseQueryUrls(std::string_view autoUpdateUrl, const UpdateServiceHosts& hosts,
                          const ProductInfo& info) {
  if (!autoUpdateUrl.empty()) {
    return {std::string(autoUpdateUrl), std::string(autoUpdateUrl)};
  }
  return {VersionQueryUrl(hosts.primary, info), VersionQueryUrl(hosts.secondary, info)};
}

}  // namespace quorin::updater
