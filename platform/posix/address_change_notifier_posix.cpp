// Address changes on Linux: a netlink route socket in the groups of IPv4 address and route
// changes. A thread of its own polls the socket and a pipe; the destructor writes to the pipe,
// so the thread ends at once, and joins it. Other POSIX systems have no such socket here.
#include "platform/address_change_notifier.h"

#if defined(__linux__)

#include <fcntl.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/posix/unique_fd.h"

namespace quorin::platform {
namespace {

// Whether a batch of netlink messages announces a change of addresses or routes. Each header
// is copied out, so no message needs to be aligned, and no length read from the batch can make
// the walk leave it.
bool AnnouncesChange(const unsigned char* data, std::size_t length) {
  std::size_t offset = 0;
  while (length - offset >= sizeof(nlmsghdr)) {
    nlmsghdr header{};
    std::memcpy(&header, data + offset, sizeof header);
    if (header.nlmsg_len < sizeof header || header.nlmsg_len > length - offset)
      return false;
    switch (header.nlmsg_type) {
      case RTM_NEWADDR:
      case RTM_DELADDR:
      case RTM_NEWROUTE:
      case RTM_DELROUTE:
        return true;
      default:
        break;
    }
    const std::size_t step = NLMSG_ALIGN(header.nlmsg_len);
    if (step >= length - offset)
      return false;
    offset += step;
  }
  return false;
}

class NetlinkNotifier : public AddressChangeNotifier {
 public:
  NetlinkNotifier(UniqueFd socket, UniqueFd wakeRead, UniqueFd wakeWrite)
      : socket_(std::move(socket)),
        wakeRead_(std::move(wakeRead)),
        wakeWrite_(std::move(wakeWrite)),
        thread_([this] { Run(); }) {}

  ~NetlinkNotifier() override {
    const char byte = 1;
    // The pipe is empty and non-blocking: this write cannot wait. Should it fail, closing the
    // write end below still wakes the thread (the read end then reports end of file).
    if (::write(wakeWrite_.get(), &byte, 1) != 1)
      wakeWrite_.reset();
    thread_.join();
  }

  ChangeSignal& Changes() override { return signal_; }

 private:
  void Run() {
    pollfd watched[2] = {{socket_.get(), POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
    while (true) {
      watched[0].revents = 0;
      watched[1].revents = 0;
      // No time-out is needed: the pipe ends the wait when the notifier goes.
      if (::poll(watched, 2, -1) < 0) {
        if (errno == EINTR)
          continue;
        return;  // the monitor keeps its minute rhythm
      }
      if (watched[1].revents != 0)
        return;
      if (watched[0].revents & (POLLERR | POLLNVAL))
        return;
      if ((watched[0].revents & POLLIN) != 0 && Drain())
        signal_.Set();
    }
  }

  // Reads every message waiting; true when one of them announces a change.
  bool Drain() {
    bool changed = false;
    alignas(nlmsghdr) unsigned char buffer[8192];
    while (true) {
      sockaddr_nl sender{};
      socklen_t senderLength = sizeof sender;
      const ssize_t got = ::recvfrom(socket_.get(), buffer, sizeof buffer, MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&sender), &senderLength);
      if (got < 0) {
        // ENOBUFS: the kernel dropped messages because the socket was full, so a change may
        // have been among them.
        if (errno == ENOBUFS)
          changed = true;
        if (errno == EINTR || errno == ENOBUFS)
          continue;
        return changed;  // EAGAIN: nothing more waiting
      }
      // Only the kernel speaks for the system's addresses.
      if (sender.nl_pid != 0)
        continue;
      if (AnnouncesChange(buffer, static_cast<std::size_t>(got)))
        changed = true;
    }
  }

  UniqueFd socket_;
  UniqueFd wakeRead_;
  UniqueFd wakeWrite_;
  ChangeSignal signal_;
  std::thread thread_;  // last: it starts once everything above is in place
};

}  // namespace

std::unique_ptr<AddressChangeNotifier> OpenAddressChangeNotifier() {
  UniqueFd socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE));
  if (!socket)
    return nullptr;
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  local.nl_groups = RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
  if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
    return nullptr;
  int pipeEnds[2] = {-1, -1};
  if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
    return nullptr;
  UniqueFd wakeRead(pipeEnds[0]);
  UniqueFd wakeWrite(pipeEnds[1]);
  try {
    return std::make_unique<NetlinkNotifier>(std::move(socket), std::move(wakeRead),
                                             std::move(wakeWrite));
  } catch (const std::system_error&) {
    return nullptr;  // no thread could start
  }
}

}  // namespace quorin::platform

#else

namespace quorin::platform {

std::unique_ptr<AddressChangeNotifier> OpenAddressChangeNotifier() {
  return nullptr;
}

}  // namespace quorin::platform

#endif
