// Prints the client's status as one line whenever it changed: the user, the status line, the
// connection kind and the current address, after the local time.
#pragma once

#include <array>
#include <ostream>
#include <string>

#include "platform/clock.h"

namespace quorin::client {

class ClientContext;

class StatusPrinter {
 public:
  explicit StatusPrinter(std::ostream& out) : out_(out) {}

  // Prints the record's status when it differs from the last one printed; true when it did.
  bool PrintIfChanged(const ClientContext& context, const platform::CalendarTime& now);

 private:
  std::ostream& out_;
  std::array<std::string, 4> last_;
  bool printed_ = false;
};

}  // namespace quorin::client
