#include "client/headless/status_printer.h"

#include "client/record/client_context.h"
#include "client/texts/format_time.h"

namespace quorin::client {

bool StatusPrinter::PrintIfChanged(const ClientContext& context,
                                   const platform::CalendarTime& now) {
  const std::array<std::string, 4> current = {
      context.StatusText(kStatusUser), context.StatusText(kStatusLine),
      context.StatusText(kStatusConnection), context.StatusText(kStatusAddress)};
  if (printed_ && current == last_)
    return false;
  const std::string time = FormatTimeMs("%Y-%m-%d %H:%M:%S", now, 32).value_or("");
  out_ << time << "  user: " << current[0] << "  status: " << current[1]
       << "  connection: " << current[2] << "  address: " << current[3] << std::endl;
  last_ = current;
  printed_ = true;
  return true;
}

}  // namespace quorin::client
