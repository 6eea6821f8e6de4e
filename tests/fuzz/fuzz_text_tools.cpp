// Server replies and hand-edited files reach the text tools and the tokenizer: any bytes must
// pass without a fault, and no result may be longer than its input.
#include <cstdlib>
#include <string>

#include "client/texts/text_tokenizer.h"
#include "common/text_tools.h"
#include "tests/fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  quorin::client::TextTokenizer tokenizer(text, '|');
  std::size_t total = 0;
  int tokens = 0;
  while (tokenizer.HasMore()) {
    total += tokenizer.Next().size();
    if (++tokens > 1024)
      std::abort();  // the tokenizer must always move on
  }
  if (total > text.size())
    std::abort();
  if (quorin::TrimText(text).size() > text.size())
    std::abort();
  if (quorin::CutText(text, size / 2).size() > size / 2)
    std::abort();
  (void)quorin::AtoiReading(text);
  return 0;
}
