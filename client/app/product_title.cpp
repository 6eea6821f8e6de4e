#include "client/app/product_title.h"

#include <mutex>

#include "common/bounded_text.h"

namespace quorin::client {
namespace {

std::mutex g_titleMutex;
BoundedText<1024> g_title{"QuorinFree"};

}  // namespace

std::string FormatProductTitle(std::string_view format, std::string_view version) {
  std::string title;
  bool versionPlaced = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        title += '%';
        ++i;
        continue;
      }
      if (format[i + 1] == 's' && !versionPlaced) {
        title += version;
        versionPlaced = true;
        ++i;
        continue;
      }
    }
    title += format[i];
  }
  return title;
}

void SetProductTitle(std::string_view title) {
  std::lock_guard lock(g_titleMutex);
  g_title = title;
}

std::string ProductTitle() {
  std::lock_guard lock(g_titleMutex);
  return g_title.str();
}

}  // namespace quorin::client
