#include "client/protocol/provider_config.h"

#include "common/provider_defaults.h"

namespace quorin::client {
namespace {

std::string Configured(const Settings& settings, std::string_view name,
                       std::string_view fallback) {
  return settings.ProviderOverride(name).value_or(std::string(fallback));
}

bool UsesVipHosts(const Settings& settings) {
  return settings.LastLoginWasVip().value_or(false);
}

}  // namespace

std::string UpdateHostPrimary(const Settings& settings) {
  return UsesVipHosts(settings)
             ? Configured(settings, "UpdateHostVip1", provider::kVipUpdateHostPrimary)
             : Configured(settings, "UpdateHostFree1", provider::kFreeUpdateHostPrimary);
}

std::string UpdateHostSecondary(const Settings& settings) {
  return UsesVipHosts(settings)
             ? Configured(settings, "UpdateHostVip2", provider::kVipUpdateHostSecondary)
             : Configured(settings, "UpdateHostFree2", provider::kFreeUpdateHostSecondary);
}

std::string ProviderSite(const Settings& settings) {
  return Configured(settings, "ProviderSite", provider::kWebSite);
}

}  // namespace quorin::client
