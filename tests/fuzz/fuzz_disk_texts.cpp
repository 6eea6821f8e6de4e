// Disk drivers hand back whatever bytes they like: the IDENTIFY words, the storage descriptor's
// texts at the offsets it names, and the probes that read them must take any bytes. The input
// is a storage descriptor (its serial and model offsets where Windows puts them), its first 512
// bytes an IDENTIFY answer, and every answer of a fake driver in a full probe run.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_target.h"
#include "updater/disk_identity.h"
#include "updater/identify_text.h"

namespace {

using quorin::updater::IsCPrint;
using quorin::updater::IsCSpace;

void Check(bool condition) {
  if (!condition)
    std::abort();
}

std::string Trim(std::string_view text) {
  while (!text.empty() && IsCSpace(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsCSpace(text.back()))
    text.remove_suffix(1);
  return std::string(text);
}

bool IsHexForm(char c) {
  return IsCSpace(c) || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::int64_t OffsetAt(const std::vector<std::uint8_t>& bytes, std::size_t field) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value |= static_cast<std::uint32_t>(bytes[field + i]) << (8 * i);
  return static_cast<std::int32_t>(value);
}

void CheckDescriptorText(const std::uint8_t* descriptor, std::size_t size, std::int64_t offset) {
  const std::string plain = quorin::updater::DescriptorText(descriptor, size, offset, false);
  const std::string swapped = quorin::updater::DescriptorText(descriptor, size, offset, true);
  for (const std::string* text : {&plain, &swapped}) {
    Check(Trim(*text) == *text);  // blanks at both ends are cut
    for (const char c : *text)
      Check(IsCPrint(c));  // a hex form decodes to printable bytes only, text must be printable
  }
  if (offset <= 0 || static_cast<std::uint64_t>(offset) >= size) {
    Check(plain.empty() && swapped.empty());
    return;
  }
  const std::size_t start = static_cast<std::size_t>(offset);
  std::size_t length = 0;
  while (start + length < size && descriptor[start + length] != 0)
    ++length;
  const std::string_view raw(reinterpret_cast<const char*>(descriptor + start), length);
  Check(plain.size() <= raw.size() && swapped.size() <= raw.size());
  if (std::all_of(raw.begin(), raw.end(), IsHexForm)) {
    // Two digits make one character, unless a byte was not printable and the characters
    // themselves were taken.
    Check(plain.size() <= raw.size() / 2 || plain == Trim(raw));
    return;
  }
  // Not a hex form: the characters themselves, if every one is printable.
  if (!std::all_of(raw.begin(), raw.end(), IsCPrint)) {
    Check(plain.empty() && swapped.empty());
    return;
  }
  Check(plain == Trim(raw));
  std::string exchanged(raw);
  for (std::size_t i = 0; i + 1 < exchanged.size(); i += 2)
    std::swap(exchanged[i], exchanged[i + 1]);
  if (exchanged.size() % 2 == 1)
    exchanged.pop_back();  // changed places with the terminator
  Check(swapped == Trim(exchanged));
}

void CheckIdentifyTexts(const std::vector<std::uint8_t>& block) {
  const auto words = quorin::updater::IdentifyWordsFrom(block.data());
  for (const auto& [first, last] : {std::pair<std::size_t, std::size_t>{10, 19}, {27, 46}}) {
    const std::string text = quorin::updater::IdentifyText(words, first, last);
    std::string raw;
    for (std::size_t i = first; i <= last; ++i) {
      raw += static_cast<char>(block[2 * i + 1]);  // the high byte first
      raw += static_cast<char>(block[2 * i]);
    }
    Check(text.size() <= raw.size());
    Check(text.find('\0') == std::string::npos);
    Check(raw.compare(0, text.size(), text) == 0);  // a beginning of the raw characters
    if (text.size() > 1)
      Check(!IsCSpace(text.back()));  // trimmed after the cut at the first NUL
  }
  Check(quorin::updater::IdentifySerial(words) == quorin::updater::IdentifyText(words, 10, 19));
}

// A driver that opens every device and answers every request with the input's bytes.
class InputDrivers : public quorin::platform::DiskProbeFacility {
 public:
  InputDrivers(quorin::platform::SystemFamily family, std::string_view answer, bool failSome)
      : family_(family), answer_(answer), failSome_(failSome) {}

  quorin::platform::SystemFamily Family() override { return family_; }
  std::unique_ptr<quorin::platform::ProbeDevice> OpenDevice(
      const quorin::platform::DeviceOpenRequest&) override {
    return std::make_unique<Device>(*this);
  }
  void SetRealTimePriority(bool realTime) override {
    Check(realTime != realTime_);  // raised and lowered in pairs
    realTime_ = realTime;
  }
  std::vector<quorin::platform::SystemDisk> ListDisks() override {
    return {{std::string(answer_.substr(0, answer_.size() / 2)),
             std::string(answer_.substr(answer_.size() / 2))}};
  }
  bool realTime() const { return realTime_; }

 private:
  class Device : public quorin::platform::ProbeDevice {
   public:
    explicit Device(InputDrivers& owner) : owner_(owner) {}
    bool Control(std::uint32_t, const void*, std::uint32_t, void* out,
                 std::uint32_t outSize) override {
      // Every other request fails when asked to, so that all probes are reached.
      if (owner_.failSome_ && (owner_.calls_++ % 2) == 1)
        return false;
      const std::size_t take = std::min<std::size_t>(outSize, owner_.answer_.size());
      std::memcpy(out, owner_.answer_.data(), take);
      return true;
    }

   private:
    InputDrivers& owner_;
  };

  quorin::platform::SystemFamily family_;
  std::string_view answer_;
  bool failSome_;
  bool realTime_ = false;
  std::size_t calls_ = 0;
};

void CheckProbeRun(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return;
  const auto family = static_cast<quorin::platform::SystemFamily>(data[0] % 3);
  const std::string_view answer(reinterpret_cast<const char*>(data), size);
  InputDrivers drivers(family, answer, (data[0] & 0x10) != 0);
  const quorin::updater::DiskIdentity identity = quorin::updater::FindDiskIdentity(drivers);
  Check(!drivers.realTime());
  Check(identity.serial.size() <= quorin::updater::kMaxDiskText);
  Check(identity.model.size() <= quorin::updater::kMaxDiskText);
  // Both texts come from one accepted disk, or there is none.
  if (identity.serial.empty())
    Check(identity.model.empty());
  else
    Check(quorin::updater::IsAcceptableSerial(identity.serial));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Probe 3 reads its offsets at bytes 16 and 24 of the descriptor; a small offset from the
  // first byte lets mutations reach the texts without finding the fields first.
  std::vector<std::uint8_t> padded(data, data + size);
  padded.resize(std::max<std::size_t>(size, 512), 0);
  CheckDescriptorText(data, size, OffsetAt(padded, 16));
  CheckDescriptorText(data, size, OffsetAt(padded, 24));
  CheckDescriptorText(data, size, size == 0 ? 0 : data[0]);
  CheckIdentifyTexts(padded);
  CheckProbeRun(data, size);
  return 0;
}
