// Starting and stopping the service "TLDDNSService" from the windowed client without ever
// waiting for the service manager on the window's thread: asking a busy service to start or
// stop can take the manager half a minute.
//
// One worker carries the requests out in order of arrival, but requests do not pile up: a
// request made while another waits replaces it, since only the newest wish (running or not)
// matters. The worker owns its state together with this object, so an object destroyed while
// the worker still waits on the manager is never written to; at the end of the program such a
// worker ends with the process.
#pragma once

#include <chrono>
#include <memory>

#include <functional>
#include <string_view>

namespace quorin::client {

// What the commands ask of the service manager: the platform's by default, fakes in tests.
struct ServiceManagerCalls {
  std::function<int(std::string_view name)> queryState;
  std::function<void(std::string_view name)> start;
  std::function<void(std::string_view name)> stop;

  static ServiceManagerCalls System();
};

class ServiceCommands {
 public:
  enum class Command { kStart, kStop };

  explicit ServiceCommands(ServiceManagerCalls calls = ServiceManagerCalls::System());
  ServiceCommands(const ServiceCommands&) = delete;
  ServiceCommands& operator=(const ServiceCommands&) = delete;

  // Asks for `command` and returns at once. The service is started or stopped only when it is
  // installed. Without a thread to run it on, the request is dropped, as a refused service
  // manager call would be.
  void Request(Command command);

  // Waits at most `limit` until every request made so far has been carried out; false when
  // one is still under way.
  bool WaitUntilDone(std::chrono::milliseconds limit);

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace quorin::client
