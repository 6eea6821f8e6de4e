#include "client/local/service_settings.h"

#include <algorithm>
#include <array>

namespace quorin::client {
namespace {

constexpr std::array<std::string_view, 8> kDestinations = {
    "UpdateHostFree1", "UpdateHostFree2", "UpdateHostVip1", "UpdateHostVip2",
    "LoginSvrIP",      "ServerIP",        "ProviderSite",   "vu"};

bool SameName(std::string_view a, std::string_view b) {
  // Registry value names compare without regard to letter case.
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// A host's full domain name: a label, a dot, a zone; nothing that could not be one.
bool IsHostName(std::string_view name) {
  if (name.size() < 3 || name.front() == '.' || name.back() == '.' ||
      name.find('.') == std::string_view::npos)
    return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= ' ' || c == '\\' || c == '/' || c == '=' || byte == 0x7f;
  });
}

bool IsNumber(std::string_view text) {
  return !text.empty() && text.size() <= 9 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

ServiceSettingKind ClassifyServiceSetting(std::string_view name) {
  for (std::string_view destination : kDestinations) {
    if (SameName(name, destination))
      return ServiceSettingKind::kDestination;
  }
  if (SameName(name, "isLog") || SameName(name, "maxLog") || SameName(name, "watchRouter") ||
      IsHostName(name)) {
    return ServiceSettingKind::kPreference;
  }
  return ServiceSettingKind::kOther;
}

bool IsPreferenceText(std::string_view name, std::string_view text) {
  if (ClassifyServiceSetting(name) != ServiceSettingKind::kPreference)
    return false;
  if (SameName(name, "isLog") || SameName(name, "maxLog") || SameName(name, "watchRouter"))
    return IsNumber(text);
  return text.size() == 2 && (text[0] == '0' || text[0] == '1') &&
         (text[1] == '0' || text[1] == '1');
}

}  // namespace quorin::client
