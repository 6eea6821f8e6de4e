#!/usr/bin/env bash
# The first-hop probe in a small network of namespaces of its own:
#
#   client 192.168.77.2 --- 192.168.77.1 router 203.0.113.1 --- 203.0.113.2 remote
#
# The router holds the public address 203.0.113.1, as a home router does. From the client, a
# TTL-1 echo to that address is answered by the router itself; one to the remote address dies
# at the router (time exceeded) and counts as not answered; with TTL 2 it arrives.
#
#   first_hop_netns.sh <first_hop_probe_check program>
set -uo pipefail
probe="$1"
tag="qfm$$"
client="${tag}c"
router="${tag}r"
remote="${tag}x"

cleanup() {
  for ns in "$client" "$router" "$remote"; do ip netns del "$ns" 2>/dev/null; done
}
trap cleanup EXIT

if ! ip netns add "$client" 2>/dev/null; then
  echo "SKIP: 'ip netns add' is not allowed here (needs root and iproute2); the probe's logic is"
  echo "covered by the unit tests with a fake ICMP facility"
  exit 77
fi
set -e
ip netns add "$router"
ip netns add "$remote"
for ns in "$client" "$router" "$remote"; do ip -n "$ns" link set lo up; done

ip link add "${tag}a" netns "$client" type veth peer name "${tag}b" netns "$router"
ip link add "${tag}d" netns "$router" type veth peer name "${tag}e" netns "$remote"
ip -n "$client" addr add 192.168.77.2/24 dev "${tag}a"
ip -n "$router" addr add 192.168.77.1/24 dev "${tag}b"
ip -n "$router" addr add 203.0.113.1/24 dev "${tag}d"
ip -n "$remote" addr add 203.0.113.2/24 dev "${tag}e"
ip -n "$client" link set "${tag}a" up
ip -n "$router" link set "${tag}b" up
ip -n "$router" link set "${tag}d" up
ip -n "$remote" link set "${tag}e" up
ip -n "$client" route add default via 192.168.77.1
ip -n "$remote" route add default via 203.0.113.1
ip netns exec "$router" sysctl -q -w net.ipv4.ip_forward=1
set +e

failures=0
expect() {
  local address="$1" ttl="$2" wanted="$3"
  ip netns exec "$client" "$probe" "$address" "$ttl"
  local status=$?
  if [ "$status" -eq 77 ]; then
    echo "SKIP: the probe cannot send ICMP echoes in this process"
    exit 77
  fi
  if [ "$status" -ne "$wanted" ]; then
    echo "FAILED: $address with TTL $ttl gave $status, expected $wanted"
    failures=$((failures + 1))
  fi
}

expect 203.0.113.1 1 0    # the router holds the public address: answered
expect 192.168.77.1 1 0   # its inner address too
expect 203.0.113.2 1 1    # beyond the router: the TTL runs out there
expect 203.0.113.2 2 0    # one hop more reaches it
expect 198.51.100.9 1 1   # nobody holds this address

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "first-hop probe: all checks passed"
