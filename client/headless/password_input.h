// Where the console client takes a password from when not from its command line, so that no
// other user can read it in the process list: the first line of a file (--password-file, for
// instance a systemd credential), or standard input, typed without echo at a terminal.
#pragma once

#include <cstddef>
#include <string>

namespace quorin::client {

// The first line of the file at `path`, without its line end. False with a one-line reason
// when the file cannot be read, or its first line is empty or longer than `maxLength`.
bool ReadPasswordFile(const std::string& path, std::size_t maxLength, std::string& password,
                      std::string& problem);

// One line of standard input: typed after `prompt` without echo at a terminal, else the first
// line of what the pipe or file brings. False with a one-line reason as ReadPasswordFile.
bool ReadPasswordFromInput(const std::string& prompt, std::size_t maxLength, std::string& password,
                           std::string& problem);

}  // namespace quorin::client
