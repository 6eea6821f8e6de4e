#include "updater/version_record.h"

#include "common/text_tools.h"
#include "platform/system_text.h"
#include "updater/command_line.h"

namespace quorin::updater {

bool WriteInfoToRegistry(platform::SettingsStore& store, std::string_view keyPath,
                         const VersionOffer& offer, const std::string& stagedPath) {
  const std::string key = platform::CutForSystemCodePage(keyPath, kMaxKeyPathBytes);
  constexpr auto kRoot = platform::RootKey::LocalMachine;
  // The key is opened, never created: a product that is not installed gets no record.
  if (!store.KeyExists(kRoot, key))
    return false;
  const struct {
    std::string_view name;
    const std::string& text;
  } kValues[] = {
      {"NewVersionNumber", offer.currentVersion},   {"NewVersionFile", stagedPath},
      {"NewVersionDescription", offer.description}, {"ForceUpdate", offer.forceUpdate},
      {"StrictVersion", offer.strictVersion},
  };
  for (const auto& value : kValues) {
    if (!store.Write(kRoot, key, value.name, value.text))
      return false;
  }
  return true;
}

}  // namespace quorin::updater
