#include "platform/program_folder.h"

namespace quorin::platform {

char PathSeparator() {
  return '\\';
}

}  // namespace quorin::platform
