// Just enough JSON for reading the provider simulator's control answers: objects, arrays,
// strings (with \u escapes), numbers, true, false and null.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorin::testing {

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;  // strings as UTF-8
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  // The member `name`, or a null value when there is none.
  const JsonValue& operator[](const std::string& name) const;
};

// Nothing when the text is not one whole JSON value.
std::optional<JsonValue> ParseJson(std::string_view text);

// Standard base64, as the simulator records exact bytes.
std::string DecodeBase64(std::string_view text);

}  // namespace quorin::testing
