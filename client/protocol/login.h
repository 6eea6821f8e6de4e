// The login proves the user's account to the login server and fills the client record with
// the user name, the key and randText that every later request carries, and the domain list.
//
// The login first checks that an update host can be reached at all, then asks the login
// servers in turn (primary and secondary update host, then the address of the server that
// answered last time) with an HTTP GET of
//   /client_login.php?user_name=<name>&passwd=<password>&agent=windows&
// whose reply is "<code>key=..&randText=..&%<zone list>".
#pragma once

#include <string>
#include <string_view>

#include "client/protocol/request_environment.h"
#include "client/record/client_context.h"
#include "client/texts/reply_codes.h"

namespace quorin::client {

inline constexpr std::size_t kMaxUserNameLength = 29;
inline constexpr std::size_t kMaxPasswordLength = 255;

// True when the reply starts with two decimal digits.
bool ReplyHasCode(std::string_view reply);

// The key and randText of a login reply (its code already removed). Names match regardless
// of letter case; a later value overwrites an earlier one.
struct LoginValues {
  BoundedText<50> key;
  BoundedText<10> randText;
};
LoginValues ParseLoginValues(std::string_view reply);

// What a login reply says, read without touching the record.
enum class LoginReplyStatus {
  kNoCode,    // it does not start with two digits: no login server answered
  kRefused,   // another code than "00": `message` is its text, empty for a code the table lacks
  kAccepted,  // "00": `values` and `rest` are filled
};
struct LoginReply {
  LoginReplyStatus status = LoginReplyStatus::kNoCode;
  std::string message;
  LoginValues values;
  std::string rest;  // the reply after its code, whose zone list AddZonesFromReply reads
};
LoginReply ReadLoginReply(std::string_view reply, const ReplyCodeTable& codes);

// The request path of a login, the user name and password passed through EncodeParamText.
std::string LoginPath(std::string_view userName, std::string_view password);

// Logs in. On success the record holds the user, key, randText and zones, status text 0 the
// user name, and the settings "vu" (account type) and "LoginSvrIP" (the server that answered).
// On failure `message` holds the text to show and a log entry of type 2 has been written
// (except when every domain of the account has expired: text 57729, after the success line).
bool Login(RequestEnvironment& environment, std::string_view userName, std::string_view password,
           std::string& message);

// Ends the logged-in state: the key, randText and zones are dropped, the record is marked
// expired again, and status text 0 reads "<未登录>". The user name and password stay.
void Logout(RequestEnvironment& environment);

// The same with the process's environment.
bool Login(std::string_view userName, std::string_view password, std::string& message);
void Logout();

}  // namespace quorin::client
