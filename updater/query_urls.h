// Where the version query goes: the provider's two update-service hosts (built in, overridable
// by "Brenwick.ini" beside the program), or the product's own "AutoUpdateURL".
#pragma once

#include <string>
#include <string_view>

#include "updater/product_info.h"

namespace quorin::updater {

struct UpdateServiceHosts {
  std::string primary;  // "host" or "host:port"
  std::string secondary;
};

// The built-in hosts, each replaced by a non-empty "Primary" or "Secondary" value of the
// "[UpdateService]" section of the ini file at `iniPath`.
UpdateServiceHosts ReadUpdateServiceHosts(const std::string& iniPath);

// The same choice for the content of such a file, read as the POSIX build reads the file
// (platform::FindProfileText).
UpdateServiceHosts UpdateServiceHostsFromIni(std::string_view iniText);

// "http://<host>/GetNewVersion.php?ProductName=...&vendor=...&CurrVersion=...&Language=...
// &OSVer=...&HardwareID=...". Each value is passed through EncodeParamText, as the client's
// request parameters are, so that a '&', '#' or blank in a product's registry value cannot add
// a parameter, cut the query short or end the request line.
std::string VersionQueryUrl(std::string_view host, const ProductInfo& info);

struct QueryUrls {
  std::string primary;
  std::string secondary;
};

// A non-empty "AutoUpdateURL" is used unchanged for both; otherwise the two hosts' URLs.
QueryUrls ChooseQueryUrls(std::string_view autoUpdateUrl, const UpdateServiceHosts& hosts,
                          const ProductInfo& info);

}  // namespace quorin::updater
