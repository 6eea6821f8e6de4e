#include <windows.h>

#include <shlobj.h>

#include <memory>

#include "platform/shell_folders.h"
#include "platform/win32/wide_text.h"

namespace quorin::platform {
namespace {

// Item lists come from the shell's allocator and go back to it.
struct ItemListFree {
  void operator()(ITEMIDLIST* list) const { ::CoTaskMemFree(list); }
};

}  // namespace

std::optional<std::string> SpecialFolderPath(int folderId) {
  ITEMIDLIST* raw = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, folderId, &raw)) || raw == nullptr) {
    return std::nullopt;
  }
  const std::unique_ptr<ITEMIDLIST, ItemListFree> list(raw);
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(list.get(), path) || path[0] == L'\0')
    return std::nullopt;
  return Utf8FromWide(path);
}

bool DeleteFileAt(std::string_view path) {
  if (path.empty())
    return false;
  return ::DeleteFileW(WideFromUtf8(path).c_str()) != FALSE;
}

bool RenameFileAt(std::string_view from, std::string_view to) {
  if (from.empty() || to.empty())
    return false;
  return ::MoveFileW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str()) != FALSE;
}

}  // namespace quorin::platform
