// quorinfree: the client without windows (on Windows the console program quorinfree-cli.exe).
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "client/headless/headless_options.h"
#include "client/headless/headless_session.h"
#include "client/headless/update_host_check.h"
#include "client/local/profile_file.h"
#include "client/protocol/request_environment.h"
#include "client/record/client_context.h"
#include "client/texts/string_table.h"
#include "platform/clock.h"
#include "platform/data_directory.h"
#include "platform/network.h"
#include "platform/program_path.h"
#include "platform/termination.h"

namespace {

using namespace quorin;

std::string ProgramName(const char* argv0) {
  const std::string path = argv0 != nullptr ? argv0 : "quorinfree";
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = ProgramName(argc > 0 ? argv[0] : nullptr);
  const client::HeadlessOptions options = client::ParseHeadlessOptions(
      std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (options.help) {
    std::cout << client::HeadlessUsage(program);
    return 0;
  }
  if (!options.error.empty()) {
    std::cerr << program << ": " << options.error << "\n";
    return 1;
  }
  if (options.storeDirectory && !platform::UseStoreDirectory(*options.storeDirectory)) {
    std::cerr << program << ": --store is not available here: the settings live in the registry\n";
    return 1;
  }
  std::string problem;
  if (!platform::StoreIsUsable(problem)) {
    std::cerr << program << ": " << problem << "\n";
    return 1;
  }

  platform::NetworkSession network;
  if (!network.ok()) {
    std::cerr << program << ": the network layer cannot start\n";
    return 1;
  }
  client::HeadlessRunConfig config;
  config.silent = options.silent;
  config.profilePath = platform::ClientDataFile(std::string(client::kProfileFileName));

  // Without an account the session says so itself; with one, hosts that cannot exist would
  // make it retry for ever. The account chosen here is the session's, so the profile file is
  // read once.
  const client::Settings& settings = client::ProcessRequestEnvironment().settings;
  if (const auto account = client::ChooseAccount(config, settings)) {
    config.silent = account;
    const std::string hostProblem = client::MissingUpdateHostsProblem(
        settings, [](std::string_view host) { return platform::LookUpHost(host); });
    if (!hostProblem.empty()) {
      std::cerr << program << ": " << hostProblem << "\n";
      return 1;
    }
  }
  platform::InstallTerminationHandlers();

  client::GetClientContext().Edit([](client::ClientState& state) {
    state.logFileName = platform::ClientDataFile("quorin.log");
  });

  platform::ScaledClock scaled(options.timeScale, platform::SystemClock().LocalTime());
  std::optional<platform::ScopedClockOverride> clock;
  if (options.timeScale != 1.0)
    clock.emplace(scaled);

  client::BuiltinStringTable strings;
  return client::RunHeadlessClient(config, strings, std::cout,
                                   [] { return platform::TerminationRequested(); });
}
