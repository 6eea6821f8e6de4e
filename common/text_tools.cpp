#include "common/text_tools.h"

#include <algorithm>

namespace quorin {
namespace {

bool IsTrimmed(char c) {
  return c == ' ' || c == '\r' || c == '\n';
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Number of bytes a UTF-8 sequence starting with `lead` occupies; 0 for a continuation byte
// or a byte that cannot start a sequence.
std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80)
    return 1;
  if ((lead & 0xE0) == 0xC0)
    return 2;
  if ((lead & 0xF0) == 0xE0)
    return 3;
  if ((lead & 0xF8) == 0xF0)
    return 4;
  return 0;
}

}  // namespace

std::string TrimText(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsTrimmed(text[begin]))
    ++begin;
  while (end > begin && IsTrimmed(text[end - 1]))
    --end;
  return std::string(text.substr(begin, end - begin));
}

std::string ReplaceChar(std::string_view text, char from, char to) {
  std::string result(text);
  std::replace(result.begin(), result.end(), from, to);
  return result;
}

std::string DirectoryOf(std::string_view path) {
  const std::size_t slash = path.rfind('\\');
  if (slash == std::string_view::npos)
    return std::string();
  return std::string(path.substr(0, slash));
}

std::string CutText(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes)
    return std::string(text);
  std::size_t cut = maxBytes;
  // Walk back over continuation bytes to the lead byte of the last sequence; drop that
  // sequence when it does not fit completely.
  std::size_t lead = cut;
  while (lead > 0 && lead + 4 > cut &&
         (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) {
    --lead;
  }
  if (lead > 0) {
    const std::size_t length = Utf8SequenceLength(static_cast<unsigned char>(text[lead - 1]));
    if (length > 1 && (lead - 1) + length > cut)
      cut = lead - 1;
  }
  return std::string(text.substr(0, cut));
}

std::string CutDoubleByteText(std::string_view bytes, std::size_t maxBytes,
                              bool (*isLeadByte)(unsigned char)) {
  std::size_t end = 0;
  while (end < bytes.size()) {
    const bool pair = end + 1 < bytes.size() && isLeadByte(static_cast<unsigned char>(bytes[end]));
    const std::size_t next = end + (pair ? 2 : 1);
    if (next > maxBytes)
      break;
    end = next;
  }
  return std::string(bytes.substr(0, end));
}

std::int32_t AtoiReading(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint32_t value = 0;  // unsigned arithmetic wraps without undefined behaviour
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
  }
  if (negative)
    value = 0u - value;
  return static_cast<std::int32_t>(value);
}

std::string ToLowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
  return lower;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithIgnoreCase(a, b);
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size())
    return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != LowerAscii(prefix[i]))
      return false;
  }
  return true;
}

}  // namespace quorin
