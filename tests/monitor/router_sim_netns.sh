#!/usr/bin/env bash
# The system's router link and the router watcher against the simulator's home router, on a
# LAN between two network namespaces: the program's default route leads to the gateway address
# where the simulator answers NAT-PMP, announces and plays a UPnP IGD; a second LAN address
# lets the program act as a neighbour that is not the gateway.
#
#   LAN 192.168.78.2 (+ .3, the neighbour) --- 192.168.78.1 router (provider_sim.py --gateway)
#
# The program runs natively, or under Wine when a Wine is given: then with a prefix of its own,
# started inside the LAN namespace (Wine's view of the routing table comes from its own device
# process, which lives in the namespace where the prefix's wineserver started), ended and
# deleted at the end.
#
#   router_sim_netns.sh <provider_sim.py> <test program> <wine|-> <wineserver|-> <winearch|->
#                       [program arguments...]
set -uo pipefail
simulator="$1"
program="$2"
wine="$3"
wineserver="$4"
winearch="$5"
shift 5
tag="qrs$$"
lan="${tag}l"
router="${tag}r"
work="$(mktemp -d /tmp/router-sim-netns.XXXXXX)"
prefix="$work/wineprefix"
sim_pid=""
program_pid=""
control_port=8078

# end PID: SIGTERM, up to 5 s to go, then SIGKILL; reaped either way.
end() {
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null
  for _ in $(seq 1 50); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

cleanup() {
  end "$program_pid"
  if [ "$wine" != - ] && [ -d "$prefix" ]; then
    WINEPREFIX="$prefix" timeout 30 "$wineserver" -k 2>/dev/null
  fi
  end "$sim_pid"
  for ns in "$lan" "$router"; do ip netns del "$ns" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

if ! ip netns add "$lan" 2>/dev/null; then
  echo "SKIP: 'ip netns add' is not allowed here (needs root); the watcher's logic is covered"
  echo "by the unit tests with a scripted router"
  exit 77
fi
set -e
ip netns add "$router"
for ns in "$lan" "$router"; do ip -n "$ns" link set lo up; done
ip link add "${tag}a" netns "$lan" type veth peer name "${tag}b" netns "$router"
ip -n "$lan" addr add 192.168.78.2/24 dev "${tag}a"
ip -n "$lan" addr add 192.168.78.3/24 dev "${tag}a"
ip -n "$router" addr add 192.168.78.1/24 dev "${tag}b"
ip -n "$lan" link set "${tag}a" up
ip -n "$router" link set "${tag}b" up
ip -n "$lan" route add default via 192.168.78.1
set +e

ip netns exec "$router" python3 "$simulator" --host 127.0.0.1 --port 5353 \
  --control-port "$control_port" --control-host 192.168.78.1 --gateway 192.168.78.1 \
  --ready-file "$work/sim.ready" >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 1 200); do
  [ -s "$work/sim.ready" ] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.1
done
if ! [ -s "$work/sim.ready" ]; then
  echo "FAILED: the simulator did not start"
  cat "$work/sim.log"
  exit 1
fi

export QUORIN_ROUTER_GATEWAY=192.168.78.1 QUORIN_ROUTER_NEIGHBOUR=192.168.78.3
export QUORIN_ROUTER_CONTROL="$control_port"
if [ "$wine" = - ]; then
  ip netns exec "$lan" "$program" "$@" >"$work/program.log" 2>&1 &
else
  export WINEPREFIX="$prefix" WINEARCH="$winearch" WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  ip netns exec "$lan" sh -c 'w="$1"; shift; "$w" wineboot -i >/dev/null 2>&1 && exec "$w" "$@"' \
    wine "$wine" "$program" "$@" >"$work/program.log" 2>&1 &
fi
program_pid=$!
wait "$program_pid"
status=$?
program_pid=""
cat "$work/program.log"
if [ "$status" -ne 0 ]; then
  echo "--- simulator log"
  cat "$work/sim.log"
  exit "$status"
fi
# Every case skipped (no router link on this platform): the entry reports a skip.
if grep -q '^\[  PASSED  \] 0 tests' "$work/program.log" && grep -q '^\[  SKIPPED \]' \
  "$work/program.log"; then
  exit 77
fi
exit 0
