// The client's persistent options: text values under one key of the local machine's settings
// store, plus the current user's autostart entry. Other code never opens the store itself.
//
// Every read returns the caller's own copy, so threads may read at any time. Failures of the
// store are silent: a read that fails gives the value's default, a write that fails leaves the
// old value.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/autostart.h"
#include "platform/settings_store.h"

namespace quorin::client {

inline constexpr std::string_view kSettingsKey = "SOFTWARE\\tilro\\tlHost";
inline constexpr std::string_view kBuiltInVersion = "ver4.2.0";

// Values longer than this read as absent (the client's value buffer holds 256 bytes).
inline constexpr std::size_t kMaxSettingLength = 255;

// The options that the settings dialog edits as a whole.
struct ClientSettings {
  int autoStart = 0;
  int runAsService = 0;
  int logEnabled = 0;
  int autoDial = 0;
  int autoLogin = 0;
  int autoMinimize = 0;
  int defaultAutoDial = 0;
  int maxLog = 100;

  friend bool operator==(const ClientSettings&, const ClientSettings&) = default;
};

// The two per-record marks kept under a host's full domain name.
struct HostRecordFlags {
  bool optionFlag = true;
  bool enabled = true;
};

class Settings {
 public:
  Settings(platform::SettingsStore& store, platform::AutoStartEntry& autoStart,
           std::string programPath);

  // The primitives.
  std::optional<std::string> ReadSetting(std::string_view name) const;
  bool WriteSetting(std::string_view name, std::string_view text);
  bool EnsureSettingsKey();

  // On/off options: on only when the value's integer reading is exactly 1.
  bool RunAsService() const;
  void SetRunAsService(bool on);
  bool LogEnabled() const;
  void SetLogEnabled(bool on);
  bool AutoDial() const;
  void SetAutoDial(bool on);
  bool AutoLogin() const;
  void SetAutoLogin(bool on);
  bool AutoMinimize() const;
  void SetAutoMinimize(bool on);
  // On when absent.
  bool AutoVersionCheck() const;
  void SetAutoVersionCheck(bool on);
  // "watchAddressChanges": the monitor looks again soon after the system announces a change of
  // the machine's addresses. On when absent or empty; any other text is on only when its
  // integer reading is 1.
  bool WatchAddressChanges() const;
  void SetWatchAddressChanges(bool on);
  // "watchRouter": the monitor also looks again soon after the home router announces or
  // reports another public address. Read as "watchAddressChanges" is; the settings dialog's
  // box writes it, so the service takes it as a preference.
  bool WatchRouter() const;
  void SetWatchRouter(bool on);
  // "checkAfterResume": the monitor looks again soon after the machine resumes from sleep. Read
  // as "watchAddressChanges" is.
  bool CheckAfterResume() const;
  void SetCheckAfterResume(bool on);

  int MaxLog() const;  // 100 when absent
  void SetMaxLog(int entries);
  int DefaultAutoDial() const;  // 0 when absent
  void SetDefaultAutoDial(int entry);

  // "curVersion": the installed version, the built-in text when absent or empty.
  std::string GetCurrentVersion() const;
  void SetCurrentVersion(std::string_view version);

  // "vu": the account type of the last login; nothing when no login stored one.
  std::optional<bool> LastLoginWasVip() const;
  void SetLastLoginWasVip(bool vip);

  // "LoginSvrIP": the address of the login server that answered last.
  std::optional<std::string> LoginServerAddress() const;
  void SetLoginServerAddress(std::string_view address);

  // "ServerIP", only when it is a dotted IPv4 address (not 255.255.255.255).
  std::optional<std::string> ReadServerIp() const;

  // "erp": any integer reading other than 0 switches the client's ERP variant on.
  bool ErpVariant() const;
  // "vendor": the OEM vendor identifier, if any.
  std::optional<std::string> Vendor() const;
  // "afterV303": any value, whatever it holds, marks the shortcut renaming as done.
  bool ShortcutsRenamed() const;
  void MarkShortcutsRenamed();

  // The per-host marks; both default to on, or to off when "DDNS_NOT_asDefault" reads not 0.
  HostRecordFlags GetHostRecordFlags(std::string_view fullName) const;
  void SetHostRecordFlags(std::string_view fullName, bool optionFlag, bool enabled);

  // The autostart entry: on exactly when it exists and is not empty.
  bool AutoStart() const;
  void SetAutoStart(bool on);

  ClientSettings ReadClientSettings() const;
  void WriteClientSettings(const ClientSettings& settings);

  // A value of the provider configuration (the update host and web site overrides); nothing
  // when absent or empty.
  std::optional<std::string> ProviderOverride(std::string_view name) const;

  // A source consulted first for the preferences of service_settings.h ("isLog", "maxLog",
  // "watchRouter", the per-host flags), read only: the service reads them from the copy of the
  // settings that the user who registered it changes in the window. A value missing there, or not
  // in its preference's form, comes from the key as before; no other value ever comes from the
  // source. Set it before other threads read settings.
  using PreferenceSource = std::function<std::optional<std::string>(std::string_view name)>;
  void UsePreferenceSource(PreferenceSource source);

 private:
  std::optional<std::string> ReadPreference(std::string_view name) const;
  bool ReadOnOff(std::string_view name) const;
  // On when absent or empty, as the wake-up switches are: only a reading other than 1 is off.
  static bool OnUnlessOff(const std::optional<std::string>& text);
  bool ReadOnUnlessOff(std::string_view name) const;
  void WriteOnOff(std::string_view name, bool on);
  int ReadNumber(std::string_view name, int fallback) const;
  void WriteNumber(std::string_view name, int value);

  platform::SettingsStore& store_;
  platform::AutoStartEntry& autoStart_;
  std::string programPath_;
  PreferenceSource preferences_;
};

// The settings of this machine: the system's store and the client's autostart entry.
Settings& ProcessSettings();

}  // namespace quorin::client
