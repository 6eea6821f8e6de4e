// Where a program without windows keeps the client's files ("userprofie.dat", "quorin.log"):
// beside the program on Windows, as the windowed client does; in the settings store directory
// elsewhere, since a program's own directory is seldom writable there.
#pragma once

#include <string>

namespace quorin::platform {

// The directory, without a trailing separator.
std::string ClientDataDirectory();

// `name` inside ClientDataDirectory().
std::string ClientDataFile(const std::string& name);

// Makes `directory` the settings store of this process (and of the programs it starts). Call it
// before the store is first used. False where the settings do not live in files (Windows).
bool UseStoreDirectory(const std::string& directory);

// Checks that the settings store can be used, creating its directory when it is missing;
// false with a one-line reason otherwise.
bool StoreIsUsable(std::string& problem);

}  // namespace quorin::platform
