// The waiting side of the updater's notification, as a small program: it builds the block and
// event names from the updater's folder and a session number, opens (or creates) them, waits for
// the event and prints what it found.
//
//   brenwick_wait [--session N] [--timeout MS] [--ready FILE] [--open-only] [--names] FOLDER
//
// FOLDER is the folder of the updater's program file (a missing trailing separator is added).
// --session defaults to this process's own session number, --timeout to 60000 ms. --ready
// writes FILE once the block and event exist, so a script knows when to start the updater.
// --open-only opens an existing block without creating or waiting. --names prints the names
// and stops. Output lines: "block=<name>", "event=<name>", then "result=signalled" or
// "result=timeout", then "magic=0x12345678" and "flag=<n>".
// Exit status: 0 signalled (or the block exists, with --open-only), 1 time-out, 2 bad
// arguments, 3 no block.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quorin::updater {

int RunWaiter(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace quorin::updater
