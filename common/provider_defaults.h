// Built-in addresses of the provider's servers. Every one of them can be overridden without
// rebuilding (the client through its settings, the updater through its own configuration),
// so tests and the demo point the programs at servers on loopback.
#pragma once

#include <string_view>

namespace quorin::provider {

// Update hosts of the login server (TCP and UDP port 5353), per account type.
inline constexpr std::string_view kVipUpdateHostPrimary = "vipddns1.tilro.net";
inline constexpr std::string_view kVipUpdateHostSecondary = "vipddns2.tilro.net";
inline constexpr std::string_view kFreeUpdateHostPrimary = "ddns1.tilro.net";
inline constexpr std::string_view kFreeUpdateHostSecondary = "ddns2.tilro.net";

// The provider's web site (advertisement page, help pages).
inline constexpr std::string_view kWebSite = "http://www.tilro.net";

// The update service that the updater asks for new versions.
inline constexpr std::string_view kUpdateServiceHostPrimary = "update1.tilro.net";
inline constexpr std::string_view kUpdateServiceHostSecondary = "update2.tilro.net";

// Port of the login server's HTTP and UDP services.
inline constexpr unsigned kServerPort = 5353;

}  // namespace quorin::provider
