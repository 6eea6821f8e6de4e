#include "client/headless/account_commands.h"

#include "client/headless/exit_codes.h"
#include "client/local/profile_file.h"
#include "client/protocol/login.h"

namespace quorin::client {

int RememberAccount(RequestEnvironment& environment, const SilentAccount& account,
                    const std::string& profilePath, std::ostream& out, std::ostream& err) {
  // A profile keeps 127 characters of each text: a longer one would be remembered cut, and
  // every later login with it would fail.
  if (account.user.empty() || account.user.size() > kMaxProfileTextLength ||
      account.password.size() > kMaxProfileTextLength) {
    err << "cannot remember a user name or password that is empty or longer than "
        << kMaxProfileTextLength << " characters\n";
    return kExitUnusable;
  }
  std::string message;
  if (!Login(environment, account.user, account.password, message)) {
    err << "login failed: " << message << "; nothing was stored\n";
    return kExitLoginFailed;
  }
  if (!SaveLoginProfile(profilePath, account.user, account.password, true)) {
    err << "logged in, but cannot write the profile file \"" << profilePath
        << "\"; nothing was stored\n";
    return kExitUnusable;
  }
  // A settings write fails silently (a user without the right to write them), so the value is
  // read back: a remembered account that no start uses must not be reported as set up.
  environment.settings.SetAutoLogin(true);
  if (!environment.settings.AutoLogin()) {
    err << "the account " << account.user << " is remembered in \"" << profilePath
        << "\", but \"autoLogin\" could not be set to 1\n";
    return kExitUnusable;
  }
  out << "logged in as " << account.user << "; remembered in \"" << profilePath
      << "\" with \"autoLogin\" set: a start without an account now logs in with it\n";
  return kExitSuccess;
}

int ForgetAccount(Settings& settings, const std::string& user, const std::string& profilePath,
                  std::ostream& out, std::ostream& err) {
  switch (ForgetProfile(profilePath, user)) {
    case ForgetResult::kNotFound:
      err << "no remembered account is called " << user << " in \"" << profilePath << "\"\n";
      return kExitNoAccount;
    case ForgetResult::kFileError:
      err << "cannot change the profile file \"" << profilePath << "\"; nothing was removed\n";
      return kExitUnusable;
    case ForgetResult::kForgottenCurrent:
      settings.SetAutoLogin(false);
      if (settings.AutoLogin()) {
        err << "forgot " << user << ", but \"autoLogin\" could not be set to 0\n";
        return kExitUnusable;
      }
      out << "forgot " << user
          << "; it was the current account, so no account is current and \"autoLogin\" is "
             "off\n";
      return kExitSuccess;
    case ForgetResult::kForgotten:
      break;
  }
  out << "forgot " << user << "\n";
  return kExitSuccess;
}

}  // namespace quorin::client
