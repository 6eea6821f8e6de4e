#include "client/texts/field_split.h"

namespace quorin::client {

std::vector<std::string_view> SplitFields(std::string_view text, char delimiter) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(delimiter, start);
    if (end == std::string_view::npos)
      end = text.size();
    fields.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

}  // namespace quorin::client
