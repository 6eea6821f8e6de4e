// Which of the client's settings the service may take from a place that the user who registered
// it can write without administrator rights (the settings key's virtualised copy of a client
// run without elevation), and which it takes only from the machine's own key.
//
// Preferences change what the service does for the account, never where it sends it: "isLog",
// "maxLog", "watchRouter" and the per-host flags (values named by a host's full domain name).
// Destinations decide which servers receive the account and its password: the update hosts, the
// login server remembered last, the configured server address, the provider's site and the account
// type that picks the update hosts. Everything else (the window's own options) is of no concern to
// the service.
#pragma once

#include <string_view>

namespace quorin::client {

enum class ServiceSettingKind {
  kPreference,   // may come from the registering user's own copy
  kDestination,  // only ever from the machine's own key
  kOther,        // not taken from the user's copy
};

ServiceSettingKind ClassifyServiceSetting(std::string_view name);

// True when `text` has the form the preference `name` is written in: a number for "isLog",
// "maxLog" and "watchRouter", two characters '0' or '1' for a host's flags. A value of another form
// is not the client's and is not taken.
bool IsPreferenceText(std::string_view name, std::string_view text);

}  // namespace quorin::client
