#!/usr/bin/env bash
# The router watcher against a real home router: Debian's miniupnpd (nftables backend) in a
# namespace between the console client's LAN and an "internet" with the provider simulator
# (the topology and its helpers: router_topology.sh).
#
# Case 1, in real time: the router's WAN address is replaced just after one of the watcher's
# questions; miniupnpd announces it and the new address must be saved at the simulator within
# 5 s (the next question is 10 s away, the minute probe up to a minute).
# Case 2, in real time, with NAT-PMP off in miniupnpd: the watcher asks over UPnP IGD every
# 10 s, so a change made just after a question must be saved within 15 s (the next question,
# the settling time and the check; the minute probe is still far).
# Case 3, with the client's clock 60 times faster: the WAN address becomes a private one behind
# an operator's NAT (SNAT to 11.3.0.2 in the internet namespace); miniupnpd then reports no
# address, the watcher stays quiet and the probe path saves the operator's address.
#
#   router_netns.sh <quorinfree program> <source dir>
set -uo pipefail
program="$1"
source_dir="$2"
tag="qfr$$"
work="$(mktemp -d /tmp/router-netns.XXXXXX)"
source "$source_dir/tests/monitor/router_topology.sh"

cleanup() {
  router_topology_down
  if [ "${ROUTER_NETNS_KEEP:-0}" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

skip() {
  echo "SKIP: $1; the watcher's logic is covered by the unit tests with a scripted router"
  exit 77
}
fail() {
  echo "FAILED: $1"
  for log in sim miniupnpd client; do
    [ -f "$work/$log.log" ] && { echo "--- $log.log"; tail -30 "$work/$log.log"; }
  done
  exit 1
}
missing="$(router_topology_missing)"
[ -z "$missing" ] || skip "$missing"
router_topology_up
case $? in
  1) skip "'ip netns add' is not allowed here (needs root)" ;;
  2) fail "the namespaces could not be set up" ;;
esac

start_simulator
start_upnpd yes
await 20 test -s "$work/sim.ready" || fail "the simulator did not start"
# miniupnpd answers NAT-PMP once it runs; its answer carries the WAN address.
await 20 natpmp_answer 11.1.0.2 || fail "miniupnpd did not answer NAT-PMP with 11.1.0.2"

# start_client LABEL [OPTION...]: the console client in the LAN with a store of its own.
start_client() {
  local store="$work/$1-store"
  router_store "$store" isLog=0
  shift
  ip netns exec "$lan" "$program" --store "$store" "$@" -silent rt rt-pw >"$work/client.log" 2>&1 &
  client_pid=$!
}
stop_client() {
  end "$client_pid"
  client_pid=""
}

# --- case 1: a new public address, announced by the router -----------------------------------
start_client real
await 30 grep -q "address: 11.1.0.2" "$work/client.log" || fail "the client never showed 11.1.0.2"
await 10 saved_after 0 11.1.0.2 || fail "the first address was not saved"
# Right after one of the watcher's questions (miniupnpd logs each), so that its next one is
# 10 s away and only the announcement can bring the change within 5 s.
questions() { grep -c "$question" "$work/miniupnpd.log"; }
asked_again() { [ "$(questions)" -gt "$asked" ]; }
question="NAT-PMP public address request"
asked="$(questions)"
await 15 asked_again || fail "the watcher asked the router nothing"
changed_at="$(date +%s.%N)"
move_wan 11.1.0.2/24 11.2.0.2/24 11.2.0.1
if ! await 5 saved_after "$changed_at" 11.2.0.2; then
  fail "the router's new address 11.2.0.2 was not saved within 5 s"
fi
saved="$(date +%s.%N)"
echo "case 1: the router's new address was saved within $(awk -v a="$changed_at" -v b="$saved" \
  'BEGIN { printf "%.1f", b - a }') s"
stop_client

# --- case 2: a router without NAT-PMP, asked over UPnP ------------------------------------------
end "$upnpd_pid"
start_upnpd no
await 20 grep -q "HTTP listening" "$work/miniupnpd.log" || fail "miniupnpd did not start again"
start_client upnp
await 30 grep -q "address: 11.2.0.2" "$work/client.log" || fail "the client never showed 11.2.0.2"
# Right after one of the watcher's UPnP questions: the next one is 10 s away.
question="GetExternalIPAddress"
asked="$(questions)"
await 30 asked_again || fail "the watcher asked the router nothing over UPnP"
changed_at="$(date +%s.%N)"
move_wan 11.2.0.2/24 11.1.0.2/24 11.1.0.1
if ! await 15 saved_after "$changed_at" 11.1.0.2; then
  fail "the router's new address 11.1.0.2 was not saved within 15 s over UPnP"
fi
saved="$(date +%s.%N)"
echo "case 2: without NAT-PMP the router's new address was saved within $(awk -v a="$changed_at" \
  -v b="$saved" 'BEGIN { printf "%.1f", b - a }') s (UPnP question every 10 s)"
stop_client

# --- case 3: a private WAN address behind an operator's NAT ------------------------------------
start_client fast --time-scale 60
await 30 grep -q "address: 11.1.0.2" "$work/client.log" || fail "the client never showed 11.1.0.2"
changed_at="$(date +%s.%N)"
move_wan 11.1.0.2/24 10.99.0.2/24 10.99.0.1
await 20 saved_after "$changed_at" 11.3.0.2 || fail "the operator's address was not saved"
echo "case 3: behind the operator's NAT the minute's probe saved 11.3.0.2"
stop_client
echo "router watcher with miniupnpd: all three cases passed"
