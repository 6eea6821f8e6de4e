// A line-by-line record of what the client asked of the shell: icons added to the notification
// area, the pop-up menu it tracked, the web addresses and files it opened, the HTML pages it
// showed. It is kept only when the environment variable "QUORINFREE_ACTIVITY_RECORD" names a
// file; then addresses and pages are written down instead of being opened, so that the tests
// of the installed client need neither a browser nor a readable notification area.
#pragma once

#include <string_view>

namespace quorin::client {

// Reads the environment at start-up; with a record file, replaces the shell-open and HTML-page
// functions with ones that only write their arguments down.
void StartActivityRecordFromEnvironment();

bool ActivityRecordOn();
// Appends `line` and a line feed to the record; does nothing without one.
void RecordActivity(std::string_view line);

}  // namespace quorin::client
