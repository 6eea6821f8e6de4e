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
#include "platform/system_bounded_text.h"

namespace quorin::client {

inline constexpr std::size_t kMaxUserNameLength = 29;
inline constexpr std::size_t kMaxPasswordLength = 255;

// What a user reads when the account name or password holds characters that the system code
// page (the code page the servers and the files use) cannot write.
inline constexpr std::string_view kUnrepresentableAccountMessage =
    "\xE7\x94\xA8\xE6\x88\xB7\xE5\x90\x8D\xE6\x88\x96\xE5\xAF\x86\xE7\xA0\x81"
    "\xE5\x90\xAB\xE6\x9C\x89\xE6\x9C\xAC\xE7\xB3\xBB\xE7\xBB\x9F\xE6\x97\xA0"
    "\xE6\xB3\x95\xE8\xA1\xA8\xE7\xA4\xBA\xE7\x9A\x84\xE5\xAD\x97\xE7\xAC\xA6"
    "\xE3\x80\x82\n"  // 用户名或密码含有本系统无法表示的字符。
    "The user name or password holds characters that this system's code page cannot write.";

// True when the reply starts with two decimal digits.
bool ReplyHasCode(std::string_view reply);

// The key and randText of a login reply (its code already removed). Names match regardless
// of letter case; a later value overwrites an earlier one.
struct LoginValues {
  platform::SystemBoundedText<50> key;
  platform::SystemBoundedText<10> randText;
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

// The request path of a login, the user name and password in the system code page passed
// through EncodeParamBytes.
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
