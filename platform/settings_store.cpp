#include "platform/settings_store.h"

namespace quorin::platform {

std::optional<RootKey> RootKeyFromNumber(std::uint32_t number) {
  switch (static_cast<RootKey>(number)) {
    case RootKey::ClassesRoot:
    case RootKey::CurrentUser:
    case RootKey::LocalMachine:
    case RootKey::Users:
    case RootKey::CurrentConfig:
      return static_cast<RootKey>(number);
  }
  return std::nullopt;
}

std::string_view RootKeyName(RootKey root) {
  switch (root) {
    case RootKey::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case RootKey::CurrentUser:
      return "HKEY_CURRENT_USER";
    case RootKey::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RootKey::Users:
      return "HKEY_USERS";
    case RootKey::CurrentConfig:
      return "HKEY_CURRENT_CONFIG";
  }
  return "HKEY_UNKNOWN";
}

}  // namespace quorin::platform
