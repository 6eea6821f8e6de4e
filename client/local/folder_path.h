// The folder operations of the self-update's download: whether a folder exists and making a
// folder together with every missing folder above it.
#pragma once

#include <string_view>

namespace quorin::client {

// True when `path` is an existing directory.
bool DirectoryExists(std::string_view path);

// Makes `path` and every missing folder above it, each with normal attributes. True when the
// folder exists afterwards.
bool CreateDirectoryPath(std::string_view path);

// `path` up to (not including) its last separator ('/' or the system's own); empty when it
// has none.
std::string_view ParentFolder(std::string_view path);

}  // namespace quorin::client
