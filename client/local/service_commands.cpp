#include "client/local/service_commands.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "client/local/service_switch.h"
#include "platform/service_control.h"

namespace quorin::client {

struct ServiceCommands::Shared {
  explicit Shared(ServiceManagerCalls operationsIn) : operations(std::move(operationsIn)) {}

  const ServiceManagerCalls operations;
  std::mutex mutex;
  std::condition_variable idle;
  std::optional<Command> pending;
  bool working = false;
};

namespace {

void CarryOut(const ServiceManagerCalls& operations, ServiceCommands::Command command) {
  if (operations.queryState(kServiceName) == platform::kServiceNotInstalled)
    return;
  if (command == ServiceCommands::Command::kStart)
    operations.start(kServiceName);
  else
    operations.stop(kServiceName);
}

}  // namespace

ServiceManagerCalls ServiceManagerCalls::System() {
  return ServiceManagerCalls{
      [](std::string_view name) { return platform::QueryServiceState(name); },
      [](std::string_view name) { platform::StartServiceByName(name); },
      [](std::string_view name) { platform::StopServiceByName(name); },
  };
}

ServiceCommands::ServiceCommands(ServiceManagerCalls operations)
    : shared_(std::make_shared<Shared>(std::move(operations))) {}

void ServiceCommands::Request(Command command) {
  std::lock_guard lock(shared_->mutex);
  shared_->pending = command;
  if (shared_->working)
    return;  // the running worker takes it next
  try {
    std::thread([shared = shared_] {
      std::unique_lock held(shared->mutex);
      while (shared->pending) {
        const Command next = *shared->pending;
        shared->pending.reset();
        // The manager may take its time: never with the lock held.
        held.unlock();
        CarryOut(shared->operations, next);
        held.lock();
      }
      shared->working = false;
      shared->idle.notify_all();
    }).detach();
    shared_->working = true;
  } catch (const std::system_error&) {
    shared_->pending.reset();
  }
}

bool ServiceCommands::WaitUntilDone(std::chrono::milliseconds limit) {
  std::unique_lock lock(shared_->mutex);
  return shared_->idle.wait_for(lock, limit, [&] { return !shared_->working; });
}

}  // namespace quorin::client
