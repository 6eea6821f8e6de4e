// Texts that start-up copies once from the string table for the rest of the client: the
// eight ClientTexts slots and the DDNS host name.
#pragma once

#include <array>
#include <mutex>
#include <string>
#include <string_view>

#include "client/texts/string_table.h"
#include "common/bounded_text.h"

namespace quorin::client {

class ClientTexts {
 public:
  // The string numbers the table keeps.
  static constexpr std::array<unsigned, 8> kIds = {57704, 57705, 57706, 57707,
                                                   57708, 57709, 57710, 57729};

  void Fill(const StringTable& strings);
  // The text of one of the kept strings (cut to 127 characters); empty for any other number
  // or before Fill.
  std::string Get(unsigned id) const;

 private:
  mutable std::mutex mutex_;
  std::array<BoundedText<128>, kIds.size()> texts_;
};

ClientTexts& ProcessClientTexts();

// The copy of the primary update host taken at start-up (at most 127 characters), which
// connections try first.
void SetDdnsHostName(std::string_view host);
std::string DdnsHostName();

}  // namespace quorin::client
