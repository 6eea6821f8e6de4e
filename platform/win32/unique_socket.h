// An owned Windows socket: closed exactly once, by UniqueHandle.
#pragma once

#include <winsock2.h>

#include "platform/win32/unique_handle.h"

namespace quorin::platform {

struct SocketTraits {
  static SOCKET Invalid() { return INVALID_SOCKET; }
  static void Close(SOCKET socket) { ::closesocket(socket); }
};

using UniqueSocket = UniqueHandle<SOCKET, SocketTraits>;

}  // namespace quorin::platform
