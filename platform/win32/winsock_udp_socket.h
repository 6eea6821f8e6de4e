// The winsock datagram socket of udp_socket_win32.cpp around a socket that another backend has
// set up (bound, joined to a group).
#pragma once

#include <memory>

#include "platform/network.h"
#include "platform/udp_socket.h"
#include "platform/win32/unique_socket.h"

namespace quorin::platform {

// `session` keeps the socket layer started for as long as the socket exists.
std::unique_ptr<UdpSocket> MakeWinsockUdpSocket(std::unique_ptr<NetworkSession> session,
                                                UniqueSocket socket);

}  // namespace quorin::platform
