#include <array>
#include <utility>

#include "client/texts/string_table.h"

namespace quorin::client {
namespace {

using Entry = std::pair<unsigned, const char*>;

constexpr std::array kBuiltinStrings = {
    Entry{text_id::kStatusSaved, "Address change saved"},
    Entry{text_id::kLogColumnMessage, "Event"},
    Entry{text_id::kLogColumnTime, "Time"},
    Entry{text_id::kEnterAccountName, "Please enter your account name."},
    Entry{text_id::kEnterPassword, "Please enter your password."},
    Entry{text_id::kButtonOk, "OK"},
    Entry{text_id::kButtonCancel, "Cancel"},
    Entry{text_id::kButtonYes, "Yes"},
    Entry{text_id::kButtonNo, "No"},
    Entry{text_id::kChooseDialEntry, "Please choose a dial-up connection first."},
    Entry{text_id::kUpdateTitle, "Updating QuorinFree"},
    Entry{text_id::kUpdateDownloading, "Downloading the new version..."},
    Entry{text_id::kUpdateCancelled, "The update was cancelled."},
    Entry{text_id::kUpdateReady,
          "The new version has been downloaded. QuorinFree now closes and starts again to install "
          "it."},
    Entry{text_id::kAddressPending, "Checking..."},
    Entry{text_id::kAddressNone, "No address"},
    Entry{text_id::kBehindRouter, "Behind a router"},
    Entry{text_id::kDirectAddress, "Public address"},
    Entry{text_id::kStatusNoAddress, "No public address found"},
    Entry{text_id::kLogNoAddress, "No public address could be found"},
    Entry{text_id::kUpdateNoFiles, "No new version is available."},
    Entry{text_id::kServerUnreachable, "Cannot reach the server. Please try again later."},
    Entry{57705, "Connecting to the server..."},
    Entry{57706, "Receiving the domain list..."},
    Entry{text_id::kLogLoggedOut, "Logged out"},
    Entry{text_id::kLogLoggedIn, "Logged in"},
    Entry{57709, "Saving changes..."},
    Entry{text_id::kWrongFileSize, "A downloaded file has the wrong size."},
    Entry{text_id::kReply00, "Success"},
    Entry{text_id::kReply01, "Wrong account name or password."},
    Entry{text_id::kReply04, "This client version is no longer supported. Please update."},
    Entry{text_id::kReply99, "The server is busy. Please try again later."},
    Entry{text_id::kReply02, "The account has been disabled."},
    Entry{text_id::kReply03, "The account has expired."},
    Entry{text_id::kProductTitleFormat, "QuorinFree %s"},
    Entry{text_id::kAutoUpdateText, "QuorinFree"},
    Entry{text_id::kAccountExpired, "All domains of this account have expired."},
    Entry{text_id::kConfirmExit, "Exit QuorinFree? Your domains will no longer be updated."},
    Entry{text_id::kUpdateRefused,
          "The update was refused: the server named a file or address that is not safe to use:"},
    Entry{text_id::kUpdateBatchFailed,
          "The new version was not installed and QuorinFree keeps the current one: it could not "
          "write or start the update batch"},
};

}  // namespace

std::string BuiltinStringTable::Load(unsigned id) const {
  for (const auto& [number, text] : kBuiltinStrings) {
    if (number == id)
      return text;
  }
  return std::string();
}

}  // namespace quorin::client
