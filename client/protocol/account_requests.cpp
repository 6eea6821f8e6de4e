#include "client/protocol/account_requests.h"

#include "client/app/string_table.h"
#include "client/local/log_file.h"
#include "client/protocol/request_builder.h"
#include "client/protocol/zone_list.h"
#include "common/text_tools.h"

namespace quorin::client {
namespace {

constexpr std::string_view kDomainListPath = "/client_getDomainList.php";
constexpr std::string_view kSaveDomainListPath = "/client_saveDomainList.php";
constexpr std::string_view kAddressPath = "/client_getIP.php";
constexpr std::string_view kUpgradeInfoPath = "/client_getUpgradeInfo.php";
constexpr std::size_t kMaxAddressLength = 127;
constexpr std::size_t kMaxVersionLength = 31;

struct Session {
  std::string userName;
  std::string key;
  std::string randText;
};

Session ReadSession(const ClientContext& context) {
  return context.Read([](const ClientState& state) {
    return Session{state.userName.str(), state.key.str(), state.randText.str()};
  });
}

std::string SessionParams(const Session& session, std::string_view userParam = "user_name") {
  return BuildParam(userParam, session.userName) + BuildParam("key", session.key) +
         BuildParam("randText", session.randText);
}

// Opens a connection, sends the request and reads the reply; the connection is closed on
// every path. A failed open shows as a failed exchange.
bool Exchange(RequestEnvironment& environment, const std::string& request, std::string& reply,
              bool wantReply) {
  ServerConnection connection = environment.MakeConnection();
  connection.Open();
  const bool exchanged = connection.Exchange(request, reply, wantReply);
  connection.Close();
  return exchanged;
}

void FailWithServerText(RequestEnvironment& environment, std::string& message) {
  message = environment.texts.Get(text_id::kServerUnreachable);
  AppendLogEntry(environment.context, environment.settings, kLogRequestFailed, message);
}

// Takes the reply code off the reply. A reply that carries no known code (an empty reply, a
// web server's error page) would leave the user an empty message; it reads as "the server
// could not be reached" instead, as it does for the login.
bool ParseCode(RequestEnvironment& environment, std::string& reply, std::string& message) {
  message.clear();
  if (environment.replyCodes.Parse(reply, message))
    return true;
  if (message.empty())
    message = environment.texts.Get(text_id::kServerUnreachable);
  return false;
}

// Takes the reply code off the reply; a failure's message goes to the log as a failed request.
bool AcceptReply(RequestEnvironment& environment, std::string& reply, std::string& message) {
  if (ParseCode(environment, reply, message))
    return true;
  AppendLogEntry(environment.context, environment.settings, kLogRequestFailed, message);
  return false;
}

// One request whose reply is wanted: the exchange, then the reply code.
bool AskServer(RequestEnvironment& environment, const std::string& request, std::string& reply,
               std::string& message) {
  if (!Exchange(environment, request, reply, true)) {
    FailWithServerText(environment, message);
    return false;
  }
  return AcceptReply(environment, reply, message);
}

}  // namespace

bool GetDomainList(RequestEnvironment& environment, std::string& message) {
  const Session session = ReadSession(environment.context);
  const std::string request =
      BuildRequestLine(kDomainListPath, false) + SessionParams(session) + BuildBody("", false);
  std::string reply;
  if (!AskServer(environment, request, reply, message))
    return false;
  ReplaceZonesFromReply(environment.context, reply, environment.settings);
  return true;
}

bool SaveDomainChange(RequestEnvironment& environment, std::string& message, bool enabled,
                      bool waitReply) {
  // The list is formatted from a copy, so the settings writes of the format happen outside
  // the record's lock.
  const ZoneSlots zones =
      environment.context.Read([](const ClientState& state) { return state.zones; });
  const std::string saveText = FormatZoneList(zones, environment.settings);
  const Session session = ReadSession(environment.context);
  if (!enabled || saveText.empty() || session.userName.empty())
    return true;

  const std::string params = SessionParams(session) + BuildParam("domain", saveText);
  const std::string request = BuildRequestLine(kSaveDomainListPath, true) + BuildBody(params, true);
  std::string reply;
  Exchange(environment, request, reply, waitReply);
  if (!waitReply)
    return true;

  const std::size_t headerEnd = reply.find("\r\n\r\n");
  if (headerEnd == std::string::npos) {
    message = environment.texts.Get(text_id::kServerUnreachable);
    return false;
  }
  std::string body = TrimText(std::string_view(reply).substr(headerEnd + 4));
  return AcceptReply(environment, body, message);
}

bool QueryAddressHttp(RequestEnvironment& environment, std::string& address, std::string& message) {
  const Session session = ReadSession(environment.context);
  const std::string request =
      BuildRequestLine(kAddressPath, false) + SessionParams(session) + BuildBody("", false);
  std::string reply;
  if (!Exchange(environment, request, reply, true))
    return false;
  if (!ParseCode(environment, reply, message)) {
    if (environment.showMessage)
      environment.showMessage(message);
    return false;
  }
  address = CutText(reply, kMaxAddressLength);
  return true;
}

bool GetUpgradeInfo(RequestEnvironment& environment, UpgradeInfo& info, std::string& message) {
  const std::string version = CutText(environment.settings.GetCurrentVersion(), kMaxVersionLength);
  const Session session = ReadSession(environment.context);
  const std::string request = BuildRequestLine(kUpgradeInfoPath, false) +
                              BuildParam("userVersion", version) +
                              SessionParams(session, "userName") + BuildBody("", false);
  std::string reply;
  if (!AskServer(environment, request, reply, message))
    return false;
  ParseUpgradeInfo(reply, info);
  return true;
}

bool GetDomainList(std::string& message) {
  return GetDomainList(ProcessRequestEnvironment(), message);
}

bool SaveDomainChange(std::string& message, bool enabled, bool waitReply) {
  return SaveDomainChange(ProcessRequestEnvironment(), message, enabled, waitReply);
}

bool QueryAddressHttp(std::string& address, std::string& message) {
  return QueryAddressHttp(ProcessRequestEnvironment(), address, message);
}

bool GetUpgradeInfo(UpgradeInfo& info, std::string& message) {
  return GetUpgradeInfo(ProcessRequestEnvironment(), info, message);
}

}  // namespace quorin::client
