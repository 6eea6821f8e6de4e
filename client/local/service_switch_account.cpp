#include "client/local/service_switch_account.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "client/local/profile_file.h"
#include "client/record/account_key.h"

namespace quorin::client {

ServiceSwitchAccount ProfileServiceSwitchAccount(const ClientContext& context,
                                                 std::string profilePath) {
  ServiceSwitchAccount account;
  account.hasCredentials = [&context, profilePath] {
    const ProfileSet set = LoadProfiles(profilePath);
    std::vector<bool> rememberFlags;
    for (std::int32_t i = 0; i < set.count; ++i)
      rememberFlags.push_back(set.profiles[static_cast<std::size_t>(i)].savePassword != 0);
    return ServiceCredentialsAvailable(KeyPresent(context), rememberFlags, set.currentIndex);
  };
  // What the file held before the account was stored, for restoreAccount.
  auto before = std::make_shared<std::optional<ProfileFileSnapshot>>();
  account.rememberAccount = [&context, profilePath, before] {
    UserProfile profile;
    context.Read([&profile](const ClientState& state) {
      profile.userName = state.userName.str();
      profile.password = state.password.str();
    });
    if (profile.userName.empty())
      return;
    profile.savePassword = 1;
    *before = TakeProfileSnapshot(profilePath);
    SaveProfile(profilePath, profile, /*makeCurrent=*/true);
  };
  account.restoreAccount = [profilePath = std::move(profilePath), before] {
    if (!before->has_value())
      return;
    RestoreProfileSnapshot(profilePath, **before);
    before->reset();
  };
  return account;
}

}  // namespace quorin::client
