// "userprofie.dat" may come from an earlier version, a hand edit or a crash: any bytes must
// load, a loaded set must save and load back unchanged, and storing one more profile must
// change that profile alone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "client/local/profile_file.h"
#include "platform/system_text.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

using quorin::client::DecodeProfiles;
using quorin::client::EncodeProfiles;
using quorin::client::kMaxProfiles;
using quorin::client::kProfileRecordSize;
using quorin::client::ProfileSet;
using quorin::client::UserProfile;

void Require(bool condition) {
  if (!condition)
    std::abort();
}

std::int32_t LittleEndian(std::string_view bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  return static_cast<std::int32_t>(value);
}

bool SameProfile(const UserProfile& a, const UserProfile& b) {
  return a.userName.str() == b.userName.str() && a.password.str() == b.password.str() &&
         a.savePassword == b.savePassword;
}

bool SameSet(const ProfileSet& a, const ProfileSet& b) {
  if (a.currentIndex != b.currentIndex || a.count != b.count)
    return false;
  for (std::size_t i = 0; i < kMaxProfiles; ++i) {
    if (!SameProfile(a.profiles[i], b.profiles[i]))
      return false;
  }
  return true;
}

// A text field as the file can hold it: up to its first zero byte.
std::string FieldText(std::string_view bytes) {
  return std::string(bytes.substr(0, bytes.find('\0')));
}

// The file's fields are in the system code page and the profiles hold UTF-8. Bytes come back
// as they were only where the code page maps them both ways: any bytes on POSIX, where the
// two are the same; on Windows not, for instance, a lone lead byte of a double-byte page.
bool RoundTrips(std::string_view bytes) {
  const auto back =
      quorin::platform::SystemTextFromUtf8(quorin::platform::Utf8FromSystemText(bytes));
  return back && *back == bytes;
}

// A profile's text in the file's form; nothing when the code page cannot write it.
std::optional<std::string> InFile(const std::string& text) {
  return quorin::platform::SystemTextFromUtf8(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const ProfileSet set = DecodeProfiles(bytes);

  // The shape follows the file's length: whole records after the index, at most ten.
  if (size < 4) {
    Require(set.count == 0 && set.currentIndex == -1);
  } else {
    Require(set.currentIndex == LittleEndian(bytes));
    const std::size_t records = (size - 4) / kProfileRecordSize;
    Require(static_cast<std::size_t>(set.count) == (records < kMaxProfiles ? records : 10));
  }
  bool allRoundTrip = true;
  for (std::size_t i = 0; i < kMaxProfiles; ++i) {
    const UserProfile& profile = set.profiles[i];
    if (static_cast<std::int32_t>(i) >= set.count) {
      Require(SameProfile(profile, UserProfile()));
      continue;
    }
    const std::string_view record = bytes.substr(4 + i * kProfileRecordSize, kProfileRecordSize);
    const std::string user = FieldText(record.substr(0, 127));
    const std::string password = FieldText(record.substr(128, 127));
    if (RoundTrips(user) && RoundTrips(password)) {
      Require(InFile(profile.userName.str()) == user);
      Require(InFile(profile.password.str()) == password);
    } else {
      allRoundTrip = false;
    }
    Require(profile.savePassword == LittleEndian(record.substr(256, 4)));
  }

  // What was loaded saves in the file's fixed size, and loads back unchanged where the code
  // page maps its texts both ways.
  const std::string encoded = EncodeProfiles(set);
  Require(encoded.size() == 4 + static_cast<std::size_t>(set.count) * kProfileRecordSize);
  Require(encoded.substr(0, 4) == std::string(bytes.substr(0, 4)) || size < 4);
  if (!allRoundTrip)
    return 0;
  const ProfileSet reloaded = DecodeProfiles(encoded);
  Require(SameSet(set, reloaded));
  Require(EncodeProfiles(reloaded) == encoded);

  // Storing a profile named by the input's last bytes changes that profile alone.
  const std::size_t tail = size < 24 ? size : 24;
  UserProfile extra;
  extra.userName = FieldText(bytes.substr(size - tail));
  extra.password = FieldText(bytes.substr(0, size / 2));
  extra.savePassword = size % 3 == 0 ? 1 : 0;
  const bool makeCurrent = size % 2 == 0;
  std::int32_t found = -1;
  for (std::int32_t i = 0; i < set.count && found < 0; ++i) {
    if (set.profiles[static_cast<std::size_t>(i)].userName.str() == extra.userName.str())
      found = i;
  }
  const ProfileSet merged = quorin::client::WithProfile(set, extra, makeCurrent);
  const std::int32_t index = found >= 0 ? found : (set.count < 10 ? set.count : 0);
  Require(merged.count == (found >= 0 || set.count == 10 ? set.count : set.count + 1));
  Require(merged.currentIndex == (makeCurrent ? index : set.currentIndex));
  for (std::size_t i = 0; i < kMaxProfiles; ++i) {
    const UserProfile& expected = static_cast<std::int32_t>(i) == index ? extra : set.profiles[i];
    Require(SameProfile(merged.profiles[i], expected));
  }
  const auto extraUser = InFile(extra.userName.str());
  const auto extraPassword = InFile(extra.password.str());
  if (extraUser && extraPassword && RoundTrips(*extraUser) && RoundTrips(*extraPassword))
    Require(SameSet(DecodeProfiles(EncodeProfiles(merged)), merged));
  return 0;
}
