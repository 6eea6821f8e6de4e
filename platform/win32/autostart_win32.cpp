#include "platform/autostart.h"
#include "platform/settings_store.h"

namespace quorin::platform {
namespace {

constexpr std::string_view kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::string_view kValueName = "Quorin";

// The current user's "Run" value, which Windows starts at logon. Its text is the program path
// without quotes or arguments.
class RunValueAutoStart : public AutoStartEntry {
 public:
  std::optional<std::string> Read() override {
    return SystemSettingsStore().Read(RootKey::CurrentUser, kRunKey, kValueName);
  }
  bool Write(std::string_view programPath) override {
    return SystemSettingsStore().Write(RootKey::CurrentUser, kRunKey, kValueName, programPath);
  }
  bool Remove() override {
    return SystemSettingsStore().Remove(RootKey::CurrentUser, kRunKey, kValueName);
  }
};

}  // namespace

AutoStartEntry& ClientAutoStart() {
  static RunValueAutoStart entry;
  return entry;
}

}  // namespace quorin::platform
