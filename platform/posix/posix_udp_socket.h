// The POSIX datagram socket of udp_socket_posix.cpp around a descriptor that another backend
// has set up (bound, joined to a group).
#pragma once

#include <memory>

#include "platform/posix/unique_fd.h"
#include "platform/udp_socket.h"

namespace quorin::platform {

std::unique_ptr<UdpSocket> MakePosixUdpSocket(UniqueFd fd);

}  // namespace quorin::platform
