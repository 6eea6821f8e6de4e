// The client's one record of the logged-in account: credentials and session values, the
// domain list (up to ten zones of up to twenty host records), the seven status texts the main
// window shows, the log file name and reader, and the running watchdog.
//
// The UI thread, the monitor and the confirmation threads share the record, so its state is
// reached only under one mutex, through Read() and Edit() (or the small helpers below). Keep
// those sections short: copy texts in and out, never call the network, sleep or show a dialog
// while holding the record.
//
// A monitor started for one login must not write into the record once a newer monitor has
// replaced it. Each monitor therefore takes a generation number from BeginGeneration() and
// writes through EditIfCurrent(), which does nothing once a later generation has begun.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system_bounded_text.h"

namespace quorin::client {

inline constexpr std::size_t kMaxZones = 10;
inline constexpr std::size_t kMaxHostsPerZone = 20;
inline constexpr std::size_t kStatusTextCount = 7;

// Status text slots that the client writes (2, 5 and 6 stay empty).
inline constexpr int kStatusUser = 0;
inline constexpr int kStatusLine = 1;
inline constexpr int kStatusConnection = 3;
inline constexpr int kStatusAddress = 4;

inline constexpr std::string_view kNotLoggedInText = "<未登录>";
inline constexpr std::string_view kNotConnectedText = "<未连接>";

struct HostRecord {
  platform::SystemBoundedText<30> label;      // empty marks a free record
  platform::SystemBoundedText<30> address;    // dotted IPv4 address
  platform::SystemBoundedText<20> hostText3;  // kept and sent back unchanged
  char kind = 0;                              // first character of the fourth field, 0 when missing
  bool optionFlag = false;                    // per-host option shown and edited by the main window
  bool changed = false;                       // address changed locally and not yet saved
  bool enabled = false;                       // the monitor writes new addresses into this record

  bool IsFree() const { return label.empty(); }
};

struct ZoneRecord {
  platform::SystemBoundedText<200> zoneName;  // the domain suffix
  platform::SystemBoundedText<30> zoneText2;  // kept and sent back unchanged
  platform::SystemBoundedText<30> zoneText3;  // kept and sent back unchanged
  std::array<HostRecord, kMaxHostsPerZone> hosts;
};

// Everything the record holds that can be copied: reach it through ClientContext only.
struct ClientState {
  ClientState();

  BoundedText<256> logFileName{"quorin.log"};
  bool expired = true;  // no zone of the domain list has proved usable yet
  std::array<platform::SystemBoundedText<30>, kStatusTextCount> statusTexts;
  std::array<std::optional<ZoneRecord>, kMaxZones> zones;  // filled from the first empty slot
  platform::SystemBoundedText<30> userName;
  platform::SystemBoundedText<256> password;
  platform::SystemBoundedText<50> key;
  platform::SystemBoundedText<10> randText;
};

// Operations on the state; callers hold the record (inside Read or Edit).
void SetStatusText(ClientState& state, int index, std::string_view text);
void FreeZones(ClientState& state);
const HostRecord* FindHost(const ClientState& state, std::string_view zoneName,
                           std::string_view label);
HostRecord* FindHost(ClientState& state, std::string_view zoneName, std::string_view label);
// The full name ("label.zone") of the first record marked changed, in slot and record order.
std::optional<std::string> FirstChangedDomain(const ClientState& state);
void ClearChangedMarks(ClientState& state);

// A thread that runs beside the UI (the watchdog): asked to stop, and joined when destroyed.
class BackgroundTask {
 public:
  virtual ~BackgroundTask() = default;
  virtual void RequestStop() = 0;
};

struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != nullptr)
      std::fclose(file);
  }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

class ClientContext {
 public:
  ClientContext();
  virtual ~ClientContext();
  ClientContext(const ClientContext&) = delete;
  ClientContext& operator=(const ClientContext&) = delete;

  // Runs `fn(const ClientState&)` while holding the record and returns its result.
  template <typename Fn>
  auto Read(Fn&& fn) const {
    std::lock_guard lock(mutex_);
    return fn(static_cast<const ClientState&>(state_));
  }

  // Runs `fn(ClientState&)` while holding the record and returns its result.
  template <typename Fn>
  auto Edit(Fn&& fn) {
    std::lock_guard lock(mutex_);
    return fn(state_);
  }

  // Runs `fn(ClientState&)` only while `generation` is the newest one; false when it is not.
  template <typename Fn>
  bool EditIfCurrent(std::uint64_t generation, Fn&& fn) {
    std::lock_guard lock(mutex_);
    if (generation != generation_)
      return false;
    fn(state_);
    return true;
  }

  // Starts a new generation: writes of every older one become no-ops from now on.
  std::uint64_t BeginGeneration();
  bool IsCurrentGeneration(std::uint64_t generation) const;

  // A copy of the whole state.
  ClientState Snapshot() const;

  // Shorthands for the common single steps.
  void SetStatusText(int index, std::string_view text);
  std::string StatusText(int index) const;
  std::string Key() const;
  void FreeZones();
  std::optional<HostRecord> FindHost(std::string_view zoneName, std::string_view label) const;
  std::optional<std::string> FirstChangedDomain() const;
  void ClearChangedMarks();

  // The log viewer's open file. The viewer runs on the UI thread only, which alone uses this.
  UniqueFile& LogReader() { return logReader_; }

  // Installs a new watchdog and hands back the one it replaces, which the caller stops and
  // destroys without holding the record.
  std::unique_ptr<BackgroundTask> ExchangeWatchdog(std::unique_ptr<BackgroundTask> watchdog);
  bool HasWatchdog() const;
  // Stops and joins the running watchdog, if any.
  void StopWatchdog();

 private:
  mutable std::mutex mutex_;
  ClientState state_;
  std::uint64_t generation_ = 0;
  std::unique_ptr<BackgroundTask> watchdog_;
  UniqueFile logReader_;
};

// The process's record, created on first use and kept until the process ends.
ClientContext& GetClientContext();

}  // namespace quorin::client
