#include "client/record/account_key.h"

namespace quorin::client {

bool IsFreeAccount(std::string_view key) {
  return key.size() > 1 && key[1] == '0';
}

bool ShowsAdvertisement(std::string_view key) {
  return !key.empty() && key[0] == '1';
}

std::optional<std::string> KeyPrefix(std::string_view key) {
  if (key.empty())
    return std::nullopt;
  return std::string(key.substr(0, 3));
}

std::optional<std::string> KeyServerPart(std::string_view key) {
  if (key.empty())
    return std::nullopt;
  if (key.size() <= 3)
    return std::string();
  const std::string_view rest = key.substr(3);
  return std::string(rest.substr(0, rest.find('-')));
}

bool KeyPresent(std::string_view key) {
  return !key.empty();
}

bool IsFreeAccount(const ClientContext& context) {
  return IsFreeAccount(context.Key());
}
bool ShowsAdvertisement(const ClientContext& context) {
  return ShowsAdvertisement(context.Key());
}
std::optional<std::string> KeyPrefix(const ClientContext& context) {
  return KeyPrefix(context.Key());
}
std::optional<std::string> KeyServerPart(const ClientContext& context) {
  return KeyServerPart(context.Key());
}
bool KeyPresent(const ClientContext& context) {
  return KeyPresent(context.Key());
}

}  // namespace quorin::client
