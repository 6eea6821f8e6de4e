// The client's resource strings, looked up by their numbers. The windowed client reads them
// from its resource library; programs without it use the built-in English table.
#pragma once

#include <string>

namespace quorin::client {

// Numbers of the strings the client's code names.
namespace text_id {
inline constexpr unsigned kStatusSaved = 57677;
inline constexpr unsigned kLogColumnMessage = 57678;
inline constexpr unsigned kLogColumnTime = 57679;
inline constexpr unsigned kEnterAccountName = 57680;
inline constexpr unsigned kEnterPassword = 57681;
inline constexpr unsigned kButtonOk = 57682;
inline constexpr unsigned kButtonCancel = 57683;
inline constexpr unsigned kButtonYes = 57684;
inline constexpr unsigned kButtonNo = 57685;
inline constexpr unsigned kChooseDialEntry = 57686;
inline constexpr unsigned kUpdateTitle = 57691;
inline constexpr unsigned kUpdateDownloading = 57692;
inline constexpr unsigned kUpdateCancelled = 57693;
inline constexpr unsigned kUpdateReady = 57694;
inline constexpr unsigned kAddressPending = 57695;
inline constexpr unsigned kAddressNone = 57696;
inline constexpr unsigned kBehindRouter = 57697;
inline constexpr unsigned kDirectAddress = 57698;
inline constexpr unsigned kStatusNoAddress = 57699;
inline constexpr unsigned kLogNoAddress = 57700;
inline constexpr unsigned kUpdateNoFiles = 57701;
inline constexpr unsigned kServerUnreachable = 57704;
inline constexpr unsigned kLogLoggedOut = 57707;
inline constexpr unsigned kLogLoggedIn = 57708;
inline constexpr unsigned kWrongFileSize = 57710;
inline constexpr unsigned kReply00 = 57711;
inline constexpr unsigned kReply01 = 57712;
inline constexpr unsigned kReply04 = 57713;
inline constexpr unsigned kReply99 = 57714;
inline constexpr unsigned kReply02 = 57715;
inline constexpr unsigned kReply03 = 57716;
inline constexpr unsigned kProductTitleFormat = 57717;
inline constexpr unsigned kAutoUpdateText = 57728;
inline constexpr unsigned kAccountExpired = 57729;
inline constexpr unsigned kConfirmExit = 57730;
inline constexpr unsigned kUpdateRefused = 57731;
inline constexpr unsigned kUpdateBatchFailed = 57741;
}  // namespace text_id

class StringTable {
 public:
  virtual ~StringTable() = default;
  // The text of a string; empty when the table has none of that number.
  virtual std::string Load(unsigned id) const = 0;
};

// The client's strings in English, for programs that have no resource library.
class BuiltinStringTable : public StringTable {
 public:
  std::string Load(unsigned id) const override;
};

}  // namespace quorin::client
