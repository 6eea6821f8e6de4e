// A settings key's file may be edited by hand: any text must read, be written back unchanged,
// and take a change of one value without touching any other line. Every name and text must
// survive the line form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/text_tools.h"
#include "platform/posix/file_settings_store.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

using quorin::platform::DecodeStoreLine;
using quorin::platform::EncodeStoreLine;
using quorin::platform::FindStoreValue;
using quorin::platform::StoreFileLines;

constexpr std::size_t kNamesChecked = 16;

void Require(bool condition) {
  if (!condition)
    std::abort();
}

struct Parts {
  std::vector<std::string> valueNames;  // in file order
  std::vector<std::string> otherLines;  // lines that are not values, as they are
};

Parts Split(std::string_view content) {
  Parts parts;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos)
      end = content.size();
    const std::string_view line = content.substr(start, end - start);
    std::string name, text;
    if (DecodeStoreLine(line, name, text))
      parts.valueNames.push_back(name);
    else
      parts.otherLines.emplace_back(line);
    start = end + 1;
  }
  return parts;
}

// The values of the first names, to compare before and after a change of another one.
std::vector<std::optional<std::string>> ValuesOf(std::string_view content,
                                                 const std::vector<std::string>& names) {
  std::vector<std::optional<std::string>> values;
  for (std::size_t i = 0; i < names.size() && i < kNamesChecked; ++i)
    values.push_back(FindStoreValue(content, names[i]));
  return values;
}

void CheckOthersUnchanged(const std::vector<std::string>& names,
                          const std::vector<std::optional<std::string>>& before,
                          std::string_view after, std::string_view changed) {
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (!quorin::EqualsIgnoreCase(names[i], changed))
      Require(FindStoreValue(after, names[i]) == before[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // One line of the input: what decodes encodes to a line that decodes to the same.
  std::string name, text;
  if (DecodeStoreLine(input.substr(0, input.find('\n')), name, text)) {
    Require(!name.empty());
    const std::string line = EncodeStoreLine(name, text);
    Require(line.find_first_of("\r\n") == std::string::npos);
    std::string name2, text2;
    Require(DecodeStoreLine(line, name2, text2) && name2 == name && text2 == text);
  }

  // Any name and text, split at the first zero byte, survive the line form whole.
  const std::size_t split = input.find('\0');
  const std::string_view newName = input.substr(0, split);
  const std::string_view newText =
      split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
  const std::string encoded = EncodeStoreLine(newName, newText);
  Require(encoded.find_first_of("\r\n") == std::string::npos);
  std::string decodedName, decodedText;
  Require(DecodeStoreLine(encoded, decodedName, decodedText) == !newName.empty());
  if (!newName.empty())
    Require(decodedName == newName && decodedText == newText);

  // The whole input as a key's file: written back as it was read.
  StoreFileLines lines(input);
  const std::string written = lines.Text();
  Require(written == std::string(input) + (input.empty() || input.back() == '\n' ? "" : "\n"));
  const Parts parts = Split(input);
  const auto before = ValuesOf(input, parts.valueNames);
  for (std::size_t i = 0; i < before.size(); ++i)
    Require(lines.Find(parts.valueNames[i]) == before[i]);

  // A change of one value: that value reads as set, every other value and line stays.
  const std::string changedName = parts.valueNames.empty()
                                      ? std::string(newName)
                                      : parts.valueNames[size % parts.valueNames.size()];
  if (lines.Set(changedName, newText)) {
    Require(!changedName.empty());
    const std::string afterSet = lines.Text();
    Require(lines.Find(changedName) == std::string(newText));
    Require(FindStoreValue(afterSet, changedName) == std::string(newText));
    CheckOthersUnchanged(parts.valueNames, before, afterSet, changedName);
    Require(Split(afterSet).otherLines == parts.otherLines);
  } else {
    Require(changedName.empty());
  }
  StoreFileLines removing(input);
  const bool removed = removing.Remove(changedName);
  Require(removed == FindStoreValue(input, changedName).has_value());
  const std::string afterRemove = removing.Text();
  Require(!FindStoreValue(afterRemove, changedName).has_value());
  CheckOthersUnchanged(parts.valueNames, before, afterRemove, changedName);
  Require(Split(afterRemove).otherLines == parts.otherLines);
  return 0;
}
