// No remote-access phone book outside Windows: there is nothing to choose.
#include "platform/phone_book.h"

namespace quorin::platform {

std::vector<std::string> PhoneBookEntries() {
  return {};
}

}  // namespace quorin::platform
