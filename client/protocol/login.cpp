#include "client/protocol/login.h"

#include "client/local/log_file.h"
#include "client/protocol/provider_config.h"
#include "client/protocol/request_builder.h"
#include "client/protocol/server_rotation.h"
#include "client/protocol/zone_list.h"
#include "client/record/account_key.h"
#include "client/texts/field_split.h"
#include "client/texts/string_table.h"
#include "common/ipv4.h"
#include "common/provider_defaults.h"
#include "common/text_tools.h"
#include "platform/system_text.h"

namespace quorin::client {
namespace {

constexpr std::size_t kMaxValuesLength = 255;
constexpr std::size_t kMaxPartLength = 127;
constexpr auto kServerPort = static_cast<std::uint16_t>(provider::kServerPort);

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The dotted address of the server that was asked last: a dotted text as it is, a name
// resolved to its first address, "" when there is none.
std::string ServerAddressText(RequestEnvironment& environment, const std::string& host) {
  if (host.empty())
    return std::string();
  if (IsDottedAddress(host))
    return host;
  const auto address = environment.connector.Resolve(host, environment.stop);
  return address ? FormatIpv4(*address) : std::string();
}

void FailLogin(RequestEnvironment& environment, std::string& message) {
  AppendLogEntry(environment.context, environment.settings, kLogRequestFailed, message);
}

}  // namespace

bool ReplyHasCode(std::string_view reply) {
  return reply.size() >= 2 && IsDigit(reply[0]) && IsDigit(reply[1]);
}

LoginValues ParseLoginValues(std::string_view reply) {
  LoginValues values;
  const auto fields = SplitFields(reply, '%');
  if (fields.empty())
    return values;
  const std::string first = CutText(fields[0], kMaxValuesLength);
  for (const std::string_view rawPart : SplitFields(first, '&')) {
    const std::string part = CutText(rawPart, kMaxPartLength);
    const auto nameAndValue = SplitFields(part, '=');
    const std::string_view name = nameAndValue.size() > 0 ? nameAndValue[0] : std::string_view();
    const std::string_view value = nameAndValue.size() > 1 ? nameAndValue[1] : std::string_view();
    if (EqualsIgnoreCase(name, "key"))
      values.key = value;
    if (EqualsIgnoreCase(name, "randText"))
      values.randText = value;
  }
  return values;
}

LoginReply ReadLoginReply(std::string_view reply, const ReplyCodeTable& codes) {
  LoginReply answer;
  if (!ReplyHasCode(reply))
    return answer;
  answer.rest = reply;
  if (!codes.Parse(answer.rest, answer.message)) {
    answer.status = LoginReplyStatus::kRefused;
    answer.rest.clear();
    return answer;
  }
  answer.status = LoginReplyStatus::kAccepted;
  answer.values = ParseLoginValues(answer.rest);
  return answer;
}

std::string LoginPath(std::string_view userName, std::string_view password) {
  // Both texts go out in the system code page; Login refuses texts that have no form there.
  const auto wire = [](std::string_view text) {
    return EncodeParamBytes(platform::SystemTextFromUtf8(text).value_or(std::string()));
  };
  return "/client_login.php?user_name=" + wire(userName) + "&passwd=" + wire(password) +
         "&agent=windows&";
}

bool Login(RequestEnvironment& environment, std::string_view userName, std::string_view password,
           std::string& message) {
  // A name the system code page cannot write would reach the server, the profile file and the
  // log with '?' in its characters' places: refused before anything is sent or stored.
  if (!platform::FitsSystemCodePage(userName) || !platform::FitsSystemCodePage(password)) {
    message = std::string(kUnrepresentableAccountMessage);
    return false;
  }
  const std::string user = platform::CutForSystemCodePage(userName, kMaxUserNameLength);
  const std::string secret = platform::CutForSystemCodePage(password, kMaxPasswordLength);
  Settings& settings = environment.settings;

  {
    ServerConnection check = environment.MakeConnection();
    if (!check.Open(std::nullopt, static_cast<int>(kServerPort))) {
      message = environment.texts.Get(text_id::kServerUnreachable);
      FailLogin(environment, message);
      return false;
    }
  }

  ServerRotation rotation(ReplyHasCode, environment.loginTimeoutMs, environment.http,
                          environment.stop);
  const std::string primary = UpdateHostPrimary(settings);
  rotation.AddServer(primary, kServerPort, primary);
  const std::string secondary = UpdateHostSecondary(settings);
  rotation.AddServer(secondary, kServerPort, secondary);
  if (const auto remembered = settings.LoginServerAddress();
      remembered && IsDottedAddress(*remembered)) {
    rotation.AddServer(*remembered, kServerPort, primary);
  }

  std::string reply = platform::Utf8FromSystemText(rotation.Fetch(LoginPath(user, secret)));
  settings.SetLoginServerAddress(ServerAddressText(environment, rotation.CurrentHost()));

  const LoginReply answer = ReadLoginReply(reply, environment.replyCodes);
  if (answer.status != LoginReplyStatus::kAccepted) {
    // No code at all, or one the table lacks: the user reads "cannot reach the server".
    message = answer.message.empty() ? environment.texts.Get(text_id::kServerUnreachable)
                                     : answer.message;
    FailLogin(environment, message);
    return false;
  }

  const LoginValues& values = answer.values;
  environment.context.Edit([&](ClientState& state) {
    state.key = values.key.str();
    state.randText = values.randText.str();
  });
  AddZonesFromReply(environment.context, answer.rest, settings);
  environment.context.Edit([&](ClientState& state) {
    state.userName = user;
    state.password = secret;
    SetStatusText(state, kStatusUser, user);
  });
  settings.SetLastLoginWasVip(!IsFreeAccount(values.key.str()));
  AppendLogEntry(environment.context, settings, kLogInformation,
                 environment.texts.Get(text_id::kLogLoggedIn));

  const bool expired = environment.context.Edit([](ClientState& state) {
    if (state.expired)
      FreeZones(state);
    return state.expired;
  });
  if (expired) {
    message = environment.texts.Get(text_id::kAccountExpired);
    return false;
  }
  return true;
}

void Logout(RequestEnvironment& environment) {
  environment.context.Edit([](ClientState& state) {
    state.expired = true;
    state.key.clear();
    state.randText.clear();
    FreeZones(state);
    SetStatusText(state, kStatusUser, kNotLoggedInText);
  });
  AppendLogEntry(environment.context, environment.settings, kLogInformation,
                 environment.texts.Get(text_id::kLogLoggedOut));
}

bool Login(std::string_view userName, std::string_view password, std::string& message) {
  return Login(ProcessRequestEnvironment(), userName, password, message);
}

void Logout() {
  Logout(ProcessRequestEnvironment());
}

}  // namespace quorin::client
