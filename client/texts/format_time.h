// Time texts for the log: strftime with one extension, a "%s" in the format stands for the
// milliseconds written with three digits ("%H:%M:%S.%s" gives 09:56:53.007).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace quorin::client {

// The formatted time, or nothing when it does not fit an output of `outputSize` bytes
// (terminating zero included) or is empty. With a "%s" in the format the output must also
// hold at least the format's length plus 3 bytes.
std::optional<std::string> FormatTimeMs(std::string_view format, const platform::CalendarTime& time,
                                        std::size_t outputSize);

}  // namespace quorin::client
