#include "client/local/settings.h"

#include <string>
#include <utility>

#include "client/local/service_settings.h"
#include "common/ipv4.h"
#include "common/text_tools.h"
#include "platform/program_path.h"

namespace quorin::client {

using platform::RootKey;

Settings::Settings(platform::SettingsStore& store, platform::AutoStartEntry& autoStart,
                   std::string programPath)
    : store_(store), autoStart_(autoStart), programPath_(std::move(programPath)) {}

std::optional<std::string> Settings::ReadSetting(std::string_view name) const {
  auto text = store_.Read(RootKey::LocalMachine, kSettingsKey, name);
  if (text && text->size() > kMaxSettingLength)
    return std::nullopt;
  return text;
}

bool Settings::WriteSetting(std::string_view name, std::string_view text) {
  return store_.Write(RootKey::LocalMachine, kSettingsKey, name, text);
}

bool Settings::EnsureSettingsKey() {
  return store_.CreateKey(RootKey::LocalMachine, kSettingsKey);
}

void Settings::UsePreferenceSource(PreferenceSource source) {
  preferences_ = std::move(source);
}

std::optional<std::string> Settings::ReadPreference(std::string_view name) const {
  if (preferences_ && ClassifyServiceSetting(name) == ServiceSettingKind::kPreference) {
    if (auto text = preferences_(name); text && IsPreferenceText(name, *text))
      return text;
  }
  return ReadSetting(name);
}

bool Settings::ReadOnOff(std::string_view name) const {
  const auto text = ReadSetting(name);
  return text && AtoiReading(*text) == 1;
}

bool Settings::OnUnlessOff(const std::optional<std::string>& text) {
  return !text || text->empty() || AtoiReading(*text) == 1;
}

bool Settings::ReadOnUnlessOff(std::string_view name) const {
  return OnUnlessOff(ReadSetting(name));
}

void Settings::WriteOnOff(std::string_view name, bool on) {
  EnsureSettingsKey();
  WriteSetting(name, on ? "1" : "0");
}

int Settings::ReadNumber(std::string_view name, int fallback) const {
  const auto text = ReadSetting(name);
  return text ? AtoiReading(*text) : fallback;
}

void Settings::WriteNumber(std::string_view name, int value) {
  EnsureSettingsKey();
  WriteSetting(name, std::to_string(value));
}

bool Settings::RunAsService() const {
  return ReadOnOff("runAsServic");
}
void Settings::SetRunAsService(bool on) {
  WriteOnOff("runAsServic", on);
}
bool Settings::LogEnabled() const {
  const auto text = ReadPreference("isLog");
  return text && AtoiReading(*text) == 1;
}
void Settings::SetLogEnabled(bool on) {
  WriteOnOff("isLog", on);
}
bool Settings::AutoDial() const {
  return ReadOnOff("isAutoDial");
}
void Settings::SetAutoDial(bool on) {
  WriteOnOff("isAutoDial", on);
}
bool Settings::AutoLogin() const {
  return ReadOnOff("autoLogin");
}
void Settings::SetAutoLogin(bool on) {
  WriteOnOff("autoLogin", on);
}
bool Settings::AutoMinimize() const {
  return ReadOnOff("autoMinimize");
}
void Settings::SetAutoMinimize(bool on) {
  WriteOnOff("autoMinimize", on);
}

bool Settings::AutoVersionCheck() const {
  const auto text = ReadSetting("AutoVersionCheck");
  return !text || AtoiReading(*text) == 1;
}
void Settings::SetAutoVersionCheck(bool on) {
  WriteOnOff("AutoVersionCheck", on);
}

bool Settings::WatchAddressChanges() const {
  return ReadOnUnlessOff("watchAddressChanges");
}
void Settings::SetWatchAddressChanges(bool on) {
  WriteOnOff("watchAddressChanges", on);
}

bool Settings::WatchRouter() const {
  return OnUnlessOff(ReadPreference("watchRouter"));
}
void Settings::SetWatchRouter(bool on) {
  WriteOnOff("watchRouter", on);
}

bool Settings::CheckAfterResume() const {
  return ReadOnUnlessOff("checkAfterResume");
}
void Settings::SetCheckAfterResume(bool on) {
  WriteOnOff("checkAfterResume", on);
}

int Settings::MaxLog() const {
  const auto text = ReadPreference("maxLog");
  return text ? AtoiReading(*text) : 100;
}
void Settings::SetMaxLog(int entries) {
  WriteNumber("maxLog", entries);
}
int Settings::DefaultAutoDial() const {
  return ReadNumber("defaultAutoDial", 0);
}
void Settings::SetDefaultAutoDial(int entry) {
  WriteNumber("defaultAutoDial", entry);
}

std::string Settings::GetCurrentVersion() const {
  auto text = ReadSetting("curVersion");
  if (!text || text->empty())
    return std::string(kBuiltInVersion);
  return *text;
}

void Settings::SetCurrentVersion(std::string_view version) {
  EnsureSettingsKey();
  WriteSetting("curVersion", version);
}

std::optional<bool> Settings::LastLoginWasVip() const {
  const auto text = ReadSetting("vu");
  if (!text)
    return std::nullopt;
  return AtoiReading(*text) != 0;
}

void Settings::SetLastLoginWasVip(bool vip) {
  EnsureSettingsKey();
  WriteSetting("vu", vip ? "1" : "0");
}

std::optional<std::string> Settings::LoginServerAddress() const {
  return ReadSetting("LoginSvrIP");
}

void Settings::SetLoginServerAddress(std::string_view address) {
  EnsureSettingsKey();
  WriteSetting("LoginSvrIP", address);
}

std::optional<std::string> Settings::ReadServerIp() const {
  auto text = ReadSetting("ServerIP");
  if (!text || !IsDottedAddress(*text))
    return std::nullopt;
  return text;
}

bool Settings::ErpVariant() const {
  return ReadNumber("erp", 0) != 0;
}

std::optional<std::string> Settings::Vendor() const {
  return ReadSetting("vendor");
}

bool Settings::ShortcutsRenamed() const {
  return ReadSetting("afterV303").has_value();
}

void Settings::MarkShortcutsRenamed() {
  EnsureSettingsKey();
  WriteSetting("afterV303", "1");
}

HostRecordFlags Settings::GetHostRecordFlags(std::string_view fullName) const {
  const auto text = ReadPreference(fullName);
  if (!text) {
    const bool on = ReadNumber("DDNS_NOT_asDefault", 0) == 0;
    return HostRecordFlags{on, on};
  }
  return HostRecordFlags{text->size() > 0 && (*text)[0] == '1',
                         text->size() > 1 && (*text)[1] == '1'};
}

void Settings::SetHostRecordFlags(std::string_view fullName, bool optionFlag, bool enabled) {
  EnsureSettingsKey();
  std::string text;
  text += optionFlag ? '1' : '0';
  text += enabled ? '1' : '0';
  WriteSetting(fullName, text);
}

bool Settings::AutoStart() const {
  const auto entry = autoStart_.Read();
  return entry && !entry->empty();
}

void Settings::SetAutoStart(bool on) {
  if (on) {
    autoStart_.Write(programPath_);
  } else {
    autoStart_.Remove();
  }
}

ClientSettings Settings::ReadClientSettings() const {
  ClientSettings settings;
  settings.autoStart = AutoStart() ? 1 : 0;
  settings.autoDial = AutoDial() ? 1 : 0;
  settings.logEnabled = LogEnabled() ? 1 : 0;
  settings.runAsService = RunAsService() ? 1 : 0;
  settings.maxLog = MaxLog();
  settings.defaultAutoDial = DefaultAutoDial();
  settings.autoLogin = AutoLogin() ? 1 : 0;
  settings.autoMinimize = AutoMinimize() ? 1 : 0;
  return settings;
}

void Settings::WriteClientSettings(const ClientSettings& settings) {
  EnsureSettingsKey();
  SetAutoStart(settings.autoStart != 0);
  SetAutoDial(settings.autoDial != 0);
  SetLogEnabled(settings.logEnabled != 0);
  SetRunAsService(settings.runAsService != 0);
  SetMaxLog(settings.maxLog);
  SetDefaultAutoDial(settings.defaultAutoDial);
  SetAutoLogin(settings.autoLogin != 0);
  SetAutoMinimize(settings.autoMinimize != 0);
}

std::optional<std::string> Settings::ProviderOverride(std::string_view name) const {
  auto text = ReadSetting(name);
  if (!text)
    return std::nullopt;
  *text = TrimText(*text);
  if (text->empty())
    return std::nullopt;
  return text;
}

Settings& ProcessSettings() {
  static Settings settings(platform::SystemSettingsStore(), platform::ClientAutoStart(),
                           platform::ProgramPath().value_or(std::string()));
  return settings;
}

}  // namespace quorin::client
