#include "platform/html_dialog.h"

namespace quorin::platform {

// There is no HTML dialog engine to borrow on these systems.
int ShowHtmlPage(std::string_view) {
  return 0;
}

}  // namespace quorin::platform
