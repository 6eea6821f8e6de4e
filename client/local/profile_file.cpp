#include "client/local/profile_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/text_tools.h"
#include "platform/atomic_file.h"
#include "platform/file_lock.h"
#include "platform/program_path.h"
#include "platform/stdio_file.h"
#include "platform/system_text.h"

namespace quorin::client {
namespace {

constexpr std::size_t kIndexSize = 4;
constexpr std::size_t kTextFieldSize = 128;
constexpr std::size_t kMaxFileSize = kIndexSize + kMaxProfiles * kProfileRecordSize;

std::int32_t ReadInt32(std::string_view bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return static_cast<std::int32_t>(value);
}

void WriteInt32(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < 4; ++i)
    out += static_cast<char>((bits >> (8 * i)) & 0xFFu);
}

// A NUL-terminated field in the system code page (as earlier installations wrote it): the
// text up to its first zero byte, at most 127 bytes.
std::string ReadTextField(std::string_view field) {
  const std::size_t end = field.find('\0');
  return platform::Utf8FromSystemText(
      field.substr(0, end == std::string_view::npos ? kTextFieldSize - 1 : end));
}

void WriteTextField(std::string& out, std::string_view text) {
  // The profile's fields hold texts the code page can write (CanStoreInProfile), cut to 127
  // bytes of it by their type.
  const std::string bytes = platform::CutSystemText(
      platform::SystemTextFromUtf8(text).value_or(std::string()), kTextFieldSize - 1);
  out.append(bytes);
  out.append(kTextFieldSize - bytes.size(), '\0');
}

// A name or password that the system code page cannot write is never stored: its field would
// lose its characters, and the other programs would read another account.
bool CanStoreInProfile(std::string_view userName, std::string_view password) {
  return platform::FitsSystemCodePage(userName) && platform::FitsSystemCodePage(password);
}

std::string LockPath(const std::string& path) {
  return path + ".lock";
}

// The profiles in the file; an empty set when there is no file, nothing when the file exists
// but could not be read.
std::optional<ProfileSet> ReadProfileFile(const std::string& path) {
  std::error_code error;
  const bool exists = std::filesystem::exists(
      std::filesystem::path(std::u8string(path.begin(), path.end())), error);
  if (error)
    return std::nullopt;
  if (!exists)
    return ProfileSet();
  platform::StdioFile file = platform::OpenStdioFile(path, "rb");
  if (!file)
    return std::nullopt;
  // Bytes beyond the tenth record are never used, so no more are read.
  std::array<char, kMaxFileSize> buffer{};
  const std::size_t read = std::fread(buffer.data(), 1, buffer.size(), file.get());
  if (std::ferror(file.get()))
    return std::nullopt;
  return DecodeProfiles(std::string_view(buffer.data(), read));
}

// How many profiles a set holds, whatever its count field says.
std::int32_t StoredCount(const ProfileSet& set) {
  return std::clamp<std::int32_t>(set.count, 0, static_cast<std::int32_t>(kMaxProfiles));
}

std::optional<UserProfile> FindProfileIn(const ProfileSet& set, std::string_view userName) {
  for (std::int32_t i = 0; i < StoredCount(set); ++i) {
    const UserProfile& profile = set.profiles[static_cast<std::size_t>(i)];
    if (EqualsIgnoreCase(profile.userName.str(), userName))
      return profile;
  }
  return std::nullopt;
}

enum class FileChange { kWritten, kUnchanged, kFailed };

// One read-modify-write of the file under its lock. `change` returns the new set, or nothing
// to leave the file as it is.
template <typename Change>
FileChange ChangeProfileFile(const std::string& path, const Change& change) {
  const platform::FileLock lock =
      platform::FileLock::Acquire(LockPath(path), platform::FileLock::Mode::Exclusive);
  if (!lock)
    return FileChange::kFailed;
  // Every saver holds the lock while its temporary file exists: any found now was left by a
  // saver that was killed, and holds passwords.
  platform::RemoveStaleTemporaryFiles(path);
  const auto set = ReadProfileFile(path);
  // A file that could not be read would be replaced by one holding only the new profile.
  if (!set)
    return FileChange::kFailed;
  const std::optional<ProfileSet> changed = change(*set);
  if (!changed)
    return FileChange::kUnchanged;
  return platform::WriteFileAtomically(path, EncodeProfiles(*changed)) ? FileChange::kWritten
                                                                       : FileChange::kFailed;
}

}  // namespace

ProfileFileSnapshot TakeProfileSnapshot(const std::string& path) {
  const platform::FileLock lock =
      platform::FileLock::Acquire(LockPath(path), platform::FileLock::Mode::Shared, false);
  const std::filesystem::path file(std::u8string(path.begin(), path.end()));
  std::error_code error;
  if (!std::filesystem::exists(file, error))
    return ProfileFileSnapshot{!error, std::nullopt};
  platform::StdioFile stream = platform::OpenStdioFile(path, "rb");
  if (!stream)
    return ProfileFileSnapshot{};
  std::string bytes;
  std::array<char, 4096> buffer{};
  std::size_t read = 0;
  // The file is small; a larger one (never written by this client) is kept whole all the same.
  while ((read = std::fread(buffer.data(), 1, buffer.size(), stream.get())) > 0)
    bytes.append(buffer.data(), read);
  if (std::ferror(stream.get()))
    return ProfileFileSnapshot{};
  return ProfileFileSnapshot{true, std::move(bytes)};
}

bool RestoreProfileSnapshot(const std::string& path, const ProfileFileSnapshot& snapshot) {
  if (!snapshot.readable)
    return false;
  const platform::FileLock lock =
      platform::FileLock::Acquire(LockPath(path), platform::FileLock::Mode::Exclusive);
  if (!lock)
    return false;
  if (snapshot.bytes)
    return platform::WriteFileAtomically(path, *snapshot.bytes);
  std::error_code error;
  std::filesystem::remove(std::filesystem::path(std::u8string(path.begin(), path.end())), error);
  return !error;
}

ProfileSet DecodeProfiles(std::string_view bytes) {
  ProfileSet set;
  if (bytes.size() < kIndexSize)
    return set;
  set.currentIndex = ReadInt32(bytes);
  bytes.remove_prefix(kIndexSize);
  while (bytes.size() >= kProfileRecordSize &&
         set.count < static_cast<std::int32_t>(kMaxProfiles)) {
    UserProfile& profile = set.profiles[static_cast<std::size_t>(set.count)];
    profile.userName = ReadTextField(bytes.substr(0, kTextFieldSize));
    profile.password = ReadTextField(bytes.substr(kTextFieldSize, kTextFieldSize));
    profile.savePassword = ReadInt32(bytes.substr(2 * kTextFieldSize, 4));
    ++set.count;
    bytes.remove_prefix(kProfileRecordSize);
  }
  return set;
}

std::string EncodeProfiles(const ProfileSet& set) {
  std::string out;
  out.reserve(kMaxFileSize);
  WriteInt32(out, set.currentIndex);
  for (std::int32_t i = 0; i < set.count && i < static_cast<std::int32_t>(kMaxProfiles); ++i) {
    const UserProfile& profile = set.profiles[static_cast<std::size_t>(i)];
    WriteTextField(out, profile.userName);
    WriteTextField(out, profile.password);
    WriteInt32(out, profile.savePassword);
  }
  return out;
}

ProfileSet LoadProfiles(const std::string& path) {
  // Windows cannot replace a file that a reader holds open, so a reader waits for a save in
  // progress and a save for the readers. No lock file yet means no save has ever run.
  const platform::FileLock lock =
      platform::FileLock::Acquire(LockPath(path), platform::FileLock::Mode::Shared, false);
  return ReadProfileFile(path).value_or(ProfileSet());
}

bool SaveProfile(const std::string& path, const UserProfile& profile, bool makeCurrent) {
  if (!CanStoreInProfile(profile.userName, profile.password))
    return false;
  return ChangeProfileFile(path, [&](const ProfileSet& set) {
           return std::optional(WithProfile(set, profile, makeCurrent));
         }) == FileChange::kWritten;
}

bool SaveLoginProfile(const std::string& path, std::string_view userName, std::string_view password,
                      bool rememberPassword) {
  if (!CanStoreInProfile(userName, rememberPassword ? password : std::string_view()))
    return false;
  return ChangeProfileFile(path, [&](const ProfileSet& set) {
           return std::optional(WithLoginProfile(set, userName, password, rememberPassword));
         }) == FileChange::kWritten;
}

ProfileSet WithLoginProfile(const ProfileSet& set, std::string_view userName,
                            std::string_view password, bool rememberPassword) {
  std::optional<UserProfile> stored = FindProfileIn(set, userName);
  UserProfile profile;
  if (stored) {
    profile = *stored;
  } else {
    profile.userName = userName;
  }
  profile.savePassword = rememberPassword ? 1 : 0;
  if (rememberPassword)
    profile.password = password;
  return WithProfile(set, profile, true);
}

std::int32_t ProfileIndexOf(const ProfileSet& set, std::string_view userName) {
  const std::int32_t count = StoredCount(set);
  for (std::int32_t i = 0; i < count; ++i) {
    if (set.profiles[static_cast<std::size_t>(i)].userName.str() == userName)
      return i;
  }
  for (std::int32_t i = 0; i < count; ++i) {
    if (EqualsIgnoreCase(set.profiles[static_cast<std::size_t>(i)].userName.str(), userName))
      return i;
  }
  return -1;
}

ProfileSet WithoutProfile(ProfileSet set, std::int32_t index) {
  set.count = StoredCount(set);
  if (index < 0 || index >= set.count)
    return set;
  const auto first = set.profiles.begin() + index;
  std::move(first + 1, set.profiles.begin() + set.count, first);
  --set.count;
  // The freed record is zeroed, as the records beyond count always are.
  set.profiles[static_cast<std::size_t>(set.count)] = UserProfile();
  if (set.currentIndex == index || set.currentIndex < 0 || set.currentIndex > set.count)
    set.currentIndex = -1;
  else if (set.currentIndex > index)
    --set.currentIndex;
  return set;
}

ForgetResult ForgetProfile(const std::string& path, std::string_view userName) {
  ForgetResult result = ForgetResult::kNotFound;
  const FileChange change = ChangeProfileFile(path, [&](const ProfileSet& set) {
    const std::int32_t index = ProfileIndexOf(set, userName);
    if (index < 0)
      return std::optional<ProfileSet>();
    result = index == set.currentIndex ? ForgetResult::kForgottenCurrent : ForgetResult::kForgotten;
    return std::optional(WithoutProfile(set, index));
  });
  if (change == FileChange::kFailed)
    return ForgetResult::kFileError;
  return change == FileChange::kWritten ? result : ForgetResult::kNotFound;
}

ProfileSet WithProfile(ProfileSet set, const UserProfile& profile, bool makeCurrent) {
  set.count = StoredCount(set);
  std::int32_t index = -1;
  for (std::int32_t i = 0; i < set.count; ++i) {
    if (set.profiles[static_cast<std::size_t>(i)].userName.str() == profile.userName.str()) {
      index = i;
      break;
    }
  }
  if (index < 0)
    index = set.count < static_cast<std::int32_t>(kMaxProfiles) ? set.count++ : 0;
  set.profiles[static_cast<std::size_t>(index)] = profile;
  if (makeCurrent)
    set.currentIndex = index;
  return set;
}

std::optional<UserProfile> FindProfile(const std::string& path, std::string_view userName) {
  return FindProfileIn(LoadProfiles(path), userName);
}

std::optional<UserProfile> CurrentProfile(const ProfileSet& set) {
  if (set.currentIndex < 0 || set.currentIndex >= set.count)
    return std::nullopt;
  return set.profiles[static_cast<std::size_t>(set.currentIndex)];
}

std::string DefaultProfilePath() {
  const auto directory = platform::ProgramDirectory();
  if (!directory || directory->empty())
    return std::string(kProfileFileName);
  // Both systems accept '/' between the parts of a path.
  return *directory + "/" + std::string(kProfileFileName);
}

}  // namespace quorin::client
