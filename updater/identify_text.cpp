#include "updater/identify_text.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace quorin::updater {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsCPrint(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x20 && byte < 0x7f;
}
bool IsCAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

IdentifyWords IdentifyWordsFrom(const std::uint8_t* bytes) {
  IdentifyWords words{};
  for (std::size_t i = 0; i < words.size(); ++i) {
    words[i] = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return words;
}

std::string IdentifyText(const IdentifyWords& words, std::size_t first, std::size_t last) {
  std::string buffer;
  for (std::size_t i = first; i <= last && i < words.size(); ++i) {
    buffer += static_cast<char>(words[i] >> 8);
    buffer += static_cast<char>(words[i] & 0xff);
  }
  // The text ends at its first NUL; the blanks before it are cut, down to the second character.
  buffer.resize(std::min(buffer.size(), buffer.find('\0')));
  std::size_t end = buffer.size();
  while (end > 1 && IsCSpace(buffer[end - 1]))
    --end;
  buffer.resize(end);
  return buffer;
}

std::string IdentifySerial(const IdentifyWords& words) {
  return IdentifyText(words, 10, 19);
}
std::string IdentifyModel(const IdentifyWords& words) {
  return IdentifyText(words, 27, 46);
}

std::string DescriptorText(const std::uint8_t* descriptor, std::size_t size, std::int64_t offset,
                           bool swapPairs) {
  if (offset <= 0 || static_cast<std::uint64_t>(offset) >= size)
    return std::string();
  const std::size_t start = static_cast<std::size_t>(offset);
  std::size_t length = 0;
  while (start + length < size && descriptor[start + length] != 0)
    ++length;
  const auto at = [&](std::size_t i) { return static_cast<char>(descriptor[start + i]); };

  // Room for every character, the terminator and the pair swap's reach past it.
  std::vector<char> buffer(length + 2, '\0');
  std::size_t count = 0;
  bool ok = true;
  int digits = 0;
  for (std::size_t i = 0; i < length; ++i) {
    char c = at(i);
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    if (IsCSpace(c))
      c = '0';
    int value = -1;
    if (c >= '0' && c <= '9')
      value = c - '0';
    if (c >= 'a' && c <= 'f')
      value = c - 'a' + 10;
    if (value < 0) {
      ok = false;
      break;
    }
    ++digits;
    buffer[count] = static_cast<char>((static_cast<unsigned char>(buffer[count]) << 4) | value);
    if (digits == 2) {
      if (buffer[count] != '\0' && !IsCPrint(buffer[count])) {
        ok = false;
        break;
      }
      ++count;
      digits = 0;
      buffer[count] = '\0';
    }
  }
  if (!ok) {
    ok = true;
    count = 0;
    for (std::size_t i = 0; i < length; ++i) {
      if (!IsCPrint(at(i))) {
        ok = false;
        break;
      }
      buffer[count++] = at(i);
    }
  }
  if (!ok)
    count = 0;
  buffer[count] = '\0';
  // A decoded 0 byte ends the text, so the pair swap stops there too: "4142004344" is "BA".
  count = std::min(
      count, static_cast<std::size_t>(std::find(buffer.begin(), buffer.begin() + count, '\0') -
                                      buffer.begin()));
  if (swapPairs) {
    for (std::size_t j = 0; j < count; j += 2)
      std::swap(buffer[j], buffer[j + 1]);
  }
  // From here on the text is what precedes the first NUL (a decoded 0 byte ends it).
  std::string text(buffer.data());
  std::size_t first = 0;
  std::size_t end = text.size();
  while (first < end && IsCSpace(text[first]))
    ++first;
  while (end > first && IsCSpace(text[end - 1]))
    --end;
  return text.substr(first, end - first);
}

bool IsAcceptableSerial(std::string_view serial) {
  return (!serial.empty() && IsCAlnum(serial[0])) || (serial.size() > 19 && IsCAlnum(serial[19]));
}

}  // namespace quorin::updater
