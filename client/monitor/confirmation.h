// The confirmation of a VIP account's saved change: once a minute, ask the account's own DNS
// server for the first changed host name; when it answers with the current public address,
// the change has arrived and every changed mark is cleared; until then the change is saved
// again.
//
// At most one confirmation runs per client record. A save while one runs starts no second:
// the running one checks the first changed record each minute and saves again itself. The
// decision to end (nothing left to confirm, or confirmed) is taken under the registry's lock,
// so a change marked just before a new start request is never left without a check.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include "platform/stoppable_thread.h"

#include "client/record/client_context.h"
#include "platform/stop_token.h"

namespace quorin::client {

inline constexpr std::int64_t kConfirmIntervalMs = 60000;

// Results of one confirmation.
inline constexpr int kConfirmationDone = 0;      // confirmed, marks cleared
inline constexpr int kNothingToConfirm = -1;     // no key or no changed record
inline constexpr int kConfirmationStopped = -2;  // stopped from outside

struct ConfirmationServices {
  // The address that DNS server `server` gives for `name`, or empty (ResolveAtServer).
  std::function<std::string(const std::string& server, const std::string& name,
                            platform::StopToken stop)>
      resolve;
  // Saves the changed records again (SaveDomainChange with enabled and waitReply set).
  std::function<bool()> save;
  // The debug trace; may be empty.
  std::function<void(std::string_view line)> trace;
};

class ConfirmationRegistry {
 public:
  ConfirmationRegistry() = default;
  ~ConfirmationRegistry();
  ConfirmationRegistry(const ConfirmationRegistry&) = delete;
  ConfirmationRegistry& operator=(const ConfirmationRegistry&) = delete;

  // Starts the confirmation thread for `context` unless one runs for it already. 1 when a
  // confirmation runs for the record now, 0 when no thread could be started.
  int Start(ClientContext& context, std::shared_ptr<const ConfirmationServices> services);

  bool IsRunning(const ClientContext& context) const;

  // Stops every confirmation thread and waits for them to end.
  void StopAll();

  // The confirmation itself, on the calling thread (the thread entry).
  int Run(ClientContext& context, const ConfirmationServices& services, platform::StopToken stop);

 private:
  struct Entry {
    platform::StoppableThread thread;
    bool running = false;
  };

  // Ends the confirmation of `context` when `condition()` holds, deciding under the lock.
  template <typename Condition>
  bool EndIf(const ClientContext& context, Condition&& condition);
  void MarkEnded(const ClientContext& context);

  mutable std::mutex mutex_;
  std::map<const ClientContext*, Entry> entries_;
};

// The process's registry; its threads are stopped when the process ends.
ConfirmationRegistry& ProcessConfirmations();

// StartConfirmation of the monitor and the main window.
int StartConfirmation(ClientContext& context, std::shared_ptr<const ConfirmationServices> services,
                      ConfirmationRegistry& registry = ProcessConfirmations());

}  // namespace quorin::client
