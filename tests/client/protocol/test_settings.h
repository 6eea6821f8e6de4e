// Settings kept in memory for tests, with the client's built-in English texts and reply codes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "client/local/settings.h"
#include "client/texts/client_texts.h"
#include "client/texts/reply_codes.h"
#include "client/texts/string_table.h"
#include "platform/memory_settings_store.h"

namespace quorin::client::testing {

class NoAutoStart : public platform::AutoStartEntry {
 public:
  std::optional<std::string> Read() override { return std::nullopt; }
  bool Write(std::string_view) override { return false; }
  bool Remove() override { return true; }
};

struct TestSettings {
  TestSettings() { settings.EnsureSettingsKey(); }

  std::optional<std::string> Stored(std::string_view name) {
    return store.Read(platform::RootKey::LocalMachine, kSettingsKey, name);
  }

  platform::MemorySettingsStore store;
  NoAutoStart autoStart;
  Settings settings{store, autoStart, ""};
};

struct BuiltinTexts {
  BuiltinTexts() {
    BuiltinStringTable strings;
    texts.Fill(strings);
    replyCodes.Fill(strings);
  }
  std::string Text(unsigned id) const { return BuiltinStringTable().Load(id); }

  ClientTexts texts;
  ReplyCodeTable replyCodes;
};

}  // namespace quorin::client::testing
