// The process's resource source: the module (uires.dll) from which every dialog template,
// menu, bitmap, cursor and string of the client's windows is loaded.
#pragma once

#include <windows.h>

#include <string>

#include "client/texts/string_table.h"

namespace quorin::client {

// Set once at start-up before any window exists; until then the program's own module serves.
void SetResourceModule(HMODULE module);
HMODULE ResourceModule();

// A string of the resource source in UTF-8, cut to the 1023 bytes the client's text buffers
// hold; empty when there is no such string.
std::string LoadResourceText(unsigned id);

// The string table of the resource source, in the language Windows chose for the user.
class ResourceStringTable : public StringTable {
 public:
  std::string Load(unsigned id) const override { return LoadResourceText(id); }
};

}  // namespace quorin::client
