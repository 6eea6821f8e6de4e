// Sends the monitor's first-hop probe once: first_hop_probe_check <address> <ttl>.
// Exit status 0 when answered, 1 when not, 77 when this process cannot send ICMP echoes.
#include <cstdio>
#include <cstdlib>

#include "client/monitor/first_hop_probe.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <address> <ttl>\n", argv[0]);
    return 2;
  }
  auto probe = quorin::client::OpenFirstHopProbe();
  if (!probe) {
    std::printf("no ICMP facility in this process\n");
    return 77;
  }
  const bool answered = probe->Probe(argv[1], std::atoi(argv[2]));
  std::printf("%s with TTL %s: %s\n", argv[1], argv[2], answered ? "answered" : "not answered");
  return answered ? 0 : 1;
}
