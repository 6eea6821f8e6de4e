// The account attributes carried in the key that the login server hands out:
//   character 0     '1': open the advertisement page after login
//   character 1     '0': free account; anything else: VIP account
//   character 2     not used by the client
//   3 .. first '-'  name or address of the DNS server that serves the account's domains
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "client/record/client_context.h"

namespace quorin::client {

// An empty key counts as VIP here, and as no account for the other accessors.
bool IsFreeAccount(std::string_view key);
bool ShowsAdvertisement(std::string_view key);
// The first three characters; nothing for an empty key.
std::optional<std::string> KeyPrefix(std::string_view key);
// The DNS server part (empty when the key has three characters or fewer); nothing for an
// empty key.
std::optional<std::string> KeyServerPart(std::string_view key);
// True when a key is present, which is also the client's test for "logged in".
bool KeyPresent(std::string_view key);

// The same, read from the record.
bool IsFreeAccount(const ClientContext& context);
bool ShowsAdvertisement(const ClientContext& context);
std::optional<std::string> KeyPrefix(const ClientContext& context);
std::optional<std::string> KeyServerPart(const ClientContext& context);
bool KeyPresent(const ClientContext& context);

}  // namespace quorin::client
