// ICMP echo on Linux. A ping socket needs no privilege where net.ipv4.ping_group_range admits
// the process's group; the kernel then picks the identifier and hands back only the replies
// to this socket. A raw socket (root or CAP_NET_RAW) sees every ICMP message of the machine,
// so replies are matched by source, identifier and sequence number, and an error message that
// quotes this request (time exceeded, unreachable) ends the wait at once.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/icmp_echo.h"
#include "platform/posix/unique_fd.h"

namespace quorin::platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kUnreachable = 3;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kTimeExceeded = 11;

enum class SocketKind { kPing, kRaw };

std::atomic<std::uint16_t> g_sequence{0};

std::uint16_t Checksum(const std::uint8_t* data, std::size_t length) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
  }
  if (length % 2 != 0)
    sum += static_cast<std::uint32_t>(data[length - 1] << 8);
  while (sum >> 16)
    sum = (sum & 0xffffu) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum & 0xffffu);
}

UniqueFd OpenSocket(SocketKind kind) {
  const int type = kind == SocketKind::kPing ? SOCK_DGRAM : SOCK_RAW;
  return UniqueFd(::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP));
}

std::uint16_t Read16(const std::uint8_t* data) {
  return static_cast<std::uint16_t>(data[0] << 8 | data[1]);
}

enum class Verdict { kIgnore, kAnswered, kRefused };

// Judges one ICMP message (without IP header) that came from `source`.
Verdict Judge(const std::uint8_t* icmp, std::size_t length, const Ipv4Address& source,
              const Ipv4Address& target, std::uint16_t id, std::uint16_t sequence, bool checkId) {
  if (length < 8)
    return Verdict::kIgnore;
  const std::uint8_t type = icmp[0];
  if (type == kEchoReply) {
    if (source != target || Read16(icmp + 6) != sequence)
      return Verdict::kIgnore;
    if (checkId && Read16(icmp + 4) != id)
      return Verdict::kIgnore;
    return Verdict::kAnswered;
  }
  if (type != kTimeExceeded && type != kUnreachable)
    return Verdict::kIgnore;
  // The error quotes the request's IP header and its first eight bytes.
  const std::uint8_t* quoted = icmp + 8;
  const std::size_t quotedLength = length - 8;
  if (quotedLength < 20)
    return Verdict::kIgnore;
  const std::size_t headerLength = static_cast<std::size_t>(quoted[0] & 0x0f) * 4;
  if (headerLength < 20 || quotedLength < headerLength + 8)
    return Verdict::kIgnore;
  if (quoted[9] != IPPROTO_ICMP || std::memcmp(quoted + 16, target.data(), 4) != 0) {
    return Verdict::kIgnore;
  }
  const std::uint8_t* request = quoted + headerLength;
  if (request[0] != kEchoRequest || Read16(request + 6) != sequence)
    return Verdict::kIgnore;
  if (checkId && Read16(request + 4) != id)
    return Verdict::kIgnore;
  return Verdict::kRefused;
}

class PosixIcmpEcho : public IcmpEcho {
 public:
  explicit PosixIcmpEcho(SocketKind kind) : kind_(kind) {}

  bool Echo(const Ipv4Address& target, int ttl, std::chrono::milliseconds timeout) override {
    UniqueFd fd = OpenSocket(kind_);
    if (!fd)
      return false;
    if (::setsockopt(fd.get(), IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) != 0)
      return false;
    const std::uint16_t id = static_cast<std::uint16_t>(::getpid() & 0xffff);
    const std::uint16_t sequence = ++g_sequence;
    std::uint8_t request[8] = {kEchoRequest,
                               0,
                               0,
                               0,
                               static_cast<std::uint8_t>(id >> 8),
                               static_cast<std::uint8_t>(id & 0xff),
                               static_cast<std::uint8_t>(sequence >> 8),
                               static_cast<std::uint8_t>(sequence & 0xff)};
    const std::uint16_t sum = Checksum(request, sizeof request);
    request[2] = static_cast<std::uint8_t>(sum >> 8);
    request[3] = static_cast<std::uint8_t>(sum & 0xff);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    std::memcpy(&to.sin_addr, target.data(), 4);
    if (::sendto(fd.get(), request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to) != static_cast<ssize_t>(sizeof request)) {
      return false;
    }
    const auto deadline = SteadyClock::now() + timeout;
    std::uint8_t buffer[1500];
    while (true) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now())
              .count();
      if (left <= 0)
        return false;
      pollfd entry{fd.get(), POLLIN, 0};
      const int ready = ::poll(&entry, 1, static_cast<int>(left));
      if (ready == 0)
        return false;
      if (ready < 0) {
        if (errno == EINTR)
          continue;
        return false;
      }
      sockaddr_in from{};
      socklen_t fromLength = sizeof from;
      const ssize_t got = ::recvfrom(fd.get(), buffer, sizeof buffer, MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (got < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
          continue;
        return false;
      }
      Ipv4Address source{};
      std::memcpy(source.data(), &from.sin_addr, 4);
      const std::uint8_t* icmp = buffer;
      std::size_t length = static_cast<std::size_t>(got);
      if (kind_ == SocketKind::kRaw) {
        // A raw socket hands over the IP header too.
        if (length < 20)
          continue;
        const std::size_t headerLength = static_cast<std::size_t>(buffer[0] & 0x0f) * 4;
        if (headerLength < 20 || headerLength > length)
          continue;
        icmp += headerLength;
        length -= headerLength;
      }
      // A ping socket's identifier is chosen by the kernel, which filters by it already.
      switch (Judge(icmp, length, source, target, id, sequence, kind_ == SocketKind::kRaw)) {
        case Verdict::kAnswered:
          return true;
        case Verdict::kRefused:
          return false;
        case Verdict::kIgnore:
          break;
      }
    }
  }

 private:
  SocketKind kind_;
};

}  // namespace

std::unique_ptr<IcmpEcho> OpenIcmpEcho() {
  for (const SocketKind kind : {SocketKind::kPing, SocketKind::kRaw}) {
    if (OpenSocket(kind))
      return std::make_unique<PosixIcmpEcho>(kind);
  }
  return nullptr;
}

}  // namespace quorin::platform
