// The process's command line split into words the way the C runtime splits it, as UTF-8.
#pragma once

#include <string>
#include <vector>

namespace quorin::updater {

std::vector<std::string> CommandLineWords();

}  // namespace quorin::updater
