#include "client/headless/password_input.h"

#include <cerrno>
#include <system_error>

#include "platform/secret_input.h"
#include "platform/stdio_file.h"

namespace quorin::client {
namespace {

// Turns the outcome of a line read into the password or a reason naming `source`.
bool Accept(platform::LineRead read, const std::string& source, std::size_t maxLength,
            std::string& password, std::string& problem) {
  switch (read) {
    case platform::LineRead::kLine:
      if (!password.empty())
        return true;
      problem = source + ": the password is empty";
      return false;
    case platform::LineRead::kNothing:
      problem = source + ": no password";
      return false;
    case platform::LineRead::kTooLong:
      problem =
          source + ": the password is longer than " + std::to_string(maxLength) + " characters";
      return false;
    case platform::LineRead::kFailed:
      break;
  }
  problem = "cannot read the password from " + source;
  return false;
}

}  // namespace

bool ReadPasswordFile(const std::string& path, std::size_t maxLength, std::string& password,
                      std::string& problem) {
  password.clear();
  const std::string source = "\"" + path + "\"";
  const platform::StdioFile file = platform::OpenStdioFile(path, "rb");
  if (!file) {
    const int error = errno;
    problem = "cannot open the password file " + source + ": " +
              std::error_code(error, std::generic_category()).message();
    return false;
  }
  return Accept(platform::ReadFirstLine(file.get(), maxLength, password), source, maxLength,
                password, problem);
}

bool ReadPasswordFromInput(const std::string& prompt, std::size_t maxLength, std::string& password,
                           std::string& problem) {
  password.clear();
  bool fromTerminal = false;
  const platform::LineRead read =
      platform::ReadSecretLine(prompt, maxLength, password, fromTerminal);
  return Accept(read, fromTerminal ? "the terminal" : "standard input", maxLength, password,
                problem);
}

}  // namespace quorin::client
