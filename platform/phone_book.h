// The machine's dial-up connections: the names of the remote-access phone book's entries, in
// the order the system lists them. The settings dialog offers them as the entry to remember.
#pragma once

#include <string>
#include <vector>

namespace quorin::platform {

// The entries' names (UTF-8). An empty list when the system has no remote-access library, the
// library fails, or the machine has no entries: choosing an entry is optional.
std::vector<std::string> PhoneBookEntries();

}  // namespace quorin::platform
