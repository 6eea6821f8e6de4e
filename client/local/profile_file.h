// The accounts remembered on this machine: "userprofie.dat" beside the program, up to ten
// profiles of a user name and, when the user asked for it, the password in plain text, and
// the index of the profile used last.
//
// File layout (little-endian, no header beyond the index):
//   offset 0            int32  currentIndex (-1: none marked)
//   offset 4 + 260 * i  profile i: userName[128], password[128] (NUL-terminated, zero-filled),
//                       int32 savePassword (1: remember the password)
// Whole records only; at most ten are read, a trailing partial record is ignored.
//
// Every call reads the file afresh; SaveProfile replaces it whole and atomically, readable by
// its owner only on POSIX since it holds passwords. The console client, the windowed client and
// the service may save at once: each read-modify-write holds the lock file "<path>.lock", so
// no save loses another's profile, and a file that exists but cannot be read is never replaced.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system_bounded_text.h"

namespace quorin::client {

inline constexpr std::string_view kProfileFileName = "userprofie.dat";
inline constexpr std::size_t kMaxProfiles = 10;
inline constexpr std::size_t kProfileRecordSize = 260;
// The longest user name or password a profile holds (its fields are NUL-terminated).
inline constexpr std::size_t kMaxProfileTextLength = 127;

struct UserProfile {
  platform::SystemBoundedText<128> userName;
  platform::SystemBoundedText<128> password;  // empty while none was stored
  std::int32_t savePassword = 0;
};

struct ProfileSet {
  std::int32_t currentIndex = -1;
  std::int32_t count = 0;  // 0 to 10
  std::array<UserProfile, kMaxProfiles> profiles;
};

// The profiles in the file; a missing or short file gives an empty set. Never fails.
ProfileSet LoadProfiles(const std::string& path);

// Stores `profile` in the file as WithProfile does. False when the file could not be read or
// written; the old file is then left as it was.
bool SaveProfile(const std::string& path, const UserProfile& profile, bool makeCurrent);

// `set` with `profile` stored: it replaces the profile whose user name matches exactly (letter
// case counts), else it is appended, else (ten stored) it replaces profile 0. With
// `makeCurrent` its index becomes the current one.
ProfileSet WithProfile(ProfileSet set, const UserProfile& profile, bool makeCurrent);

// The first profile whose user name equals `userName` regardless of letter case.
std::optional<UserProfile> FindProfile(const std::string& path, std::string_view userName);

// Records a successful login as the windowed client's login does: the profile of that user
// (found regardless of letter case, as FindProfile finds it, else a new one without password)
// takes `rememberPassword` as its savePassword flag and, when it is set, the password; a
// cleared flag leaves an earlier stored password in place. The profile becomes the current
// one. One read-modify-write under the file's lock. False as SaveProfile.
bool SaveLoginProfile(const std::string& path, std::string_view userName, std::string_view password,
                      bool rememberPassword);

// `set` with the login recorded as SaveLoginProfile records it.
ProfileSet WithLoginProfile(const ProfileSet& set, std::string_view userName,
                            std::string_view password, bool rememberPassword);

// The index of the profile that `userName` names: the first whose name matches exactly, else
// the first that matches regardless of letter case; -1 when none does.
std::int32_t ProfileIndexOf(const ProfileSet& set, std::string_view userName);

// `set` without profile `index`; the profiles behind it move up one place. The current index
// follows its profile; when the removed profile was the current one (or none was current) no
// profile is current afterwards: another account never becomes current unasked, since the
// service logs in with the current profile.
ProfileSet WithoutProfile(ProfileSet set, std::int32_t index);

enum class ForgetResult {
  kForgotten,         // removed; it was not the current profile
  kForgottenCurrent,  // removed; it was the current profile
  kNotFound,          // no profile has that user name; the file is unchanged
  kFileError,         // the file could not be read or written; it is unchanged
};

// Removes the profile that `userName` names (see ProfileIndexOf) from the file, password and
// all. One read-modify-write under the file's lock.
ForgetResult ForgetProfile(const std::string& path, std::string_view userName);

// The profile marked current, when the index names a stored profile.
std::optional<UserProfile> CurrentProfile(const ProfileSet& set);

// The file's bytes for a set, and a set read from bytes (as LoadProfiles reads the file).
std::string EncodeProfiles(const ProfileSet& set);
ProfileSet DecodeProfiles(std::string_view bytes);

// The file as it is, to be put back later: its bytes, or nothing when there is no file. The
// service switch takes one before it stores the account for a registration that may not happen.
struct ProfileFileSnapshot {
  bool readable = false;  // false when the file exists but could not be read
  std::optional<std::string> bytes;
};
ProfileFileSnapshot TakeProfileSnapshot(const std::string& path);
// Puts the file back as the snapshot found it (removed when there was none), under the file's
// lock. Does nothing, and returns false, for a snapshot of a file that could not be read.
bool RestoreProfileSnapshot(const std::string& path, const ProfileFileSnapshot& snapshot);

// "userprofie.dat" in the program's directory.
std::string DefaultProfilePath();

}  // namespace quorin::client
