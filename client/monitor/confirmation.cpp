#include "client/monitor/confirmation.h"

#include <system_error>
#include <vector>

#include "client/record/account_key.h"
#include "platform/clock.h"

namespace quorin::client {
namespace {

void Trace(const ConfirmationServices& services, std::string_view line) {
  if (services.trace)
    services.trace(line);
}

}  // namespace

ConfirmationRegistry::~ConfirmationRegistry() {
  StopAll();
}

template <typename Condition>
bool ConfirmationRegistry::EndIf(const ClientContext& context, Condition&& condition) {
  std::lock_guard lock(mutex_);
  if (!condition())
    return false;
  const auto found = entries_.find(&context);
  if (found != entries_.end())
    found->second.running = false;
  return true;
}

void ConfirmationRegistry::MarkEnded(const ClientContext& context) {
  std::lock_guard lock(mutex_);
  const auto found = entries_.find(&context);
  if (found != entries_.end())
    found->second.running = false;
}

int ConfirmationRegistry::Start(ClientContext& context,
                                std::shared_ptr<const ConfirmationServices> services) {
  std::lock_guard lock(mutex_);
  Entry& entry = entries_[&context];
  if (entry.running)
    return 1;
  // A thread that has ended takes the lock no more, so it can be joined here.
  if (entry.thread.Joinable())
    entry.thread.Join();
  try {
    entry.running = true;
    entry.thread = platform::StoppableThread([this, &context, services](platform::StopToken stop) {
      if (Run(context, *services, stop) == kConfirmationStopped)
        MarkEnded(context);
    });
  } catch (const std::system_error&) {
    entry.running = false;
    return 0;
  }
  return 1;
}

bool ConfirmationRegistry::IsRunning(const ClientContext& context) const {
  std::lock_guard lock(mutex_);
  const auto found = entries_.find(&context);
  return found != entries_.end() && found->second.running;
}

void ConfirmationRegistry::StopAll() {
  std::vector<platform::StoppableThread> threads;
  {
    std::lock_guard lock(mutex_);
    for (auto& [context, entry] : entries_) {
      entry.thread.RequestStop();
      threads.push_back(std::move(entry.thread));
    }
  }
  // Joined without the lock: a stopping thread takes it once more to record its end.
  threads.clear();
  std::lock_guard lock(mutex_);
  entries_.clear();
}

int ConfirmationRegistry::Run(ClientContext& context, const ConfirmationServices& services,
                              platform::StopToken stop) {
  Trace(services, "_ConfirmSaveDomainChange thread started!\n");
  platform::Clock& clock = platform::CurrentClock();
  while (true) {
    if (!clock.WaitFor(kConfirmIntervalMs, stop))
      return kConfirmationStopped;
    Trace(services, "Begin to confirm domain change\n");

    const std::optional<std::string> server = KeyServerPart(context);
    if (!server) {
      if (EndIf(context, [&] { return !KeyPresent(context); }))
        return kNothingToConfirm;
      continue;
    }
    const std::optional<std::string> name = context.FirstChangedDomain();
    if (!name) {
      if (EndIf(context, [&] { return !context.FirstChangedDomain(); })) {
        return kNothingToConfirm;
      }
      continue;
    }

    const std::string answer =
        services.resolve ? services.resolve(*server, *name, stop) : std::string();
    if (stop.StopRequested())
      return kConfirmationStopped;

    // Compared and cleared in one step, so marks that the monitor sets for a newer address
    // in between are not cleared by the confirmation of the older one.
    const bool confirmed = EndIf(context, [&] {
      return context.Edit([&](ClientState& state) {
        if (answer.empty() || state.statusTexts[kStatusAddress].str() != answer)
          return false;
        ClearChangedMarks(state);
        return true;
      });
    });
    if (confirmed) {
      Trace(services, "Address already saved, quiting thread\n");
      return kConfirmationDone;
    }
    Trace(services, "Address not saved, try to call SaveDomainChange again\n");
    if (services.save)
      services.save();
  }
}

ConfirmationRegistry& ProcessConfirmations() {
  static ConfirmationRegistry registry;
  return registry;
}

int StartConfirmation(ClientContext& context, std::shared_ptr<const ConfirmationServices> services,
                      ConfirmationRegistry& registry) {
  return registry.Start(context, std::move(services));
}

}  // namespace quorin::client
