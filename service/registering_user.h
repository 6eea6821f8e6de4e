// The user for whom the service is registered, and where the system keeps that user's
// virtualised copies of the client's files and settings.
//
// The client is a 32-bit program without a requested execution level, so when it runs without
// administrator rights the system redirects its writes: the settings key under
// HKEY_LOCAL_MACHINE lands in the user's "VirtualStore" key, and the files beside the program
// in the user's "%LOCALAPPDATA%\VirtualStore" folder. The service, which runs as LocalSystem,
// sees only the real key and folder. The registration runs with administrator rights, perhaps
// as another account (a standard user's prompt asks for an administrator's password), so it
// asks the system who is logged on in its session: that is the user who clicked the box.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorin::standins {

struct RegisteringUser {
  std::string sid;            // "S-1-5-21-…"
  std::wstring localAppData;  // the user's "%LOCALAPPDATA%", empty when it cannot be found
};

// The user logged on in this process's session; nothing when the system cannot name one.
std::optional<RegisteringUser> FindRegisteringUser();

// True for a text that has the form of a security identifier ("S-1-" and digits and dashes), the
// only form in which a recorded user is used to build a key path.
bool IsSidText(const std::string& text);

// The key paths under HKEY_USERS where the system keeps `sid`'s virtualised copy of the
// HKEY_LOCAL_MACHINE key `machineKeyPath` (for example "SOFTWARE\tilro\tlHost"), as a program
// of this program's bitness sees it: the user's classes hive first, then the same place reached
// through the user's own hive.
std::vector<std::string> VirtualStoreKeyPaths(const std::string& sid,
                                              const std::string& machineKeyPath);

// The folder where the system keeps the user's virtualised copy of `folder` (a full path with a
// drive): "<localAppData>\VirtualStore\<folder without its drive>". Empty when either is not
// known or `folder` has no drive.
std::wstring VirtualStoreFolder(const std::wstring& localAppData, const std::wstring& folder);

}  // namespace quorin::standins
