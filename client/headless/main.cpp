// quorinfree: the client without windows (on Windows the console program quorinfree-cli.exe).
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "client/headless/account_commands.h"
#include "client/headless/exit_codes.h"
#include "client/headless/headless_options.h"
#include "client/headless/headless_session.h"
#include "client/headless/password_input.h"
#include "client/headless/system_text_output.h"
#include "client/headless/update_host_check.h"
#include "client/local/profile_file.h"
#include "client/protocol/login.h"
#include "client/protocol/request_environment.h"
#include "client/record/client_context.h"
#include "client/texts/string_table.h"
#include "platform/clock.h"
#include "platform/data_directory.h"
#include "platform/network.h"
#include "platform/process_memory.h"
#include "platform/program_arguments.h"
#include "platform/program_path.h"
#include "platform/system_text.h"
#include "platform/termination.h"

namespace {

using namespace quorin;

std::string ProgramName(const char* argv0) {
  const std::string path = argv0 != nullptr ? argv0 : "quorinfree";
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The password of --remember (typed, or from standard input or the password file) and of
// -silent USER with a password file; -silent USER PASSWORD has it already. A remembered one
// must fit a profile field of 127 characters; the login itself takes 255.
bool ReadAccountPassword(const client::HeadlessOptions& options, client::SilentAccount& account,
                         std::string& problem) {
  const bool remember = options.command == client::HeadlessCommand::kRemember;
  const std::size_t maxLength =
      remember ? client::kMaxProfileTextLength : client::kMaxPasswordLength;
  if (options.passwordFile)
    return client::ReadPasswordFile(*options.passwordFile, maxLength, account.password, problem);
  if (remember) {
    return client::ReadPasswordFromInput("Password for " + account.user + ": ", maxLength,
                                         account.password, problem);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // The client runs for months, often on small boxes.
  platform::UseCompactMemory();
  // Inside, texts are UTF-8; the console reads and shows the system code page.
  const client::SystemTextOutput output(std::cout);
  const client::SystemTextOutput errors(std::cerr);
  const std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
  const std::string program = ProgramName(arguments.empty() ? nullptr : arguments.front().c_str());
  const client::HeadlessOptions options = client::ParseHeadlessOptions(
      std::vector<std::string>(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end()));
  if (options.help) {
    std::cout << client::HeadlessUsage(program);
    return client::kExitSuccess;
  }
  if (!options.error.empty()) {
    std::cerr << program << ": " << options.error << "\n";
    return client::kExitUnusable;
  }
  if (options.storeDirectory && !platform::UseStoreDirectory(*options.storeDirectory)) {
    std::cerr << program << ": --store is not available here: the settings live in the registry\n";
    return client::kExitUnusable;
  }
  std::string problem;
  if (!platform::StoreIsUsable(problem)) {
    std::cerr << program << ": " << problem << "\n";
    return client::kExitUnusable;
  }
  const std::string profilePath = platform::ClientDataFile(std::string(client::kProfileFileName));
  client::RequestEnvironment& environment = client::ProcessRequestEnvironment();
  if (options.command == client::HeadlessCommand::kForget) {
    return client::ForgetAccount(environment.settings, options.accountUser, profilePath, std::cout,
                                 std::cerr);
  }

  std::optional<client::SilentAccount> account = options.silent;
  if (options.command == client::HeadlessCommand::kRemember)
    account = client::SilentAccount{options.accountUser, ""};
  if (account && !ReadAccountPassword(options, *account, problem)) {
    std::cerr << program << ": " << problem << "\n";
    return client::kExitUnusable;
  }

  platform::NetworkSession network;
  if (!network.ok()) {
    std::cerr << program << ": the network layer cannot start\n";
    return client::kExitUnusable;
  }
  client::GetClientContext().Edit([](client::ClientState& state) {
    state.logFileName = platform::ClientDataFile("quorin.log");
  });
  client::BuiltinStringTable strings;
  if (options.command == client::HeadlessCommand::kRemember) {
    client::PrepareProcessRequests(strings, environment.settings);
    return client::RememberAccount(environment, *account, profilePath, std::cout, std::cerr);
  }

  client::HeadlessRunConfig config;
  config.silent = account;
  config.profilePath = profilePath;

  // Without an account the session says so itself; with one, hosts that cannot exist would
  // make it retry for ever. The account chosen here is the session's, so the profile file is
  // read once.
  if (const auto chosen = client::ChooseAccount(config, environment.settings)) {
    // An account the system code page cannot write would be refused at every attempt: the
    // session would retry for ever, so the client ends at once with the reason.
    if (!platform::FitsSystemCodePage(chosen->user) ||
        !platform::FitsSystemCodePage(chosen->password)) {
      std::cerr << program << ": " << client::kUnrepresentableAccountMessage << "\n";
      return client::kExitUnusable;
    }
    config.silent = chosen;
    const std::string hostProblem = client::MissingUpdateHostsProblem(
        environment.settings, [](std::string_view host) { return platform::LookUpHost(host); });
    if (!hostProblem.empty()) {
      std::cerr << program << ": " << hostProblem << "\n";
      return client::kExitUnusable;
    }
  }
  platform::InstallTerminationHandlers();

  platform::ScaledClock scaled(options.timeScale, platform::SystemClock().LocalTime());
  std::optional<platform::ScopedClockOverride> clock;
  if (options.timeScale != 1.0)
    clock.emplace(scaled);

  return client::RunHeadlessClient(config, strings, std::cout,
                                   [] { return platform::TerminationRequested(); });
}
