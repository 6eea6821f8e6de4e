#include "client/protocol/account_requests.h"

#include "client/local/log_file.h"
#include "client/protocol/account_replies.h"
#include "client/protocol/request_builder.h"
#include "client/protocol/zone_list.h"
#include "client/texts/string_table.h"
#include "common/text_tools.h"
#include "platform/system_text.h"

namespace quorin::client {
namespace {

constexpr std::string_view kDomainListPath = "/client_getDomainList.php";
constexpr std::string_view kSaveDomainListPath = "/client_saveDomainList.php";
constexpr std::string_view kAddressPath = "/client_getIP.php";
constexpr std::string_view kUpgradeInfoPath = "/client_getUpgradeInfo.php";
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
  // The server writes the system code page; inside, texts are UTF-8.
  reply = platform::Utf8FromSystemText(reply);
  return exchanged;
}

void FailWithServerText(RequestEnvironment& environment, std::string& message) {
  message = environment.texts.Get(text_id::kServerUnreachable);
  AppendLogEntry(environment.context, environment.settings, kLogRequestFailed, message);
}

// Hands the reply's message to the caller; a refusal goes to the log as a failed request.
bool AcceptReply(RequestEnvironment& environment, const AccountReply& answer,
                 std::string& message) {
  message = answer.message;
  if (answer.status == AccountReplyStatus::kAccepted)
    return true;
  if (answer.status == AccountReplyStatus::kRefused)
    AppendLogEntry(environment.context, environment.settings, kLogRequestFailed, message);
  return false;
}

// One request whose bare reply text is wanted: the exchange, then the reply code. The body
// of an accepted reply goes to `body`.
bool AskServer(RequestEnvironment& environment, const std::string& request, std::string& body,
               std::string& message) {
  std::string reply;
  if (!Exchange(environment, request, reply, true)) {
    FailWithServerText(environment, message);
    return false;
  }
  AccountReply answer = ReadAccountReply(reply, environment.replyCodes, environment.texts);
  if (!AcceptReply(environment, answer, message))
    return false;
  body = std::move(answer.body);
  return true;
}

}  // namespace

bool GetDomainList(RequestEnvironment& environment, std::string& message) {
  const Session session = ReadSession(environment.context);
  const std::string request =
      BuildRequestLine(kDomainListPath, false) + SessionParams(session) + BuildBody("", false);
  std::string list;
  if (!AskServer(environment, request, list, message))
    return false;
  ReplaceZonesFromReply(environment.context, list, environment.settings);
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

  // Every failed exchange leaves the reply empty, so it reads as a reply without a header end.
  return AcceptReply(environment, ReadSaveReply(reply, environment.replyCodes, environment.texts),
                     message);
}

bool QueryAddressHttp(RequestEnvironment& environment, std::string& address, std::string& message) {
  const Session session = ReadSession(environment.context);
  const std::string request =
      BuildRequestLine(kAddressPath, false) + SessionParams(session) + BuildBody("", false);
  std::string reply;
  if (!Exchange(environment, request, reply, true))
    return false;
  AccountReply answer = ReadAddressHttpReply(reply, environment.replyCodes, environment.texts);
  message = answer.message;
  if (answer.status != AccountReplyStatus::kAccepted) {
    if (environment.showMessage)
      environment.showMessage(message);
    return false;
  }
  address = std::move(answer.body);
  return true;
}

bool GetUpgradeInfo(RequestEnvironment& environment, UpgradeInfo& info, std::string& message) {
  const std::string version =
      platform::CutForSystemCodePage(environment.settings.GetCurrentVersion(), kMaxVersionLength);
  const Session session = ReadSession(environment.context);
  const std::string request = BuildRequestLine(kUpgradeInfoPath, false) +
                              BuildParam("userVersion", version) +
                              SessionParams(session, "userName") + BuildBody("", false);
  std::string body;
  if (!AskServer(environment, request, body, message))
    return false;
  ParseUpgradeInfo(body, info);
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
